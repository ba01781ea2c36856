#include "util/Sha256.h"

#include <sha2.h>

#include <cstdint>

namespace pagewick {

std::string Sha256::Hex(const void* data, size_t size) {
    char hex[SHA256_DIGEST_STRING_LENGTH];
    SHA256Data(static_cast<const uint8_t*>(data), size, hex);
    return hex;
}

}  // namespace pagewick
