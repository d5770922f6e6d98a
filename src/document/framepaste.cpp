// The paste merge: frames copied as a document record join the open document, reusing the
// backgrounds and figure types it already has.
#include "document/document.h"

#include "document/kelformat.h"
#include "document/messages.h"
#include "settings/errorreporter.h"

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
        throw KeltoError(std::string(kMsgBadKelFile) + " (figure identities out of range)");
    }
    return shift;
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

PasteResult Document::pasteFrames(const uint8_t* data, size_t size, int position, bool ownClipboard,
                                  TimelineIndices* timeline) {
    PasteResult result;
    if (size == 0 || !isReadableKelVersion(data[0])) {
        result.status = PasteStatus::NotCompatible;
        result.message = kMsgKelNotCompatible;
        return result;
    }
    // Everything is read, matched and checked against the limits before the document changes
    // at all, so a refusal leaves it exactly as it was.
    Document pasted = readDocumentRecord(data, size);
    const int64_t shift = ownClipboard ? 0 : identityShift(pasted, lastFigureID);

    const int l0 = frameCount();
    const int t0 = figureTypeCount();
    const int b0 = backgroundCount();
    const bool sizeDiffers =
        pasted.animWidth() != m_animWidth || pasted.animHeight() != m_animHeight;
    const bool adoptSize = sizeDiffers && l0 == 0 && b0 == 1;
    if (sizeDiffers && !adoptSize) {
        // The pasted pictures are cut or extended to this document's size, not scaled.
        pasted.setAnimationDimensions(m_animWidth, m_animHeight);
    }

    // -1: the pasted entry has no match here and joins the document.
    std::vector<int> backgroundMap(pasted.backgroundCount(), 0);
    int newBackgrounds = 0;
    for (int i = 1; i < pasted.backgroundCount(); ++i) {
        backgroundMap[i] = matchingBackground(pasted, i, b0);
        newBackgrounds += backgroundMap[i] < 0;
    }
    std::vector<int> typeMap(pasted.figureTypeCount());
    typeMap[0] = 0;
    typeMap[1] = 1;
    int newTypes = 0;
    for (int i = kBuiltInFigureTypes; i < pasted.figureTypeCount(); ++i) {
        typeMap[i] = matchingFigureType(pasted, i, t0);
        newTypes += typeMap[i] < 0;
    }
    const int f = pasted.frameCount();
    if (b0 + newBackgrounds > kMaxBackgrounds) {
        result.status = PasteStatus::TooManyBackgrounds;
        result.message = kMsgTooManyBackgrounds;
        return result;
    }
    if (t0 + newTypes > kMaxFigureTypes) {
        result.status = PasteStatus::TooManyFigureTypes;
        result.message = kMsgTooManyFigureTypes;
        return result;
    }
    if (int64_t(l0) + f > kMaxFrames) {
        result.status = PasteStatus::TooManyFrames;
        result.message = kMsgTooManyFrames;
        return result;
    }

    const int32_t w0 = m_animWidth;
    const int32_t h0 = m_animHeight;
    try {
        if (adoptSize) {
            setAnimationDimensions(pasted.animWidth(), pasted.animHeight());
            result.dimensionsAdopted = true;
        }
        for (int i = 1; i < pasted.backgroundCount(); ++i) {
            if (backgroundMap[i] < 0) {
                backgroundMap[i] =
                    addBackground(std::move(pasted.m_backgrounds[i]), pasted.backgroundName(i));
            }
        }
        for (int i = kBuiltInFigureTypes; i < pasted.figureTypeCount(); ++i) {
            if (typeMap[i] < 0) {
                typeMap[i] = addFigureType(std::move(pasted.m_types[i]), pasted.figureTypeName(i));
            }
        }
    } catch (...) {
        // Only running out of memory gets here; take back what was added.
        removeFigureTypesFrom(t0);
        removeBackgroundsFrom(b0);
        if (result.dimensionsAdopted) {
            setAnimationDimensions(w0, h0);
        }
        throw;
    }

    int32_t highest = lastFigureID;
    for (Figures& frame : pasted.frames) {
        frame.backgroundIndex = static_cast<uint8_t>(backgroundMap[frame.backgroundIndex]);
        frame.timelineSelected = 0;
        for (Figure& fig : frame.figures) {
            fig.typeIndex = static_cast<uint16_t>(typeMap[fig.typeIndex]);
            fig.figureID = static_cast<int32_t>(fig.figureID + shift);
            highest = std::max(highest, fig.figureID);
        }
    }

    const int p = std::clamp(position, 0, l0);
    frames.insert(frames.begin() + p, std::make_move_iterator(pasted.frames.begin()),
                  std::make_move_iterator(pasted.frames.end()));
    if (timeline && p < l0) {
        for (int& entry : timeline->selection) {
            if (entry >= p) {
                entry += f;
            }
        }
        if (timeline->editFrameIndex >= p) {
            timeline->editFrameIndex += f;
        }
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
