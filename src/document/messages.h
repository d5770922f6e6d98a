#pragma once

#include "base/error.h"

#include <cstddef>
#include <string>

namespace kelto {

// A warning the V2 figure-type writer gives; not a failure.
inline constexpr const char* kMsgV2Conversion =
    "Some data had to be modified when converting to the Kelto V2 STK format";

// "That .kel file is too large to open: it holds more than 1,234 figures" (the count with
// thousands separators); without figures, the sentence alone.
KeltoError tooLargeError(size_t figures);

// The fault a damaged-file error names without the sentence around it: "joint number out of
// range" from "That .stk file is damaged (joint number out of range)"; the English message of
// any other error. A record read inside another file reports its fault as that file's, with
// this detail.
std::string damageDetail(const KeltoError& error);

} // namespace kelto
