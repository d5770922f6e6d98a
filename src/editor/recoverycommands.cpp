// The main window's part of crash recovery: work brought back from a recovery file replaces
// the document, as opening a file does, but stays unsaved and keeps its own file's name, so
// that Save writes where the user expects.
#include "editor/mainwindow.h"
#include "editor/timeline.h"
#include "report/errorreporter.h"

#include <QScrollBar>

namespace kelto {

void MainWindow::restoreRecoveredWork(RecoveredWork work) {
    guarded("RestoreRecoveredWork", [&] {
        stopButtonClick();
        destroyProject();
        m_doc.adoptLoaded(std::move(work.document));
        m_scene.setSuspended(true);
        setAnimationDimensions(m_doc.animWidth(), m_doc.animHeight());
        m_scene.setSuspended(false);
        m_rateScrollBar->setValue(m_doc.frameRate);
        m_session.resetHistory(std::move(work.newFrame));
        setEditFrame(work.editFrameIndex);
        m_doc.currentFileName = work.fileName;
        setSavedState(false);
        initUndo();
        timeline().updateScrollBar();
        m_tlScrollBar->setValue(m_tlScrollBar->maximum());
        timeline().drawTimeLine();
        positionFrameBevels();
    });
}

} // namespace kelto
