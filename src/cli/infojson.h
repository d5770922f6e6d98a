#pragma once

#include "document/document.h"
#include "document/stkformat.h"

#include <QJsonObject>

namespace kelto {

// The JSON descriptions "kelto-cli info" prints: every number as stored or computed, singles
// widened to doubles so they read back to the same value.
QJsonObject describeFigureTypeFile(const FigureType& type, const StkFileInfo& info);
QJsonObject describeDocument(const Document& doc, int version);

} // namespace kelto
