#include "model/reach.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace kelto;

namespace {

// A frame of stick men on a grid, the arm of one of them bent by a reach drag. The pointer
// circles the shoulder, in reach and out of it in turn, so every step bends the arm anew.
struct ReachStage {
    FigureTypeList types{FigureType(), createStickmanType()};
    Figures frame;
    ReachDrag reach;
    int dragged = 0;
    PointF shoulder;

    // joinedOnHand: how many further men hang on the dragged hand, each on the one before's
    // hand, so that every step carries a chain of joined figures along.
    ReachStage(int count, int joinedOnHand) {
        frame.setCount(count);
        for (int i = 0; i < count; ++i) {
            Figure& f = frame.figures[size_t(i)];
            f.setType(1, types[1]);
            f.figureID = i;
            f.placeRoot({48 + 96.0 * (i % 20), 80 + 108.0 * (i / 20)}, types[1]);
            f.updateBounds(types[1]);
        }
        dragged = count / 2;
        int parent = dragged;
        for (int k = 1; k <= joinedOnHand && dragged + k < count; ++k) {
            frame.select(dragged + k, true);
            frame.beginJoin(dragged + k);
            frame.join(dragged + k, parent, 7);
            parent = dragged + k;
        }
        frame.select(dragged, true);
        reach.begin(frame, types, dragged, 6);
        shoulder = frame.figures[size_t(dragged)].joint(2);
    }

    void step(int n) {
        const double a = 0.05 * n;
        const double r = (n / 16) % 2 ? 60 : 95; // 95 is beyond the arm's reach of 78
        reach.moveTo(frame, types, {shoulder.x + r * std::cos(a), shoulder.y + r * std::sin(a)});
    }
};

void reachStepBench(benchmark::State& state) {
    ReachStage stage(int(state.range(0)), int(state.range(1)));
    int n = 0;
    for (auto _ : state) {
        stage.step(n++);
        benchmark::DoNotOptimize(stage.frame.figures[size_t(stage.dragged)].jointPos.data());
    }
}

} // namespace

// The editor's drag benchmark uses 200 men; the larger frames show how the step grows with the
// frame and with figures hanging on the hand.
BENCHMARK(reachStepBench)
    ->Args({200, 0})
    ->Args({200, 10})
    ->Args({10000, 0})
    ->Unit(benchmark::kMicrosecond);
