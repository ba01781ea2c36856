// The LZX decoder on arbitrary streams. Input: window bits (15 + byte 0 mod 7), output length
// (bytes 1-3, at most one window), then the stream, decoded in two calls so that matches and
// bit positions carried between calls are exercised; then once more after a reset.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/lit/Lzx.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    static pagewick::LzxDecoder lzx;  // one decoder for the program, as in the container
    const int bits = 15 + data[0] % 7;
    const uint32_t window = 1u << bits;
    const uint32_t length =
        (data[1] | (uint32_t(data[2]) << 8) | (uint32_t(data[3]) << 16)) % (window + 1);
    const uint8_t* in = data + 4;
    const size_t inLen = size - 4;
    if (lzx.LzxSetWindow(bits) != 0) return 0;
    std::vector<uint8_t> out(length);
    const uint32_t first = length / 3;
    if (lzx.LzxDecode(in, inLen, out.data(), first) == 0) {
        size_t used = lzx.LzxInputUsed();
        lzx.LzxDecode(in + used, inLen - used, out.data() + first, length - first);
    }
    lzx.LzxReset();
    lzx.LzxDecode(in, inLen, out.data(), length);
    return 0;
}
