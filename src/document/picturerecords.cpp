#include "document/picturerecords.h"

namespace kelto {

// PENDING-GRAPHICS: these call Sprite::write / Sprite::read / Sprite::readOld once the graphics
// code is merged.
void writeSpriteRecord(ByteWriter&, const Sprite&) {
    throw KeltoError("PENDING-GRAPHICS: picture records");
}

void readSpriteRecord(ByteReader&, Sprite&, RecordForm) {
    throw KeltoError("PENDING-GRAPHICS: picture records");
}

} // namespace kelto

namespace kelto {

void writeBackgroundRecord(ByteWriter&, const Background&) {
    throw KeltoError("PENDING-GRAPHICS: picture records");
}

void readBackgroundRecord(ByteReader&, Background&) {
    throw KeltoError("PENDING-GRAPHICS: picture records");
}

std::string version2BackgroundName(const Background&) {
    return "Background1.bmp";
}

} // namespace kelto
