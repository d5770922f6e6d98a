// kelto-cli: the command-line face of the same core the editor uses.
#include "settings/errorreporter.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const kUsage = "usage: kelto-cli COMMAND [ARGS]\n"
                           "\n"
                           "commands:\n"
                           "  help            show this text\n";

int usage(FILE* to, int code) {
    std::fputs(kUsage, to);
    return code;
}

} // namespace

int main(int argc, char* argv[]) {
    kelto::ErrorReporter::instance().setDisplayHook(
        [](const std::string& line) { std::fprintf(stderr, "kelto-cli: %s\n", line.c_str()); });
    if (argc < 2) {
        return usage(stderr, 2);
    }
    const std::string command = argv[1];
    if (command == "help" || command == "--help" || command == "-h") {
        return usage(stdout, 0);
    }
    std::fprintf(stderr, "kelto-cli: unknown command '%s'\n", command.c_str());
    return usage(stderr, 2);
}
