#include "graphics/palettereduction.h"

#include <unordered_map>

namespace kelto {

void reducePalette(Bitmap& bitmap) {
    const PixelFormat format = bitmap.format();
    if (format == PixelFormat::Bits1 || format == PixelFormat::Bits15 || bitmap.empty()) {
        return;
    }
    const int64_t pixels = int64_t(bitmap.width()) * bitmap.height();
    const size_t limit = pixels >= 512 ? 256 : 16;

    std::vector<uint32_t> colours;
    std::unordered_map<uint32_t, uint8_t> indexOf;
    bool tooMany = false;
    for (int y = 0; y < bitmap.height() && !tooMany; ++y) {
        for (int x = 0; x < bitmap.width(); ++x) {
            const uint32_t c = bitmap.pixel32(x, y);
            if (indexOf.count(c)) {
                continue;
            }
            if (colours.size() == limit) {
                tooMany = true;
                break;
            }
            indexOf.emplace(c, uint8_t(colours.size()));
            colours.push_back(c);
        }
    }
    if (tooMany) {
        if (format == PixelFormat::Bits32) {
            bitmap.convertTo(PixelFormat::Bits24);
        }
        return;
    }
    const PixelFormat target = colours.size() <= 2    ? PixelFormat::Bits1
                               : colours.size() <= 16 ? PixelFormat::Bits4
                                                      : PixelFormat::Bits8;
    Bitmap out(bitmap.width(), bitmap.height(), target);
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x) {
            out.setRawPixel(x, y, indexOf[bitmap.pixel32(x, y)]);
        }
    }
    out.setPalette(std::move(colours));
    bitmap = std::move(out);
}

} // namespace kelto
