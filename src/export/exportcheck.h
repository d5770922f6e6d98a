#pragma once

#include "export/exportoptions.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kelto {

class Document;

// The sizes a raster export works at: the frame is drawn at render size (round(size x zoom),
// halves to even) and box-filtered down by the super-sample factor to the output size.
struct ExportGeometry {
    int superSample = 1;
    double zoom = 1;
    int renderWidth = 0;
    int renderHeight = 0;
    int outputWidth = 0;
    int outputHeight = 0;
};

// Throws KeltoError, naming the limit, when the output cannot be held in memory or the enlarged
// frame cannot be drawn (it is drawn in bands, but at most 65535 pixels across).
ExportGeometry exportGeometry(int animWidth, int animHeight, RasterOptions options);

// How many bytes an export writes. Uncompressed output is estimated closely; for compressed
// output the figure is a floor the encoder cannot go below, so that only exports that certainly
// cannot fit are refused.
struct SizeEstimate {
    uint64_t bytes = 0;
    bool atLeast = false; // a lower bound rather than the expected size
};

// What an export will write, worked out before it starts. The plan functions throw KeltoError
// when the format cannot hold the output.
struct ExportPlan {
    ExportGeometry geometry;
    SizeEstimate size;
    std::string folder; // where the files go
};

ExportPlan planImageSequence(const Document& doc, const std::string& baseName,
                             ImageSequenceOptions options);
ExportPlan planGif(const Document& doc, const std::string& baseName, GifExportOptions options);
ExportPlan planAvi(const Document& doc, const std::string& baseName, AviExportOptions options);
// Also throws, in one sentence, when the installed FFmpeg libraries cannot write the format.
ExportPlan planVideo(const Document& doc, const std::string& baseName, VideoExportOptions options);

// The room left for an ordinary user on the file system that holds `folder`; nothing when it
// cannot be found out.
std::optional<uint64_t> freeSpaceIn(const std::string& folder);

// Throws KeltoError giving both figures when the plan's files need more than is free. freeBytes
// stands in for the file system's figure when given (tests); without either nothing is checked.
void requireRoom(const ExportPlan& plan, std::optional<uint64_t> freeBytes = std::nullopt);

// A byte count for people: "512 bytes", "1.5 kB", "38.2 GB" (powers of 1000).
std::string humanBytes(uint64_t bytes);

} // namespace kelto
