// The animation reader on hostile bytes: the first byte picks whether the rest is a whole .kel
// file (a zlib stream) or the document record behind it, so the fuzzer reaches the record
// parser without having to forge zlib streams. Whatever parses must write back and read again
// to the very same record, and a file read frame by frame gives the same frames.
#include "base/error.h"
#include "document/kelformat.h"
#include "model/integrity.h"

#include <cstdint>
#include <cstdlib>

using namespace kelto;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::vector<uint8_t> rest(data + 1, data + size);
    try {
        const Document doc = (data[0] & 1) ? readKelFile(rest) : readDocumentRecord(rest);
        for (const Figures& frame : doc.frames) {
            if (!verifyFrame(frame, doc.figureTypes()).empty()) {
                std::abort();
            }
        }
        // Read frame by frame, the same file gives the same frames.
        if (data[0] & 1) {
            size_t seen = 0;
            scanKelFile(rest, [&](const Figures& frame, const Document&) {
                if (seen >= doc.frames.size() ||
                    frame.figureCount() != doc.frames[seen].figureCount()) {
                    std::abort();
                }
                ++seen;
            });
            if (seen != doc.frames.size()) {
                std::abort();
            }
        }
        const std::vector<uint8_t> once = writeDocumentRecord(doc);
        const std::vector<uint8_t> twice = writeDocumentRecord(readDocumentRecord(once));
        if (once != twice) {
            std::abort();
        }
    } catch (const KeltoError&) {
    }
    return 0;
}
