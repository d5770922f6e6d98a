#include "settings/datafolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kelto {

namespace {

const QString appFolderName = QStringLiteral("Kelto Animator");

QString withSlash(QString folder) {
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    return folder;
}

bool isWritableFolder(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

} // namespace

QString programFolder() {
    if (QCoreApplication::instance() != nullptr) {
        return withSlash(QCoreApplication::applicationDirPath());
    }
    // Without an application object (core tests, tools) the link to the running binary still
    // tells where it lies.
    const QFileInfo exe(QStringLiteral("/proc/self/exe"));
    return withSlash(QFileInfo(exe.canonicalFilePath()).absolutePath());
}

QString userDataFolder() {
    return withSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) +
           appFolderName + QLatin1Char('/');
}

QString defaultLanguagesFolder() {
    const QString beside = programFolder() + QStringLiteral("languages/");
    const bool usable =
        QFileInfo::exists(beside) ? isWritableFolder(beside) : isWritableFolder(programFolder());
    return usable ? beside : userDataFolder() + QStringLiteral("languages/");
}

QString defaultDataFolder(const QString& name) {
    const QString beside = programFolder() + name;
    if (QFileInfo(beside).isDir()) {
        return withSlash(beside);
    }
    const QString installed = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                     appFolderName + QLatin1Char('/') + name,
                                                     QStandardPaths::LocateDirectory);
    if (!installed.isEmpty()) {
        return withSlash(installed);
    }
    return userDataFolder() + name + QLatin1Char('/');
}

} // namespace kelto
