#include "builder/buildercanvas.h"
#include "builder/builderunits.h"
#include "builder/figurebuilderform.h"
#include "builder/smallcross.h"
#include "dialogs/prompter.h"
#include "report/errorreporter.h"
#include "settings/multilang.h"

#include <QCursor>
#include <QTimer>

// The builder's commands: the segment buttons and keys, adding and duplicating segments with
// the mouse, dragging handles, and undo. The edits themselves are FigureBuilder's; this file
// runs the modes, draws the result and records the undo steps.

namespace kelto {

using namespace builder;

// ---------------------------------------------------------------------------------------------
// After an edit

void FigureBuilderForm::finishEdit(PhraseType key) {
    displaySegmentData();
    drawFigure(true, true);
    m_modified = true;
    assignUndo(key);
}

// An edit may shrink the figure, so the whole canvas is cleared before it is drawn again.
void FigureBuilderForm::applySegmentEdit(bool changed, PhraseType key) {
    if (changed) {
        clearCanvas();
        finishEdit(key);
    }
}

void FigureBuilderForm::tellSegmentLimit() {
    prompter().tell(getPhrase(PhraseType::BNoMoreSeg));
}

// ---------------------------------------------------------------------------------------------
// Adding and duplicating segments

void FigureBuilderForm::lineButtonClick() {
    m_newKind = skLine;
    guarded("Builder.LineButtonClick", [this] { startAddingSegment(); });
}

void FigureBuilderForm::circleButtonClick() {
    m_newKind = skCircle;
    guarded("Builder.CircleButtonClick", [this] { startAddingSegment(); });
}

void FigureBuilderForm::startAddingSegment() {
    if (!m_builder.canAddSegment()) {
        tellSegmentLimit();
        return;
    }
    m_canvas->setCursor(smallCrossCursor());
    if (m_placeDuplicate || m_drawSegment) {
        clearCanvas();
        drawFigure(true, true);
        m_placeDuplicate = false;
        m_drawSegment = false;
    }
    setStatus(getPhrase(PhraseType::BSelectHandle));
    m_pickStart = true;
    enableSelectedSegmentButtons(false);
}

void FigureBuilderForm::duplicateButtonClick() {
    guarded("Builder.DuplicateButtonClick", [this] {
        if (!m_builder.hasSelection()) {
            return;
        }
        if (!m_builder.canAddSegment()) {
            tellSegmentLimit();
            return;
        }
        m_placeDuplicate = true;
        enableSelectedSegmentButtons(false);
        m_canvas->setCursor(smallCrossCursor());
        setStatus(getPhrase(PhraseType::BSelectHandle));
        const Segment& seg = m_builder.type().segments[size_t(m_builder.selected())];
        const PointF a = m_builder.figure().joint(seg.startJoint);
        const PointF b = m_builder.figure().joint(seg.endJoint);
        m_dupOffset = {b.x - a.x, b.y - a.y};
        m_newKind = seg.kind;
        setMousePos(QPointF(a.x, a.y));
    });
}

void FigureBuilderForm::setMousePos(QPointF point) {
    QCursor::setPos(m_canvas->mapToGlobal(QPoint(safeRound(point.x()), safeRound(point.y()))));
}

void FigureBuilderForm::pickStartAt(QPoint pos) {
    const int hit = m_builder.hitHandle(pointOf(pos));
    if (hit == kNoHandle) {
        return;
    }
    m_newStartJoint = m_builder.startJointOfHandle(hit);
    setStatus(getPhrase(PhraseType::BClickToAdd));
    m_pickStart = false;
    m_drawSegment = true;
}

void FigureBuilderForm::addSegmentAt(QPoint pos) {
    clearCanvas(); // ending a mode: the preview may reach beyond the figure
    const BuildResult result = m_builder.addSegment(m_newStartJoint, m_newKind, pointOf(pos));
    m_drawSegment = false;
    m_canvas->unsetCursor();
    enableSelectedSegmentButtons(true);
    drawFigure(true, true);
    if (result == BuildResult::Done) {
        m_modified = true;
        assignUndo(PhraseType::BUndoAdd);
    }
    displaySegmentData();
}

void FigureBuilderForm::placeDuplicateAt(QPoint pos) {
    const int hit = m_builder.hitHandle(pointOf(pos));
    if (hit == kNoHandle) {
        return;
    }
    const BuildResult result = m_builder.addDuplicate(m_builder.startJointOfHandle(hit), m_newKind);
    clearCanvas();
    m_placeDuplicate = false;
    m_canvas->unsetCursor();
    enableSelectedSegmentButtons(true);
    displaySegmentData();
    drawFigure(true, true);
    if (result == BuildResult::Done) {
        m_modified = true;
        assignUndo(PhraseType::BUndoDuplicate);
    }
    m_grabbed = kNoHandle;
}

// ---------------------------------------------------------------------------------------------
// Mouse

void FigureBuilderForm::canvasPress(QPoint pos) {
    guarded("Builder.CanvasPress", [this, pos] {
        if (m_pickStart) {
            pickStartAt(pos);
        } else if (m_drawSegment) {
            addSegmentAt(pos);
        } else if (m_placeDuplicate) {
            placeDuplicateAt(pos);
        } else {
            selectAt(pos);
        }
    });
}

void FigureBuilderForm::selectAt(QPoint pos) {
    m_dragging = true;
    m_grabbed = m_builder.selectAt(pointOf(pos));
    if (m_grabbed != kNoHandle) {
        m_textTimer->start();
    }
    if (m_grabbed >= 0) {
        displaySegmentData();
        eraseFigure();
        drawFigure(true, true);
    }
    m_lastMouse = pos;
}

void FigureBuilderForm::canvasMove(QPoint pos, Modifiers mods) {
    guarded("Builder.CanvasMove", [this, pos, mods] {
        if (m_drawSegment) {
            previewNewSegment(pos);
        } else if (m_placeDuplicate) {
            previewDuplicate(pos);
        } else if (m_dragging && m_grabbed != kNoHandle && pos != m_lastMouse) {
            dragTo(pos, mods);
        }
    });
}

void FigureBuilderForm::dragTo(QPoint pos, Modifiers mods) {
    m_moved = true;
    eraseFigure();
    m_builder.dragHandle(m_grabbed, pointOf(m_lastMouse), pointOf(pos), mods, m_editMode);
    drawFigure(true, true);
    m_modified = true;
    m_lastMouse = pos;
}

void FigureBuilderForm::canvasRelease() {
    guarded("Builder.CanvasRelease", [this] {
        m_dragging = false;
        m_textTimer->stop();
        if (m_grabbed != kNoHandle) {
            displaySegmentData();
        }
        m_grabbed = kNoHandle;
        if (m_moved) {
            assignUndo(PhraseType::BUndoMove);
            m_moved = false;
        }
    });
}

void FigureBuilderForm::refreshStatus() {
    guarded("Builder.RefreshStatus", [this] { displaySegmentData(); });
}

// ---------------------------------------------------------------------------------------------
// Segment operations

void FigureBuilderForm::changeKindButtonClick() {
    guarded("Builder.ChangeKindButtonClick",
            [this] { applySegmentEdit(m_builder.toggleKind(), PhraseType::BUndoKind); });
}

void FigureBuilderForm::circleKindButtonClick() {
    guarded("Builder.CircleKindButtonClick",
            [this] { applySegmentEdit(m_builder.cycleCircleFill(), PhraseType::BUndoFillKind); });
}

void FigureBuilderForm::changeStaticButtonClick() {
    guarded("Builder.ChangeStaticButtonClick",
            [this] { applySegmentEdit(m_builder.toggleStatic(), PhraseType::BUndoStatic); });
}

void FigureBuilderForm::changeThickness(bool up, bool ctrl) {
    guarded("Builder.ChangeThickness", [this, up, ctrl] {
        applySegmentEdit(m_builder.changeThickness(up, ctrl), PhraseType::BUndoThickness);
    });
}

void FigureBuilderForm::thicknessButtonPressed(bool up) {
    m_repeatUp = up;
    m_repeatCounter = 0;
    changeThickness(up, ctrlHeld());
    m_upDownTimer->start();
}

void FigureBuilderForm::thicknessButtonReleased() {
    m_upDownTimer->stop();
}

void FigureBuilderForm::repeatThicknessStep() {
    if (mode() != Mode::None) { // a key started a mode while the button was held
        m_upDownTimer->stop();
        return;
    }
    // The first four ticks only wait, so a click gives one step and holding repeats.
    if (m_repeatCounter < 4) {
        ++m_repeatCounter;
        return;
    }
    changeThickness(m_repeatUp, ctrlHeld());
}

void FigureBuilderForm::splitButtonClick() {
    guarded("Builder.SplitButtonClick", [this] {
        if (m_builder.hasSelection() && !m_builder.canAddSegment()) {
            tellSegmentLimit();
            return;
        }
        applySegmentEdit(m_builder.splitSelected() == BuildResult::Done, PhraseType::BUndoSplit);
    });
}

void FigureBuilderForm::deleteButtonClick(bool wholeBranch) {
    guarded("Builder.DeleteButtonClick", [this, wholeBranch] {
        applySegmentEdit(m_builder.deleteSelected(wholeBranch), PhraseType::BUndoDelete);
    });
}

void FigureBuilderForm::nominateButtonClick() {
    guarded("Builder.NominateButtonClick",
            [this] { applySegmentEdit(m_builder.makeSelectedEndRoot(), PhraseType::BUndoOrigin); });
}

void FigureBuilderForm::toggleEditMode() {
    m_editMode = !m_editMode;
    m_editModeAction->setChecked(m_editMode);
}

// ---------------------------------------------------------------------------------------------
// Undo

void FigureBuilderForm::restoreState(const BuilderUndoState& state) {
    m_builder.restore(state.type, state.figure, state.selected);
    updateUndoCaptions();
    drawFigure(true, true);
    m_modified = true;
    displaySegmentData();
}

void FigureBuilderForm::undo() {
    guarded("Builder.Undo", [this] {
        if (!m_undo.canUndo() || mode() != Mode::None) {
            return;
        }
        eraseFigure();
        restoreState(m_undo.undo());
    });
}

void FigureBuilderForm::redo() {
    guarded("Builder.Redo", [this] {
        if (!m_undo.canRedo() || mode() != Mode::None) {
            return;
        }
        eraseFigure();
        restoreState(m_undo.redo());
    });
}

} // namespace kelto
