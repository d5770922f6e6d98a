#include "settings/datafolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kelto {

namespace {

const QString appFolderName = QStringLiteral("Kelto Animator");
// The folder name under share/ of an installed program.
const QString installName = QStringLiteral("kelto");

QString withSlash(QString folder) {
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    return folder;
}

} // namespace

bool isWritableFolder(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

QString writableSaveFolder(const QString& preferred) {
    if (!preferred.isEmpty() && isWritableFolder(preferred)) {
        return withSlash(preferred);
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && isWritableFolder(documents)) {
        return withSlash(documents);
    }
    return withSlash(QDir::homePath());
}

QString exportStartFolder(const QString& animationsFolder) {
    return isWritableFolder(animationsFolder) ? QString() : writableSaveFolder(animationsFolder);
}

QString documentSaveStart(const QString& documentPath, const QString& extension,
                          const QString& fallback) {
    if (documentPath.isEmpty()) {
        return fallback;
    }
    const QFileInfo document(documentPath);
    const QString name = extension.isEmpty()
                             ? document.completeBaseName()
                             : document.completeBaseName() + QLatin1Char('.') + extension;
    return writableSaveFolder(document.absolutePath()) + name;
}

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

QString installedDataFolder(const QString& program) {
    const QString relative = QDir::cleanPath(program + QStringLiteral("../share/") + installName);
    if (QFileInfo(relative).isDir()) {
        return withSlash(relative);
    }
    const QString located = QStandardPaths::locate(QStandardPaths::GenericDataLocation, installName,
                                                   QStandardPaths::LocateDirectory);
    return located.isEmpty() ? QString() : withSlash(located);
}

namespace {

enum class Shipped { File, Folder };

// The one rule for finding what the program ships: beside the executable, else in the
// installed data folder. Empty when neither holds it.
QString findShipped(const QString& name, const QString& program, Shipped kind) {
    const auto present = [kind](const QString& path) {
        return kind == Shipped::Folder ? QFileInfo(path).isDir() : QFileInfo::exists(path);
    };
    if (present(program + name)) {
        return program + name;
    }
    const QString installed = installedDataFolder(program);
    if (!installed.isEmpty() && present(installed + name)) {
        return installed + name;
    }
    return {};
}

} // namespace

QString programDataFile(const QString& name, const QString& program) {
    return findShipped(name, program, Shipped::File);
}

QString manualFile(const QString& language, const QString& program) {
    if (language == QLatin1String("Russian")) {
        QString russian = programDataFile(QStringLiteral("manual/index.ru.html"), program);
        if (!russian.isEmpty()) {
            return russian;
        }
    }
    return programDataFile(QStringLiteral("manual/index.html"), program);
}

QString defaultLanguagesFolder(const QString& program) {
    const QString languages = QStringLiteral("languages/");
    QString beside = program + languages;
    if (QFileInfo::exists(beside) && isWritableFolder(beside)) {
        return beside;
    }
    // An installed program finds its translations in the data folder; it is read-only, but it
    // holds the English template, so nothing needs to be written there.
    const QString installed = installedDataFolder(program);
    if (!installed.isEmpty() && QFileInfo(installed + languages).isDir()) {
        return installed + languages;
    }
    if (!QFileInfo::exists(beside) && isWritableFolder(program)) {
        return beside;
    }
    return userDataFolder() + languages;
}

QString defaultDataFolder(const QString& name, const QString& program) {
    const QString shipped = findShipped(name, program, Shipped::Folder);
    return shipped.isEmpty() ? userDataFolder() + name + QLatin1Char('/') : withSlash(shipped);
}

} // namespace kelto
