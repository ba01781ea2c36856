#include "builder/EpubSource.h"

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "engine/BookEngine.h"
#include "engine/Markup.h"
#include "formats/epub/EpubPackage.h"
#include "formats/epub/EpubPath.h"
#include "pawk/PawkFormat.h"
#include "util/AsciiCase.h"
#include "util/Cp1252.h"

namespace pagewick {

namespace {

// The body's bound: far past any real book, and below what the PAWK book's positions reach.
constexpr size_t kBodyBytes = 512u << 20;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// Where the value of attribute `name` lies in a tag (name matched without case): the span of
// the attribute as a whole and of its value, without quotes.
struct AttributeSpan {
    size_t start = 0, end = 0;            // the attribute, name to closing quote
    size_t valueStart = 0, valueEnd = 0;  // its value
};
std::optional<AttributeSpan> FindAttribute(std::string_view tag, std::string_view name) {
    size_t i = 1;
    while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '>' && tag[i] != '/')
        ++i;
    while (i < tag.size()) {
        while (i < tag.size() && (IsSpace(tag[i]) || tag[i] == '/'))
            ++i;
        const size_t start = i;
        while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '=' && tag[i] != '>' &&
               tag[i] != '/')
            ++i;
        const std::string_view attribute = tag.substr(start, i - start);
        size_t at = i;
        while (at < tag.size() && IsSpace(tag[at]))
            ++at;
        if (at >= tag.size() || tag[at] != '=') {
            if (i == start) ++i;  // ">" or a stray character
            continue;
        }
        ++at;
        while (at < tag.size() && IsSpace(tag[at]))
            ++at;
        AttributeSpan span;
        span.start = start;
        if (at < tag.size() && (tag[at] == '"' || tag[at] == '\'')) {
            size_t close = tag.find(tag[at], at + 1);
            if (close == std::string_view::npos) return std::nullopt;
            span.valueStart = at + 1;
            span.valueEnd = close;
            span.end = close + 1;
        } else {
            size_t stop = at;
            while (stop < tag.size() && !IsSpace(tag[stop]) && tag[stop] != '>')
                ++stop;
            span.valueStart = at;
            span.valueEnd = span.end = stop;
        }
        if (EqualIgnoringAsciiCase(attribute, name)) return span;
        i = span.end;
    }
    return std::nullopt;
}

// The tag's name in lower case ("a", "img", "/p", "!--").
std::string TagName(std::string_view tag) {
    size_t end = 1;
    while (end < tag.size() && !IsSpace(tag[end]) && tag[end] != '>' &&
           !(tag[end] == '/' && end > 1))
        ++end;
    return LowerAscii(tag.substr(1, end - 1));
}

// An href or picture name as the PAWK book's reader follows it: the container path, "#" and the
// place (a whole file as "path#"); nothing for one that would leave the book; outside addresses
// as written.
std::optional<std::string> BookName(const std::string& file, std::string_view written,
                                    bool picture) {
    if (IsOutsideTarget(std::string(written))) return std::string(written);
    std::string path, fragment;
    if (!ResolveHref(file, written, path, fragment)) return std::nullopt;
    std::string name = picture ? path : path + "#" + fragment;
    // The name goes back between double quotes of a tag.
    if (name.find_first_of("\"<>") != std::string::npos) return std::nullopt;
    return name;
}

// One tag rewritten: its link or picture name resolved (or taken out), and an anchor after it
// for its id.
std::string RewriteTag(const std::string& file, std::string_view tag) {
    const std::string name = TagName(tag);
    std::string out(tag);
    auto replace = [&](std::string_view attribute, bool picture) {
        std::optional<AttributeSpan> span = FindAttribute(out, attribute);
        if (!span) return false;
        std::optional<std::string> resolved = BookName(
            file, std::string_view(out).substr(span->valueStart, span->valueEnd - span->valueStart),
            picture);
        if (resolved)
            out.replace(span->valueStart, span->valueEnd - span->valueStart, *resolved);
        else
            out.erase(span->start, span->end - span->start);
        return true;
    };
    if (name == "a") {
        replace("href", false);
    } else if (name == "img") {
        replace("src", true);
    } else if (name == "image") {
        if (!replace("xlink:href", true)) replace("href", true);
    }
    // What only XHTML means (strong and emphasis with attributes, list items, table rows and
    // cells) in the tags every book's markup knows, so that the book reads as its EPUB did.
    std::string kept = out;
    if (const std::string lower = LowerAscii(out); ClassifyTag(lower).kind == TagKind::Ignore) {
        switch (ClassifyXhtmlTag(lower).kind) {
            case TagKind::BoldOn:
                out = "<b>";
                break;
            case TagKind::ItalicOn:
                out = "<i>";
                break;
            case TagKind::ItalicOff:
                out = "</i>";
                break;
            case TagKind::UnderlineOn:
                out = "<u>";
                break;
            case TagKind::QuoteOn:
                out = "<blockquote>";
                break;
            case TagKind::BlockBreak:
                out = "<br>";
                break;
            case TagKind::CellGap:
                out = " ";
                break;
            default:
                break;
        }
    }
    if (!name.empty() && name[0] != '/' && name[0] != '!' && name[0] != '?') {
        if (std::optional<AttributeSpan> id = FindAttribute(kept, "id")) {
            std::string place(kept, id->valueStart, id->valueEnd - id->valueStart);
            if (!place.empty() && place.find_first_of("\"<>") == std::string::npos)
                out += "<a name=\"" + file + "#" + place + "\"></a>";
        }
    }
    return out;
}

}  // namespace

std::string EpubFileMarkup(const std::string& file, std::string_view xhtml) {
    if (xhtml.starts_with("\xEF\xBB\xBF")) xhtml.remove_prefix(3);
    std::string utf8 = "<newpage><br><curfile>" + file + "</curfile>";
    utf8.reserve(xhtml.size() + utf8.size() + 64);
    // The next ">" is looked for once however many "<" stand before it, so that no text makes
    // this pass slower than linear.
    size_t nextClose = 0;
    for (size_t i = 0; i < xhtml.size();) {
        const char c = xhtml[i];
        if (c == '<') {
            if (xhtml.compare(i, 4, "<!--") == 0) {
                // A comment is left out, whatever it holds.
                size_t close = xhtml.find("-->", i + 4);
                close = close == std::string_view::npos ? xhtml.size() : close + 3;
                i = close;
                continue;
            }
            if (nextClose <= i) nextClose = std::min(xhtml.find('>', i + 1), xhtml.size());
            const size_t close = nextClose < xhtml.size() ? nextClose : std::string_view::npos;
            const size_t next = xhtml.find('<', i + 1);
            if (close == std::string_view::npos || next < close) {
                utf8 += "&lt;";  // a stray "<" is text
                ++i;
                continue;
            }
            std::string tag = RewriteTag(file, xhtml.substr(i, close - i + 1));
            // Line ends inside tags and text alike are spaces: the body's chain drops them.
            for (char& t : tag)
                if (t == '\r' || t == '\n' || t == '\t') t = ' ';
            utf8 += tag;
            i = close + 1;
            continue;
        }
        utf8 += c == '\r' || c == '\n' || c == '\t' || c == '\0' ? ' ' : c;
        ++i;
    }
    utf8 += " <newpage>";
    // The code page's em dash (151) is shown as "-" in 8-bit books: the dash is kept as a
    // reference, which the reader shows as itself.
    for (size_t at = utf8.find("\xE2\x80\x94"); at != std::string::npos;
         at = utf8.find("\xE2\x80\x94", at))
        utf8.replace(at, 3, "&#8212;");
    return Utf8ToCodePageLabel(utf8);
}

const char* EpubSourceMessage(EpubResult result) {
    if (result == EpubResult::kOk) return "";
    if (result == EpubResult::kReadFailed) return "Cannot open ebook file.";
    return EpubOpenMessage(result);
}

EpubResult OpenEpubSource(const std::string& path, LitSource& out) {
    out = LitSource();
    EpubPackage book;
    EpubResult result = book.Open(path);
    if (result != EpubResult::kOk) return result;
    LitSource epub;
    epub.path = path;
    try {
        for (size_t i = 0; i < book.Spine().size(); ++i) {
            std::shared_ptr<const std::string> bytes;
            // A file that cannot be read is left out; the rest of the book is built.
            if (book.Content(i, bytes) != EpubResult::kOk || !bytes) continue;
            std::string markup = EpubFileMarkup(book.Spine()[i].path, *bytes);
            if (epub.body.size() + markup.size() > kBodyBytes) break;
            epub.body += markup;
        }
        // Every picture the manifest lists, under the name the body now gives it.
        for (const EpubManifestItem& item : book.Manifest()) {
            const std::string type = LowerAscii(item.mediaType);
            if (item.path.empty() ||
                (type != "image/jpeg" && type != "image/png" && type != "image/gif"))
                continue;
            std::string bytes;
            if (book.ReadMember(item.path, bytes) != EpubResult::kOk) continue;
            epub.pictures.push_back({item.path, std::vector<uint8_t>(bytes.begin(), bytes.end())});
        }
    } catch (const std::bad_alloc&) {
        return EpubResult::kNoMemory;
    }
    if (epub.body.empty()) return EpubResult::kNoSpine;

    const EpubMetadata& meta = book.Metadata();
    auto cut = [](std::string label, size_t n) {
        // Never inside a character reference ("&#26085;"), which would show as its digits.
        if (label.size() <= n) return label;
        size_t amp = label.rfind('&', n - 1);
        if (amp != std::string::npos && label.find(';', amp) >= n) return label.substr(0, amp);
        return label.substr(0, n);
    };
    epub.title = cut(Utf8ToCodePageLabel(meta.title), 64);
    epub.author = Utf8ToCodePageLabel(meta.creators);
    epub.publisher = Utf8ToCodePageLabel(meta.publisher);
    epub.rights = Utf8ToCodePageLabel(meta.rights);
    epub.identifier = Utf8ToCodePageLabel(!meta.isbn.empty() ? meta.isbn : meta.identifier);
    // The cover entry, unless the picture's name already makes the reader put one in front.
    if (book.CoverIsPicture() &&
        PawkFoldCase(book.CoverPath() + ":0").find("cover.png:0") == std::string::npos)
        epub.contents.push_back({0, "Cover Image", book.CoverPath()});
    for (const EpubContentsEntry& entry : book.Contents()) {
        if (entry.path.empty()) continue;  // it leads nowhere in this book either
        epub.contents.push_back(
            {0, Utf8ToCodePageLabel(entry.title), entry.path + "#" + entry.fragment});
    }
    out = std::move(epub);
    return EpubResult::kOk;
}

}  // namespace pagewick
