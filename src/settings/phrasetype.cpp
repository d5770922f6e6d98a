#include "settings/phrasetype.h"

#include <array>

namespace kelto {

namespace {

struct PhraseEntry {
    std::string_view key;
    const char* english;
};

constexpr std::array<PhraseEntry, PhraseCount> phraseEntries{{
#define KELTO_PHRASE_ENTRY(key, text) {#key, text},
    KELTO_PHRASES(KELTO_PHRASE_ENTRY)
#undef KELTO_PHRASE_ENTRY
}};

const PhraseEntry& entry(PhraseType phrase) {
    const int value = static_cast<int>(phrase);
    // Out-of-range values can only come from a cast in the caller; answer with the first entry
    // rather than reading past the table.
    if (value < 0 || value >= PhraseCount) {
        return phraseEntries[0];
    }
    return phraseEntries[static_cast<std::size_t>(value)];
}

} // namespace

std::string_view phraseKeyName(PhraseType phrase) {
    return entry(phrase).key;
}

std::optional<PhraseType> phraseFromKeyName(std::string_view name) {
    for (int i = 0; i < PhraseCount; ++i) {
        if (phraseEntries[static_cast<std::size_t>(i)].key == name) {
            return static_cast<PhraseType>(i);
        }
    }
    return std::nullopt;
}

QString englishPhrase(PhraseType phrase) {
    return QString::fromUtf8(entry(phrase).english);
}

std::optional<PhraseType> phraseFromValue(int value) {
    if (value < 0 || value >= PhraseCount) {
        return std::nullopt;
    }
    return static_cast<PhraseType>(value);
}

} // namespace kelto
