#pragma once

#include <QString>

namespace kelto {

// Folders of the program's own files. All results end with a slash.

// The folder of the running executable.
QString programFolder();

// The user's data folder for files the program writes when the program folder is not
// writable: the XDG data folder + "Kelto Animator/".
QString userDataFolder();

// Folder of the language files: "languages/" in the program folder when that can be written
// (or created), else in the user's data folder.
QString defaultLanguagesFolder();

// Default folder for one kind of the program's data files ("animations", "stick figures"):
// beside the executable when present, else the installed data folder when present, else the
// user's data folder.
QString defaultDataFolder(const QString& name);

} // namespace kelto
