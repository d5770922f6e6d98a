#include "document/editsession.h"

#include <algorithm>
#include <utility>

namespace kelto {

namespace {

bool sameJoints(const std::vector<FigureJoint>& a, const std::vector<FigureJoint>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const FigureJoint& p, const FigureJoint& q) {
                          return p.x == q.x && p.y == q.y && p.joinedFigures == q.joinedFigures;
                      });
}

bool samePose(const std::vector<SegmentPose>& a, const std::vector<SegmentPose>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const SegmentPose& p, const SegmentPose& q) {
                          return p.angle == q.angle && p.length == q.length;
                      });
}

// Everything a figure holds apart from scratch marks; a figure that compares equal need not
// be kept by a step.
bool sameFigure(const Figure& a, const Figure& b) {
    return a.scale == b.scale && a.bounds == b.bounds && a.colour == b.colour &&
           a.transparency == b.transparency && a.typeIndex == b.typeIndex &&
           a.flipped == b.flipped && a.stretchedCount == b.stretchedCount &&
           a.isJoined == b.isJoined && a.joinParent == b.joinParent && a.joinJoint == b.joinJoint &&
           a.joinedChildCount == b.joinedChildCount && a.orderPos == b.orderPos &&
           a.selectionPos == b.selectionPos && a.figureID == b.figureID &&
           samePose(a.pose, b.pose) && sameJoints(a.jointPos, b.jointPos);
}

// Whether two figures differ in what is stored (the selection aside).
bool sameContent(const Figure& a, const Figure& b) {
    Figure copy = b;
    copy.selectionPos = a.selectionPos;
    return sameFigure(a, copy);
}

// One side of a canvas step: the figures that differ from the other side, and the frame's
// own fields.
struct FrameSide {
    int count = 0;
    std::vector<std::pair<uint16_t, Figure>> figures;
    std::vector<uint16_t> drawOrder;
    std::vector<uint16_t> selection;
    PointF selectionCentre;
    uint8_t backgroundIndex = 0;
    uint16_t repeatCount = 1;
    uint8_t joinMode = 0;

    void takeFields(const Figures& frame) {
        count = frame.figureCount();
        drawOrder = frame.drawOrder;
        selection = frame.selection;
        selectionCentre = frame.selectionCentre;
        backgroundIndex = frame.backgroundIndex;
        repeatCount = frame.repeatCount;
        joinMode = frame.joinMode;
    }

    // Exchanges this side with the frame, which holds the other side: the figures this side
    // keeps, and those only the frame has, change places. One side is all a step keeps.
    void swapWith(Figures& frame) {
        FrameSide current;
        current.takeFields(frame);
        for (auto& entry : figures) {
            if (entry.first < current.count) {
                current.figures.emplace_back(entry.first, std::move(frame.figures[entry.first]));
            }
        }
        for (int i = count; i < current.count; ++i) {
            current.figures.emplace_back(uint16_t(i), std::move(frame.figures[size_t(i)]));
        }
        frame.figures.resize(size_t(count));
        for (auto& [i, figure] : figures) {
            frame.figures[i] = std::move(figure);
        }
        frame.drawOrder = std::move(drawOrder);
        frame.selection = std::move(selection);
        frame.selectionCentre = selectionCentre;
        frame.backgroundIndex = backgroundIndex;
        frame.repeatCount = repeatCount;
        frame.joinMode = joinMode;
        *this = std::move(current);
        // Figures outside the step may carry a selection made since; the list decides.
        for (Figure& f : frame.figures) {
            f.selectionPos = -1;
        }
        std::erase_if(frame.selection, [&](uint16_t i) { return i >= frame.figures.size(); });
        for (size_t k = 0; k < frame.selection.size(); ++k) {
            frame.figures[frame.selection[k]].selectionPos = int32_t(k);
        }
    }
};

struct FrameDelta {
    FrameSide before;
    FrameSide after;
    bool contentChanged = false;
    bool empty = true;
};

FrameDelta diffFrames(const Figures& before, const Figures& after) {
    FrameDelta d;
    d.before.takeFields(before);
    d.after.takeFields(after);
    const int common = std::min(before.figureCount(), after.figureCount());
    for (int i = 0; i < common; ++i) {
        const Figure& a = before.figures[size_t(i)];
        const Figure& b = after.figures[size_t(i)];
        if (!sameFigure(a, b)) {
            d.before.figures.emplace_back(uint16_t(i), a);
            d.after.figures.emplace_back(uint16_t(i), b);
            d.contentChanged = d.contentChanged || !sameContent(a, b);
        }
    }
    for (int i = common; i < before.figureCount(); ++i) {
        d.before.figures.emplace_back(uint16_t(i), before.figures[size_t(i)]);
    }
    for (int i = common; i < after.figureCount(); ++i) {
        d.after.figures.emplace_back(uint16_t(i), after.figures[size_t(i)]);
    }
    const bool fieldsDiffer = before.drawOrder != after.drawOrder ||
                              before.backgroundIndex != after.backgroundIndex ||
                              before.repeatCount != after.repeatCount;
    d.contentChanged = d.contentChanged || fieldsDiffer || d.before.count != d.after.count;
    d.empty = !d.contentChanged && d.before.figures.empty() &&
              before.selection == after.selection && before.joinMode == after.joinMode;
    return d;
}

// A step of the document history. It holds the session (and through it the document), never
// a widget, and names its action by phrase.
class SessionStep : public QUndoCommand {
public:
    SessionStep(EditSession& session, PhraseType action, bool changesContent = true)
        : m_session(session), m_action(action), m_changesContent(changesContent) {}
    PhraseType action() const { return m_action; }
    bool changesContent() const { return m_changesContent; }

protected:
    EditSession& m_session;
    Document& doc() { return m_session.document(); }

private:
    PhraseType m_action;
    bool m_changesContent;
};

class CanvasStep : public SessionStep {
public:
    // The new frame is not stored in the file, so its edits leave the document saved.
    // Only the side before the edit is kept; the frame holds the other one, and undo and
    // redo exchange them.
    CanvasStep(EditSession& session, PhraseType action, int frame, FrameDelta delta)
        : SessionStep(session, action, delta.contentChanged && frame >= 0), m_frame(frame),
          m_other(std::move(delta.before)) {}
    void undo() override { exchange(); }
    void redo() override {
        if (m_done) {
            m_done = false; // the first redo is the edit itself, already made
            return;
        }
        exchange();
    }

private:
    void exchange() {
        m_session.showFrame(m_frame);
        m_other.swapWith(m_session.frameAt(m_frame));
    }
    int m_frame;
    FrameSide m_other;
    bool m_done = true;
};

class AddFrameStep : public SessionStep {
public:
    AddFrameStep(EditSession& session, Figures frame)
        : SessionStep(session, PhraseType::MUndoAddFrame), m_frame(std::move(frame)) {}
    void redo() override {
        Figures stored = m_frame;
        doc().frames.push_back(std::move(stored));
        m_session.newFrame().repeatCount = 1;
        m_session.showFrame(-1);
        doc().notifyObservers(DocumentChange::FramesChanged, doc().frameCount() - 1);
    }
    void undo() override {
        doc().frames.pop_back();
        m_session.newFrame().repeatCount = m_frame.repeatCount;
        m_session.showFrame(-1);
        doc().notifyObservers(DocumentChange::FramesChanged, doc().frameCount());
    }

private:
    Figures m_frame;
};

class InsertFrameStep : public SessionStep {
public:
    InsertFrameStep(EditSession& session, int position, Figures frame)
        : SessionStep(session, PhraseType::MUndoInsertFrame), m_position(position),
          m_frame(std::move(frame)) {}
    void redo() override {
        Figures copy = m_frame;
        doc().frames.insert(doc().frames.begin() + m_position, std::move(copy));
        m_session.showFrame(m_position);
        doc().notifyObservers(DocumentChange::FramesChanged, m_position);
    }
    void undo() override {
        doc().frames.erase(doc().frames.begin() + m_position);
        m_session.showFrame(m_position > 0 ? m_position - 1 : 0);
        doc().notifyObservers(DocumentChange::FramesChanged, m_position);
    }

private:
    int m_position;
    Figures m_frame;
};

// A run of new frames inserted at one position (the in-betweens of two key frames).
class InsertFramesStep : public SessionStep {
public:
    InsertFramesStep(EditSession& session, PhraseType action, int position,
                     std::vector<Figures> frames, int shownAfterUndo)
        : SessionStep(session, action), m_position(position), m_frames(std::move(frames)),
          m_shownAfterUndo(shownAfterUndo) {}
    void redo() override {
        auto& frames = doc().frames;
        frames.insert(frames.begin() + m_position, m_frames.begin(), m_frames.end());
        m_session.showFrame(m_position);
        doc().notifyObservers(DocumentChange::FramesChanged, m_position);
    }
    void undo() override {
        auto& frames = doc().frames;
        const auto first = frames.begin() + m_position;
        frames.erase(first, first + std::ssize(m_frames));
        m_session.showFrame(m_shownAfterUndo);
        doc().notifyObservers(DocumentChange::FramesChanged, m_position);
    }

private:
    int m_position;
    std::vector<Figures> m_frames;
    int m_shownAfterUndo;
};

// Deletion of one or more frames; the frames are kept in ascending order of their numbers.
class DeleteFramesStep : public SessionStep {
public:
    DeleteFramesStep(EditSession& session, PhraseType action,
                     std::vector<std::pair<int, Figures>> frames)
        : SessionStep(session, action), m_frames(std::move(frames)) {}
    void redo() override {
        auto& frames = doc().frames;
        if (m_frames.size() == 1) {
            frames.erase(frames.begin() + m_frames.front().first);
        } else {
            // One pass for many frames: a selection may hold most of a long animation.
            std::vector<uint8_t> gone(frames.size(), 0);
            for (const auto& entry : m_frames) {
                gone[size_t(entry.first)] = 1;
            }
            size_t i = 0;
            std::erase_if(frames, [&](const Figures&) { return gone[i++] != 0; });
        }
        m_session.showFrame(-1);
        doc().notifyObservers(DocumentChange::FramesChanged, m_frames.front().first);
    }
    void undo() override {
        auto& frames = doc().frames;
        for (const auto& [index, frame] : m_frames) {
            frames.insert(frames.begin() + index, frame);
        }
        m_session.showFrame(m_frames.front().first);
        doc().notifyObservers(DocumentChange::FramesChanged, m_frames.front().first);
    }

private:
    std::vector<std::pair<int, Figures>> m_frames;
};

// What a paste changes besides the frames it inserts.
struct PasteBase {
    int types = 0;
    int backgrounds = 0;
    int32_t lastFigureID = 0;
    int32_t frameRate = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// The paste is redone from the clipboard bytes: with the document as it was before, the
// merge gives the same result again.
class PasteStep : public SessionStep {
public:
    PasteStep(EditSession& session, std::vector<uint8_t> bytes, int position, bool own,
              const PasteBase& base, const PasteResult& result)
        : SessionStep(session, PhraseType::MUndoPasteFrames), m_bytes(std::move(bytes)),
          m_position(position), m_own(own), m_base(base), m_result(result) {}
    void redo() override {
        if (m_done) {
            m_done = false; // the first redo is the paste itself, already made
            return;
        }
        doc().pasteFrames(m_bytes.data(), m_bytes.size(), m_position, m_own);
        m_session.showFrame(m_result.firstFrame);
    }
    void undo() override {
        auto& frames = doc().frames;
        const auto first = frames.begin() + m_result.firstFrame;
        frames.erase(first, first + m_result.frameCount);
        doc().removeFigureTypesFrom(m_base.types);
        doc().removeBackgroundsFrom(m_base.backgrounds);
        if (m_result.dimensionsAdopted) {
            doc().setAnimationDimensions(m_base.width, m_base.height);
        }
        doc().lastFigureID = m_base.lastFigureID;
        doc().frameRate = m_base.frameRate;
        m_session.showFrame(-1);
        doc().notifyObservers(DocumentChange::FramesChanged, m_result.firstFrame);
    }

private:
    std::vector<uint8_t> m_bytes;
    int m_position;
    bool m_own;
    PasteBase m_base;
    PasteResult m_result;
    bool m_done = true;
};

// A repeat count or background slot set on several frames at once.
class FrameFieldStep : public SessionStep {
public:
    enum class Field { Repeat, Background };
    FrameFieldStep(EditSession& session, Field field, std::vector<int> frames, int value)
        : SessionStep(session,
                      field == Field::Repeat ? PhraseType::MUndoRepeat : PhraseType::MUndoBack),
          m_field(field), m_frames(std::move(frames)), m_value(value) {
        for (int f : m_frames) {
            m_old.push_back(get(session.frameAt(f)));
        }
    }
    void redo() override {
        for (int f : m_frames) {
            set(m_session.frameAt(f), m_value);
        }
        m_session.showFrame(m_frames.front());
    }
    void undo() override {
        for (size_t i = 0; i < m_frames.size(); ++i) {
            set(m_session.frameAt(m_frames[i]), m_old[i]);
        }
        m_session.showFrame(m_frames.front());
    }

private:
    int get(const Figures& f) const {
        return m_field == Field::Repeat ? f.repeatCount : f.backgroundIndex;
    }
    void set(Figures& f, int value) const {
        if (m_field == Field::Repeat) {
            f.repeatCount = uint16_t(value);
        } else {
            f.backgroundIndex = uint8_t(value);
        }
    }
    Field m_field;
    std::vector<int> m_frames;
    std::vector<int> m_old;
    int m_value;
};

// Renumbers every frame (the new one included) after a type or slot left or came back.
template <typename Fn>
void forEachFrame(EditSession& session, Fn fn) {
    for (Figures& frame : session.document().frames) {
        fn(frame);
    }
    fn(session.newFrame());
}

class RemoveFigureTypeStep : public SessionStep {
public:
    RemoveFigureTypeStep(EditSession& session, int index)
        : SessionStep(session, PhraseType::MUndoRemoveFigType), m_index(index),
          m_type(session.document().figureType(index)),
          m_name(session.document().figureTypeName(index)) {}
    void redo() override {
        doc().removeFigureType(m_index);
        renumber(-1);
    }
    void undo() override {
        doc().insertFigureType(m_index, m_type, m_name);
        renumber(+1);
    }

private:
    void renumber(int by) {
        const int from = by < 0 ? m_index + 1 : m_index;
        forEachFrame(m_session, [&](Figures& frame) {
            for (Figure& f : frame.figures) {
                if (f.typeIndex >= from) {
                    f.typeIndex = uint16_t(f.typeIndex + by);
                }
            }
        });
        doc().notifyObservers(DocumentChange::Replaced, 0);
    }
    int m_index;
    FigureType m_type;
    std::string m_name;
};

class RemoveBackgroundStep : public SessionStep {
public:
    RemoveBackgroundStep(EditSession& session, int slot)
        : SessionStep(session, PhraseType::MUndoRemoveBack), m_slot(slot),
          m_picture(session.document().background(slot)),
          m_name(session.document().backgroundName(slot)) {}
    void redo() override {
        doc().removeBackground(m_slot);
        renumber(-1);
    }
    void undo() override {
        doc().insertBackground(m_slot, m_picture, m_name);
        renumber(+1);
    }

private:
    void renumber(int by) {
        const int from = by < 0 ? m_slot + 1 : m_slot;
        forEachFrame(m_session, [&](Figures& frame) {
            if (frame.backgroundIndex >= from) {
                frame.backgroundIndex = uint8_t(frame.backgroundIndex + by);
            }
        });
        doc().notifyObservers(DocumentChange::Replaced, 0);
    }
    int m_slot;
    ImageGeneral m_picture;
    std::string m_name;
};

class ReplaceFramesStep : public SessionStep {
public:
    ReplaceFramesStep(EditSession& session, PhraseType action,
                      std::vector<std::pair<int, Figures>> after)
        : SessionStep(session, action), m_after(std::move(after)) {
        for (const auto& entry : m_after) {
            m_before.emplace_back(entry.first, session.frameAt(entry.first));
        }
    }
    void redo() override { apply(m_after); }
    void undo() override { apply(m_before); }

private:
    void apply(const std::vector<std::pair<int, Figures>>& frames) {
        for (const auto& [index, content] : frames) {
            Figures& frame = m_session.frameAt(index);
            const uint8_t mark = frame.timelineSelected;
            frame = content;
            frame.timelineSelected = mark;
        }
        doc().notifyObservers(DocumentChange::FramesChanged, 0);
    }
    std::vector<std::pair<int, Figures>> m_before;
    std::vector<std::pair<int, Figures>> m_after;
};

const SessionStep* stepAt(const QUndoStack& history, int index) {
    return dynamic_cast<const SessionStep*>(history.command(index));
}

} // namespace

EditSession::EditSession(Document doc) : m_doc(std::move(doc)) {
    m_history.setUndoLimit(kDefaultUndoDepth);
    takeBaseline();
}

Figures& EditSession::frameAt(int index) {
    if (index >= 0 && index < frameCount()) {
        return m_doc.frames[size_t(index)];
    }
    return m_newFrame;
}

Figures& EditSession::editFrame() {
    return frameAt(m_editIndex);
}

const Figures& EditSession::editFrame() const {
    return const_cast<EditSession*>(this)->frameAt(m_editIndex);
}

void EditSession::showFrame(int index) {
    m_editIndex = index >= 0 && index < frameCount() ? index : -1;
}

void EditSession::takeBaseline() {
    m_baseline = editFrame(); // a plain copy: assign() would select a figure
}

void EditSession::setEditFrame(int index) {
    if (canvasEditPending()) {
        recordCanvasEdit(PhraseType::BUndoMove);
    }
    showFrame(index);
    takeBaseline();
}

void EditSession::resetHistory(Figures newFrame) {
    m_history.clear();
    m_newFrame = std::move(newFrame);
    m_editIndex = -1;
    takeBaseline();
    m_history.setClean();
}

void EditSession::setUndoDepth(int depth) {
    m_history.clear();
    m_history.setUndoLimit(std::clamp(depth, 1, kMaxUndoDepth));
    takeBaseline();
}

std::optional<PhraseType> EditSession::undoAction() const {
    if (!m_history.canUndo()) {
        return std::nullopt;
    }
    const SessionStep* step = stepAt(m_history, m_history.index() - 1);
    return step ? std::optional(step->action()) : std::nullopt;
}

std::optional<PhraseType> EditSession::redoAction() const {
    if (!m_history.canRedo()) {
        return std::nullopt;
    }
    const SessionStep* step = stepAt(m_history, m_history.index());
    return step ? std::optional(step->action()) : std::nullopt;
}

bool EditSession::undo() {
    // Unrecorded changes become a step first, so that undo takes back exactly them.
    if (canvasEditPending()) {
        recordCanvasEdit(PhraseType::BUndoMove);
    }
    if (!m_history.canUndo()) {
        return false;
    }
    m_history.undo();
    takeBaseline();
    return true;
}

bool EditSession::redo() {
    if (canvasEditPending()) {
        revertCanvasEdits(); // a redo continues from the recorded state
    }
    if (!m_history.canRedo()) {
        return false;
    }
    m_history.redo();
    takeBaseline();
    return true;
}

bool EditSession::isModified() const {
    const int clean = m_history.cleanIndex();
    if (clean < 0) {
        return true; // the saved state has dropped out of the history
    }
    const int from = std::min(clean, m_history.index());
    const int to = std::max(clean, m_history.index());
    for (int i = from; i < to; ++i) {
        const SessionStep* step = stepAt(m_history, i);
        if (!step || step->changesContent()) {
            return true;
        }
    }
    return false;
}

void EditSession::markSaved() {
    m_history.setClean();
}

bool EditSession::canvasEditPending() const {
    return !diffFrames(m_baseline, editFrame()).empty;
}

bool EditSession::recordCanvasEdit(PhraseType action) {
    FrameDelta delta = diffFrames(m_baseline, editFrame());
    if (!delta.contentChanged) {
        // Selecting is no step of its own: the selection is kept with the next step.
        if (!delta.empty) {
            takeBaseline();
        }
        return false;
    }
    m_history.push(new CanvasStep(*this, action, m_editIndex, std::move(delta)));
    takeBaseline();
    return true;
}

void EditSession::revertCanvasEdits() {
    Figures& frame = editFrame();
    const uint8_t mark = frame.timelineSelected;
    frame = m_baseline;
    frame.timelineSelected = mark;
}

bool EditSession::addFrame(int repeatCount) {
    if (!m_doc.canAddFrame()) {
        return false;
    }
    setEditFrame(-1);
    Figures stored;
    stored.assign(m_newFrame);
    stored.timelineSelected = 0;
    stored.repeatCount = uint16_t(std::clamp(repeatCount, 1, 65535));
    m_history.push(new AddFrameStep(*this, std::move(stored)));
    takeBaseline();
    return true;
}

bool EditSession::insertFrame(int position) {
    if (m_doc.frames.empty() || !m_doc.canAddFrame()) {
        return false;
    }
    if (canvasEditPending()) {
        recordCanvasEdit(PhraseType::BUndoMove);
    }
    const int d = std::clamp(position, 0, frameCount() - 1);
    Figures copy;
    copy.assign(m_doc.frames[size_t(d > 0 ? d - 1 : 0)]);
    copy.timelineSelected = 0;
    m_history.push(new InsertFrameStep(*this, d, std::move(copy)));
    takeBaseline();
    return true;
}

bool EditSession::deleteFrame(int frame) {
    if (frame < 0 || frame >= frameCount()) {
        return false;
    }
    if (canvasEditPending()) {
        recordCanvasEdit(PhraseType::BUndoMove);
    }
    Figures copy = m_doc.frames[size_t(frame)];
    copy.timelineSelected = 0;
    std::vector<std::pair<int, Figures>> frames;
    frames.emplace_back(frame, std::move(copy));
    m_history.push(new DeleteFramesStep(*this, PhraseType::MUndoDeleteFrame, std::move(frames)));
    takeBaseline();
    return true;
}

int EditSession::deleteSelectedFrames() {
    if (canvasEditPending()) {
        recordCanvasEdit(PhraseType::BUndoMove);
    }
    std::vector<std::pair<int, Figures>> frames;
    for (int i = 0; i < frameCount(); ++i) {
        if (m_doc.frames[size_t(i)].timelineSelected != 0) {
            Figures copy = m_doc.frames[size_t(i)];
            copy.timelineSelected = 0;
            frames.emplace_back(i, std::move(copy));
        }
    }
    const int count = int(frames.size());
    if (count > 0) {
        m_history.push(
            new DeleteFramesStep(*this, PhraseType::MUndoDeleteFrames, std::move(frames)));
        takeBaseline();
    }
    return count;
}

PasteResult EditSession::pasteFrames(const uint8_t* data, size_t size, int position,
                                     bool ownClipboard, TimelineIndices* timeline) {
    if (canvasEditPending()) {
        recordCanvasEdit(PhraseType::BUndoMove);
    }
    const PasteBase base{m_doc.figureTypeCount(), m_doc.backgroundCount(), m_doc.lastFigureID,
                         m_doc.frameRate,         m_doc.animWidth(),       m_doc.animHeight()};
    PasteResult result = m_doc.pasteFrames(data, size, position, ownClipboard, timeline);
    if (result.status != PasteStatus::Pasted) {
        return result;
    }
    if (m_editIndex >= result.firstFrame) {
        m_editIndex += result.frameCount; // the edited frame keeps its identity
    }
    auto* step = new PasteStep(*this, std::vector<uint8_t>(data, data + size), position,
                               ownClipboard, base, result);
    m_history.push(step);
    takeBaseline();
    return result;
}

bool EditSession::setRepeatCount(const std::vector<int>& frames, int count) {
    count = std::clamp(count, 1, 65535);
    std::vector<int> changed;
    for (int f : frames) {
        if (frameAt(f).repeatCount != count) {
            changed.push_back(f < 0 || f >= frameCount() ? -1 : f);
        }
    }
    if (changed.empty()) {
        return false;
    }
    if (canvasEditPending()) {
        recordCanvasEdit(PhraseType::BUndoMove);
    }
    m_history.push(new FrameFieldStep(*this, FrameFieldStep::Field::Repeat, changed, count));
    takeBaseline();
    return true;
}

bool EditSession::setBackground(const std::vector<int>& frames, int slot) {
    if (slot < 0 || slot >= m_doc.backgroundCount()) {
        return false;
    }
    std::vector<int> changed;
    for (int f : frames) {
        if (frameAt(f).backgroundIndex != slot) {
            changed.push_back(f < 0 || f >= frameCount() ? -1 : f);
        }
    }
    if (changed.empty()) {
        return false;
    }
    if (canvasEditPending()) {
        recordCanvasEdit(PhraseType::BUndoMove);
    }
    m_history.push(new FrameFieldStep(*this, FrameFieldStep::Field::Background, changed, slot));
    takeBaseline();
    return true;
}

bool EditSession::insertInbetweens(int from, int to, int count, Easing easing) {
    const int n = frameCount();
    if (from < 0 || to < 0 || from >= n || to >= n || from == to || count < kMinInbetweens ||
        count > kMaxInbetweens || n > kMaxFrames - count) {
        return false;
    }
    if (canvasEditPending()) {
        recordCanvasEdit(PhraseType::BUndoMove);
    }
    std::vector<Figures> frames = makeInbetweens(
        m_doc.frames[size_t(from)], m_doc.frames[size_t(to)], m_doc.figureTypes(), count, easing);
    m_history.push(new InsertFramesStep(*this, PhraseType::MUndoInbetweens, from + 1,
                                        std::move(frames), from));
    takeBaseline();
    return true;
}

bool EditSession::figureTypeInUse(int index) const {
    auto uses = [index](const Figures& frame) {
        return std::any_of(frame.figures.begin(), frame.figures.end(),
                           [index](const Figure& f) { return f.typeIndex == index; });
    };
    return uses(m_newFrame) || std::any_of(m_doc.frames.begin(), m_doc.frames.end(), uses);
}

bool EditSession::backgroundInUse(int slot) const {
    auto uses = [slot](const Figures& frame) { return frame.backgroundIndex == slot; };
    return uses(m_newFrame) || std::any_of(m_doc.frames.begin(), m_doc.frames.end(), uses);
}

bool EditSession::removeFigureType(int index) {
    if (index < kBuiltInFigureTypes || index >= m_doc.figureTypeCount() || figureTypeInUse(index)) {
        return false;
    }
    if (canvasEditPending()) {
        recordCanvasEdit(PhraseType::BUndoMove);
    }
    m_history.push(new RemoveFigureTypeStep(*this, index));
    takeBaseline();
    return true;
}

bool EditSession::removeBackground(int slot) {
    if (slot < 1 || slot >= m_doc.backgroundCount() || backgroundInUse(slot)) {
        return false;
    }
    if (canvasEditPending()) {
        recordCanvasEdit(PhraseType::BUndoMove);
    }
    m_history.push(new RemoveBackgroundStep(*this, slot));
    takeBaseline();
    return true;
}

bool EditSession::replaceFrames(PhraseType action, std::vector<std::pair<int, Figures>> frames) {
    if (frames.empty()) {
        return false;
    }
    if (canvasEditPending()) {
        recordCanvasEdit(PhraseType::BUndoMove);
    }
    for (auto& entry : frames) {
        if (entry.first < 0 || entry.first >= frameCount()) {
            entry.first = -1;
        }
    }
    m_history.push(new ReplaceFramesStep(*this, action, std::move(frames)));
    takeBaseline();
    return true;
}

void EditSession::startPlayback(int fromFrame) {
    m_playPosition = std::clamp(fromFrame, 0, std::max(frameCount() - 1, 0));
    m_playTicks = 0;
}

PlaybackStep EditSession::playbackTick(bool repeat) {
    PlaybackStep step;
    if (m_doc.frames.empty()) {
        step.ended = true;
        return step;
    }
    if (m_playPosition >= frameCount()) {
        m_playPosition = 0;
        m_playTicks = 0;
    }
    const Figures& frame = m_doc.frames[size_t(m_playPosition)];
    if (m_playTicks == 0) {
        step.frame = m_playPosition;
    }
    ++m_playTicks;
    if (m_playTicks >= std::max<int>(frame.repeatCount, 1)) {
        m_playTicks = 0;
        if (++m_playPosition >= frameCount()) {
            if (!repeat) {
                step.ended = true;
            }
            m_playPosition = 0;
        }
    }
    return step;
}

} // namespace kelto
