#include "editor/canvasediting.h"

#include "model/geometry.h"

namespace kelto {

bool applySelectBox(Figures& figures, std::vector<uint8_t>& inside, const Rect& box) {
    const int n = figures.figureCount();
    inside.resize(size_t(n), 0);
    bool changed = false;
    for (int i = 0; i < n; ++i) {
        Figure& f = figures.figures[size_t(i)];
        const bool in = f.insideRect(box);
        const bool selected = f.selectionPos >= 0;
        if (!selected && in) {
            figures.select(i, false);
            changed = true;
        } else if (selected && figures.selectedCount() > 1 && !in && inside[size_t(i)]) {
            figures.deselect(i);
            changed = true;
        }
        inside[size_t(i)] = in ? 1 : 0;
    }
    return changed;
}

QString opacityText(int transparency) {
    return QString::number(100 - transparency * 100 / 255) + QLatin1Char('%');
}

int opacityLabelLeft(const QString& text) {
    return 82 - 3 * int(text.size());
}

int scaleEditFromScale(double scale) {
    return int(roundHalfEven(scale * 100.0));
}

double scaleFromText(const QString& text, int maximum) {
    QString t = text.trimmed();
    if (t.endsWith(QLatin1Char('%'))) {
        t.chop(1);
        t = t.trimmed();
    }
    if (t.isEmpty() || t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('.'))) {
        return -1;
    }
    bool ok = false;
    const long long value = t.toLongLong(&ok);
    if (!ok || value > maximum) {
        return -1;
    }
    return double(value) / 100.0;
}

int neighbourFigure(int i, int count, bool forward) {
    if (forward) {
        return i + 1 >= count ? 0 : i + 1;
    }
    return i <= 0 ? count - 1 : i - 1;
}

} // namespace kelto
