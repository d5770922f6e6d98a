#include "export/gifoptimiser.h"

#include "base/error.h"
#include "export/gifwriter.h"

#include <algorithm>
#include <array>

namespace kelto {

std::vector<uint32_t> displayedColours(const IndexedImage& image) {
    std::array<uint32_t, 256> table{};
    std::copy_n(image.palette.begin(), std::min<size_t>(image.palette.size(), 256), table.begin());
    std::vector<uint32_t> colours(image.indices.size());
    std::transform(image.indices.begin(), image.indices.end(), colours.begin(),
                   [&](uint8_t index) { return table[index]; });
    return colours;
}

GifFrameOptimiser::GifFrameOptimiser(GifWriter& writer, int width, int height,
                                     GifOptimisation options)
    : m_writer(writer), m_options(options), m_width(width), m_height(height) {}

void GifFrameOptimiser::addFrame(const IndexedImage& frame, long long delay) {
    if (frame.width != m_width || frame.height != m_height ||
        frame.indices.size() != size_t(m_width) * size_t(m_height)) {
        throw KeltoError("A GIF frame does not have the size of the animation");
    }
    delay = std::max(0LL, delay);
    std::vector<uint32_t> shown = displayedColours(frame);
    if (m_holding && shown == m_heldColours && m_heldDelay + delay <= kMaxGifDelay) {
        m_heldDelay += static_cast<int>(delay);
        return;
    }
    flush();
    // A delay too long for one frame is shown as the same picture several times over.
    for (; delay > kMaxGifDelay; delay -= kMaxGifDelay) {
        write(frame, shown, kMaxGifDelay);
    }
    if (m_options.mergeFrames) {
        m_held = frame;
        m_heldColours = std::move(shown);
        m_heldDelay = static_cast<int>(delay);
        m_holding = true;
    } else {
        write(frame, shown, static_cast<int>(delay));
    }
}

void GifFrameOptimiser::flush() {
    if (m_holding) {
        m_holding = false;
        write(m_held, m_heldColours, m_heldDelay);
    }
}

void GifFrameOptimiser::write(const IndexedImage& frame, const std::vector<uint32_t>& shown,
                              int delay) {
    if (!m_options.crop) {
        m_writer.addFrame(frame, delay);
    } else if (m_written == 0) {
        // The first frame starts the display, so it always covers the whole screen.
        m_writer.addFrame(frame, delay, GifPlacement{0, 0, true});
        for (size_t k = 0; k < m_writer.globalPalette().size() && k < 256; ++k) {
            m_globalIndex.try_emplace(m_writer.globalPalette()[k], static_cast<uint8_t>(k));
        }
    } else {
        writeCropped(frame, shown, delay);
    }
    if (m_options.crop) {
        m_screen = shown;
    }
    ++m_written;
}

GifFrameOptimiser::Region
GifFrameOptimiser::changedRegion(const std::vector<uint32_t>& shown) const {
    int left = m_width, right = -1, top = m_height, bottom = -1;
    for (int y = 0; y < m_height; ++y) {
        const uint32_t* now = shown.data() + size_t(y) * m_width;
        const uint32_t* before = m_screen.data() + size_t(y) * m_width;
        int x = 0;
        while (x < m_width && now[x] == before[x]) {
            ++x;
        }
        if (x == m_width) {
            continue;
        }
        int last = m_width - 1;
        while (now[last] == before[last]) {
            --last;
        }
        left = std::min(left, x);
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y;
    }
    if (right < 0) {
        // Nothing changes: one pixel repeating what is shown keeps the frame and its delay.
        return Region{0, 0, 1, 1};
    }
    return Region{left, top, right - left + 1, bottom - top + 1};
}

void GifFrameOptimiser::writeCropped(const IndexedImage& frame, const std::vector<uint32_t>& shown,
                                     int delay) {
    const Region r = changedRegion(shown);
    IndexedImage part;
    part.width = r.width;
    part.height = r.height;
    part.palette = frame.palette;
    part.indices.resize(size_t(r.width) * size_t(r.height));
    for (int y = 0; y < r.height; ++y) {
        const auto from = frame.indices.begin() + (size_t(r.top + y) * m_width + r.left);
        std::copy_n(from, r.width, part.indices.begin() + size_t(y) * r.width);
    }
    fitColourTable(part);
    m_writer.addFrame(part, delay, GifPlacement{r.left, r.top, true});
}

// A cropped frame holds few colours; when the shared table has them all, the frame uses it and
// needs no table of its own.
void GifFrameOptimiser::fitColourTable(IndexedImage& part) {
    const std::vector<uint32_t>& global = m_writer.globalPalette();
    if (part.palette == global) {
        return;
    }
    std::array<bool, 256> used{};
    for (uint8_t index : part.indices) {
        used[index] = true;
    }
    std::array<uint8_t, 256> toGlobal{};
    bool allShared = true;
    for (int k = 0; k < 256 && allShared; ++k) {
        if (used[k]) {
            const uint32_t colour = k < int(part.palette.size()) ? part.palette[k] : 0;
            const auto found = m_globalIndex.find(colour);
            allShared = found != m_globalIndex.end();
            toGlobal[k] = allShared ? found->second : 0;
        }
    }
    if (allShared) {
        for (uint8_t& index : part.indices) {
            index = toGlobal[index];
        }
        part.palette = global;
    } else if (m_options.dropUnusedColours) {
        dropUnusedColours(part);
    }
}

} // namespace kelto
