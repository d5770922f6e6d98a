#include "settings/multilang.h"

#include "base/error.h"
#include "settings/inifile.h"

#include <QDir>
#include <QFileInfo>

namespace kelto {

namespace {

QString keyName(int value) {
    const std::string_view key = phraseKeyName(static_cast<PhraseType>(value));
    return QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
}

// Language names come from the settings file and the dialogs; one naming another folder
// ("../x") would read files outside the languages folder.
bool isPlainName(const QString& name) {
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\') &&
           name != QLatin1String(".") && name != QLatin1String("..");
}

} // namespace

MultiLang::MultiLang() {
    m_defaultPhrases.reserve(PhraseCount);
    for (int i = 0; i < PhraseCount; ++i) {
        m_defaultPhrases.push_back(englishPhrase(static_cast<PhraseType>(i)));
    }
    m_phrases = m_defaultPhrases;
}

void MultiLang::openFolder(const QString& folder) {
    m_folder = folder.endsWith(u'/') ? folder : folder + u'/';
    QDir().mkpath(m_folder);
    if (!QFileInfo::exists(languageFile(english))) {
        writeDefaultLanguageFile();
    }
}

QString MultiLang::languageFile(const QString& name) const {
    return m_folder + name + QStringLiteral(".ini");
}

QString MultiLang::getPhrase(PhraseType phrase) const {
    const auto value = static_cast<std::size_t>(phrase);
    return value < m_phrases.size() ? m_phrases[value] : QString();
}

QString MultiLang::defaultPhrase(PhraseType phrase) const {
    const auto value = static_cast<std::size_t>(phrase);
    return value < m_defaultPhrases.size() ? m_defaultPhrases[value] : QString();
}

QStringList MultiLang::listLanguages() const {
    QStringList names;
    if (m_folder.isEmpty()) {
        return names;
    }
    const QDir dir(m_folder);
    const QStringList files = dir.entryList({QStringLiteral("*.ini")},
                                            QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& file : files) {
        // Only names setLanguage can open again: the match must be exact on this file system.
        if (file.endsWith(QLatin1String(".ini")) && file.size() > 4) {
            names.append(file.chopped(4));
        }
    }
    return names;
}

bool MultiLang::setLanguage(const QString& name) {
    if (name == m_currentLanguage || !isPlainName(name)) {
        return false;
    }
    std::vector<QString> phrases = m_defaultPhrases;
    if (name != english) {
        if (m_folder.isEmpty() || !QFileInfo::exists(languageFile(name))) {
            return false;
        }
        std::optional<IniFile> ini;
        try {
            ini = IniFile::load(languageFile(name));
        } catch (const std::exception& e) {
            noteRecoveredFailure(e, "SetLanguage");
            return false;
        }
        if (!ini) {
            return false;
        }
        for (int i = 0; i < PhraseCount; ++i) {
            if (std::optional<QString> text = ini->value(section, keyName(i))) {
                phrases[static_cast<std::size_t>(i)] = std::move(*text);
            }
        }
    }
    m_phrases = std::move(phrases);
    if (m_apply) {
        m_apply();
    }
    m_currentLanguage = name;
    return true;
}

void MultiLang::writeDefaultLanguageFile() const {
    IniFile ini;
    for (int i = 0; i < PhraseCount; ++i) {
        ini.setValue(section, keyName(i), m_defaultPhrases[static_cast<std::size_t>(i)]);
    }
    ini.save(languageFile(english));
}

MultiLang& multiLang() {
    static MultiLang table;
    return table;
}

QString getPhrase(PhraseType phrase) {
    return multiLang().getPhrase(phrase);
}

} // namespace kelto
