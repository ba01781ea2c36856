#include "formats/epub/HtmlEntities.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace pagewick {

namespace {

struct NamedCharacter {
    std::string_view name;
    char32_t code;
};

// Latin-1's upper half, U+00A0 to U+00FF in order.
constexpr std::string_view kLatin1Names[] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};
static_assert(std::size(kLatin1Names) == 96);

// Everything else: markup, typography, Greek, arrows and mathematics. "lang" and "rang" are
// the angle brackets HTML5 gave them.
constexpr NamedCharacter kOtherNames[] = {
    {"quot", 0x22},     {"amp", 0x26},       {"apos", 0x27},     {"lt", 0x3C},
    {"gt", 0x3E},       {"s", 0x20},         {"OElig", 0x152},   {"oelig", 0x153},
    {"Scaron", 0x160},  {"scaron", 0x161},   {"Yuml", 0x178},    {"fnof", 0x192},
    {"circ", 0x2C6},    {"tilde", 0x2DC},    {"Alpha", 0x391},   {"Beta", 0x392},
    {"Gamma", 0x393},   {"Delta", 0x394},    {"Epsilon", 0x395}, {"Zeta", 0x396},
    {"Eta", 0x397},     {"Theta", 0x398},    {"Iota", 0x399},    {"Kappa", 0x39A},
    {"Lambda", 0x39B},  {"Mu", 0x39C},       {"Nu", 0x39D},      {"Xi", 0x39E},
    {"Omicron", 0x39F}, {"Pi", 0x3A0},       {"Rho", 0x3A1},     {"Sigma", 0x3A3},
    {"Tau", 0x3A4},     {"Upsilon", 0x3A5},  {"Phi", 0x3A6},     {"Chi", 0x3A7},
    {"Psi", 0x3A8},     {"Omega", 0x3A9},    {"alpha", 0x3B1},   {"beta", 0x3B2},
    {"gamma", 0x3B3},   {"delta", 0x3B4},    {"epsilon", 0x3B5}, {"zeta", 0x3B6},
    {"eta", 0x3B7},     {"theta", 0x3B8},    {"iota", 0x3B9},    {"kappa", 0x3BA},
    {"lambda", 0x3BB},  {"mu", 0x3BC},       {"nu", 0x3BD},      {"xi", 0x3BE},
    {"omicron", 0x3BF}, {"pi", 0x3C0},       {"rho", 0x3C1},     {"sigmaf", 0x3C2},
    {"sigma", 0x3C3},   {"tau", 0x3C4},      {"upsilon", 0x3C5}, {"phi", 0x3C6},
    {"chi", 0x3C7},     {"psi", 0x3C8},      {"omega", 0x3C9},   {"thetasym", 0x3D1},
    {"upsih", 0x3D2},   {"piv", 0x3D6},      {"ensp", 0x2002},   {"emsp", 0x2003},
    {"thinsp", 0x2009}, {"zwnj", 0x200C},    {"zwj", 0x200D},    {"lrm", 0x200E},
    {"rlm", 0x200F},    {"ndash", 0x2013},   {"mdash", 0x2014},  {"lsquo", 0x2018},
    {"rsquo", 0x2019},  {"sbquo", 0x201A},   {"ldquo", 0x201C},  {"rdquo", 0x201D},
    {"bdquo", 0x201E},  {"dagger", 0x2020},  {"Dagger", 0x2021}, {"bull", 0x2022},
    {"hellip", 0x2026}, {"permil", 0x2030},  {"prime", 0x2032},  {"Prime", 0x2033},
    {"lsaquo", 0x2039}, {"rsaquo", 0x203A},  {"oline", 0x203E},  {"frasl", 0x2044},
    {"euro", 0x20AC},   {"image", 0x2111},   {"weierp", 0x2118}, {"real", 0x211C},
    {"trade", 0x2122},  {"alefsym", 0x2135}, {"larr", 0x2190},   {"uarr", 0x2191},
    {"rarr", 0x2192},   {"darr", 0x2193},    {"harr", 0x2194},   {"crarr", 0x21B5},
    {"lArr", 0x21D0},   {"uArr", 0x21D1},    {"rArr", 0x21D2},   {"dArr", 0x21D3},
    {"hArr", 0x21D4},   {"forall", 0x2200},  {"part", 0x2202},   {"exist", 0x2203},
    {"empty", 0x2205},  {"nabla", 0x2207},   {"isin", 0x2208},   {"notin", 0x2209},
    {"ni", 0x220B},     {"prod", 0x220F},    {"sum", 0x2211},    {"minus", 0x2212},
    {"lowast", 0x2217}, {"radic", 0x221A},   {"prop", 0x221D},   {"infin", 0x221E},
    {"ang", 0x2220},    {"and", 0x2227},     {"or", 0x2228},     {"cap", 0x2229},
    {"cup", 0x222A},    {"int", 0x222B},     {"there4", 0x2234}, {"sim", 0x223C},
    {"cong", 0x2245},   {"asymp", 0x2248},   {"ne", 0x2260},     {"equiv", 0x2261},
    {"le", 0x2264},     {"ge", 0x2265},      {"sub", 0x2282},    {"sup", 0x2283},
    {"nsub", 0x2284},   {"sube", 0x2286},    {"supe", 0x2287},   {"oplus", 0x2295},
    {"otimes", 0x2297}, {"perp", 0x22A5},    {"sdot", 0x22C5},   {"lceil", 0x2308},
    {"rceil", 0x2309},  {"lfloor", 0x230A},  {"rfloor", 0x230B}, {"lang", 0x27E8},
    {"rang", 0x27E9},   {"loz", 0x25CA},     {"spades", 0x2660}, {"clubs", 0x2663},
    {"hearts", 0x2665}, {"diams", 0x2666},
};

constexpr size_t kNameCount = std::size(kLatin1Names) + std::size(kOtherNames);

// Every name in byte order, for a binary search.
const std::array<NamedCharacter, kNameCount>& SortedNames() {
    static const std::array<NamedCharacter, kNameCount> sorted = [] {
        std::array<NamedCharacter, kNameCount> all{};
        size_t n = 0;
        for (size_t i = 0; i < std::size(kLatin1Names); ++i)
            all[n++] = {kLatin1Names[i], char32_t(0xA0 + i)};
        for (const NamedCharacter& c : kOtherNames)
            all[n++] = c;
        std::sort(all.begin(), all.end(),
                  [](const NamedCharacter& a, const NamedCharacter& b) { return a.name < b.name; });
        return all;
    }();
    return sorted;
}

constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char32_t HtmlNamedCharacter(std::string_view name) {
    const auto& names = SortedNames();
    auto found = std::lower_bound(
        names.begin(), names.end(), name,
        [](const NamedCharacter& c, std::string_view wanted) { return c.name < wanted; });
    return found != names.end() && found->name == name ? found->code : 0;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
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
