#pragma once

#include "settings/phrasetype.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace kelto {

// The phrase table: every caption, hint and message by key, built-in English or read from a
// language file "<name>.ini" (section "Language", one line per key) in the languages folder.
// Texts are fetched at the moment of use, so a language switch affects later messages at once.
class MultiLang {
public:
    // Built-in English, no languages folder yet: usable before the folder is known and in
    // tests that must not touch the file system.
    MultiLang();

    // Takes folder (created when missing) as the languages folder and writes the English
    // template there when it is missing. Throws KeltoError when the template cannot be written.
    void openFolder(const QString& folder);

    QString languagesFolder() const { return m_folder; }
    QString currentLanguage() const { return m_currentLanguage; }

    QString getPhrase(PhraseType phrase) const;
    QString defaultPhrase(PhraseType phrase) const;

    // Names of the language files in the folder (file names without ".ini"), sorted by name.
    QStringList listLanguages() const;

    // Switches to the named language. False, with nothing changed, when it is already current,
    // when its file is missing or unreadable (the latter reported) or the name is not a plain
    // file name. Keys the file lacks keep their English text. Runs the apply handler on success.
    bool setLanguage(const QString& name);

    // Writes "English.ini" with every key and its English text: the translators' template.
    void writeDefaultLanguageFile() const;

    // Called by setLanguage after the phrases changed, so the windows take the new texts.
    void setApplyHandler(std::function<void()> apply) { m_apply = std::move(apply); }

    static inline const QString english = QStringLiteral("English");
    static inline const QString section = QStringLiteral("Language");

private:
    QString languageFile(const QString& name) const;

    std::vector<QString> m_defaultPhrases;
    std::vector<QString> m_phrases;
    QString m_folder;
    QString m_currentLanguage = english;
    std::function<void()> m_apply;
};

// The program's one phrase table.
MultiLang& multiLang();

// Shorthand for multiLang().getPhrase(phrase).
QString getPhrase(PhraseType phrase);

} // namespace kelto
