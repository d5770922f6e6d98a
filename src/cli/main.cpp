// kelto-cli: the command-line face of the same core the editor uses.
#include "cli/clicommon.h"
#include "cli/exportcommand.h"
#include "cli/infojson.h"
#include "cli/tweencommand.h"
#include "document/filesave.h"
#include "document/kelformat.h"
#include "document/messages.h"
#include "document/stkformat.h"
#include "export/spritesheet.h"
#include "graphics/bytestream.h"
#include "graphics/imagecodecs.h"
#include "graphics/renderer.h"
#include "settings/datafolders.h"
#include "settings/errorreporter.h"

#include <QJsonDocument>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace kelto {
namespace {

const char* const kCommandsHelp =
    "usage: kelto-cli COMMAND [ARGS]      kelto-cli COMMAND --help      kelto-cli --version\n"
    "\n"
    "commands:\n"
    "  info FILE                       describe a .kel or .stk file as JSON\n"
    "  render FILE.kel... [-o OUT]     draw one frame as a PNG, JPEG or BMP picture\n"
    "  export FILE.kel... [-o OUT]     GIF, AVI, picture sequence or SVG\n"
    "  sheet FILE.kel... [-o OUT.png]  a sprite sheet: one PNG of every frame plus JSON\n"
    "  convert FILE... [-o OUT]        bring a .kel file to version 4, or rewrite a .stk file\n"
    "  tween FILE.kel ... -o OUT.kel   insert in-between frames between two frames\n"
    "  paths                           show where the program finds its shipped files, as JSON\n"
    "  help [COMMAND]                  show this text, or a command's\n";

const char* const kExitCodesHelp =
    "\n"
    "Commands that take FILE... work on each file in turn and write each output beside its\n"
    "input, or into --out-dir DIR. Progress goes to stderr when it is a terminal.\n"
    "\n"
    "exit codes: 0 done, 1 failed (a file could not be read or written, or Ctrl+C stopped\n"
    "it), 2 usage (unknown command or option, missing argument)\n";

const char* const kInfoHelp =
    "  info FILE                       describe a .kel or .stk file as JSON\n";

const char* const kRenderHelp =
    "  render FILE.kel... [-o OUT] [options]\n"
    "                                  draw one frame; OUT's extension picks the picture\n"
    "                                  kind: .png, .jpg/.jpeg or .bmp\n"
    "      --frame N                   the frame to draw, from 0 (default 0)\n"
    "      --zoom Z                    size factor above 0 up to 64 (1)\n"
    "      --format EXT                png, jpg or bmp when OUT does not say it (-o -, or\n"
    "                                  outputs named after their inputs; default png)\n"
    "      --quality Q                 JPEG quality 0..100 (100)\n";

const char* const kSheetHelp =
    "  sheet FILE.kel... [-o OUT.png] [options]\n"
    "                                  every frame in one PNG picture, laid out in a grid,\n"
    "                                  and OUT.json describing each frame's rectangle and\n"
    "                                  duration in ms (the frame-array layout web game\n"
    "                                  engines read)\n"
    "      --trim                      store each frame's drawn part only; the JSON says\n"
    "                                  where it sat in the frame\n"
    "      --merge-repeats             one cell per stored frame lasting all its repeats\n"
    "                                  (default: one cell per repeat)\n"
    "      --columns N                 cells per row of the grid (default: about square)\n"
    "      --resize PCT                frame size in percent, 1..1000 (100)\n"
    "      --supersample K             render K times larger and filter down, 1..4 (2)\n";

const char* const kConvertHelp =
    "  convert FILE... [-o OUT] [--v2]\n"
    "                                  a .kel file of version 2 or 3 is written as version\n"
    "                                  4 (pictures kept byte for byte); a .stk figure type\n"
    "                                  is rewritten in the current form, or with --v2 the\n"
    "                                  older one. Without -o or --out-dir each file is\n"
    "                                  replaced by its converted form\n";

const char* const kPathsHelp =
    "  paths                           show where the program finds its shipped files, as JSON\n";

const char* const kHelpHelp =
    "  help [COMMAND]                  show the commands, or one command's options\n";

void printAllHelp(FILE* to) {
    std::fputs(kCommandsHelp, to);
    std::fputs("\n", to);
    for (const char* text : {kRenderHelp, kExportUsage, kSheetHelp, kConvertHelp, kTweenHelp}) {
        std::fputs(text, to);
    }
    std::fputs("\n  options of render, export, sheet and convert:\n", to);
    std::fputs(kOutputOptionsHelp, to);
    std::fputs(kExitCodesHelp, to);
}

void printJson(const QJsonObject& o) {
    const QByteArray text = QJsonDocument(o).toJson(QJsonDocument::Compact);
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fputc('\n', stdout);
}

bool hasExtension(const std::string& path, const char* extension) {
    const std::string tail = std::string(".") + extension;
    if (path.size() < tail.size()) {
        return false;
    }
    std::string end = path.substr(path.size() - tail.size());
    for (char& c : end) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return end == tail;
}

// A file is told by its content: a .kel file is one zlib stream of a record of version 2..4; a
// V3 .stk file is a zlib stream too, but of a byte and an older-form figure-type record. When it
// is neither, the message is about the kind of file the user named (by its extension, else the
// kind its first byte suggests), and only about that one.
int describeFile(const std::string& path);

int runInfo(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        throw CliUsageError("info takes one file");
    }
    const std::string& path = args[0];
    try {
        return describeFile(path);
    } catch (const KeltoError& e) {
        throw KeltoError(path + ": " + e.what());
    }
}

int describeFile(const std::string& path) {
    const std::vector<uint8_t> bytes = readWholeFile(path);
    if (bytes.empty()) {
        throw KeltoError("The file is empty");
    }
    const bool zlib = bytes[0] == kStkV3FirstByte;
    const bool namedStk = hasExtension(path, "stk");
    const bool namedKel = hasExtension(path, "kel");
    std::string kelError;
    if (zlib || namedKel) {
        try {
            writeDocumentJson(bytes, stdout);
            return 0;
        } catch (const KeltoError& e) {
            kelError = e.what();
        }
    }
    try {
        StkFileInfo info;
        const FigureType type = readStkFile(bytes, &info);
        printJson(describeFigureTypeFile(type, info));
        return 0;
    } catch (const KeltoError& e) {
        const bool stkLikely = namedStk || (!namedKel && !zlib);
        if (stkLikely || kelError.empty()) {
            throw;
        }
    }
    throw KeltoError(kelError);
}

// A .kel file is told by its content (a zlib stream whose record starts with a version byte);
// anything else is taken for a figure type.
bool isKelFile(const std::vector<uint8_t>& bytes) {
    try {
        return isReadableKelVersion(peekKelVersion(bytes));
    } catch (const KeltoError&) {
        return false;
    }
}

int runConvert(const std::vector<std::string>& args) {
    OutputOptions files;
    bool v2 = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--v2") {
            v2 = true;
        } else if (!takeOutputOption(args, i, files)) {
            throw CliUsageError("unexpected argument '" + args[i] + "'");
        }
    }
    checkOutputOptions(files, "convert");
    if (files.toStdout()) {
        throw CliUsageError("convert writes files; -o - is not possible");
    }
    return runBatch(files, [&](const std::string& in) {
        const std::string out = outputPathFor(files, in, lowerExtension(in));
        const std::vector<uint8_t> bytes = readWholeFile(in);
        if (hasExtension(in, "kel") || (!hasExtension(in, "stk") && isKelFile(bytes))) {
            if (v2) {
                throw KeltoError(in + ": --v2 is for .stk figure types, not animations");
            }
            // Reading brings any older version into the current document; writing stores it
            // as version 4, with JPEG backgrounds as the bytes they were read as.
            const Document doc = readKelFile(bytes);
            writeFileReplacing(out, writeKelFile(doc));
        } else {
            const FigureType type = loadStkFile(in);
            if (!v2) {
                saveStkFile(type, out);
            } else if (saveStkFileV2(type, out)) {
                std::fprintf(stderr, "kelto-cli: %s: %s\n", out.c_str(), kMsgV2Conversion);
            }
        }
        std::printf("%s\n", out.c_str());
    });
}

// A number argument; anything else is bad usage.
double numberArgument(const std::string& option, const std::string& text) {
    try {
        size_t used = 0;
        const double value = std::stod(text, &used);
        if (used == text.size() && std::isfinite(value)) {
            return value;
        }
    } catch (const std::exception&) {
    }
    throw CliUsageError(option + " needs a number");
}

enum class PictureKind { Png, Jpeg, Bmp };

PictureKind pictureKindOf(const std::string& extension) {
    if (extension == ".png") {
        return PictureKind::Png;
    }
    if (extension == ".jpg" || extension == ".jpeg") {
        return PictureKind::Jpeg;
    }
    if (extension == ".bmp") {
        return PictureKind::Bmp;
    }
    throw CliUsageError("render writes .png, .jpg, .jpeg or .bmp pictures");
}

std::vector<uint8_t> encodePicture(const Bitmap& picture, PictureKind kind, int quality) {
    if (kind == PictureKind::Png) {
        return encodePng(picture);
    }
    if (kind == PictureKind::Jpeg) {
        return encodeJpeg(picture, quality);
    }
    Bitmap rgb = picture;
    rgb.convertTo(PixelFormat::Bits24);
    ByteWriter writer;
    writeBmp(rgb, writer);
    return writer.bytes();
}

std::string dottedExtension(const std::string& name) {
    std::string extension = name.starts_with(".") ? name : "." + name;
    for (char& c : extension) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension;
}

int runRender(const std::vector<std::string>& args) {
    OutputOptions files;
    double frameNumber = 0;
    double zoom = 1;
    int quality = kJpegQualityRange.fallback;
    std::string format;
    for (size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--frame" && hasValue) {
            frameNumber = numberArgument("--frame", args[++i]);
        } else if (args[i] == "--zoom" && hasValue) {
            zoom = numberArgument("--zoom", args[++i]);
        } else if (args[i] == "--format" && hasValue) {
            format = dottedExtension(args[++i]);
        } else if (args[i] == "--quality" && hasValue) {
            quality = wholeNumberOption("--quality", args[++i], kJpegQualityRange.minimum,
                                        kJpegQualityRange.maximum);
        } else if (!takeOutputOption(args, i, files)) {
            throw CliUsageError("unexpected argument '" + args[i] + "'");
        }
    }
    checkOutputOptions(files, "render");
    if (frameNumber != std::floor(frameNumber) || !(zoom > 0 && zoom <= 64)) {
        throw CliUsageError("--frame takes a whole number and --zoom a factor above 0 up to 64");
    }
    const bool named = !files.out.empty() && !files.toStdout();
    if (named && !format.empty()) {
        throw CliUsageError("--format is for -o - and outputs named after their inputs; "
                            "OUT's extension says the kind");
    }
    const std::string extension =
        !format.empty() ? format : (named ? lowerExtension(files.out) : ".png");
    const PictureKind kind = pictureKindOf(named ? lowerExtension(files.out) : extension);
    return runBatch(files, [&](const std::string& in) {
        const Document doc = loadAnimation(in);
        if (frameNumber < 0 || frameNumber >= doc.frameCount()) {
            throw KeltoError(frameOutOfRange(in, std::llround(frameNumber), doc.frameCount()));
        }
        const int64_t width = std::llround(zoom * doc.animWidth());
        const int64_t height = std::llround(zoom * doc.animHeight());
        checkBitmapSize(width, height);
        Bitmap picture(int(width), int(height), PixelFormat::Bits32);
        drawFrame(picture, doc.frames[size_t(frameNumber)], doc.figureTypes(), doc.backgrounds(),
                  doc.animWidth(), doc.animHeight(), zoom);
        const std::vector<uint8_t> bytes = encodePicture(picture, kind, quality);
        if (files.toStdout()) {
            writeStdout(bytes.data(), bytes.size());
            return;
        }
        const std::string out = outputPathFor(files, in, extension);
        writeFileReplacing(out, bytes);
        if (!named) {
            std::printf("%s\n", out.c_str());
        }
    });
}

int runSheet(const std::vector<std::string>& args) {
    OutputOptions files;
    SpriteSheetOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--trim") {
            options.trim = true;
        } else if (arg == "--merge-repeats") {
            options.mergeRepeats = true;
        } else if (arg == "--columns" && hasValue) {
            options.columns = wholeNumberOption(arg, args[++i], 1, kMaxBitmapSide);
        } else if (arg == "--resize" && hasValue) {
            options.resize =
                wholeNumberOption(arg, args[++i], kResizeRange.minimum, kResizeRange.maximum);
        } else if (arg == "--supersample" && hasValue) {
            options.superSample = wholeNumberOption(arg, args[++i], kSuperSampleRange.minimum,
                                                    kSuperSampleRange.maximum);
        } else if (!takeOutputOption(args, i, files)) {
            throw CliUsageError("unexpected argument '" + arg + "'");
        }
    }
    checkOutputOptions(files, "sheet");
    if (files.toStdout()) {
        throw CliUsageError("sheet writes a picture and a JSON file; -o - is not possible");
    }
    if (!files.out.empty() && lowerExtension(files.out) != ".png") {
        throw CliUsageError("the sprite sheet is a PNG picture: OUT must end in .png");
    }
    InterruptGuard interrupt;
    return runBatch(files, [&](const std::string& in) {
        const Document doc = loadAnimation(in);
        TerminalProgress progress(files.progress, doc.frameCount(), in);
        const ExportResult result = exportSpriteSheet(doc, outputPathFor(files, in, ".png"),
                                                      options, doc.frameRate, progress);
        if (result.cancelled) {
            throw KeltoError("Stopped; nothing was written");
        }
        for (const std::string& file : result.files) {
            std::printf("%s\n", file.c_str());
        }
    });
}

// The shipped files as an installed program finds them; the install test checks that they all
// lie in the install tree.
int runPaths(const std::vector<std::string>& args) {
    if (!args.empty()) {
        throw CliUsageError("paths takes no arguments");
    }
    QJsonObject o;
    o["programFolder"] = programFolder();
    o["manual"] = manualFile(QString());
    o["readMe"] = programDataFile(QStringLiteral("ReadMe.txt"));
    o["languages"] = defaultLanguagesFolder();
    o["animations"] = defaultDataFolder(QStringLiteral("animations"));
    o["stickFigures"] = defaultDataFolder(QStringLiteral("stick figures"));
    printJson(o);
    return 0;
}

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>&);
    std::vector<const char*> help;
};

const std::vector<Command>& commands() {
    static const std::vector<Command> table{
        {"info", runInfo, {kInfoHelp}},
        {"render", runRender, {kRenderHelp, kOutputOptionsHelp}},
        {"export", runExport, {kExportUsage, kOutputOptionsHelp}},
        {"sheet", runSheet, {kSheetHelp, kOutputOptionsHelp}},
        {"convert", runConvert, {kConvertHelp, kOutputOptionsHelp}},
        {"tween", runTween, {kTweenHelp}},
        {"paths", runPaths, {kPathsHelp}},
    };
    return table;
}

const Command* findCommand(const std::string& name) {
    for (const Command& c : commands()) {
        if (name == c.name) {
            return &c;
        }
    }
    return nullptr;
}

int printCommandHelp(const Command& c) {
    std::fputs("usage:\n", stdout);
    for (const char* text : c.help) {
        std::fputs(text, stdout);
    }
    std::fputs(kExitCodesHelp, stdout);
    return kExitDone;
}

// A mistake gets one line and the way to the help, so that it stands out in a script's log.
int usageError(const std::string& message, const std::string& command) {
    std::fprintf(stderr, "kelto-cli: %s\n", message.c_str());
    std::fprintf(stderr, "Try 'kelto-cli %s--help' for more information.\n",
                 command.empty() ? "" : (command + " ").c_str());
    return kExitUsage;
}

int runHelp(const std::vector<std::string>& args) {
    if (args.empty()) {
        printAllHelp(stdout);
        return kExitDone;
    }
    const Command* c = args.size() == 1 ? findCommand(args[0]) : nullptr;
    if (c == nullptr) {
        return usageError("no help for '" + args[0] + "': not a command", "");
    }
    return printCommandHelp(*c);
}

int run(int argc, char* argv[]) {
    if (argc < 2) {
        return usageError("a command is needed", "");
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "help" || command == "--help" || command == "-h") {
        return runHelp(args);
    }
    if (command == "--version" || command == "version") {
        std::printf("kelto-cli %s (Kelto Animator)\n", KELTO_VERSION);
        return kExitDone;
    }
    const Command* c = findCommand(command);
    if (c == nullptr) {
        return usageError("unknown command '" + command + "'", "");
    }
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            return printCommandHelp(*c);
        }
    }
    try {
        return c->run(args);
    } catch (const CliUsageError& e) {
        return usageError(e.what(), command);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kelto-cli: %s\n", e.what());
        return kExitFailed;
    }
}

} // namespace
} // namespace kelto

int main(int argc, char* argv[]) {
    kelto::ignoreFileSizeSignal();
    kelto::ErrorReporter::instance().setDisplayHook([](const std::string& message) {
        std::fprintf(stderr, "kelto-cli: %s\n", message.c_str());
    });
    return kelto::run(argc, argv);
}
