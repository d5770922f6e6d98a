#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kelto {

// What went wrong, for the program to act on and for the app and the CLI to put in the user's
// language. The message a user reads is looked up by code; the detail (a file's fault, a path
// and the system's reason) is filled into it.
enum class ErrorCode : uint8_t {
    General, // the English detail is the whole message
    FileDoesNotExist,
    FileTypeWrong,
    KelNotCompatible,
    StkNotCompatible,
    BadKelFile,  // detail: the fault found ("joint number out of range")
    BadStkFile,  // detail: the fault found
    KelTooLarge, // detail: the number of figures it holds more than, or empty
    TooManyFrames,
    TooManyFigureTypes,
    TooManyBackgrounds,
    NoFramesToSave,
    AnimationSize,
    WriteFailed, // detail: "path: reason"
    ReadFailed,  // detail: "path: reason"
};

// The English sentences, as users have always read them (tests and scripts compare them).
inline constexpr const char* kMsgFileDoesNotExist = "That file does not exist";
inline constexpr const char* kMsgFileTypeWrong = "Incorrect file type";
inline constexpr const char* kMsgStkNotCompatible =
    "That .stk file is not compatible with this version of Kelto";
inline constexpr const char* kMsgKelNotCompatible =
    "That .kel file is not compatible with this version of Kelto";
inline constexpr const char* kMsgTooManyFrames = "You cannot add any more frames";
inline constexpr const char* kMsgTooManyFigureTypes = "You cannot add any more figure types";
inline constexpr const char* kMsgTooManyBackgrounds = "You cannot load any more backgrounds";
inline constexpr const char* kMsgNoFramesToSave =
    "You must create at least one frame before saving an animation";
// Kept in step with the animation size limits of document.h (a test checks the numbers).
inline constexpr const char* kMsgAnimationSize =
    "Animation dimensions must be 1 to 32767 pixels per side and at most 67108864 pixels in "
    "all (8192 x 8192)";
// Damaged files: one clear message whatever the detail.
inline constexpr const char* kMsgBadStkFile = "That .stk file is damaged";
inline constexpr const char* kMsgBadKelFile = "That .kel file is damaged";
// An animation that would need more memory than a file of its size may claim.
inline constexpr const char* kMsgKelTooLarge = "That .kel file is too large to open";

// The English message of a code with its detail: "That .kel file is damaged (empty record)".
std::string englishMessage(ErrorCode code, const std::string& detail);

// The one exception type the core throws. what() is the English message, for logs and for
// tools that print English; the app and the CLI show a translation made from code() and
// detail().
class KeltoError : public std::runtime_error {
public:
    // A failure without a phrase of its own: the English text is the message.
    explicit KeltoError(const std::string& message);
    KeltoError(ErrorCode code, std::string detail = {});

    ErrorCode code() const noexcept { return m_code; }
    const std::string& detail() const noexcept { return m_detail; }

private:
    ErrorCode m_code;
    std::string m_detail;
};

// A failure the core recovers from by itself (an unreadable settings or language file gives
// the defaults) is still the user's to know. The app and the CLI install the handler that
// reports it; without one it goes to standard error.
using RecoveredFailureHandler = void (*)(const std::exception& failure, const char* tag);
void setRecoveredFailureHandler(RecoveredFailureHandler handler);
void noteRecoveredFailure(const std::exception& failure, const char* tag);

} // namespace kelto
