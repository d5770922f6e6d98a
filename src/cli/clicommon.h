#pragma once

// What every kelto-cli command shares: usage errors, the options for progress and output
// places, batches of input files, progress on the terminal and stopping on Ctrl+C.
#include "export/exportoptions.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelto {

// Exit codes, as the help and the manual give them.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Bad command-line use: the caller prints the message and a pointer to the command's help,
// and exits with kExitUsage.
struct CliUsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The option lines every command that writes files accepts, for the help texts.
extern const char* const kOutputOptionsHelp;

enum class ProgressMode { Auto, Quiet, Forced };

// Where the outputs of a command go and how it reports: -o OUT (one input; "-" is standard
// output), --out-dir DIR, or beside each input; --quiet, --progress.
struct OutputOptions {
    std::vector<std::string> inputs;
    std::string out;
    std::string outDir;
    ProgressMode progress = ProgressMode::Auto;

    bool toStdout() const { return out == "-"; }
};

// Takes args[i] (and its value) when it is one of the shared options or an input file;
// returns false for anything else. Throws CliUsageError for a shared option without value.
bool takeOutputOption(const std::vector<std::string>& args, size_t& i, OutputOptions& o);
// Throws CliUsageError unless there is an input and the outputs can be named: several inputs
// cannot share one -o.
void checkOutputOptions(const OutputOptions& o, const std::string& command);

// The output for input: -o's value, else the input's name with the given extension (".png"),
// in --out-dir when given, else beside the input.
std::string outputPathFor(const OutputOptions& o, const std::string& input,
                          const std::string& extension);

// Runs job(input) for every input. A failure is reported on stderr naming the file it is about
// and the batch goes on with the next input; Ctrl+C stops it. Returns the exit code.
int runBatch(const OutputOptions& o, const std::function<void(const std::string&)>& job);

// Writes bytes to standard output; throws KeltoError when that fails.
void writeStdout(const void* data, size_t size);
// Copies a finished file to standard output.
void copyFileToStdout(const std::string& path);

// The message for a frame number the file does not have: "walk.kel has no frame 40; frames
// are 0..31".
std::string frameOutOfRange(const std::string& path, long long frame, int frameCount);

// A whole number option value from low to high, else CliUsageError.
int wholeNumberOption(const std::string& option, const std::string& text, int low, int high);

// While one exists, Ctrl+C (and SIGTERM) ask the running export to stop instead of ending the
// program; a second Ctrl+C ends it at once.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    static bool interrupted();
};

// Progress of one file's export on stderr: frames done of the total, the percentage and the
// time left, redrawn on one line. Shown when stderr is a terminal, or always with --progress;
// never with --quiet. Cancels when Ctrl+C was pressed.
class TerminalProgress : public ExportProgress {
public:
    TerminalProgress(ProgressMode mode, int totalFrames, std::string label);
    ~TerminalProgress() override;
    void setProgress(int percent) override;
    bool cancelled() override;

private:
    bool m_shown;
    bool m_terminal;
    int m_total;
    std::string m_label;
    int m_last = -1;
    bool m_drawn = false;
    std::chrono::steady_clock::time_point m_start;
};

} // namespace kelto
