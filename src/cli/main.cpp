// kelto-cli: the command-line face of the same core the editor uses.
#include "cli/exportcommand.h"
#include "cli/infojson.h"
#include "document/filesave.h"
#include "document/kelformat.h"
#include "document/messages.h"
#include "document/stkformat.h"
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

const char* const kUsage =
    "usage: kelto-cli COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  info FILE                       describe a .kel or .stk file as JSON\n"
    "  render FILE.kel -o OUT.png [--frame N] [--zoom Z]\n"
    "                                  draw one frame (default the first) as a PNG picture\n"
    "  convert IN.stk -o OUT.stk [--v2]\n"
    "                                  rewrite a figure type in the current or V2 form\n"
    "  paths                           show where the program finds its shipped files, as JSON\n"
    "  help                            show this text\n";

struct UsageError {
    std::string what;
};

int usage(FILE* to, int code) {
    std::fputs(kUsage, to);
    std::fputs(kExportUsage, to);
    return code;
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
int runInfo(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        throw UsageError{"info takes one file"};
    }
    const std::string& path = args[0];
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

int runConvert(const std::vector<std::string>& args) {
    std::string in;
    std::string out;
    bool v2 = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size()) {
            out = args[++i];
        } else if (args[i] == "--v2") {
            v2 = true;
        } else if (in.empty() && !args[i].starts_with("-")) {
            in = args[i];
        } else {
            throw UsageError{"unexpected argument '" + args[i] + "'"};
        }
    }
    if (in.empty() || out.empty()) {
        throw UsageError{"convert needs an input file and -o OUT"};
    }
    const FigureType type = loadStkFile(in);
    if (!v2) {
        saveStkFile(type, out);
    } else if (saveStkFileV2(type, out)) {
        std::fprintf(stderr, "kelto-cli: %s\n", kMsgV2Conversion);
    }
    return 0;
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
    throw UsageError{option + " needs a number"};
}

int runRender(const std::vector<std::string>& args) {
    std::string in;
    std::string out;
    double frameNumber = 0;
    double zoom = 1;
    for (size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "-o" && hasValue) {
            out = args[++i];
        } else if (args[i] == "--frame" && hasValue) {
            frameNumber = numberArgument("--frame", args[++i]);
        } else if (args[i] == "--zoom" && hasValue) {
            zoom = numberArgument("--zoom", args[++i]);
        } else if (in.empty() && !args[i].starts_with("-")) {
            in = args[i];
        } else {
            throw UsageError{"unexpected argument '" + args[i] + "'"};
        }
    }
    if (in.empty() || out.empty()) {
        throw UsageError{"render needs an animation file and -o OUT.png"};
    }
    if (frameNumber != std::floor(frameNumber) || !(zoom > 0 && zoom <= 64)) {
        throw UsageError{"--frame takes a whole number and --zoom a factor above 0 up to 64"};
    }
    const Document doc = loadAnimation(in);
    if (frameNumber < 0 || frameNumber >= doc.frameCount()) {
        throw KeltoError("The animation has no frame " +
                         std::to_string(static_cast<long long>(frameNumber)));
    }
    const int64_t width = std::llround(zoom * doc.animWidth());
    const int64_t height = std::llround(zoom * doc.animHeight());
    checkBitmapSize(width, height);
    Bitmap picture(int(width), int(height), PixelFormat::Bits32);
    drawFrame(picture, doc.frames[size_t(frameNumber)], doc.figureTypes(), doc.backgrounds(),
              doc.animWidth(), doc.animHeight(), zoom);
    writeFileReplacing(out, encodePng(picture));
    return 0;
}

// The shipped files as an installed program finds them; the install test checks that they all
// lie in the install tree.
int runPaths(const std::vector<std::string>& args) {
    if (!args.empty()) {
        throw UsageError{"paths takes no arguments"};
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

int run(int argc, char* argv[]) {
    if (argc < 2) {
        return usage(stderr, 2);
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "help" || command == "--help" || command == "-h") {
            return usage(stdout, 0);
        }
        if (command == "info") {
            return runInfo(args);
        }
        if (command == "render") {
            return runRender(args);
        }
        if (command == "convert") {
            return runConvert(args);
        }
        if (command == "paths") {
            return runPaths(args);
        }
        if (command == "export") {
            return runExport(args);
        }
        throw UsageError{"unknown command '" + command + "'"};
    } catch (const UsageError& e) {
        std::fprintf(stderr, "kelto-cli: %s\n", e.what.c_str());
        return usage(stderr, 2);
    } catch (const CliUsageError& e) {
        std::fprintf(stderr, "kelto-cli: %s\n", e.what());
        return usage(stderr, 2);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kelto-cli: %s\n", e.what());
        return 1;
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
