#include "editor/undoring.h"

namespace kelto {

void EditUndoRing::init(const Figures& canvas) {
    m_start = 0;
    m_count = 0;
    assign(canvas, PhraseType::Undo);
}

void EditUndoRing::assign(const Figures& canvas, PhraseType action) {
    const int p = slot(m_count);
    m_snapshots[size_t(p)].assign(canvas);
    m_actions[size_t(p)] = action;
    if (m_count < kSlots) {
        ++m_count;
    } else {
        m_start = (m_start + 1) % kSlots; // the oldest snapshot is dropped, the base moves on
    }
    m_redoCount = 0;
}

bool EditUndoRing::undo(Figures& canvas) {
    if (!canUndo()) {
        return false;
    }
    --m_count;
    canvas.assign(m_snapshots[size_t(slot(m_count - 1))]);
    ++m_redoCount;
    return true;
}

bool EditUndoRing::redo(Figures& canvas) {
    if (!canRedo()) {
        return false;
    }
    ++m_count;
    canvas.assign(m_snapshots[size_t(slot(m_count - 1))]);
    --m_redoCount;
    return true;
}

} // namespace kelto
