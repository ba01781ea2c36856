#include "util/Utf8.h"

namespace pagewick {

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
    std::u16string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    for (size_t i = 0; i < text.size();) {
        char16_t c;
        i += DecodeUtf8Character(p + i, text.size() - i, true, c);
        out += c;
    }
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
