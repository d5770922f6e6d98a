#include "export/rasterexport.h"

#include "base/error.h"
#include "document/document.h"
#include "document/kelformat.h"
#include "export/aviwriter.h"
#include "export/colourreduction.h"
#include "export/framepipeline.h"
#include "export/gifoptimiser.h"
#include "export/gifwriter.h"
#include "graphics/drawing.h"
#include "graphics/imagecodecs.h"
#include "graphics/renderer.h"
#include "settings/atomicfile.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

namespace kelto {

namespace {

constexpr uint32_t kWhite = 0x00FFFFFF;

PixelSpan spanOf(const Bitmap& bitmap) {
    return {bitmap.bits(), bitmap.width(), bitmap.height(), bitmap.rowBytes()};
}

// A failure part-way through a sequence says which pictures are already on disk, so the user
// knows what is complete and what to clean up.
[[noreturn]] void sequenceFailed(const std::string& reason, const std::vector<std::string>& done) {
    std::string message = reason;
    if (done.empty()) {
        message += ". No picture was written.";
    } else if (done.size() == 1) {
        message += ". One picture was written before: " + done.front() + ".";
    } else {
        message += ". " + std::to_string(done.size()) +
                   " pictures were written before: " + done.front() + " to " + done.back() + ".";
    }
    throw KeltoError(message);
}

bool isGrey(uint32_t colour) {
    const uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    return r == g && g == b;
}

std::string numbered(int number, int width) {
    std::string digits = std::to_string(number);
    if (static_cast<int>(digits.size()) < width) {
        digits.insert(0, size_t(width) - digits.size(), '0');
    }
    return digits;
}

// The renderers of one export: one made first, which tells the output size and what a worker
// costs, then one more for each further worker thread.
class Renderers {
public:
    // resultBytesPerPixel: what a prepared frame waiting in the pipeline takes per output pixel.
    Renderers(const Document& doc, const RasterOptions& options, int resultBytesPerPixel)
        : m_doc(doc), m_options(options), m_first(std::make_shared<FrameRenderer>(doc, options)) {
        // Waiting results per worker, as many as the pipeline's window allows.
        const int64_t resultBytes =
            int64_t(m_first->outputWidth()) * m_first->outputHeight() * resultBytesPerPixel;
        m_threads = exportThreadCount(options.threads, doc.frameCount(),
                                      m_first->bufferBytes() +
                                          FramePipeline<int>::kWindowPerThread * resultBytes);
        if (m_threads > 1) {
            FrameRenderer::prepareBackgrounds(doc);
        }
    }

    const FrameRenderer& first() const { return *m_first; }
    int threads() const { return m_threads; }

    // The first renderer, then new ones.
    std::shared_ptr<FrameRenderer> take() {
        if (m_first) {
            return std::exchange(m_first, nullptr);
        }
        return std::make_shared<FrameRenderer>(m_doc, m_options);
    }

private:
    const Document& m_doc;
    RasterOptions m_options;
    std::shared_ptr<FrameRenderer> m_first;
    int m_threads = 1;
};

} // namespace

int frameNumberWidth(int frameCount) {
    return static_cast<int>(std::to_string(std::max(0, frameCount - 1)).size());
}

int roundedQuotient(double a, double b) {
    return static_cast<int>(std::nearbyint(a / b));
}

FrameRenderer::FrameRenderer(const Document& doc, const RasterOptions& options, int64_t bandPixels)
    : m_doc(doc), m_geometry(exportGeometry(doc.animWidth(), doc.animHeight(), options)) {
    const ExportGeometry& g = m_geometry;
    const int64_t renderPixels = int64_t(g.renderWidth) * g.renderHeight;
    if (renderPixels <= bandPixels && renderPixels <= kMaxBitmapPixels) {
        m_outputRowsPerBand = g.outputHeight;
        m_render = Bitmap(g.renderWidth, g.renderHeight, PixelFormat::Bits32);
        m_background = Bitmap(g.renderWidth, g.renderHeight, PixelFormat::Bits32);
        m_background.fill(kWhite);
    } else {
        m_banded = true;
        // Output rows per band so that a band holds about bandPixels enlarged pixels; the band
        // is as tall as the tallest run of source rows any band needs.
        const double sourceRowsPerOutputRow = double(g.renderHeight) / g.outputHeight;
        const int64_t budget = std::min(bandPixels, kMaxBitmapPixels / 2);
        m_outputRowsPerBand = int(
            std::clamp<double>(std::floor(double(budget) / g.renderWidth / sourceRowsPerOutputRow),
                               1, g.outputHeight));
        int bandRows = 1;
        for (int first = 0; first < g.outputHeight; first += m_outputRowsPerBand) {
            const int end = std::min(g.outputHeight, first + m_outputRowsPerBand);
            const BoxRows rows =
                g.superSample > 1 ? boxReduceSourceRows(g.renderHeight, g.outputHeight, first, end)
                                  : BoxRows{first, end};
            bandRows = std::max(bandRows, rows.end - rows.first);
        }
        m_render = Bitmap(g.renderWidth, bandRows, PixelFormat::Bits32);
    }
    if (g.superSample > 1 || banded()) {
        m_output = Bitmap(g.outputWidth, g.outputHeight, PixelFormat::Bits32);
    }
}

bool FrameRenderer::hasBackground(const Figures& frame) const {
    return frame.backgroundIndex != 0 && frame.backgroundIndex < m_doc.backgroundCount();
}

void FrameRenderer::drawBackground(int slot) {
    m_background.fill(kWhite);
    m_doc.background(slot).stretchDraw(m_background,
                                       Rect{0, 0, m_render.width(), m_render.height()});
    m_backgroundDrawn = slot;
}

int64_t FrameRenderer::bufferBytes() const {
    int64_t bytes = 0;
    for (const Bitmap* b : {&m_render, &m_background, &m_output}) {
        bytes += int64_t(b->rowBytes()) * b->height();
    }
    return bytes;
}

void FrameRenderer::prepareBackgrounds(const Document& doc) {
    std::vector<bool> done(size_t(std::max(0, doc.backgroundCount())), false);
    for (const Figures& frame : doc.frames) {
        const int slot = frame.backgroundIndex;
        if (slot != 0 && slot < doc.backgroundCount() && !done[size_t(slot)]) {
            // Reading the pixels compresses a pending change and keeps the decoded picture.
            static_cast<void>(doc.background(slot).decoded());
            done[size_t(slot)] = true;
        }
    }
}

const Bitmap& FrameRenderer::render(int frameIndex) {
    const Figures& frame = m_doc.frames.at(frameIndex);
    return banded() ? renderBanded(frame) : renderWhole(frame);
}

const Bitmap& FrameRenderer::renderWhole(const Figures& frame) {
    if (hasBackground(frame)) {
        if (frame.backgroundIndex != m_backgroundDrawn) {
            drawBackground(frame.backgroundIndex);
        }
        copyBitmap(m_background, m_render, PixelPos{0, 0});
    } else {
        m_render.fill(kWhite);
    }
    drawAll(frame, m_doc.figureTypes(), m_render, false, PixelPos{0, 0}, m_geometry.zoom);
    if (m_geometry.superSample < 2) {
        return m_render;
    }
    boxReduce(m_render, m_output);
    return m_output;
}

const Bitmap& FrameRenderer::renderBanded(const Figures& frame) {
    for (int first = 0; first < m_geometry.outputHeight; first += m_outputRowsPerBand) {
        renderBand(frame, first, std::min(m_geometry.outputHeight, first + m_outputRowsPerBand));
    }
    return m_output;
}

void FrameRenderer::renderBand(const Figures& frame, int firstRow, int endRow) {
    const ExportGeometry& g = m_geometry;
    const bool reduce = g.superSample > 1;
    const int top =
        reduce ? boxReduceSourceRows(g.renderHeight, g.outputHeight, firstRow, endRow).first
               : firstRow;
    // The band shows the rows from top on; rows past the frame's bottom are never used.
    m_render.fill(kWhite);
    if (hasBackground(frame)) {
        m_doc.background(frame.backgroundIndex)
            .stretchDraw(m_render, Rect{0, -top, g.renderWidth, g.renderHeight - top});
    }
    drawAllRows(frame, m_doc.figureTypes(), m_render, top, g.renderHeight, g.zoom);
    if (reduce) {
        boxReduceRows(m_render, top, g.renderHeight, m_output, firstRow, endRow);
        return;
    }
    for (int y = firstRow; y < endRow; ++y) {
        std::memcpy(m_output.row(y), m_render.row(y - top), m_output.rowBytes());
    }
}

ExportResult exportImageSequence(const Document& doc, const std::string& baseName,
                                 ImageSequenceOptions options, ExportProgress& progress) {
    options.sanitise();
    // Sizes the format or memory cannot hold, and files the disk cannot take, are refused
    // before anything is drawn or written.
    requireRoom(planImageSequence(doc, baseName, options));
    ExportResult result;
    const std::string stem = removeExtension(baseName);
    const int n = doc.frameCount();
    const int width = frameNumberWidth(n);
    const char* extension = options.format == ImageFormat::Png    ? ".png"
                            : options.format == ImageFormat::Jpeg ? ".jpg"
                                                                  : ".gif";
    // Workers draw and encode; the calling thread writes the files in order.
    struct Encoded {
        std::vector<uint8_t> bytes;
        IndexedImage indexed;
    };
    Renderers renderers(doc, options, 1);
    const ImageFormat format = options.format;
    const int quality = options.quality;
    FramePipeline<Encoded> frames(n, renderers.threads(), [&]() {
        return [renderer = renderers.take(), format, quality](int i) {
            const Bitmap& picture = renderer->render(i);
            Encoded encoded;
            if (format == ImageFormat::Png) {
                encoded.bytes = encodePng(picture);
            } else if (format == ImageFormat::Jpeg) {
                encoded.bytes = encodeJpeg(picture, quality);
            } else {
                encoded.indexed = mapToPalette(spanOf(picture), webPalette(), DitherMode::Nearest);
                dropUnusedColours(encoded.indexed);
            }
            return encoded;
        };
    });
    for (int i = 0; i < n; ++i) {
        if (progress.cancelled()) {
            result.cancelled = true;
            break;
        }
        const Encoded encoded = frames.next();
        const int copies = options.saveRepeats ? std::max<int>(1, doc.frames[i].repeatCount) : 1;
        for (int j = 0; j < copies; ++j) {
            const std::string path =
                stem + numbered(i, width) + (j == 0 ? "" : "rep" + std::to_string(j)) + extension;
            try {
                if (format == ImageFormat::Gif) {
                    writeGifImage(QString::fromStdString(path), encoded.indexed);
                } else {
                    writeFileReplacing(path, encoded.bytes);
                }
            } catch (const KeltoError& e) {
                sequenceFailed(e.what(), result.files);
            }
            result.files.push_back(path);
        }
        result.framesDone = i + 1;
        progress.setProgress(i * 100 / n);
    }
    return result;
}

ExportResult exportGif(const Document& doc, const std::string& baseName, GifExportOptions options,
                       int frameInterval, ExportProgress& progress) {
    options.sanitise();
    // Sizes the format or memory cannot hold, and files the disk cannot take, are refused
    // before anything is drawn or written.
    requireRoom(planGif(doc, baseName, options));
    ExportResult result;
    Renderers renderers(doc, options, 1);
    const int outputWidth = renderers.first().outputWidth();
    const int outputHeight = renderers.first().outputHeight();
    const int unit = roundedQuotient(frameInterval, 10);
    const std::string path = baseName + ".gif";
    GifWriter writer;
    writer.open(QString::fromStdString(path), outputWidth, outputHeight);
    // Workers draw and reduce the colours; the calling thread compares frames and compresses
    // them, which has to happen in order.
    FramePipeline<IndexedImage> frames(doc.frameCount(), renderers.threads(), [&]() {
        return [renderer = renderers.take(), options](int i) {
            IndexedImage indexed =
                reduceColours(spanOf(renderer->render(i)), options.colours, options.dither);
            if (options.optimisePalette) {
                dropUnusedColours(indexed);
            }
            return indexed;
        };
    });
    // Without merging or cropping every frame goes to the writer as it is.
    std::optional<GifFrameOptimiser> optimiser;
    if (options.mergeFrames || options.crop) {
        optimiser.emplace(
            writer, outputWidth, outputHeight,
            GifOptimisation{options.mergeFrames, options.crop, options.optimisePalette});
    }
    const int n = doc.frameCount();
    for (int i = 0; i < n; ++i) {
        if (progress.cancelled()) {
            writer.cancel();
            result.cancelled = true;
            return result;
        }
        const IndexedImage indexed = frames.next();
        const int delay = doc.frames[i].repeatCount * unit;
        if (optimiser) {
            optimiser->addFrame(indexed, delay);
        } else {
            writer.addFrame(indexed, delay);
        }
        result.framesDone = i + 1;
        progress.setProgress(i * 100 / n);
    }
    if (optimiser) {
        optimiser->flush();
    }
    writer.finish();
    result.files.push_back(path);
    return result;
}

ExportResult exportAvi(const Document& doc, const std::string& baseName, AviExportOptions options,
                       int frameInterval, ExportProgress& progress) {
    options.sanitise();
    // Sizes the format or memory cannot hold, and files the disk cannot take, are refused
    // before anything is drawn or written.
    requireRoom(planAvi(doc, baseName, options));
    ExportResult result;
    Renderers renderers(doc, options, 4);
    const int w = renderers.first().outputWidth();
    const int h = renderers.first().outputHeight();
    const int paddedWidth = (w + 3) / 4 * 4;
    const int paddedHeight = (h + 3) / 4 * 4;
    const PixelPos offset{(paddedWidth - w) / 2, (paddedHeight - h) / 2};
    const bool padded = paddedWidth != w || paddedHeight != h;

    AviOptions avi;
    avi.width = paddedWidth;
    avi.height = paddedHeight;
    avi.frameRate = std::max(1, roundedQuotient(1000, std::max(1, frameInterval)));
    const std::string path = baseName + ".avi";
    avi.streamName = path.substr(0, 63);
    if (options.compress) {
        avi.codec = options.codec;
        if (avi.codec.empty()) {
            const std::vector<AviCodec> codecs = availableAviCodecs();
            if (codecs.empty()) {
                throw KeltoError("No video codec is available for compression");
            }
            avi.codec = codecs.front().name;
        }
    }
    AviWriter writer;
    writer.open(QString::fromStdString(path), avi);
    result.files.push_back(path);
    // Workers draw the frames, padded on black; the calling thread encodes them in order.
    FramePipeline<Bitmap> frames(doc.frameCount(), renderers.threads(), [&]() {
        return [renderer = renderers.take(), padded, paddedWidth, paddedHeight, offset](int i) {
            const Bitmap& picture = renderer->render(i);
            if (!padded) {
                return picture;
            }
            Bitmap canvas(paddedWidth, paddedHeight, PixelFormat::Bits32); // black
            copyBitmap(picture, canvas, offset);
            return canvas;
        };
    });
    const int n = doc.frameCount();
    for (int i = 0; i < n; ++i) {
        if (progress.cancelled()) {
            // The writer, left unclosed, drops its file: a cut-off video is not kept.
            result.cancelled = true;
            result.files.clear();
            return result;
        }
        const Bitmap picture = frames.next();
        const int copies = std::max<int>(1, doc.frames[i].repeatCount);
        for (int j = 0; j < copies; ++j) {
            writer.writeFrame(spanOf(picture));
        }
        result.framesDone = i + 1;
        if (i % 10 == 0) {
            progress.setProgress(i * 100 / n);
        }
    }
    writer.close();
    return result;
}

GifDefaults gifDefaultsFor(const Document& doc) {
    bool typeImages = false;
    for (int t = kBuiltInFigureTypes; t < doc.figureTypeCount(); ++t) {
        typeImages = typeImages || doc.figureType(t).imageCount() > 0;
    }
    bool jpegBackground = false;
    for (int slot = 1; slot < doc.backgroundCount(); ++slot) {
        jpegBackground =
            jpegBackground || doc.background(slot).imageKind() == ImageGeneral::kJpegKind;
    }
    bool allGrey = !typeImages && doc.backgroundCount() <= 1;
    for (size_t f = 0; allGrey && f < doc.frames.size(); ++f) {
        for (const Figure& figure : doc.frames[f].figures) {
            if (!isGrey(figure.colour)) {
                allGrey = false;
                break;
            }
        }
    }
    GifDefaults defaults;
    defaults.colours = allGrey ? ColourReduction::GrayScale : ColourReduction::QuantizeOptimal;
    defaults.dither = (typeImages || jpegBackground) ? DitherMode::Stucki : DitherMode::Nearest;
    return defaults;
}

} // namespace kelto
