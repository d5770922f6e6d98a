#include "graphics/drawing.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelto {

void rowTo32(const Bitmap& source, int y, int x0, int count, uint32_t* out) {
    const uint8_t* r = source.row(y);
    switch (source.format()) {
    case PixelFormat::Bits32:
        std::memcpy(out, r + 4 * size_t(x0), 4 * size_t(count));
        for (int i = 0; i < count; ++i) {
            out[i] &= 0xFFFFFF;
        }
        return;
    case PixelFormat::Bits24:
        for (int i = 0; i < count; ++i) {
            const uint8_t* p = r + 3 * size_t(x0 + i);
            out[i] = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
        }
        return;
    case PixelFormat::Bits1:
    case PixelFormat::Bits4:
    case PixelFormat::Bits8: {
        const std::vector<uint32_t>& pal = source.palette();
        for (int i = 0; i < count; ++i) {
            const uint32_t index = source.rawPixel(x0 + i, y);
            out[i] = index < pal.size() ? (pal[index] & 0xFFFFFF) : 0;
        }
        return;
    }
    case PixelFormat::Bits15:
    case PixelFormat::Bits16:
        for (int i = 0; i < count; ++i) {
            out[i] = source.pixel32(x0 + i, y);
        }
        return;
    }
}

namespace {

// The part of a source placed at pos that lies on the canvas.
struct Clip {
    int srcX = 0, srcY = 0, dstX = 0, dstY = 0, w = 0, h = 0;
};

Clip clipTo(const Bitmap& canvas, PixelPos pos, int w, int h) {
    Clip c;
    c.srcX = std::max(0, -pos.x);
    c.srcY = std::max(0, -pos.y);
    c.dstX = pos.x + c.srcX;
    c.dstY = pos.y + c.srcY;
    c.w = std::min(w - c.srcX, canvas.width() - c.dstX);
    c.h = std::min(h - c.srcY, canvas.height() - c.dstY);
    if (c.w <= 0 || c.h <= 0) {
        c.w = c.h = 0;
    }
    return c;
}

uint32_t* row32(Bitmap& b, int y) {
    return reinterpret_cast<uint32_t*>(b.row(y));
}
const uint32_t* row32(const Bitmap& b, int y) {
    return reinterpret_cast<const uint32_t*>(b.row(y));
}

void require32(Bitmap& canvas) {
    if (canvas.format() != PixelFormat::Bits32) {
        canvas.convertTo(PixelFormat::Bits32);
    }
}

} // namespace

void fillRect(Bitmap& canvas, const Rect& rect, uint32_t pixel) {
    require32(canvas);
    const int x0 = std::max(0, rect.left), x1 = std::min(canvas.width(), rect.right);
    const int y0 = std::max(0, rect.top), y1 = std::min(canvas.height(), rect.bottom);
    if (x0 >= x1 || y0 >= y1) {
        return;
    }
    const uint8_t b = uint8_t(pixel);
    if (pixel == b * 0x01010101u) {
        // One byte pattern (white, black): whole rows at memset speed.
        if (x0 == 0 && x1 == canvas.width()) {
            std::memset(canvas.row(y0), b, canvas.rowBytes() * size_t(y1 - y0));
            return;
        }
        for (int y = y0; y < y1; ++y) {
            std::memset(row32(canvas, y) + x0, b, 4 * size_t(x1 - x0));
        }
        return;
    }
    for (int y = y0; y < y1; ++y) {
        std::fill(row32(canvas, y) + x0, row32(canvas, y) + x1, pixel);
    }
}

void copyBitmap(const Bitmap& source, Bitmap& canvas, PixelPos pos) {
    require32(canvas);
    const Clip c = clipTo(canvas, pos, source.width(), source.height());
    for (int y = 0; y < c.h; ++y) {
        rowTo32(source, c.srcY + y, c.srcX, c.w, row32(canvas, c.dstY + y) + c.dstX);
    }
}

void stretchCopy(const Bitmap& source, Bitmap& canvas, const Rect& rect) {
    require32(canvas);
    const int rw = rect.width(), rh = rect.height();
    if (rw <= 0 || rh <= 0 || source.empty()) {
        return;
    }
    const int x0 = std::max(0, rect.left), x1 = std::min(canvas.width(), rect.right);
    const int y0 = std::max(0, rect.top), y1 = std::min(canvas.height(), rect.bottom);
    if (x0 >= x1) {
        return;
    }
    std::vector<uint32_t> line(size_t(source.width()));
    std::vector<int> column(size_t(x1 - x0));
    for (int x = x0; x < x1; ++x) {
        column[size_t(x - x0)] = int(int64_t(x - rect.left) * source.width() / rw);
    }
    int lastRow = -1;
    for (int y = y0; y < y1; ++y) {
        const int sy = int(int64_t(y - rect.top) * source.height() / rh);
        if (sy != lastRow) {
            rowTo32(source, sy, 0, source.width(), line.data());
            lastRow = sy;
        }
        uint32_t* out = row32(canvas, y);
        for (int x = x0; x < x1; ++x) {
            out[x] = line[size_t(column[size_t(x - x0)])];
        }
    }
}

void copyTransparent(const Bitmap& source, uint32_t keyColour, Bitmap& canvas, PixelPos pos) {
    require32(canvas);
    const uint32_t key = colourToPixel(keyColour);
    const Clip c = clipTo(canvas, pos, source.width(), source.height());
    std::vector<uint32_t> line(size_t(std::max(c.w, 0)));
    for (int y = 0; y < c.h; ++y) {
        rowTo32(source, c.srcY + y, c.srcX, c.w, line.data());
        uint32_t* out = row32(canvas, c.dstY + y) + c.dstX;
        for (int x = 0; x < c.w; ++x) {
            if (line[size_t(x)] != key) {
                out[x] = line[size_t(x)];
            }
        }
    }
}

void blendOnto(Bitmap& scratch, Bitmap& target, uint8_t transparency, PixelPos pos,
               uint32_t keyColour) {
    require32(scratch);
    require32(target);
    const uint32_t key = colourToPixel(keyColour);
    const uint32_t t = transparency;
    const uint32_t s = 255 - t;
    const Clip c = clipTo(target, pos, scratch.width(), scratch.height());
    for (int y = 0; y < c.h; ++y) {
        const uint32_t* in = row32(scratch, c.srcY + y) + c.srcX;
        uint32_t* out = row32(target, c.dstY + y) + c.dstX;
        for (int x = 0; x < c.w; ++x) {
#if defined(__SSE2__)
            // Most of a figure's box is key colour: skip four such pixels at a time.
            if ((x & 3) == 0 && x + 4 <= c.w) {
                const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
                const __m128i rgb = _mm_and_si128(four, _mm_set1_epi32(0x00FFFFFF));
                if (_mm_movemask_epi8(_mm_cmpeq_epi32(rgb, _mm_set1_epi32(int(key)))) == 0xFFFF) {
                    x += 3;
                    continue;
                }
            }
#endif
            const uint32_t p = in[x];
            if ((p & 0xFFFFFF) == key) {
                continue;
            }
            // Blue and red in two 16-bit lanes at once: t * 255 + s * 255 < 65536, so the
            // lanes never carry into each other and each channel is floored on its own.
            const uint32_t q = out[x];
            const uint32_t br = (((q & 0xFF00FF) * t + (p & 0xFF00FF) * s) >> 8) & 0xFF00FF;
            const uint32_t g = ((((q >> 8) & 0xFF) * t + ((p >> 8) & 0xFF) * s) >> 8) & 0xFF;
            out[x] = (q & 0xFF000000) | br | (g << 8);
        }
    }
}

namespace {

// Blue and red of a pixel in the low halves of two 16-bit lanes, green and the fourth byte in
// the other word: sums of up to 256 pixels fit each lane.
inline uint32_t lanesBR(uint32_t p) {
    return p & 0x00FF00FF;
}
inline uint32_t lanesG(uint32_t p) {
    return (p >> 8) & 0x00FF00FF;
}

inline uint32_t packLanes(uint32_t br, uint32_t g, int shift, uint32_t old) {
    br = (br >> shift) & 0x00FF00FF;
    g = (g >> shift) & 0x000000FF;
    return (old & 0xFF000000) | br | (g << 8);
}

#if defined(__SSE2__)
// Four target pixels from eight pixels of each of the two source rows: channels widened to 16
// bits, column pairs summed, then neighbouring pixels; the fourth byte keeps the target's.
inline void reduce4By2(const uint32_t* a, const uint32_t* b, uint32_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i keep = _mm_set1_epi32(int(0xFF000000u));
    const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 4));
    const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 4));
    const __m128i s0 = _mm_add_epi16(_mm_unpacklo_epi8(a0, zero), _mm_unpacklo_epi8(b0, zero));
    const __m128i s1 = _mm_add_epi16(_mm_unpackhi_epi8(a0, zero), _mm_unpackhi_epi8(b0, zero));
    const __m128i s2 = _mm_add_epi16(_mm_unpacklo_epi8(a1, zero), _mm_unpacklo_epi8(b1, zero));
    const __m128i s3 = _mm_add_epi16(_mm_unpackhi_epi8(a1, zero), _mm_unpackhi_epi8(b1, zero));
    const __m128i t01 = _mm_add_epi16(_mm_unpacklo_epi64(s0, s1), _mm_unpackhi_epi64(s0, s1));
    const __m128i t23 = _mm_add_epi16(_mm_unpacklo_epi64(s2, s3), _mm_unpackhi_epi64(s2, s3));
    const __m128i packed = _mm_packus_epi16(_mm_srli_epi16(t01, 2), _mm_srli_epi16(t23, 2));
    __m128i* dst = reinterpret_cast<__m128i*>(out);
    const __m128i old = _mm_loadu_si128(dst);
    _mm_storeu_si128(dst, _mm_or_si128(_mm_and_si128(old, keep), _mm_andnot_si128(keep, packed)));
}
#else
inline void reduce4By2(const uint32_t* a, const uint32_t* b, uint32_t* out) {
    for (int i = 0; i < 4; ++i) {
        const int s = 2 * i;
        const uint32_t br = lanesBR(a[s]) + lanesBR(a[s + 1]) + lanesBR(b[s]) + lanesBR(b[s + 1]);
        const uint32_t g = lanesG(a[s]) + lanesG(a[s + 1]) + lanesG(b[s]) + lanesG(b[s + 1]);
        out[i] = packLanes(br, g, 2, out[i]);
    }
}
#endif

// The reductions below write target rows [y0, y1); src holds the source rows from srcTop on.
void reduceBy2(const Bitmap& src, int srcTop, Bitmap& dst, int tw, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
        const uint32_t* a = row32(src, 2 * y - srcTop);
        const uint32_t* b = row32(src, 2 * y + 1 - srcTop);
        uint32_t* out = row32(dst, y);
        int x = 0;
        // Four target pixels per step.
        for (; x + 4 <= tw; x += 4) {
            reduce4By2(a + 2 * x, b + 2 * x, out + x);
        }
        for (; x < tw; ++x) {
            const int s = 2 * x;
            const uint32_t br =
                lanesBR(a[s]) + lanesBR(a[s + 1]) + lanesBR(b[s]) + lanesBR(b[s + 1]);
            const uint32_t g = lanesG(a[s]) + lanesG(a[s + 1]) + lanesG(b[s]) + lanesG(b[s + 1]);
            out[x] = packLanes(br, g, 2, out[x]);
        }
    }
}

void reduceBy3(const Bitmap& src, int srcTop, Bitmap& dst, int tw, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
        const uint32_t* a = row32(src, 3 * y - srcTop);
        const uint32_t* b = row32(src, 3 * y + 1 - srcTop);
        const uint32_t* c = row32(src, 3 * y + 2 - srcTop);
        uint32_t* out = row32(dst, y);
        for (int x = 0; x < tw; ++x) {
            const int s = 3 * x;
            // Eight of the nine: the bottom-right pixel is left out so a shift replaces / 9.
            const uint32_t br = lanesBR(a[s]) + lanesBR(a[s + 1]) + lanesBR(a[s + 2]) +
                                lanesBR(b[s]) + lanesBR(b[s + 1]) + lanesBR(b[s + 2]) +
                                lanesBR(c[s]) + lanesBR(c[s + 1]);
            const uint32_t g = lanesG(a[s]) + lanesG(a[s + 1]) + lanesG(a[s + 2]) + lanesG(b[s]) +
                               lanesG(b[s + 1]) + lanesG(b[s + 2]) + lanesG(c[s]) +
                               lanesG(c[s + 1]);
            out[x] = packLanes(br, g, 3, out[x]);
        }
    }
}

void reduceBy4(const Bitmap& src, int srcTop, Bitmap& dst, int tw, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
        const int s0 = 4 * y - srcTop;
        const uint32_t* rows[4] = {row32(src, s0), row32(src, s0 + 1), row32(src, s0 + 2),
                                   row32(src, s0 + 3)};
        uint32_t* out = row32(dst, y);
        for (int x = 0; x < tw; ++x) {
            const int s = 4 * x;
            uint32_t br = 0, g = 0;
            for (const uint32_t* r : rows) {
                br += lanesBR(r[s]) + lanesBR(r[s + 1]) + lanesBR(r[s + 2]) + lanesBR(r[s + 3]);
                g += lanesG(r[s]) + lanesG(r[s + 1]) + lanesG(r[s + 2]) + lanesG(r[s + 3]);
            }
            out[x] = packLanes(br, g, 4, out[x]);
        }
    }
}

void reduceByAny(const Bitmap& src, int srcTop, Bitmap& dst, int c, int tw, int y0, int y1) {
    const uint64_t area = uint64_t(c) * uint64_t(c);
    for (int y = y0; y < y1; ++y) {
        uint32_t* out = row32(dst, y);
        for (int x = 0; x < tw; ++x) {
            uint64_t sum[3] = {0, 0, 0};
            for (int j = 0; j < c; ++j) {
                const uint32_t* r = row32(src, c * y + j - srcTop) + size_t(c) * x;
                for (int i = 0; i < c; ++i) {
                    sum[0] += r[i] & 0xFF;
                    sum[1] += (r[i] >> 8) & 0xFF;
                    sum[2] += (r[i] >> 16) & 0xFF;
                }
            }
            out[x] = (out[x] & 0xFF000000) | uint32_t(sum[0] / area) |
                     (uint32_t(sum[1] / area) << 8) | (uint32_t(sum[2] / area) << 16);
        }
    }
}

// Whole c x c blocks into target rows [y0, y1) (and the columns below tw).
void reduceByFactorRows(const Bitmap& src, int srcTop, Bitmap& dst, int c, int tw, int y0, int y1) {
    switch (c) {
    case 1:
        for (int y = y0; y < y1; ++y) {
            const uint32_t* in = row32(src, y - srcTop);
            uint32_t* out = row32(dst, y);
            for (int x = 0; x < tw; ++x) {
                out[x] = (out[x] & 0xFF000000) | (in[x] & 0xFFFFFF);
            }
        }
        break;
    case 2:
        reduceBy2(src, srcTop, dst, tw, y0, y1);
        break;
    case 3:
        reduceBy3(src, srcTop, dst, tw, y0, y1);
        break;
    case 4:
        reduceBy4(src, srcTop, dst, tw, y0, y1);
        break;
    default:
        reduceByAny(src, srcTop, dst, c, tw, y0, y1);
        break;
    }
}

// Block edges per target column or row: pairs [from, to); an enlarging factor still takes at
// least one pixel.
std::vector<int> blockEdges(int count, double f, int limit) {
    std::vector<int> e(size_t(count) * 2);
    for (int i = 0; i < count; ++i) {
        int from = std::min(int(i * f), limit - 1);
        int to = std::max(from + 1, std::min(int((i + 1) * f), limit));
        e[2 * size_t(i)] = from;
        e[2 * size_t(i) + 1] = to;
    }
    return e;
}

// Whether boxReduce takes the whole-factor path for these sizes.
bool equalWholeFactors(int sourceWidth, int sourceHeight, const Bitmap& target) {
    const double fx = double(sourceWidth) / target.width();
    const double fy = double(sourceHeight) / target.height();
    return fx == fy && fx == std::floor(fx);
}

// The averaging path of boxReduce for target rows [y0, y1); src holds the source rows from
// srcTop on, of a source sourceHeight rows high.
void reduceAnyFactorsRows(const Bitmap& src, int srcTop, int sourceHeight, Bitmap& target, int y0,
                          int y1) {
    const std::vector<int> xs =
        blockEdges(target.width(), double(src.width()) / target.width(), src.width());
    const std::vector<int> ys =
        blockEdges(target.height(), double(sourceHeight) / target.height(), sourceHeight);
    for (int y = y0; y < y1; ++y) {
        uint32_t* out = row32(target, y);
        for (int x = 0; x < target.width(); ++x) {
            uint64_t sum[3] = {0, 0, 0};
            for (int sy = ys[2 * size_t(y)]; sy < ys[2 * size_t(y) + 1]; ++sy) {
                const uint32_t* r = row32(src, sy - srcTop);
                for (int sx = xs[2 * size_t(x)]; sx < xs[2 * size_t(x) + 1]; ++sx) {
                    sum[0] += r[sx] & 0xFF;
                    sum[1] += (r[sx] >> 8) & 0xFF;
                    sum[2] += (r[sx] >> 16) & 0xFF;
                }
            }
            const uint64_t n = uint64_t(xs[2 * size_t(x) + 1] - xs[2 * size_t(x)]) *
                               uint64_t(ys[2 * size_t(y) + 1] - ys[2 * size_t(y)]);
            out[x] = (out[x] & 0xFF000000) | uint32_t(sum[0] / n) | (uint32_t(sum[1] / n) << 8) |
                     (uint32_t(sum[2] / n) << 16);
        }
    }
}

} // namespace

void boxReduceByFactor(const Bitmap& source, Bitmap& target) {
    if (target.width() == 0 || target.height() == 0) {
        return;
    }
    require32(target);
    const int c = source.width() / target.width();
    if (c == 0) {
        return;
    }
    Bitmap converted;
    const Bitmap* src = &source;
    if (source.format() != PixelFormat::Bits32) {
        converted = source;
        converted.convertTo(PixelFormat::Bits32);
        src = &converted;
    }
    // Only whole blocks that lie inside the source are reduced.
    const int tw = std::min(target.width(), src->width() / c);
    const int th = std::min(target.height(), src->height() / c);
    reduceByFactorRows(*src, 0, target, c, tw, 0, th);
}

void boxReduce(Bitmap& source, Bitmap& target) {
    if (target.width() == 0 || target.height() == 0) {
        return;
    }
    require32(source);
    require32(target);
    if (source.empty()) {
        return;
    }
    if (equalWholeFactors(source.width(), source.height(), target)) {
        boxReduceByFactor(source, target);
        return;
    }
    reduceAnyFactorsRows(source, 0, source.height(), target, 0, target.height());
}

BoxRows boxReduceSourceRows(int sourceHeight, int targetHeight, int firstRow, int endRow) {
    if (firstRow >= endRow || sourceHeight <= 0 || targetHeight <= 0) {
        return {0, 0};
    }
    const double f = double(sourceHeight) / targetHeight;
    // The edges of blockEdges for the first and last row; blocks follow each other downwards.
    const int first = std::min(int(firstRow * f), sourceHeight - 1);
    const int lastFrom = std::min(int((endRow - 1) * f), sourceHeight - 1);
    const int end = std::max(lastFrom + 1, std::min(int(endRow * f), sourceHeight));
    return {first, end};
}

void boxReduceRows(Bitmap& rows, int rowsTop, int sourceHeight, Bitmap& target, int firstRow,
                   int endRow) {
    if (target.width() == 0 || target.height() == 0 || rows.empty() || firstRow >= endRow) {
        return;
    }
    require32(rows);
    require32(target);
    if (!equalWholeFactors(rows.width(), sourceHeight, target)) {
        reduceAnyFactorsRows(rows, rowsTop, sourceHeight, target, firstRow, endRow);
        return;
    }
    const int c = rows.width() / target.width();
    // As boxReduceByFactor: only whole blocks inside the source.
    const int th = std::min(target.height(), sourceHeight / c);
    reduceByFactorRows(rows, rowsTop, target, c, std::min(target.width(), rows.width() / c),
                       firstRow, std::min(endRow, th));
}

} // namespace kelto
