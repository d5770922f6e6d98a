#pragma once

#include <QString>

namespace kelto {

// Qt's own texts (the standard buttons of message boxes, the file dialog) follow the chosen
// language: each language file names its locale ("de") and Qt's translation of that name is
// loaded from Qt's translations folder. English, an unknown locale and a missing translation
// leave Qt's English texts.

// Installs the translation of localeCode in place of the one installed before; returns
// whether one is installed now. Codes other than letters with an optional "_REGION" are
// refused, so a language file cannot point the loader at other files.
bool useQtTranslations(const QString& localeCode);

// Where Qt keeps its translations (qtbase_de.qm, ...).
QString qtTranslationsFolder();

} // namespace kelto
