#include "graphics/imagecodecs.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace kelto {

namespace {

struct PngError {
    char message[160] = "unknown error";
};

struct PngInput {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

void readCallback(png_structp png, png_bytep out, png_size_t n) {
    auto* in = static_cast<PngInput*>(png_get_io_ptr(png));
    if (n > in->size - in->pos) {
        png_error(png, "unexpected end of data");
    }
    std::memcpy(out, in->data + in->pos, n);
    in->pos += n;
}

void errorCallback(png_structp png, png_const_charp message) {
    auto* error = static_cast<PngError*>(png_get_error_ptr(png));
    std::snprintf(error->message, sizeof error->message, "%s", message);
    png_longjmp(png, 1);
}

void warningCallback(png_structp, png_const_charp) {}

struct PngReadGuard {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngReadGuard() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// Only C calls and plain data between setjmp and longjmp.
bool readHeader(png_structp png, png_infop info, png_uint_32* w, png_uint_32* h, size_t* rawBytes) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_info(png, info);
    *w = png_get_image_width(png, info);
    *h = png_get_image_height(png, info);
    *rawBytes = png_get_rowbytes(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    *rawBytes = png_get_rowbytes(png, info) == *w * 3 ? *rawBytes : 0;
    return true;
}

bool readRows(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

[[noreturn]] void failed(const PngError& error) {
    throw KeltoError(std::string("Invalid PNG picture: ") + error.message);
}

} // namespace

Bitmap decodePng(const uint8_t* data, size_t size) {
    PngInput in{data, size, 0};
    PngError error;
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) {
        throw KeltoError("Invalid PNG picture: no PNG signature");
    }
    PngReadGuard guard;
    guard.png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, errorCallback, warningCallback);
    if (!guard.png) {
        throw KeltoError("Out of memory");
    }
    guard.info = png_create_info_struct(guard.png);
    if (!guard.info) {
        throw KeltoError("Out of memory");
    }
    png_set_read_fn(guard.png, &in, readCallback);
    png_set_user_limits(guard.png, kMaxBitmapSide, kMaxBitmapSide);
    png_uint_32 w = 0, h = 0;
    size_t rawBytes = 0;
    if (!readHeader(guard.png, guard.info, &w, &h, &rawBytes)) {
        failed(error);
    }
    checkBitmapSize(w, h);
    // zlib expands at most about 1032:1; a picture larger than the data can hold is refused
    // before its pixels are allocated.
    if (rawBytes == 0 || double(rawBytes + 1) * h > 1100.0 * double(size) + 65536.0) {
        throw KeltoError("Invalid PNG picture: size does not fit the data");
    }
    Bitmap bitmap(int(w), int(h), PixelFormat::Bits24);
    std::vector<png_bytep> rows(h);
    for (png_uint_32 y = 0; y < h; ++y) {
        rows[y] = bitmap.row(int(y));
    }
    if (!readRows(guard.png, guard.info, rows.data())) {
        failed(error);
    }
    return bitmap;
}

namespace {

struct PngOutput {
    std::vector<uint8_t>* bytes;
};

void writeCallback(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<PngOutput*>(png_get_io_ptr(png));
    out->bytes->insert(out->bytes->end(), data, data + n);
}

void flushCallback(png_structp) {}

struct PngWriteGuard {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWriteGuard() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

bool writeAll(png_structp png, png_infop info, const Bitmap* bitmap, png_colorp palette,
              int paletteSize, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    const bool indexed = isPaletteFormat(bitmap->format());
    png_set_IHDR(png, info, png_uint_32(bitmap->width()), png_uint_32(bitmap->height()),
                 indexed ? bitsPerPixel(bitmap->format()) : 8,
                 indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed) {
        png_set_PLTE(png, info, palette, paletteSize);
    }
    png_write_info(png, info);
    if (!indexed) {
        png_set_bgr(png);
        if (bitmap->format() == PixelFormat::Bits32) {
            png_set_filler(png, 0, PNG_FILLER_AFTER);
        }
    }
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

} // namespace

std::vector<uint8_t> encodePng(const Bitmap& source) {
    if (source.empty()) {
        throw KeltoError("Cannot write an empty picture");
    }
    Bitmap converted;
    const Bitmap* bitmap = &source;
    if (source.format() == PixelFormat::Bits15 || source.format() == PixelFormat::Bits16) {
        converted = source;
        converted.convertTo(PixelFormat::Bits24);
        bitmap = &converted;
    }
    std::vector<png_color> palette;
    if (isPaletteFormat(bitmap->format())) {
        const size_t maxColours = size_t(1) << bitsPerPixel(bitmap->format());
        for (size_t i = 0; i < std::min(maxColours, bitmap->palette().size()); ++i) {
            const uint32_t c = bitmap->palette()[i];
            palette.push_back({uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
        }
        if (palette.empty()) {
            palette.push_back({0, 0, 0});
        }
    }
    std::vector<uint8_t> bytes;
    PngOutput out{&bytes};
    PngError error;
    PngWriteGuard guard;
    guard.png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, errorCallback, warningCallback);
    if (!guard.png || !(guard.info = png_create_info_struct(guard.png))) {
        throw KeltoError("Out of memory");
    }
    png_set_write_fn(guard.png, &out, writeCallback, flushCallback);
    std::vector<png_bytep> rows(size_t(bitmap->height()));
    for (int y = 0; y < bitmap->height(); ++y) {
        rows[size_t(y)] = const_cast<png_bytep>(bitmap->row(y));
    }
    if (!writeAll(guard.png, guard.info, bitmap, palette.data(), int(palette.size()),
                  rows.data())) {
        throw KeltoError(std::string("Cannot write PNG picture: ") + error.message);
    }
    return bytes;
}

} // namespace kelto
