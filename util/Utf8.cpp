#include "util/Utf8.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pagewick {

size_t DecodeUtf8Text(const uint8_t* p, size_t n, char16_t* out, size_t room, size_t& used) {
    size_t i = 0, w = 0;
    while (i < n && w < room) {
        // A stretch of ASCII, widened sixteen bytes at a time where the machine allows; a block
        // holding other bytes is widened whole and only its ASCII start counted.
        const size_t most = std::min(n - i, room - w);
        size_t k = 0;
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        for (; k + 16 <= most; k += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + k));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + w + k), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + w + k + 8),
                             _mm_unpackhi_epi8(v, zero));
            if (const int high = _mm_movemask_epi8(v)) {
                k += size_t(std::countr_zero(unsigned(high)));
                break;
            }
        }
        if (k + 16 > most)
#endif
        {
            const size_t run = Utf8AsciiRun(p + i + k, most - k);
            for (size_t j = 0; j < run; ++j)
                out[w + k + j] = p[i + k + j];
            k += run;
        }
        i += k;
        w += k;
        if (i >= n || w >= room) break;
        // Then characters of two or more bytes until the next ASCII one.
        while (i < n && w < room && p[i] >= 0x80)
            i += DecodeUtf8Character(p + i, n - i, true, out[w++]);
    }
    used = i;
    return w;
}

size_t DecodeUtf8CodePoint(const uint8_t* p, size_t n, uint32_t& code) {
    // Four-byte characters are the only ones the 16-bit decoder does not give whole.
    if (p[0] >= 0xF0 && p[0] <= 0xF4 && n >= 4 && (p[2] & 0xC0) == 0x80 && (p[3] & 0xC0) == 0x80 &&
        p[1] >= (p[0] == 0xF0 ? 0x90 : 0x80) && p[1] <= (p[0] == 0xF4 ? 0x8F : 0xBF)) {
        code = uint32_t(p[0] & 0x07) << 18 | uint32_t(p[1] & 0x3F) << 12 |
               uint32_t(p[2] & 0x3F) << 6 | uint32_t(p[3] & 0x3F);
        return 4;
    }
    char16_t c;
    size_t k = DecodeUtf8Character(p, n, true, c);
    code = c;
    return k;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 63));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 63));
        out += char(0x80 | (code & 63));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 63));
        out += char(0x80 | ((code >> 6) & 63));
        out += char(0x80 | (code & 63));
    }
}

std::u16string Utf8ToUtf16(std::string_view text) {
    // Never more characters than bytes.
    std::u16string out(text.size(), u'\0');
    size_t used = 0;
    out.resize(DecodeUtf8Text(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                              out.data(), out.size(), used));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 63));
        } else {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 63));
            out += char(0x80 | (c & 63));
        }
    }
    return out;
}

}  // namespace pagewick
