#include "pickers/pickerlayout.h"

#include <algorithm>
#include <cmath>

namespace kelto {

PickerLayout PickerLayout::compute(int width, int count, int captionHeight, int margin,
                                   int boxWidth, int boxHeight) {
    PickerLayout l;
    l.margin = margin;
    l.boxWidth = boxWidth;
    l.boxHeight = boxHeight;
    l.captionHeight = captionHeight;
    l.cellWidth = margin + boxWidth;
    l.cellHeight = margin + captionHeight + boxHeight;
    // Integer division truncates toward zero; a picker narrower than the margin still gets
    // its one column.
    l.columns = std::max(1, (width - margin) / l.cellWidth);
    l.rows = count <= 0 ? 0 : (count + l.columns - 1) / l.columns;
    l.height = l.rows * l.cellHeight + margin;
    return l;
}

Rect PickerLayout::cellRect(int i) const {
    const int x = cellX(i), y = cellY(i);
    return {x, y, x + boxWidth, y + boxHeight + captionHeight};
}

int PickerLayout::hitTest(int x, int y, int count) const {
    if (x < 0 || y < 0) {
        return -1;
    }
    const int column = x / cellWidth;
    const int row = y / cellHeight;
    if (column >= columns || row >= rows) {
        return -1;
    }
    const int index = row * columns + column;
    if (index <= count - 1 && x % cellWidth >= margin && y % cellHeight >= margin) {
        return index;
    }
    return -1;
}

ThumbnailSize fitThumbnail(int w, int h, int boxWidth, int boxHeight, double threshold) {
    ThumbnailSize t;
    w = std::max(w, 1);
    h = std::max(h, 1);
    const double r = double(w) / double(h);
    if (r >= threshold) {
        t.width = boxWidth;
        t.height = std::max(1, int(std::trunc(double(h) * boxWidth / w)));
        t.scale = double(boxWidth) / w;
    } else {
        t.height = boxHeight;
        t.width = std::max(1, int(std::trunc(double(w) * boxHeight / h)));
        t.scale = double(boxHeight) / h;
    }
    return t;
}

QString shortenCaption(const QString& caption, int boxWidth, int margin,
                       const std::function<int(const QString&)>& textWidth) {
    if (textWidth(caption) <= boxWidth) {
        return caption;
    }
    const QString dots = QStringLiteral("..");
    const int limit = boxWidth + margin / 2 - textWidth(dots);
    QString text = caption.left(caption.size() - 1);
    while (!text.isEmpty() && textWidth(text) > limit) {
        text.chop(1);
    }
    return text + dots;
}

} // namespace kelto
