#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelto {

// Names of figure types and backgrounds are stored in files as 8-bit Windows-1252 text behind
// a length byte; the program holds them as UTF-8. These functions are the one place where the
// two meet, so the editor, the pickers, name matching and the command-line tool all see the
// same text.

inline constexpr size_t kMaxStoredNameBytes = 255;

// The UTF-8 text of Windows-1252 bytes. The five codes the code page leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) read as the control characters of the same value, so every byte
// string reads back to itself when written again.
std::string nameFromFileBytes(std::string_view bytes);

// The Windows-1252 bytes of a UTF-8 name, cut to 255 bytes. Characters the code page cannot
// hold (and broken UTF-8) become '?'.
std::string nameToFileBytes(std::string_view utf8);

// Whether every character of a UTF-8 name has a Windows-1252 byte (after composing accents
// typed as separate marks).
bool isStorableName(std::string_view utf8);

// The name as a file will give it back: characters the code page cannot hold replaced by '?'
// and cut to 255 bytes. Names taken from file names go through this before they are matched
// or added, so a saved and reopened document still matches them.
std::string storableName(std::string_view utf8);

} // namespace kelto
