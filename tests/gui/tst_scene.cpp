#include "editor/editingarea.h"
#include "editor/redrawplan.h"
#include "editor/scene.h"
#include "graphics/renderer.h"
#include "settings/appsettings.h"

#include <QTest>

using namespace kelto;

namespace {

// A document's worth of scene content held by value.
struct Fixture {
    FigureTypeList types{FigureType(), createStickmanType()};
    std::vector<Figures> frames;
    std::vector<ImageGeneral> backgrounds = std::vector<ImageGeneral>(1);
    Figures edit;
    int editFrameIndex = -1;
    int32_t lastId = 0;

    SceneContent content() const {
        return {&frames, &types, &backgrounds, &edit, editFrameIndex, 500, 400};
    }
    int add(Figures& frame, double x, double y, uint8_t transparency = 0) {
        const int i = frame.figureCount();
        frame.setCount(i + 1);
        Figure& f = frame.figures[size_t(i)];
        f.setType(1, types[1]);
        f.figureID = ++lastId;
        f.placeRoot({x, y}, types[1]);
        f.updateBounds(types[1]);
        f.transparency = transparency;
        return i;
    }
    void attach(Scene& scene) const {
        scene.setContentProvider([this] { return content(); });
        scene.setEditingArea(computeEditingArea(620, 500, 500, 400));
        scene.drawGhostEdit();
    }
};

QImage copyOf(const Bitmap& bitmap) {
    Bitmap copy = bitmap;
    return copy.view().copy();
}

// The pixel at animation coordinates (x, y).
uint32_t pixelAt(const Scene& scene, int x, int y) {
    return scene.screenBuffer().pixel32(x + scene.areaOffset().x, y + scene.areaOffset().y);
}

} // namespace

class TestScene : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { appSettings() = AppSettings{}; }

    void editingAreaIsCentredOrScrolls() {
        const EditingArea big = computeEditingArea(700, 600, 500, 400);
        QCOMPARE(big.canvasWidth, 692);
        QCOMPARE(big.canvasHeight, 592);
        QCOMPARE(big.areaOffset, (PixelPos{96, 96}));
        const EditingArea odd = computeEditingArea(513, 413, 500, 400);
        QCOMPARE(odd.areaOffset, (PixelPos{2, 2})); // 5 div 2
        const EditingArea small = computeEditingArea(300, 200, 500, 400);
        QCOMPARE(small.canvasWidth, 500);
        QCOMPARE(small.canvasHeight, 400);
        QCOMPARE(small.areaOffset, (PixelPos{0, 0}));

        // The largest animations get no margin that would take the layers past what a bitmap
        // may hold: the longest side with a tall window, the largest square in a wide one.
        const EditingArea strip = computeEditingArea(1000, 2200, 32767, 2048);
        QCOMPARE(strip.canvasWidth, 32767);
        QCOMPARE(strip.canvasHeight, 2048);
        const EditingArea square = computeEditingArea(9000, 700, 8192, 8192);
        QCOMPARE(square.canvasWidth, 8192);
        QCOMPARE(square.canvasHeight, 8192);
        const EditingArea roomy = computeEditingArea(1000, 2200, 32767, 1000);
        QCOMPARE(roomy.canvasHeight, int(kMaxBitmapPixels / 32767));
        QCOMPARE(roomy.areaOffset.y, (int(kMaxBitmapPixels / 32767) - 1000) / 2);
    }

    void onionTransparencyFollowsDistance() {
        QCOMPARE(int(onionTransparency(1, 1, 0)), 221);
        QCOMPARE(int(onionTransparency(1, 9, 0)), 158);
        QCOMPARE(int(onionTransparency(9, 9, 0)), 221);
        // A half-transparent figure's onion is fainter still.
        QVERIFY(onionTransparency(1, 9, 128) > 158);
    }

    void onionSkinsComeFromTheFramesAroundTheEditedOne() {
        Fixture fx;
        const double xs[] = {60, 170, 280, 390};
        for (double x : xs) {
            Figures frame;
            fx.lastId = 0; // the same figure in every frame
            fx.add(frame, x, 200);
            fx.frames.push_back(frame);
        }
        fx.edit.assign(fx.frames[2]);
        fx.edit.select(0, true);
        fx.editFrameIndex = 2;
        appSettings().numOnion = 3;
        Scene scene;
        fx.attach(scene);
        scene.findOnions();
        QCOMPARE(scene.onions().behind[1], 0);
        QCOMPARE(scene.onions().behind[2], 0);
        QCOMPARE(scene.onions().behind[3], -1); // frame -1 does not exist
        scene.drawFigures();
        // The torso below the root joint: drawn in frames 1 and 0, faint, not in frame 3.
        const int torsoY = 200 - 20;
        QVERIFY(pixelAt(scene, 60, torsoY) != 0x00FFFFFF);
        QVERIFY(pixelAt(scene, 170, torsoY) != 0x00FFFFFF);
        QVERIFY(pixelAt(scene, 170, torsoY) != 0);
        QCOMPARE(pixelAt(scene, 390, torsoY), 0x00FFFFFFu);

        // "Show Ahead" adds the later frame while a stored frame is edited...
        appSettings().onionAhead = true;
        scene.findOnions();
        scene.drawFigures();
        QVERIFY(pixelAt(scene, 390, torsoY) != 0x00FFFFFF);
        // ...and never while the new frame is composed.
        fx.editFrameIndex = -1;
        scene.findOnions();
        scene.drawGhostEdit();
        scene.drawFigures();
        QCOMPARE(scene.onions().ahead[1], -1);
        QVERIFY(pixelAt(scene, 390, torsoY) != 0x00FFFFFF); // now the ghost of frame 3
        QCOMPARE(pixelAt(scene, 60, torsoY), 0x00FFFFFFu);  // three back from the new frame is 1
    }

    void ghostIsThePreviousFrameOnly() {
        Fixture fx;
        for (double x : {100.0, 300.0}) {
            Figures frame;
            fx.lastId = 0;
            fx.add(frame, x, 200);
            fx.frames.push_back(frame);
        }
        Scene scene;
        fx.editFrameIndex = 0;
        fx.attach(scene);
        const QPoint at0(100 + scene.areaOffset().x, 180 + scene.areaOffset().y);
        const QPoint at1(300 + scene.areaOffset().x, 180 + scene.areaOffset().y);
        QCOMPARE(scene.ghostBitmap().pixel32(at0.x(), at0.y()), 0x00FFFFFFu); // frame 0: none
        fx.editFrameIndex = -1;
        scene.drawGhostEdit();
        QVERIFY(scene.ghostBitmap().pixel32(at1.x(), at1.y()) != 0x00FFFFFF);
        QCOMPARE(scene.ghostBitmap().pixel32(at0.x(), at0.y()), 0x00FFFFFFu);
    }

    void borderCrossingsAndOverlaps() {
        QVERIFY(rectsOverlap({0, 0, 10, 10}, {10, 10, 20, 20})); // touching edges
        QVERIFY(!rectsOverlap({0, 0, 10, 10}, {11, 0, 20, 10}));
        BorderFlags flags{};
        markBorderCrossings({-20, 100, 20, 140}, 500, 400, flags);
        QVERIFY(flags[BorderLeft]);
        QVERIFY(!flags[BorderTop] && !flags[BorderRight] && !flags[BorderBottom]);
        flags = {};
        markBorderCrossings({480, 390, 520, 420}, 500, 400, flags); // the bottom-right corner
        QVERIFY(flags[BorderRight] && flags[BorderBottom]);
        flags = {};
        markBorderCrossings({100, 100, 200, 200}, 500, 400, flags);
        QVERIFY(!flags[0] && !flags[1] && !flags[2] && !flags[3]);
    }

    void partialRedrawMatchesFullRedrawWhileDragging_data() {
        QTest::addColumn<int>("transparency");
        QTest::addColumn<double>("startX");
        QTest::newRow("across a transparent figure") << 140 << 60.0;
        QTest::newRow("across opaque figures") << 0 << 60.0;
        QTest::newRow("over the left border") << 90 << -10.0;
    }

    void partialRedrawMatchesFullRedrawWhileDragging() {
        QFETCH(int, transparency);
        QFETCH(double, startX);
        Fixture fx;
        fx.add(fx.edit, 200, 180);                        // beneath the transparent one
        fx.add(fx.edit, 215, 200, uint8_t(transparency)); // the one crossed
        fx.add(fx.edit, 240, 230);                        // on top, touching only it
        fx.add(fx.edit, 420, 120);                        // far away
        const int dragged = fx.add(fx.edit, startX, 190);
        fx.edit.select(dragged, true);
        Scene partial, full;
        fx.attach(partial);
        fx.attach(full);
        partial.drawFigures();
        const int fullBefore = partial.fullRedrawCount();
        for (int step = 0; step < 30; ++step) {
            const Rect old = fx.edit.figures[size_t(dragged)].bounds;
            fx.edit.moveFigure(dragged, 13, step % 3 - 1);
            partial.reDrawFigure(dragged, old);
            full.drawFigures();
            QCOMPARE(copyOf(partial.screenBuffer()), copyOf(full.screenBuffer()));
            const Rect now = fx.edit.figures[size_t(dragged)].bounds;
            const PixelPos o = partial.areaOffset();
            QCOMPARE(partial.lastPresented().right, std::min(now.right + o.x, 620 - 8));
            QVERIFY(partial.lastPresented().left >= std::max(old.left + o.x, 0));
        }
        QCOMPARE(partial.fullRedrawCount(), fullBefore); // every step stayed partial
        QVERIFY(partial.fullRepaintNeeded());
        partial.editPaintBoxPaint(false);
        QVERIFY(!partial.fullRepaintNeeded());
    }

    void opaqueNeighbourDoesNotWipeWhatLiesBeneathIt() {
        // k lies under j; i touches j but not k. Restoring j's box from the ghost layer wipes
        // part of k, so k must be drawn again although the dragged figure never met it.
        Fixture fx;
        const int k = fx.add(fx.edit, 100, 200);
        fx.add(fx.edit, 190, 200);
        const int i = fx.add(fx.edit, 280, 200);
        fx.edit.select(i, true);
        Scene partial, full;
        fx.attach(partial);
        fx.attach(full);
        partial.drawFigures();
        const Rect old = fx.edit.figures[size_t(i)].bounds;
        QVERIFY(!rectsOverlap(fx.edit.figures[size_t(k)].bounds, old));
        fx.edit.moveFigure(i, 4, 0);
        const RedrawPlan plan = planRedraw(fx.edit, i, old, 500, 400, 0);
        QVERIFY(!plan.full);
        QVERIFY(plan.marked[size_t(k)]);
        partial.reDrawFigure(i, old);
        full.drawFigures();
        QCOMPARE(copyOf(partial.screenBuffer()), copyOf(full.screenBuffer()));
    }

    void hardCasesRedrawEverything() {
        Fixture fx;
        for (int n = 0; n < 20; ++n) {
            fx.add(fx.edit, 40 + 12 * n, 200); // a chain of overlapping boxes
        }
        fx.edit.select(0, true);
        const Rect box = fx.edit.figures[0].bounds;
        QVERIFY(planRedraw(fx.edit, 0, box, 500, 400, 0).full);  // deeper than the limit
        QVERIFY(planRedraw(fx.edit, 19, box, 500, 400, 1).full); // onion skins shown
        Figures two;
        fx.add(two, 50, 50);
        fx.add(two, 400, 300);
        two.selectAll();
        QVERIFY(planRedraw(two, 0, two.figures[0].bounds, 500, 400, 0).full);
        two.select(0, true);
        const RedrawPlan plan = planRedraw(two, 0, two.figures[0].bounds, 500, 400, 0);
        QVERIFY(!plan.full);
        QVERIFY(!plan.marked[1]);
    }
};

QTEST_MAIN(TestScene)
#include "tst_scene.moc"
