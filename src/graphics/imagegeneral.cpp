#include "graphics/imagegeneral.h"

#include "graphics/drawing.h"
#include "graphics/imagecodecs.h"
#include "graphics/palettereduction.h"

#include <cmath>

namespace kelto {

namespace {

uint32_t whiteValue(PixelFormat format) {
    switch (format) {
    case PixelFormat::Bits15:
        return 0x7FFF;
    case PixelFormat::Bits16:
        return 0xFFFF;
    default:
        return 0xFFFFFF;
    }
}

// Changes a bitmap's size anchored top-left, the added area white.
void resizeWhite(Bitmap& bitmap, int width, int height) {
    if (width == bitmap.width() && height == bitmap.height()) {
        return;
    }
    checkBitmapSize(width, height);
    const bool grows = width > bitmap.width() || height > bitmap.height();
    if (grows && isPaletteFormat(bitmap.format())) {
        bitmap.convertTo(PixelFormat::Bits24);
    }
    bitmap.setSize(width, height, whiteValue(bitmap.format()));
}

} // namespace

void ImageGeneral::setKind(uint8_t kind) {
    m_kind = kind == kJpegKind ? kJpegKind : kBitmapKind;
    m_bitmap = Bitmap();
    m_jpeg.clear();
    m_decodedJpeg.reset();
    m_jpegPending = false;
    m_jpegWidth = 0;
    m_jpegHeight = 0;
}

void ImageGeneral::setPicture(const Bitmap& pixels) {
    if (m_kind != kJpegKind) {
        m_bitmap = pixels;
        return;
    }
    // Compressing waits until the picture is used, so that size changes in a row lose quality
    // once.
    m_jpeg.clear();
    m_decodedJpeg = pixels.empty() ? nullptr : std::make_shared<const Bitmap>(pixels);
    m_jpegPending = !pixels.empty();
    m_jpegWidth = pixels.width();
    m_jpegHeight = pixels.height();
}

void ImageGeneral::compressPending() const {
    if (!m_jpegPending) {
        return;
    }
    m_jpeg = encodeJpeg(*m_decodedJpeg, kJpegQuality);
    m_jpegPending = false;
    // What is drawn from now on is what the file will hold.
    m_decodedJpeg.reset();
}

const Bitmap& ImageGeneral::currentPixels() const {
    if (m_kind != kJpegKind) {
        return m_bitmap;
    }
    if (!m_decodedJpeg) {
        m_decodedJpeg = std::make_shared<const Bitmap>(
            m_jpeg.empty() ? Bitmap() : decodeJpeg(m_jpeg.data(), m_jpeg.size()));
    }
    return *m_decodedJpeg;
}

const Bitmap& ImageGeneral::cachedPixels() const {
    compressPending();
    return currentPixels();
}

const std::vector<uint8_t>& ImageGeneral::jpegData() const {
    compressPending();
    return m_jpeg;
}

void ImageGeneral::takeJpegSize() {
    // Decoding the whole picture finds damage now rather than at the first drawing; the pixels
    // are dropped again so that the picture stays compressed until it is drawn.
    const Bitmap& pixels = currentPixels();
    m_width = m_jpegWidth = pixels.width();
    m_height = m_jpegHeight = pixels.height();
    m_decodedJpeg.reset();
}

Bitmap ImageGeneral::decoded() const {
    return cachedPixels();
}

PixelPos ImageGeneral::pictureSize() const {
    if (m_kind == kJpegKind) {
        return {m_jpegWidth, m_jpegHeight};
    }
    return {m_bitmap.width(), m_bitmap.height()};
}

void ImageGeneral::resizePicture(int width, int height) {
    if (PixelPos{width, height} == pictureSize()) {
        return; // untouched, so a JPEG is not compressed again
    }
    Bitmap pixels = currentPixels();
    resizeWhite(pixels, width, height);
    setPicture(pixels);
}

void ImageGeneral::setWidth(int width) {
    const PixelPos size = pictureSize();
    // An empty picture has no height of its own yet; the stored one stands in.
    const bool empty = size.x == 0 || size.y == 0;
    resizePicture(width, empty ? m_height : size.y);
    m_width = width;
}

void ImageGeneral::setHeight(int height) {
    const PixelPos size = pictureSize();
    const bool empty = size.x == 0 || size.y == 0;
    resizePicture(empty ? m_width : size.x, height);
    m_height = height;
}

void ImageGeneral::assign(const ImageGeneral& source) {
    *this = source;
}

void ImageGeneral::setBitmap(const Bitmap& bitmap) {
    setKind(kBitmapKind);
    m_bitmap = bitmap;
    m_width = bitmap.width();
    m_height = bitmap.height();
}

bool ImageGeneral::loadFromFile(const std::string& path) {
    const std::string ext = lowerExtension(path);
    ImageGeneral loaded;
    if (ext == ".jpg" || ext == ".jpeg") {
        loaded.setKind(kJpegKind);
        loaded.m_jpeg = readWholeFile(path);
        loaded.takeJpegSize();
    } else if (ext == ".bmp" || ext == ".png" || ext == ".gif") {
        Bitmap bitmap = readPictureFile(path);
        if (ext != ".gif") {
            reducePalette(bitmap);
        }
        loaded.setBitmap(bitmap);
    } else {
        *this = ImageGeneral();
        return false;
    }
    loaded.saveIndex = saveIndex;
    *this = std::move(loaded);
    return true;
}

void ImageGeneral::draw(Bitmap& canvas, PixelPos pos) const {
    copyBitmap(cachedPixels(), canvas, pos);
}

void ImageGeneral::stretchDraw(Bitmap& canvas, const Rect& rect) const {
    stretchCopy(cachedPixels(), canvas, rect);
}

void ImageGeneral::rescale(double factor) {
    if (factor == 1) {
        return;
    }
    Bitmap source = currentPixels(); // a copy: the box filter makes it 32-bit
    const double w = std::nearbyint(factor * source.width());
    const double h = std::nearbyint(factor * source.height());
    if (!(w >= 0 && h >= 0 && w <= kMaxBitmapSide && h <= kMaxBitmapSide)) {
        throw KeltoError("Picture dimensions out of range");
    }
    Bitmap result(int(w), int(h), PixelFormat::Bits32);
    if (factor > 1) {
        stretchCopy(source, result, Rect{0, 0, result.width(), result.height()});
    } else {
        boxReduce(source, result);
    }
    result.convertTo(PixelFormat::Bits24);
    if (m_kind == kBitmapKind) {
        reducePalette(result);
    }
    setPicture(result);
}

void ImageGeneral::write(ByteWriter& writer) const {
    writer.put<uint8_t>(m_kind);
    if (m_kind == kBitmapKind) {
        writeBmp(m_bitmap, writer);
        return;
    }
    const std::vector<uint8_t>& jpeg = jpegData();
    const size_t at = writer.size();
    writer.put<int64_t>(0);
    writer.putBytes(jpeg.data(), jpeg.size());
    writer.patch<int64_t>(at, int64_t(writer.size()));
}

void ImageGeneral::read(ByteReader& reader) {
    const uint8_t kind = reader.get<uint8_t>();
    ImageGeneral loaded;
    if (kind == kJpegKind) {
        loaded.setKind(kJpegKind);
        const int64_t end = reader.get<int64_t>();
        if (end < int64_t(reader.pos()) || !reader.available(size_t(end) - reader.pos())) {
            throw KeltoError("Invalid picture: JPEG end outside the data");
        }
        const size_t length = size_t(end) - reader.pos();
        const uint8_t* data = reader.take(length);
        loaded.m_jpeg.assign(data, data + length);
        loaded.takeJpegSize();
    } else if (kind == kBitmapKind) {
        loaded.setBitmap(readBmp(reader));
    } else {
        throw KeltoError("Invalid picture kind");
    }
    loaded.saveIndex = saveIndex;
    *this = std::move(loaded);
}

} // namespace kelto
