#pragma once

#include "model/geometry.h"

#include <QString>

#include <functional>

namespace kelto {

// The grid of a thumbnail picker: fixed-size boxes with a caption under each, margin strips
// around and between them. Plain arithmetic, so it is tested without widgets.
struct PickerLayout {
    int margin = 8;
    int boxWidth = 60;
    int boxHeight = 60;
    int captionHeight = 0;
    int columns = 1;
    int rows = 0;
    int cellWidth = 68;
    int cellHeight = 68;
    int height = 8; // the picker's height for all rows

    // Lays count cells out across width pixels.
    static PickerLayout compute(int width, int count, int captionHeight, int margin = 8,
                                int boxWidth = 60, int boxHeight = 60);

    // Top-left of cell i's box.
    int cellX(int i) const { return margin + (i % columns) * cellWidth; }
    int cellY(int i) const { return margin + (i / columns) * cellHeight; }
    // The rectangle recorded for cell i: its box and its caption.
    Rect cellRect(int i) const;
    // The cell at (x, y), or -1 off every cell, in a margin strip or past the last cell.
    int hitTest(int x, int y, int count) const;
};

// Size of a thumbnail that fits a w x h source into the box, keeping its shape: wide sources
// (w / h at or above threshold) by width, tall ones by height; never thinner than 1 pixel.
struct ThumbnailSize {
    int width = 0;
    int height = 0;
    double scale = 0; // box side / source side along the fitted axis
};
ThumbnailSize fitThumbnail(int w, int h, int boxWidth = 60, int boxHeight = 60,
                           double threshold = 1.0);

// A caption that fits the box: a text wider than boxWidth loses its last character, then as
// many more as needed until it is at most boxWidth + margin / 2 - width("..") wide, and ".."
// is appended. textWidth measures a text in the picker's font.
QString shortenCaption(const QString& caption, int boxWidth, int margin,
                       const std::function<int(const QString&)>& textWidth);

} // namespace kelto
