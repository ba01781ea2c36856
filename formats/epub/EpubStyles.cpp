#include "formats/epub/EpubStyles.h"

#include <algorithm>

#include "util/AsciiCase.h"

namespace pagewick {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || uint8_t(c) >= 0x80;
}

// The class a selector names when it is ".name" or "element.name"; "" for any other selector.
std::string_view SelectorClass(std::string_view selector) {
    selector = Trim(selector);
    size_t dot = 0;
    while (dot < selector.size() && IsNameChar(selector[dot]))
        ++dot;
    if (dot >= selector.size() || selector[dot] != '.') return {};
    std::string_view name = selector.substr(dot + 1);
    if (name.empty()) return {};
    for (char c : name)
        if (!IsNameChar(c)) return {};
    return name;
}

// The text-align a declaration block gives (the last one, as the cascade reads it).
EpubAlign BlockAlignment(std::string_view block) {
    EpubAlign align = EpubAlign::kUnsaid;
    for (size_t at = 0; at < block.size();) {
        size_t end = block.find(';', at);
        if (end == std::string_view::npos) end = block.size();
        std::string_view declaration = block.substr(at, end - at);
        at = end + 1;
        size_t colon = declaration.find(':');
        if (colon == std::string_view::npos) continue;
        if (LowerAscii(Trim(declaration.substr(0, colon))) != "text-align") continue;
        std::string value = LowerAscii(Trim(declaration.substr(colon + 1)));
        if (value.starts_with("center"))
            align = EpubAlign::kCentre;
        else if (value.starts_with("right"))
            align = EpubAlign::kRight;
        else
            align = EpubAlign::kStart;
    }
    return align;
}

}  // namespace

void EpubClassAlignments::Scan(std::string_view css) {
    // Comments are taken out first: a "{" or "}" in one means nothing.
    std::string text;
    text.reserve(css.size());
    for (size_t i = 0; i < css.size();) {
        if (css.compare(i, 2, "/*") == 0) {
            size_t close = css.find("*/", i + 2);
            if (close == std::string_view::npos) break;
            i = close + 2;
            text += ' ';
        } else {
            text += css[i++];
        }
    }
    std::string_view s = text;
    size_t at = 0;
    while (at < s.size()) {
        size_t open = s.find('{', at);
        if (open == std::string_view::npos) break;
        std::string_view selectors = s.substr(at, open - at);
        // What stands before the selector: the end of an enclosing block, a statement such as
        // "@import ...;".
        if (size_t cut = selectors.find_last_of("};"); cut != std::string_view::npos)
            selectors = selectors.substr(cut + 1);
        selectors = Trim(selectors);
        if (selectors.starts_with('@')) {
            // A group of rules ("@media", "@supports") is read as its rules; any other at-rule
            // ("@page", "@font-face") is passed over with its block, however it nests.
            if (selectors.starts_with("@media") || selectors.starts_with("@supports")) {
                at = open + 1;
                continue;
            }
            int depth = 0;
            size_t i = open;
            for (; i < s.size(); ++i) {
                if (s[i] == '{') ++depth;
                if (s[i] == '}' && --depth == 0) break;
            }
            at = i + 1;
            continue;
        }
        size_t close = s.find('}', open + 1);
        if (close == std::string_view::npos) close = s.size();
        const EpubAlign align = BlockAlignment(s.substr(open + 1, close - open - 1));
        at = close + 1;
        if (align == EpubAlign::kUnsaid) continue;
        for (size_t from = 0; from <= selectors.size();) {
            size_t comma = selectors.find(',', from);
            if (comma == std::string_view::npos) comma = selectors.size();
            std::string_view name = SelectorClass(selectors.substr(from, comma - from));
            if (!name.empty()) byClass_[std::string(name)] = align;
            from = comma + 1;
        }
    }
}

EpubAlign EpubClassAlignments::Find(std::string_view className) const {
    auto found = byClass_.find(std::string(className));
    return found == byClass_.end() ? EpubAlign::kUnsaid : found->second;
}

namespace {

// The value of an attribute inside one tag's text (names without regard to case).
bool TagAttribute(std::string_view tag, std::string_view name, std::string& value) {
    const std::string lower = LowerAscii(tag);
    for (size_t at = lower.find(name); at != std::string::npos; at = lower.find(name, at + 1)) {
        if (at == 0 || !IsSpace(lower[at - 1])) continue;
        size_t i = at + name.size();
        while (i < tag.size() && IsSpace(tag[i]))
            ++i;
        if (i >= tag.size() || tag[i] != '=') continue;
        ++i;
        while (i < tag.size() && IsSpace(tag[i]))
            ++i;
        if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
            size_t close = tag.find(tag[i], i + 1);
            if (close == std::string_view::npos) return false;
            value = std::string(tag.substr(i + 1, close - i - 1));
        } else {
            size_t stop = i;
            while (stop < tag.size() && !IsSpace(tag[stop]) && tag[stop] != '>' && tag[stop] != '/')
                ++stop;
            value = std::string(tag.substr(i, stop - i));
        }
        return true;
    }
    return false;
}

}  // namespace

void HeadStyleSheets(std::string_view xhtml, std::vector<std::string>& links,
                     std::string& inlineCss) {
    links.clear();
    inlineCss.clear();
    // A head is a few hundred bytes; one past 64 KB is read as far as that.
    const std::string lower = LowerAscii(xhtml.substr(0, std::min<size_t>(xhtml.size(), 65536)));
    size_t headEnd = lower.find("<body");
    if (headEnd == std::string::npos) headEnd = lower.size();
    for (size_t at = lower.find('<'); at < headEnd; at = lower.find('<', at + 1)) {
        size_t close = lower.find('>', at);
        if (close == std::string::npos || close > headEnd) break;
        std::string_view tag = xhtml.substr(at, close - at + 1);
        std::string_view name = std::string_view(lower).substr(at + 1);
        if (name.starts_with("link") && name.size() > 4 && IsSpace(name[4])) {
            std::string rel, href;
            if (TagAttribute(tag, "rel", rel) &&
                LowerAscii(rel).find("stylesheet") != std::string::npos &&
                LowerAscii(rel).find("alternate") == std::string::npos &&
                TagAttribute(tag, "href", href) && !href.empty())
                links.push_back(href);
        } else if (name.starts_with("style") && name.size() > 5 &&
                   (IsSpace(name[5]) || name[5] == '>')) {
            if (tag.size() >= 2 && tag[tag.size() - 2] == '/') continue;  // "<style/>"
            size_t end = lower.find("</style", close + 1);
            if (end == std::string::npos || end > headEnd) end = headEnd;
            inlineCss.append(xhtml.substr(close + 1, end - close - 1));
            inlineCss += '\n';
            at = end;
            continue;
        }
        at = close;  // a tag holds no other: the next one begins after its ">"
    }
}

}  // namespace pagewick
