// The timeline gestures of the main window: scrubbing through the frames and moving the
// selected frames by drag and drop.
#include "editor/mainwindow.h"
#include "report/errorreporter.h"

namespace kelto {

void MainWindow::connectTimelineGestures(Timeline& tl) {
    tl.onScrub = [this](int frame) { guarded("FrameScrub", [&] { scrubToFrame(frame); }); };
    tl.onMoveFrames = [this](int position) {
        guarded("MoveFrames", [&] { moveSelectedFrames(position); });
    };
}

void MainWindow::scrubToFrame(int frame) {
    if (frame < 0 || frame >= m_doc.frameCount() || frame == m_session.editFrameIndex()) {
        return;
    }
    // The press that began the scrub was a click, which stored the frame it left; the
    // frames passed since were only shown, so going on needs no store and no new thumbnails.
    setEditFrame(frame);
    m_frameSelection.click(m_doc.frames, frame, false, false);
    setSelectedFrameCount(m_frameSelection.count());
    positionFrameBevels();
}

void MainWindow::moveSelectedFrames(int position) {
    if (m_frameSelection.count() == 0) {
        return;
    }
    endDrag();
    stopButtonClick();
    storeEditedFrame(false, false); // the repeat count goes with the frame, wherever it goes
    if (m_session.moveFrames(m_frameSelection.frames(), position) < 0) {
        return;
    }
    m_frameSelection.rebuild(m_doc.frames);
    showSessionFrame();
    setSelectedFrameCount(m_frameSelection.count());
    positionFrameBevels();
}

} // namespace kelto
