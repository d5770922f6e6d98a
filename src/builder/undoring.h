#pragma once

#include "model/figure.h"
#include "model/figuretype.h"
#include "settings/phrasetype.h"

#include <array>
#include <cstdint>

namespace kelto {

// One remembered state of the figure builder.
struct BuilderUndoState {
    FigureType type;
    Figure figure;
    uint8_t selected = 0;
    PhraseType key = PhraseType::Undo; // names the action that produced the state
};

// The builder's undo history: a ring of 40 states whose last one is the current state, so at
// most 39 steps can be undone. Consecutive thickness steps on one segment share a state.
class BuilderUndoRing {
public:
    static constexpr int kSlots = 40;

    // Forgets everything and holds the given state as the only one.
    void init(const FigureType& type, const Figure& figure, uint8_t selected);
    // Records the state after a completed edit named by key; drops the redo states.
    void assign(PhraseType key, const FigureType& type, const Figure& figure, uint8_t selected);

    bool canUndo() const { return m_count > 1; }
    bool canRedo() const { return m_redo > 0; }
    // Steps back (forward) and returns the state to restore; call only when canUndo (canRedo).
    const BuilderUndoState& undo();
    const BuilderUndoState& redo();

    // The action the next undo would take back, and the one the next redo would repeat.
    PhraseType undoKey() const { return slot(m_count - 1).key; }
    PhraseType redoKey() const { return slot(m_count).key; }

    int stateCount() const { return m_count; }
    int redoCount() const { return m_redo; }

private:
    BuilderUndoState& slot(int offset) { return m_slots[size_t((m_start + offset) % kSlots)]; }
    const BuilderUndoState& slot(int offset) const {
        return m_slots[size_t((m_start + offset) % kSlots)];
    }

    std::array<BuilderUndoState, kSlots> m_slots;
    int m_start = 0;
    int m_count = 0; // states held, 1..40 after init; the current one is the last
    int m_redo = 0;  // states beyond the current one
};

} // namespace kelto
