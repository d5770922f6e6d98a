// Video and animated-picture export on the same generated animation as bench_export: 300
// frames of 20 coloured stick men on 500 x 400, super-sampled twice, 80 ms a frame. Each case
// reports the file's size and the frames encoded per second (rendering included).
#include "document/document.h"
#include "export/rasterexport.h"
#include "export/videoexport.h"
#include "export/videowriter.h"

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>

using namespace kelto;

namespace {

// Swings the limbs of a stick man a little by phase and walks him step pixels right.
void stepFigure(Figure& f, const FigureType& man, double phase, double step) {
    for (int s : {4, 5, 8, 9}) {
        f.pose[s].angle = man.segments[s].angle + 0.4 * std::sin(phase + s);
    }
    f.placeRoot({std::fmod(f.jointPos[0].x + step, 500.0), f.jointPos[0].y}, man);
    f.updateBounds(man);
}

void storeFrame(Document& doc, const Figures& edit) {
    Figures frame;
    frame.assign(edit);
    doc.frames.push_back(frame);
}

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
        f.scale = 0.6f + static_cast<float>(next(60)) / 100.0f;
        f.placeRoot({40.0 + next(420), 120.0 + next(260)}, man);
    }
    for (int i = 0; i < frames; ++i) {
        for (int k = 0; k < figures; ++k) {
            stepFigure(edit.figures[k], man, 0.3 * i + k, 2.0);
        }
        storeFrame(doc, edit);
    }
    return doc;
}

const Document& animation() {
    static const Document doc = makeAnimation(300, 20);
    return doc;
}

void exportOnce(benchmark::State& state, VideoExportOptions options) {
    if (videoEncoderFor(options.format).empty()) {
        state.SkipWithError("encoder not installed");
        return;
    }
    QTemporaryDir dir;
    SilentProgress quiet;
    animation();
    std::string file;
    for (auto _ : state) {
        file = exportVideo(animation(), dir.filePath("bench").toStdString(), options, 80, quiet)
                   .files.front();
    }
    state.counters["bytes"] = double(QFileInfo(QString::fromStdString(file)).size());
    state.counters["frames/s"] = benchmark::Counter(
        double(animation().frameCount()) * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Mp4(benchmark::State& state) {
    VideoExportOptions options;
    options.format = VideoFormat::Mp4;
    exportOnce(state, options);
}

void BM_WebM(benchmark::State& state) {
    VideoExportOptions options;
    options.format = VideoFormat::WebM;
    exportOnce(state, options);
}

void BM_Apng(benchmark::State& state) {
    VideoExportOptions options;
    options.format = VideoFormat::Apng;
    exportOnce(state, options);
}

void BM_WebP(benchmark::State& state) {
    VideoExportOptions options;
    options.format = VideoFormat::WebP;
    options.lossless = state.range(0) != 0;
    exportOnce(state, options);
}

} // namespace

BENCHMARK(BM_Mp4)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_WebM)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Apng)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_WebP)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
