// The main window's file commands (open, save, save as, save selected, the question whether
// to save) and the frame clipboard commands.
#include "dialogs/prompter.h"
#include "document/kelformat.h"
#include "editor/clipboard.h"
#include "editor/mainwindow.h"
#include "editor/timeline.h"
#include "editor/userfiles.h"
#include "report/errorreporter.h"
#include "settings/appsettings.h"
#include "settings/datafolders.h"
#include "settings/multilang.h"

#include <QFile>
#include <QFileInfo>
#include <QScrollBar>

#include <algorithm>

namespace kelto {

namespace {

QString kelFilter() {
    return getPhrase(PhraseType::MKeltoFile) + QStringLiteral(" (*.kel)");
}

// The save dialog for an animation file, starting in the animations folder (or a folder of
// the user's when that one cannot be written), then the replace question when the file that
// will be written exists: any extension typed is replaced by ".kel", so "x.txt" writes "x.kel".
// Returns that final path; empty when either was declined. A document with a file starts the
// dialog with its own name and folder.
QString chooseKelSaveName(bool rememberFolder, const std::string& documentFile = {}) {
    const QString folder =
        documentSaveStart(QFile::decodeName(documentFile.c_str()), QStringLiteral("kel"),
                          writableSaveFolder(QString::fromStdString(appSettings().kelDir)));
    const QString name = prompter().saveFileName(getPhrase(PhraseType::MFSaveAs), folder,
                                                 kelFilter(), QStringLiteral("kel"));
    if (name.isEmpty()) {
        return {};
    }
    if (rememberFolder) {
        appSettings().kelDir = QFileInfo(name).absolutePath().toStdString() + "/";
    }
    const QString target =
        QFile::decodeName(removeExtension(localPath(name)).c_str()) + QStringLiteral(".kel");
    if (QFileInfo::exists(target) &&
        prompter().ask(getPhrase(PhraseType::ReplaceFile)) != Answer::Yes) {
        return {};
    }
    return target;
}

} // namespace

bool MainWindow::saveProjectAsKel(bool allowCancel) {
    m_doc.documentSaved = true;
    const Answer answer = prompter().ask(getPhrase(PhraseType::MSaveProj), allowCancel);
    if (answer == Answer::No) {
        return true;
    }
    if (answer == Answer::Yes) {
        m_doc.documentSaved = false;
        saveDocument();
        if (m_doc.documentSaved) {
            return true;
        }
        // The save dialog was cancelled or the file could not be written: going on would
        // throw the unsaved work away, so the caller stops as if Cancel had been chosen.
    }
    setSavedState(false);
    return false;
}

// The callers have stored the frame being edited (they need the frame count first).
void MainWindow::saveAnimationTo(const QString& path) {
    BusyCursor busy(*this);
    const bool saved =
        guarded("SaveAnimation", [&] { saveAnimation(m_doc, removeExtension(localPath(path))); });
    setSavedState(m_doc.documentSaved);
    if (saved) {
        const QString file = QFile::decodeName(m_doc.currentFileName.c_str());
        showStatus(getPhrase(PhraseType::MSaved).arg(QFileInfo(file).fileName()));
        noteRecentFile(file);
    }
}

std::optional<Document> MainWindow::readAnimationFile(const QString& path) {
    return readUserFile(*this, [&] { return loadAnimation(localPath(path)); });
}

void MainWindow::loadProject(const QString& path) {
    if (!QFileInfo::exists(path)) {
        prompter().tell(getPhrase(PhraseType::MFileNotExist));
        return;
    }
    // The file is read whole before the open document is touched, so a damaged or foreign
    // file leaves it (and its changed state) as it was.
    std::optional<Document> loaded = readAnimationFile(path);
    if (!loaded) {
        return;
    }
    const std::string filePath = localPath(path);
    const bool wasSaved = m_doc.documentSaved;
    if (!offerToSave(false)) {
        return;
    }
    if (!wasSaved && m_doc.currentFileName == filePath) {
        // The question saved the open document over the very file being opened.
        loaded = readAnimationFile(path);
        if (!loaded) {
            return;
        }
    }
    guarded("LoadProject", [&] {
        destroyProject();
        m_doc.adoptLoaded(std::move(*loaded));
        m_scene.setSuspended(true);
        setAnimationDimensions(m_doc.animWidth(), m_doc.animHeight());
        m_scene.setSuspended(false);
        m_rateScrollBar->setValue(m_doc.frameRate);
        // The editor continues after the last stored frame, from its pose.
        Figures next;
        if (!m_doc.frames.empty()) {
            next.assign(m_doc.frames.back());
            next.timelineSelected = 0;
            next.repeatCount = 1;
        }
        m_session.resetHistory(std::move(next));
        setEditFrame(-1);
        m_doc.currentFileName = filePath;
        setSavedState(true);
        noteRecentFile(path);
        initUndo();
        timeline().updateScrollBar();
        m_tlScrollBar->setValue(m_tlScrollBar->maximum());
        timeline().drawTimeLine();
        positionFrameBevels();
    });
}

void MainWindow::chooseAnimationToOpen() {
    guarded("OpenAnimation", [this] {
        const QStringList names = prompter().openFileNames(
            getPhrase(PhraseType::MFOpen), QString::fromStdString(appSettings().kelDir),
            kelFilter(), false);
        if (names.isEmpty()) {
            return;
        }
        appSettings().kelDir = QFileInfo(names[0]).absolutePath().toStdString() + "/";
        if (QFileInfo(names[0]).suffix().toLower() != QLatin1String("kel")) {
            prompter().tell(getPhrase(PhraseType::MFileTypeWrong));
            return;
        }
        openAnimationFile(names[0]);
    });
}

void MainWindow::openAnimationFile(const QString& path) {
    stopButtonClick();
    loadProject(path);
}

void MainWindow::saveDocument() {
    if (m_doc.currentFileName.empty()) {
        saveDocumentAs();
        return;
    }
    storeEditedFrame();
    if (m_doc.frameCount() == 0) {
        // Every stored frame was deleted since the file was opened; an empty animation is
        // never written, and the file keeps what it had.
        prompter().tell(getPhrase(PhraseType::MNoFrames));
        return;
    }
    saveAnimationTo(QFile::decodeName(m_doc.currentFileName.c_str()));
}

void MainWindow::saveDocumentAs() {
    guarded("SaveAs", [this] {
        storeEditedFrame();
        if (m_doc.frameCount() == 0) {
            prompter().tell(getPhrase(PhraseType::MNoFrames));
            return;
        }
        const QString name = chooseKelSaveName(true, m_doc.currentFileName);
        if (!name.isEmpty()) {
            saveAnimationTo(name);
        }
    });
}

void MainWindow::saveSelectedFramesAs() {
    guarded("SaveSelected", [this] {
        storeEditedFrame();
        if (m_frameSelection.count() == 0) {
            return;
        }
        const QString name = chooseKelSaveName(false);
        if (name.isEmpty()) {
            return;
        }
        BusyCursor busy(*this);
        saveSelectedFrames(m_doc, removeExtension(localPath(name)), m_frameSelection.frames());
    });
}

void MainWindow::copySelFrameButtonClick() {
    guarded("CopyFrames", [this] {
        BusyCursor busy(*this);
        storeEditedFrame();
        if (m_frameSelection.count() == 0) {
            return;
        }
        m_clipboard->copy(writeSelectedFramesRecord(m_doc, m_frameSelection.frames()));
    });
}

void MainWindow::pasteFrameButtonClick() {
    pasteFramesAt(m_doc.frameCount());
}

void MainWindow::pasteInsert() {
    pasteFramesAt(std::clamp(m_popupFrame, 0, m_doc.frameCount()));
}

void MainWindow::pasteFramesAt(int position) {
    guarded("PasteFrames", [&] {
        if (!m_clipboard->hasFrames()) {
            return;
        }
        BusyCursor busy(*this);
        const QByteArray bytes = m_clipboard->frames();
        const int oldCount = m_doc.frameCount();
        endDrag();
        storeEditedFrame(false, false);
        TimelineIndices indices{m_frameSelection.frames(), m_session.editFrameIndex()};
        const PasteResult result = m_session.pasteFrames(
            reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), position,
            m_clipboard->ownsFrames(), &indices);
        if (result.status != PasteStatus::Pasted) {
            prompter().tell(errorMessage(result.refusal));
            return;
        }
        if (result.dimensionsAdopted) {
            setAnimationDimensions(m_doc.animWidth(), m_doc.animHeight());
        }
        if (result.firstFrame < oldCount) {
            m_frameSelection.framesInserted(result.firstFrame, result.frameCount);
        }
        if (oldCount == 0) {
            m_rateScrollBar->setValue(m_doc.frameRate);
        }
        timeline().updateScrollBar();
        if (result.firstFrame == oldCount) {
            m_tlScrollBar->setValue(m_tlScrollBar->maximum());
        }
        timeline().drawTimeLine();
        positionFrameBevels();
        initUndo();
    });
}
} // namespace kelto
