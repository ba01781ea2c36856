#include "engine/Markup.h"

#include <algorithm>

#include "util/Cp1252.h"
#include "util/HtmlEntities.h"

namespace pagewick {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

constexpr bool IsAsciiAlnum(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

constexpr int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Code points past the 16 bits of the engine's characters become U+FFFD (which the layout shows
// as its hollow square, like every character from 9,703 up).
char16_t Narrow(char32_t c) {
    return c > 0xFFFF ? u'\uFFFD' : char16_t(c);
}

ReferenceEnd Found(const HtmlEntity& e, size_t used, bool takesEnd) {
    ReferenceEnd r;
    r.kind = ReferenceEnd::Kind::Character;
    r.code = Narrow(e.first);
    r.second = e.second ? Narrow(e.second) : 0;
    r.used = used;
    r.takesEnd = takesEnd;
    return r;
}

// The longest beginning of a name that is one of the names HTML reads without ";".
std::optional<ReferenceEnd> OlderName(std::string_view name) {
    for (size_t length = std::min<size_t>(name.size(), 6); length >= 2; --length) {
        if (const HtmlEntity* e = FindHtmlEntity(name.substr(0, length)))
            return Found(*e, length, false);
    }
    return std::nullopt;
}

}  // namespace

char16_t NumericReferenceCharacter(uint32_t number) {
    if (number >= 0x80 && number <= 0x9F) return Cp1252ToUnicode(uint8_t(number));
    if (number == 0 || number > 0xFFFF || (number >= 0xD800 && number <= 0xDFFF)) return u'\uFFFD';
    if (number == '\t' || number == '\n' || number == '\f' || number == '\r') return u' ';
    if (number < 32 || number == 127) return 0;
    return char16_t(number);
}

bool ContinuesReference(std::u16string_view collected, char16_t c) {
    if (collected.size() >= kReferenceMax) return false;
    if (collected.empty()) return c == u'#' || IsAsciiAlnum(c);
    if (collected[0] != u'#') return IsAsciiAlnum(c);
    if (collected.size() == 1) return (c >= u'0' && c <= u'9') || c == u'x' || c == u'X';
    bool hex = collected[1] == u'x' || collected[1] == u'X';
    return hex ? HexValue(c) >= 0 : c >= u'0' && c <= u'9';
}

ReferenceEnd EndReference(std::u16string_view collected, std::optional<char16_t> end,
                          bool exactCase) {
    ReferenceEnd r;
    const bool semicolon = end && *end == u';';
    if (collected.empty()) return r;  // a lone "&"
    if (collected[0] == u'#') {
        bool hex = collected.size() > 1 && (collected[1] == u'x' || collected[1] == u'X');
        size_t first = hex ? 2 : 1;
        if (collected.size() == first) {
            // "&#;" names nothing and is dropped; "&# " is text.
            if (semicolon) {
                r.kind = ReferenceEnd::Kind::Nothing;
                r.used = collected.size();
                r.takesEnd = true;
            }
            return r;
        }
        uint32_t number = 0;
        for (size_t i = first; i < collected.size(); ++i) {
            number = number * (hex ? 16 : 10) + uint32_t(HexValue(collected[i]));
            if (number > 0x10FFFF) number = 0x110000;  // stays out of range however long
        }
        r.code = NumericReferenceCharacter(number);
        r.kind = r.code ? ReferenceEnd::Kind::Character : ReferenceEnd::Kind::Nothing;
        r.used = collected.size();
        r.takesEnd = semicolon;
        return r;
    }
    std::string name(collected.begin(), collected.end());  // letters and digits only
    if (semicolon) {
        name += ';';
        if (name == "s;" || (!exactCase && name == "S;")) {
            r.kind = ReferenceEnd::Kind::Character;  // the engine's own space
            r.code = u' ';
            r.used = collected.size();
            r.takesEnd = true;
            return r;
        }
        if (const HtmlEntity* e = FindHtmlEntity(name)) return Found(*e, collected.size(), true);
        if (!exactCase) {
            std::string lower = name;
            for (char& ch : lower)
                if (ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
            if (const HtmlEntity* e = FindHtmlEntity(lower))
                return Found(*e, collected.size(), true);
        }
        name.pop_back();
    }
    if (auto older = OlderName(name)) return *older;
    if (semicolon) {
        r.kind = ReferenceEnd::Kind::Nothing;
        r.used = collected.size();
        r.takesEnd = true;
    }
    return r;
}

std::u16string DecodeReferences(std::u16string_view text, bool exactCase) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] != u'&') {
            out += text[i++];
            continue;
        }
        size_t start = i + 1, stop = start;
        while (stop < text.size() &&
               ContinuesReference(text.substr(start, stop - start), text[stop]))
            ++stop;
        std::optional<char16_t> end;
        if (stop < text.size()) end = text[stop];
        ReferenceEnd r = EndReference(text.substr(start, stop - start), end, exactCase);
        if (r.kind == ReferenceEnd::Kind::Text) {
            out += u'&';
            i = start;
            continue;
        }
        if (r.kind == ReferenceEnd::Kind::Character) {
            out += r.code;
            if (r.second) out += r.second;
        }
        i = start + r.used + (r.takesEnd ? 1 : 0);
    }
    return out;
}

uint16_t DecodeEntity(std::u16string_view entity, bool exactCase, std::u16string* more) {
    // The whole of "&...;" must be one reference.
    if (entity.size() < 3 || entity.front() != u'&' || entity.back() != u';') return 0;
    std::u16string_view collected = entity.substr(1, entity.size() - 2);
    for (size_t i = 0; i < collected.size(); ++i)
        if (!ContinuesReference(collected.substr(0, i), collected[i])) return 0;
    ReferenceEnd r = EndReference(collected, u';', exactCase);
    if (r.kind != ReferenceEnd::Kind::Character || r.used != collected.size() || !r.takesEnd)
        return 0;
    if (more) {
        more->clear();
        if (r.second) *more += r.second;
    }
    return r.code;
}

std::optional<std::string> AttributeValue(std::string_view tag, std::string_view name) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    // The tag as collected runs from "<" to ">"; attributes follow the tag's own name.
    size_t end = tag.size();
    if (end > 0 && tag[end - 1] == '>') --end;
    size_t i = tag.empty() || tag[0] != '<' ? 0 : 1;
    while (i < end && !space(tag[i]) && tag[i] != '/')
        ++i;
    while (i < end) {
        while (i < end && (space(tag[i]) || tag[i] == '/'))
            ++i;
        size_t nameStart = i;
        while (i < end && !space(tag[i]) && tag[i] != '=' && tag[i] != '/')
            ++i;
        std::string_view attribute = tag.substr(nameStart, i - nameStart);
        size_t at = i;
        while (at < end && space(tag[at]))
            ++at;
        std::optional<std::string> value;
        if (at < end && tag[at] == '=') {
            ++at;
            while (at < end && space(tag[at]))
                ++at;
            if (at < end && (tag[at] == '"' || tag[at] == '\'')) {
                char quote = tag[at];
                size_t close = tag.find(quote, at + 1);
                if (close == std::string_view::npos || close > end) close = end;
                value = std::string(tag.substr(at + 1, close - at - 1));
                i = close < end ? close + 1 : end;
            } else {
                size_t stop = at;
                while (stop < end && !space(tag[stop]))
                    ++stop;
                // "<a href=>" gives no value at all.
                if (stop > at) value = std::string(tag.substr(at, stop - at));
                i = stop;
            }
        }
        if (attribute.size() == name.size() && !attribute.empty()) {
            bool same = true;
            for (size_t k = 0; k < name.size() && same; ++k)
                same = lower(attribute[k]) == name[k];
            if (same) return value;
        }
        if (i == nameStart) ++i;  // a stray "=" or quote
    }
    return std::nullopt;
}

namespace {

bool TagNameEnds(std::string_view t, size_t at) {
    return t.size() == at || t[at] == ' ' || t[at] == '>' || t[at] == '/' || t[at] == '\t' ||
           t[at] == '\r' || t[at] == '\n';
}

// "text-align: center" or "right" in a style attribute (the tag in lower case).
void StyleAlignment(std::string_view t, TagMeaning& m) {
    if (t.find("text-align") == std::string_view::npos) return;
    std::optional<std::string> style = AttributeValue(t, "style");
    if (!style) return;
    std::string_view s = *style;
    // The last declaration wins, as in a style sheet.
    for (size_t at = s.find("text-align"); at != std::string_view::npos;
         at = s.find("text-align", at + 1)) {
        size_t i = at + 10;
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        if (i >= s.size() || s[i] != ':') continue;
        ++i;
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        std::string_view value = s.substr(i);
        m.alignCentre = value.starts_with("center");
        m.alignRight = value.starts_with("right");
    }
}

}  // namespace

TagMeaning ClassifyTag(std::string_view t, bool xhtml) {
    TagMeaning m;
    auto is = [&](TagKind kind) {
        m.kind = kind;
        return m;
    };
    if (t.size() <= 2) return m;  // "<>"
    if (t[1] == 'f' || (t[1] == '/' && t.size() > 2 && t[2] == 'f')) return m;
    if (t == "<b>" || t == "<strong>") return is(TagKind::BoldOn);
    if (t == "</b>" || t == "</strong>") return is(TagKind::BoldOff);
    if (t == "<i>" || StartsWith(t, "<i ")) return is(TagKind::ItalicOn);
    if (t == "</i>") return is(TagKind::ItalicOff);
    if (t == "<u>") return is(TagKind::UnderlineOn);
    if (t == "</u>") return is(TagKind::UnderlineOff);
    if (StartsWith(t, "<br")) return is(TagKind::Break);
    if (t == "<blockquote>") return is(TagKind::QuoteOn);
    if (t == "</blockquote>") return is(TagKind::QuoteOff);
    if (t == "<center>") return is(TagKind::CentreOn);
    if (t == "</center>") return is(TagKind::CentreOff);
    if (t == "<right>") return is(TagKind::RightOn);
    if (t == "</right>") return is(TagKind::RightOff);
    if (StartsWith(t, "<div")) {
        m.alignCentre = Contains(t, "align=center");
        m.alignRight = Contains(t, "align=right");
        if (!m.alignCentre && !m.alignRight) StyleAlignment(t, m);
        return is(TagKind::Division);
    }
    if (t == "</div>") return is(TagKind::DivisionEnd);
    if (t == "<newpage>") return is(TagKind::NewPage);
    if (t == "<title>") return is(TagKind::Title);
    if (t == "</title>") return is(TagKind::TitleEnd);
    if (t == "<curfile>") return is(TagKind::CurFile);
    if (t == "</curfile>") return is(TagKind::CurFileEnd);
    if (t == "<style>" || StartsWith(t, "<style ")) return is(TagKind::Style);
    if (t == "<script>" || StartsWith(t, "<script ")) return is(TagKind::Script);
    // "<head>" with or without attributes; "<header>" is a heading-like block of the body.
    if (t == "<head>" || StartsWith(t, "<head ")) return is(TagKind::Head);
    if (t == "</head>") return is(TagKind::HeadEnd);
    if (t == "<body>" || StartsWith(t, "<body ")) return is(TagKind::Body);
    if (t == "</body>") return is(TagKind::Break);
    if (t == "</p>") return is(TagKind::ParagraphEnd);
    if (StartsWith(t, "<p")) {
        m.alignCentre = Contains(t, "align=center");
        m.alignRight = Contains(t, "align=right");
        m.pageBreak = Contains(t, "style=\"") && Contains(t, "page-break");
        if (!m.alignCentre && !m.alignRight) StyleAlignment(t, m);
        return is(TagKind::Paragraph);
    }
    const bool headingNumber = t.size() > 3 && t[2] >= '1' && t[2] <= '6';
    if (headingNumber && t[1] == 'h' && TagNameEnds(t, 3)) {
        m.heading = true;
        StyleAlignment(t, m);
        return is(TagKind::Break);
    }
    if (t.size() == 5 && t[1] == '/' && t[2] == 'h' && t[3] >= '1' && t[3] <= '6' && t[4] == '>') {
        m.heading = true;  // ignored, but it ends the alignment its heading began
        return m;
    }
    if (StartsWith(t, "<h")) return is(TagKind::Break);
    // A link by its href wherever it stands among the attributes ("<a class=x href=y>"); every
    // other "<a" tag is an anchor.
    if (StartsWith(t, "<a") && t.size() >= 4)
        return is(t[3] == 'h' || (TagNameEnds(t, 2) && AttributeValue(t, "href"))
                      ? TagKind::Link
                      : TagKind::Anchor);
    // Only an image tag is a picture: "<ins>", "<input>" and "<iframe>" are not.
    if (StartsWith(t, "<img") && TagNameEnds(t, 4)) return is(TagKind::Picture);
    // A picture drawn by SVG (a cover page wraps its picture so) is a picture too.
    if (StartsWith(t, "<image") && TagNameEnds(t, 6)) return is(TagKind::Picture);
    // Every other tag, closing tags of four characters among them.
    return xhtml ? ClassifyXhtmlTag(t) : m;
}

TagMeaning ClassifyXhtmlTag(std::string_view t) {
    TagMeaning m;
    auto is = [&](TagKind kind) {
        m.kind = kind;
        return m;
    };
    auto named = [&](std::string_view name) {  // "<name>" or "<name ...>"
        return StartsWith(t, name) && TagNameEnds(t, name.size());
    };
    if (named("<b") || named("<strong")) return is(TagKind::BoldOn);
    if (named("<em")) return is(TagKind::ItalicOn);
    if (t == "</em>") return is(TagKind::ItalicOff);
    if (named("<u")) return is(TagKind::UnderlineOn);
    if (named("<blockquote")) return is(TagKind::QuoteOn);
    if (named("<li") || named("<tr") || named("<dt") || named("<dd") || t == "</ul>" ||
        t == "</ol>" || t == "</dl>" || t == "</table>")
        return is(TagKind::BlockBreak);
    if (named("<td") || named("<th")) return is(TagKind::CellGap);
    return m;
}

}  // namespace pagewick
