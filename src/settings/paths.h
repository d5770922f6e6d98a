#pragma once

#include <QString>

namespace kelto {

// Folder of the settings file and the error log, with a trailing slash:
// $KELTO_CONFIG_DIR when set, else the user's configuration folder + "Kelto Animator/".
QString settingsFolder();

} // namespace kelto
