#include "settings/recentfiles.h"

#include "settings/inifile.h"

#include <QDir>
#include <QFileInfo>

namespace kelto {

namespace {

QString keyOf(int position) {
    return QStringLiteral("File") + QString::number(position + 1);
}

} // namespace

RecentFiles::RecentFiles(const QStringList& paths) {
    // Oldest first, so each add() puts the newer one in front of it.
    for (auto it = paths.crbegin(); it != paths.crend(); ++it) {
        add(*it);
    }
}

QString RecentFiles::normalised(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

qsizetype RecentFiles::indexOf(const QString& path) const {
    return m_paths.indexOf(normalised(path));
}

void RecentFiles::add(const QString& path) {
    if (path.trimmed().isEmpty()) {
        return;
    }
    remove(path);
    m_paths.prepend(normalised(path));
    while (m_paths.size() > maxCount) {
        m_paths.removeLast();
    }
}

void RecentFiles::remove(const QString& path) {
    const qsizetype at = indexOf(path);
    if (at >= 0) {
        m_paths.removeAt(at);
    }
}

RecentFiles RecentFiles::fromIni(const IniFile& ini) {
    QStringList paths;
    for (int i = 0; i < maxCount; ++i) {
        const QString value = ini.value(section, keyOf(i)).value_or(QString());
        if (!value.trimmed().isEmpty()) {
            paths.append(value);
        }
    }
    return RecentFiles(paths);
}

void RecentFiles::toIni(IniFile& ini) const {
    for (int i = 0; i < int(m_paths.size()); ++i) {
        ini.setValue(section, keyOf(i), m_paths[i]);
    }
}

} // namespace kelto
