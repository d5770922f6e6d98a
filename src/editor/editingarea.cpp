#include "editor/editingarea.h"

#include <QFile>
#include <QList>

#include <algorithm>

namespace kelto {

EditingArea computeEditingArea(int boxWidth, int boxHeight, int animWidth, int animHeight) {
    EditingArea area;
    area.canvasWidth = std::max(boxWidth - 8, animWidth);
    area.canvasHeight = std::max(boxHeight - 8, animHeight);
    // The layers are canvas-sized bitmaps. An animation near the size limit gets no margin
    // that would take them past what a bitmap may hold: height first, then width.
    const auto fits = [&] {
        return int64_t(area.canvasWidth) * area.canvasHeight <= kMaxBitmapPixels;
    };
    if (!fits()) {
        area.canvasHeight = int(std::max<int64_t>(animHeight, kMaxBitmapPixels / area.canvasWidth));
    }
    if (!fits()) {
        area.canvasWidth = int(std::max<int64_t>(animWidth, kMaxBitmapPixels / area.canvasHeight));
    }
    // Both differences are never negative, so the division truncates as intended.
    area.areaOffset.x = std::max((area.canvasWidth - animWidth) / 2, 0);
    area.areaOffset.y = std::max((area.canvasHeight - animHeight) / 2, 0);
    return area;
}

CommandLineKind commandLineKind(const QString& argument) {
    if (argument.isEmpty()) {
        return CommandLineKind::None;
    }
    const QString tail = argument.right(3).toLower();
    if (tail == QLatin1String("kel")) {
        return CommandLineKind::Kel;
    }
    if (tail == QLatin1String("stk")) {
        return CommandLineKind::Stk;
    }
    return CommandLineKind::Other;
}

int supersampleFactorFromCpuInfo(const QByteArray& cpuinfo) {
    double fastest = 0;
    for (const QByteArray& line : cpuinfo.split('\n')) {
        if (!line.startsWith("cpu MHz")) {
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon < 0) {
            continue;
        }
        bool ok = false;
        const double mhz = line.mid(colon + 1).trimmed().toDouble(&ok);
        if (ok) {
            fastest = std::max(fastest, mhz);
        }
    }
    return fastest > 1199 ? 2 : 1;
}

int readSupersampleFactor() {
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (!file.open(QIODevice::ReadOnly)) {
        return 1;
    }
    // /proc files report size 0, so read until the end, but never without bound.
    return supersampleFactorFromCpuInfo(file.read(4 << 20));
}

} // namespace kelto
