#include "document/picturerecords.h"

#include "settings/multilang.h"

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
    // The phrase is taken when the file is read, so the name is in the language of the moment.
    const std::string word = getPhrase(PhraseType::MBackground).toStdString();
    return word + (background.imageKind() == ImageGeneral::kJpegKind ? "1.jpg" : "1.bmp");
}

} // namespace kelto
