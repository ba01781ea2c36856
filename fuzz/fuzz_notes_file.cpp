// Arbitrary bytes as a book's notes file: the reader either refuses them or gives highlights
// that, written out again, read back the same; the set made of them answers for every page.
#include <cstdint>
#include <string_view>

#include "engine/Highlights.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pagewick;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::optional<ParsedHighlights> parsed = ParseHighlights(text, nullptr, 100000);
    if (!parsed) return 0;
    for (const Highlight& h : parsed->items)
        if (h.start < 0 || h.start >= h.end || h.end > 100000) __builtin_trap();
    const std::string written = HighlightsToJson(parsed->items);
    std::optional<ParsedHighlights> again = ParseHighlights(written, nullptr, 100000);
    if (!again || again->dropped != 0 || again->items != parsed->items) __builtin_trap();

    HighlightSet set;
    set.Assign(parsed->items);
    for (int32_t from = 0; from < 100000; from += 9973) {
        auto [first, last] = set.Touching(from, from + 500);
        if (first > last || last > set.All().size()) __builtin_trap();
        for (size_t i = 0; i < set.All().size(); ++i) {
            const Highlight& h = set.All()[i];
            if (h.start < from + 500 && h.end > from && (i < first || i >= last)) __builtin_trap();
        }
    }
    return 0;
}
