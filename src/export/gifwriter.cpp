#include "export/gifwriter.h"

#include "base/error.h"
#include "settings/atomicfile.h"

#include <QFile>

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

namespace kelto {

namespace {

// giflib is C: a failed write is returned as a short count, and the reason is kept by the file
// for the message.
int writeToFile(GifFileType* gif, const GifByteType* data, int length) {
    auto* file = static_cast<AtomicFile*>(gif->UserData);
    return length >= 0 && file->tryWrite(data, size_t(length)) ? length : 0;
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using MapPtr = std::unique_ptr<ColorMapObject, MapDeleter>;

// Colour tables hold a power of two entries; the rest are padded with black.
MapPtr makeColourMap(const std::vector<uint32_t>& palette) {
    int size = 2;
    while (size < static_cast<int>(palette.size())) {
        size *= 2;
    }
    std::vector<GifColorType> colours(size, GifColorType{0, 0, 0});
    for (size_t k = 0; k < palette.size() && k < 256; ++k) {
        colours[k].Red = static_cast<GifByteType>((palette[k] >> 16) & 0xFF);
        colours[k].Green = static_cast<GifByteType>((palette[k] >> 8) & 0xFF);
        colours[k].Blue = static_cast<GifByteType>(palette[k] & 0xFF);
    }
    MapPtr map(GifMakeMapObject(size, colours.data()));
    if (!map) {
        throw KeltoError("Out of memory while building a GIF colour table");
    }
    return map;
}

std::string gifErrorText(int code) {
    const char* text = GifErrorString(code);
    return text ? text : "unknown GIF error";
}

} // namespace

struct GifWriter::State {
    explicit State(const QString& path) : file(QFile::encodeName(path).toStdString()) {}
    AtomicFile file;
    GifFileType* gif = nullptr;
    int width = 0;
    int height = 0;
    bool started = false;
    bool animated = true;
    bool loopWritten = false;
    std::vector<uint32_t> globalPalette;

    void check(int result, const char* what) {
        if (result == GIF_ERROR) {
            file.checkWrites(); // the system's reason, when a write failed
            throw KeltoError(std::string("Could not write the GIF file (") + what + ": " +
                             gifErrorText(gif ? gif->Error : 0) + ")");
        }
    }
    void closeGif() {
        if (gif) {
            int error = 0;
            EGifCloseFile(gif, &error);
            gif = nullptr;
        }
    }
};

GifWriter::GifWriter() = default;

GifWriter::~GifWriter() {
    cancel();
}

bool GifWriter::isOpen() const {
    return m_state != nullptr;
}

void GifWriter::open(const QString& path, int width, int height, bool animated) {
    cancel();
    if (width < 1 || height < 1 || width > 65535 || height > 65535) {
        throw KeltoError("A GIF picture must be 1 to 65535 pixels wide and high");
    }
    auto state = std::make_unique<State>(path);
    int error = 0;
    state->gif = EGifOpen(&state->file, writeToFile, &error);
    if (!state->gif) {
        throw KeltoError("Could not start the GIF file: " + gifErrorText(error));
    }
    EGifSetGifVersion(state->gif, true);
    state->width = width;
    state->height = height;
    state->animated = animated;
    m_state = std::move(state);
}

const std::vector<uint32_t>& GifWriter::globalPalette() const {
    static const std::vector<uint32_t> none;
    return m_state ? m_state->globalPalette : none;
}

void GifWriter::addFrame(const IndexedImage& frame, int delay) {
    if (m_state && (frame.width != m_state->width || frame.height != m_state->height)) {
        throw KeltoError("A GIF frame does not have the size of the animation");
    }
    addFrame(frame, delay, GifPlacement{});
}

void GifWriter::addFrame(const IndexedImage& frame, int delay, const GifPlacement& placement) {
    if (!m_state) {
        throw KeltoError("The GIF file is not open");
    }
    State& s = *m_state;
    const bool fits = frame.width >= 1 && frame.height >= 1 && placement.left >= 0 &&
                      placement.top >= 0 && frame.width <= s.width - placement.left &&
                      frame.height <= s.height - placement.top;
    if (!fits || (!s.started && (frame.width != s.width || frame.height != s.height))) {
        throw KeltoError("A GIF frame does not fit the animation");
    }
    if (frame.indices.size() != size_t(frame.width) * size_t(frame.height)) {
        throw KeltoError("A GIF frame has the wrong number of pixels");
    }
    bool localMap = true;
    if (!s.started) {
        const MapPtr global = makeColourMap(frame.palette);
        s.check(EGifPutScreenDesc(s.gif, s.width, s.height, 8, 0, global.get()), "header");
        s.globalPalette = frame.palette;
        s.started = true;
        localMap = false;
    } else {
        localMap = frame.palette != s.globalPalette;
    }
    if (s.animated) {
        putFrameExtensions(s, delay, /*first=*/!s.loopWritten, placement.keep);
        s.loopWritten = true;
    }
    writeImage(s, frame, placement, localMap);
}

void GifWriter::putFrameExtensions(State& s, int delay, bool first, bool keep) {
    if (first) {
        // Loop forever: application block "NETSCAPE2.0", sub-block 1 with a loop count of 0.
        s.check(EGifPutExtensionLeader(s.gif, APPLICATION_EXT_FUNC_CODE), "loop extension");
        s.check(EGifPutExtensionBlock(s.gif, 11, "NETSCAPE2.0"), "loop extension");
        const unsigned char loop[3] = {1, 0, 0};
        s.check(EGifPutExtensionBlock(s.gif, 3, loop), "loop extension");
        s.check(EGifPutExtensionTrailer(s.gif), "loop extension");
    }

    GraphicsControlBlock control{};
    control.DisposalMode = keep ? DISPOSE_DO_NOT : DISPOSAL_UNSPECIFIED;
    control.UserInputFlag = false;
    control.DelayTime = std::clamp(delay, 0, 65535);
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    s.check(EGifPutExtension(s.gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension),
            "frame delay");
}

void GifWriter::writeImage(State& s, const IndexedImage& frame, const GifPlacement& placement,
                           bool localMap) {
    MapPtr map;
    if (localMap) {
        map = makeColourMap(frame.palette);
    } else if (s.gif->Image.ColorMap) {
        // giflib keeps a copy of the last local table and, given none, drops it without freeing.
        GifFreeMapObject(s.gif->Image.ColorMap);
        s.gif->Image.ColorMap = nullptr;
    }
    s.check(EGifPutImageDesc(s.gif, placement.left, placement.top, frame.width, frame.height, false,
                             map.get()),
            "frame");
    std::vector<GifPixelType> row(frame.width);
    for (int y = 0; y < frame.height; ++y) {
        std::memcpy(row.data(), frame.indices.data() + size_t(y) * frame.width, frame.width);
        s.check(EGifPutLine(s.gif, row.data(), frame.width), "pixels");
    }
}

void GifWriter::finish() {
    if (!m_state) {
        return;
    }
    std::unique_ptr<State> state = std::move(m_state);
    if (!state->started) {
        state->closeGif();
        throw KeltoError("A GIF file needs at least one frame");
    }
    int error = 0;
    const int result = EGifCloseFile(state->gif, &error);
    state->gif = nullptr;
    if (result == GIF_ERROR) {
        state->file.checkWrites();
        throw KeltoError("Could not finish the GIF file: " + gifErrorText(error));
    }
    // The temporary file goes away with the state when this throws.
    state->file.commit();
}

void GifWriter::cancel() {
    if (!m_state) {
        return;
    }
    m_state->closeGif();
    m_state->file.discard();
    m_state.reset();
}

void writeGifImage(const QString& path, const IndexedImage& image) {
    GifWriter writer;
    writer.open(path, image.width, image.height, false);
    writer.addFrame(image, 0);
    writer.finish();
}

} // namespace kelto
