#include "cli/exportcommand.h"

#include "base/error.h"
#include "document/kelformat.h"
#include "export/rasterexport.h"
#include "export/svgexport.h"
#include "export/videoexport.h"
#include "export/videowriter.h"
#include "graphics/imagecodecs.h"
#include "settings/atomicfile.h"

#include <QString>
#include <QTemporaryDir>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace kelto {

const char* const kExportUsage =
    "  export FILE.kel -o OUT [options]\n"
    "  export FILE.kel... --format EXT [--out-dir DIR] [options]\n"
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
    "      --handles                   SVG: draw the handles too\n"
    "      --format EXT                the kind of output when OUT does not say it: for\n"
    "                                  several inputs, or with -o - (gif, avi, svg, ...)\n"
    "      --threads N                 threads that draw frames, 1..256 (one per core)\n";

namespace {

struct ExportArguments {
    OutputOptions files;
    std::string format; // an extension with its dot, or empty: OUT's
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
    int threads = kExportThreadsRange.fallback;
    std::string codec;
};

ExportArguments parse(const std::vector<std::string>& args) {
    ExportArguments a;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        auto value = [&](int low, int high) {
            return wholeNumberOption(arg, args[++i], low, high);
        };
        if (arg == "--format" && hasValue) {
            a.format = "." + args[++i];
            if (a.format.starts_with("..")) {
                a.format.erase(0, 1);
            }
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
        } else if (arg == "--threads" && hasValue) {
            a.threads = value(1, kExportThreadsRange.maximum);
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
        } else if (!takeOutputOption(args, i, a.files)) {
            throw CliUsageError("unexpected argument '" + arg + "'");
        }
    }
    checkOutputOptions(a.files, "export");
    if (a.format.empty() && (a.files.out.empty() || a.files.toStdout())) {
        throw CliUsageError(a.files.toStdout()
                                ? "-o - needs --format EXT to say what to write"
                                : "export needs -o OUT, or --format EXT to name each output "
                                  "after its input");
    }
    if (!a.format.empty() && !a.files.out.empty() && !a.files.toStdout()) {
        throw CliUsageError("--format is for -o - and outputs named after their inputs; "
                            "OUT's extension says the kind");
    }
    for (char& c : a.format) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return a;
}

void printFiles(const ExportResult& result) {
    for (const std::string& file : result.files) {
        std::printf("%s\n", file.c_str());
    }
}

ExportResult exportSvg(const Document& doc, const ExportArguments& a, const std::string& in,
                       const std::string& out) {
    if (doc.frameCount() == 0) {
        throw KeltoError(ErrorCode::NoFramesToSave);
    }
    const int index = a.frame < 0 ? doc.frameCount() - 1 : a.frame;
    if (index >= doc.frameCount()) {
        throw KeltoError(frameOutOfRange(in, index, doc.frameCount()));
    }
    SvgScene scene;
    scene.edit = &doc.frames[size_t(index)];
    scene.types = &doc.figureTypes();
    scene.frames = &doc.frames;
    scene.editFrameIndex = index;
    scene.animWidth = doc.animWidth();
    scene.animHeight = doc.animHeight();
    saveSvg(QString::fromStdString(out), scene, a.handles);
    ExportResult result;
    result.files.push_back(out);
    return result;
}

bool isPicture(const std::string& extension) {
    return extension == ".png" || extension == ".jpg" || extension == ".jpeg";
}

// The extension that decides the kind of output; throws CliUsageError for unknown ones.
std::string outputKind(const ExportArguments& a) {
    const std::string extension = a.format.empty() ? lowerExtension(a.files.out) : a.format;
    if (extension != ".gif" && extension != ".avi" && extension != ".svg" &&
        !isPicture(extension) && !videoFormatForExtension(extension)) {
        throw CliUsageError(
            "OUT must end in .gif, .avi, .png, .jpg, .jpeg, .svg, .mp4, .webm, .apng or .webp");
    }
    return extension;
}

// Exports one animation to out; the kind follows extension.
ExportResult exportOne(const ExportArguments& a, const std::string& extension,
                       const std::string& in, const std::string& out) {
    const Document doc = loadAnimation(in);
    if (extension == ".svg") {
        return exportSvg(doc, a, in, out);
    }
    if (doc.frameCount() == 0) {
        throw KeltoError(ErrorCode::NoFramesToSave);
    }
    const std::string base = removeExtension(out);
    TerminalProgress progress(a.files.progress, doc.frameCount(), in);
    ExportResult result;
    if (isPicture(extension) || a.sequence) {
        ImageSequenceOptions options;
        options.resize = a.resize;
        options.superSample = a.superSample;
        options.threads = a.threads;
        options.format = extension == ".png"   ? ImageFormat::Png
                         : extension == ".gif" ? ImageFormat::Gif
                                               : ImageFormat::Jpeg;
        options.quality = a.quality < 0 ? kJpegQualityRange.fallback : a.quality;
        options.saveRepeats = !a.noRepeats;
        result = exportImageSequence(doc, base, options, progress);
    } else if (const std::optional<VideoFormat> video = videoFormatForExtension(extension)) {
        VideoExportOptions options;
        options.resize = a.resize;
        options.superSample = a.superSample;
        options.format = *video;
        options.quality = *video == VideoFormat::WebP ? a.quality : a.crf;
        options.lossless = a.lossless;
        options.loop = !a.noLoop;
        result = exportVideo(doc, base, options, doc.frameRate, progress);
    } else if (extension == ".gif") {
        const GifDefaults defaults = gifDefaultsFor(doc);
        GifExportOptions options;
        options.resize = a.resize;
        options.superSample = a.superSample;
        options.threads = a.threads;
        options.colours = a.colours < 0 ? defaults.colours : ColourReduction(a.colours);
        options.dither = a.dither < 0 ? defaults.dither : DitherMode(a.dither);
        options.optimisePalette = a.palette;
        options.mergeFrames = a.mergeFrames;
        options.crop = a.crop;
        result = exportGif(doc, base, options, doc.frameRate, progress);
    } else {
        AviExportOptions options;
        options.resize = a.resize;
        options.superSample = a.superSample;
        options.threads = a.threads;
        options.compress = !a.codec.empty();
        options.codec = a.codec;
        result = exportAvi(doc, base, options, doc.frameRate, progress);
    }
    return result;
}

// -o -: the export goes to a file in a private folder, which is then copied out, so that the
// bytes are those a file export writes.
void exportToStdout(const ExportArguments& a, const std::string& extension, const std::string& in) {
    QTemporaryDir folder;
    if (!folder.isValid()) {
        throw KeltoError("No temporary folder could be made for -o -");
    }
    const std::string out = folder.filePath(QStringLiteral("out")).toStdString() + extension;
    const ExportResult result = exportOne(a, extension, in, out);
    if (result.cancelled) {
        throw KeltoError("Stopped; nothing was written");
    }
    if (result.files.size() != 1) {
        throw KeltoError("-o - takes a single output, but this export writes " +
                         std::to_string(result.files.size()) + " files");
    }
    copyFileToStdout(result.files.front());
}

} // namespace

int runExport(const std::vector<std::string>& args) {
    const ExportArguments a = parse(args);
    const std::string extension = outputKind(a);
    if (a.files.toStdout() && (isPicture(extension) || a.sequence)) {
        throw CliUsageError("-o - takes a single output; picture sequences write one per frame");
    }
    InterruptGuard interrupt;
    return runBatch(a.files, [&](const std::string& in) {
        if (a.files.toStdout()) {
            exportToStdout(a, extension, in);
            return;
        }
        const ExportResult result =
            exportOne(a, extension, in, outputPathFor(a.files, in, extension));
        printFiles(result);
        if (result.cancelled) {
            throw KeltoError(result.files.empty()
                                 ? "Stopped; nothing was written"
                                 : "Stopped; the " + std::to_string(result.files.size()) +
                                       " complete pictures listed were written");
        }
    });
}

} // namespace kelto
