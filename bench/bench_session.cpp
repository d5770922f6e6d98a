// The editing session's history: undo of a frame deletion in a long animation, and the memory
// a hundred canvas edits keep.
#include "document/editsession.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

using namespace kelto;

namespace {

Figure stickman(const Document& doc, float x, float y, int32_t id) {
    Figure f;
    f.setType(1, doc.figureType(1));
    f.placeRoot({x, y}, doc.figureType(1));
    f.updateBounds(doc.figureType(1));
    f.figureID = id;
    return f;
}

Figures frameOf(const Document& doc, int figures, int32_t& lastId) {
    Figures frame;
    frame.setCount(figures);
    for (int i = 0; i < figures; ++i) {
        frame.figures[size_t(i)] = stickman(doc, float(20 + i * 4), float(100 + i % 7), ++lastId);
        frame.figures[size_t(i)].orderPos = uint16_t(i);
    }
    frame.selection.clear();
    return frame;
}

Document longAnimation(int frames, int figuresPerFrame) {
    Document doc(640, 480);
    int32_t id = 0;
    const Figures frame = frameOf(doc, figuresPerFrame, id);
    doc.frames.assign(size_t(frames), frame);
    doc.lastFigureID = id;
    return doc;
}

size_t heapInUse() {
    return mallinfo2().uordblks;
}

} // namespace

// Undo of "delete frame" in the middle of a 10,000-frame animation of two figures a frame.
static void BM_UndoDeleteFrame(benchmark::State& state) {
    EditSession session(longAnimation(10000, 2));
    for (auto _ : state) {
        state.PauseTiming();
        session.deleteFrame(5000);
        state.ResumeTiming();
        session.undo();
        benchmark::DoNotOptimize(session.document().frames.data());
    }
}
BENCHMARK(BM_UndoDeleteFrame)->Unit(benchmark::kMicrosecond);

// Redo of the same deletion, for comparison.
static void BM_RedoDeleteFrame(benchmark::State& state) {
    EditSession session(longAnimation(10000, 2));
    session.deleteFrame(5000);
    for (auto _ : state) {
        state.PauseTiming();
        session.undo();
        state.ResumeTiming();
        session.redo();
    }
}
BENCHMARK(BM_RedoDeleteFrame)->Unit(benchmark::kMicrosecond);

// A hundred edits of a frame of 100 figures: each moves one figure (range 1) or all of them
// (range 100). The counter is the heap the history holds afterwards, in megabytes.
static void BM_UndoMemoryHundredEdits(benchmark::State& state) {
    const int moved = int(state.range(0));
    double megabytes = 0;
    for (auto _ : state) {
        EditSession session(longAnimation(1, 100));
        session.setEditFrame(0);
        const size_t before = heapInUse();
        for (int edit = 0; edit < 100; ++edit) {
            for (int i = 0; i < moved; ++i) {
                session.editFrame().moveFigure((edit + i) % 100, 1, 0);
            }
            session.recordCanvasEdit(PhraseType::BUndoMove);
        }
        megabytes = double(heapInUse() - before) / (1024.0 * 1024.0);
        benchmark::DoNotOptimize(session.history().count());
    }
    state.counters["undo_MB"] = megabytes;
}
BENCHMARK(BM_UndoMemoryHundredEdits)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond);
