// Text alignment from an EPUB's style sheets, and no more: EPUB writers centre headings, title
// pages and ornaments by classes (".calibre5 { text-align: center }"), and a reader that knows
// only the tags would set them all flush left. A sheet is scanned once for rules whose selector
// is a class, alone or after an element's name (".c", "p.c", either in a list "h1.a, .b"), and
// for their text-align. Selectors of descendants, ids, attributes or states, and the cascade's
// specificity, are not followed; nothing of a sheet is ever run or shown.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pagewick {

enum class EpubAlign : uint8_t {
    kUnsaid,  // no rule of the sheet aligns the class
    kStart,   // left, justify, start: what the text does anyway
    kCentre,
    kRight,
};

class EpubClassAlignments {
public:
    // Adds the rules of a style sheet; a later rule for a class replaces an earlier one.
    void Scan(std::string_view css);
    EpubAlign Find(std::string_view className) const;
    size_t Size() const { return byClass_.size(); }

private:
    std::unordered_map<std::string, EpubAlign> byClass_;
};

// What a content file's head names for its looks: the hrefs of its style sheet links, as
// written and in order, and the text of its <style> blocks. Only the part before <body> is read.
void HeadStyleSheets(std::string_view xhtml, std::vector<std::string>& links,
                     std::string& inlineCss);

}  // namespace pagewick
