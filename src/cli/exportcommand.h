#pragma once

#include "cli/clicommon.h"

#include <string>
#include <vector>

namespace kelto {

extern const char* const kExportUsage;

// kelto-cli export FILE.kel... [-o OUT | --format EXT [--out-dir DIR]] [options]: the kind
// follows OUT's extension (or --format). Prints the files written, one per line, unless the
// output goes to standard output. Returns the exit code; throws CliUsageError.
int runExport(const std::vector<std::string>& args);

} // namespace kelto
