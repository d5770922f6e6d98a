#include "graphics/imagearray.h"

#include <cstring>

namespace kelto {

void ImageArray::read(ByteReader& reader) {
    const uint8_t fmt = reader.get<uint8_t>() == kPaletteFormat ? kPaletteFormat : kColourFormat;
    const int16_t w = reader.get<int16_t>();
    const int16_t h = reader.get<int16_t>();
    const uint32_t key = reader.get<uint32_t>();
    if (w < 0 || h < 0) {
        throw KeltoError("Invalid picture: negative size");
    }
    const size_t unit = fmt == kPaletteFormat ? 1 : 3;
    const size_t count = size_t(w) * size_t(h) * unit;
    reader.need(count + (fmt == kPaletteFormat ? 1024 : 0));
    format = fmt;
    width = w;
    height = h;
    keyColour = key;
    const uint8_t* bytes = reader.take(count);
    pixels.assign(bytes, bytes + count);
    palette.clear();
    if (fmt == kPaletteFormat) {
        palette.resize(256);
        for (uint32_t& entry : palette) {
            const uint8_t* e = reader.take(4);
            entry = (uint32_t(e[0]) << 16) | (uint32_t(e[1]) << 8) | e[2];
        }
    }
}

void ImageArray::write(ByteWriter& writer) const {
    writer.put<uint8_t>(format);
    writer.put<int16_t>(int16_t(width));
    writer.put<int16_t>(int16_t(height));
    writer.put<uint32_t>(keyColour);
    writer.putBytes(pixels.data(), pixels.size());
    if (format == kPaletteFormat) {
        for (size_t i = 0; i < 256; ++i) {
            const uint32_t c = i < palette.size() ? palette[i] : 0;
            writer.put<uint8_t>(uint8_t(c >> 16));
            writer.put<uint8_t>(uint8_t(c >> 8));
            writer.put<uint8_t>(uint8_t(c));
            writer.put<uint8_t>(0);
        }
    }
}

Bitmap ImageArray::toBitmap() const {
    const bool indexed = format == kPaletteFormat;
    Bitmap bitmap(width, height, indexed ? PixelFormat::Bits8 : PixelFormat::Bits24);
    if (indexed) {
        bitmap.setPalette(palette);
    }
    const size_t unit = indexed ? 1 : 3;
    if (pixels.size() < size_t(width) * size_t(height) * unit) {
        throw KeltoError("Invalid picture: missing pixels");
    }
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bitmap.row(y);
        for (int x = 0; x < width; ++x) {
            std::memcpy(row + unit * size_t(x), &pixels[(size_t(x) * height + y) * unit], unit);
        }
    }
    return bitmap;
}

} // namespace kelto
