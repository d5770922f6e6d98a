#include "export/exportcheck.h"

#include "base/error.h"
#include "document/document.h"
#include "export/aviwriter.h"
#include "export/videowriter.h"
#include "graphics/bitmap.h"

#include <sys/statvfs.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace kelto {

namespace {

// libjpeg's largest picture side.
constexpr int kMaxJpegSide = 65500;

std::string sizeText(int width, int height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

int scaledSide(int side, double zoom) {
    const double scaled = std::nearbyint(side * zoom);
    if (scaled < 1) {
        throw KeltoError("The export would be less than one pixel wide or high");
    }
    // Anything this large fails the limits below; the cap only keeps the value an int.
    return static_cast<int>(std::min(scaled, 1e9));
}

// Frames as they are written when every repeat is a frame of its own.
uint64_t framesWithRepeats(const Document& doc) {
    uint64_t frames = 0;
    for (const Figures& frame : doc.frames) {
        frames += std::max<uint64_t>(1, frame.repeatCount);
    }
    return frames;
}

std::string folderOf(const std::string& baseName) {
    const std::filesystem::path folder = std::filesystem::path(baseName).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

// A GIF image holds its pixels as LZW codes of at least 3 bits, and one code stands for at most
// 4096 pixels; with the descriptor and the code-size and end bytes.
uint64_t gifImageFloor(const ExportGeometry& g) {
    const uint64_t pixels = uint64_t(g.outputWidth) * uint64_t(g.outputHeight);
    return 10 + 2 + (pixels + 4096 - 1) / 4096 * 3 / 8;
}

// Deflate stores at most 258 bytes in a 2-bit length and distance pair, so a PNG's rows (a
// filter byte and three bytes a pixel) shrink at most 1032 times; with signature, header,
// one data chunk, zlib framing and the end chunk.
uint64_t pngFloor(const ExportGeometry& g) {
    const uint64_t raw = uint64_t(g.outputHeight) * (1 + 3 * uint64_t(g.outputWidth));
    return 8 + 25 + 12 + 6 + 12 + raw / 1032;
}

// At least one bit for every 8 x 8 block of brightness, between the start and end markers.
uint64_t jpegFloor(const ExportGeometry& g) {
    const uint64_t blocks = uint64_t((g.outputWidth + 7) / 8) * uint64_t((g.outputHeight + 7) / 8);
    return 4 + blocks / 8;
}

} // namespace

ExportGeometry exportGeometry(int animWidth, int animHeight, RasterOptions options) {
    options.sanitise();
    ExportGeometry g;
    g.superSample = options.superSample;
    g.zoom = options.superSample * (options.resize / 100.0);
    g.renderWidth = scaledSide(animWidth, g.zoom);
    g.renderHeight = scaledSide(animHeight, g.zoom);
    if (g.superSample > 1) {
        g.outputWidth = std::max(1, g.renderWidth / g.superSample);
        g.outputHeight = std::max(1, g.renderHeight / g.superSample);
    } else {
        g.outputWidth = g.renderWidth;
        g.outputHeight = g.renderHeight;
    }
    if (g.outputWidth > kMaxBitmapSide || g.outputHeight > kMaxBitmapSide ||
        int64_t(g.outputWidth) * g.outputHeight > kMaxBitmapPixels) {
        throw KeltoError("The exported pictures would be " +
                         sizeText(g.outputWidth, g.outputHeight) +
                         " pixels, but at most 65535 pixels a side and 67,108,864 pixels in all "
                         "(8192 x 8192) fit in memory. Choose a smaller Resize.");
    }
    if (g.renderWidth > kMaxBitmapSide) {
        throw KeltoError("With Super Sample " + std::to_string(g.superSample) +
                         " the frames would be drawn " + std::to_string(g.renderWidth) +
                         " pixels wide, but at most 65535 pixels can be drawn across. Choose a "
                         "smaller Super Sample or Resize.");
    }
    return g;
}

ExportPlan planImageSequence(const Document& doc, const std::string& baseName,
                             ImageSequenceOptions options) {
    options.sanitise();
    ExportPlan plan;
    plan.geometry = exportGeometry(doc.animWidth(), doc.animHeight(), options);
    const ExportGeometry& g = plan.geometry;
    if (options.format == ImageFormat::Jpeg &&
        (g.outputWidth > kMaxJpegSide || g.outputHeight > kMaxJpegSide)) {
        throw KeltoError("A JPEG picture can be at most 65500 pixels wide and high, but the "
                         "export would be " +
                         sizeText(g.outputWidth, g.outputHeight) + ". Choose a smaller Resize.");
    }
    const uint64_t files =
        options.saveRepeats ? framesWithRepeats(doc) : uint64_t(doc.frameCount());
    const uint64_t perFile = options.format == ImageFormat::Png    ? pngFloor(g)
                             : options.format == ImageFormat::Jpeg ? jpegFloor(g)
                                                                   : 13 + gifImageFloor(g) + 1;
    plan.size = {files * perFile, true};
    plan.folder = folderOf(baseName);
    return plan;
}

ExportPlan planGif(const Document& doc, const std::string& baseName, GifExportOptions options) {
    options.sanitise();
    ExportPlan plan;
    plan.geometry = exportGeometry(doc.animWidth(), doc.animHeight(), options);
    // Header, screen descriptor, loop extension and trailer, and the first picture: merged
    // and cropped frames after it can shrink to almost nothing.
    plan.size = {13 + 19 + 1 + gifImageFloor(plan.geometry), true};
    plan.folder = folderOf(baseName);
    return plan;
}

ExportPlan planAvi(const Document& doc, const std::string& baseName, AviExportOptions options) {
    options.sanitise();
    ExportPlan plan;
    plan.geometry = exportGeometry(doc.animWidth(), doc.animHeight(), options);
    const ExportGeometry& g = plan.geometry;
    const int width = (g.outputWidth + 3) / 4 * 4;
    const int height = (g.outputHeight + 3) / 4 * 4;
    // MPEG-4 Part 2 stores the picture size in 13 bits.
    const bool mpeg4 = options.compress && options.codec == "mpeg4";
    const int maxSide = mpeg4 ? 8191 : kMaxVideoSide;
    if (width > maxSide || height > maxSide) {
        throw KeltoError(std::string(mpeg4 ? "MPEG-4 Part 2 video" : "An AVI video") +
                         " can be at most " + std::to_string(maxSide) +
                         " pixels wide and high, but the export would be " +
                         sizeText(width, height) + ". Choose a smaller Resize.");
    }
    const uint64_t frames = framesWithRepeats(doc);
    // Every video frame is a chunk (8 bytes of header) with an entry in the old index (16) and
    // in the extended index of its 1 GiB part (8).
    constexpr uint64_t kPerFrame = 8 + 16 + 8;
    if (options.compress) {
        plan.size = {frames * kPerFrame, true};
    } else {
        // Rows of 3-byte pixels; the width is a multiple of 4, so rows need no padding. The
        // headers take a few kilobytes and every 1 GiB part of the file has its own header.
        const uint64_t frameBytes = uint64_t(width) * 3 * uint64_t(height);
        const uint64_t data = frames * (frameBytes + kPerFrame);
        const uint64_t parts = data / (uint64_t(1) << 30) + 1;
        plan.size = {16384 + parts * 64 + data, false};
    }
    plan.folder = folderOf(baseName);
    return plan;
}

ExportPlan planVideo(const Document& doc, const std::string& baseName, VideoExportOptions options) {
    options.sanitise();
    // Before anything else: without the encoder nothing else matters.
    requireVideoEncoder(options.format);
    ExportPlan plan;
    plan.geometry = exportGeometry(doc.animWidth(), doc.animHeight(), options);
    const ExportGeometry& g = plan.geometry;
    const VideoSize size = videoFrameSize(options.format, g.outputWidth, g.outputHeight);
    const int maxSide = maxVideoSide(options.format);
    if (size.width > maxSide || size.height > maxSide) {
        std::string name = videoFormatName(options.format);
        name[0] = char(std::toupper(static_cast<unsigned char>(name[0])));
        throw KeltoError(name + " can be at most " + std::to_string(maxSide) +
                         " pixels wide and high here, but the export would be " +
                         sizeText(size.width, size.height) + ". Choose a smaller Resize.");
    }
    const QualityScale scale = videoQualityScale(videoEncoderFor(options.format));
    if (options.quality >= 0 && !scale.empty() &&
        (options.quality < scale.minimum || options.quality > scale.maximum)) {
        throw KeltoError("The quality must be " + std::to_string(scale.minimum) + " to " +
                         std::to_string(scale.maximum) + " for " + videoFormatName(options.format) +
                         ".");
    }
    // Every stored frame is one encoded frame however long it is held. What each costs at
    // least: its entry in the container's index or its frame header.
    uint64_t perFrame = 8; // an MP4 sample's size and time entries, a WebM block header
    if (options.format == VideoFormat::Apng) {
        perFrame = 38 + 12; // frame control and frame data chunks
    } else if (options.format == VideoFormat::WebP) {
        perFrame = 24; // the animation frame chunk
    }
    plan.size = {64 + uint64_t(doc.frameCount()) * perFrame, true};
    plan.folder = folderOf(baseName);
    return plan;
}

std::optional<uint64_t> freeSpaceIn(const std::string& folder) {
    struct statvfs info {};
    if (statvfs(folder.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return uint64_t(info.f_bavail) * uint64_t(info.f_frsize);
}

void requireRoom(const ExportPlan& plan, std::optional<uint64_t> freeBytes) {
    if (!freeBytes) {
        freeBytes = freeSpaceIn(plan.folder);
    }
    if (!freeBytes || plan.size.bytes <= *freeBytes) {
        return;
    }
    throw KeltoError("The export needs " + std::string(plan.size.atLeast ? "at least " : "about ") +
                     humanBytes(plan.size.bytes) + ", but only " + humanBytes(*freeBytes) +
                     " is free in " + plan.folder + ".");
}

std::string humanBytes(uint64_t bytes) {
    if (bytes < 1000) {
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    }
    const char* const units[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    double value = double(bytes) / 1000;
    int unit = 0;
    // Rounded to one decimal first, so 999,960 bytes reads 1.0 MB rather than 1000.0 kB.
    while (std::round(value * 10) >= 10000 && unit < 5) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f %s", value, units[unit]);
    return text;
}

} // namespace kelto
