// make_english: writes the translators' template "English.ini" from the built-in phrase table,
// the same file the program writes into an empty languages folder.
//
//   make_english FOLDER
#include "settings/multilang.h"

#include <QString>

#include <cstdio>
#include <exception>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: make_english FOLDER\n", stderr);
        return 2;
    }
    try {
        kelto::MultiLang table;
        table.openFolder(QString::fromLocal8Bit(argv[1]));
        table.writeDefaultLanguageFile(); // also when an older template is there
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_english: %s\n", e.what());
        return 1;
    }
}
