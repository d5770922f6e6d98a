// The figure-type reader on hostile bytes. The first byte picks the road: the rest as a whole
// file, as a current-form record behind the byte 121 and zlib, or as an older-form ("V3")
// record inside one whole-file zlib stream, so both record forms are reached without forging
// zlib streams. A type that parses must pass the invariant check and write back stably.
#include "base/error.h"
#include "document/stkformat.h"
#include "document/zstream.h"
#include "model/integrity.h"

#include <cstdint>
#include <cstdlib>

using namespace kelto;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::vector<uint8_t> rest(data + 1, data + size);
    std::vector<uint8_t> file;
    switch (data[0] % 3) {
    case 0:
        file = rest;
        break;
    case 1:
        file.push_back(kStkVersion);
        for (uint8_t b : compressStream(rest)) {
            file.push_back(b);
        }
        break;
    default: {
        std::vector<uint8_t> inner{0};
        inner.insert(inner.end(), rest.begin(), rest.end());
        file = compressStream(inner);
        break;
    }
    }
    try {
        const FigureType type = readStkFile(file);
        if (!verifyFigureType(type).empty()) {
            std::abort();
        }
        const std::vector<uint8_t> once = writeStkFile(type);
        if (writeStkFile(readStkFile(once)) != once) {
            std::abort();
        }
        writeStkV2File(type);
    } catch (const KeltoError&) {
    }
    return 0;
}
