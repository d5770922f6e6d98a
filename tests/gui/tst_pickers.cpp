#include "graphics/bitmap.h"
#include "model/figuretype.h"
#include "pickers/backgroundpicker.h"
#include "pickers/figurepicker.h"
#include "pickers/imageselector.h"
#include "pickers/pickerlayout.h"
#include "pickers/thumbnails.h"
#include "report/errorreporter.h"

#include <QFontMetrics>
#include <QFrame>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

using namespace kelto;

namespace {

Bitmap plain(int w, int h, uint32_t pixel) {
    Bitmap b(w, h, PixelFormat::Bits32);
    b.fill(pixel);
    return b;
}

int darkPixels(const Bitmap& b) {
    int n = 0;
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
            n += (b.pixel32(x, y) & 0xFF) < 0x80;
        }
    }
    return n;
}

} // namespace

class TestPickers : public QObject {
    Q_OBJECT

private:
    std::vector<std::string> m_reported;

private Q_SLOTS:
    void initTestCase() {
        ErrorReporter::instance().setDisplayHook(
            [this](const std::string& line) { m_reported.push_back(line); });
    }
    void cleanup() { QVERIFY(m_reported.empty()); }

    void layoutColumnsAndHitTest() {
        // 292 pixels: (292 - 8) div 68 = 4 columns; 9 cells make 3 rows.
        const PickerLayout l = PickerLayout::compute(292, 9, 20);
        QCOMPARE(l.columns, 4);
        QCOMPARE(l.rows, 3);
        QCOMPARE(l.cellHeight, 8 + 20 + 60);
        QCOMPARE(l.height, 3 * 88 + 8);
        QCOMPARE(l.cellRect(5), (Rect{8 + 68, 8 + 88, 8 + 68 + 60, 8 + 88 + 80}));
        QCOMPARE(l.hitTest(10, 10, 9), 0);
        QCOMPARE(l.hitTest(68 + 8, 88 + 8, 9), 5);        // the first pixel of cell 5
        QCOMPARE(l.hitTest(68 + 7, 20, 9), -1);           // the strip between cells 0 and 1
        QCOMPARE(l.hitTest(20, 88 + 3, 9), -1);           // the strip between rows
        QCOMPARE(l.hitTest(68 + 20, 2 * 88 + 20, 9), -1); // row 3 has only cell 8
        QCOMPARE(l.hitTest(20, 3 * 88 + 20, 9), -1);      // below the last row
        QCOMPARE(l.hitTest(4 * 68 + 10, 20, 9), -1);      // right of the last column
        QCOMPARE(l.hitTest(-5, 20, 9), -1);

        // Narrower than one cell: still one column.
        const PickerLayout narrow = PickerLayout::compute(30, 3, 20);
        QCOMPARE(narrow.columns, 1);
        QCOMPARE(narrow.rows, 3);
        QCOMPARE(PickerLayout::compute(0, 1, 20).columns, 1);
    }

    void thumbnailFitting() {
        const ThumbnailSize wide = fitThumbnail(5000, 1);
        QCOMPARE(wide.width, 60);
        QCOMPARE(wide.height, 1);
        const ThumbnailSize tall = fitThumbnail(30, 90);
        QCOMPARE(tall.height, 60);
        QCOMPARE(tall.width, 20);
        QCOMPARE(fitThumbnail(100, 100).width, 60); // ratio 1 counts as wide

        // A small source is stretched, a large one box-filtered: a 2-pixel checker of a 600
        // pixel picture averages to grey instead of aliasing to one of its colours.
        Bitmap checker(600, 600, PixelFormat::Bits32);
        for (int y = 0; y < 600; ++y) {
            for (int x = 0; x < 600; ++x) {
                checker.setRawPixel(x, y, ((x + y) % 2) ? 0x00FFFFFF : 0);
            }
        }
        const Bitmap reduced = makeThumbnail(checker);
        QCOMPARE(reduced.width(), 60);
        const uint32_t grey = reduced.pixel32(30, 30) & 0xFF;
        QVERIFY(grey > 0x60 && grey < 0xA0);
        const Bitmap stretched = makeThumbnail(plain(20, 10, 0x00FF0000));
        QCOMPARE(stretched.height(), 30);
        QCOMPARE(stretched.pixel32(59, 29), 0x00FF0000u);
    }

    void figureAndBackgroundThumbnails() {
        const FigureType man = createStickmanType();
        const Bitmap source = figureTypeSource(man, 1, 0x00FFFFFF);
        QVERIFY(std::max(source.width(), source.height()) >= 180);
        const Bitmap thumb = makeThumbnail(source);
        QVERIFY(thumb.width() == 60 || thumb.height() == 60);
        QVERIFY(darkPixels(thumb) > 100); // the stick man is there and legible

        ImageGeneral picture;
        picture.setBitmap(plain(2000, 100, 0x000000FF));
        const Bitmap back = backgroundSource(picture, 0x00FFFFFF);
        QCOMPARE(back.width(), 180);
        QCOMPARE(back.height(), 9);
        QCOMPARE(back.pixel32(90, 4), 0x000000FFu);
        ImageGeneral sliver;
        sliver.setBitmap(plain(5000, 2, 0));
        QCOMPARE(backgroundSource(sliver, 0).height(), 3);
    }

    void longCaptionsAreCut() {
        ImageSelector selector;
        selector.setPickerWidth(292);
        selector.add(plain(10, 10, 0), "Short");
        selector.add(plain(10, 10, 0), "Supercalifragilisticexpialidocious");
        QCOMPARE(selector.shownCaption(0), QString("Short"));
        const QString cut = selector.shownCaption(1);
        QVERIFY(cut.endsWith(".."));
        QVERIFY(cut.size() < 20);
        const QFontMetrics fm(selector.font());
        QVERIFY(fm.horizontalAdvance(cut) <= 60 + 4);
        QCOMPARE(selector.caption(1), QString("Supercalifragilisticexpialidocious"));
        // With a measure where every character is 10 pixels wide: 64 - 20 leaves 4 characters.
        const QString fixed = shortenCaption("ABCDEFGHIJ", 60, 8,
                                             [](const QString& t) { return 10 * int(t.size()); });
        QCOMPARE(fixed, QString("ABCD.."));
    }

    void cellsAreAddedRemovedAndCleared() {
        ImageSelector selector;
        selector.setPickerWidth(292);
        selector.add(plain(10, 10, 0), "first");
        selector.clearToFirst(); // only the first cell: nothing to do
        QCOMPARE(selector.count(), 1);
        for (int i = 0; i < 6; ++i) {
            selector.add(plain(10, 10, 0), QString::number(i));
        }
        QCOMPARE(selector.count(), 7);
        QCOMPARE(selector.height(), 2 * selector.pickerLayout().cellHeight + 8);
        selector.remove(7);
        selector.remove(-1);
        QCOMPARE(selector.count(), 7);
        selector.remove(1);
        QCOMPARE(selector.caption(1), QString("1"));
        QCOMPARE(selector.cellRect(5), selector.pickerLayout().cellRect(5));
        selector.clearToFirst();
        QCOMPARE(selector.count(), 1);
        QCOMPARE(selector.caption(0), QString("first"));
    }

    // Pictures are made when their cells come into view, and the picture drawn on screen is
    // the cell's own: a source that cannot be drawn leaves a blank cell instead of a crash.
    void thumbnailsAreDrawnWhenTheirCellsShow() {
        FigurePicker picker;
        int made = 0;
        for (int i = 0; i < 600; ++i) {
            picker.selector()->add(
                [&made] {
                    ++made;
                    return plain(30, 30, 0x0000FF);
                },
                QString::number(i), false);
        }
        picker.selector()->add([]() -> Bitmap { throw KeltoError("no picture"); }, "broken", false);
        picker.selector()->relayout();
        ImageSelector* cells = picker.selector();
        QCOMPARE(cells->height(), cells->pickerLayout().height);
        QCOMPARE(made, 0);
        picker.show();
        const QImage view = picker.grab().toImage();
        QVERIFY(made > 0 && made < 100);
        QVERIFY(cells->hasThumbnail(0));
        QVERIFY(!cells->hasThumbnail(599));
        // The first cell's box centre on screen is the picture's blue.
        const Rect first = cells->cellRect(0);
        QCOMPARE(view.pixel(first.left + 30, first.top + 30) & 0xFFFFFF, 0x0000FFu);

        QScrollBar* bar = picker.scrollArea()->verticalScrollBar();
        bar->setValue(bar->maximum());
        picker.grab();
        QVERIFY(cells->hasThumbnail(599));
        QVERIFY(cells->hasThumbnail(600));
        QCOMPARE(cells->thumbnail(600).pixel32(30, 30), 0x00FFFFFFu);
        QVERIFY(made < 200);
    }

    void pickingHidesTheWindowUnlessCtrlIsHeld() {
        FigurePicker picker;
        const FigureType man = createStickmanType();
        picker.addEntry(man, 1, "Default");
        picker.addEntry(man, 2, "Another");
        picker.addEntry(man, 3, "Third");
        QList<int> picked;
        picker.setPickHandler([&](int cell) { picked << cell; });
        picker.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picker));
        ImageSelector* selector = picker.selector();
        const Rect second = selector->cellRect(1);

        // Ctrl held: picked, outlined, still open. Two picks in a row.
        QTest::mousePress(selector, Qt::LeftButton, Qt::ControlModifier,
                          QPoint(second.left + 30, second.top + 30));
        QCOMPARE(picked, QList<int>{1});
        QVERIFY(picker.isVisible());
        QVERIFY(picker.selectBox()->isVisible());
        QCOMPARE(picker.selectBox()->geometry(),
                 QRect(second.left - 4, second.top - 4, second.width() + 8, second.height() + 8));
        QTest::mouseRelease(selector, Qt::LeftButton, Qt::ControlModifier,
                            QPoint(second.left + 30, second.top + 30));
        QVERIFY(!picker.selectBox()->isVisible());
        QTest::mouseClick(selector, Qt::LeftButton, Qt::ControlModifier, QPoint(12, 12));
        QCOMPARE(picked, (QList<int>{1, 0}));

        // The strip between cells and the space below them pick nothing.
        QTest::mouseClick(selector, Qt::LeftButton, {}, QPoint(second.left - 3, 30));
        QTest::mouseClick(selector, Qt::LeftButton, {}, QPoint(20, selector->height() - 3));
        QCOMPARE(picked.size(), 2);
        QVERIFY(picker.isVisible());

        // Without Ctrl the window hides after one pick.
        QTest::mouseClick(selector, Qt::LeftButton, {}, QPoint(second.left + 5, second.top + 5));
        QCOMPARE(picked.last(), 1);
        QVERIFY(!picker.isVisible());
        QCOMPARE(picker.windowTitle(), QString("Click figure to select - Hold Ctrl to keep open"));
    }

    void wheelScrollsFiftyPixelsPerNotch() {
        BackgroundPicker picker;
        picker.addEntry(ImageGeneral(), 0, "White Back");
        for (int i = 1; i < 30; ++i) {
            ImageGeneral picture;
            picture.setBitmap(plain(40, 30, 0x0000FF00));
            picker.addEntry(picture, i, QString("Back %1").arg(i));
        }
        picker.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picker));
        QScrollBar* bar = picker.scrollArea()->verticalScrollBar();
        QVERIFY(bar->maximum() > 100);
        picker.wheelScroll(-240); // two notches toward the user: down
        QCOMPARE(bar->value(), 100);
        picker.wheelScroll(120);
        QCOMPARE(bar->value(), 50);
        // The first cell of the background picker is plain white.
        QCOMPARE(picker.selector()->thumbnail(0).pixel32(30, 30), 0x00FFFFFFu);
        QCOMPARE(picker.selector()->thumbnail(1).pixel32(30, 20), 0x0000FF00u);
    }
};

QTEST_MAIN(TestPickers)
#include "tst_pickers.moc"
