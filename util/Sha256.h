// SHA-256 digests (through libmd), used to compare extracted bytes with the listings of the test
// data and to print them from the command-line tool.
#pragma once

#include <cstddef>
#include <string>

namespace pagewick {

struct Sha256 {
    // Lower-case hex digest of one byte range.
    static std::string Hex(const void* data, size_t size);
};

}  // namespace pagewick
