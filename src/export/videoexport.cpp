#include "export/videoexport.h"

#include "document/document.h"
#include "export/exportcheck.h"
#include "export/framepipeline.h"
#include "export/videowriter.h"
#include "graphics/drawing.h"

#include <QString>

#include <algorithm>
#include <memory>
#include <utility>

namespace kelto {

ExportResult exportVideo(const Document& doc, const std::string& baseName,
                         VideoExportOptions options, int frameInterval, ExportProgress& progress) {
    options.sanitise();
    // A missing encoder, sizes the format cannot hold and files the disk cannot take are
    // refused before anything is drawn or written.
    requireRoom(planVideo(doc, baseName, options));
    ExportResult result;
    auto firstRenderer = std::make_shared<FrameRenderer>(doc, options);
    const int w = firstRenderer->outputWidth();
    const int h = firstRenderer->outputHeight();
    const VideoSize size = videoFrameSize(options.format, w, h);
    const PixelPos offset{(size.width - w) / 2, (size.height - h) / 2};
    const bool padded = size.width != w || size.height != h;
    // Each worker keeps a renderer and a window of finished frames waiting for the encoder.
    const int64_t frameBytes = int64_t(size.width) * size.height * 4;
    const int threads = exportThreadCount(options.threads, doc.frameCount(),
                                          firstRenderer->bufferBytes() +
                                              FramePipeline<int>::kWindowPerThread * frameBytes);
    if (threads > 1) {
        FrameRenderer::prepareBackgrounds(doc);
    }
    const int interval = std::max(1, frameInterval);

    VideoEncoding encoding;
    encoding.format = options.format;
    encoding.width = size.width;
    encoding.height = size.height;
    encoding.quality = options.quality;
    encoding.loop = options.loop;
    encoding.lossless = options.lossless;
    encoding.typicalFrameMs = interval;
    const std::string path = baseName + videoExtension(options.format);
    VideoWriter writer;
    writer.open(QString::fromStdString(path), encoding);
    // Workers draw the frames, padded on black; this thread encodes them in order.
    FramePipeline<Bitmap> frames(doc.frameCount(), threads, [&]() {
        std::shared_ptr<FrameRenderer> renderer =
            firstRenderer ? std::exchange(firstRenderer, nullptr)
                          : std::make_shared<FrameRenderer>(doc, options);
        return [renderer, padded, size, offset](int i) {
            const Bitmap& picture = renderer->render(i);
            if (!padded) {
                return picture;
            }
            Bitmap canvas(size.width, size.height, PixelFormat::Bits32); // black
            copyBitmap(picture, canvas, offset);
            return canvas;
        };
    });
    const int n = doc.frameCount();
    for (int i = 0; i < n; ++i) {
        if (progress.cancelled()) {
            result.cancelled = true;
            return result; // the writer drops the unfinished file
        }
        const Bitmap picture = frames.next();
        const int repeats = std::max<int>(1, doc.frames[size_t(i)].repeatCount);
        writer.writeFrame({picture.bits(), picture.width(), picture.height(), picture.rowBytes()},
                          repeats * interval);
        result.framesDone = i + 1;
        progress.setProgress(i * 100 / n);
    }
    writer.close();
    result.files.push_back(path);
    return result;
}

} // namespace kelto
