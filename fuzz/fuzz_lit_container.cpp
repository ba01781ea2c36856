// Opens the input as a LIT book and fetches every directory entry (decoding its sections), twice:
// the second round answers from the sections and the failures kept, and must answer the same.
// Only a refusal as malformed may turn into something else: a section too deeply nested when
// reached through another one may load when reached directly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
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
    std::vector<int> results;
    for (const auto& e : lit.Entries()) {
        lit.LitGetEntry(e.name, nullptr, &entrySize);
        results.push_back(lit.LitGetEntry(e.name, &bytes, nullptr));
    }
    size_t i = 0;
    for (const auto& e : lit.Entries()) {
        const int first = results[i++];
        const int again = lit.LitGetEntry(e.name, &bytes, nullptr);
        if (again != first && first != pagewick::kLitMalformed) std::abort();
    }
    return 0;
}
