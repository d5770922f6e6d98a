#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace kelto {

// Bad command-line use: the caller prints the message and the usage text, and exits with 2.
struct CliUsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

extern const char* const kExportUsage;

// kelto-cli export FILE.kel -o OUT [options]: the kind follows OUT's extension. Prints the
// files written, one per line. Throws CliUsageError or KeltoError.
int runExport(const std::vector<std::string>& args);

} // namespace kelto
