#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelto {

// Writes the bytes to a temporary file beside path and renames it over path, so a failure at
// any point leaves a previous file of that name as it was. Throws KeltoError on failure.
void writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace kelto
