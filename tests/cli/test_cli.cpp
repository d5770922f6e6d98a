#include "cli/clirun.h"
#include "document/filesave.h"
#include "document/kelformat.h"
#include "document/messages.h"
#include "document/stkformat.h"
#include "document/zstream.h"
#include "graphics/imagecodecs.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

using namespace kelto;
using namespace kelto::testing;

namespace {

CliRun cli(const QStringList& args) {
    return runCli(args);
}

QJsonObject infoOf(const QString& path) {
    const CliRun r = cli({"info", path});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    return QJsonDocument::fromJson(r.out).object();
}

FigureType twoSegments() {
    FigureType type;
    type.addSegment(0, skLine, 10.1f, 3, 0.3, 0, 0);
    type.addSegment(1, skFilledCircle, 20, 4, 1.0 / 3.0, 1, 0);
    return type;
}

} // namespace

TEST(Cli, InfoDescribesAnAnimationExactly) {
    QTemporaryDir dir;
    Document doc(321, 123);
    const int t = doc.addFigureType(twoSegments(), "pair");
    Figures frame;
    frame.setCount(2);
    frame.figures[0].setType(1, doc.figureType(1));
    frame.figures[0].scale = 0.1f;
    frame.figures[0].figureID = 4;
    frame.figures[0].placeRoot({10.3, 20.7}, doc.figureType(1));
    frame.figures[1].setType(static_cast<uint16_t>(t), doc.figureType(t));
    frame.figures[1].figureID = 9;
    frame.figures[1].isJoined = 1;
    frame.figures[1].joinParent = 0;
    frame.figures[1].joinJoint = 4;
    frame.drawOrder = {1, 0};
    frame.repeatCount = 6;
    doc.frames.push_back(frame);
    doc.frameRate = 77;
    const QString path = dir.filePath("a.kel");
    saveAnimation(doc, removeExtension(path.toStdString()));

    const QJsonObject o = infoOf(path);
    EXPECT_EQ(o["format"].toString(), "kel");
    EXPECT_EQ(o["version"].toInt(), 4);
    EXPECT_EQ(o["width"].toInt(), 321);
    EXPECT_EQ(o["height"].toInt(), 123);
    EXPECT_EQ(o["frameRate"].toInt(), 77);
    EXPECT_EQ(o["lastFigureId"].toInt(), 9);
    EXPECT_TRUE(o["backgrounds"].toArray().isEmpty());
    const QJsonObject type = o["figureTypes"].toArray()[0].toObject();
    EXPECT_EQ(type["index"].toInt(), 2);
    EXPECT_EQ(type["name"].toString(), "pair");
    EXPECT_EQ(type["segmentCount"].toInt(), 2);
    EXPECT_EQ(type["imageCount"].toInt(), 0);
    const QJsonObject f = o["frames"].toArray()[0].toObject();
    EXPECT_EQ(f["repeat"].toInt(), 6);
    EXPECT_EQ(f["drawOrder"].toArray(), (QJsonArray{1, 0}));
    const QJsonObject man = f["figures"].toArray()[0].toObject();
    EXPECT_EQ(man["id"].toInt(), 4);
    // Singles come out so that they read back to the very same value.
    EXPECT_EQ(man["scale"].toDouble(), double(0.1f));
    EXPECT_EQ(man["joints"].toArray().size(), 13);
    const QJsonArray j3 = man["joints"].toArray()[3].toArray();
    const Figure& m = doc.frames[0].figures[0];
    EXPECT_EQ(j3[0].toDouble(), double(m.jointPos[3].x));
    EXPECT_EQ(j3[1].toDouble(), double(m.jointPos[3].y));
    EXPECT_EQ(man["angles"].toArray()[4].toDouble(), m.pose[4].angle);
    const QJsonObject hanger = f["figures"].toArray()[1].toObject();
    EXPECT_EQ(hanger["type"].toInt(), 2);
    EXPECT_EQ(hanger["joined"].toInt(), 1);
    EXPECT_EQ(hanger["joinJoint"].toInt(), 4);
    EXPECT_EQ(hanger["lengths"].toArray()[0].toDouble(), double(10.1f));
}

TEST(Cli, InfoTellsFigureTypeGenerationsByContent) {
    QTemporaryDir dir;
    const FigureType type = twoSegments();
    const QString v4 = dir.filePath("t.kel"); // the extension does not matter
    saveStkFile(type, v4.toStdString());
    QJsonObject o = infoOf(v4);
    EXPECT_EQ(o["format"].toString(), "stk");
    EXPECT_EQ(o["generation"].toString(), "V4");
    EXPECT_EQ(o["firstByte"].toInt(), 121);
    const QJsonObject seg = o["segments"].toArray()[1].toObject();
    EXPECT_EQ(seg["start"].toInt(), 1);
    EXPECT_EQ(seg["end"].toInt(), 2);
    EXPECT_EQ(seg["kind"].toInt(), 3);
    EXPECT_EQ(seg["static"].toInt(), 1);
    EXPECT_EQ(seg["angle"].toDouble(), 1.0 / 3.0);
    EXPECT_EQ(o["segments"].toArray()[0].toObject()["length"].toDouble(), double(10.1f));

    // A V3 file is a zlib stream like an animation; its content tells them apart.
    ByteWriter older;
    older.put<uint8_t>(0);
    writeFigureTypeRecord(older, type);
    const QString v3 = dir.filePath("old.stk");
    writeFileReplacing(v3.toStdString(), compressStream(older.bytes()));
    o = infoOf(v3);
    EXPECT_EQ(o["generation"].toString(), "V3");
    EXPECT_EQ(o["firstByte"].toInt(), 0x78);
}

TEST(Cli, ConvertWritesBothForms) {
    QTemporaryDir dir;
    const QString in = dir.filePath("in.stk");
    saveStkFile(twoSegments(), in.toStdString());
    const QString v2 = dir.filePath("v2.stk");
    CliRun r = cli({"convert", in, "-o", v2, "--v2"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.err.contains(kMsgV2Conversion)); // the filled circle became a circle
    QJsonObject o = infoOf(v2);
    EXPECT_EQ(o["generation"].toString(), "V2");
    EXPECT_EQ(o["segments"].toArray()[1].toObject()["kind"].toInt(), 1);

    const QString back = dir.filePath("back.stk");
    r = cli({"convert", v2, "-o", back});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.err.isEmpty());
    EXPECT_EQ(infoOf(back)["generation"].toString(), "V4");
}

TEST(Cli, FailuresAndUsage) {
    QTemporaryDir dir;
    const QString junk = dir.filePath("junk.kel");
    writeFileReplacing(junk.toStdString(), {0x78, 0xda, 1, 2, 3});
    CliRun r = cli({"info", junk});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.startsWith("kelto-cli: ")) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());

    r = cli({"info", dir.filePath("missing.kel")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.trimmed(),
              "kelto-cli: " + dir.filePath("missing.kel") + ": " + kMsgFileDoesNotExist);

    Document later(30, 20);
    later.frames.emplace_back();
    std::vector<uint8_t> record = writeDocumentRecord(later);
    record[0] = 5;
    const QString newerKel = dir.filePath("newer.kel");
    writeFileReplacing(newerKel.toStdString(), compressStream(record));
    r = cli({"info", newerKel});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.trimmed(), "kelto-cli: " + newerKel + ": " + kMsgKelNotCompatible);

    const QString tooNew = dir.filePath("new.stk");
    writeFileReplacing(tooNew.toStdString(), {122, 0});
    r = cli({"convert", tooNew, "-o", dir.filePath("x.stk")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(kMsgStkNotCompatible));

    // A mistake is one line and the way to the help, not the whole usage text.
    for (const QStringList& args : {QStringList{}, QStringList{"frobnicate"}, QStringList{"info"},
                                    QStringList{"convert", junk, junk, "-o", dir.filePath("x.kel")},
                                    QStringList{"info", junk, junk}}) {
        r = cli(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        const QStringList lines = r.err.trimmed().split('\n');
        ASSERT_EQ(lines.size(), 2) << r.err.toStdString();
        EXPECT_TRUE(lines[0].startsWith("kelto-cli: "));
        EXPECT_TRUE(lines[1].contains("--help")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_EQ(cli({"help"}).code, 0);
}

TEST(Cli, RenderDrawsBackgroundAndFigures) {
    QTemporaryDir dir;
    Document doc(40, 30);
    Bitmap sky(40, 30, PixelFormat::Bits24);
    sky.fill(0x3366CC); // 0x00RRGGBB
    ImageGeneral picture;
    picture.setBitmap(sky);
    doc.addBackground(picture, "sky.bmp");
    Figures frame;
    frame.setCount(1);
    frame.figures[0].setType(1, doc.figureType(1));
    frame.figures[0].placeRoot({20, 29}, doc.figureType(1));
    frame.figures[0].updateBounds(doc.figureType(1));
    frame.backgroundIndex = 1;
    doc.frames.push_back(frame);
    doc.frames.push_back(Figures{});
    const QString kel = dir.filePath("sky.kel");
    saveAnimation(doc, removeExtension(kel.toStdString()));

    const QJsonObject o = infoOf(kel);
    const QJsonObject bg = o["backgrounds"].toArray()[0].toObject();
    EXPECT_EQ(bg["name"].toString(), "sky.bmp");
    EXPECT_EQ(bg["imageKind"].toInt(), 0);
    EXPECT_EQ(bg["width"].toInt(), 40);
    EXPECT_EQ(bg["height"].toInt(), 30);

    const QString png = dir.filePath("out.png");
    CliRun r = cli({"render", kel, "-o", png});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    Bitmap out =
        decodePng(readWholeFile(png.toStdString()).data(), readWholeFile(png.toStdString()).size());
    ASSERT_EQ(out.width(), 40);
    ASSERT_EQ(out.height(), 30);
    EXPECT_EQ(out.pixel32(2, 2), 0x3366CCu);   // background, away from the figure
    EXPECT_EQ(out.pixel32(20, 20), 0x000000u); // the stick man's body above its hip

    r = cli({"render", kel, "-o", png, "--frame", "1", "--zoom", "2"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    out =
        decodePng(readWholeFile(png.toStdString()).data(), readWholeFile(png.toStdString()).size());
    EXPECT_EQ(out.width(), 80);
    EXPECT_EQ(out.pixel32(40, 40), 0xFFFFFFu); // no background, no figures: white

    EXPECT_EQ(cli({"render", kel, "-o", png, "--frame", "2"}).code, 1);
    EXPECT_EQ(cli({"render", kel, "-o", png, "--zoom", "0"}).code, 2);
    EXPECT_EQ(cli({"render", kel, "-o", dir.filePath("out.gif")}).code, 2);
}

TEST(Cli, InfoListsPicturesOfFigureTypes) {
    QTemporaryDir dir;
    FigureType type;
    type.addSegment(0, skImage, 30, 2, 0, 0, 0);
    Bitmap b(4, 3, PixelFormat::Bits24);
    b.fill(0x00FF00);
    b.setRawPixel(1, 1, 0x0000FF);
    Sprite sprite;
    sprite.setFromBitmap(b);
    type.images = {sprite};
    const QString path = dir.filePath("sprite.stk");
    saveStkFile(type, path.toStdString());
    const QJsonObject image = infoOf(path)["images"].toArray()[0].toObject();
    EXPECT_EQ(image["width"].toInt(), 4);
    EXPECT_EQ(image["height"].toInt(), 3);
    EXPECT_EQ(image["bitsPerPixel"].toInt(), 1);         // two colours: a 1-bit palette picture
    EXPECT_EQ(image["keyColour"].toInteger(), 0x00FF00); // 0x00BBGGRR of the bottom-left pixel
}

// Names in files are Windows-1252 bytes; the JSON carries the same characters as UTF-8.
TEST(Cli, InfoGivesNamesInTheirCharacters) {
    QTemporaryDir dir;
    const std::string raw = {'C', 'a', 'f', char(0xE9), ' ', char(0x80), char(0x93)};
    ByteWriter w;
    w.put<uint8_t>(4);
    w.put<int32_t>(300);
    w.put<int32_t>(200);
    w.put<uint8_t>(1);
    w.put<uint16_t>(3);
    writeFigureTypeRecord(w, twoSegments());
    w.put<uint8_t>(uint8_t(raw.size()));
    w.putBytes(raw.data(), raw.size());
    w.put<int32_t>(1);
    w.put<uint16_t>(1);
    w.put<uint8_t>(0);
    w.put<uint16_t>(0);
    w.put<int32_t>(100);
    const QString path = dir.filePath("names.kel");
    writeFileReplacing(path.toStdString(), compressStream(w.bytes()));

    const QJsonObject o = infoOf(path);
    const QJsonObject type = o["figureTypes"].toArray()[0].toObject();
    EXPECT_EQ(type["name"].toString(), QString::fromUtf8("Caf\xC3\xA9 \xE2\x82\xAC\xE2\x80\x9C"));
}

// The shipped files are found beside the program in a build tree, as in an installed one.
TEST(Cli, PathsNameTheShippedFiles) {
    const CliRun r = cli({"paths"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    const QString folder = o["programFolder"].toString();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_EQ(o["manual"].toString(), folder + "manual/index.html");
    EXPECT_EQ(o["readMe"].toString(), folder + "ReadMe.txt");
    EXPECT_EQ(cli({"paths", "extra"}).code, 2);
}
