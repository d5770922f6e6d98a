#pragma once

#include "settings/recentfiles.h"

#include <string>

namespace kelto {

inline constexpr int kMaxAutosaveSeconds = 3600;

// The program-wide settings values, read directly by the parts that use them. Reading and
// writing the settings file fills and saves this one instance.
struct AppSettings {
    int animWidth = 500;
    int animHeight = 400;
    int numOnion = 0;
    bool onionAhead = false;
    std::string language = "English";
    bool showHandles = true;
    bool shrinkHandlesClose = true;
    int frameRate = 80;
    int minHandleSize = 4; // handle diameters in pixels
    int maxHandleSize = 10;
    std::string kelDir;
    std::string stkDir;
    // Steps the editor's history keeps; stored in a section of its own, written only when it
    // differs from the default so that the main section stays as other copies expect it.
    int undoDepth = 100;
    // The animations opened or saved last, in a section of its own for the same reason.
    RecentFiles recentFiles;
    // Seconds between autosaves, 0 for none; in a section of its own like the undo depth.
    int autosaveSeconds = 60;
};

AppSettings& appSettings();

} // namespace kelto
