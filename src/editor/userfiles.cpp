#include "editor/userfiles.h"

#include <QFile>

namespace kelto {

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace kelto
