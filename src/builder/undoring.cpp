#include "builder/undoring.h"

namespace kelto {

void BuilderUndoRing::init(const FigureType& type, const Figure& figure, uint8_t selected) {
    m_start = 0;
    m_count = 0;
    assign(PhraseType::Undo, type, figure, selected);
}

void BuilderUndoRing::assign(PhraseType key, const FigureType& type, const Figure& figure,
                             uint8_t selected) {
    if (key == PhraseType::BUndoThickness && m_count > 0) {
        const BuilderUndoState& last = slot(m_count - 1);
        if (last.key == PhraseType::BUndoThickness && last.selected == selected) {
            --m_count; // the new thickness replaces the one just recorded
        }
    }
    BuilderUndoState& state = slot(m_count);
    state.type.assign(type);
    state.figure.assign(figure);
    state.selected = selected;
    state.key = key;
    if (m_count < kSlots) {
        ++m_count;
    } else {
        m_start = (m_start + 1) % kSlots;
    }
    m_redo = 0;
}

const BuilderUndoState& BuilderUndoRing::undo() {
    if (m_count > 1) {
        --m_count;
        ++m_redo;
    }
    return slot(m_count - 1);
}

const BuilderUndoState& BuilderUndoRing::redo() {
    if (m_redo > 0) {
        ++m_count;
        --m_redo;
    }
    return slot(m_count - 1);
}

} // namespace kelto
