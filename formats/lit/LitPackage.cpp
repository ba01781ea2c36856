#include "formats/lit/LitPackage.h"

#include "util/Cp1252.h"

namespace pagewick {

namespace {

// The text between open and close, searched from `from`; nothing when either is missing.
std::optional<std::string> Between(std::string_view text, std::string_view open,
                                   std::string_view close, size_t from = 0) {
    size_t start = text.find(open, from);
    if (start == std::string_view::npos) return std::nullopt;
    start += open.size();
    size_t end = text.find(close, start);
    if (end == std::string_view::npos) return std::nullopt;
    return std::string(text.substr(start, end - start));
}

}  // namespace

LitMetadata CutLitMetadata(std::string_view package) {
    LitMetadata m;
    m.title = Between(package, "<dc:Title>", "</dc:Title>");
    m.publisher = Between(package, "<dc:Publisher>", "</dc:Publisher>");
    size_t creator = package.find("<dc:Creator");
    if (creator != std::string_view::npos)
        m.author = Between(package, ">", "</dc:Creator>", creator);
    m.isbn = Between(package, "scheme=\"ISBN\">", "</dc:Identifier>");
    m.rights = Between(package, "<dc:Rights>", "</dc:Rights>");
    size_t language = package.find("<dc:Language");
    if (language != std::string_view::npos)
        m.language = Between(package, ">", "</dc:Language>", language);
    return m;
}

std::string LitLabelToUtf8(std::string label) {
    PlainTitleText(label);
    // The decoder writes every character beyond the code page's few as "&#" and digits and ";".
    return CodePageLabelToUtf8(label);
}

void BuildLitContents(std::string_view package, std::vector<ContentsEntry>& contents,
                      std::string& coverTarget) {
    contents.clear();
    coverTarget.clear();
    size_t cover = package.find("other.ms-coverimage-standard");
    if (cover != std::string_view::npos) {
        if (auto target = Between(package, "href=\"", "\"", cover)) {
            contents.push_back(ContentsEntry{"Cover Image", *target});
            coverTarget = *target;
        }
    }
    size_t tours = package.find("<tours>");
    if (tours == std::string_view::npos) return;
    size_t at = package.find("tour id=\"chaptertour\"", tours);
    if (at == std::string_view::npos) return;
    constexpr std::string_view kSite = "site title=\"";
    constexpr std::string_view kHref = "href=\"";
    for (;;) {
        size_t site = package.find(kSite, at);
        if (site == std::string_view::npos) return;
        size_t titleStart = site + kSite.size();
        // The title ends at a double quote followed by a space: a quote inside it is written as
        // a plain quote by the decoder.
        size_t titleEnd = titleStart;
        for (;; ++titleEnd) {
            titleEnd = package.find('"', titleEnd);
            if (titleEnd == std::string_view::npos) return;
            if (titleEnd + 1 < package.size() && package[titleEnd + 1] == ' ') break;
        }
        size_t href = package.find(kHref, titleEnd);
        if (href == std::string_view::npos) return;
        size_t targetStart = href + kHref.size();
        size_t targetEnd = package.find('"', targetStart);
        if (targetEnd == std::string_view::npos) return;
        contents.push_back(ContentsEntry{
            LitLabelToUtf8(std::string(package.substr(titleStart, titleEnd - titleStart))),
            std::string(package.substr(targetStart, targetEnd - targetStart))});
        at = targetEnd + 1;
    }
}

}  // namespace pagewick
