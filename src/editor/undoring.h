#pragma once

#include "model/figures.h"
#include "settings/phrasetype.h"

#include <array>

namespace kelto {

// The canvas history: full copies of the edited figures taken after each action, kept in a
// ring. The newest snapshot in use always equals the canvas, so the oldest kept one is the
// state to return to and at most kSlots - 1 steps can be undone.
class EditUndoRing {
public:
    static constexpr int kSlots = 20;

    // A new history whose only (base) snapshot is the given canvas.
    void init(const Figures& canvas);
    // Records the canvas after an action; any redo history is lost.
    void assign(const Figures& canvas, PhraseType action);
    // Steps back; the canvas takes the earlier snapshot. False when nothing can be undone.
    bool undo(Figures& canvas);
    // Steps forward again. False when nothing can be redone.
    bool redo(Figures& canvas);

    bool canUndo() const { return m_count > 1; }
    bool canRedo() const { return m_redoCount > 0; }
    // The action that undo would revert / redo would restore (valid only when possible).
    PhraseType undoAction() const { return m_actions[slot(m_count - 1)]; }
    PhraseType redoAction() const { return m_actions[slot(m_count)]; }

private:
    int slot(int offset) const { return (m_start + offset) % kSlots; }

    std::array<Figures, kSlots> m_snapshots;
    std::array<PhraseType, kSlots> m_actions{};
    int m_start = 0;
    int m_count = 0;
    int m_redoCount = 0;
};

} // namespace kelto
