// The main window's frame commands, playback and frame keys.
#include "editor/mainwindow.h"

#include "builder/figurebuilderform.h"
#include "dialogs/avioptionsform.h"
#include "dialogs/exportcommand.h"
#include "dialogs/gifoptionsform.h"
#include "dialogs/imageoptionsform.h"
#include "dialogs/languagedialog.h"
#include "dialogs/optionsdialog.h"
#include "dialogs/progressform.h"
#include "dialogs/prompter.h"
#include "dialogs/spinedit.h"
#include "document/kelformat.h"
#include "editor/canvas.h"
#include "editor/canvasview.h"
#include "editor/clipboard.h"
#include "editor/editingarea.h"
#include "editor/icons.h"
#include "editor/recentmenu.h"
#include "graphics/drawing.h"
#include "graphics/renderer.h"
#include "pickers/aboutbox.h"
#include "pickers/backgroundpicker.h"
#include "pickers/figurepicker.h"
#include "pickers/imageselector.h"
#include "report/errorreporter.h"
#include "settings/appsettings.h"
#include "settings/datafolders.h"
#include "settings/multilang.h"
#include "settings/paths.h"
#include "settings/settingsfile.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <utility>

namespace kelto {

Timeline& MainWindow::timeline() {
    if (!m_timeline) {
        m_timeline = new Timeline(m_tlPanel, m_tlScrollBar, m_doc, this);
        m_timeline->setMenu(m_timelineMenu);
        m_timeline->onClick = [this](int frame, Qt::KeyboardModifiers modifiers) {
            guarded("FrameClick", [&] { selectFrame(frame, modifiers); });
        };
        m_timeline->onPopup = [this](int frame) { m_popupFrame = frame; };
        connectTimelineGestures(*m_timeline);
        auto* blocker = new PlaybackWheelBlocker([this] { return isPlaying(); }, m_timeline);
        m_scrollBox->installEventFilter(blocker);
        m_scrollBox->viewport()->installEventFilter(blocker);
        m_canvas->installEventFilter(blocker);
    }
    m_timeline->setSupersample(m_supersampleFactor);
    return *m_timeline;
}

void MainWindow::storeEditedFrame(bool clearSelection, bool applyToSelected) {
    const int index = m_session.editFrameIndex();
    if (index < 0) {
        return;
    }
    // The frame is edited in place; storing sets the repeat count (and, for a selection,
    // the background) of the frames it applies to, each an undoable step when it changes.
    const int repeat = sanitizeSpinEdit(*m_repeatSpinEdit, 1);
    std::vector<int> frames{index};
    if (applyToSelected && m_frameSelection.count() > 1) {
        for (int f : m_frameSelection.frames()) {
            if (f >= 0 && f < m_doc.frameCount() && f != index) {
                frames.push_back(f);
            }
        }
    }
    m_session.setEditFrame(index); // records what the canvas changed
    m_session.setRepeatCount(frames, repeat);
    if (frames.size() > 1) {
        m_session.setBackground(frames, edit().backgroundIndex);
    }
    if (clearSelection) {
        m_frameSelection.clear(m_doc.frames);
        setSelectedFrameCount(0);
        setEditFrame(-1);
    }
    timeline().drawTimeLine();
    initUndo();
}

void MainWindow::setEditFrame(int index) {
    stopButtonClick();
    // The canvas figures are replaced: a drag in progress ends here, never on a freed figure.
    endDrag();
    const bool switched = index != m_session.editFrameIndex();
    m_session.setEditFrame(index);
    const int shown = m_session.editFrameIndex();
    if (switched) {
        // A frame opens with its last figure selected; selecting is no step of the history.
        edit().clearSelection();
        if (edit().figureCount() > 0) {
            edit().select(edit().figureCount() - 1, true);
        }
    }
    {
        const QSignalBlocker block(m_repeatSpinEdit);
        m_repeatSpinEdit->setValue(shown < 0 ? 1 : edit().repeatCount);
    }
    setFrameLabel();
    edit().joinMode = 0;
    if (shown < 0) {
        m_scene.drawGhost();
    } else {
        m_scene.drawGhostEdit();
    }
    enableFigureControls(edit().figureCount() > 0);
    setFigureControls();
    drawFigures();
}

void MainWindow::showSessionFrame() {
    const int shown = m_session.editFrameIndex();
    setEditFrame(shown);
    timeline().updateScrollBar();
    if (shown >= 0) {
        timeline().ensureVisible(shown);
    }
    timeline().drawTimeLine();
    positionFrameBevels();
    showUndoCaptions();
}

void MainWindow::selectFrame(int index, Qt::KeyboardModifiers modifiers) {
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = !ctrl && (modifiers & Qt::ShiftModifier);
    endDrag(); // its move belongs to the frame being left
    if (index != m_session.editFrameIndex()) {
        storeEditedFrame(false, false); // the repeat count goes with the frame being left
    }
    setEditFrame(index);
    if (m_session.editFrameIndex() >= 0) {
        m_frameSelection.click(m_doc.frames, m_session.editFrameIndex(), ctrl, shift);
    } else {
        m_frameSelection.clear(m_doc.frames);
    }
    setSelectedFrameCount(m_frameSelection.count());
    positionFrameBevels();
    initUndo();
}

void MainWindow::insertNewFrame() {
    guarded("InsertFrame", [this] {
        if (m_doc.frames.empty()) {
            return;
        }
        if (!m_doc.canAddFrame()) {
            prompter().tell(getPhrase(PhraseType::MNoMoreFrames));
            return;
        }
        endDrag();
        storeEditedFrame(false, false);
        m_frameSelection.clear(m_doc.frames);
        setSelectedFrameCount(0);
        // The new frame duplicates the frame before it (the old first frame at 0).
        m_session.insertFrame(std::clamp(m_popupFrame, 0, m_doc.frameCount() - 1));
        showSessionFrame();
        const int d = m_session.editFrameIndex();
        m_frameSelection.click(m_doc.frames, d, false, false);
        setSelectedFrameCount(m_frameSelection.count());
        positionFrameBevels();
    });
}

void MainWindow::deleteFrames() {
    guarded("DeleteFrame", [this] {
        if (m_doc.frames.empty() ||
            prompter().ask(getPhrase(PhraseType::MDel1FrameCheck)) != Answer::Yes) {
            return;
        }
        endDrag();
        storeEditedFrame(false, false);
        const int d = std::clamp(m_popupFrame, 0, m_doc.frameCount() - 1);
        const int edited = m_session.editFrameIndex();
        m_session.deleteFrame(d);
        // The edited frame stays on the canvas unless it was the one deleted.
        m_session.setEditFrame(edited == d ? -1 : (d < edited ? edited - 1 : edited));
        m_frameSelection.frameDeleted(d);
        setSelectedFrameCount(m_frameSelection.count());
        showSessionFrame();
        if (m_doc.frames.empty()) {
            setSavedState(true); // nothing left to lose
        }
    });
}

void MainWindow::deleteSelFrameButtonClick() {
    guarded("DeleteSelectedFrames", [this] {
        if (m_frameSelection.count() == 0 ||
            prompter().ask(getPhrase(PhraseType::MDelFrameCheck)) != Answer::Yes) {
            return;
        }
        endDrag();
        storeEditedFrame(false, false);
        m_session.deleteSelectedFrames();
        setSelectedFrameCount(0);
        showSessionFrame();
        if (m_doc.frames.empty()) {
            setSavedState(true); // nothing left to lose
        }
    });
}

void MainWindow::tlScrollBarChange(int value) {
    guarded("TLScrollBarChange", [&] { timeline().scrolled(value); });
}

void MainWindow::nextFrameButtonClick() {
    // A stored frame is stored; the new frame is appended and the editor continues from the
    // same pose.
    guarded("AddFrame", [this] {
        stopButtonClick();
        endDrag(); // a drag in progress ends before its pose is stored
        if (m_session.editFrameIndex() >= 0) {
            storeEditedFrame(true, true);
            showUndoCaptions();
            return;
        }
        if (!m_session.addFrame(sanitizeSpinEdit(*m_repeatSpinEdit, 1))) {
            prompter().tell(getPhrase(PhraseType::MNoMoreFrames));
            return;
        }
        findOnions();
        m_scene.drawGhost();
        drawFigures();
        Timeline& tl = timeline();
        tl.updateScrollBar();
        if (m_tlScrollBar->value() == m_tlScrollBar->maximum()) {
            tl.drawTimeLine();
        } else {
            m_tlScrollBar->setValue(m_tlScrollBar->maximum()); // its handler redraws
        }
        setFrameLabel();
        m_repeatSpinEdit->setValue(1);
        showUndoCaptions();
    });
}

// ---- playback ---------------------------------------------------------------------------------

void MainWindow::playButtonClick() {
    guarded("Play", [this] {
        if (isPlaying() || m_doc.frames.empty()) {
            return;
        }
        endDrag();
        m_session.startPlayback(std::max(m_session.editFrameIndex(), 0));
        // The canvas shows the background and border without figures until the first tick.
        m_scene.drawGhostBackground();
        m_scene.screenBuffer() = m_scene.ghostBitmap();
        m_canvas->update();
        m_playTimer->start();
        enableControlsPlaying(false);
        if (m_options && m_options->isVisible()) {
            m_options->hide();
        }
    });
}

void MainWindow::stopButtonClick() {
    if (!isPlaying()) {
        return;
    }
    m_playTimer->stop();
    guarded("Stop", [this] {
        timeline().setPlayFrame(-1);
        enableControlsPlaying(true);
        m_scene.drawGhostEdit();
        setFrameLabel();
        drawFigures();
    });
}

void MainWindow::advancePlayback() {
    guarded("PlayTimer", [this] {
        if (m_drag.active || m_drag.boxActive) {
            endDrag(); // no drag survives into playback
        }
        if (!isPlaying() || m_doc.frames.empty()) {
            stopButtonClick();
            return;
        }
        const PlaybackStep step = m_session.playbackTick(m_repeatCheckBox->isChecked());
        if (step.frame >= 0) {
            // Drawn at the view's zoom, straight onto the canvas buffer.
            m_scene.drawPlaybackFrame(m_doc.frames[size_t(step.frame)]);
            m_frameLabel->setText(getPhrase(PhraseType::MFrameNum) + QLatin1Char(' ') +
                                  QString::number(step.frame + 1));
            timeline().setPlayFrame(step.frame);
        }
        if (step.ended) {
            stopButtonClick();
        }
    });
}

void MainWindow::rateScrollBarChange(int value) {
    m_playTimer->setInterval(value);
    m_doc.frameRate = value;
    const int fps = framesPerSecond(value);
    m_fpsLabel->setText(QString::number(fps));
    m_fpsLabel->move(fpsLabelLeft(fps), m_fpsLabel->y());
}

void MainWindow::enableControlsPlaying(bool on) {
    m_canvas->setEnabled(on);
    m_nextFrameButton->setEnabled(on);
    m_repeatSpinEdit->setEnabled(on);
    enableFigureControls(on);
    const bool selected = on && m_frameSelection.count() > 0;
    m_deleteSelFrameButton->setEnabled(selected);
    m_copySelFrameButton->setEnabled(selected);
    const bool canPaste = on && m_clipboard && m_clipboard->hasFrames();
    m_pasteFrameButton->setEnabled(canPaste);
    if (QAction* paste = action(QStringLiteral("InsertPaste1"))) {
        paste->setEnabled(canPaste);
    }
    for (const char* name : {"Insert1", "Delete1"}) {
        if (QAction* a = action(QString::fromLatin1(name))) {
            a->setEnabled(on);
        }
    }
    m_addFigureButton->setEnabled(on);
    m_backgroundButton->setEnabled(on);
}

// ---- figure panel buttons and frame keys ---------------------------------------------------

void MainWindow::backgroundButtonClick() {
    if (m_doc.backgroundCount() < 2) {
        prompter().tell(getPhrase(PhraseType::MBackNoneMsg));
        return;
    }
    m_backgroundPicker->show();
    m_backgroundPicker->raise();
}

void MainWindow::addFigureButtonClick() {
    if (m_doc.figureTypeCount() <= kBuiltInFigureTypes) {
        addFigure(1);
        return;
    }
    m_figurePicker->show();
    m_figurePicker->raise();
}

void MainWindow::editTypeButtonClick() {
    guarded("EditFigureType", [this] {
        if (edit().selectedCount() == 0) {
            return;
        }
        const Figure& primary = edit().figures[edit().selection[0]];
        if (primary.typeIndex < m_doc.figureTypeCount()) {
            m_builder->editFigureType(m_doc.figureType(primary.typeIndex));
        }
    });
}
void MainWindow::setSelectedFrameCount(int count) {
    if (count == 0) {
        m_frameSelection.forget();
    }
    const bool any = count > 0 && !isPlaying();
    m_deleteSelFrameButton->setEnabled(any);
    m_copySelFrameButton->setEnabled(any);
    if (QAction* save = action(QStringLiteral("SaveSelected1"))) {
        save->setEnabled(count > 0);
    }
}

void MainWindow::positionFrameBevels() {
    timeline().positionBevels();
}

void MainWindow::recomputeThumbnailSlots() {
    timeline().layout();
}

bool MainWindow::frameStepKey(QKeyEvent* event) {
    int target = m_session.editFrameIndex();
    if (event->key() == Qt::Key_Comma) {
        if (m_session.editFrameIndex() < 0 && !m_doc.frames.empty()) {
            target = m_doc.frameCount() - 1;
        } else if (m_session.editFrameIndex() > 0) {
            target = m_session.editFrameIndex() - 1;
        }
    } else if (event->key() == Qt::Key_Period) {
        if (m_session.editFrameIndex() >= 0) {
            target = m_session.editFrameIndex() + 1 < m_doc.frameCount()
                         ? m_session.editFrameIndex() + 1
                         : -1;
        }
    } else {
        return false;
    }
    if (target != m_session.editFrameIndex()) {
        selectFrame(target);
        timeline().ensureVisible(target);
    }
    return true;
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    guarded("FormKeyDown", [&] { formKeyDown(event); });
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
    guarded("FormKeyUp", [&] { formKeyUp(event); });
}

} // namespace kelto
