#pragma once

#include "graphics/bitmap.h"
#include "graphics/bytestream.h"
#include "model/geometry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelto {

// A background picture, kept either as an uncompressed bitmap or as a JPEG that stays
// compressed in memory and in files. Copyable value type.
class ImageGeneral {
public:
    static constexpr uint8_t kBitmapKind = 0;
    static constexpr uint8_t kJpegKind = 1;
    static constexpr int kJpegQuality = 90; // when a JPEG is compressed again after a change

    uint8_t imageKind() const { return m_kind; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    uint8_t saveIndex = 255; // transient numbering while selected frames are written

    // Sets the kind and starts an empty picture of it.
    void setKind(uint8_t kind);
    // Change the size keeping the pixels anchored at the top-left corner; added area is white.
    // A picture that already has the size keeps its bytes. A JPEG changed in size is compressed
    // again once, when it is next drawn, read or written, so a width change followed by a height
    // change costs one compression.
    void setWidth(int width);
    void setHeight(int height);
    void assign(const ImageGeneral& source);

    // Loads a .bmp, .jpg/.jpeg, .gif or .png file (palette reduction for BMP and PNG). Returns
    // false, leaving the picture empty, for any other extension; throws KeltoError when the file
    // cannot be read or decoded.
    bool loadFromFile(const std::string& path);
    // Takes a bitmap as the picture (kind bitmap), for callers that build pictures.
    void setBitmap(const Bitmap& bitmap);

    // The picture's pixels: the bitmap, or the decoded JPEG.
    Bitmap decoded() const;
    const Bitmap& bitmap() const { return m_bitmap; }
    const std::vector<uint8_t>& jpegData() const;

    // Draws unscaled with the top-left at pos, and scaled (nearest neighbour) into rect.
    void draw(Bitmap& canvas, PixelPos pos) const;
    void stretchDraw(Bitmap& canvas, const Rect& rect) const;
    // Resamples the picture by factor: enlarging stretches, shrinking box-filters. The stored
    // width and height stay; callers follow with setWidth and setHeight.
    void rescale(double factor);

    // The picture record: the kind byte, then a BMP file, or for a JPEG the int64 end position
    // (offset from the start of the writer/reader, which holds the whole record from its
    // version byte) followed by the JPEG file.
    void write(ByteWriter& writer) const;
    void read(ByteReader& reader);

private:
    void setPicture(const Bitmap& pixels);
    void resizePicture(int width, int height);
    // The picture's own size (x width, y height), known without decoding a JPEG.
    PixelPos pictureSize() const;
    // The pixels as they stand, a JPEG's pending change included.
    const Bitmap& currentPixels() const;
    // The pixels as drawn and written: a pending JPEG change is compressed first.
    const Bitmap& cachedPixels() const;
    void compressPending() const;
    void takeJpegSize();

    uint8_t m_kind = kBitmapKind;
    int m_width = 0;
    int m_height = 0;
    Bitmap m_bitmap;
    // The JPEG file; stale while m_jpegPending is set.
    mutable std::vector<uint8_t> m_jpeg;
    // The decoded JPEG, made when first drawn (playback draws it every frame) and shared by
    // copies; dropped whenever the JPEG changes. While m_jpegPending is set it holds changed
    // pixels that have not been compressed yet.
    mutable std::shared_ptr<const Bitmap> m_decodedJpeg;
    mutable bool m_jpegPending = false;
    // The JPEG picture's own size, known without decoding it.
    int m_jpegWidth = 0;
    int m_jpegHeight = 0;
};

} // namespace kelto
