// The "Selected Figure" panel of the main window: its controls and the commands on the
// selected figures.
#include "dialogs/prompter.h"
#include "editor/canvas.h"
#include "editor/mainwindow.h"
#include "pickers/figurepicker.h"
#include "pickers/imageselector.h"
#include "report/errorreporter.h"
#include "settings/appsettings.h"
#include "settings/multilang.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QRubberBand>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace kelto {

// ---- figure controls ----------------------------------------------------------------------

void MainWindow::setFigureControls() {
    if (edit().figureCount() > 0 && edit().selectedCount() > 0) {
        const Figure& primary = edit().figures[edit().selection[0]];
        setScaleEditFromScale(primary.scale);
        {
            const QSignalBlocker block(m_transScrollBar);
            m_transScrollBar->setValue(primary.transparency);
        }
        showOpacity(primary.transparency);
        const QSignalBlocker block(m_joinButton);
        if (edit().selectedCount() > 1 || edit().figureCount() == 1) {
            m_joinButton->setChecked(false);
            m_joinButton->setEnabled(false);
        } else {
            m_joinButton->setChecked(primary.isJoined != 0);
            m_joinButton->setEnabled(m_lastEnable != 0);
        }
        edit().joinMode = 0;
    }
    findOnions();
}

void MainWindow::enableFigureControls(bool on) {
    if ((on && edit().figureCount() == 0) || int(on) == m_lastEnable) {
        return;
    }
    m_lastEnable = on ? 1 : 0;
    QWidget* const controls[] = {m_deleteFigureButton, m_editTypeButton, m_centerButton,
                                 m_flipButton,         m_colorButton,    m_scaleSpinEdit,
                                 m_frontButton,        m_backButton,     m_transScrollBar,
                                 m_duplicateButton};
    for (QWidget* w : controls) {
        w->setEnabled(on);
    }
    m_joinButton->setEnabled(on && edit().selectedCount() <= 1 && edit().figureCount() >= 2);
}

void MainWindow::setScaleEditFromScale(double scale) {
    const int value = scaleEditFromScale(scale);
    if (value != m_scaleSpinEdit->value()) {
        const QSignalBlocker block(m_scaleSpinEdit);
        m_scaleSpinEdit->setValue(value);
    }
}

// ---- figure commands ----------------------------------------------------------------------

void MainWindow::addFigure(int typeIndex) {
    guarded("AddFigure", [&] {
        endDrag();
        if (typeIndex < 1 || typeIndex >= m_doc.figureTypeCount()) {
            return;
        }
        if (edit().figureCount() >= kMaxFiguresPerFrame) {
            prompter().tell(getPhrase(PhraseType::MNoMoreFig));
            return;
        }
        const FigureType& type = m_doc.figureType(typeIndex);
        const int n = edit().figureCount();
        edit().setCount(n + 1);
        Figure& figure = edit().figures[size_t(n)];
        figure.setType(uint16_t(typeIndex), type);
        figure.placeRoot({double(m_doc.animWidth() / 2), double(m_doc.animHeight() / 2)}, type);
        figure.updateBounds(type);
        figure.colour = 0;
        figure.figureID = m_doc.nextFigureID();
        edit().select(n, true);
        if (n == 0) {
            enableFigureControls(true);
        }
        setFigureControls();
        drawFigures();
        assignUndo(PhraseType::MUndoAddFig);
    });
}

bool MainWindow::figureTypeInUse(int typeIndex) const {
    return m_session.figureTypeInUse(typeIndex);
}

void MainWindow::deleteFigureButtonClick() {
    guarded("DeleteFigure", [this] {
        if (edit().selectedCount() == 0) {
            return;
        }
        endDrag();
        std::vector<int> unusedTypes; // the types to remove, asked about one by one
        for (int n = edit().selectedCount(); n > 0 && edit().selectedCount() > 0; --n) {
            const int i = edit().selection.back();
            const int t = edit().figures[size_t(i)].typeIndex;
            edit().deleteFigure(i);
            if (t != 1 && t < m_doc.figureTypeCount() && !figureTypeInUse(t) &&
                std::find(unusedTypes.begin(), unusedTypes.end(), t) == unusedTypes.end()) {
                const QString name = m_figurePicker->selector()->caption(t - 1);
                const QString text = getPhrase(PhraseType::MRemoveFigTypeAsk).arg(name);
                if (prompter().ask(text, false, QuestionCaption::Information) == Answer::Yes) {
                    unusedTypes.push_back(t);
                }
            }
        }
        if (edit().figureCount() > 0) {
            edit().select(edit().figureCount() - 1, true);
            setFigureControls();
        } else {
            edit().clearSelection();
            enableFigureControls(false);
        }
        assignUndo(PhraseType::MUndoDelete);
        // Highest first, so that the numbers still to remove stay valid.
        std::sort(unusedTypes.rbegin(), unusedTypes.rend());
        for (int t : unusedTypes) {
            deleteFigureType(t);
        }
        drawFigures();
        showUndoCaptions();
    });
}

void MainWindow::deleteFigureType(int typeIndex) {
    // The deletion so far is one step, the removal (with every later type number closing
    // up, in all frames) the next; the pickers follow the document.
    m_session.recordCanvasEdit(PhraseType::MUndoDelete);
    m_session.removeFigureType(typeIndex);
}

void MainWindow::centerButtonClick() {
    guarded("Center", [this] {
        if (edit().selectedCount() == 0) {
            return;
        }
        edit().centreSelection(m_doc.animWidth(), m_doc.animHeight());
        drawFigures();
        assignUndo(PhraseType::MUndoCenter);
    });
}

void MainWindow::flipButtonClick() {
    guarded("Flip", [this] {
        edit().flipSelection(m_doc.figureTypes());
        drawFigures();
        assignUndo(PhraseType::MUndoFlip);
    });
}

void MainWindow::colorButtonClick() {
    guarded("Colour", [this] {
        if (edit().selectedCount() == 0) {
            return;
        }
        const auto colour = prompter().chooseColour(edit().figures[edit().selection[0]].colour);
        if (!colour) {
            return;
        }
        for (uint16_t i : edit().selection) {
            edit().figures[i].colour = *colour;
        }
        drawFigures();
        assignUndo(PhraseType::MUndoColor);
    });
}

void MainWindow::frontButtonClick() {
    guarded("Raise", [this] {
        const bool oneStep = QApplication::keyboardModifiers() & Qt::ControlModifier;
        if (edit().raise(oneStep)) {
            drawFigures();
            assignUndo(PhraseType::MUndoRaise);
        }
    });
}

void MainWindow::backButtonClick() {
    guarded("Lower", [this] {
        const bool oneStep = QApplication::keyboardModifiers() & Qt::ControlModifier;
        if (edit().lower(oneStep)) {
            drawFigures();
            assignUndo(PhraseType::MUndoLower);
        }
    });
}

void MainWindow::duplicateButtonClick() {
    guarded("Duplicate", [this] {
        if (edit().duplicateSelection(m_doc.lastFigureID) == DuplicateResult::Done) {
            setFigureControls();
        }
        drawFigures();
        assignUndo(PhraseType::BUndoDuplicate);
    });
}

void MainWindow::joinButtonClick() {
    guarded("Join", [this] {
        if (edit().selectedCount() != 1) {
            return;
        }
        const int primary = edit().selection[0];
        if (m_joinButton->isChecked()) {
            edit().beginJoin(primary);
            drawFigures();
            return;
        }
        edit().joinMode = 0;
        if (edit().figures[size_t(primary)].isJoined) {
            edit().unjoin(primary);
            drawFigures();
            assignUndo(PhraseType::MUndoUnjoin);
        } else {
            drawFigures();
        }
    });
}

void MainWindow::transScrollBarChange(int value) {
    guarded("Transparency", [&] {
        if (edit().selectedCount() == 0) {
            return;
        }
        for (uint16_t i : edit().selection) {
            edit().figures[i].transparency = uint8_t(std::clamp(value, 0, 255));
        }
        showOpacity(value);
        if (edit().selectedCount() == 1) {
            const int i = edit().selection[0];
            reDrawFigure(i, edit().figures[size_t(i)].bounds);
        } else {
            drawFigures();
        }
        // One undo point per scroll gesture: a drag of the thumb records on release.
        if (!m_transScrollBar->isSliderDown()) {
            assignUndo(PhraseType::MUndoTrans);
        }
    });
}

void MainWindow::scaleSpinEditChange() {
    guarded("Scale", [this] {
        if (edit().figureCount() == 0 || edit().selectedCount() == 0) {
            return;
        }
        const double scale = scaleFromText(m_scaleSpinEdit->text(), m_scaleSpinEdit->maximum());
        if (scale < 0) {
            return;
        }
        const int primary = edit().selection[0];
        Figure& figure = edit().figures[size_t(primary)];
        if (float(scale) == figure.scale) {
            return;
        }
        if (edit().selectedCount() == 1) {
            const Rect old = figure.bounds;
            figure.setScale(float(scale), m_doc.figureType(figure.typeIndex));
            edit().reattachJoined(primary);
            figure.updateBounds(m_doc.figureType(figure.typeIndex));
            reDrawFigure(primary, old);
        } else {
            edit().scaleSelection(m_doc.figureTypes(), float(scale));
            drawFigures();
        }
        assignUndo(PhraseType::MUndoScale);
    });
}

void MainWindow::selectAllFigures() {
    guarded("SelectAll", [this] {
        if (isPlaying()) {
            stopButtonClick();
        }
        edit().selectAll();
        setFigureControls();
        drawFigures();
    });
}

void MainWindow::deleteFiguresOutsideArea() {
    guarded("DeleteFiguresOutsideArea", [this] {
        setCursor(Qt::WaitCursor);
        endDrag();
        const Rect area{0, 0, m_doc.animWidth(), m_doc.animHeight()};
        std::vector<std::pair<int, Figures>> changed;
        for (int f = 0; f < m_doc.frameCount(); ++f) {
            const Figures& frame = m_doc.frames[size_t(f)];
            std::optional<Figures> copy;
            for (int i = frame.figureCount() - 1; i >= 0; --i) {
                const Rect& b = frame.figures[size_t(i)].bounds;
                const bool touches = b.left <= area.right && b.right >= area.left &&
                                     b.top <= area.bottom && b.bottom >= area.top;
                if (!touches) {
                    if (!copy) {
                        copy = frame;
                    }
                    copy->deleteFigure(i);
                }
            }
            if (copy) {
                changed.emplace_back(f, std::move(*copy));
            }
        }
        // One step for all frames, the one on the canvas included: it is edited in place.
        if (m_session.replaceFrames(PhraseType::MUndoDelete, std::move(changed))) {
            setFigureControls();
            enableFigureControls(edit().figureCount() > 0);
            drawFigures();
            timeline().drawTimeLine();
            showUndoCaptions();
        }
        setCursor(Qt::ArrowCursor);
    });
}

} // namespace kelto
