#pragma once

#include "graphics/bitmap.h"
#include "model/geometry.h"

#include <cstdint>

namespace kelto {

// Raster helpers on 32-bit canvases. Source bitmaps may have any format; everything is clipped
// to the canvas.

// Pixels [x0, x0 + count) of row y as 0x00RRGGBB words.
void rowTo32(const Bitmap& source, int y, int x0, int count, uint32_t* out);

void fillRect(Bitmap& canvas, const Rect& rect, uint32_t pixel);
// Copies source with its top-left at pos.
void copyBitmap(const Bitmap& source, Bitmap& canvas, PixelPos pos);
// Copies source scaled into rect, nearest neighbour.
void stretchCopy(const Bitmap& source, Bitmap& canvas, const Rect& rect);
// Copies source with its top-left at pos, leaving out pixels of the key colour (0x00BBGGRR).
void copyTransparent(const Bitmap& source, uint32_t keyColour, Bitmap& canvas, PixelPos pos);

// Blends the scratch bitmap onto target at pos: each scratch pixel that is not the key colour
// (0x00BBGGRR) becomes (t * target + (255 - t) * scratch) >> 8 per channel. Both are made
// 32-bit.
void blendOnto(Bitmap& scratch, Bitmap& target, uint8_t transparency, PixelPos pos,
               uint32_t keyColour);

// Reduces source into the smaller target by any factors: each target pixel is the average of
// its source block. Both are made 32-bit; equal whole factors take boxReduceByFactor.
void boxReduce(Bitmap& source, Bitmap& target);
// The whole-factor reduction, factor = source width div target width; only blue, green and red
// are written. The 2x and 4x paths average exactly; the 3x path sums eight of the nine pixels
// (all but the bottom-right) and shifts by 3. The target is made 32-bit.
void boxReduceByFactor(const Bitmap& source, Bitmap& target);

// Source rows [first, end).
struct BoxRows {
    int first = 0;
    int end = 0;
};
// The source rows that boxReduce reads for target rows [firstRow, endRow), for a source
// sourceHeight rows high reduced into targetHeight rows.
BoxRows boxReduceSourceRows(int sourceHeight, int targetHeight, int firstRow, int endRow);
// boxReduce(source, target) for target rows [firstRow, endRow) only, from `rows`, which holds
// the source rows from rowsTop on (at least those boxReduceSourceRows names) of a source
// sourceHeight rows high and as wide as `rows`. The target rows come out exactly as boxReduce
// of the whole source makes them, so a large picture can be reduced a band at a time.
void boxReduceRows(Bitmap& rows, int rowsTop, int sourceHeight, Bitmap& target, int firstRow,
                   int endRow);

} // namespace kelto
