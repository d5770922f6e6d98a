#pragma once

#include "document/stkformat.h"
#include "graphics/imagegeneral.h"

#include <string>

namespace kelto {

// The picture records inside figure-type records: a key colour and a BMP file (current form),
// or the column-ordered layout (older form).
void writeSpriteRecord(ByteWriter& out, const Sprite& sprite);
void readSpriteRecord(ByteReader& in, Sprite& sprite, RecordForm form);

} // namespace kelto

namespace kelto {

// The picture record of a background slot (a BMP file, or a JPEG with its end position counted
// from the start of the document record, which is where the reader's position 0 lies).
void writeBackgroundRecord(ByteWriter& out, const ImageGeneral& background);
void readBackgroundRecord(ByteReader& in, ImageGeneral& background);
// The name a version-2 file's one background gets: the current language's phrase for
// "Background" followed by "1.jpg" or "1.bmp".
std::string version2BackgroundName(const ImageGeneral& background);

} // namespace kelto
