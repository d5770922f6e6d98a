// Export throughput on a generated animation: 300 frames of 20 coloured stick men on 500 x 400,
// super-sampled twice. With "--write-kel PATH" it only writes that animation, for the
// side-by-side comparison in bench/compare-gif.sh.
// The GIF frame optimisations (Merge Frames, Crop) are measured on a smaller "scene" animation
// where a few figures take turns to move and everyone pauses now and then, and on the crowd;
// with "--kel FILE.kel" they are measured on that animation as well. Each reports the file size.
// The whole-animation GIF and AVI exports run with 1 and 2 threads, side by side, or with each
// count given as "--threads N" (repeatable).
#include "crowdanimation.h"
#include "document/document.h"
#include "document/kelformat.h"
#include "export/rasterexport.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace kelto;

namespace {

using bench::animation;
using bench::makeAnimation;
using bench::stepFigure;
using bench::storeFrame;

// The argument is the export's thread count; wall time is what the user waits, the CPU time is
// that of the whole process, every thread included.
void BM_GifExportOptimalFloydSteinberg(benchmark::State& state) {
    QTemporaryDir dir;
    SilentProgress quiet;
    GifExportOptions options;
    options.colours = ColourReduction::QuantizeOptimal;
    options.dither = DitherMode::FloydSteinberg;
    options.threads = int(state.range(0));
    for (auto _ : state) {
        exportGif(animation(), dir.filePath("bench").toStdString(), options, 80, quiet);
    }
    state.counters["frames/s"] =
        benchmark::Counter(300.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}

// 120 frames of 4 stick men on 500 x 400: one of them walks at a time, in turns of 15 frames,
// and every 30 frames the scene holds still for 6 stored frames.
Document makeScene() {
    Document doc(500, 400);
    const FigureType& man = doc.figureType(1);
    Figures edit;
    edit.setCount(4);
    const uint32_t colours[4] = {0x000000, 0x2040C0, 0x30A030, 0xC03020};
    for (int k = 0; k < 4; ++k) {
        Figure& f = edit.figures[k];
        f.setType(1, man);
        f.figureID = doc.nextFigureID();
        f.colour = colours[k];
        f.placeRoot({60.0 + 110 * k, 250.0 + 30 * (k % 2)}, man);
    }
    for (int i = 0; i < 120; ++i) {
        if (i % 30 < 24) {
            stepFigure(edit.figures[(i / 15) % 4], man, 0.5 * i, 3.0);
        }
        storeFrame(doc, edit);
    }
    return doc;
}

const Document& scene() {
    static const Document doc = makeScene();
    return doc;
}

Document& loadedAnimation() {
    static Document doc;
    return doc;
}

// One GIF export with the frame optimisations chosen; the counters give the file's size and the
// frames exported per second.
void BM_GifOptimisation(benchmark::State& state, const Document* doc, GifDefaults colours,
                        bool merge, bool crop) {
    QTemporaryDir dir;
    SilentProgress quiet;
    GifExportOptions options;
    options.colours = colours.colours;
    options.dither = colours.dither;
    options.optimisePalette = true;
    options.mergeFrames = merge;
    options.crop = crop;
    options.threads = 1; // one thread, so CPU time and wall time agree
    std::string file;
    for (auto _ : state) {
        file = exportGif(*doc, dir.filePath("bench").toStdString(), options, 80, quiet).files.at(0);
    }
    state.counters["bytes"] = double(QFileInfo(QString::fromStdString(file)).size());
    state.counters["frames/s"] = benchmark::Counter(
        double(doc->frameCount()) * double(state.iterations()), benchmark::Counter::kIsRate);
}

void registerGifOptimisations(const std::string& name, const Document* doc, GifDefaults colours,
                              int iterations) {
    const struct {
        const char* label;
        bool merge, crop;
    } variants[] = {{"plain", false, false},
                    {"merge", true, false},
                    {"crop", false, true},
                    {"merge+crop", true, true}};
    for (const auto& v : variants) {
        benchmark::RegisterBenchmark(("BM_GifOptimisation/" + name + "/" + v.label).c_str(),
                                     BM_GifOptimisation, doc, colours, v.merge, v.crop)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(iterations);
    }
}

void BM_AviExport(benchmark::State& state, const char* codec) {
    QTemporaryDir dir;
    SilentProgress quiet;
    AviExportOptions options;
    options.compress = codec[0] != 0;
    options.codec = codec;
    options.threads = int(state.range(0));
    for (auto _ : state) {
        exportAvi(animation(), dir.filePath("bench").toStdString(), options, 80, quiet);
    }
    state.counters["frames/s"] =
        benchmark::Counter(300.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}

// The whole-animation exports once per thread count: 1 and 2, or those given with --threads.
void registerExports(const std::vector<int>& threadCounts) {
    auto each = [&](benchmark::internal::Benchmark* b) {
        for (int threads : threadCounts) {
            b->Arg(threads);
        }
        b->ArgName("threads")
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->UseRealTime()
            ->MeasureProcessCPUTime();
    };
    each(benchmark::RegisterBenchmark("BM_GifExportOptimalFloydSteinberg",
                                      BM_GifExportOptimalFloydSteinberg));
    each(benchmark::RegisterBenchmark("BM_AviExport/uncompressed", BM_AviExport, ""));
    each(benchmark::RegisterBenchmark("BM_AviExport/mjpeg", BM_AviExport, "mjpeg"));
}

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

// The same frames at 1000 %: 10000 x 8000 pixels drawn, more than one picture may hold, so they
// are drawn and reduced in bands into the 5000 x 4000 output. The argument is the band size in
// enlarged pixels.
void BM_RenderBanded(benchmark::State& state) {
    FrameRenderer renderer(animation(), RasterOptions{1000, 2}, state.range(0));
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(renderer.render(i++ % 300).bits());
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderBanded)
    ->Arg(FrameRenderer::kBandPixels / 4)
    ->Arg(FrameRenderer::kBandPixels)
    ->Arg(FrameRenderer::kBandPixels * 3)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-kel") == 0) {
        Document doc = makeAnimation(300, 20);
        saveAnimation(doc, removeExtension(argv[2]));
        return 0;
    }
    std::vector<char*> rest;
    std::vector<int> threadCounts;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            threadCounts.push_back(std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--kel") == 0 && i + 1 < argc) {
            loadedAnimation() = loadAnimation(argv[++i]);
            registerGifOptimisations("loaded", &loadedAnimation(),
                                     gifDefaultsFor(loadedAnimation()), 3);
        } else {
            rest.push_back(argv[i]);
        }
    }
    argc = static_cast<int>(rest.size());
    argv = rest.data();
    // Build the animations before any timing starts: making the 6,000 crowd figures takes
    // seconds, which would otherwise be charged to whichever benchmark runs first.
    animation();
    scene();
    registerExports(threadCounts.empty() ? std::vector<int>{1, 2} : threadCounts);
    registerGifOptimisations("scene", &scene(), gifDefaultsFor(scene()), 3);
    registerGifOptimisations("crowd-dithered", &animation(),
                             {ColourReduction::QuantizeOptimal, DitherMode::FloydSteinberg}, 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
