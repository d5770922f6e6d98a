// Posing and hit testing on a crowded frame: the work behind every mouse move on the canvas.
#include "model/figures.h"

#include <benchmark/benchmark.h>

using namespace kelto;

namespace {

struct Crowd {
    FigureTypeList types;
    Figures frame;

    explicit Crowd(int count) : types(2) {
        types[1] = createStickmanType();
        int32_t id = 0;
        frame.setCount(count);
        for (int i = 0; i < count; ++i) {
            Figure& f = frame.figures[i];
            f.setType(1, types[1]);
            f.figureID = ++id;
            f.placeRoot({50.0 + (i % 20) * 90, 150.0 + (i / 20) * 200}, types[1]);
            f.updateBounds(types[1]);
        }
    }
};

void BM_HitTestMiss(benchmark::State& state) {
    Crowd crowd(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(crowd.frame.hitTest(crowd.types, {-500, -500}, HandleView{}));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_HitTestMiss)->Arg(100)->Arg(1000);

void BM_DragUpperBody(benchmark::State& state) {
    Crowd crowd(100);
    crowd.frame.select(0, true);
    double angle = 0;
    for (auto _ : state) {
        angle += 0.01;
        const PointF j1 = crowd.frame.figures[0].joint(1);
        crowd.frame.dragHandle(crowd.types, 0, 1, {j1.x + 40 * std::cos(angle), j1.y - 40}, false,
                               {});
    }
}
BENCHMARK(BM_DragUpperBody);

void BM_MoveAllSelected(benchmark::State& state) {
    Crowd crowd(static_cast<int>(state.range(0)));
    crowd.frame.selectAll();
    for (auto _ : state) {
        crowd.frame.moveSelection(1, 0);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MoveAllSelected)->Arg(100)->Arg(1000);

// An onion-skin lookup of an identity the frame does not hold: the scan that does not rely on
// ascending identities walks every figure, the worst case of findByID.
void BM_FindByIDMiss(benchmark::State& state) {
    Crowd crowd(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(crowd.frame.findByID(-1, 0));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FindByIDMiss)->Arg(100)->Arg(65535);

} // namespace
