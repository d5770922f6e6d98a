#pragma once

#include "settings/phraselist.h"

#include <QString>

#include <optional>
#include <string_view>

namespace kelto {

// Every user-visible caption, hint and message, addressed by key. The member names are the
// keys of language files and the values are stored in undo records, so the list in
// phraselist.h is the single source of both.
enum class PhraseType : int {
#define KELTO_PHRASE_MEMBER(key, text) key,
    KELTO_PHRASES(KELTO_PHRASE_MEMBER)
#undef KELTO_PHRASE_MEMBER
};

inline constexpr int PhraseCount = 0
#define KELTO_PHRASE_COUNT(key, text) +1 // NOLINT(bugprone-macro-parentheses): one term of a sum
    KELTO_PHRASES(KELTO_PHRASE_COUNT)
#undef KELTO_PHRASE_COUNT
    ;

// The key of a phrase in language files: the member's own name.
std::string_view phraseKeyName(PhraseType phrase);

// The phrase whose key is name (exact spelling), if any.
std::optional<PhraseType> phraseFromKeyName(std::string_view name);

// The built-in English text of a phrase.
QString englishPhrase(PhraseType phrase);

// Phrase by numeric value, for values read from records; nullopt outside 0..PhraseCount-1.
std::optional<PhraseType> phraseFromValue(int value);

} // namespace kelto
