// Opens the input as a LIT book and fetches every directory entry (decoding its sections).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/lit/LitContainer.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    static bool Read(void* user, uint32_t offset, uint32_t count, std::vector<uint8_t>& out) {
        auto* in = static_cast<Input*>(user);
        if (uint64_t(offset) + count > in->size) return false;
        out.assign(in->data + offset, in->data + offset + count);
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input{data, size};
    pagewick::LitContainer lit;
    if (lit.LitOpen(&Input::Read, &input, uint32_t(size)) != 0) return 0;
    std::vector<uint8_t> bytes;
    uint32_t entrySize = 0;
    for (const auto& e : lit.Entries()) {
        lit.LitGetEntry(e.name, nullptr, &entrySize);
        lit.LitGetEntry(e.name, &bytes, nullptr);
    }
    return 0;
}
