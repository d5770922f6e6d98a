// The shipped translations: complete, read by the program's own reader, and keeping what the
// windows rely on (accelerators, distinct keys on one panel).
#include "settings/inifile.h"
#include "settings/multilang.h"
#include "settings/phrasetype.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <set>

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

TEST(GermanLanguageFile, HoldsEveryKeyOnceAndNothingElse) {
    const std::optional<IniFile> ini = IniFile::load(shippedLanguage("Deutsch"));
    ASSERT_TRUE(ini.has_value());
    ASSERT_EQ(ini->sectionNames(), QStringList{MultiLang::section});

    const QStringList keys = ini->keys(MultiLang::section);
    EXPECT_EQ(keys.size(), PhraseCount); // the reader keeps only the first of repeated keys
    for (const QString& key : keys) {
        EXPECT_TRUE(phraseFromKeyName(key.toStdString()).has_value())
            << "unknown key " << key.toStdString();
    }
    for (int i = 0; i < PhraseCount; ++i) {
        const std::optional<QString> text = ini->value(MultiLang::section, keyOf(i));
        ASSERT_TRUE(text.has_value()) << "missing " << keyOf(i).toStdString();
        EXPECT_FALSE(text->trimmed().isEmpty()) << keyOf(i).toStdString();
        // A caption with an accelerator in English keeps exactly one in German, and a text
        // without one does not gain a stray "&" that would underline a letter.
        const bool englishHasOne = englishPhrase(static_cast<PhraseType>(i)).count(u'&') == 1;
        EXPECT_EQ(text->count(u'&'), englishHasOne ? 1 : 0) << keyOf(i).toStdString();
    }
}

TEST(GermanLanguageFile, AcceleratorsOfOneWindowDiffer) {
    const std::optional<IniFile> ini = IniFile::load(shippedLanguage("Deutsch"));
    ASSERT_TRUE(ini.has_value());
    const std::vector<std::vector<const char*>> windows = {
        {"MPlayCap", "MStopCap", "MBackCap", "MAddFigCap", "MAddFrameCap"}, // main tool panel
        {"ODefaultCap", "OKBitCap", "CancelBitCap"},                        // options dialog
        {"GAdvancedCap", "OKBitCap", "CancelBitCap"},                       // GIF options
    };
    for (const auto& window : windows) {
        std::set<QChar> seen;
        for (const char* key : window) {
            const QChar letter =
                accelerator(ini->value(MultiLang::section, QLatin1String(key)).value_or(QString()));
            ASSERT_FALSE(letter.isNull()) << key;
            EXPECT_TRUE(seen.insert(letter).second) << key << " repeats an accelerator";
        }
    }
}

// The placeholders of a phrase ("%1", "%2") as a set: a translation may reorder them but must
// keep each, or the detail of a message or a number of a status line is lost.
std::set<QString> placeholders(const QString& text) {
    std::set<QString> found;
    for (qsizetype at = text.indexOf(u'%'); at >= 0 && at + 1 < text.size();
         at = text.indexOf(u'%', at + 1)) {
        if (text[at + 1].isDigit()) {
            found.insert(text.mid(at, 2));
        }
    }
    return found;
}

TEST(GermanLanguageFile, KeepsEveryPlaceholder) {
    const std::optional<IniFile> ini = IniFile::load(shippedLanguage("Deutsch"));
    ASSERT_TRUE(ini.has_value());
    for (int i = 0; i < PhraseCount; ++i) {
        const QString german = ini->value(MultiLang::section, keyOf(i)).value_or(QString());
        EXPECT_EQ(placeholders(german), placeholders(englishPhrase(static_cast<PhraseType>(i))))
            << keyOf(i).toStdString();
    }
}

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
