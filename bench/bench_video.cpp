// Video and animated-picture export on the same generated animation as bench_export: 300
// frames of 20 coloured stick men on 500 x 400, super-sampled twice, 80 ms a frame. Each case
// reports the file's size and the frames encoded per second (rendering included).
#include "crowdanimation.h"
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

using bench::animation;

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
