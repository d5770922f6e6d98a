#include "base/error.h"

#include <atomic>
#include <cstdio>

namespace kelto {

namespace {

std::atomic<RecoveredFailureHandler> g_recoveredHandler{nullptr};

std::string withDetailInBrackets(const char* sentence, const std::string& detail) {
    return detail.empty() ? std::string(sentence) : std::string(sentence) + " (" + detail + ")";
}

} // namespace

std::string englishMessage(ErrorCode code, const std::string& detail) {
    switch (code) {
    case ErrorCode::General:
        return detail;
    case ErrorCode::FileDoesNotExist:
        return kMsgFileDoesNotExist;
    case ErrorCode::FileTypeWrong:
        return kMsgFileTypeWrong;
    case ErrorCode::KelNotCompatible:
        return kMsgKelNotCompatible;
    case ErrorCode::StkNotCompatible:
        return kMsgStkNotCompatible;
    case ErrorCode::BadKelFile:
        return withDetailInBrackets(kMsgBadKelFile, detail);
    case ErrorCode::BadStkFile:
        return withDetailInBrackets(kMsgBadStkFile, detail);
    case ErrorCode::KelTooLarge:
        return detail.empty()
                   ? std::string(kMsgKelTooLarge)
                   : std::string(kMsgKelTooLarge) + ": it holds more than " + detail + " figures";
    case ErrorCode::TooManyFrames:
        return kMsgTooManyFrames;
    case ErrorCode::TooManyFigureTypes:
        return kMsgTooManyFigureTypes;
    case ErrorCode::TooManyBackgrounds:
        return kMsgTooManyBackgrounds;
    case ErrorCode::NoFramesToSave:
        return kMsgNoFramesToSave;
    case ErrorCode::AnimationSize:
        return kMsgAnimationSize;
    case ErrorCode::WriteFailed:
        return "Could not write " + detail;
    case ErrorCode::ReadFailed:
        return "Cannot read " + detail;
    }
    return detail;
}

KeltoError::KeltoError(const std::string& message)
    : std::runtime_error(message), m_code(ErrorCode::General), m_detail(message) {}

KeltoError::KeltoError(ErrorCode code, std::string detail)
    : std::runtime_error(englishMessage(code, detail)), m_code(code), m_detail(std::move(detail)) {}

void setRecoveredFailureHandler(RecoveredFailureHandler handler) {
    g_recoveredHandler = handler;
}

void noteRecoveredFailure(const std::exception& failure, const char* tag) {
    if (const RecoveredFailureHandler handler = g_recoveredHandler) {
        handler(failure, tag);
        return;
    }
    std::fprintf(stderr, "%s in %s\n", failure.what(), tag);
}

} // namespace kelto
