#include "document/filesave.h"

#include "document/messages.h"
#include "settings/errorreporter.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kelto {

void writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes) {
    // QSaveFile writes "name.XXXXXX" beside the target and renames it on commit.
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        throw KeltoError("Could not write " + path + ": " + file.errorString().toStdString());
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        file.cancelWriting();
        throw KeltoError("Could not write " + path + ": " + file.errorString().toStdString());
    }
    if (!file.commit()) {
        throw KeltoError("Could not write " + path + ": " + file.errorString().toStdString());
    }
}

std::vector<uint8_t> readWholeFile(const std::string& path) {
    const QString name = QString::fromStdString(path);
    if (!QFileInfo(name).isFile()) {
        throw KeltoError(kMsgFileDoesNotExist);
    }
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        throw KeltoError("Could not read " + path + ": " + file.errorString().toStdString());
    }
    const QByteArray all = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw KeltoError("Could not read " + path + ": " + file.errorString().toStdString());
    }
    return std::vector<uint8_t>(all.begin(), all.end());
}

} // namespace kelto
