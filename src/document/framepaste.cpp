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
    // Everything is read and checked before the document changes at all.
    Document pasted = readDocumentRecord(data, size);
    const int64_t shift = ownClipboard ? 0 : identityShift(pasted, lastFigureID);

    const int l0 = frameCount();
    const int t0 = figureTypeCount();
    const int b0 = backgroundCount();
    const int32_t m0 = lastFigureID;

    if (pasted.animWidth() != m_animWidth || pasted.animHeight() != m_animHeight) {
        if (l0 == 0 && b0 == 1) {
            setAnimationDimensions(pasted.animWidth(), pasted.animHeight());
            result.dimensionsAdopted = true;
        } else {
            // The pasted pictures are cut or extended to this document's size, not scaled.
            pasted.setAnimationDimensions(m_animWidth, m_animHeight);
        }
    }

    std::vector<uint8_t> backgroundMap(pasted.backgroundCount(), 0);
    for (int i = 1; i < pasted.backgroundCount(); ++i) {
        int slot = matchingBackground(pasted, i, b0);
        if (slot < 0) {
            if (!canAddBackground()) {
                removeBackgroundsFrom(b0);
                result.status = PasteStatus::TooManyBackgrounds;
                result.message = kMsgTooManyBackgrounds;
                return result;
            }
            slot = addBackground(pasted.background(i), pasted.backgroundName(i));
        }
        backgroundMap[i] = static_cast<uint8_t>(slot);
    }

    std::vector<uint16_t> typeMap(pasted.figureTypeCount());
    typeMap[0] = 0;
    typeMap[1] = 1;
    for (int i = kBuiltInFigureTypes; i < pasted.figureTypeCount(); ++i) {
        int index = matchingFigureType(pasted, i, t0);
        if (index < 0) {
            if (!canAddFigureType()) {
                removeFigureTypesFrom(t0);
                result.status = PasteStatus::TooManyFigureTypes;
                result.message = kMsgTooManyFigureTypes;
                return result;
            }
            index = addFigureType(pasted.figureType(i), pasted.figureTypeName(i));
        }
        typeMap[i] = static_cast<uint16_t>(index);
    }

    const int f = pasted.frameCount();
    if (int64_t(l0) + f > kMaxFrames) {
        result.status = PasteStatus::TooManyFrames;
        result.message = kMsgTooManyFrames;
        return result;
    }

    int32_t highest = m0;
    for (Figures& frame : pasted.frames) {
        frame.backgroundIndex = backgroundMap[frame.backgroundIndex];
        frame.timelineSelected = 0;
        for (Figure& fig : frame.figures) {
            fig.typeIndex = typeMap[fig.typeIndex];
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
    if (l0 == 0) {
        frameRate = pasted.frameRate;
    }
    // Later figures must never share an identity with pasted ones.
    lastFigureID = highest;
    documentSaved = false;
    result.firstFrame = p;
    result.frameCount = f;
    notify(DocumentChange::FramesChanged, p);
    return result;
}

} // namespace kelto
