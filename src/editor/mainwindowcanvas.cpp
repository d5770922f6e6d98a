// The canvas-editing and undo part of the main window: mouse and keyboard posing and the
// history of the edited frame.
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

namespace {

constexpr uint8_t kArrowLeft = 1, kArrowRight = 2, kArrowUp = 4, kArrowDown = 8;

uint8_t arrowBit(int key) {
    switch (key) {
    case Qt::Key_Left:
        return kArrowLeft;
    case Qt::Key_Right:
        return kArrowRight;
    case Qt::Key_Up:
        return kArrowUp;
    case Qt::Key_Down:
        return kArrowDown;
    default:
        return 0;
    }
}

// Hands the scroll box's keys and wheel to the window first, so the arrows pose figures
// instead of scrolling or moving the focus.
class CanvasKeyPreview : public QObject {
public:
    CanvasKeyPreview(QObject* parent, std::function<bool(QEvent*)> handler)
        : QObject(parent), m_handler(std::move(handler)) {
        setObjectName(QStringLiteral("CanvasKeyPreview"));
    }
    bool eventFilter(QObject*, QEvent* event) override { return m_handler(event); }

private:
    std::function<bool(QEvent*)> m_handler;
};

bool isCanvasKey(const QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Delete:
    case Qt::Key_Space:
        return true;
    default:
        return false;
    }
}

} // namespace

// The opacity in percent, kept centred under its bar below the scale box.
void MainWindow::showOpacity(int transparency) {
    if (auto* label = m_selectedGroup->findChild<QLabel*>(QStringLiteral("OpacityLabel"))) {
        const QString text = opacityText(transparency);
        label->setText(text);
        label->setGeometry(opacityLabelLeft(text), 186, 40, 18);
    }
}

// ---- undo ring ----------------------------------------------------------------------------

void MainWindow::initUndo() {
    if (!m_selectBoxTimer) {
        // First history: the canvas helpers are made once, with the window fully built.
        m_selectBoxTimer = new QTimer(this);
        m_selectBoxTimer->setInterval(50);
        connect(m_selectBoxTimer, &QTimer::timeout, this, [this] {
            guarded("SelectBoxTimerTimer", [this] { followPointerWithSelectBox(); });
        });
        m_selectBox = new QRubberBand(QRubberBand::Rectangle, m_canvas);
        m_selectBox->hide();
        // The opacity bar never keeps the focus, so the keys stay with the figure controls.
        m_transScrollBar->setFocusPolicy(Qt::NoFocus);
        auto* opacity = new QLabel(m_selectedGroup);
        opacity->setObjectName(QStringLiteral("OpacityLabel"));
        opacity->show();
        showOpacity(m_transScrollBar->value());
        // Without keyboard tracking the value changes only on the arrows (by exactly 1), Enter
        // and leaving the box, which are when a typed scale applies.
        m_scaleSpinEdit->setKeyboardTracking(false);
        m_scaleSpinEdit->installEventFilter(this);
        m_repeatSpinEdit->installEventFilter(this);
        connect(m_scaleSpinEdit, &QSpinBox::valueChanged, this, &MainWindow::scaleSpinEditChange);
        // A drag of the opacity bar's thumb records one undo point when it is let go.
        connect(m_transScrollBar, &QScrollBar::sliderReleased, this, [this] {
            guarded("Transparency", [this] {
                if (edit().selectedCount() > 0) {
                    assignUndo(PhraseType::MUndoTrans);
                }
            });
        });
        auto* preview = new CanvasKeyPreview(this, [this](QEvent* event) {
            const auto type = event->type();
            if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
                auto* key = static_cast<QKeyEvent*>(event);
                if (!isCanvasKey(key)) {
                    return false;
                }
                if (type == QEvent::KeyPress) {
                    guarded("FormKeyDown", [&] { formKeyDown(key); });
                } else {
                    guarded("FormKeyUp", [&] { formKeyUp(key); });
                }
                return true;
            }
            if (type == QEvent::FocusOut) {
                m_drag.heldArrows = 0; // their releases go elsewhere now
                return false;
            }
            if (type == QEvent::Wheel && canvasZoomWheel(static_cast<QWheelEvent*>(event))) {
                return true; // Ctrl+wheel zooms about the pointer
            }
            if (type == QEvent::Wheel && !isPlaying()) {
                auto* wheel = static_cast<QWheelEvent*>(event);
                const int key = wheel->angleDelta().y() < 0 ? Qt::Key_Left : Qt::Key_Right;
                QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
                guarded("FormMouseWheel", [&] { formKeyDown(&press); });
                return true;
            }
            return false;
        });
        m_scrollBox->installEventFilter(preview);
        m_scrollBox->viewport()->installEventFilter(preview);
    }
    showUndoCaptions();
}

void MainWindow::assignUndo(PhraseType action) {
    m_session.recordCanvasEdit(action);
    showUndoCaptions();
}

void MainWindow::showUndoCaptions() {
    QAction* undo = action(QStringLiteral("Undo1"));
    QAction* redo = action(QStringLiteral("Redo1"));
    const QString undoWord = getPhrase(PhraseType::Undo);
    const QString redoWord = getPhrase(PhraseType::Redo);
    const auto undoAction = m_session.undoAction();
    const auto redoAction = m_session.redoAction();
    if (undo) {
        undo->setEnabled(undoAction.has_value());
        undo->setText(undoAction ? undoWord + ' ' + getPhrase(*undoAction) : undoWord);
    }
    if (redo) {
        redo->setEnabled(redoAction.has_value());
        redo->setText(redoAction ? redoWord + ' ' + getPhrase(*redoAction) : redoWord);
    }
    refreshSavedMark();
}

void MainWindow::afterHistoryStep() {
    // A step may have changed any frame, the size (a paste into an empty document) and the
    // pickers (the observers heard of those); the editor shows the frame the step changed.
    setEditingArea();
    showSessionFrame();
}

void MainWindow::undoStep() {
    guarded("Undo", [this] {
        endDrag();
        if (isPlaying()) {
            stopButtonClick();
        }
        m_frameSelection.clear(m_doc.frames); // its numbers may not hold after the step
        setSelectedFrameCount(0);
        if (m_session.undo()) {
            afterHistoryStep();
        }
    });
}

void MainWindow::redoStep() {
    guarded("Redo", [this] {
        endDrag();
        if (isPlaying()) {
            stopButtonClick();
        }
        m_frameSelection.clear(m_doc.frames);
        setSelectedFrameCount(0);
        if (m_session.redo()) {
            afterHistoryStep();
        }
    });
}

// ---- canvas input -------------------------------------------------------------------------

void MainWindow::editPaintBoxMouseDown(QMouseEvent* event) {
    m_scrollBox->setFocus();
    if (!m_selectBoxTimer || isPlaying()) {
        return; // no document yet, or playback, which never edits
    }
    guarded("EditPaintBoxMouseDown", [&] {
        if (m_scaleSpinEdit->hasFocus()) {
            scaleSpinEditChange();
        }
        const QPoint pos = event->position().toPoint();
        m_drag.downX = pos.x();
        m_drag.downY = pos.y();
        m_drag.moved = false;
        m_drag.reach.end();
        m_drag.pendingSelect = -1;
        m_drag.active = false;
        const PointF p = animationPoint(pos);
        const HitResult hit = edit().hitTest(m_doc.figureTypes(), p, handleView());
        m_drag.handle = hit.handle;
        m_drag.figure = hit.figure;
        if (hit.handle == kNoHandle) {
            m_drag.boxActive = true;
            m_drag.boxX = pos.x();
            m_drag.boxY = pos.y();
            m_drag.inside.assign(size_t(edit().figureCount()), 0);
            m_selectBox->setGeometry(pos.x(), pos.y(), 0, 0);
            m_selectBox->show();
            m_selectBoxTimer->start();
            return;
        }
        if (m_joinButton->isChecked() && edit().selectedCount() > 0 &&
            !edit().figures[edit().selection[0]].isJoined) {
            const Figure& target = edit().figures[size_t(hit.figure)];
            const int joint =
                hit.handle == kMainHandle
                    ? 0
                    : m_doc.figureType(target.typeIndex).segments[size_t(hit.handle)].endJoint;
            if (edit().join(edit().selection[0], hit.figure, joint)) {
                setFigureControls();
                drawFigures();
            }
            assignUndo(PhraseType::MUndoJoin);
            endDrag();
            return;
        }
        m_drag.last = p;
        Figure& f = edit().figures[size_t(hit.figure)];
        const bool selected = f.selectionPos >= 0;
        bool changed = false;
        if (!(event->modifiers() & Qt::ShiftModifier)) {
            if (!selected) {
                edit().select(hit.figure, true);
                changed = true;
            } else {
                m_drag.pendingSelect = hit.figure;
            }
            m_drag.active = true;
        } else if (!selected) {
            edit().select(hit.figure, false);
            changed = true;
            m_drag.active = true;
        } else if (edit().selectedCount() == 1) {
            m_drag.active = true;
        } else {
            edit().deselect(hit.figure);
            changed = true;
        }
        if (hit.handle >= 0) {
            const FigureType& type = m_doc.figureType(f.typeIndex);
            m_drag.snap =
                f.pose[size_t(hit.handle)].length != type.segments[size_t(hit.handle)].length;
            // A handle with nothing above it to bend with drags the ordinary way.
            if (m_drag.active && (event->modifiers() & kReachModifier)) {
                m_drag.reach.begin(edit(), m_doc.figureTypes(), hit.figure, hit.handle);
            }
        }
        if (changed) {
            setFigureControls();
            drawFigures();
        }
    });
}

void MainWindow::editPaintBoxMouseMove(QMouseEvent* event) {
    guarded("EditPaintBoxMouseMove", [&] {
        if (isPlaying()) {
            return;
        }
        if (m_drag.boxActive) {
            // The pointer's own position: the timer alone would miss quick strokes.
            stretchSelectBox(event->position().toPoint());
            return;
        }
        if (!m_drag.active) {
            return;
        }
        if (m_drag.handle == kNoHandle) {
            endDrag();
            return;
        }
        const PointF p = animationPoint(event->position().toPoint());
        if (p.x == m_drag.last.x && p.y == m_drag.last.y) {
            return;
        }
        const int i = m_drag.figure;
        const Rect old = edit().figures[size_t(i)].bounds;
        if (m_drag.reach.active()) {
            m_drag.reach.moveTo(edit(), m_doc.figureTypes(), p);
        } else if (m_drag.handle == kMainHandle) {
            edit().moveSelection(p.x - m_drag.last.x, p.y - m_drag.last.y);
        } else {
            const auto mods = event->modifiers();
            const Modifiers m{bool(mods & Qt::ControlModifier), bool(mods & Qt::AltModifier)};
            if (edit().dragHandle(m_doc.figureTypes(), i, m_drag.handle, p, m_drag.snap, m) &&
                edit().selectedCount() > 0) {
                setScaleEditFromScale(edit().figures[edit().selection[0]].scale);
            }
        }
        reDrawFigure(i, old);
        m_drag.moved = true;
        m_drag.last = p;
    });
}

void MainWindow::editPaintBoxMouseUp(QMouseEvent*) {
    guarded("EditPaintBoxMouseUp", [this] { endDrag(); });
}

void MainWindow::endDrag() {
    m_drag.handle = kNoHandle;
    if (m_drag.active && m_drag.pendingSelect >= 0 && !m_drag.moved &&
        m_drag.pendingSelect < edit().figureCount()) {
        edit().select(m_drag.pendingSelect, true);
        setFigureControls();
        drawFigures();
    }
    m_drag.pendingSelect = -1;
    m_drag.active = false;
    m_drag.reach.end();
    if (m_drag.boxActive) {
        m_drag.boxActive = false;
    }
    if (m_selectBox) {
        m_selectBox->hide();
        m_selectBoxTimer->stop();
    }
    if (m_drag.moved) {
        assignUndo(PhraseType::BUndoMove);
        m_drag.moved = false;
    }
}

void MainWindow::followPointerWithSelectBox() {
    if (m_drag.boxActive) {
        stretchSelectBox(m_canvas->mapFromGlobal(QCursor::pos()));
    }
}

void MainWindow::stretchSelectBox(const QPoint& cursor) {
    const int x = std::clamp(cursor.x(), 0, m_canvas->width());
    const int y = std::clamp(cursor.y(), 0, m_canvas->height());
    if (m_selectBox->isVisible() && x == m_drag.boxX && y == m_drag.boxY) {
        return;
    }
    m_drag.boxX = x;
    m_drag.boxY = y;
    const QRect box(std::min(x, m_drag.downX), std::min(y, m_drag.downY),
                    std::abs(x - m_drag.downX), std::abs(y - m_drag.downY));
    m_selectBox->setGeometry(box);
    m_selectBox->show();
    // The box in animation pixels; at a zoom its corners may fall between pixels, and the
    // box then takes in the pixels they touch.
    const PointF topLeft = animationPoint(box.topLeft());
    const PointF bottomRight =
        animationPoint(QPoint(box.left() + box.width(), box.top() + box.height()));
    const Rect r{int(std::floor(topLeft.x)), int(std::floor(topLeft.y)),
                 int(std::ceil(bottomRight.x)), int(std::ceil(bottomRight.y))};
    if (applySelectBox(edit(), m_drag.inside, r)) {
        setFigureControls();
        drawFigures();
    }
}

// ---- keyboard -----------------------------------------------------------------------------

void MainWindow::formKeyDown(QKeyEvent* event) {
    if (frameStepKey(event)) {
        return;
    }
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool canvasFocus = m_scrollBox->hasFocus();
    const int key = event->key();
    if (key == Qt::Key_H && ctrl) {
        appSettings().showHandles = !appSettings().showHandles;
        drawFigures();
        return;
    }
    if (isPlaying() && (key == Qt::Key_Space || key == Qt::Key_Delete || arrowBit(key))) {
        return; // playback shows the document and never changes it
    }
    if (key == Qt::Key_Space && canvasFocus) {
        nextFrameButtonClick();
        return;
    }
    if (key == Qt::Key_Delete && canvasFocus) {
        if (edit().figureCount() > 0) {
            deleteFigureButtonClick();
        }
        return;
    }
    if (arrowBit(key) && canvasFocus) {
        if (ctrl) {
            if ((key == Qt::Key_Left || key == Qt::Key_Right) && edit().figureCount() >= 2 &&
                edit().selectedCount() == 1) {
                edit().select(neighbourFigure(edit().selection[0], edit().figureCount(),
                                              key == Qt::Key_Right),
                              true);
                m_drag.handle = kNoHandle;
                setFigureControls();
                drawFigures();
            }
            return;
        }
        m_drag.heldArrows |= arrowBit(key);
        const int dx = ((m_drag.heldArrows & kArrowRight) ? 1 : 0) -
                       ((m_drag.heldArrows & kArrowLeft) ? 1 : 0);
        const int dy =
            ((m_drag.heldArrows & kArrowDown) ? 1 : 0) - ((m_drag.heldArrows & kArrowUp) ? 1 : 0);
        if ((dx || dy) && edit().selectedCount() > 0) {
            edit().moveSelection(dx, dy);
            m_keyMoved = true;
            drawFigures();
        }
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::formKeyUp(QKeyEvent* event) {
    if (!event->isAutoRepeat()) {
        m_drag.heldArrows &= uint8_t(~arrowBit(event->key()));
    }
    // Auto-repeat sends a release before every repeated press; only the real release ends
    // the move.
    if (m_keyMoved && !event->isAutoRepeat()) {
        assignUndo(PhraseType::BUndoMove);
        m_keyMoved = false;
    }
    if (!arrowBit(event->key())) {
        QMainWindow::keyReleaseEvent(event);
    }
}

} // namespace kelto
