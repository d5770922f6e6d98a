// The paste merge: frames copied as a document record join the open document, reusing the
// backgrounds and figure types it already has.
#include "document/document.h"

#include "base/error.h"
#include "document/kelformat.h"
#include "document/messages.h"

#include <algorithm>
#include <climits>

namespace kelto {

namespace {

bool sameStructure(const FigureType& a, const FigureType& b) {
    if (a.segmentCount() != b.segmentCount()) {
        return false;
    }
    for (int s = 0; s < a.segmentCount(); ++s) {
        const Segment& x = a.segments[s];
        const Segment& y = b.segments[s];
        if (x.kind != y.kind || x.isStatic != y.isStatic || x.startJoint != y.startJoint ||
            x.endJoint != y.endJoint || x.length != y.length) {
            return false;
        }
        if (x.kind == skImage && (a.imageRefs[s].imageIndex != b.imageRefs[s].imageIndex ||
                                  a.imageRefs[s].imageReversed != b.imageRefs[s].imageReversed)) {
            return false;
        }
    }
    return true;
}

bool samePicture(const ImageGeneral& a, const ImageGeneral& b) {
    return a.imageKind() == b.imageKind() && a.width() == b.width() && a.height() == b.height();
}

// The identity shift that puts pasted figures above every identity the document handed out.
int64_t identityShift(const Document& pasted, int32_t lastID) {
    int64_t lowest = INT64_MAX;
    int64_t highest = INT64_MIN;
    for (const Figures& frame : pasted.frames) {
        for (const Figure& f : frame.figures) {
            lowest = std::min<int64_t>(lowest, f.figureID);
            highest = std::max<int64_t>(highest, f.figureID);
        }
    }
    if (lowest == INT64_MAX || lastID < lowest) {
        return 0;
    }
    const int64_t shift = int64_t(lastID) - lowest + 1;
    if (highest + shift > INT32_MAX) {
        throw KeltoError(ErrorCode::BadKelFile, "figure identities out of range");
    }
    return shift;
}

ErrorCode limitRefusal(PasteStatus status) {
    switch (status) {
    case PasteStatus::TooManyBackgrounds:
        return ErrorCode::TooManyBackgrounds;
    case PasteStatus::TooManyFigureTypes:
        return ErrorCode::TooManyFigureTypes;
    case PasteStatus::TooManyFrames:
        return ErrorCode::TooManyFrames;
    default:
        return ErrorCode::General;
    }
}

// Frames inserted before the timeline's entries move them up.
void shiftTimeline(TimelineIndices& timeline, int position, int count) {
    for (int& entry : timeline.selection) {
        if (entry >= position) {
            entry += count;
        }
    }
    if (timeline.editFrameIndex >= position) {
        timeline.editFrameIndex += count;
    }
}

} // namespace

int Document::matchingBackground(const Document& source, int slot, int limit) const {
    for (int i = 1; i < limit; ++i) {
        if (m_backgroundNames[i] == source.backgroundName(slot) &&
            samePicture(m_backgrounds[i], source.background(slot))) {
            return i;
        }
    }
    return -1;
}

int Document::matchingFigureType(const Document& source, int index, int limit) const {
    for (int i = kBuiltInFigureTypes; i < limit; ++i) {
        if (m_typeNames[i] == source.figureTypeName(index) &&
            sameStructure(m_types[i], source.figureType(index))) {
            return i;
        }
    }
    return -1;
}

// What a paste will do, worked out before the document changes: the pasted backgrounds and
// types mapped to the document's (-1: joins the document) and whether the size is adopted.
struct Document::PastePlan {
    std::vector<int> backgroundMap;
    std::vector<int> typeMap;
    int newBackgrounds = 0;
    int newTypes = 0;
    bool adoptSize = false;
};

Document::PastePlan Document::planPaste(Document& pasted) const {
    PastePlan plan;
    const bool sizeDiffers =
        pasted.animWidth() != m_animWidth || pasted.animHeight() != m_animHeight;
    plan.adoptSize = sizeDiffers && frames.empty() && backgroundCount() == 1;
    if (sizeDiffers && !plan.adoptSize) {
        // The pasted pictures are cut or extended to this document's size, not scaled.
        pasted.setAnimationDimensions(m_animWidth, m_animHeight);
    }
    plan.backgroundMap.assign(pasted.backgroundCount(), 0);
    for (int i = 1; i < pasted.backgroundCount(); ++i) {
        plan.backgroundMap[i] = matchingBackground(pasted, i, backgroundCount());
        plan.newBackgrounds += plan.backgroundMap[i] < 0;
    }
    plan.typeMap = {0, 1};
    plan.typeMap.resize(pasted.figureTypeCount());
    for (int i = kBuiltInFigureTypes; i < pasted.figureTypeCount(); ++i) {
        plan.typeMap[i] = matchingFigureType(pasted, i, figureTypeCount());
        plan.newTypes += plan.typeMap[i] < 0;
    }
    return plan;
}

// The limit a paste would pass, in the order the limits are checked; Pasted when none.
PasteStatus Document::pasteRefusal(const PastePlan& plan, int pastedFrames) const {
    if (backgroundCount() + plan.newBackgrounds > kMaxBackgrounds) {
        return PasteStatus::TooManyBackgrounds;
    }
    if (figureTypeCount() + plan.newTypes > kMaxFigureTypes) {
        return PasteStatus::TooManyFigureTypes;
    }
    if (int64_t(frameCount()) + pastedFrames > kMaxFrames) {
        return PasteStatus::TooManyFrames;
    }
    return PasteStatus::Pasted;
}

void Document::addPastedEntries(Document& pasted, PastePlan& plan) {
    const int t0 = figureTypeCount();
    const int b0 = backgroundCount();
    const int32_t w0 = m_animWidth;
    const int32_t h0 = m_animHeight;
    try {
        if (plan.adoptSize) {
            setAnimationDimensions(pasted.animWidth(), pasted.animHeight());
        }
        for (int i = 1; i < pasted.backgroundCount(); ++i) {
            if (plan.backgroundMap[i] < 0) {
                plan.backgroundMap[i] =
                    addBackground(std::move(pasted.m_backgrounds[i]), pasted.backgroundName(i));
            }
        }
        for (int i = kBuiltInFigureTypes; i < pasted.figureTypeCount(); ++i) {
            if (plan.typeMap[i] < 0) {
                plan.typeMap[i] =
                    addFigureType(std::move(pasted.m_types[i]), pasted.figureTypeName(i));
            }
        }
    } catch (...) {
        // The limits were checked, so only running out of memory gets here: take back what
        // was added.
        removeFigureTypesFrom(t0);
        removeBackgroundsFrom(b0);
        if (plan.adoptSize) {
            setAnimationDimensions(w0, h0);
        }
        throw;
    }
}

PasteResult Document::pasteFrames(const uint8_t* data, size_t size, int position, bool ownClipboard,
                                  TimelineIndices* timeline) {
    PasteResult result;
    if (size == 0 || !isReadableKelVersion(data[0])) {
        result.status = PasteStatus::NotCompatible;
        result.refusal = ErrorCode::KelNotCompatible;
        return result;
    }
    // Everything is read, matched and checked against the limits before the document changes
    // at all, so a refusal leaves it exactly as it was.
    Document pasted = readDocumentRecord(data, size);
    const int64_t shift = ownClipboard ? 0 : identityShift(pasted, lastFigureID);
    PastePlan plan = planPaste(pasted);
    const int f = pasted.frameCount();
    result.status = pasteRefusal(plan, f);
    if (result.status != PasteStatus::Pasted) {
        result.refusal = limitRefusal(result.status);
        return result;
    }

    const int l0 = frameCount();
    addPastedEntries(pasted, plan);
    result.dimensionsAdopted = plan.adoptSize;
    int32_t highest = lastFigureID;
    for (Figures& frame : pasted.frames) {
        frame.backgroundIndex = static_cast<uint8_t>(plan.backgroundMap[frame.backgroundIndex]);
        frame.timelineSelected = 0;
        for (Figure& fig : frame.figures) {
            fig.typeIndex = static_cast<uint16_t>(plan.typeMap[fig.typeIndex]);
            fig.figureID = static_cast<int32_t>(fig.figureID + shift);
            highest = std::max(highest, fig.figureID);
        }
    }
    const int p = std::clamp(position, 0, l0);
    frames.insert(frames.begin() + p, std::make_move_iterator(pasted.frames.begin()),
                  std::make_move_iterator(pasted.frames.end()));
    if (timeline && p < l0) {
        shiftTimeline(*timeline, p, f);
    }
    if (l0 == 0 && pasted.frameRateKnown) {
        frameRate = pasted.frameRate;
    }
    // The counter ends at the largest identity held after the shift, so later figures never
    // take an identity at or below a pasted one.
    lastFigureID = highest;
    documentSaved = false;
    result.firstFrame = p;
    result.frameCount = f;
    notify(DocumentChange::FramesChanged, p);
    return result;
}

} // namespace kelto
