#include "graphics/imagecodecs.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
// jerror.h after jpeglib.h: it needs the library's types.
#include <jerror.h>

namespace kelto {

namespace {

// libjpeg reports errors through a callback that must not return; it jumps back to the
// setjmp point in the one function that holds only C calls and plain data.
struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr cinfo) {
    auto* error = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, error->message);
    longjmp(error->jump, 1);
}

// A truncated picture is an error, not a grey lower half; other warnings are harmless.
void emitMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
        errorExit(cinfo);
    }
}

struct DecompressGuard {
    jpeg_decompress_struct cinfo{};
    bool created = false;
    ~DecompressGuard() {
        if (created) {
            jpeg_destroy_decompress(&cinfo);
        }
    }
};

bool readHeader(DecompressGuard* g, JpegError* error, const uint8_t* data, size_t size) {
    if (setjmp(error->jump)) {
        return false;
    }
    jpeg_create_decompress(&g->cinfo);
    g->created = true;
    g->cinfo.mem->max_memory_to_use = 512L * 1024 * 1024;
    jpeg_mem_src(&g->cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&g->cinfo, TRUE);
    const J_COLOR_SPACE in = g->cinfo.jpeg_color_space;
    g->cinfo.out_color_space = (in == JCS_CMYK || in == JCS_YCCK) ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_calc_output_dimensions(&g->cinfo);
    return true;
}

bool readScanlines(DecompressGuard* g, JpegError* error, Bitmap* bitmap, uint8_t* cmykRow) {
    if (setjmp(error->jump)) {
        return false;
    }
    jpeg_start_decompress(&g->cinfo);
    const bool cmyk = g->cinfo.out_color_space == JCS_CMYK;
    while (g->cinfo.output_scanline < g->cinfo.output_height) {
        const int y = int(g->cinfo.output_scanline);
        JSAMPROW row = cmyk ? cmykRow : bitmap->row(y);
        jpeg_read_scanlines(&g->cinfo, &row, 1);
        if (cmyk) {
            // Inverted CMYK as stored by common writers: channel = value * K / 255.
            uint8_t* out = bitmap->row(y);
            for (int x = 0; x < bitmap->width(); ++x) {
                const uint8_t* c = cmykRow + 4 * x;
                out[3 * x] = uint8_t(c[2] * c[3] / 255);
                out[3 * x + 1] = uint8_t(c[1] * c[3] / 255);
                out[3 * x + 2] = uint8_t(c[0] * c[3] / 255);
            }
        }
    }
    jpeg_finish_decompress(&g->cinfo);
    return true;
}

[[noreturn]] void failed(const JpegError& error) {
    throw KeltoError(std::string("Invalid JPEG picture: ") + error.message);
}

} // namespace

Bitmap decodeJpeg(const uint8_t* data, size_t size) {
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) {
        throw KeltoError("Invalid JPEG picture: no JPEG header");
    }
    DecompressGuard guard;
    JpegError error{};
    guard.cinfo.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = errorExit;
    error.mgr.emit_message = emitMessage;
    if (!readHeader(&guard, &error, data, size)) {
        failed(error);
    }
    checkBitmapSize(guard.cinfo.output_width, guard.cinfo.output_height);
    Bitmap bitmap(int(guard.cinfo.output_width), int(guard.cinfo.output_height),
                  PixelFormat::Bits24);
    std::vector<uint8_t> cmykRow(size_t(bitmap.width()) * 4);
    if (!readScanlines(&guard, &error, &bitmap, cmykRow.data())) {
        failed(error);
    }
    return bitmap;
}

namespace {

struct CompressGuard {
    jpeg_compress_struct cinfo{};
    bool created = false;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    ~CompressGuard() {
        if (created) {
            jpeg_destroy_compress(&cinfo);
        }
        std::free(buffer);
    }
};

bool compress(CompressGuard* g, JpegError* error, const Bitmap* bitmap, int quality) {
    if (setjmp(error->jump)) {
        return false;
    }
    jpeg_create_compress(&g->cinfo);
    g->created = true;
    jpeg_mem_dest(&g->cinfo, &g->buffer, &g->size);
    g->cinfo.image_width = JDIMENSION(bitmap->width());
    g->cinfo.image_height = JDIMENSION(bitmap->height());
    g->cinfo.input_components = 3;
    g->cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&g->cinfo);
    jpeg_set_quality(&g->cinfo, quality, TRUE);
    jpeg_start_compress(&g->cinfo, TRUE);
    while (g->cinfo.next_scanline < g->cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bitmap->row(int(g->cinfo.next_scanline)));
        jpeg_write_scanlines(&g->cinfo, &row, 1);
    }
    jpeg_finish_compress(&g->cinfo);
    return true;
}

} // namespace

std::vector<uint8_t> encodeJpeg(const Bitmap& source, int quality) {
    if (source.empty()) {
        throw KeltoError("Cannot write an empty picture");
    }
    Bitmap converted;
    const Bitmap* bitmap = &source;
    if (source.format() != PixelFormat::Bits24) {
        converted = source;
        converted.convertTo(PixelFormat::Bits24);
        bitmap = &converted;
    }
    CompressGuard guard;
    JpegError error{};
    guard.cinfo.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = errorExit;
    if (!compress(&guard, &error, bitmap, std::clamp(quality, 0, 100))) {
        throw KeltoError(std::string("Cannot write JPEG picture: ") + error.message);
    }
    return std::vector<uint8_t>(guard.buffer, guard.buffer + guard.size);
}

} // namespace kelto
