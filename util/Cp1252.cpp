#include "util/Cp1252.h"

#include <string>
#include <string_view>
#include <utility>

namespace pagewick {

namespace {
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}  // namespace

char16_t Cp1252ToUnicode(uint8_t byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char16_t(byte);
}

uint8_t UnicodeToCp1252(char16_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return uint8_t(code);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == code) return uint8_t(0x80 + i);
    return '?';
}

std::string Cp1252ToUtf8(const std::string& text) {
    std::u16string wide;
    for (unsigned char byte : text)
        wide += Cp1252ToUnicode(byte);
    return Utf16ToUtf8(wide);
}

std::string CodePageLabelToUtf8(std::string_view label) {
    std::string out;
    out.reserve(label.size());
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '&' && i + 2 < label.size() && label[i + 1] == '#') {
            size_t j = i + 2;
            uint32_t code = 0;
            while (j < label.size() && j < i + 10 && label[j] >= '0' && label[j] <= '9')
                code = code * 10 + uint32_t(label[j++] - '0');
            if (j > i + 2 && j < label.size() && label[j] == ';' && code > 0 && code <= 0x10FFFF &&
                (code < 0xD800 || code > 0xDFFF)) {
                AppendUtf8(out, code);
                i = j;
                continue;
            }
        }
        AppendUtf8(out, Cp1252ToUnicode(uint8_t(label[i])));
    }
    return out;
}

std::string Utf8ToCodePageLabel(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    const auto* p = reinterpret_cast<const uint8_t*>(utf8.data());
    for (size_t i = 0; i < utf8.size();) {
        if (p[i] < 0x80) {
            // Runs of ASCII are copied as they are.
            size_t end = i + 1;
            while (end < utf8.size() && p[end] < 0x80)
                ++end;
            out.append(utf8.data() + i, end - i);
            i = end;
            continue;
        }
        uint32_t code;
        i += DecodeUtf8CodePoint(p + i, utf8.size() - i, code);
        uint8_t byte = code <= 0xFFFF ? UnicodeToCp1252(char16_t(code)) : '?';
        if (byte != '?') {
            out += char(byte);
        } else {
            out += "&#";
            out += std::to_string(code);
            out += ';';
        }
    }
    return out;
}

void PlainTitleText(std::string& text) {
    static const std::pair<std::string_view, std::string_view> kReplace[] = {
        {"\r", "-"},          {"\n", "-"},          {"&nbsp;", " "},      {"&quot;", "\""},
        {"&apos;", "'"},      {"&amp;", "&"},       {"&gt;", ">"},        {"&lt;", "<"},
        {"&reg;", "\xAE"},    {"&copy;", "\xA9"},   {"&mdash;", "-"},     {"&ndash;", "-"},
        {"&middot;", "\xB7"}, {"&plusmn;", "\xB1"}, {"&deg;", "\xB0"},    {"&laquo;", "\xAB"},
        {"&raquo;", "\xBB"},  {"&micro;", "\xB5"},  {"&iquest;", "\xBF"}, {"&euro;", "E"},
        {"&sbquo;", ""},      {"&hellip;", ""},     {"&dagger;", "'"},    {"&permil;", ""},
        {"&bull;", "\xB7"},   {"&trade;", "(tm)"},
    };
    for (const auto& [from, to] : kReplace) {
        std::string out;
        size_t at = 0;
        for (size_t hit; (hit = text.find(from, at)) != std::string::npos; at = hit + from.size()) {
            out.append(text, at, hit - at);
            out.append(to);
        }
        out.append(text, at, std::string::npos);
        text.swap(out);
    }
}

}  // namespace pagewick
