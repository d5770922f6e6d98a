// In-betweens of a crowded frame: the work behind the in-between command's OK.
#include "model/tween.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace kelto;

namespace {

// 100 stick men in two poses: moved, every limb turned, a third of them scaled and recoloured,
// every tenth one joined to the man before it.
struct KeyFrames {
    FigureTypeList types;
    Figures from;
    Figures to;

    KeyFrames() : types(2) {
        types[1] = createStickmanType();
        from = crowd(0);
        to = crowd(1);
    }

    Figures crowd(int pose) const {
        Figures frame;
        frame.setCount(100);
        for (int i = 0; i < 100; ++i) {
            Figure& f = frame.figures[size_t(i)];
            f.setType(1, types[1]);
            f.figureID = i + 1;
            for (size_t s = 0; s < f.pose.size(); ++s) {
                f.pose[s].angle += pose * 0.3 * std::sin(double(i + s));
            }
            if (pose == 1 && i % 3 == 0) {
                f.scale = 1.5f;
                f.colour = 0x3060F0;
            }
            f.placeRoot({50.0 + (i % 20) * 90 + pose * 40, 150.0 + (i / 20) * 200}, types[1]);
            f.updateBounds(types[1]);
        }
        frame.joinMode = 1;
        for (int i = 10; i < 100; i += 10) {
            frame.figures[size_t(i - 1)].joinCandidate = 1;
            frame.join(i, i - 1, 7);
            frame.joinMode = 1;
        }
        frame.joinMode = 0;
        return frame;
    }
};

void BM_HundredInbetweensOfHundredMen(benchmark::State& state) {
    const KeyFrames keys;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            makeInbetweens(keys.from, keys.to, keys.types, 100, Easing::InOut));
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_HundredInbetweensOfHundredMen)->Unit(benchmark::kMillisecond);

// The dialog's ghost: one in-between from a plan made once.
void BM_PreviewFrame(benchmark::State& state) {
    const KeyFrames keys;
    const TweenPlan plan(keys.from, keys.to, keys.types);
    for (auto _ : state) {
        benchmark::DoNotOptimize(plan.frameAt(0.5));
    }
}
BENCHMARK(BM_PreviewFrame)->Unit(benchmark::kMicrosecond);

} // namespace
