#include "editor/filedrop.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace kelto {

DroppedFileKind droppedFileKind(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("kel")) {
        return DroppedFileKind::Animation;
    }
    if (suffix == QLatin1String("stk")) {
        return DroppedFileKind::FigureType;
    }
    // The formats "Load Background" offers.
    for (const char* picture : {"bmp", "jpg", "jpeg", "gif", "png"}) {
        if (suffix == QLatin1String(picture)) {
            return DroppedFileKind::Picture;
        }
    }
    return DroppedFileKind::Other;
}

QStringList droppedLocalFiles(const QMimeData& data) {
    QStringList files;
    if (!data.hasUrls()) {
        return files;
    }
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) {
            files.append(url.toLocalFile());
        }
    }
    return files;
}

QStringList filesToOpen(const QStringList& dropped) {
    const auto animation = std::find_if(dropped.cbegin(), dropped.cend(), [](const QString& f) {
        return droppedFileKind(f) == DroppedFileKind::Animation;
    });
    if (animation != dropped.cend()) {
        return {*animation};
    }
    QStringList files;
    for (const QString& file : dropped) {
        if (droppedFileKind(file) != DroppedFileKind::Other) {
            files.append(file);
        }
    }
    return files;
}

} // namespace kelto
