#pragma once

#include "document/document.h"
#include "document/stkformat.h"

#include <QJsonObject>

#include <cstdio>
#include <vector>

namespace kelto {

// The JSON descriptions "kelto-cli info" prints: every number as stored or computed, singles
// widened to doubles so they read back to the same value.
QJsonObject describeFigureTypeFile(const FigureType& type, const StkFileInfo& info);
// Writes the description of a .kel file to out while it reads the file, one frame at a time, so
// that the memory it takes does not grow with the number of frames. Throws KeltoError, before
// writing anything, when the file cannot be read.
void writeDocumentJson(const std::vector<uint8_t>& fileBytes, std::FILE* out);

} // namespace kelto
