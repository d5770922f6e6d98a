// The canvas at a zoom and the timeline scrub: a redraw of what is seen of a large scene at
// 400 %, and one scrub step across a 10,000-frame animation in the real main window.
#include "dialogs/prompter.h"
#include "editor/canvasview.h"
#include "editor/mainwindow.h"
#include "editor/scene.h"
#include "editor/timeline.h"
#include "settings/appsettings.h"
#include "settings/multilang.h"
#include "settings/settingsfile.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

using namespace kelto;

namespace {

QApplication& application() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "bench_canvasview";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// 100 stick men over a 1920 x 1080 background picture, the middle one selected, shown at
// 400 % in a 1920 x 1080 view onto the middle of the zoomed canvas (7680 x 4320).
struct ZoomedStage {
    FigureTypeList types{FigureType(), createStickmanType()};
    std::vector<Figures> frames;
    std::vector<ImageGeneral> backgrounds = std::vector<ImageGeneral>(2);
    Figures edit;
    Scene scene;
    int dragged = 55;

    ZoomedStage() {
        Bitmap picture(1920, 1080, PixelFormat::Bits32);
        for (int y = 0; y < picture.height(); ++y) {
            auto* row = reinterpret_cast<uint32_t*>(picture.row(y));
            for (int x = 0; x < picture.width(); ++x) {
                row[x] = uint32_t((x * 7) ^ (y * 3)) & 0x00FFFFFF;
            }
        }
        backgrounds[1].setBitmap(picture);
        edit.setCount(100);
        for (int i = 0; i < 100; ++i) {
            Figure& f = edit.figures[size_t(i)];
            f.setType(1, types[1]);
            f.figureID = i;
            f.placeRoot({96.0 + 180 * (i % 10), 100.0 + 100 * (i / 10)}, types[1]);
            f.updateBounds(types[1]);
        }
        edit.backgroundIndex = 1;
        edit.select(dragged, true);
        scene.setContentProvider(
            [this] { return SceneContent{&frames, &types, &backgrounds, &edit, -1, 1920, 1080}; });
        scene.setZoom(4.0);
        scene.setVisibleWindow({2880, 1620, 2880 + 1920, 1620 + 1080});
        scene.setEditingArea(computeZoomedArea(1928, 1088, 1920, 1080, 4.0));
        scene.drawGhostEdit();
        scene.drawFigures();
    }
};

// The whole visible part recomposed: ghost layer, figures, handles.
void zoomedRedraw(benchmark::State& state) {
    ZoomedStage stage;
    for (auto _ : state) {
        stage.scene.drawFigures();
        benchmark::DoNotOptimize(stage.scene.screenBuffer().bits());
    }
    state.counters["window_pixels"] =
        double(stage.scene.window().width()) * stage.scene.window().height();
}
BENCHMARK(zoomedRedraw)->Unit(benchmark::kMillisecond);

// A pan step: the window moves, the background and figures are drawn again for it.
void zoomedPanStep(benchmark::State& state) {
    ZoomedStage stage;
    int n = 0;
    for (auto _ : state) {
        const int dx = (n++ / 8) % 2 ? -16 : 16;
        const Rect w = stage.scene.window();
        stage.scene.setVisibleWindow({w.left + dx, w.top, w.right + dx, w.bottom});
        stage.scene.drawGhostEdit();
        stage.scene.drawFigures();
        benchmark::DoNotOptimize(stage.scene.screenBuffer().bits());
    }
}
BENCHMARK(zoomedPanStep)->Unit(benchmark::kMillisecond);

// A drag step of the selected man at 400 %: the partial redraw around him.
void zoomedDragStep(benchmark::State& state) {
    ZoomedStage stage;
    const int full = stage.scene.fullRedrawCount();
    int n = 0;
    for (auto _ : state) {
        const Rect old = stage.edit.figures[size_t(stage.dragged)].bounds;
        stage.edit.moveFigure(stage.dragged, (n++ / 4) % 2 ? -2 : 2, 0);
        stage.scene.reDrawFigure(stage.dragged, old);
        benchmark::DoNotOptimize(stage.scene.screenBuffer().bits());
    }
    state.counters["full_redraws"] = double(stage.scene.fullRedrawCount() - full);
}
BENCHMARK(zoomedDragStep)->Unit(benchmark::kMicrosecond);

// Answers No and cancels every choice.
class SilentPrompter : public Prompter {
public:
    Answer ask(const QString&, bool, QuestionCaption) override { return Answer::No; }
    void tell(const QString&) override {}
    void inform(const QString&) override {}
    QStringList openFileNames(const QString&, const QString&, const QString&, bool, bool) override {
        return {};
    }
    QString saveFileName(const QString&, const QString&, const QString&, const QString&,
                         int*) override {
        return {};
    }
    std::optional<uint32_t> chooseColour(uint32_t) override { return std::nullopt; }
};

// One scrub step of the timeline in the real main window: a 640 x 480 animation of 10,000
// frames of five stick men each (every frame a little different), the pointer passing on to
// the next frame. The canvas shows the frame with the previous one as its ghost.
void scrubStep(benchmark::State& state) {
    application();
    QTemporaryDir dir;
    qputenv("KELTO_CONFIG_DIR", dir.filePath("config").toUtf8());
    multiLang().openFolder(dir.filePath("languages"));
    SilentPrompter prompter;
    setPrompter(&prompter);
    QDir().mkpath(dir.filePath("config"));
    QFile settings(settingsFilePath());
    if (settings.open(QIODevice::WriteOnly)) {
        settings.write("[Kelto.Settings]\nLanguage=English\n");
        settings.close();
    }
    loadSettings();
    auto window = std::make_unique<MainWindow>();
    window->setDialogRunner([](QDialog& d) {
        d.accept();
        return int(QDialog::Accepted);
    });
    window->formActivate();
    window->resize(1280, 800);
    window->show();
    Document& doc = window->document();
    Figures frame = doc.newEditFrame();
    frame.setCount(5);
    for (int i = 0; i < 5; ++i) {
        frame.figures[size_t(i)].setType(1, doc.figureType(1));
        frame.figures[size_t(i)].figureID = i;
    }
    doc.frames.reserve(10000);
    for (int k = 0; k < 10000; ++k) {
        for (int i = 0; i < 5; ++i) {
            Figure& f = frame.figures[size_t(i)];
            f.placeRoot({60.0 + 120 * i + k % 40, 240.0}, doc.figureType(1));
            f.updateBounds(doc.figureType(1));
        }
        doc.frames.push_back(frame);
    }
    doc.lastFigureID = 5;
    window->session().resetHistory(window->session().newFrame());
    Timeline& tl = window->timeline();
    tl.updateScrollBar();
    tl.drawTimeLine();
    int k = 0;
    for (auto _ : state) {
        k = k + 1 < 10000 ? k + 1 : 0;
        // As a drag does it: the row follows the pointer, then the frame is shown.
        tl.ensureVisible(k);
        tl.onScrub(k);
    }
    state.counters["frames"] = doc.frameCount();
    doc.documentSaved = true;
    window.reset();
    setPrompter(nullptr);
}
BENCHMARK(scrubStep)->Unit(benchmark::kMillisecond);

} // namespace
