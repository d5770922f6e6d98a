#include "settings/paths.h"

#include <QStandardPaths>

namespace kelto {

QString settingsFolder() {
    QString folder = qEnvironmentVariable("KELTO_CONFIG_DIR");
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                 QStringLiteral("/Kelto Animator");
    }
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    return folder;
}

} // namespace kelto
