#include "pickers/thumbnails.h"

#include "graphics/drawing.h"
#include "graphics/renderer.h"
#include "model/figure.h"
#include "pickers/pickerlayout.h"

#include <algorithm>
#include <cmath>

namespace kelto {

Bitmap makeThumbnail(const Bitmap& source) {
    const ThumbnailSize size = fitThumbnail(source.width(), source.height());
    Bitmap thumb(size.width, size.height, PixelFormat::Bits32);
    if (source.empty()) {
        thumb.fill(0x00FFFFFF);
        return thumb;
    }
    if (size.scale >= 1) {
        stretchCopy(source, thumb, Rect{0, 0, size.width, size.height});
    } else {
        Bitmap copy = source;
        boxReduce(copy, thumb);
    }
    return thumb;
}

Bitmap figureTypeSource(const FigureType& type, uint16_t typeIndex, uint32_t fillPixel) {
    Figure figure;
    figure.setType(typeIndex, type);
    Rect box = figure.bounds;
    const int width = std::max(box.right - box.left, 1);
    const int height = std::max(box.bottom - box.top, 1);
    const double factor = double(width) / height >= 1.0 ? double(kThumbnailSourceSide) / width
                                                        : double(kThumbnailSourceSide) / height;
    figure.setScale(float(figure.scale * factor), type);
    box = figure.bounds;
    const int w = std::clamp(box.right - box.left, 1, 4 * kThumbnailSourceSide);
    const int h = std::clamp(box.bottom - box.top, 1, 4 * kThumbnailSourceSide);
    Bitmap bitmap(w, h, PixelFormat::Bits32);
    bitmap.fill(fillPixel);
    paintFigure(figure, type, bitmap, 0, {-box.left, -box.top}, 1);
    return bitmap;
}

Bitmap backgroundSource(const ImageGeneral& picture, uint32_t fillPixel) {
    const int pw = std::max(picture.width(), 1), ph = std::max(picture.height(), 1);
    const double r = double(pw) / ph;
    int w = kThumbnailSourceSide, h = kThumbnailSourceSide;
    if (r >= 1.0) {
        h = std::max(3, int(std::ceil(kThumbnailSourceSide / r)));
    } else {
        w = std::max(3, int(std::ceil(kThumbnailSourceSide * r)));
    }
    Bitmap bitmap(w, h, PixelFormat::Bits32);
    bitmap.fill(fillPixel);
    if (picture.width() > 0 && picture.height() > 0) {
        picture.stretchDraw(bitmap, Rect{0, 0, w, h});
    }
    return bitmap;
}

Bitmap whiteThumbnail() {
    Bitmap bitmap(kThumbnailBox, kThumbnailBox, PixelFormat::Bits32);
    bitmap.fill(0x00FFFFFF);
    return bitmap;
}

} // namespace kelto
