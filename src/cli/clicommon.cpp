#include "cli/clicommon.h"

#include "base/error.h"
#include "document/kelformat.h"
#include "report/errortext.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kelto {

const char* const kOutputOptionsHelp =
    "      -o OUT                      the output file; '-' writes it to standard output\n"
    "      --out-dir DIR               with one or more inputs: write each output into DIR,\n"
    "                                  named after its input (default: beside the input)\n"
    "      --quiet                     no progress on stderr\n"
    "      --progress                  progress on stderr even when it is not a terminal\n";

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onInterrupt(int signal) {
    g_interrupted = 1;
    // A second Ctrl+C ends the program the ordinary way.
    std::signal(signal, SIG_DFL);
}

std::string baseNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string duration(double seconds) {
    const long s = std::lround(std::max(0.0, seconds));
    char text[32];
    if (s >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    }
    return text;
}

} // namespace

bool takeOutputOption(const std::vector<std::string>& args, size_t& i, OutputOptions& o) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string& {
        if (i + 1 >= args.size()) {
            throw CliUsageError(arg + " needs a value");
        }
        return args[++i];
    };
    if (arg == "-o") {
        o.out = value();
    } else if (arg == "--out-dir") {
        o.outDir = value();
    } else if (arg == "--quiet" || arg == "-q") {
        o.progress = ProgressMode::Quiet;
    } else if (arg == "--progress") {
        o.progress = ProgressMode::Forced;
    } else if (!arg.starts_with("-") || arg == "-") {
        o.inputs.push_back(arg);
    } else {
        return false;
    }
    return true;
}

void checkOutputOptions(const OutputOptions& o, const std::string& command) {
    if (o.inputs.empty()) {
        throw CliUsageError(command + " needs an input file");
    }
    if (!o.out.empty() && o.inputs.size() > 1) {
        throw CliUsageError("-o names one output; for several inputs use --out-dir DIR or none");
    }
    if (!o.out.empty() && !o.outDir.empty()) {
        throw CliUsageError("-o and --out-dir cannot be used together");
    }
}

std::string outputPathFor(const OutputOptions& o, const std::string& input,
                          const std::string& extension) {
    if (!o.out.empty()) {
        return o.out;
    }
    const std::string name = removeExtension(baseNameOf(input)) + extension;
    if (o.outDir.empty()) {
        return folderOf(input) + name;
    }
    return o.outDir.ends_with('/') ? o.outDir + name : o.outDir + "/" + name;
}

int runBatch(const OutputOptions& o, const std::function<void(const std::string&)>& job) {
    int code = kExitDone;
    for (const std::string& input : o.inputs) {
        if (InterruptGuard::interrupted()) {
            return kExitFailed;
        }
        try {
            job(input);
        } catch (const CliUsageError&) {
            throw;
        } catch (const std::exception& e) {
            // Every failure says which input it is about; one about an output names that
            // file too.
            const std::string message = errorMessage(e).toStdString();
            const bool named = message.find(input) != std::string::npos;
            std::fprintf(stderr, "kelto-cli: %s%s\n", named ? "" : (input + ": ").c_str(),
                         message.c_str());
            code = kExitFailed;
        }
    }
    return code;
}

void writeStdout(const void* data, size_t size) {
    if (std::fwrite(data, 1, size, stdout) != size || std::fflush(stdout) != 0) {
        throw KeltoError(std::string("Could not write to standard output: ") +
                         std::strerror(errno));
    }
}

void copyFileToStdout(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        throw KeltoError(path + ": " + std::strerror(errno));
    }
    std::vector<char> buffer(size_t(1) << 16);
    size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) {
        writeStdout(buffer.data(), got);
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        throw KeltoError(path + ": could not be read back");
    }
}

std::string frameOutOfRange(const std::string& path, long long frame, int frameCount) {
    if (frameCount <= 0) {
        return path + " has no frames";
    }
    return path + " has no frame " + std::to_string(frame) + "; frames are 0.." +
           std::to_string(frameCount - 1);
}

int wholeNumberOption(const std::string& option, const std::string& text, int low, int high) {
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

InterruptGuard::InterruptGuard() {
    g_interrupted = 0;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

InterruptGuard::~InterruptGuard() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool InterruptGuard::interrupted() {
    return g_interrupted != 0;
}

TerminalProgress::TerminalProgress(ProgressMode mode, int totalFrames, std::string label)
    : m_terminal(isatty(STDERR_FILENO) != 0), m_total(std::max(1, totalFrames)),
      m_label(std::move(label)), m_start(std::chrono::steady_clock::now()) {
    m_shown = mode == ProgressMode::Forced || (mode == ProgressMode::Auto && m_terminal);
}

TerminalProgress::~TerminalProgress() {
    if (m_shown && m_drawn && m_terminal) {
        std::fputs("\r\033[K", stderr); // the terminal gets its line back
    }
}

void TerminalProgress::setProgress(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (!m_shown || percent == m_last) {
        return;
    }
    m_last = percent;
    m_drawn = true;
    const int done = int(std::lround(double(percent) * m_total / 100));
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    const std::string left = percent > 0 ? duration(elapsed * (100 - percent) / percent) : "?";
    // On a terminal the line is redrawn in place; elsewhere each state is a line of its own.
    std::fprintf(stderr, "%s%s: frame %d of %d, %3d%%, %s left%s", m_terminal ? "\r\033[K" : "",
                 m_label.c_str(), done, m_total, percent, left.c_str(), m_terminal ? "" : "\n");
    std::fflush(stderr);
}

bool TerminalProgress::cancelled() {
    return InterruptGuard::interrupted();
}

} // namespace kelto
