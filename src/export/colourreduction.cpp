#include "export/colourreduction.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kelto {

namespace {

constexpr uint32_t rgb(int r, int g, int b) {
    return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}
inline int red(uint32_t c) {
    return (c >> 16) & 0xFF;
}
inline int green(uint32_t c) {
    return (c >> 8) & 0xFF;
}
inline int blue(uint32_t c) {
    return c & 0xFF;
}

// Distinct colours with their pixel counts, by open addressing. Runs of equal pixels (the usual
// case in flat drawings) are counted without hashing.
class Histogram {
public:
    // The table starts small and grows with the distinct colours: drawings hold few, and a table
    // sized for every pixel of the frame cost a fresh 4 MB (page faults included) per frame.
    explicit Histogram(size_t pixels) {
        size_t size = 1024;
        while (size < pixels * 2 && size < kStartLimit) {
            size *= 2;
        }
        m_keys.assign(size, kEmpty);
        m_counts.assign(size, 0);
    }
    void add(uint32_t colour, uint32_t count) {
        size_t slot = hash(colour);
        while (m_keys[slot] != kEmpty && m_keys[slot] != colour) {
            slot = (slot + 1) & (m_keys.size() - 1);
        }
        if (m_keys[slot] == kEmpty) {
            if (m_used * 2 >= m_keys.size()) {
                grow();
                add(colour, count);
                return;
            }
            m_keys[slot] = colour;
            m_order.push_back(colour);
            ++m_used;
        }
        m_counts[slot] += count;
    }
    uint32_t count(uint32_t colour) const {
        size_t slot = hash(colour);
        while (m_keys[slot] != colour) {
            slot = (slot + 1) & (m_keys.size() - 1);
        }
        return m_counts[slot];
    }
    // Distinct colours in order of first appearance.
    const std::vector<uint32_t>& colours() const { return m_order; }

private:
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu; // pixels never have the top byte set
    static constexpr size_t kStartLimit = 4096;
    size_t hash(uint32_t c) const { return (c * 2654435761u) & (m_keys.size() - 1); }
    void grow() {
        std::vector<uint32_t> order = std::move(m_order);
        std::vector<uint32_t> counts;
        counts.reserve(order.size());
        for (uint32_t c : order) {
            counts.push_back(count(c));
        }
        m_keys.assign(m_keys.size() * 2, kEmpty);
        m_counts.assign(m_keys.size(), 0);
        m_used = 0;
        m_order.clear();
        for (size_t k = 0; k < order.size(); ++k) {
            add(order[k], counts[k]);
        }
    }

    std::vector<uint32_t> m_keys;
    std::vector<uint32_t> m_counts;
    std::vector<uint32_t> m_order;
    size_t m_used = 0;
};

Histogram histogramOf(const PixelSpan& image) {
    Histogram histogram(size_t(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        int x = 0;
        while (x < image.width) {
            const uint32_t c = image.at(x, y);
            int run = 1;
            while (x + run < image.width && image.at(x + run, y) == c) {
                ++run;
            }
            histogram.add(c, run);
            x += run;
        }
    }
    return histogram;
}

// Classic octree: colours descend by one bit of each channel per level; reduction folds the
// children of the deepest internal nodes, smallest pixel count first, into their parent.
class Octree {
public:
    void insert(uint32_t colour, uint32_t count) {
        int node = root();
        for (int level = 0; level < 8; ++level) {
            const int shift = 7 - level;
            const int child = (((red(colour) >> shift) & 1) << 2) |
                              (((green(colour) >> shift) & 1) << 1) | ((blue(colour) >> shift) & 1);
            if (m_nodes[node].children[child] < 0) {
                const int made = newNode(level + 1);
                m_nodes[node].children[child] = made;
            }
            node = m_nodes[node].children[child];
        }
        Node& leaf = m_nodes[node];
        leaf.red += uint64_t(red(colour)) * count;
        leaf.green += uint64_t(green(colour)) * count;
        leaf.blue += uint64_t(blue(colour)) * count;
        leaf.pixels += count;
    }

    void reduceTo(int maxColours) {
        countPixels(root());
        for (int level = 7; level >= 0 && m_leaves > maxColours; --level) {
            std::vector<int>& list = m_levels[level];
            // Fold the least used nodes first: they cost the least accuracy.
            std::sort(list.begin(), list.end(),
                      [&](int a, int b) { return m_nodes[a].pixels > m_nodes[b].pixels; });
            while (!list.empty() && m_leaves > maxColours) {
                fold(list.back());
                list.pop_back();
            }
        }
    }

    std::vector<uint32_t> palette() const {
        std::vector<uint32_t> out;
        collect(root(), out);
        return out;
    }

private:
    struct Node {
        std::array<int, 8> children{-1, -1, -1, -1, -1, -1, -1, -1};
        uint64_t red = 0, green = 0, blue = 0, pixels = 0;
        bool leaf = false;
    };

    int root() const { return 0; }
    int newNode(int level) {
        m_nodes.emplace_back();
        const int index = static_cast<int>(m_nodes.size()) - 1;
        if (level == 8) {
            m_nodes[index].leaf = true;
            ++m_leaves;
        } else {
            m_levels[level].push_back(index);
        }
        return index;
    }
    uint64_t countPixels(int node) {
        Node& n = m_nodes[node];
        if (n.leaf) {
            return n.pixels;
        }
        uint64_t sum = 0;
        for (int child : m_nodes[node].children) {
            if (child >= 0) {
                sum += countPixels(child);
            }
        }
        m_nodes[node].pixels = sum;
        return sum;
    }
    void fold(int node) {
        int folded = 0;
        uint64_t r = 0, g = 0, b = 0;
        for (int& child : m_nodes[node].children) {
            if (child >= 0) {
                const Node& c = m_nodes[child];
                r += c.red;
                g += c.green;
                b += c.blue;
                ++folded;
                child = -1;
            }
        }
        Node& n = m_nodes[node];
        n.red = r;
        n.green = g;
        n.blue = b;
        n.leaf = true;
        m_leaves -= folded - 1;
    }
    void collect(int node, std::vector<uint32_t>& out) const {
        const Node& n = m_nodes[node];
        if (n.leaf) {
            if (n.pixels > 0) {
                out.push_back(rgb(int((n.red + n.pixels / 2) / n.pixels),
                                  int((n.green + n.pixels / 2) / n.pixels),
                                  int((n.blue + n.pixels / 2) / n.pixels)));
            }
            return;
        }
        for (int child : n.children) {
            if (child >= 0) {
                collect(child, out);
            }
        }
    }

    std::vector<Node> m_nodes{Node{}};
    std::array<std::vector<int>, 8> m_levels{{{0}}};
    int m_leaves = 0;
};

// Nearest palette entry by squared RGB distance, with a direct-mapped cache in front: dithered
// images repeat colours a lot, flat drawings even more.
class NearestColour {
public:
    explicit NearestColour(const std::vector<uint32_t>& palette) {
        for (uint32_t c : palette) {
            m_red.push_back(red(c));
            m_green.push_back(green(c));
            m_blue.push_back(blue(c));
        }
        m_cacheKeys.fill(0xFFFFFFFFu);
    }
    uint8_t operator()(int r, int g, int b) {
        const uint32_t key = rgb(r, g, b);
        const size_t slot = (key * 2654435761u) >> (32 - kCacheBits);
        if (m_cacheKeys[slot] == key) {
            return m_cacheValues[slot];
        }
        const uint8_t index = search(r, g, b);
        m_cacheKeys[slot] = key;
        m_cacheValues[slot] = index;
        return index;
    }

private:
    static constexpr int kCacheBits = 16;
    uint8_t search(int r, int g, int b) const {
        int best = 0;
        int bestDistance = 1 << 30;
        for (size_t k = 0; k < m_red.size(); ++k) {
            const int dr = r - m_red[k], dg = g - m_green[k], db = b - m_blue[k];
            const int d = dr * dr + dg * dg + db * db;
            if (d < bestDistance) {
                bestDistance = d;
                best = static_cast<int>(k);
                if (d == 0) {
                    break;
                }
            }
        }
        return static_cast<uint8_t>(best);
    }

    std::vector<int> m_red, m_green, m_blue;
    std::array<uint32_t, size_t(1) << kCacheBits> m_cacheKeys;
    std::array<uint8_t, size_t(1) << kCacheBits> m_cacheValues{};
};

struct KernelTap {
    int dx;
    int dy;
    int weight;
};
struct Kernel {
    std::vector<KernelTap> taps;
    int divisor = 1;
};

Kernel kernelFor(DitherMode mode) {
    switch (mode) {
    case DitherMode::FloydSteinberg:
        return {{{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}, 16};
    case DitherMode::Stucki:
        return {{{1, 0, 8},
                 {2, 0, 4},
                 {-2, 1, 2},
                 {-1, 1, 4},
                 {0, 1, 8},
                 {1, 1, 4},
                 {2, 1, 2},
                 {-2, 2, 1},
                 {-1, 2, 2},
                 {0, 2, 4},
                 {1, 2, 2},
                 {2, 2, 1}},
                42};
    case DitherMode::Sierra:
        return {{{1, 0, 5},
                 {2, 0, 3},
                 {-2, 1, 2},
                 {-1, 1, 4},
                 {0, 1, 5},
                 {1, 1, 4},
                 {2, 1, 2},
                 {-1, 2, 2},
                 {0, 2, 3},
                 {1, 2, 2}},
                32};
    case DitherMode::JarvisJudiceNinke:
        return {{{1, 0, 7},
                 {2, 0, 5},
                 {-2, 1, 3},
                 {-1, 1, 5},
                 {0, 1, 7},
                 {1, 1, 5},
                 {2, 1, 3},
                 {-2, 2, 1},
                 {-1, 2, 3},
                 {0, 2, 5},
                 {1, 2, 3},
                 {2, 2, 1}},
                48};
    case DitherMode::StevensonArce:
        return {{{2, 0, 32},
                 {-3, 1, 12},
                 {-1, 1, 26},
                 {1, 1, 30},
                 {3, 1, 16},
                 {-2, 2, 12},
                 {0, 2, 26},
                 {2, 2, 12},
                 {-3, 3, 5},
                 {-1, 3, 12},
                 {1, 3, 12},
                 {3, 3, 5}},
                200};
    case DitherMode::Burkes:
        return {{{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}},
                32};
    case DitherMode::Nearest:
        break;
    }
    return {};
}

IndexedImage mapNearest(const PixelSpan& image, IndexedImage out) {
    NearestColour nearest(out.palette);
    for (int y = 0; y < image.height; ++y) {
        uint32_t previous = 0xFFFFFFFFu;
        uint8_t index = 0;
        uint8_t* row = out.indices.data() + size_t(y) * image.width;
        for (int x = 0; x < image.width; ++x) {
            const uint32_t c = image.at(x, y);
            if (c != previous) {
                index = nearest(red(c), green(c), blue(c));
                previous = c;
            }
            row[x] = index;
        }
    }
    return out;
}

IndexedImage mapDiffused(const PixelSpan& image, IndexedImage out, const Kernel& kernel) {
    NearestColour nearest(out.palette);
    constexpr int kMargin = 3;
    constexpr int kRows = 4;
    const int stride = image.width + 2 * kMargin;
    // Weighted error sums (error x weight) for the current row and the three below it.
    std::vector<int32_t> errors(size_t(kRows) * stride * 3, 0);
    auto rowErrors = [&](int y) { return errors.data() + size_t(y % kRows) * stride * 3; };

    for (int y = 0; y < image.height; ++y) {
        const bool leftToRight = (y % 2) == 0;
        int32_t* here = rowErrors(y);
        uint8_t* outRow = out.indices.data() + size_t(y) * image.width;
        for (int step = 0; step < image.width; ++step) {
            const int x = leftToRight ? step : image.width - 1 - step;
            const uint32_t c = image.at(x, y);
            int32_t* e = here + size_t(x + kMargin) * 3;
            const int r = std::clamp(red(c) + e[0] / kernel.divisor, 0, 255);
            const int g = std::clamp(green(c) + e[1] / kernel.divisor, 0, 255);
            const int b = std::clamp(blue(c) + e[2] / kernel.divisor, 0, 255);
            const uint8_t index = nearest(r, g, b);
            outRow[x] = index;
            const uint32_t chosen = out.palette[index];
            const int er = r - red(chosen), eg = g - green(chosen), eb = b - blue(chosen);
            if (er == 0 && eg == 0 && eb == 0) {
                continue;
            }
            for (const KernelTap& tap : kernel.taps) {
                if (y + tap.dy >= image.height) {
                    continue;
                }
                const int tx = leftToRight ? x + tap.dx : x - tap.dx;
                if (tx < 0 || tx >= image.width) {
                    continue;
                }
                int32_t* t = rowErrors(y + tap.dy) + size_t(tx + kMargin) * 3;
                t[0] += er * tap.weight;
                t[1] += eg * tap.weight;
                t[2] += eb * tap.weight;
            }
        }
        std::fill(here, here + size_t(stride) * 3, 0); // this slot becomes row y + 4
    }
    return out;
}

} // namespace

std::vector<uint32_t> webPalette() {
    std::vector<uint32_t> p;
    for (int r = 0; r < 6; ++r) {
        for (int g = 0; g < 6; ++g) {
            for (int b = 0; b < 6; ++b) {
                p.push_back(rgb(r * 51, g * 51, b * 51));
            }
        }
    }
    return p;
}

std::vector<uint32_t> windowsStaticPalette() {
    return {rgb(0, 0, 0),       rgb(128, 0, 0),     rgb(0, 128, 0),     rgb(128, 128, 0),
            rgb(0, 0, 128),     rgb(128, 0, 128),   rgb(0, 128, 128),   rgb(192, 192, 192),
            rgb(192, 220, 192), rgb(166, 202, 240), rgb(255, 251, 240), rgb(160, 160, 164),
            rgb(128, 128, 128), rgb(255, 0, 0),     rgb(0, 255, 0),     rgb(255, 255, 0),
            rgb(0, 0, 255),     rgb(255, 0, 255),   rgb(0, 255, 255),   rgb(255, 255, 255)};
}

std::vector<uint32_t> grayPalette() {
    std::vector<uint32_t> p;
    p.reserve(256);
    for (int v = 0; v < 256; ++v) {
        p.push_back(rgb(v, v, v));
    }
    return p;
}

std::vector<uint32_t> windowsGrayPalette() {
    return {rgb(0, 0, 0), rgb(128, 128, 128), rgb(192, 192, 192), rgb(255, 255, 255)};
}

std::vector<uint32_t> monochromePalette() {
    return {rgb(0, 0, 0), rgb(255, 255, 255)};
}

std::vector<uint32_t> octreePalette(const PixelSpan& image, int maxColours) {
    if (image.width <= 0 || image.height <= 0 || maxColours <= 0) {
        return {0};
    }
    const Histogram histogram = histogramOf(image);
    if (static_cast<int>(histogram.colours().size()) <= maxColours) {
        return histogram.colours();
    }
    Octree tree;
    for (uint32_t c : histogram.colours()) {
        tree.insert(c, histogram.count(c));
    }
    tree.reduceTo(maxColours);
    return tree.palette();
}

std::vector<uint32_t> paletteFor(ColourReduction reduction, const PixelSpan& image) {
    switch (reduction) {
    case ColourReduction::QuantizeOptimal:
        return octreePalette(image, 256);
    case ColourReduction::QuantizeWindows: {
        const std::vector<uint32_t> statics = windowsStaticPalette();
        std::vector<uint32_t> p(statics.begin(), statics.begin() + 10);
        const std::vector<uint32_t> optimal = octreePalette(image, 236);
        p.insert(p.end(), optimal.begin(), optimal.end());
        p.insert(p.end(), statics.begin() + 10, statics.end());
        return p;
    }
    case ColourReduction::Netscape:
        return webPalette();
    case ColourReduction::GrayScale:
        return grayPalette();
    case ColourReduction::Windows20:
        return windowsStaticPalette();
    case ColourReduction::Monochrome:
        return monochromePalette();
    case ColourReduction::WindowsGray:
        return windowsGrayPalette();
    }
    return octreePalette(image, 256);
}

IndexedImage mapToPalette(const PixelSpan& image, std::vector<uint32_t> palette,
                          DitherMode dither) {
    IndexedImage out;
    out.width = std::max(0, image.width);
    out.height = std::max(0, image.height);
    out.indices.assign(size_t(out.width) * out.height, 0);
    if (palette.empty()) {
        palette.push_back(0);
    }
    if (palette.size() > 256) {
        palette.resize(256);
    }
    out.palette = std::move(palette);
    if (out.indices.empty()) {
        return out;
    }
    if (dither == DitherMode::Nearest) {
        return mapNearest(image, std::move(out));
    }
    return mapDiffused(image, std::move(out), kernelFor(dither));
}

void dropUnusedColours(IndexedImage& image) {
    std::array<bool, 256> used{};
    for (uint8_t i : image.indices) {
        used[i] = true;
    }
    std::array<uint8_t, 256> remap{};
    std::vector<uint32_t> kept;
    for (size_t k = 0; k < image.palette.size(); ++k) {
        if (used[k]) {
            remap[k] = static_cast<uint8_t>(kept.size());
            kept.push_back(image.palette[k]);
        }
    }
    if (kept.empty()) {
        kept.push_back(image.palette.empty() ? 0 : image.palette[0]);
    }
    for (uint8_t& i : image.indices) {
        i = remap[i];
    }
    image.palette = std::move(kept);
}

} // namespace kelto
