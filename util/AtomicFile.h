// Replacing a file without ever leaving a half-written one where a good one was: the bytes go to
// a temporary file in the same folder, which is renamed over the old file once complete.
#pragma once

#include <string>
#include <string_view>

namespace pagewick {

// False (and the old file untouched) when the temporary file cannot be written or renamed.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace pagewick
