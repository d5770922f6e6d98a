#include "graphics/drawing.h"
#include "graphics/renderer.h"
#include "graphics/sprite.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>

using namespace kelto;

namespace {

// 100 stick men in a 10 x 10 grid over a 1920 x 1080 animation.
struct Scene {
    FigureTypeList types = {FigureType(), createStickmanType()};
    Figures frame;
    std::vector<ImageGeneral> backgrounds = std::vector<ImageGeneral>(1);

    explicit Scene(uint8_t transparency) {
        frame.setCount(100);
        for (int i = 0; i < 100; ++i) {
            Figure& f = frame.figures[size_t(i)];
            f.setType(1, types[1]);
            f.placeRoot({100.0 + 180.0 * (i % 10), 140.0 + 100.0 * (i / 10)}, types[1]);
            f.rotateAll(0.05 * i, types[1]);
            f.transparency = transparency;
        }
    }
};

void drawFrameBench(benchmark::State& state, uint8_t transparency) {
    Scene scene(transparency);
    Bitmap canvas(1920, 1080, PixelFormat::Bits32);
    for (auto _ : state) {
        drawFrame(canvas, scene.frame, scene.types, scene.backgrounds, 1920, 1080, 1);
        benchmark::DoNotOptimize(canvas.bits());
    }
}

void BM_DrawFrameOpaque(benchmark::State& state) {
    drawFrameBench(state, 0);
}
void BM_DrawFrameTransparent100(benchmark::State& state) {
    drawFrameBench(state, 100);
}

// The reduction and a memcpy of the same source buffer, timed side by side in every iteration.
void BM_BoxReduceByFactorVsMemcpy(benchmark::State& state) {
    const int c = int(state.range(0));
    Bitmap src(1600, 1200, PixelFormat::Bits32);
    for (int y = 0; y < src.height(); ++y) {
        for (int x = 0; x < src.width(); ++x) {
            src.setRawPixel(x, y, uint32_t(x * 2654435761u + y));
        }
    }
    Bitmap dst(1600 / c, 1200 / c, PixelFormat::Bits32);
    std::vector<uint8_t> copy(src.byteCount());
    double reduceSeconds = 0, memcpySeconds = 0;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        std::memcpy(copy.data(), src.bits(), src.byteCount());
        benchmark::DoNotOptimize(copy.data());
        const auto t1 = Clock::now();
        boxReduceByFactor(src, dst);
        benchmark::DoNotOptimize(dst.bits());
        const auto t2 = Clock::now();
        memcpySeconds += std::chrono::duration<double>(t1 - t0).count();
        const double r = std::chrono::duration<double>(t2 - t1).count();
        reduceSeconds += r;
        state.SetIterationTime(r);
    }
    const double pixels = double(src.width()) * src.height() * double(state.iterations());
    state.counters["reduce_ns_per_src_px"] = reduceSeconds / pixels * 1e9;
    state.counters["memcpy_ns_per_src_px"] = memcpySeconds / pixels * 1e9;
    state.counters["ratio_to_memcpy"] = reduceSeconds / memcpySeconds;
}

void BM_RotateScaleSprite24(benchmark::State& state) {
    Bitmap picture(512, 512, PixelFormat::Bits24);
    for (int y = 0; y < 512; ++y) {
        for (int x = 0; x < 512; ++x) {
            picture.setRawPixel(x, y, uint32_t(x * 2654435761u + y * 40503u) & 0xFFFFFF);
        }
    }
    Sprite sprite;
    sprite.setFromBitmap(picture); // far more than 256 colours: stays 24-bit
    Bitmap target;
    int64_t pixels = 0;
    for (auto _ : state) {
        rotateScaleSprite(sprite, target, {0, 0}, false, 1.0f, 30 * 3.14159265358979323846 / 180);
        pixels += int64_t(target.width()) * target.height();
        benchmark::DoNotOptimize(target.bits());
    }
    state.SetItemsProcessed(pixels);
    state.counters["target_pixels"] = double(target.width()) * target.height();
}

} // namespace

BENCHMARK(BM_DrawFrameOpaque)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawFrameTransparent100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoxReduceByFactorVsMemcpy)
    ->Arg(2)
    ->Arg(3)
    ->Arg(4)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateScaleSprite24)->Unit(benchmark::kMillisecond);
