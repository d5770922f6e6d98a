#include "export/videoexport.h"

#include "document/document.h"
#include "export/exportcheck.h"
#include "export/videowriter.h"
#include "graphics/drawing.h"

#include <QString>

#include <algorithm>

namespace kelto {

ExportResult exportVideo(const Document& doc, const std::string& baseName,
                         VideoExportOptions options, int frameInterval, ExportProgress& progress) {
    options.sanitise();
    // A missing encoder, sizes the format cannot hold and files the disk cannot take are
    // refused before anything is drawn or written.
    requireRoom(planVideo(doc, baseName, options));
    ExportResult result;
    FrameRenderer renderer(doc, options);
    const int w = renderer.outputWidth();
    const int h = renderer.outputHeight();
    const VideoSize size = videoFrameSize(options.format, w, h);
    const PixelPos offset{(size.width - w) / 2, (size.height - h) / 2};
    const bool padded = size.width != w || size.height != h;
    Bitmap canvas;
    if (padded) {
        canvas = Bitmap(size.width, size.height, PixelFormat::Bits32); // black
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
    const int n = doc.frameCount();
    for (int i = 0; i < n; ++i) {
        if (progress.cancelled()) {
            result.cancelled = true;
            return result; // the writer drops the unfinished file
        }
        const Bitmap* picture = &renderer.render(i);
        if (padded) {
            copyBitmap(*picture, canvas, offset);
            picture = &canvas;
        }
        const int repeats = std::max<int>(1, doc.frames[size_t(i)].repeatCount);
        writer.writeFrame(
            {picture->bits(), picture->width(), picture->height(), picture->rowBytes()},
            repeats * interval);
        result.framesDone = i + 1;
        progress.setProgress(i * 100 / n);
    }
    writer.close();
    result.files.push_back(path);
    return result;
}

} // namespace kelto
