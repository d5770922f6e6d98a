// Export throughput on a generated animation: 300 frames of 20 coloured stick men on 500 x 400,
// super-sampled twice. With "--write-kel PATH" it only writes that animation, for the
// side-by-side comparison in bench/compare-gif.sh.
#include "document/document.h"
#include "document/kelformat.h"
#include "export/rasterexport.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <cmath>
#include <cstring>

using namespace kelto;

namespace {

Document makeAnimation(int frames, int figures) {
    Document doc(500, 400);
    const FigureType& man = doc.figureType(1);
    uint32_t seed = 7;
    auto next = [&](int n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % uint32_t(n));
    };
    Figures edit;
    edit.setCount(figures);
    for (int k = 0; k < figures; ++k) {
        Figure& f = edit.figures[k];
        f.setType(1, man);
        f.figureID = doc.nextFigureID();
        f.colour = uint32_t(next(256)) | (uint32_t(next(256)) << 8) | (uint32_t(next(256)) << 16);
        f.scale = 0.6f + next(60) / 100.0f;
        f.placeRoot({40.0 + next(420), 120.0 + next(260)}, man);
    }
    for (int i = 0; i < frames; ++i) {
        for (int k = 0; k < figures; ++k) {
            Figure& f = edit.figures[k];
            // Swing the limbs a little each frame and walk right.
            for (int s : {4, 5, 8, 9}) {
                f.pose[s].angle = man.segments[s].angle + 0.4 * std::sin(0.3 * i + k + s);
            }
            f.placeRoot({std::fmod(f.jointPos[0].x + 2.0, 500.0), f.jointPos[0].y}, man);
            f.updateBounds(man);
        }
        Figures frame;
        frame.assign(edit);
        doc.frames.push_back(frame);
    }
    return doc;
}

const Document& animation() {
    static const Document doc = makeAnimation(300, 20);
    return doc;
}

void BM_GifExportOptimalFloydSteinberg(benchmark::State& state) {
    QTemporaryDir dir;
    SilentProgress quiet;
    GifExportOptions options;
    options.colours = ColourReduction::QuantizeOptimal;
    options.dither = DitherMode::FloydSteinberg;
    for (auto _ : state) {
        exportGif(animation(), dir.filePath("bench").toStdString(), options, 80, quiet);
    }
    state.counters["frames/s"] =
        benchmark::Counter(300.0 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GifExportOptimalFloydSteinberg)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_AviExport(benchmark::State& state, const char* codec) {
    QTemporaryDir dir;
    SilentProgress quiet;
    AviExportOptions options;
    options.compress = codec[0] != 0;
    options.codec = codec;
    for (auto _ : state) {
        exportAvi(animation(), dir.filePath("bench").toStdString(), options, 80, quiet);
    }
    state.counters["frames/s"] =
        benchmark::Counter(300.0 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(BM_AviExport, uncompressed, "")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_AviExport, mjpeg, "mjpeg")->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_RenderOnly(benchmark::State& state) {
    FrameRenderer renderer(animation(), RasterOptions{100, 2});
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(renderer.render(i++ % 300).bits());
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderOnly)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-kel") == 0) {
        Document doc = makeAnimation(300, 20);
        saveAnimation(doc, removeExtension(argv[2]));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
