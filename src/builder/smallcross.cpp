#include "builder/smallcross.h"

#include <QPainter>
#include <QPixmap>

namespace kelto {

namespace {

QPixmap crossPixmap() {
    constexpr int size = 32;
    constexpr int c = 15;  // centre
    constexpr int arm = 6; // pixels each way
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.fillRect(c - arm - 1, c - 1, 2 * arm + 3, 3, Qt::white);
    painter.fillRect(c - 1, c - arm - 1, 3, 2 * arm + 3, Qt::white);
    painter.fillRect(c - arm, c, 2 * arm + 1, 1, Qt::black);
    painter.fillRect(c, c - arm, 1, 2 * arm + 1, Qt::black);
    return pixmap;
}

} // namespace

const QCursor& smallCrossCursor() {
    static const QCursor cursor(crossPixmap(), 15, 15);
    return cursor;
}

} // namespace kelto
