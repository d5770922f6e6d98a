// The shipped translations, each of them: complete, read by the program's own reader, and
// keeping what the windows rely on (placeholders, accelerators, distinct keys on one panel).
#include "settings/inifile.h"
#include "settings/multilang.h"
#include "settings/phrasetype.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <QRegularExpression>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace kelto {
namespace {

QString shippedLanguage(const char* name) {
    const std::filesystem::path source = KELTO_SOURCE_DIR;
    return QString::fromStdString(
        (source / "resources" / "languages" / (std::string(name) + ".ini"))
            .lexically_normal()
            .string());
}

QString keyOf(int value) {
    const std::string_view key = phraseKeyName(static_cast<PhraseType>(value));
    return QString::fromLatin1(key.data(), qsizetype(key.size()));
}

// The letter after the single "&", lower-cased; 0 when the text has none.
QChar accelerator(const QString& text) {
    const qsizetype at = text.indexOf(u'&');
    return at >= 0 && at + 1 < text.size() ? text[at + 1].toLower() : QChar();
}

// Every language file shipped in resources/languages, by name without ".ini".
std::vector<std::string> shippedLanguages() {
    const std::filesystem::path folder =
        std::filesystem::path(KELTO_SOURCE_DIR) / "resources" / "languages";
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".ini") {
            names.push_back(entry.path().stem().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The placeholders of a text ("%1", "%2"), each once, in number order.
std::set<int> placeholders(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("%(\\d+)"));
    std::set<int> found;
    for (const QRegularExpressionMatch& m : pattern.globalMatch(text)) {
        found.insert(m.captured(1).toInt());
    }
    return found;
}

std::string describe(const std::set<int>& numbers) {
    std::string text;
    for (int n : numbers) {
        text += " %" + std::to_string(n);
    }
    return text.empty() ? " none" : text;
}

class ShippedLanguage : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        std::optional<IniFile> file = IniFile::load(shippedLanguage(GetParam().c_str()));
        ASSERT_TRUE(file.has_value()) << GetParam() << ".ini cannot be read";
        m_ini = std::move(*file);
    }
    QString text(const QString& key) const {
        return m_ini.value(MultiLang::section, key).value_or(QString());
    }
    IniFile m_ini;
};

TEST(ShippedLanguages, GermanFrenchAndSpanishAreThere) {
    const std::vector<std::string> names = shippedLanguages();
    for (const char* name : {"Deutsch", "Espa\xc3\xb1ol",
                             "Fran\xc3\xa7"
                             "ais"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    }
}

// One line per phrase of the table, so a phrase added to the program without its
// translation fails here, naming the keys to add and their English text.
TEST_P(ShippedLanguage, HoldsEveryPhraseAndNoUnknownKey) {
    ASSERT_EQ(m_ini.sectionNames(), QStringList{MultiLang::section});
    std::string missing;
    for (int i = 0; i < PhraseCount; ++i) {
        const QString key = keyOf(i);
        if (!m_ini.value(MultiLang::section, key).has_value()) {
            missing += "\n  " + key.toStdString() + "=" +
                       englishPhrase(static_cast<PhraseType>(i)).toStdString();
        }
    }
    EXPECT_TRUE(missing.empty()) << GetParam() << ".ini lacks these phrases (English text shown; "
                                 << "add each key with its translation):" << missing;

    std::string unknown;
    for (const QString& key : m_ini.keys(MultiLang::section)) {
        if (!phraseFromKeyName(key.toStdString())) {
            unknown += " " + key.toStdString();
        }
    }
    EXPECT_TRUE(unknown.empty()) << GetParam()
                                 << ".ini has keys the program does not know:" << unknown;
    // The reader keeps only the first of repeated keys, so a repeat would hide a translation.
    EXPECT_EQ(m_ini.keys(MultiLang::section).size(), PhraseCount)
        << GetParam() << ".ini repeats a key";
}

TEST_P(ShippedLanguage, TextsKeepPlaceholdersAndAccelerators) {
    for (int i = 0; i < PhraseCount; ++i) {
        const QString key = keyOf(i);
        const std::optional<QString> translated = m_ini.value(MultiLang::section, key);
        if (!translated) {
            continue; // reported by HoldsEveryPhraseAndNoUnknownKey
        }
        const QString english = englishPhrase(static_cast<PhraseType>(i));
        EXPECT_FALSE(translated->trimmed().isEmpty()) << GetParam() << ": " << key.toStdString();
        // "%1 to %2" filled in by the program: every number the English text has, no other.
        EXPECT_EQ(placeholders(*translated), placeholders(english))
            << GetParam() << ": " << key.toStdString() << " has"
            << describe(placeholders(*translated)) << " where English has"
            << describe(placeholders(english));
        // A caption with an accelerator in English keeps exactly one, and a text without one
        // does not gain a stray "&" that would underline a letter.
        const bool englishHasOne = english.count(u'&') == 1;
        EXPECT_EQ(translated->count(u'&'), englishHasOne ? 1 : 0)
            << GetParam() << ": " << key.toStdString();
    }
    // Qt's own texts are looked up by this code.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[a-z]{2,3}(_[A-Z]{2})?$"))
                    .match(text(QStringLiteral("LangLocale")))
                    .hasMatch())
        << GetParam() << ": LangLocale";
}

TEST_P(ShippedLanguage, AcceleratorsOfOneWindowDiffer) {
    const std::vector<std::vector<const char*>> windows = {
        {"MPlayCap", "MStopCap", "MBackCap", "MAddFigCap", "MAddFrameCap"}, // main tool panel
        {"ODefaultCap", "OKBitCap", "CancelBitCap"},                        // options dialog
        {"GAdvancedCap", "OKBitCap", "CancelBitCap"},                       // GIF options
    };
    for (const auto& window : windows) {
        std::set<QChar> seen;
        for (const char* key : window) {
            const QChar letter = accelerator(text(QLatin1String(key)));
            ASSERT_FALSE(letter.isNull()) << GetParam() << ": " << key;
            EXPECT_TRUE(seen.insert(letter).second)
                << GetParam() << ": " << key << " repeats an accelerator";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(, ShippedLanguage, ::testing::ValuesIn(shippedLanguages()),
                         [](const ::testing::TestParamInfo<std::string>& language) {
                             // Test names take ASCII letters only.
                             std::string name;
                             for (char c : language.param) {
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

TEST(GermanLanguageFile, SwitchesThePhraseTableAndBack) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(
        QFile::copy(shippedLanguage("Deutsch"), dir.filePath(QStringLiteral("Deutsch.ini"))));

    MultiLang table;
    table.openFolder(dir.path());
    EXPECT_EQ(table.listLanguages(), (QStringList{QStringLiteral("Deutsch"), MultiLang::english}));
    ASSERT_TRUE(table.setLanguage(QStringLiteral("Deutsch")));
    // Umlauts survive the file's UTF-8 and the reader.
    EXPECT_EQ(table.getPhrase(PhraseType::MFExit), QStringLiteral("Beenden"));
    EXPECT_EQ(table.getPhrase(PhraseType::BClose), QStringLiteral("Schließen"));
    EXPECT_EQ(table.getPhrase(PhraseType::MAddFigCap), QStringLiteral("Neue &Figur"));
    ASSERT_TRUE(table.setLanguage(MultiLang::english));
    EXPECT_EQ(table.getPhrase(PhraseType::BClose), QStringLiteral("Close"));
}

} // namespace
} // namespace kelto
