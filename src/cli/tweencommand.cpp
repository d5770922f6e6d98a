#include "cli/tweencommand.h"

#include "base/error.h"
#include "document/kelformat.h"
#include "model/tween.h"
#include "settings/atomicfile.h"

#include <optional>

namespace kelto {

const char* const kTweenHelp =
    "  tween IN.kel --from A --to B --count N [--ease E] -o OUT.kel\n"
    "                                  insert N in-betweens (1..100) directly after frame A,\n"
    "                                  moving from A's pose towards frame B's; frames are\n"
    "                                  numbered from 0 as render numbers them, and B may lie\n"
    "                                  before A (a loop back to the start)\n"
    "      --ease E                    linear, in, out or in-out (default linear)\n"
    "      -o OUT.kel                  the animation to write; '-' writes it to standard\n"
    "                                  output\n";

namespace {

// A frame number as typed; whether the file has that frame is checked once it is read.
long long frameArgument(const std::string& option, const std::string& text) {
    try {
        size_t used = 0;
        const long long value = std::stoll(text, &used);
        if (used == text.size()) {
            return value;
        }
    } catch (const std::exception&) {
    }
    throw CliUsageError(option + " takes a frame number");
}

Easing easingArgument(const std::string& text) {
    if (text == "linear") {
        return Easing::Linear;
    }
    if (text == "in") {
        return Easing::In;
    }
    if (text == "out") {
        return Easing::Out;
    }
    if (text == "in-out") {
        return Easing::InOut;
    }
    throw CliUsageError("--ease takes linear, in, out or in-out");
}

struct TweenOptions {
    std::string input;
    std::string out;
    std::optional<long long> from;
    std::optional<long long> to;
    int count = 0;
    Easing easing = Easing::Linear;
};

TweenOptions parseTween(const std::vector<std::string>& args) {
    TweenOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--from" && hasValue) {
            o.from = frameArgument(arg, args[++i]);
        } else if (arg == "--to" && hasValue) {
            o.to = frameArgument(arg, args[++i]);
        } else if (arg == "--count" && hasValue) {
            o.count = wholeNumberOption(arg, args[++i], kMinInbetweens, kMaxInbetweens);
        } else if (arg == "--ease" && hasValue) {
            o.easing = easingArgument(args[++i]);
        } else if (arg == "-o" && hasValue) {
            o.out = args[++i];
        } else if ((!arg.starts_with("-") || arg == "-") && o.input.empty()) {
            o.input = arg;
        } else if (!arg.starts_with("-")) {
            throw CliUsageError("tween takes one animation file");
        } else {
            throw CliUsageError("unexpected argument '" + arg + "'");
        }
    }
    if (o.input.empty()) {
        throw CliUsageError("tween needs an animation file");
    }
    if (!o.from || !o.to || o.count == 0 || o.out.empty()) {
        throw CliUsageError("tween needs --from, --to, --count and -o");
    }
    if (*o.from == *o.to) {
        throw CliUsageError("--from and --to name the same frame");
    }
    return o;
}

// A failure about a file names it, once.
[[noreturn]] void rethrowNaming(const std::string& path, const KeltoError& e) {
    const std::string message = e.what();
    if (message.find(path) != std::string::npos) {
        throw e;
    }
    throw KeltoError(path + ": " + message);
}

} // namespace

int runTween(const std::vector<std::string>& args) {
    const TweenOptions o = parseTween(args);
    Document doc;
    try {
        doc = loadAnimation(o.input);
    } catch (const KeltoError& e) {
        rethrowNaming(o.input, e);
    }
    const int frames = doc.frameCount();
    for (long long frame : {*o.from, *o.to}) {
        if (frame < 0 || frame >= frames) {
            throw KeltoError(frameOutOfRange(o.input, frame, frames));
        }
    }
    if (frames > kMaxFrames - o.count) {
        throw KeltoError(o.input + ": " + std::to_string(o.count) +
                         " more frames would pass the limit of " + std::to_string(kMaxFrames));
    }
    const int from = int(*o.from);
    std::vector<Figures> added = makeInbetweens(doc.frames[size_t(from)], doc.frames[size_t(*o.to)],
                                                doc.figureTypes(), o.count, o.easing);
    doc.frames.insert(doc.frames.begin() + from + 1, std::make_move_iterator(added.begin()),
                      std::make_move_iterator(added.end()));
    const std::vector<uint8_t> bytes = writeKelFile(doc);
    if (o.out == "-") {
        writeStdout(bytes.data(), bytes.size());
        return kExitDone;
    }
    try {
        writeFileReplacing(o.out, bytes);
    } catch (const KeltoError& e) {
        rethrowNaming(o.out, e);
    }
    return kExitDone;
}

} // namespace kelto
