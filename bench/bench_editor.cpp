#include "editor/editingarea.h"
#include "editor/scene.h"

#include <benchmark/benchmark.h>

using namespace kelto;

namespace {

// 200 stick men on a 1920 x 1080 animation, one of them dragged to and fro.
struct Stage {
    FigureTypeList types{FigureType(), createStickmanType()};
    std::vector<Figures> frames;
    std::vector<ImageGeneral> backgrounds = std::vector<ImageGeneral>(1);
    Figures edit;
    Scene scene;
    int dragged = 0;

    // spread: a grid of half-size men whose boxes do not touch; otherwise full-size men placed
    // at pseudo-random spots, so boxes overlap in clusters.
    explicit Stage(bool spread) {
        edit.setCount(200);
        uint32_t seed = 12345;
        for (int i = 0; i < 200; ++i) {
            Figure& f = edit.figures[size_t(i)];
            f.setType(1, types[1]);
            f.figureID = i;
            double x, y;
            if (spread) {
                f.setScale(0.5f, types[1]);
                x = 48 + 96.0 * (i % 20);
                y = 80 + 108.0 * (i / 20);
            } else {
                seed = seed * 1103515245 + 12345;
                x = 60 + (seed >> 8) % 1800;
                seed = seed * 1103515245 + 12345;
                y = 100 + (seed >> 8) % 900;
            }
            f.placeRoot({x, y}, types[1]);
            f.updateBounds(types[1]);
        }
        dragged = 105;
        edit.select(dragged, true);
        scene.setContentProvider(
            [this] { return SceneContent{&frames, &types, &backgrounds, &edit, -1, 1920, 1080}; });
        scene.setEditingArea(computeEditingArea(1928, 1088, 1920, 1080));
        scene.drawGhostEdit();
        scene.drawFigures();
    }

    // One small drag step: 6 pixels right or back, so the figure stays where it started.
    void step(int n) {
        const Rect old = edit.figures[size_t(dragged)].bounds;
        edit.moveFigure(dragged, (n / 4) % 2 ? -6 : 6, 0);
        scene.reDrawFigure(dragged, old);
    }
};

void drawFiguresBench(benchmark::State& state, bool spread) {
    Stage stage(spread);
    for (auto _ : state) {
        stage.scene.drawFigures();
        benchmark::DoNotOptimize(stage.scene.screenBuffer().bits());
    }
}

void reDrawFigureBench(benchmark::State& state, bool spread) {
    Stage stage(spread);
    const int fullBefore = stage.scene.fullRedrawCount();
    int n = 0;
    for (auto _ : state) {
        stage.step(n++);
        benchmark::DoNotOptimize(stage.scene.screenBuffer().bits());
    }
    // How many drag steps fell back to a full redraw.
    state.counters["full_redraws"] = double(stage.scene.fullRedrawCount() - fullBefore);
}

} // namespace

BENCHMARK_CAPTURE(drawFiguresBench, spread_grid, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(reDrawFigureBench, spread_grid, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(drawFiguresBench, random_overlapping, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(reDrawFigureBench, random_overlapping, false)->Unit(benchmark::kMicrosecond);
