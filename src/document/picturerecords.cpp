#include "document/picturerecords.h"

namespace kelto {

void writeSpriteRecord(ByteWriter& out, const Sprite& sprite) {
    sprite.write(out);
}

void readSpriteRecord(ByteReader& in, Sprite& sprite, RecordForm form) {
    if (form == RecordForm::Current) {
        sprite.read(in);
    } else {
        sprite.readOld(in);
    }
}

void writeBackgroundRecord(ByteWriter& out, const ImageGeneral& background) {
    background.write(out);
}

void readBackgroundRecord(ByteReader& in, ImageGeneral& background) {
    background.read(in);
}

std::string version2BackgroundName(const ImageGeneral& background) {
    return background.imageKind() == ImageGeneral::kJpegKind ? "Background1.jpg"
                                                             : "Background1.bmp";
}

} // namespace kelto
