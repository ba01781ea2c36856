// Compiled LIT markup from arbitrary bytes, in both modes, with a small manifest so that links are
// resolved. The first byte chooses the mode and whether the sink stops early.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/lit/LitBinary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pagewick;
    if (size == 0) return 0;
    static const LitManifestGroups manifest = [] {
        LitManifestGroups m;
        m[0] = {{"html10", "part10.html"}, {"html1", "part1.html"}, {"c1", "ch01.xhtml"}};
        m[1] = {{"contents", "contents.xhtml"}};
        m[2] = {{"css", "stylesheet.css"}};
        m[3] = {{"lamp", "lamp.gif"}, {"", "empty-id"}};
        return m;
    }();
    const uint8_t control = data[0];
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    const LitDecodeMode mode = (control & 1) ? LitDecodeMode::Package : LitDecodeMode::Html;
    const size_t stopAfter = (control & 2) ? size_t(control) * 64 : SIZE_MAX;
    size_t total = 0;
    const long r =
        DecodeLitBinary(bytes, 0, bytes.size(), mode, (control & 4) ? nullptr : &manifest,
                        [&](const char* text, size_t length) -> long {
                            // Touch every byte so that a bad range is noticed.
                            for (size_t i = 0; i < length; ++i)
                                total += uint8_t(text[i]);
                            // Answers a failure code to check it is not taken for one.
                            if (total > stopAfter) return kLitBinaryMalformed;
                            return long(length);
                        });
    if (r >= 0 && size_t(r) != bytes.size()) std::abort();
    if (r < 0 && r != kLitBinaryMalformed && r != kLitBinaryBadUtf8 && r != kLitBinaryStopped)
        std::abort();
    // Only the sink stops the decoding, and only after it has seen enough.
    if (r == kLitBinaryStopped && total <= stopAfter) std::abort();
    return 0;
}
