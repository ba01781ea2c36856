// The LZX decoder on arbitrary streams. Input: window bits (15 + byte 0 mod 7), output length
// (bytes 1-3, at most one window), then the stream. The last three bytes (still part of the
// stream) choose where the output is split: the stream is decoded once in two calls, so that
// matches, bit positions and uncompressed blocks carried between calls are exercised, and once
// whole; without E8 translation (whose untranslated tail depends on the calls) both must agree.
// Then it is decoded once more after a reset, on the window the whole decoding left.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
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
    const uint8_t* tail = data + size - 3;  // overlaps the header for the shortest inputs
    const uint32_t split =
        (tail[0] | (uint32_t(tail[1]) << 8) | (uint32_t(tail[2]) << 16)) % (length + 1);
    // The first bit of the stream turns E8 translation on.
    const bool e8 = inLen >= 2 && (in[1] & 0x80) != 0;

    if (lzx.LzxSetWindow(bits) != 0) return 0;
    std::vector<uint8_t> pieces(length);
    int piecesResult = lzx.LzxDecode(in, inLen, pieces.data(), split);
    if (piecesResult == 0) {
        size_t used = lzx.LzxInputUsed();
        if (used > inLen) std::abort();
        piecesResult =
            lzx.LzxDecode(in + used, inLen - used, pieces.data() + split, length - split);
    }

    if (lzx.LzxSetWindow(bits) != 0) return 0;
    std::vector<uint8_t> whole(length);
    const int wholeResult = lzx.LzxDecode(in, inLen, whole.data(), length);
    if (!e8 && (wholeResult == 0) != (piecesResult == 0)) std::abort();
    if (!e8 && wholeResult == 0 && pieces != whole) std::abort();

    lzx.LzxReset();
    lzx.LzxDecode(in, inLen, whole.data(), length);
    return 0;
}
