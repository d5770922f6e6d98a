// What a fresh process does to open a .kel file, for the cold measure in bench_document:
//   kelto_coldload load FILE     reads the file, loads the document and draws its first frame
//   kelto_coldload load1 FILE    the same with inflating and parsing on one thread
//   kelto_coldload inflate FILE  reads the file and inflates its bytes, nothing more
//   kelto_coldload read FILE     reads the file only (the memory every mode starts from)
// The parent times the process and takes its CPU time from wait4. The process prints its peak
// resident memory itself (VmHWM), as the kernel's ru_maxrss can carry the parent's peak over.
#include "document/kelformat.h"
#include "document/zstream.h"
#include "graphics/bitmap.h"
#include "graphics/imagecodecs.h"
#include "graphics/renderer.h"

#include <cstdio>
#include <cstring>
#include <exception>

using namespace kelto;

namespace {

long peakResidentKb() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) {
        return -1;
    }
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, status)) {
        if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) {
            break;
        }
    }
    std::fclose(status);
    return kb;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: kelto_coldload load|load1|inflate|read FILE\n", stderr);
        return 2;
    }
    try {
        const std::vector<uint8_t> bytes = readWholeFile(argv[2]);
        size_t made = bytes.size();
        const bool oneThread = std::strcmp(argv[1], "load1") == 0;
        if (oneThread || std::strcmp(argv[1], "load") == 0) {
            const Document doc =
                readKelFile(bytes, oneThread ? InflateThread::Never : InflateThread::Always);
            Bitmap picture(doc.animWidth(), doc.animHeight(), PixelFormat::Bits32);
            drawFrame(picture, doc.frames.front(), doc.figureTypes(), doc.backgrounds(),
                      doc.animWidth(), doc.animHeight(), 1.0);
            made = size_t(doc.frameCount());
        } else if (std::strcmp(argv[1], "inflate") == 0) {
            made = decompressStream(bytes).size();
        } else if (std::strcmp(argv[1], "read") != 0) {
            std::fputs("unknown mode\n", stderr);
            return 2;
        }
        std::printf("%zu %ld\n", made, peakResidentKb());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
