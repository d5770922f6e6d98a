#include "export/spritesheet.h"

#include "base/error.h"
#include "document/document.h"
#include "document/kelformat.h"
#include "graphics/drawing.h"
#include "graphics/imagecodecs.h"
#include "settings/atomicfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <optional>

namespace kelto {

namespace {

constexpr uint32_t kRgbMask = 0x00FFFFFF;
constexpr uint32_t kWhite = 0x00FFFFFF;

std::string numbered(int number, int width) {
    std::string digits = std::to_string(number);
    if (static_cast<int>(digits.size()) < width) {
        digits.insert(0, size_t(width) - digits.size(), '0');
    }
    return digits;
}

std::string fileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The cells in playing order, before they are placed: one per stored frame when repeats are
// merged, else one per repeat period.
std::vector<SheetCell> listCells(const Document& doc, const std::string& stem, bool merge,
                                 int frameInterval) {
    std::vector<SheetCell> cells;
    const int digits = frameNumberWidth(doc.frameCount());
    const std::string base = fileNameOf(stem);
    for (int i = 0; i < doc.frameCount(); ++i) {
        const int periods = std::max<int>(1, doc.frames[size_t(i)].repeatCount);
        const int copies = merge ? 1 : periods;
        for (int j = 0; j < copies; ++j) {
            SheetCell cell;
            cell.frameIndex = i;
            cell.filename = base + numbered(i, digits) + (j == 0 ? "" : "rep" + std::to_string(j));
            cell.durationMs = (merge ? periods : 1) * frameInterval;
            cells.push_back(std::move(cell));
        }
    }
    return cells;
}

// Draws each background a frame uses with nothing on it, so that trimming can tell drawn
// pixels from background ones. Keeps the last one drawn: frames mostly share a background.
class BlankFrames {
public:
    BlankFrames(const Document& doc, const RasterOptions& options)
        : m_blank(doc.animWidth(), doc.animHeight()) {
        for (int slot = 1; slot < doc.backgroundCount(); ++slot) {
            m_blank.addBackground(doc.background(slot), doc.backgroundName(slot));
        }
        for (int slot = 0; slot < doc.backgroundCount(); ++slot) {
            Figures frame;
            frame.backgroundIndex = uint8_t(slot);
            m_blank.frames.push_back(std::move(frame));
        }
        m_renderer.emplace(m_blank, options);
    }

    const Bitmap& forSlot(int slot) {
        if (slot != m_slot) {
            const int index = slot < m_blank.frameCount() ? slot : 0;
            m_picture = m_renderer->render(index);
            m_slot = slot;
        }
        return m_picture;
    }

private:
    Document m_blank;
    std::optional<FrameRenderer> m_renderer;
    Bitmap m_picture;
    int m_slot = -1;
};

// The bounding box of the pixels that differ from the blank frame; empty when none do.
SheetRect drawnArea(const Bitmap& picture, const Bitmap& blank) {
    int left = picture.width(), top = picture.height(), right = -1, bottom = -1;
    for (int y = 0; y < picture.height(); ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(picture.row(y));
        const auto* under = reinterpret_cast<const uint32_t*>(blank.row(y));
        for (int x = 0; x < picture.width(); ++x) {
            if (((row[x] ^ under[x]) & kRgbMask) != 0) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) {
        return {};
    }
    return {left, top, right - left + 1, bottom - top + 1};
}

Bitmap cut(const Bitmap& picture, const SheetRect& area) {
    Bitmap part(area.w, area.h, PixelFormat::Bits32);
    for (int y = 0; y < area.h; ++y) {
        std::memcpy(part.row(y), picture.row(area.y + y) + size_t(area.x) * 4, size_t(area.w) * 4);
    }
    return part;
}

void paste(const Bitmap& part, Bitmap& sheet, const SheetRect& at) {
    for (int y = 0; y < at.h; ++y) {
        std::memcpy(sheet.row(at.y + y) + size_t(at.x) * 4, part.row(y), size_t(at.w) * 4);
    }
}

// Columns for a grid of n cells of w x h that makes the sheet about square and fits the
// side limit.
int gridColumns(int n, int w, int h, int wanted) {
    int columns =
        wanted > 0 ? wanted : int(std::ceil(std::sqrt(double(n) * double(h) / double(w))));
    columns = std::clamp(columns, 1, n);
    return std::max(1, std::min(columns, kMaxBitmapSide / std::max(1, w)));
}

QJsonObject rectObject(const SheetRect& r) {
    return QJsonObject{{"x", r.x}, {"y", r.y}, {"w", r.w}, {"h", r.h}};
}

} // namespace

void checkSheetSize(int64_t width, int64_t height) {
    if (width > kMaxBitmapSide || height > kMaxBitmapSide || width * height > kMaxBitmapPixels) {
        throw KeltoError("The sprite sheet would be " + std::to_string(width) + " x " +
                         std::to_string(height) + " pixels, more than the largest sheet (" +
                         std::to_string(kMaxBitmapSide) + " pixels on a side and " +
                         std::to_string(kMaxBitmapPixels / 1000000) +
                         " million pixels in all). Choose a smaller size or trim the frames");
    }
}

std::vector<SheetRect> packShelves(const std::vector<SheetRect>& sizes, int* width, int* height) {
    std::vector<size_t> order(sizes.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return sizes[a].h > sizes[b].h; });
    int64_t area = 0;
    int widest = 1;
    for (const SheetRect& s : sizes) {
        area += int64_t(s.w) * s.h;
        widest = std::max(widest, s.w);
    }
    const int64_t target = std::max<int64_t>(widest, int64_t(std::ceil(std::sqrt(double(area)))));
    const int shelfWidth = int(std::min<int64_t>(target, kMaxBitmapSide));
    std::vector<SheetRect> placed(sizes.size());
    int x = 0, y = 0, shelfHeight = 0, used = 0;
    for (size_t k : order) {
        const SheetRect& s = sizes[k];
        if (x > 0 && x + s.w > shelfWidth) {
            y += shelfHeight;
            x = 0;
            shelfHeight = 0;
        }
        placed[k] = {x, y, s.w, s.h};
        x += s.w;
        used = std::max(used, x);
        shelfHeight = std::max(shelfHeight, s.h);
    }
    *width = std::max(1, used);
    *height = std::max(1, y + shelfHeight);
    return placed;
}

QByteArray spriteSheetJson(const SpriteSheetLayout& layout, const std::string& imageName) {
    QJsonArray frames;
    for (const SheetCell& c : layout.cells) {
        QJsonObject o;
        o["filename"] = QString::fromStdString(c.filename);
        o["frame"] = rectObject(c.frame);
        o["rotated"] = false;
        o["trimmed"] = c.trimmed;
        o["spriteSourceSize"] = rectObject(c.source);
        o["sourceSize"] = QJsonObject{{"w", layout.frameWidth}, {"h", layout.frameHeight}};
        o["duration"] = c.durationMs;
        frames.append(o);
    }
    QJsonObject meta;
    meta["app"] = "Kelto Animator";
    meta["version"] = KELTO_VERSION;
    meta["image"] = QString::fromStdString(imageName);
    // The sheet is stored as 8-bit RGB without alpha.
    meta["format"] = "RGB888";
    meta["size"] = QJsonObject{{"w", layout.width}, {"h", layout.height}};
    meta["scale"] = "1";
    return QJsonDocument(QJsonObject{{"frames", frames}, {"meta", meta}})
        .toJson(QJsonDocument::Indented);
}

ExportResult exportSpriteSheet(const Document& doc, const std::string& sheetPath,
                               SpriteSheetOptions options, int frameInterval,
                               ExportProgress& progress) {
    options.sanitise();
    if (doc.frameCount() == 0) {
        throw KeltoError(ErrorCode::NoFramesToSave);
    }
    const std::string stem = removeExtension(sheetPath);
    const std::string jsonPath = stem + ".json";
    ExportResult result;
    FrameRenderer renderer(doc, options);
    const int fw = renderer.outputWidth();
    const int fh = renderer.outputHeight();
    SpriteSheetLayout layout;
    layout.frameWidth = fw;
    layout.frameHeight = fh;
    layout.cells = listCells(doc, stem, options.mergeRepeats, std::max(1, frameInterval));
    const int cellCount = int(layout.cells.size());
    const int n = doc.frameCount();

    std::optional<Bitmap> sheet;
    std::vector<Bitmap> parts; // trimmed pictures per stored frame
    std::vector<SheetRect> areas;
    if (!options.trim) {
        const int columns = gridColumns(cellCount, fw, fh, options.columns);
        const int rows = (cellCount + columns - 1) / columns;
        checkSheetSize(int64_t(columns) * fw, int64_t(rows) * fh);
        layout.width = columns * fw;
        layout.height = rows * fh;
        for (int k = 0; k < cellCount; ++k) {
            SheetCell& c = layout.cells[size_t(k)];
            c.frame = {(k % columns) * fw, (k / columns) * fh, fw, fh};
            c.source = {0, 0, fw, fh};
        }
        sheet.emplace(layout.width, layout.height, PixelFormat::Bits32);
        sheet->fill(kWhite);
    } else {
        parts.reserve(size_t(n));
        areas.reserve(size_t(n));
    }

    BlankFrames blanks(doc, options);
    int64_t partPixels = 0;
    size_t next = 0; // the first cell of the frame being drawn
    for (int i = 0; i < n; ++i) {
        if (progress.cancelled()) {
            result.cancelled = true;
            return result;
        }
        const Bitmap& picture = renderer.render(i);
        if (options.trim) {
            const Bitmap& blank = blanks.forSlot(doc.frames[size_t(i)].backgroundIndex);
            SheetRect area = drawnArea(picture, blank);
            // A frame with nothing drawn keeps one background pixel, so every cell has a size.
            if (area.w == 0) {
                area = {0, 0, 1, 1};
            }
            // The sheet holds at least the parts' pixels: refuse as soon as they are too many,
            // before they fill memory.
            partPixels += int64_t(area.w) * area.h;
            if (partPixels > kMaxBitmapPixels) {
                throw KeltoError("The trimmed frames alone hold more pixels than the largest "
                                 "sprite sheet (" +
                                 std::to_string(kMaxBitmapPixels / 1000000) +
                                 " million). Choose a smaller size");
            }
            parts.push_back(cut(picture, area));
            areas.push_back(area);
        } else {
            for (; next < layout.cells.size() && layout.cells[next].frameIndex == i; ++next) {
                paste(picture, *sheet, layout.cells[next].frame);
            }
        }
        result.framesDone = i + 1;
        progress.setProgress((i + 1) * 100 / n);
    }

    if (options.trim) {
        std::vector<SheetRect> sizes;
        for (const SheetCell& c : layout.cells) {
            sizes.push_back({0, 0, areas[size_t(c.frameIndex)].w, areas[size_t(c.frameIndex)].h});
        }
        const std::vector<SheetRect> placed = packShelves(sizes, &layout.width, &layout.height);
        checkSheetSize(layout.width, layout.height);
        sheet.emplace(layout.width, layout.height, PixelFormat::Bits32);
        sheet->fill(kWhite);
        for (size_t k = 0; k < layout.cells.size(); ++k) {
            SheetCell& c = layout.cells[k];
            c.frame = placed[k];
            c.source = areas[size_t(c.frameIndex)];
            c.trimmed = c.source != SheetRect{0, 0, fw, fh};
            paste(parts[size_t(c.frameIndex)], *sheet, c.frame);
        }
    }

    // Both files are made complete before either takes its name.
    const std::vector<uint8_t> png = encodePng(*sheet);
    const QByteArray json = spriteSheetJson(layout, fileNameOf(sheetPath));
    AtomicFile pngFile(sheetPath);
    pngFile.write(png.data(), png.size());
    AtomicFile jsonFile(jsonPath);
    jsonFile.write(json.constData(), size_t(json.size()));
    pngFile.commit();
    jsonFile.commit();
    result.files = {sheetPath, jsonPath};
    return result;
}

} // namespace kelto
