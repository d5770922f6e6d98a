#pragma once

#include <cstdint>
#include <optional>

namespace kelto {

class EditSession;

// What an autosave compares between two moments. The history position alone can come back to
// the same number with other content (undo, then a new step), so the caller also counts every
// history move and document notification it has seen; the rest are cheap facts that change
// outside the history (pictures loaded, size, rate) or move the frame being edited.
struct ContentStamp {
    int revision = 0;
    uint64_t changes = 0;
    int editFrameIndex = -1;
    int frameCount = 0;
    int figureTypeCount = 0;
    int backgroundCount = 0;
    int width = 0;
    int height = 0;
    int frameRate = 0;
    bool operator==(const ContentStamp&) const = default;
};

ContentStamp contentStamp(const EditSession& session, uint64_t changes);

enum class AutosaveAction { Nothing, Write, Remove };

// When the recovery file is written and when it goes. It is written when something is unsaved
// and differs from what the file holds; it goes as soon as nothing is unsaved, or when
// autosave is turned off.
class AutosavePolicy {
public:
    // unsaved: the document carries the unsaved mark; canvasPending: the canvas holds an edit
    // not yet recorded, which no stamp can see, so it is written at every tick while it lasts.
    AutosaveAction decide(bool enabled, const ContentStamp& now, bool unsaved,
                          bool canvasPending) const;
    // A write of this state completed.
    void written(const ContentStamp& stamp) { m_written = stamp; }
    // A file this policy did not write became the session's own (restored work): it holds
    // something, but nothing the session can compare with.
    void adopted();
    void removed() { m_written.reset(); }
    bool hasFile() const { return m_written.has_value(); }

private:
    std::optional<ContentStamp> m_written;
};

} // namespace kelto
