#pragma once

#include <QString>
#include <QStringList>

namespace kelto {

class IniFile;

// The animations opened or saved last, newest first. A path appears once (compared after
// making it absolute and clean), and the list keeps at most maxCount entries, so the menu
// built from it stays short however long the program runs.
class RecentFiles {
public:
    static constexpr int maxCount = 8;
    static inline const QString section = QStringLiteral("Kelto.RecentFiles");

    RecentFiles() = default;
    // Takes paths in order, newest first; empty and repeated entries are dropped, the rest cut
    // to maxCount.
    explicit RecentFiles(const QStringList& paths);

    // Puts path first, taking it out of its older place.
    void add(const QString& path);
    // Takes path out (a file that could no longer be opened).
    void remove(const QString& path);
    void clear() { m_paths.clear(); }

    const QStringList& paths() const { return m_paths; }
    bool isEmpty() const { return m_paths.isEmpty(); }

    // The list from the section of its own in a settings file: keys File1..File8 in order.
    // Missing or empty keys are skipped, so a hand-edited file with gaps still reads.
    static RecentFiles fromIni(const IniFile& ini);
    // Writes the keys File1.. of the section; nothing at all when the list is empty, so the
    // file of someone who never opened an animation keeps only the main section.
    void toIni(IniFile& ini) const;

    friend bool operator==(const RecentFiles&, const RecentFiles&) = default;

private:
    static QString normalised(const QString& path);
    qsizetype indexOf(const QString& path) const;

    QStringList m_paths;
};

} // namespace kelto
