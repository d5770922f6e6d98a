// The paste merge on hostile clipboard data into a document that already holds frames, types
// and identities. Afterwards every frame must still be sound and no identity may lie above the
// document's counter; a paste that is refused or fails leaves the document as it was.
#include "base/error.h"
#include "document/document.h"
#include "document/kelformat.h"
#include "model/integrity.h"

#include <cstdint>
#include <cstdlib>

using namespace kelto;

namespace {

Document makeTarget() {
    Document doc(320, 240);
    FigureType chain;
    chain.addSegment(0, skLine, 10, 2, 0, 0, 0);
    chain.addSegment(1, skLine, 10, 2, 1, 0, 0);
    doc.addFigureType(chain, "chain");
    for (int k = 0; k < 4; ++k) {
        Figures frame;
        frame.setCount(2);
        frame.figures[0].setType(1, doc.figureType(1));
        frame.figures[0].figureID = 1;
        frame.figures[1].setType(2, doc.figureType(2));
        frame.figures[1].figureID = 3;
        doc.frames.push_back(frame);
    }
    doc.lastFigureID = 3;
    return doc;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    Document doc = makeTarget();
    TimelineIndices timeline{{0, 3, 1}, 2};
    const std::vector<uint8_t> before = writeDocumentRecord(doc);
    bool pasted = false;
    try {
        pasted = doc.pasteFrames(data + 1, size - 1, data[0] % 6, (data[0] & 0x80) != 0, &timeline)
                     .status == PasteStatus::Pasted;
    } catch (const KeltoError&) {
    }
    if (!pasted && (writeDocumentRecord(doc) != before || doc.lastFigureID != 3)) {
        std::abort();
    }
    for (const Figures& frame : doc.frames) {
        if (!verifyFrame(frame, doc.figureTypes()).empty()) {
            std::abort();
        }
        for (const Figure& f : frame.figures) {
            if (f.figureID > doc.lastFigureID) {
                std::abort();
            }
        }
    }
    return 0;
}
