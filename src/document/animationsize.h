#pragma once

#include <cstdint>

namespace kelto {

// The animation sizes every part of the program keeps to: the reader accepts them, the writer
// refuses anything else, and every command that sets a size (the options, a background's own
// size, a paste into an empty document, the settings read at start) stays inside them, so
// whatever the program makes it can open again. The area bounds the editor's layers and every
// background, which all have at least the animation's size.
inline constexpr int32_t kMinAnimationSide = 1;
inline constexpr int32_t kMaxAnimationSide = 32767;
inline constexpr int64_t kMaxAnimationArea = int64_t(1) << 26; // 8192 x 8192

constexpr bool isAnimationSizeAllowed(int64_t width, int64_t height) {
    return width >= kMinAnimationSide && height >= kMinAnimationSide &&
           width <= kMaxAnimationSide && height <= kMaxAnimationSide &&
           width * height <= kMaxAnimationArea;
}

// The range per side that the options dialog and the settings file offer; their area is
// checked against the limit above as well.
inline constexpr int kMinOptionsSide = 10;
inline constexpr int kMaxOptionsSide = 10000;

} // namespace kelto
