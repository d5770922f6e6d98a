#include "base/error.h"
#include "document/document.h"
#include "document/kelformat.h"
#include "export/spritesheet.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace kelto;

namespace {

// Four frames of a stick man walking right; the second held for three periods, the last empty.
Document walk() {
    Document doc(120, 90);
    Figures edit = doc.newEditFrame();
    for (int i = 0; i < 3; ++i) {
        edit.figures[0].placeRoot({40.0 + 15 * i, 70.0}, doc.figureType(1));
        edit.figures[0].updateBounds(doc.figureType(1));
        Figures frame;
        frame.assign(edit);
        frame.repeatCount = i == 1 ? 3 : 1;
        doc.frames.push_back(frame);
    }
    doc.frames.push_back(Figures{});
    doc.frameRate = 70;
    return doc;
}

struct Sheet {
    QImage image;
    QJsonObject json;
};

Sheet readSheet(const QString& png) {
    QFile file(png.left(png.size() - 4) + ".json");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return {QImage(png).convertToFormat(QImage::Format_RGB32),
            QJsonDocument::fromJson(file.readAll()).object()};
}

QRect rectOf(const QJsonObject& o) {
    return {o["x"].toInt(), o["y"].toInt(), o["w"].toInt(), o["h"].toInt()};
}

// What holds for every sheet: the meta size is the picture's, every cell lies inside it and no
// two overlap, and the durations add up to the animation's length.
void checkSheet(const Sheet& s, int lengthMs, int cellCount) {
    const QJsonObject meta = s.json["meta"].toObject();
    ASSERT_FALSE(s.image.isNull());
    EXPECT_EQ(meta["size"].toObject()["w"].toInt(), s.image.width());
    EXPECT_EQ(meta["size"].toObject()["h"].toInt(), s.image.height());
    EXPECT_EQ(meta["app"].toString(), "Kelto Animator");
    const QJsonArray frames = s.json["frames"].toArray();
    ASSERT_EQ(frames.size(), cellCount);
    int total = 0;
    std::vector<QRect> cells;
    for (const QJsonValue& v : frames) {
        const QJsonObject f = v.toObject();
        const QRect r = rectOf(f["frame"].toObject());
        EXPECT_TRUE(s.image.rect().contains(r)) << f["filename"].toString().toStdString();
        for (const QRect& other : cells) {
            EXPECT_FALSE(other.intersects(r));
        }
        cells.push_back(r);
        EXPECT_FALSE(f["rotated"].toBool());
        const QRect source = rectOf(f["spriteSourceSize"].toObject());
        EXPECT_EQ(source.size(), r.size());
        const QJsonObject size = f["sourceSize"].toObject();
        EXPECT_TRUE(QRect(0, 0, size["w"].toInt(), size["h"].toInt()).contains(source));
        total += f["duration"].toInt();
    }
    EXPECT_EQ(total, lengthMs);
}

} // namespace

TEST(SpriteSheet, GridKeepsOrMergesRepeats) {
    QTemporaryDir dir;
    const Document doc = walk();
    const int length = (1 + 3 + 1 + 1) * 70;
    SilentProgress progress;
    SpriteSheetOptions options;
    options.superSample = 1;
    const QString kept = dir.filePath("kept.png");
    ExportResult r = exportSpriteSheet(doc, kept.toStdString(), options, 70, progress);
    EXPECT_EQ(r.files, (std::vector<std::string>{kept.toStdString(),
                                                 dir.filePath("kept.json").toStdString()}));
    const Sheet k = readSheet(kept);
    checkSheet(k, length, 6);
    const QJsonArray keptFrames = k.json["frames"].toArray();
    EXPECT_EQ(keptFrames[2].toObject()["filename"].toString(), "kept1rep1");
    EXPECT_EQ(k.json["meta"].toObject()["image"].toString(), "kept.png");
    // The repeats are copies of their frame.
    const QRect first = rectOf(keptFrames[1].toObject()["frame"].toObject());
    const QRect copy = rectOf(keptFrames[3].toObject()["frame"].toObject());
    EXPECT_EQ(k.image.copy(first), k.image.copy(copy));
    EXPECT_NE(k.image.copy(first),
              k.image.copy(rectOf(keptFrames[0].toObject()["frame"].toObject())));

    options.mergeRepeats = true;
    options.columns = 4;
    const QString merged = dir.filePath("merged.png");
    exportSpriteSheet(doc, merged.toStdString(), options, 70, progress);
    const Sheet m = readSheet(merged);
    checkSheet(m, length, 4);
    EXPECT_EQ(m.image.size(), QSize(4 * 120, 90));
    EXPECT_EQ(m.json["frames"].toArray()[1].toObject()["duration"].toInt(), 210);
    EXPECT_FALSE(m.json["frames"].toArray()[0].toObject()["trimmed"].toBool());
}

TEST(SpriteSheet, TrimmedCellsHoldTheDrawnPixels) {
    QTemporaryDir dir;
    const Document doc = walk();
    SilentProgress progress;
    SpriteSheetOptions options;
    options.superSample = 1;
    options.columns = 6;
    const QString whole = dir.filePath("whole.png");
    exportSpriteSheet(doc, whole.toStdString(), options, 70, progress);
    options.trim = true;
    const QString trimmed = dir.filePath("trim.png");
    exportSpriteSheet(doc, trimmed.toStdString(), options, 70, progress);
    const Sheet w = readSheet(whole);
    const Sheet t = readSheet(trimmed);
    checkSheet(t, 6 * 70, 6);
    const QJsonArray wf = w.json["frames"].toArray();
    const QJsonArray tf = t.json["frames"].toArray();
    for (int k = 0; k < 5; ++k) {
        const QJsonObject cell = tf[k].toObject();
        const QImage frame = w.image.copy(rectOf(wf[k].toObject()["frame"].toObject()));
        const QRect source = rectOf(cell["spriteSourceSize"].toObject());
        EXPECT_TRUE(cell["trimmed"].toBool());
        EXPECT_LT(source.width(), 120);
        // The cell is the frame's pixels where they sat, and nothing drawn lies outside it.
        EXPECT_EQ(t.image.copy(rectOf(cell["frame"].toObject())), frame.copy(source));
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                if (!source.contains(x, y)) {
                    ASSERT_EQ(frame.pixel(x, y) & 0xFFFFFF, 0xFFFFFFu) << k << " " << x << "," << y;
                }
            }
        }
    }
    // The empty frame keeps a single pixel.
    EXPECT_EQ(rectOf(tf[5].toObject()["frame"].toObject()).size(), QSize(1, 1));
}

TEST(SpriteSheet, TooLargeOrCancelledWritesNothing) {
    QTemporaryDir dir;
    Document doc = walk();
    for (int i = 0; i < 60; ++i) {
        doc.frames.push_back(doc.frames[0]);
    }
    SpriteSheetOptions options;
    options.resize = 1000; // 1200 x 900 a frame: 66 of them do not fit
    options.superSample = 1;
    SilentProgress silent;
    const QString big = dir.filePath("big.png");
    try {
        exportSpriteSheet(doc, big.toStdString(), options, 70, silent);
        ADD_FAILURE() << "a sheet beyond the limit was written";
    } catch (const KeltoError& e) {
        EXPECT_NE(std::string(e.what()).find("sprite sheet"), std::string::npos);
    }
    EXPECT_FALSE(QFile::exists(big));
    EXPECT_FALSE(QFile::exists(dir.filePath("big.json")));

    struct CancelAfterOne : ExportProgress {
        int calls = 0;
        void setProgress(int) override {}
        bool cancelled() override { return ++calls > 1; }
    } cancel;
    options.resize = 100;
    const ExportResult r = exportSpriteSheet(doc, big.toStdString(), options, 70, cancel);
    EXPECT_TRUE(r.cancelled);
    EXPECT_TRUE(r.files.empty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(SpriteSheet, ShelvesPlaceEveryCellApart) {
    const std::vector<SheetRect> sizes{{0, 0, 30, 10}, {0, 0, 5, 40}, {0, 0, 30, 30},
                                       {0, 0, 1, 1},   {0, 0, 64, 8}, {0, 0, 12, 12}};
    int w = 0, h = 0;
    const std::vector<SheetRect> placed = packShelves(sizes, &w, &h);
    ASSERT_EQ(placed.size(), sizes.size());
    for (size_t a = 0; a < placed.size(); ++a) {
        EXPECT_EQ(placed[a].w, sizes[a].w);
        EXPECT_EQ(placed[a].h, sizes[a].h);
        const QRect ra(placed[a].x, placed[a].y, placed[a].w, placed[a].h);
        EXPECT_TRUE(QRect(0, 0, w, h).contains(ra));
        for (size_t b = 0; b < a; ++b) {
            EXPECT_FALSE(ra.intersects(QRect(placed[b].x, placed[b].y, placed[b].w, placed[b].h)));
        }
    }
    EXPECT_LT(int64_t(w) * h, 3 * 2600); // far less than the cells side by side (about 2600)
}
