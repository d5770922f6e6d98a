#pragma once

#include "settings/appsettings.h"

#include <QString>

namespace kelto {

// The settings file: one section of twelve keys, written in a fixed order, booleans as 1/0.
// Values outside their accepted range, unreadable values and missing keys take their
// defaults on reading, so a damaged file can never start the program in a bad state.

inline constexpr const char* settingsFileName = "Kelto.ini";
inline constexpr const char* settingsSection = "Kelto.Settings";

// settingsFolder() + "Kelto.ini".
QString settingsFilePath();

// The defaults, with the animation and figure-type folders under the program's data folders.
AppSettings defaultSettings();

// Reads a settings file. A missing file gives the defaults; a file that exists but cannot be
// read is reported through the error reporter and also gives the defaults.
AppSettings readSettings(const QString& path);

// Writes all twelve keys (temporary file, then rename); creates the folder when missing.
// Throws KeltoError when the file cannot be written.
void writeSettings(const AppSettings& settings, const QString& path);

// The Language value exactly as stored, empty when the key or the file is missing. An empty
// result means the user has never chosen a language.
QString storedLanguage(const QString& path);

// The program-wide instance appSettings() from and to settingsFilePath().
void loadSettings();
void saveSettings();

} // namespace kelto
