// Feeds untrusted bytes to every picture reader: BMP (as a record and as a file), PNG, JPEG,
// GIF, and the sprite and background picture records. The first byte picks the reader; readers
// must either succeed or throw KeltoError.
#include "graphics/imagecodecs.h"
#include "graphics/imagegeneral.h"
#include "graphics/palettereduction.h"
#include "graphics/sprite.h"

#include <cstddef>
#include <cstdint>

using namespace kelto;

namespace {

// Small results go on through the code that follows a load, so it sees hostile pictures too.
void exercise(Bitmap bitmap) {
    if (int64_t(bitmap.width()) * bitmap.height() > 65536) {
        return;
    }
    Bitmap copy = bitmap;
    reducePalette(copy);
    bitmap.convertTo(PixelFormat::Bits32);
}

void exercise(const Sprite& sprite, uint8_t turn) {
    if (int64_t(sprite.width()) * sprite.height() > 65536) {
        return;
    }
    Bitmap target;
    rotateScaleSprite(sprite, target, {0, 0}, turn & 1, 0.5f + (turn & 7) * 0.25f, turn * 0.1);
}

void run(uint8_t selector, const uint8_t* data, size_t size) {
    ByteReader reader(data, size);
    switch (selector % 8) {
    case 0:
        exercise(readBmp(reader));
        break;
    case 1:
        exercise(readBmpFile(data, size));
        break;
    case 2:
        exercise(decodePng(data, size));
        break;
    case 3:
        exercise(decodeJpeg(data, size));
        break;
    case 4:
        exercise(decodeGif(data, size));
        break;
    case 5: {
        Sprite sprite;
        sprite.read(reader);
        exercise(sprite, selector);
        break;
    }
    case 6: {
        Sprite sprite;
        sprite.readOld(reader);
        exercise(sprite, selector);
        break;
    }
    case 7: {
        ImageGeneral image;
        image.read(reader);
        if (int64_t(image.width()) * image.height() <= 65536) {
            image.setWidth(image.width() / 2 + 1);
        }
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    try {
        run(data[0], data + 1, size - 1);
    } catch (const KeltoError&) {
    }
    return 0;
}
