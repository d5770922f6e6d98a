#include "cli/exportcommand.h"

#include "document/filesave.h"
#include "document/kelformat.h"
#include "export/rasterexport.h"
#include "export/svgexport.h"
#include "export/videoexport.h"
#include "export/videowriter.h"
#include "graphics/imagecodecs.h"
#include "settings/errorreporter.h"

#include <QString>

#include <cmath>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace kelto {

const char* const kExportUsage =
    "  export FILE.kel -o OUT [options]\n"
    "                                  OUT.gif: animated GIF; OUT.avi: AVI video;\n"
    "                                  OUT.png/.jpg/.jpeg (or .gif with --sequence): one\n"
    "                                  numbered picture per frame; OUT.svg: one frame as SVG;\n"
    "                                  OUT.mp4 (H.264, else MPEG-4 Part 2), OUT.webm (VP9):\n"
    "                                  video; OUT.apng, OUT.webp: animated picture\n"
    "      --resize PCT                output size in percent, 1..1000 (100)\n"
    "      --supersample K             render K times larger and filter down, 1..4 (2)\n"
    "      --colours N                 GIF colour reduction 0..6 (chosen from the animation)\n"
    "      --dither N                  GIF dither 0..6 (chosen from the animation)\n"
    "      --palette                   GIF: drop unused colour-table entries\n"
    "      --merge-frames              GIF: store frames that look alike as one longer frame\n"
    "      --crop                      GIF: store only the changed part of each later frame\n"
    "      --quality Q                 JPEG quality 0..100 (100); WebP quality 0..100 (75)\n"
    "      --crf N                     MP4/WebM quality, lower is better: H.264 0..51 (23),\n"
    "                                  VP9 0..63 (32), MPEG-4 Part 2 1..31 (4)\n"
    "      --lossless                  WebP: keep every pixel exactly\n"
    "      --no-loop                   APNG/WebP: play once instead of forever\n"
    "      --no-repeats                pictures: no extra copies for repeated frames\n"
    "      --codec NAME                AVI: compress with this FFmpeg encoder (mjpeg, ffv1,\n"
    "                                  mpeg4, libx264 where present); default uncompressed\n"
    "      --frame N                   SVG: the frame to draw (default the last)\n"
    "      --handles                   SVG: draw the handles too\n";

namespace {

struct ExportArguments {
    std::string in;
    std::string out;
    bool sequence = false;
    bool palette = false;
    bool mergeFrames = false;
    bool crop = false;
    bool noRepeats = false;
    bool handles = false;
    int resize = kResizeRange.fallback;
    int superSample = kSuperSampleRange.fallback;
    int colours = -1;
    int dither = -1;
    int quality = -1; // the format's default
    int crf = -1;
    bool lossless = false;
    bool noLoop = false;
    int frame = -1;
    std::string codec;
};

int wholeNumber(const std::string& option, const std::string& text, int low, int high) {
    try {
        size_t used = 0;
        const long value = std::stol(text, &used);
        if (used == text.size() && value >= low && value <= high) {
            return static_cast<int>(value);
        }
    } catch (const std::exception&) {
    }
    throw CliUsageError(option + " takes a whole number from " + std::to_string(low) + " to " +
                        std::to_string(high));
}

ExportArguments parse(const std::vector<std::string>& args) {
    ExportArguments a;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        auto value = [&](int low, int high) { return wholeNumber(arg, args[++i], low, high); };
        if (arg == "-o" && hasValue) {
            a.out = args[++i];
        } else if (arg == "--resize" && hasValue) {
            a.resize = value(kResizeRange.minimum, kResizeRange.maximum);
        } else if (arg == "--supersample" && hasValue) {
            a.superSample = value(kSuperSampleRange.minimum, kSuperSampleRange.maximum);
        } else if (arg == "--colours" && hasValue) {
            a.colours = value(0, kColourReductionCount - 1);
        } else if (arg == "--dither" && hasValue) {
            a.dither = value(0, kDitherModeCount - 1);
        } else if (arg == "--quality" && hasValue) {
            a.quality = value(kJpegQualityRange.minimum, kJpegQualityRange.maximum);
        } else if (arg == "--crf" && hasValue) {
            a.crf = value(0, 63);
        } else if (arg == "--lossless") {
            a.lossless = true;
        } else if (arg == "--no-loop") {
            a.noLoop = true;
        } else if (arg == "--frame" && hasValue) {
            a.frame = value(0, 999999);
        } else if (arg == "--codec" && hasValue) {
            a.codec = args[++i];
        } else if (arg == "--palette") {
            a.palette = true;
        } else if (arg == "--merge-frames") {
            a.mergeFrames = true;
        } else if (arg == "--crop") {
            a.crop = true;
        } else if (arg == "--no-repeats") {
            a.noRepeats = true;
        } else if (arg == "--handles") {
            a.handles = true;
        } else if (arg == "--sequence") {
            a.sequence = true;
        } else if (a.in.empty() && !arg.starts_with("-")) {
            a.in = arg;
        } else {
            throw CliUsageError("unexpected argument '" + arg + "'");
        }
    }
    if (a.in.empty() || a.out.empty()) {
        throw CliUsageError("export needs an animation file and -o OUT");
    }
    return a;
}

// A progress bar on stderr, drawn only when stderr is a terminal.
class TerminalProgress : public ExportProgress {
public:
    TerminalProgress() : m_shown(isatty(STDERR_FILENO) != 0) {}
    ~TerminalProgress() override {
        if (m_shown && m_drawn) {
            std::fputs("\r\033[K", stderr);
        }
    }
    void setProgress(int percent) override {
        if (!m_shown || percent == m_last) {
            return;
        }
        m_last = percent;
        m_drawn = true;
        const int filled = percent * 30 / 100;
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(size_t(filled), '#').c_str(),
                     std::string(size_t(30 - filled), '.').c_str(), percent);
        std::fflush(stderr);
    }
    bool cancelled() override { return false; }

private:
    bool m_shown;
    bool m_drawn = false;
    int m_last = -1;
};

void printFiles(const ExportResult& result) {
    for (const std::string& file : result.files) {
        std::printf("%s\n", file.c_str());
    }
}

int exportSvg(const Document& doc, const ExportArguments& a) {
    if (doc.frameCount() == 0) {
        throw KeltoError("You must create at least one frame before saving an animation");
    }
    const int index = a.frame < 0 ? doc.frameCount() - 1 : a.frame;
    if (index >= doc.frameCount()) {
        throw KeltoError("The animation has no frame " + std::to_string(index));
    }
    SvgScene scene;
    scene.edit = &doc.frames[size_t(index)];
    scene.types = &doc.figureTypes();
    scene.frames = &doc.frames;
    scene.editFrameIndex = index;
    scene.animWidth = doc.animWidth();
    scene.animHeight = doc.animHeight();
    saveSvg(QString::fromStdString(a.out), scene, a.handles);
    std::printf("%s\n", a.out.c_str());
    return 0;
}

} // namespace

int runExport(const std::vector<std::string>& args) {
    const ExportArguments a = parse(args);
    const std::string extension = lowerExtension(a.out);
    const bool picture = extension == ".png" || extension == ".jpg" || extension == ".jpeg";
    const std::optional<VideoFormat> video = videoFormatForExtension(extension);
    if (extension != ".gif" && extension != ".avi" && extension != ".svg" && !picture && !video) {
        throw CliUsageError(
            "OUT must end in .gif, .avi, .png, .jpg, .jpeg, .svg, .mp4, .webm, .apng or .webp");
    }
    const Document doc = loadAnimation(a.in);
    if (extension == ".svg") {
        return exportSvg(doc, a);
    }
    if (doc.frameCount() == 0) {
        throw KeltoError("You must create at least one frame before saving an animation");
    }
    const std::string base = removeExtension(a.out);
    TerminalProgress progress;
    if (picture || a.sequence) {
        ImageSequenceOptions options;
        options.resize = a.resize;
        options.superSample = a.superSample;
        options.format = extension == ".png"   ? ImageFormat::Png
                         : extension == ".gif" ? ImageFormat::Gif
                                               : ImageFormat::Jpeg;
        options.quality = a.quality < 0 ? kJpegQualityRange.fallback : a.quality;
        options.saveRepeats = !a.noRepeats;
        printFiles(exportImageSequence(doc, base, options, progress));
    } else if (video) {
        VideoExportOptions options;
        options.resize = a.resize;
        options.superSample = a.superSample;
        options.format = *video;
        options.quality = *video == VideoFormat::WebP ? a.quality : a.crf;
        options.lossless = a.lossless;
        options.loop = !a.noLoop;
        printFiles(exportVideo(doc, base, options, doc.frameRate, progress));
    } else if (extension == ".gif") {
        const GifDefaults defaults = gifDefaultsFor(doc);
        GifExportOptions options;
        options.resize = a.resize;
        options.superSample = a.superSample;
        options.colours = a.colours < 0 ? defaults.colours : ColourReduction(a.colours);
        options.dither = a.dither < 0 ? defaults.dither : DitherMode(a.dither);
        options.optimisePalette = a.palette;
        options.mergeFrames = a.mergeFrames;
        options.crop = a.crop;
        printFiles(exportGif(doc, base, options, doc.frameRate, progress));
    } else {
        AviExportOptions options;
        options.resize = a.resize;
        options.superSample = a.superSample;
        options.compress = !a.codec.empty();
        options.codec = a.codec;
        printFiles(exportAvi(doc, base, options, doc.frameRate, progress));
    }
    return 0;
}

} // namespace kelto
