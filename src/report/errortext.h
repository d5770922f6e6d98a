#pragma once

#include "base/error.h"
#include "settings/phrasetype.h"

#include <QString>

#include <exception>
#include <optional>

namespace kelto {

// The phrase that says a code's message; with hasDetail, the one that takes the detail where a
// code has both forms. None for ErrorCode::General, whose detail is the message.
std::optional<PhraseType> errorPhrase(ErrorCode code, bool hasDetail);

// The message a user reads, in the current language: the code's phrase with the detail in
// its placeholder. A KeltoError without a phrase of its own, and any other exception, shows
// its own text.
QString errorMessage(ErrorCode code, const std::string& detail = {});
QString errorMessage(const std::exception& failure);

} // namespace kelto
