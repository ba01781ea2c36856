#include "engine/Markup.h"

#include <array>

namespace pagewick {

namespace {

struct NamedEntity {
    std::string_view name;
    uint16_t code;
    std::string_view more;  // read after the character itself
};

constexpr std::array<NamedEntity, 26> kEntities = {{
    {"&nbsp;", 32, ""},     {"&s;", 32, ""},       {"&quot;", 34, ""},    {"&apos;", 39, ""},
    {"&dagger;", 39, ""},   {"&amp;", 38, ""},     {"&gt;", 62, ""},      {"&lt;", 60, ""},
    {"&reg;", 174, ""},     {"&copy;", 169, ""},   {"&mdash;", 45, ""},   {"&ndash;", 45, ""},
    {"&euro;", 0x20AC, ""}, {"&sbquo;", 44, ""},   {"&bdquo;", 44, ","},  {"&hellip;", 46, ".."},
    {"&permil;", 37, ""},   {"&bull;", 183, ""},   {"&middot;", 183, ""}, {"&trade;", 'T', "M"},
    {"&plusmn;", 177, ""},  {"&deg;", 176, ""},    {"&laquo;", 171, ""},  {"&raquo;", 187, ""},
    {"&micro;", 181, ""},   {"&iquest;", 191, ""},
}};

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

}  // namespace

uint16_t DecodeEntity(std::u16string_view entity, bool exactCase, std::u16string* more) {
    if (entity.size() >= 3 && entity[1] == u'#') {
        // "&#" and a decimal number; the number ends at the first character that is no digit.
        uint32_t code = 0;
        size_t i = 2;
        for (; i < entity.size() && entity[i] >= u'0' && entity[i] <= u'9'; ++i)
            code = (code * 10 + (entity[i] - u'0')) & 0xFFFFFF;
        return i == 2 ? 0 : uint16_t(code);
    }
    std::string name;
    for (char16_t c : entity) {
        if (c > 127) return 0;
        char ch = char(c);
        if (!exactCase && ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
        name += ch;
    }
    for (const auto& e : kEntities) {
        if (e.name == name) {
            if (more) more->assign(e.more.begin(), e.more.end());
            return e.code;
        }
    }
    return 0;
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

TagMeaning ClassifyTag(std::string_view t) {
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
        return is(TagKind::Paragraph);
    }
    if (StartsWith(t, "<h")) return is(TagKind::Break);
    if (StartsWith(t, "<a") && t.size() >= 4)
        return is(t[3] == 'h' ? TagKind::Link : TagKind::Anchor);
    // Only an image tag is a picture: "<ins>", "<input>" and "<iframe>" are not.
    if (StartsWith(t, "<img") && (t.size() == 4 || t[4] == ' ' || t[4] == '>' || t[4] == '/' ||
                                  t[4] == '\t' || t[4] == '\r' || t[4] == '\n'))
        return is(TagKind::Picture);
    return m;  // every other tag, closing tags of four characters among them
}

}  // namespace pagewick
