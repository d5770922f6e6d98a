#include "dialogs/stkpreview.h"

#include "document/stkformat.h"
#include "graphics/bitmap.h"
#include "graphics/drawing.h"
#include "graphics/renderer.h"
#include "settings/multilang.h"

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kelto {

namespace {

constexpr int kMaxPreviewSide = 512; // the enlarged drawing is 16 times the pixels

QImage refusal(int width, int height, const QColor& background) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, 0, width, height), Qt::AlignLeft | Qt::AlignTop,
                     getPhrase(PhraseType::MFileTypeWrong));
    return image;
}

void drawLabel(Bitmap& large, const QString& label) {
    if (label.isEmpty()) {
        return;
    }
    QImage view = large.view();
    QPainter painter(&view);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(std::max(std::min(large.width(), large.height()), 400) / 12);
    painter.setFont(font);
    painter.setPen(QColor(0, 128, 255)); // 0x00FF8000 as blue-green-red
    painter.drawText(QRect(0, 0, large.width(), large.height()), Qt::AlignLeft | Qt::AlignTop,
                     label);
}

} // namespace

QString stkPreviewLabel(uint8_t firstByte) {
    switch (firstByte) {
    case 1:
        return QStringLiteral("V2");
    case kStkV3FirstByte:
        return QStringLiteral("V3");
    case kStkVersion:
        return QStringLiteral("V4");
    default:
        return {};
    }
}

QImage stkPreviewImage(const QByteArray& fileBytes, int width, int height, bool labelled,
                       const QColor& background) {
    width = std::clamp(width, 1, kMaxPreviewSide);
    height = std::clamp(height, 1, kMaxPreviewSide);
    const QColor fill = labelled ? QColor(Qt::white) : background;
    FigureType type;
    try {
        const std::vector<uint8_t> bytes(fileBytes.begin(), fileBytes.end());
        type = readStkFile(bytes);
    } catch (const std::exception&) {
        return refusal(width, height, fill); // the dialog only previews; opening reports
    }
    Figure figure;
    figure.setType(0, type);
    const Rect box = figure.bounds;
    const double fw = box.width(), fh = box.height();
    if (!(fw >= 1 && fh >= 1)) {
        return refusal(width, height, fill);
    }
    double scale;
    int offsetX = 0, offsetY = 0;
    if (float(fw / fh) > float(double(width) / height)) {
        scale = width / fw;
        offsetY = int((height - fh * scale) / 2);
    } else {
        scale = height / fh;
        offsetX = int((width - fw * scale) / 2);
    }
    figure.move(-box.left, -box.top);

    Bitmap large(4 * width, 4 * height, PixelFormat::Bits32);
    large.fill(colourToPixel(uint32_t(fill.red()) | uint32_t(fill.green()) << 8 |
                             uint32_t(fill.blue()) << 16));
    paintFigure(figure, type, large, 0, {4 * offsetX, 4 * offsetY}, 4 * scale);
    if (labelled) {
        drawLabel(large, stkPreviewLabel(uint8_t(fileBytes.at(0))));
    }
    Bitmap small(width, height, PixelFormat::Bits32);
    boxReduce(large, small);
    return small.view().copy();
}

} // namespace kelto
