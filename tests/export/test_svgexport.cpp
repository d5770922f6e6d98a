#include "base/error.h"
#include "export/svgexport.h"
#include "modelfixtures.h"
#include "settings/appsettings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace kelto;
using kelto::testing::addStickman;

TEST(SvgNumber, FormatRule) {
    EXPECT_EQ(formatSvgNumber(10), "10");
    EXPECT_EQ(formatSvgNumber(10.5), "10.5");
    EXPECT_EQ(formatSvgNumber(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(formatSvgNumber(0.1f), "0.100000001490116"); // singles show their expansion
    EXPECT_EQ(formatSvgNumber(-250.25), "-250.25");
    EXPECT_EQ(formatSvgNumber(0), "0");
    EXPECT_EQ(formatSvgNumber(0.00001), "0.00001");
    EXPECT_EQ(formatSvgNumber(0.000001), "1E-6");
    EXPECT_EQ(formatSvgNumber(123456789012345.0), "123456789012345");
    EXPECT_EQ(formatSvgNumber(1e15), "1E15");
    EXPECT_EQ(formatSvgNumber(2.5e20), "2.5E20");
    EXPECT_EQ(formatSvgNumber(1.0 - 1.0 / 255), "0.996078431372549");
}

namespace {

class SvgTest : public ::testing::Test {
protected:
    void SetUp() override {
        appSettings() = AppSettings{};
        types = kelto::testing::standardTypes();
        addStickman(edit, types, 250, 200, lastId);
        scene.edit = &edit;
        scene.types = &types;
        scene.frames = &frames;
    }
    std::vector<std::string> lines(bool handles) const { return buildSvgLines(scene, handles); }
    static int countStarting(const std::vector<std::string>& all, const std::string& prefix) {
        int n = 0;
        for (const std::string& l : all) {
            n += l.rfind(prefix, 0) == 0;
        }
        return n;
    }

    FigureTypeList types;
    Figures edit;
    std::vector<Figures> frames;
    int32_t lastId = 0;
    SvgScene scene;
};

} // namespace

TEST_F(SvgTest, NewStickmanWithoutHandles) {
    const std::vector<std::string> all = lines(false);
    ASSERT_EQ(all.size(), 2u + 1 + 12 + 1 + 1);
    EXPECT_EQ(all[0], "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"500\" "
                      "height=\"400\">");
    EXPECT_EQ(all[1].rfind("<!-- Created with Kelto Animator (", 0), 0u);
    EXPECT_EQ(all[1].substr(all[1].size() - 5), ") -->");
    EXPECT_EQ(all[2], "<g id=\"figure0\" opacity=\"1\">");
    EXPECT_EQ(all[3], "<line x1=\"250\" y1=\"200\" x2=\"250\" y2=\"168\" stroke-linecap=\"round\" "
                      "style=\"stroke:rgb(0,0,0);stroke-width:14\"/>");
    EXPECT_EQ(all[6], "<circle cx=\"250\" cy=\"113\" r=\"10\" "
                      "style=\"stroke:rgb(0,0,0);stroke-width:20;fill:rgb(255,255,255)\"/>");
    EXPECT_EQ(countStarting(all, "<line "), 11);
    EXPECT_EQ(countStarting(all, "<circle "), 1);
    EXPECT_EQ(all[all.size() - 2], "</g>");
    EXPECT_EQ(all.back(), "</svg>");
    const std::string text = buildSvg(scene, false);
    EXPECT_EQ(text.substr(text.size() - 8), "</svg>\r\n");
}

TEST_F(SvgTest, TransparencyColoursAndZeroThickness) {
    edit.figures[0].transparency = 255;
    edit.figures[0].colour = 0x00FF8040; // blue 255, green 128, red 64
    FigureType thin = types[1];
    thin.segments[0].thickness = 0; // line: left out
    thin.segments[3].thickness = 0; // circle: still written, width 0
    thin.segments[3].kind = skFilledCircle;
    types.push_back(thin);
    edit.figures[0].typeIndex = 2;
    const std::vector<std::string> all = lines(false);
    EXPECT_EQ(all[2], "<g id=\"figure0\" opacity=\"0\">");
    EXPECT_EQ(countStarting(all, "<line "), 10);
    EXPECT_NE(std::find(all.begin(), all.end(),
                        "<circle cx=\"250\" cy=\"113\" r=\"10\" style=\"stroke:rgb(64,128,255);"
                        "stroke-width:0;fill:rgb(64,128,255)\"/>"),
              all.end());
}

TEST_F(SvgTest, HandlesSkipStaticSegmentsAndJoinedMainHandles) {
    addStickman(edit, types, 400, 200, lastId);
    edit.clearSelection();
    edit.select(1, true);
    edit.beginJoin(1);
    ASSERT_TRUE(edit.join(1, 0, 8));
    const std::vector<std::string> all = lines(true);
    // Two figures: 11 dynamic segment handles each, one main handle (the joined one has none).
    const int handles = countStarting(all, "<circle ") - 2; // minus the two heads
    EXPECT_EQ(handles, 11 + 11 + 1);
    // The first handle is the free figure's main handle, orange with radius 5.
    const auto first = std::find_if(all.begin(), all.end(), [](const std::string& l) {
        return l.find("stroke-width:1;") != std::string::npos;
    });
    ASSERT_NE(first, all.end());
    EXPECT_EQ(*first, "<circle cx=\"250\" cy=\"200\" r=\"5\" "
                      "style=\"stroke:rgb(0,0,0);stroke-width:1;fill:rgb(255,136,0)\"/>");
    // The hand the other figure hangs on is white.
    EXPECT_EQ(std::count_if(all.begin(), all.end(),
                            [](const std::string& l) {
                                return l.find("stroke-width:1;fill:rgb(255,255,255)") !=
                                       std::string::npos;
                            }),
              1);
}

TEST_F(SvgTest, OnionGhostsComeFirstFarthestFirst) {
    scene.numOnion = 3;
    for (int k = 0; k < 3; ++k) {
        Figures stored;
        stored.assign(edit);
        stored.figures[0].move(10 * (k + 1), 0);
        frames.push_back(stored);
    }
    scene.editFrameIndex = -1; // the new frame: ghosts from frames 2, 1, 0
    const std::vector<std::string> all = lines(false);
    std::vector<std::string> groups;
    for (const std::string& l : all) {
        if (l.rfind("<g ", 0) == 0) {
            groups.push_back(l);
        }
    }
    ASSERT_EQ(groups.size(), 4u);
    // g = 150 + d*70/3: 220, 196, 173 -> transparency 255 - ((255 * (255 - g)) >> 8).
    EXPECT_EQ(groups[0],
              "<g id=\"figure0\" opacity=\"" + formatSvgNumber((255 - 221) / 255.0) + "\">");
    EXPECT_EQ(groups[1],
              "<g id=\"figure0\" opacity=\"" + formatSvgNumber((255 - 197) / 255.0) + "\">");
    EXPECT_EQ(groups[2],
              "<g id=\"figure0\" opacity=\"" + formatSvgNumber((255 - 174) / 255.0) + "\">");
    EXPECT_EQ(groups[3], "<g id=\"figure0\" opacity=\"1\">");
    // The farthest ghost is frame 0, moved by 10.
    EXPECT_NE(all[3].find("x1=\"260\""), std::string::npos);

    // Editing frame 1 with "ahead": only frame 0 behind, frame 2 ahead.
    scene.editFrameIndex = 1;
    scene.onionAhead = true;
    edit.assign(frames[1]);
    int ghosts = 0;
    for (const std::string& l : lines(false)) {
        ghosts += l.rfind("<g ", 0) == 0;
    }
    EXPECT_EQ(ghosts, 3);
}

TEST_F(SvgTest, SaveWritesTheTextAndReportsFailures) {
    QTemporaryDir dir;
    const QString path = dir.filePath("frame.svg");
    saveSvg(path, scene, true);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().toStdString(), buildSvg(scene, true));
    EXPECT_THROW(saveSvg(dir.filePath("missing/frame.svg"), scene, false), KeltoError);
}
