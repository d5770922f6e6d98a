#include "report/errortext.h"

#include "settings/multilang.h"

namespace kelto {

std::optional<PhraseType> errorPhrase(ErrorCode code, bool hasDetail) {
    switch (code) {
    case ErrorCode::General:
        return std::nullopt;
    case ErrorCode::FileDoesNotExist:
        return PhraseType::MFileNotExist;
    case ErrorCode::FileTypeWrong:
        return PhraseType::MFileTypeWrong;
    case ErrorCode::KelNotCompatible:
        return PhraseType::KelWrongVer;
    case ErrorCode::StkNotCompatible:
        return PhraseType::StkWrongVer;
    case ErrorCode::BadKelFile:
        return PhraseType::MBadKelFile;
    case ErrorCode::BadStkFile:
        return PhraseType::MBadStkFile;
    case ErrorCode::KelTooLarge:
        return hasDetail ? PhraseType::MKelTooLargeFigures : PhraseType::MKelTooLarge;
    case ErrorCode::TooManyFrames:
        return PhraseType::MNoMoreFrames;
    case ErrorCode::TooManyFigureTypes:
        return PhraseType::NoMoreFigType;
    case ErrorCode::TooManyBackgrounds:
        return PhraseType::MNoMoreBack;
    case ErrorCode::NoFramesToSave:
        return PhraseType::MNoFrames;
    case ErrorCode::AnimationSize:
        return PhraseType::MAnimSize;
    case ErrorCode::WriteFailed:
        return PhraseType::MWriteFailed;
    case ErrorCode::ReadFailed:
        return PhraseType::MReadFailed;
    }
    return std::nullopt;
}

QString errorMessage(ErrorCode code, const std::string& detail) {
    const std::optional<PhraseType> phrase = errorPhrase(code, !detail.empty());
    if (!phrase) {
        return QString::fromStdString(englishMessage(code, detail));
    }
    QString text = getPhrase(*phrase);
    // A damaged file without a detail (never made by the readers) reads as the bare sentence.
    if ((code == ErrorCode::BadKelFile || code == ErrorCode::BadStkFile) && detail.empty()) {
        return text.remove(QStringLiteral(" (%1)"));
    }
    // Phrases without a placeholder leave the detail out, as their English does.
    return text.contains(QStringLiteral("%1")) ? text.arg(QString::fromStdString(detail)) : text;
}

QString errorMessage(const std::exception& failure) {
    if (const auto* error = dynamic_cast<const KeltoError*>(&failure)) {
        return errorMessage(error->code(), error->detail());
    }
    return QString::fromStdString(failure.what());
}

} // namespace kelto
