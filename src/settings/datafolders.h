#pragma once

#include <QString>

namespace kelto {

// Folders of the program's own files. All results end with a slash. The functions that look
// for the program's files take the program folder, so the rules can be checked on a made-up
// layout (a folder path ending in a slash); callers use the running executable's folder.

// The folder of the running executable.
QString programFolder();

// The user's data folder for files the program writes when the program folder is not
// writable: the XDG data folder + "Kelto Animator/".
QString userDataFolder();

// The installed data folder: "share/kelto/" of the prefix the executable lies in (prefix/bin/),
// so any install prefix works; else "kelto/" in the system's data folders. Empty when neither
// exists (a build tree, for example).
QString installedDataFolder(const QString& program = programFolder());

// A file or folder the program ships (ReadMe.txt, manual/index.html, ...): beside the executable
// when present, else in the installed data folder; empty when neither holds it.
QString programDataFile(const QString& name, const QString& program = programFolder());

// The manual's first page for the language in use (the Russian manual for Russian, else the
// English one), found like every shipped file; empty when the program ships no manual.
QString manualFile(const QString& language, const QString& program = programFolder());

// Folder of the language files: "languages/" beside the executable when it exists and can be
// written; else the installed one, which holds the English template and the translations; else
// "languages/" created beside the executable when that folder can be written; else in the
// user's data folder.
QString defaultLanguagesFolder(const QString& program = programFolder());

// Default folder for one kind of the program's data files ("animations", "stick figures"):
// beside the executable when present, else the installed data folder when present, else the
// user's data folder.
QString defaultDataFolder(const QString& name, const QString& program = programFolder());

// Whether the folder exists and the program may create files in it.
bool isWritableFolder(const QString& folder);

// The folder a save dialog starts in: the preferred folder when files can be written there,
// else the user's documents folder when it exists and can be written, else the home folder.
// An installed program's sample folders are read-only, and a dialog starting there would
// only fail.
QString writableSaveFolder(const QString& preferred);

// The folder the export dialogs start in: empty (the current folder) while the animations
// folder can be written, else writableSaveFolder's choice.
QString exportStartFolder(const QString& animationsFolder);

// Where a save or export dialog opens for a document stored at documentPath: the document's
// own name (its extension replaced by extension, or dropped when extension is empty) in its
// own folder, or in writableSaveFolder's choice when that folder cannot be written. A document
// without a file (empty documentPath) starts at fallback.
QString documentSaveStart(const QString& documentPath, const QString& extension,
                          const QString& fallback);

} // namespace kelto
