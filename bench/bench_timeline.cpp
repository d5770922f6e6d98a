#include "document/document.h"
#include "editor/timeline.h"
#include "graphics/drawing.h"
#include "graphics/renderer.h"

#include <QApplication>
#include <QFrame>
#include <QScrollBar>

#include <benchmark/benchmark.h>

using namespace kelto;

namespace {

// A 1920 x 1080 frame with 100 stick men spread over a background picture.
Document playbackDocument() {
    Document doc(1920, 1080);
    Bitmap picture(1920, 1080, PixelFormat::Bits32);
    for (int y = 0; y < picture.height(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(picture.row(y));
        for (int x = 0; x < picture.width(); ++x) {
            row[x] = uint32_t((x * 7) ^ (y * 3)) & 0x00FFFFFF;
        }
    }
    ImageGeneral background;
    background.setBitmap(picture);
    doc.addBackground(background, "bench");
    Figures frame = doc.newEditFrame();
    frame.setCount(100);
    for (int i = 0; i < 100; ++i) {
        Figure& f = frame.figures[size_t(i)];
        f.setType(1, doc.figureType(1));
        f.figureID = i;
        f.placeRoot({96.0 + 180 * (i % 10), 100.0 + 100 * (i / 10)}, doc.figureType(1));
        f.updateBounds(doc.figureType(1));
    }
    frame.backgroundIndex = 1;
    doc.frames.push_back(frame);
    return doc;
}

// The work of one playback tick that draws: the frame into the play raster at zoom 1, then the
// raster onto the canvas buffer.
void playbackTick(benchmark::State& state) {
    const Document doc = playbackDocument();
    Bitmap raster(1920, 1080, PixelFormat::Bits32);
    Bitmap screen(1940, 1100, PixelFormat::Bits32);
    for (auto _ : state) {
        drawFrame(raster, doc.frames[0], doc.figureTypes(), doc.backgrounds(), 1920, 1080, 1.0);
        copyBitmap(raster, screen, {10, 10});
        benchmark::DoNotOptimize(screen.bits());
    }
}
BENCHMARK(playbackTick)->Unit(benchmark::kMillisecond);

// Scrolling the timeline of a 10,000-frame document by one slot: one new thumbnail rendered
// (supersampled 2x), the others moved along.
void timelineScrollOneSlot(benchmark::State& state) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "bench_timeline";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    Document doc(640, 480);
    Figures frame = doc.newEditFrame();
    doc.frames.assign(10000, frame);
    QFrame panel;
    panel.resize(1100, 81);
    QScrollBar bar(Qt::Horizontal, &panel);
    Timeline timeline(&panel, &bar, doc);
    timeline.setSupersample(2);
    timeline.layout();
    timeline.updateScrollBar();
    timeline.drawTimeLine();
    int position = 0;
    for (auto _ : state) {
        position = position + 1 < bar.maximum() ? position + 1 : 0;
        bar.setValue(position);
        timeline.scrolled(position);
    }
    state.counters["slots"] = timeline.slotCount();
    state.counters["renders_per_step"] =
        double(timeline.renderCount()) / double(std::max<int64_t>(state.iterations(), 1));
}
BENCHMARK(timelineScrollOneSlot)->Unit(benchmark::kMicrosecond);

} // namespace
