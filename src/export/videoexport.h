#pragma once

#include "export/exportoptions.h"
#include "export/rasterexport.h"

#include <string>

namespace kelto {

class Document;

// MP4, WebM, APNG or animated WebP written to baseName + the format's extension. Every stored
// frame is encoded once and lasts its repeat count times frameInterval milliseconds. Sizes that
// need even sides are padded with black around the centred picture, as AVI pads. Nothing is
// written when cancelled or on failure, and an old file of that name stays.
ExportResult exportVideo(const Document& doc, const std::string& baseName,
                         VideoExportOptions options, int frameInterval, ExportProgress& progress);

} // namespace kelto
