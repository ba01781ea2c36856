#include "formats/Utf8Text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "util/AsciiCase.h"
#include "util/Utf8.h"

namespace pagewick {

namespace {

constexpr size_t kBlockBytes = 1 << 16;

// Sixteen bytes beginning at a character boundary that hold only ASCII and whole well-formed
// two-byte characters: the characters they hold (1 to 16), plus 32 when one of them is a two-byte
// one; 0 for any other bytes, which are counted one character at a time.
// The set bits of a 16-bit mask, counted in the register: without the POPCNT instruction (not in
// the baseline x86-64 the programs are built for) std::popcount calls a library routine.
inline int CountBits16(unsigned x) {
    x = x - ((x >> 1) & 0x5555u);
    x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
    x = (x + (x >> 4)) & 0x0F0Fu;
    return int((x + (x >> 8)) & 0x1Fu);
}

inline int CountSixteen(const uint8_t* p) {
#if defined(__SSE2__)
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned high = unsigned(_mm_movemask_epi8(v));
    if (high == 0) return 16;
    // As signed bytes the leads C2..DF are -62..-33, the continuations 80..BF -128..-65.
    const unsigned leads = unsigned(_mm_movemask_epi8(_mm_and_si128(
        _mm_cmpgt_epi8(v, _mm_set1_epi8(-63)), _mm_cmplt_epi8(v, _mm_set1_epi8(-32)))));
    const unsigned follows = unsigned(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(-64))));
    // Every high byte a lead or a continuation, each continuation right after a lead, and no
    // lead last (its character would end past these bytes).
    if ((leads | follows) != high || follows != (leads << 1) || (leads & 0x8000)) return 0;
    return (16 - CountBits16(follows)) | 32;
#else
    (void)p;
    return 0;
#endif
}

// The eight bytes at p as eight 16-bit characters (those past the ASCII ones are written over
// by the caller afterwards).
inline void WidenEight(const uint8_t* p, char16_t* to) {
#if defined(__SSE2__)
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_unpacklo_epi8(bytes, _mm_setzero_si128()));
#else
    for (size_t k = 0; k < 8; ++k)
        to[k] = p[k];
#endif
}

}  // namespace

bool Utf8Index::Build(const ByteSource& read, uint32_t length, bool stopWhenNotUtf8) {
    checkpoints_.clear();
    checkpoints_.push_back({0, 0});
    chars_ = 0;
    length_ = length;
    bom_ = false;
    valid_ = true;
    multiByte_ = false;
    std::vector<uint8_t> block(kBlockBytes);
    uint64_t pos = 0;
    uint64_t nextMark = kCheckpointBytes;
    uint64_t chars = 0;
    while (pos < length) {
        size_t want = size_t(std::min<uint64_t>(block.size(), length - pos));
        int64_t got = read(pos, block.data(), want);
        if (got < 0) return false;
        if (got == 0) {  // the source is shorter than it said: the book ends here
            length_ = uint32_t(pos);
            break;
        }
        const size_t n = size_t(got);
        const bool atEnd = pos + n >= length;
        if (pos == 0 && n >= 3 && block[0] == 0xEF && block[1] == 0xBB && block[2] == 0xBF)
            bom_ = true;
        size_t i = 0;
        while (i < n) {
            if (pos + i >= nextMark) {
                checkpoints_.push_back({uint32_t(chars), uint32_t(pos + i)});
                nextMark = pos + i + kCheckpointBytes;
            }
            // ASCII and well-formed two-byte characters up to the next checkpoint mark are
            // counted in place.
            const size_t stretch = size_t(std::min<uint64_t>(n, nextMark - pos));
            while (i < stretch) {
                if (i + 16 <= stretch) {
                    const int counted = CountSixteen(&block[i]);
                    if (counted > 0) {
                        i += 16;
                        chars += uint64_t(counted & 31);
                        if (counted & 32) multiByte_ = true;
                        continue;
                    }
                }
                const uint8_t b = block[i];
                if (b < 0x80) {
                    if (i + 8 <= stretch) {
                        const size_t run = Utf8AsciiRun(&block[i], 8);
                        i += run;
                        chars += run;
                    } else {
                        ++i;
                        ++chars;
                    }
                } else if (b >= 0xC2 && b <= 0xDF && i + 1 < n && (block[i + 1] & 0xC0) == 0x80) {
                    i += 2;
                    ++chars;
                    multiByte_ = true;
                } else {
                    break;
                }
            }
            if (i >= stretch) continue;
            char16_t c;
            bool bad = false;
            size_t k = DecodeUtf8Character(&block[i], n - i, atEnd, c, &bad);
            if (k == 0) break;  // a sequence runs into the next block
            if (bad) {
                valid_ = false;
                if (stopWhenNotUtf8 && !bom_) return true;
            }
            if (k > 1 && !bad) multiByte_ = true;
            i += k;
            ++chars;
        }
        if (i == 0) return false;  // cannot happen with blocks longer than a sequence
        pos += i;
    }
    chars_ = uint32_t(std::min<uint64_t>(chars, 0x7fffffff));
    checkpoints_.shrink_to_fit();
    return true;
}

int64_t Utf8Index::Decode(const ByteSource& read, uint32_t charOffset, char16_t* out,
                          size_t count) {
    if (charOffset >= chars_ || count == 0 || checkpoints_.empty()) return 0;
    auto after =
        std::upper_bound(checkpoints_.begin(), checkpoints_.end(), charOffset,
                         [](uint32_t offset, const Checkpoint& c) { return offset < c.chars; });
    Checkpoint from = *(after - 1);
    if (resume_.chars <= charOffset && resume_.chars > from.chars) from = resume_;
    uint64_t pos = from.bytes;
    uint64_t skip = charOffset - from.chars;
    size_t written = 0;
    uint64_t lastAt = pos;  // where the last character written begins
    std::vector<uint8_t>& block = block_;
    // Enough bytes for the characters asked at the book's own bytes per character and an eighth
    // more (a denser stretch takes a second read), never more than three bytes a character.
    const uint64_t wanted = skip + count;
    const uint64_t perKiloChar = chars_ > 0 ? uint64_t(length_) * 1024 / chars_ + 1 : 3072;
    block.resize(size_t(std::min<uint64_t>(
        kBlockBytes, std::min(wanted * 3 + 4, wanted * perKiloChar * 9 / 8 / 1024 + 64))));
    while (written < count && pos < length_) {
        size_t want = size_t(std::min<uint64_t>(block.size(), length_ - pos));
        int64_t got = read(pos, block.data(), want);
        if (got < 0) return -1;
        if (got == 0) break;
        const size_t n = size_t(got);
        const bool atEnd = pos + n >= length_;
        size_t i = 0;
        while (i < n && written < count) {
            if (skip == 0) {
                // ASCII and well-formed two-byte characters, the common ones, in place.
                size_t w = written, last = SIZE_MAX;
                while (i < n && w < count) {
                    const uint8_t b = block[i];
                    if (b < 0x80) {
                        // ASCII eight bytes at a time: all eight widened, as many kept as are
                        // ASCII.
                        if (i + 8 <= n && w + 8 <= count) {
                            WidenEight(&block[i], out + w);
                            const size_t run = Utf8AsciiRun(&block[i], 8);
                            w += run;
                            i += run;
                        } else {
                            out[w++] = b;
                            ++i;
                        }
                        last = i - 1;
                    } else if (b >= 0xC2 && b <= 0xDF && i + 1 < n &&
                               (block[i + 1] & 0xC0) == 0x80) {
                        out[w++] = char16_t((b & 0x1F) << 6 | (block[i + 1] & 0x3F));
                        last = i;
                        i += 2;
                    } else {
                        break;
                    }
                }
                written = w;
                if (last != SIZE_MAX) lastAt = pos + last;
                if (i >= n || written >= count) break;
            }
            char16_t c;
            size_t k = DecodeUtf8Character(&block[i], n - i, atEnd, c);
            if (k == 0) break;
            if (skip > 0) {
                --skip;
            } else {
                lastAt = pos + i;
                out[written++] = c;
            }
            i += k;
        }
        if (i == 0) break;
        pos += i;
    }
    // Windows overlap by their last character, so the next read begins there.
    if (written > 0) resume_ = {uint32_t(charOffset + written - 1), uint32_t(lastAt)};
    return int64_t(written);
}

bool DeclaresUtf8(const uint8_t* bytes, size_t n) {
    std::string text = LowerAscii(std::string_view(reinterpret_cast<const char*>(bytes), n));
    for (size_t at = text.find("charset"); at != std::string::npos;
         at = text.find("charset", at + 1)) {
        size_t i = at + 7;
        while (i < text.size() && text[i] == ' ')
            ++i;
        if (i >= text.size() || text[i] != '=') continue;
        ++i;
        while (i < text.size() && (text[i] == ' ' || text[i] == '"' || text[i] == '\''))
            ++i;
        std::string_view rest = std::string_view(text).substr(i);
        if (rest.substr(0, 5) == "utf-8" || rest.substr(0, 4) == "utf8") return true;
    }
    return false;
}

}  // namespace pagewick
