#pragma once

#include "export/colourreduction.h"

#include <cstdint>
#include <vector>

namespace kelto::testing {

// A 32-bit picture in memory (0x00RRGGBB words, rows top first) and a view of it.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Picture(int w, int h, uint32_t fill = 0xFFFFFF)
        : width(w), height(h), pixels(size_t(w) * h, fill) {}
    uint32_t& at(int x, int y) { return pixels[size_t(y) * width + x]; }
    PixelSpan span() const {
        return {reinterpret_cast<const uint8_t*>(pixels.data()), width, height, size_t(width) * 4};
    }
};

} // namespace kelto::testing
