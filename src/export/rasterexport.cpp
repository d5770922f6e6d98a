#include "export/rasterexport.h"

#include "document/document.h"
#include "document/kelformat.h"
#include "export/aviwriter.h"
#include "export/colourreduction.h"
#include "export/gifoptimiser.h"
#include "export/gifwriter.h"
#include "graphics/drawing.h"
#include "graphics/imagecodecs.h"
#include "graphics/renderer.h"
#include "settings/atomicfile.h"
#include "settings/errorreporter.h"

#include <QString>

#include <cmath>
#include <optional>

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

int scaledSide(int side, double zoom) {
    const double scaled = std::nearbyint(side * zoom);
    if (scaled < 1 || scaled > kMaxBitmapSide) {
        throw KeltoError("The export size is too large or too small");
    }
    return static_cast<int>(scaled);
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

} // namespace

int frameNumberWidth(int frameCount) {
    return static_cast<int>(std::to_string(std::max(0, frameCount - 1)).size());
}

int roundedQuotient(double a, double b) {
    return static_cast<int>(std::nearbyint(a / b));
}

FrameRenderer::FrameRenderer(const Document& doc, const RasterOptions& raw) : m_doc(doc) {
    RasterOptions options = raw;
    options.sanitise();
    m_superSample = options.superSample;
    m_zoom = m_superSample * (options.resize / 100.0);
    const int width = scaledSide(doc.animWidth(), m_zoom);
    const int height = scaledSide(doc.animHeight(), m_zoom);
    checkBitmapSize(width, height);
    m_render = Bitmap(width, height, PixelFormat::Bits32);
    m_background = Bitmap(width, height, PixelFormat::Bits32);
    m_background.fill(kWhite);
    if (m_superSample > 1) {
        m_output = Bitmap(std::max(1, width / m_superSample), std::max(1, height / m_superSample),
                          PixelFormat::Bits32);
    }
}

int FrameRenderer::outputWidth() const {
    return m_superSample > 1 ? m_output.width() : m_render.width();
}

int FrameRenderer::outputHeight() const {
    return m_superSample > 1 ? m_output.height() : m_render.height();
}

void FrameRenderer::drawBackground(int slot) {
    m_background.fill(kWhite);
    m_doc.background(slot).stretchDraw(m_background,
                                       Rect{0, 0, m_render.width(), m_render.height()});
    m_backgroundDrawn = slot;
}

const Bitmap& FrameRenderer::render(int frameIndex) {
    const Figures& frame = m_doc.frames.at(frameIndex);
    const int slot = frame.backgroundIndex;
    if (slot != 0 && slot < m_doc.backgroundCount()) {
        if (slot != m_backgroundDrawn) {
            drawBackground(slot);
        }
        copyBitmap(m_background, m_render, PixelPos{0, 0});
    } else {
        m_render.fill(kWhite);
    }
    drawAll(frame, m_doc.figureTypes(), m_render, false, PixelPos{0, 0}, m_zoom);
    if (m_superSample < 2) {
        return m_render;
    }
    boxReduce(m_render, m_output);
    return m_output;
}

ExportResult exportImageSequence(const Document& doc, const std::string& baseName,
                                 ImageSequenceOptions options, ExportProgress& progress) {
    options.sanitise();
    ExportResult result;
    FrameRenderer renderer(doc, options);
    const std::string stem = removeExtension(baseName);
    const int n = doc.frameCount();
    const int width = frameNumberWidth(n);
    const char* extension = options.format == ImageFormat::Png    ? ".png"
                            : options.format == ImageFormat::Jpeg ? ".jpg"
                                                                  : ".gif";
    for (int i = 0; i < n; ++i) {
        if (progress.cancelled()) {
            result.cancelled = true;
            break;
        }
        const Bitmap& picture = renderer.render(i);
        std::vector<uint8_t> bytes;
        IndexedImage indexed;
        if (options.format == ImageFormat::Png) {
            bytes = encodePng(picture);
        } else if (options.format == ImageFormat::Jpeg) {
            bytes = encodeJpeg(picture, options.quality);
        } else {
            indexed = mapToPalette(spanOf(picture), webPalette(), DitherMode::Nearest);
            dropUnusedColours(indexed);
        }
        const int copies = options.saveRepeats ? std::max<int>(1, doc.frames[i].repeatCount) : 1;
        for (int j = 0; j < copies; ++j) {
            const std::string path =
                stem + numbered(i, width) + (j == 0 ? "" : "rep" + std::to_string(j)) + extension;
            try {
                if (options.format == ImageFormat::Gif) {
                    writeGifImage(QString::fromStdString(path), indexed);
                } else {
                    writeFileReplacing(path, bytes);
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
    ExportResult result;
    FrameRenderer renderer(doc, options);
    const int unit = roundedQuotient(frameInterval, 10);
    const std::string path = baseName + ".gif";
    GifWriter writer;
    writer.open(QString::fromStdString(path), renderer.outputWidth(), renderer.outputHeight());
    // Without merging or cropping every frame goes to the writer as it is.
    std::optional<GifFrameOptimiser> optimiser;
    if (options.mergeFrames || options.crop) {
        optimiser.emplace(
            writer, renderer.outputWidth(), renderer.outputHeight(),
            GifOptimisation{options.mergeFrames, options.crop, options.optimisePalette});
    }
    const int n = doc.frameCount();
    for (int i = 0; i < n; ++i) {
        if (progress.cancelled()) {
            writer.cancel();
            result.cancelled = true;
            return result;
        }
        const Bitmap& picture = renderer.render(i);
        IndexedImage indexed = reduceColours(spanOf(picture), options.colours, options.dither);
        if (options.optimisePalette) {
            dropUnusedColours(indexed);
        }
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
    ExportResult result;
    FrameRenderer renderer(doc, options);
    const int w = renderer.outputWidth();
    const int h = renderer.outputHeight();
    const int paddedWidth = (w + 3) / 4 * 4;
    const int paddedHeight = (h + 3) / 4 * 4;
    const PixelPos offset{(paddedWidth - w) / 2, (paddedHeight - h) / 2};
    const bool padded = paddedWidth != w || paddedHeight != h;
    Bitmap canvas;
    if (padded) {
        canvas = Bitmap(paddedWidth, paddedHeight, PixelFormat::Bits32); // black
    }

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
    const int n = doc.frameCount();
    for (int i = 0; i < n; ++i) {
        if (progress.cancelled()) {
            result.cancelled = true;
            break;
        }
        const Bitmap* picture = &renderer.render(i);
        if (padded) {
            copyBitmap(*picture, canvas, offset);
            picture = &canvas;
        }
        const int copies = std::max<int>(1, doc.frames[i].repeatCount);
        for (int j = 0; j < copies; ++j) {
            writer.writeFrame(spanOf(*picture));
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
