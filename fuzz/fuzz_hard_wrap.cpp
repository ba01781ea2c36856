// Any text (the bytes read as UTF-8, so every 16-bit character can occur) through the hard-wrap
// rule: it ends, and its verdict agrees with its own figures.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "typography/HardWrap.h"
#include "util/Utf8.h"

using namespace pagewick;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string text =
        Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
    const HardWrapVerdict v = JudgeHardWrap(text);
    if (v.wrapped != (v.reason == HardWrapReason::Wrapped)) std::abort();
    if (v.bodyLines > v.lines || v.filledLines > v.bodyLines || v.tabularLines > v.bodyLines)
        std::abort();
    if (v.wrapped &&
        (v.width < 50 || v.width > 100 || v.paragraphs < 3 || v.filledLines * 10 < v.bodyLines * 7))
        std::abort();
    return 0;
}
