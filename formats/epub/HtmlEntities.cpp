#include "formats/epub/HtmlEntities.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "util/HtmlEntities.h"

namespace pagewick {

namespace {

constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char32_t HtmlNamedCharacter(std::string_view name) {
    if (name == "s") return 0x20;  // the system's own space
    std::string written(name);
    written += ';';
    const HtmlEntity* e = FindHtmlEntity(written);
    return e && !e->second ? e->first : 0;
}

char32_t NextUtf8(std::string_view text, size_t& i) {
    const unsigned char lead = (unsigned char)text[i];
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    // The second byte's range depends on the lead byte: that refuses overlong forms, encoded
    // surrogates and values past U+10FFFF at the first byte that shows them.
    int need;
    unsigned char low = 0x80, high = 0xBF;
    char32_t c;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        c = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        c = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        ++i;
        return 0xFFFD;
    }
    size_t at = i + 1;
    for (int k = 0; k < need; ++k, ++at) {
        if (at >= text.size()) {
            i = at;
            return 0xFFFD;
        }
        const unsigned char b = (unsigned char)text[at];
        if (b < low || b > high) {
            i = at;
            return 0xFFFD;
        }
        low = 0x80;
        high = 0xBF;
        c = (c << 6) | (b & 0x3F);
    }
    i = at;
    return c;
}

bool IsXmlTextCharacter(char32_t c) {
    if (c < 0x20) return c == '\t' || c == '\n' || c == '\r';
    if (c >= 0x7F && c < 0xA0) return false;
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    if (c >= 0xFDD0 && c <= 0xFDEF) return false;
    if ((c & 0xFFFE) == 0xFFFE) return false;
    return c <= 0x10FFFF;
}

void AppendXmlText(std::string& out, std::string_view text, bool attribute) {
    for (size_t i = 0; i < text.size();) {
        const char32_t c = NextUtf8(text, i);
        switch (c) {
            case '&':
                out += "&amp;";
                continue;
            case '<':
                out += "&lt;";
                continue;
            case '>':
                out += "&gt;";
                continue;
            case '"':
                out += attribute ? "&quot;" : "\"";
                continue;
            default:
                break;
        }
        if (!IsXmlTextCharacter(c)) continue;
        if (attribute && (c == '\t' || c == '\n' || c == '\r'))
            out += ' ';
        else
            AppendUtf8(out, c);
    }
}

char32_t Cp1252HighCharacter(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte;
}

}  // namespace pagewick
