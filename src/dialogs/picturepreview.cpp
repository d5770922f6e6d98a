#include "dialogs/picturepreview.h"

#include "dialogs/stkpreview.h"
#include "graphics/imagecodecs.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPixmap>

namespace kelto {

namespace {

constexpr int kPreviewSide = 200;
constexpr qint64 kMaxStkBytes = qint64(64) << 20; // far beyond any figure-type file

} // namespace

PicturePreview::PicturePreview(QWidget* parent) : QLabel(parent) {
    setFixedSize(kPreviewSide, kPreviewSide);
    setAlignment(Qt::AlignCenter);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
}

// Bitmaps go through the program's own reader, so that the preview shows what loading takes
// (run-length compressed files included) and nothing that loading would refuse.
void PicturePreview::showBitmap(const QString& path, int side) {
    Bitmap bitmap;
    try {
        bitmap = readPictureFile(QFile::encodeName(path).toStdString());
    } catch (const KeltoError&) {
        return;
    }
    if (bitmap.empty()) {
        return;
    }
    bitmap.convertTo(PixelFormat::Bits32);
    QImage image = bitmap.view().copy();
    if (image.width() > side || image.height() > side) {
        image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    setPixmap(QPixmap::fromImage(image));
}

void PicturePreview::showFile(const QString& path) {
    clear();
    const QFileInfo info(path);
    if (!info.isFile()) {
        return;
    }
    const int side = kPreviewSide - 2 * frameWidth();
    if (info.suffix().toLower() == QLatin1String("stk")) {
        QFile file(path);
        if (info.size() > kMaxStkBytes || !file.open(QIODevice::ReadOnly)) {
            return;
        }
        const QByteArray bytes = file.readAll();
        setPixmap(QPixmap::fromImage(stkPreviewImage(bytes, side, side, true)));
        return;
    }
    if (info.suffix().toLower() == QLatin1String("bmp")) {
        showBitmap(path, side);
        return;
    }
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > side || size.height() > side)) {
        reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio));
    }
    const QImage image = reader.read();
    if (!image.isNull()) {
        setPixmap(QPixmap::fromImage(image));
    }
}

} // namespace kelto
