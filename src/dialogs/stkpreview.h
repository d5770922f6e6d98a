#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>

namespace kelto {

// The picture the open dialogs show for a figure-type file: its figure fitted into
// width x height, drawn at four times the size and reduced, so thin lines stay smooth. With
// `labelled` (the dialog's own preview) the background is white and the file's generation
// ("V2", "V3", "V4") is written at the top left; otherwise the background is `background`.
// A file we cannot read, or a figure less than a pixel wide or high, shows "Incorrect file
// type" instead. Never throws.
QImage stkPreviewImage(const QByteArray& fileBytes, int width, int height, bool labelled,
                       const QColor& background = Qt::white);

// The generation label of a figure-type file by its first byte; empty for the unnamed ones.
QString stkPreviewLabel(uint8_t firstByte);

} // namespace kelto
