#pragma once

#include "graphics/bitmap.h"
#include "graphics/imagegeneral.h"
#include "model/figuretype.h"

#include <cstdint>

namespace kelto {

// Pictures for the picker cells. Sources are drawn at three times the box size and reduced
// with the box filter, so small figures and large pictures both stay legible.

inline constexpr int kThumbnailBox = 60;
inline constexpr int kThumbnailSourceSide = 3 * kThumbnailBox;

// The cell picture of a source: fitted into the box, stretched when the source is smaller,
// box-filtered when it is larger. The result is 32-bit.
Bitmap makeThumbnail(const Bitmap& source);

// A figure of the type in its default pose, scaled so its longer side spans 180 pixels, on a
// background of fillPixel (0x00RRGGBB).
Bitmap figureTypeSource(const FigureType& type, uint16_t typeIndex, uint32_t fillPixel);

// The whole picture stretched into 180 pixels along its longer side (at least 3 along the
// other), on fillPixel.
Bitmap backgroundSource(const ImageGeneral& picture, uint32_t fillPixel);

// The "White Back" cell: a plain white box.
Bitmap whiteThumbnail();

} // namespace kelto
