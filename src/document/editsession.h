#pragma once

#include "document/document.h"
#include "model/figures.h"
#include "model/tween.h"
#include "settings/phrasetype.h"

#include <QUndoStack>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kelto {

inline constexpr int kDefaultUndoDepth = 100;
inline constexpr int kMaxUndoDepth = 10000;

// Where playback stands: the frame shown and how many ticks it has been shown for.
struct PlaybackStep {
    int frame = -1;     // the frame to draw on this tick, or -1 when the picture stays
    bool ended = false; // the last frame has had its ticks and repeating is off
};

// The editing session: the document, the frame being edited, the frame operations, playback
// stepping and one undo history for all of it. It knows nothing of widgets; the window calls
// it and redraws from what it reports.
//
// The frame being edited is held once: a stored frame is edited in place in the document, and
// only the new frame after the last stored one lives here. Canvas edits are bracketed by
// beginCanvasEdit / commitCanvasEdit; the command keeps only the figures that changed.
class EditSession {
public:
    explicit EditSession(Document doc = Document());
    EditSession(const EditSession&) = delete;
    EditSession& operator=(const EditSession&) = delete;

    Document& document() { return m_doc; }
    const Document& document() const { return m_doc; }

    // -1: the new frame after the last stored one.
    int editFrameIndex() const { return m_editIndex; }
    Figures& editFrame();
    const Figures& editFrame() const;
    Figures& newFrame() { return m_newFrame; }
    const Figures& newFrame() const { return m_newFrame; }
    // Moves the editor to a frame (out of range: the new frame). Not an edit; changes not yet
    // recorded are recorded first as a move, so nothing is lost on leaving a frame.
    void setEditFrame(int index);
    // The document was replaced or emptied: the history restarts and counts as saved.
    void resetHistory(Figures newFrame);

    // ---- history -------------------------------------------------------------------------
    QUndoStack& history() { return m_history; }
    const QUndoStack& history() const { return m_history; }
    // Depth in steps (1..kMaxUndoDepth); the history is cleared, as a limit cannot shrink
    // one that holds more steps.
    void setUndoDepth(int depth);
    int undoDepth() const { return m_history.undoLimit(); }
    std::optional<PhraseType> undoAction() const;
    std::optional<PhraseType> redoAction() const;
    bool undo();
    bool redo();

    // The revision is the history position; the saved revision is where the last save was.
    int revision() const { return m_history.index(); }
    // True when a step between the saved revision and this one changed content. Steps that
    // only select figures leave the document saved.
    bool isModified() const;
    void markSaved();

    // ---- canvas edits --------------------------------------------------------------------
    // The window changes editFrame() directly and then records the step: the command keeps
    // only what differs from the state at the previous step (changed figures, order,
    // selection). Nothing is recorded when no content changed (a new selection alone is
    // taken as the recorded state); returns whether a step was.
    bool recordCanvasEdit(PhraseType action);
    // Puts the edited frame back as it was at the last recorded step.
    void revertCanvasEdits();
    // Whether the edited frame differs from the last recorded step.
    bool canvasEditPending() const;

    // ---- frame operations (each one step) ------------------------------------------------
    // The new frame goes after the last stored one; the editor stays on the new frame, which
    // keeps its pose. False at the frame limit.
    bool addFrame(int repeatCount);
    // A copy of the frame before position (of frame 0 at 0) is inserted at position and
    // becomes the edited frame. False at the limit or without stored frames.
    bool insertFrame(int position);
    bool deleteFrame(int frame);
    // Deletes the frames marked selected in the timeline; returns how many went.
    int deleteSelectedFrames();
    // Moves the given frames, in their present order, as one block so that it starts where
    // frame `position` (0..frameCount) stood before the move; frames keep their timeline
    // marks, and the edited frame stays on the canvas wherever it goes. Returns the new
    // number of the block's first frame, or -1 (nothing recorded) when the list is empty,
    // names a frame out of range twice or at all, or the order would not change.
    int moveFrames(std::vector<int> frames, int position);
    PasteResult pasteFrames(const uint8_t* data, size_t size, int position, bool ownClipboard,
                            TimelineIndices* timeline = nullptr);
    // Repeat count (1..65535) or background slot of the given frames; -1 means the new frame.
    bool setRepeatCount(const std::vector<int>& frames, int count);
    bool setBackground(const std::vector<int>& frames, int slot);
    // count in-betweens (1..100) from frame `from`'s pose towards frame `to`'s, inserted
    // directly after `from` as one step; the editor moves to the first of them. False for
    // frames out of range, one frame named twice, or when the frames would pass the limit.
    bool insertInbetweens(int from, int to, int count, Easing easing);
    bool figureTypeInUse(int index) const;
    bool backgroundInUse(int slot) const;
    // Removes a loaded type (or picture) no frame uses; later numbers close up.
    bool removeFigureType(int index);
    bool removeBackground(int slot);
    // Document-wide edits (figures deleted from every frame): the given frames take the new
    // content as one step. Index -1 is the new frame.
    bool replaceFrames(PhraseType action, std::vector<std::pair<int, Figures>> frames);

    // ---- playback ------------------------------------------------------------------------
    void startPlayback(int fromFrame);
    // One timer tick; playback never changes the document.
    PlaybackStep playbackTick(bool repeat);
    int playPosition() const { return m_playPosition; }

    // Used by the commands: a step brings the editor to the frame it changed.
    void showFrame(int index);
    // The stored frame, or the new frame for -1 (and any index out of range).
    Figures& frameAt(int index);

private:
    int frameCount() const { return m_doc.frameCount(); }

    Document m_doc;
    Figures m_newFrame;
    int m_editIndex = -1;
    QUndoStack m_history;
    void takeBaseline();

    Figures m_baseline; // the edited frame at the last recorded step
    int m_playPosition = 0;
    int m_playTicks = 0;
};

} // namespace kelto
