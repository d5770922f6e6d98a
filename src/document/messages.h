#pragma once

#include <cstddef>
#include <string>

namespace kelto {

// The document's and the file readers' own messages, in their default English wording. The
// editor looks up the translated phrase by the same text.
inline constexpr const char* kMsgFileDoesNotExist = "That file does not exist";
inline constexpr const char* kMsgStkNotCompatible =
    "That .stk file is not compatible with this version of Kelto";
inline constexpr const char* kMsgKelNotCompatible =
    "That .kel file is not compatible with this version of Kelto";
inline constexpr const char* kMsgTooManyFrames = "You cannot add any more frames";
inline constexpr const char* kMsgTooManyFigureTypes = "You cannot add any more figure types";
inline constexpr const char* kMsgTooManyBackgrounds = "You cannot load any more backgrounds";
inline constexpr const char* kMsgV2Conversion =
    "Some data had to be modified when converting to the Kelto V2 STK format";
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

// "That .kel file is too large to open: it holds more than 1,234 figures".
std::string tooLargeMessage(size_t figures);

// The detail of a damaged-file message without the sentence around it: "(joint number out of
// range)" from "That .stk file is damaged (joint number out of range)"; other text unchanged.
// A record read inside another file reports its fault as that file's, with this detail.
std::string damageDetail(const std::string& message);

} // namespace kelto
