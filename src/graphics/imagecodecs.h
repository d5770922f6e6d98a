#pragma once

#include "graphics/bitmap.h"
#include "graphics/bytestream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelto {

// Picture file readers and writers. Every reader treats its input as untrusted and throws
// KeltoError on anything it cannot use; none reads outside the given bytes.

// A complete BMP file embedded in a record: reads exactly the header's total size.
Bitmap readBmp(ByteReader& reader);
// A BMP file on its own: the file's length bounds the data (the total-size field may be 0).
Bitmap readBmpFile(const uint8_t* data, size_t size);
// Writes a complete BMP file (file header with the total size, info header, colour table, rows
// bottom-up). 16-bit bitmaps are written with 5-6-5 colour masks.
void writeBmp(const Bitmap& bitmap, ByteWriter& writer);

// PNG through libpng: decoded to 24 bits (alpha dropped); palette bitmaps are written as
// palette PNGs, everything else as 8-bit RGB.
Bitmap decodePng(const uint8_t* data, size_t size);
std::vector<uint8_t> encodePng(const Bitmap& bitmap);

// JPEG through libjpeg: decoded to 24 bits; quality 0..100.
Bitmap decodeJpeg(const uint8_t* data, size_t size);
std::vector<uint8_t> encodeJpeg(const Bitmap& bitmap, int quality);

// The first image of a GIF through giflib, as an 8-bit bitmap with the GIF's colour table. When
// the image lies inside the logical screen the bitmap has the screen's size and the rest is the
// background colour.
Bitmap decodeGif(const uint8_t* data, size_t size);

// The lower-cased extension with its dot (".png"), or "" when there is none.
std::string lowerExtension(const std::string& path);
// The whole file; throws KeltoError when it cannot be read or is unreasonably large.
std::vector<uint8_t> readWholeFile(const std::string& path);
// A picture file by its extension (.bmp, .png, .jpg/.jpeg, .gif) as it is stored, with no
// palette reduction. Throws "Incorrect file type" for any other extension.
Bitmap readPictureFile(const std::string& path);

} // namespace kelto
