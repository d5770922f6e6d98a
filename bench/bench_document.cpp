// Saving and loading a large animation, each beside the zlib work it cannot avoid, measured in
// the same run on the same bytes: 100,000 frames of ten stick men.
#include "document/kelformat.h"
#include "document/zstream.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cmath>

using namespace kelto;

namespace {

constexpr int kFrames = 100000;
constexpr int kMenPerFrame = 10;

// Ten stick men walking across the area, each limb swinging a little from frame to frame, as
// a real animation changes.
Document makeAnimation() {
    Document doc(800, 600);
    const FigureType& man = doc.figureType(1);
    doc.frames.resize(kFrames);
    for (int k = 0; k < kFrames; ++k) {
        Figures& frame = doc.frames[k];
        frame.setCount(kMenPerFrame);
        for (int m = 0; m < kMenPerFrame; ++m) {
            Figure& f = frame.figures[m];
            f.setType(1, man);
            f.figureID = m + 1;
            for (int s = 0; s < man.segmentCount(); ++s) {
                f.pose[s].angle += 0.3 * std::sin(0.05 * k + 0.7 * s + m);
            }
            f.placeRoot({40.0 + 70 * m + (k % 200), 300.0 + 20 * std::sin(0.1 * k)}, man);
            f.updateBounds(man);
        }
    }
    doc.lastFigureID = kMenPerFrame;
    return doc;
}

const Document& animation() {
    static const Document doc = makeAnimation();
    return doc;
}

const std::vector<uint8_t>& record() {
    static const std::vector<uint8_t> bytes = writeDocumentRecord(animation());
    return bytes;
}

const std::vector<uint8_t>& file() {
    static const std::vector<uint8_t> bytes = compressStream(record());
    return bytes;
}

// Builds the shared inputs outside the timed loops.
void prepare() {
    file();
}

void BM_SaveDocument(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(writeKelFile(animation()));
    }
    state.counters["MB"] = double(record().size()) / 1e6;
}

void BM_CompressOnly(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(compressStream(record()));
    }
}

void BM_LoadDocument(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(readKelFile(file()));
    }
}

void BM_InflateOnly(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(decompressStream(file()));
    }
}

// The two halves of the figures above: the record alone, without zlib.
void BM_WriteRecordOnly(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(writeDocumentRecord(animation()));
    }
}

void BM_ReadRecordOnly(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(readDocumentRecord(record()));
    }
}

// Heap held by a loaded document, per figure.
void BM_MemoryPerFigure(benchmark::State& state) {
    prepare();
    double perFigure = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        {
            const Document doc = readDocumentRecord(record());
            const size_t after = mallinfo2().uordblks;
            perFigure = double(after - before) / (double(kFrames) * kMenPerFrame);
            benchmark::DoNotOptimize(doc.frameCount());
        }
    }
    state.counters["bytesPerFigure"] = perFigure;
}

} // namespace

BENCHMARK(BM_SaveDocument)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_CompressOnly)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_LoadDocument)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_InflateOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WriteRecordOnly)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ReadRecordOnly)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_MemoryPerFigure)->Unit(benchmark::kMillisecond)->Iterations(1);
