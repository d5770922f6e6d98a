#pragma once

#include "cli/clicommon.h"

#include <string>
#include <vector>

namespace kelto {

extern const char* const kTweenHelp;

// kelto-cli tween IN.kel --from A --to B --count N [--ease linear|in|out|in-out] -o OUT.kel:
// N in-betweens from frame A's pose towards frame B's, inserted directly after A. Returns the
// exit code; throws CliUsageError for bad use and KeltoError when the file cannot be read,
// does not hold the frames or cannot be written.
int runTween(const std::vector<std::string>& args);

} // namespace kelto
