#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>
#include <vector>

namespace kelto {

// A small INI document for the settings file and the language files. It keeps sections and
// keys in the order they were read or added, so a written file lists them exactly as built.
// Section and key lookups ignore case, as INI readers traditionally do; the first occurrence
// of a repeated key wins.
class IniFile {
public:
    // Files larger than this are refused rather than read into memory.
    static constexpr qint64 maxFileBytes = 4 * 1024 * 1024;

    // Parses file contents. The bytes are taken as UTF-8 when they are valid UTF-8 (a leading
    // byte-order mark is skipped), else as 8-bit Latin-1 text.
    static IniFile fromBytes(const QByteArray& bytes);

    // Reads a file whole. nullopt when it does not exist; throws KeltoError when it exists but
    // cannot be read or is larger than maxFileBytes.
    static std::optional<IniFile> load(const QString& path);

    // UTF-8 text, one "key=value" line per entry, a blank line between sections.
    QByteArray toBytes() const;

    // Writes a temporary file beside path and renames it over path, so a failed save never
    // destroys the previous file. Throws KeltoError on failure.
    void save(const QString& path) const;

    std::optional<QString> value(const QString& section, const QString& key) const;

    // Replaces the value of an existing key, else appends the key (and the section if new).
    void setValue(const QString& section, const QString& key, const QString& value);

    QStringList sectionNames() const;
    QStringList keys(const QString& section) const;

private:
    struct Entry {
        QString key;
        QString value;
    };
    struct Section {
        QString name;
        std::vector<Entry> entries;
        QHash<QString, std::size_t> index; // case-folded key -> entry
    };

    // Index of the section, or -1; addSection returns the existing one when present.
    qsizetype findSection(const QString& name) const;
    qsizetype addSection(const QString& name);
    void parseLine(QStringView line, qsizetype& current);

    // Lookups are hashed so that a hostile file with many keys still parses in linear time.
    std::vector<Section> m_sections;
    QHash<QString, qsizetype> m_sectionIndex; // case-folded name -> section
};

} // namespace kelto
