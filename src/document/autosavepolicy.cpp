#include "document/autosavepolicy.h"

#include "document/editsession.h"

namespace kelto {

ContentStamp contentStamp(const EditSession& session, uint64_t changes) {
    const Document& doc = session.document();
    ContentStamp s;
    s.revision = session.revision();
    s.changes = changes;
    s.editFrameIndex = session.editFrameIndex();
    s.frameCount = doc.frameCount();
    s.figureTypeCount = doc.figureTypeCount();
    s.backgroundCount = doc.backgroundCount();
    s.width = doc.animWidth();
    s.height = doc.animHeight();
    s.frameRate = doc.frameRate;
    return s;
}

AutosaveAction AutosavePolicy::decide(bool enabled, const ContentStamp& now, bool unsaved,
                                      bool canvasPending) const {
    const bool somethingUnsaved = unsaved || canvasPending;
    if (!somethingUnsaved || !enabled) {
        return m_written ? AutosaveAction::Remove : AutosaveAction::Nothing;
    }
    if (m_written && *m_written == now && !canvasPending) {
        return AutosaveAction::Nothing;
    }
    return AutosaveAction::Write;
}

void AutosavePolicy::adopted() {
    ContentStamp none;
    none.revision = -1; // no session state has a negative history position
    m_written = none;
}

} // namespace kelto
