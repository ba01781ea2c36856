// A LIT file held in memory, read through the container's callback; counts and can fail reads.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/lit/LitContainer.h"

namespace pagewick::test {

struct MemoryFile {
    std::vector<uint8_t> bytes;
    int reads = 0;
    int failAfter = -1;  // fail every read once this many have succeeded (-1: never)

    explicit MemoryFile(std::vector<uint8_t> b) : bytes(std::move(b)) {}

    static bool Read(void* user, uint32_t offset, uint32_t count, std::vector<uint8_t>& out) {
        auto* self = static_cast<MemoryFile*>(user);
        if (self->failAfter >= 0 && self->reads >= self->failAfter) return false;
        if (uint64_t(offset) + count > self->bytes.size()) return false;
        ++self->reads;
        out.assign(self->bytes.begin() + offset, self->bytes.begin() + offset + count);
        return true;
    }
    int Open(LitContainer& lit) { return lit.LitOpen(&Read, this, uint32_t(bytes.size())); }
};

}  // namespace pagewick::test
