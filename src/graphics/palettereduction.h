#pragma once

#include "graphics/bitmap.h"

namespace kelto {

// Makes a picture with few colours a palette bitmap: its distinct colours are collected in
// order of first appearance (rows top to bottom, pixels left to right); up to 256 colours
// (16 when the picture has fewer than 512 pixels) give a 1, 4 or 8-bit bitmap with those colours
// as palette in that order. A picture with more colours keeps them (32-bit becomes 24-bit).
// 1-bit and 15-bit pictures are left as they are.
void reducePalette(Bitmap& bitmap);

} // namespace kelto
