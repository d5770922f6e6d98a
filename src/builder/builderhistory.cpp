#include "builder/builderhistory.h"

namespace kelto {

namespace {

constexpr int kThicknessStep = 1;

BuilderUndoState stateOf(PhraseType key, const FigureType& type, const Figure& figure,
                         uint8_t selected) {
    BuilderUndoState state;
    state.type.assign(type);
    state.figure.assign(figure);
    state.selected = selected;
    state.key = key;
    return state;
}

// The builder's states are small (one type, one figure), so a step keeps both ends.
class BuilderStep : public QUndoCommand {
public:
    BuilderStep(BuilderUndoState before, BuilderUndoState after)
        : m_before(std::move(before)), m_after(std::move(after)) {}
    void undo() override {}
    void redo() override {}
    int id() const override {
        return m_after.key == PhraseType::BUndoThickness ? kThicknessStep : -1;
    }
    // Another thickness step on the same segment replaces this one's result.
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const BuilderStep*>(other);
        if (next->m_after.selected != m_after.selected) {
            return false;
        }
        m_after = next->m_after;
        return true;
    }
    const BuilderUndoState& before() const { return m_before; }
    const BuilderUndoState& after() const { return m_after; }

private:
    BuilderUndoState m_before;
    BuilderUndoState m_after;
};

const BuilderStep* stepAt(const QUndoStack& stack, int index) {
    return static_cast<const BuilderStep*>(stack.command(index));
}

} // namespace

BuilderHistory::BuilderHistory() {
    m_stack.setUndoLimit(kSteps);
}

void BuilderHistory::init(const FigureType& type, const Figure& figure, uint8_t selected) {
    m_stack.clear();
    m_base = stateOf(PhraseType::Undo, type, figure, selected);
}

const BuilderUndoState& BuilderHistory::current() const {
    const int index = m_stack.index();
    if (index > 0) {
        return stepAt(m_stack, index - 1)->after();
    }
    // Steps dropped at the depth limit leave the oldest kept step's start as the first state.
    return m_stack.count() > 0 ? stepAt(m_stack, 0)->before() : m_base;
}

void BuilderHistory::assign(PhraseType key, const FigureType& type, const Figure& figure,
                            uint8_t selected) {
    m_stack.push(new BuilderStep(current(), stateOf(key, type, figure, selected)));
}

const BuilderUndoState& BuilderHistory::undo() {
    m_stack.undo();
    return current();
}

const BuilderUndoState& BuilderHistory::redo() {
    m_stack.redo();
    return current();
}

PhraseType BuilderHistory::undoKey() const {
    return canUndo() ? stepAt(m_stack, m_stack.index() - 1)->after().key : PhraseType::Undo;
}

PhraseType BuilderHistory::redoKey() const {
    return canRedo() ? stepAt(m_stack, m_stack.index())->after().key : PhraseType::Redo;
}

} // namespace kelto
