#include "dialogs/picturepreview.h"
#include "dialogs/prompter.h"
#include "dialogs/stkpreview.h"
#include "document/stkformat.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <vector>

using namespace kelto;

namespace {

QByteArray bytesOf(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

// Pixels that are neither white nor grey: the label's orange-blue.
int colouredPixels(const QImage& image, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += (c.blue() - c.red() > 60) ? 1 : 0;
        }
    }
    return n;
}

int darkPixelsInRow(const QImage& image, int y) {
    int n = 0;
    for (int x = 0; x < image.width(); ++x) {
        n += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    }
    return n;
}

} // namespace

// The figure-type file preview of the open dialogs.
class TestStkPreview : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void generationLabelOnlyInTheDialogsOwnPreview() {
        const FigureType man = createStickmanType();
        const QByteArray v4 = bytesOf(writeStkFile(man));
        const QByteArray v2 = bytesOf(writeStkV2File(man).bytes);
        QByteArray v2zero = v2;
        v2zero[0] = 0;
        const QRect corner(0, 0, 40, 20);
        QVERIFY(colouredPixels(stkPreviewImage(v4, 160, 160, true), corner) > 10);
        QVERIFY(colouredPixels(stkPreviewImage(v2, 160, 160, true), corner) > 10);
        QCOMPARE(colouredPixels(stkPreviewImage(v2zero, 160, 160, true), corner), 0);
        const QImage plain = stkPreviewImage(v4, 160, 160, false, QColor(240, 240, 240));
        QCOMPARE(colouredPixels(plain, corner), 0);
        QCOMPARE(plain.pixelColor(0, 0), QColor(240, 240, 240));
        QCOMPARE(stkPreviewLabel(kStkV3FirstByte), QString("V3"));
        QCOMPARE(stkPreviewLabel(0), QString());
    }

    void wideFigureIsShrunkAndCentredVertically() {
        FigureType wide;
        wide.addSegment(0, skLine, 390, 4, 0, 0, 0); // about twice the box with its margins
        const QImage image = stkPreviewImage(bytesOf(writeStkFile(wide)), 200, 200, false);
        QCOMPARE(image.size(), QSize(200, 200));
        QCOMPARE(darkPixelsInRow(image, 10), 0);
        QCOMPARE(darkPixelsInRow(image, 190), 0);
        int widest = 0;
        for (int y = 90; y < 110; ++y) {
            widest = std::max(widest, darkPixelsInRow(image, y));
        }
        QVERIFY(widest > 170);
    }

    void unreadableFilesShowTheRefusal() {
        FigureType one;
        one.addSegment(0, skLine, 20, 2, 0, 0, 0);
        QByteArray future = bytesOf(writeStkFile(one));
        future[0] = char(122);
        const QImage refused = stkPreviewImage(future, 120, 120, true);
        const QImage damaged = stkPreviewImage(QByteArray("\x79\x01\x02", 3), 120, 120, true);
        QCOMPARE(refused, damaged); // both: the text only
        QVERIFY(darkPixelsInRow(refused, 60) == 0);
        int textPixels = 0;
        for (int y = 0; y < 20; ++y) {
            textPixels += darkPixelsInRow(refused, y);
        }
        QVERIFY(textPixels > 0);
        QCOMPARE(stkPreviewImage(QByteArray(), 50, 50, true).size(), QSize(50, 50));
    }

    void paneShowsFigureFiles() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Man.stk");
        saveStkFile(createStickmanType(), QFile::encodeName(path).toStdString());
        PicturePreview pane;
        pane.showFile(path);
        QVERIFY(!pane.pixmap().isNull());
        pane.showFile(dir.filePath("missing.stk"));
        QVERIFY(pane.pixmap().isNull());
    }

    // Bitmaps are previewed through the program's reader: run-length files show, damaged ones
    // that loading refuses show nothing.
    void paneShowsRunLengthBitmaps() {
        // 2 x 2, 8 bits, two palette entries: bottom row 1 1, top row 0 1.
        QByteArray bmp("BM", 2);
        auto put32 = [&](quint32 v) {
            for (int i = 0; i < 4; ++i) {
                bmp.append(char(v >> (8 * i)));
            }
        };
        const QByteArray stream("\x02\x01\x00\x00\x01\x00\x01\x01\x00\x01", 10);
        put32(14 + 40 + 8 + quint32(stream.size()));
        put32(0);
        put32(14 + 40 + 8);
        for (quint32 v : {40u, 2u, 2u, 0x80001u, 1u, quint32(stream.size()), 0u, 0u, 2u, 0u}) {
            put32(v);
        }
        put32(0x0000FF); // blue
        put32(0xFF0000); // red
        QTemporaryDir dir;
        QFile file(dir.filePath("runs.bmp"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bmp + stream);
        file.close();
        PicturePreview pane;
        pane.showFile(file.fileName());
        const QImage shown = pane.pixmap().toImage();
        QCOMPARE(shown.size(), QSize(2, 2));
        QCOMPARE(shown.pixelColor(0, 0), QColor(0, 0, 255));
        QCOMPARE(shown.pixelColor(1, 0), QColor(255, 0, 0));
        QCOMPARE(shown.pixelColor(0, 1), QColor(255, 0, 0));

        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bmp + stream.left(5)); // cut inside the second row
        file.close();
        pane.showFile(file.fileName());
        QVERIFY(pane.pixmap().isNull());
    }

    void openDialogCarriesThePreviewPane() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Man.stk");
        saveStkFile(createStickmanType(), QFile::encodeName(path).toStdString());
        bool sawPicture = false;
        int tries = 0;
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog && ++tries < 100) {
                return;
            }
            poll.stop();
            if (dialog) {
                if (auto* pane = dialog->findChild<PicturePreview*>()) {
                    Q_EMIT dialog->currentChanged(path);
                    sawPicture = !pane->pixmap().isNull();
                }
                dialog->reject();
            }
        });
        poll.start();
        QtPrompter prompter;
        const QStringList chosen =
            prompter.openFileNames("Open", dir.path(), "Stick Figure File (*.stk)", false, true);
        QVERIFY(chosen.isEmpty());
        QVERIFY(sawPicture);
    }
};

QTEST_MAIN(TestStkPreview)
#include "tst_stkpreview.moc"
