#pragma once

#include "model/figure.h"
#include "model/figuretype.h"
#include "settings/phrasetype.h"

#include <QUndoStack>

#include <cstdint>

namespace kelto {

// One remembered state of the figure builder.
struct BuilderUndoState {
    FigureType type;
    Figure figure;
    uint8_t selected = 0;
    PhraseType key = PhraseType::Undo; // names the action that produced the state
};

// The builder's undo history, a command stack like the editor's: each step keeps the state
// before and after one completed edit, 39 steps deep. Consecutive thickness steps on one
// segment merge into one step.
class BuilderHistory {
public:
    static constexpr int kSteps = 39;

    BuilderHistory();

    // Forgets everything and holds the given state as the only one.
    void init(const FigureType& type, const Figure& figure, uint8_t selected);
    // Records the state after a completed edit named by key; drops the redo steps.
    void assign(PhraseType key, const FigureType& type, const Figure& figure, uint8_t selected);

    bool canUndo() const { return m_stack.canUndo(); }
    bool canRedo() const { return m_stack.canRedo(); }
    // Steps back (forward) and returns the state to restore; call only when canUndo (canRedo).
    const BuilderUndoState& undo();
    const BuilderUndoState& redo();

    // The action the next undo would take back, and the one the next redo would repeat.
    PhraseType undoKey() const;
    PhraseType redoKey() const;

    // States reachable by undo, the current one included, and those beyond it.
    int stateCount() const { return m_stack.index() + 1; }
    int redoCount() const { return m_stack.count() - m_stack.index(); }

private:
    const BuilderUndoState& current() const;

    QUndoStack m_stack;
    BuilderUndoState m_base; // the state before the first step ever recorded
};

} // namespace kelto
