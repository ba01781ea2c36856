// SHA-256, used to compare extracted bytes with published listings.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace pagewick {

class Sha256 {
public:
    Sha256();
    void Update(const void* data, size_t size);
    std::array<uint8_t, 32> Finish();

    // Lower-case hex digest of one byte range.
    static std::string Hex(const void* data, size_t size);

private:
    void Block(const uint8_t* p);
    uint32_t h_[8];
    uint8_t buffer_[64];
    size_t used_ = 0;
    uint64_t total_ = 0;
};

}  // namespace pagewick
