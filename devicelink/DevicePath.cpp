#include "devicelink/DevicePath.h"

#include "util/Utf8.h"

namespace pagewick::provider {

namespace {
char16_t FoldUnit(char16_t c) {
    if (c >= u'A' && c <= u'Z') return char16_t(c + 32);
    if (c < 0xC0) return c;
    if (c <= 0xDE) return c == 0xD7 ? c : char16_t(c + 32);               // Latin-1
    if (c >= 0x100 && c <= 0x177) return char16_t(c | 1);                 // Latin Extended-A pairs
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return char16_t(c + 32);  // Greek
    if (c >= 0x410 && c <= 0x42F) return char16_t(c + 32);                // Cyrillic
    if (c >= 0x400 && c <= 0x40F) return char16_t(c + 80);
    return c;
}

bool WideToUtf8(std::u16string_view wide, std::string& out) {
    out.clear();
    for (size_t i = 0; i < wide.size(); ++i) {
        uint32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= wide.size() || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF) return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
        AppendUtf8(out, c);
    }
    return true;
}
}  // namespace

std::u16string FoldCase(std::u16string_view name) {
    std::u16string out(name);
    for (char16_t& c : out)
        c = FoldUnit(c);
    return out;
}

size_t DecodeUtf8(const unsigned char* p, size_t n, uint32_t& code) {
    code = p[0];
    const size_t need = code < 0x80                    ? 0
                        : code >= 0xC2 && code <= 0xDF ? 1
                        : code >= 0xE0 && code <= 0xEF ? 2
                        : code >= 0xF0 && code <= 0xF4 ? 3
                                                       : 9;
    if (need == 9 || need >= n) return 0;
    if (need) code &= 0x3Fu >> need;
    for (size_t k = 1; k <= need; ++k) {
        if ((p[k] & 0xC0) != 0x80) return 0;
        code = code << 6 | (p[k] & 0x3F);
    }
    // Overlong forms, encoded surrogates and values past U+10FFFF are not UTF-8.
    if ((need == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (need == 3 && (code < 0x10000 || code > 0x10FFFF)))
        return 0;
    return need + 1;
}

void AppendWide(std::u16string& out, uint32_t code) {
    if (code >= 0x10000) {
        out += char16_t(0xD800 + ((code - 0x10000) >> 10));
        out += char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
        out += char16_t(code);
    }
}

bool Utf8ToWide(std::string_view text, std::u16string& out) {
    out.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size();) {
        uint32_t code;
        const size_t used = DecodeUtf8(p + i, text.size() - i, code);
        if (!used) return false;
        AppendWide(out, code);
        i += used;
    }
    return true;
}

bool SplitDevicePath(std::u16string_view path, std::vector<PathPart>& parts) {
    parts.clear();
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of(u"\\/", start);
        if (end == std::u16string_view::npos) end = path.size();
        std::u16string_view part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == u".") continue;
        if (part == u".." || part.find(u'\0') != std::u16string_view::npos) return false;
        PathPart entry{std::u16string(part), {}};
        if (!WideToUtf8(part, entry.name)) return false;
        parts.push_back(std::move(entry));
    }
    return true;
}

bool MatchesPattern(std::u16string_view pattern, std::u16string_view name) {
    // Greedy match with one back-tracking point: the last "*" seen.
    size_t p = 0, n = 0, star = std::u16string_view::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == u'?' || FoldUnit(pattern[p]) == FoldUnit(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            mark = n;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

}  // namespace pagewick::provider
