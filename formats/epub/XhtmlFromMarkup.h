// The book markup (the HTML the engine reads, with the system's own "<newpage>", "<curfile>" and
// "<right>", and whatever real books hold: unclosed and stray tags, unquoted attributes, form
// feeds, control characters, HTML's named references) turned into bodies of EPUB content
// documents: well-formed XHTML whose elements and attributes an EPUB 3 checker accepts.
//
// Every tag ends up closed and nested right: a paragraph, heading or list that starts inside an
// open bold or link closes it and opens it again inside (so styles last until their end tag, as
// the reader shows them), list items and definitions outside their list get one, tables become
// rows of cells as text, and anything unknown is dropped with its text kept. References become
// characters (XHTML knows only the five of XML), text is UTF-8 with nothing XML refuses. Ids are
// kept, made valid and unique in their document; links are rewritten once every document is
// known, to the file that now holds their target ("c3.xhtml#note"), or lose their target when
// the book holds none (an EPUB may not point at what is not there). Centred and right-aligned
// blocks get the classes "center" and "right" of XhtmlStyleSheet().
//
// One pass over the input, each character looked at a bounded number of times, so a book of any
// size converts in time proportional to it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pagewick {

// How 8-bit markup is encoded. The engine's 8-bit books (LIT, PAWK, 8-bit files) are
// Windows-1252; 16-bit markup is UTF-16 and goes through the char16_t overload.
enum class MarkupEncoding { kWindows1252, kUtf8 };

struct XhtmlOptions {
    MarkupEncoding encoding = MarkupEncoding::kWindows1252;
    // The name under which the book stores the picture a document's <img src> names (src with
    // its references decoded, as written); "" when the book holds none, and the picture is then
    // left out with its description (alt) kept as text. Without it no picture is kept.
    std::function<std::string(std::string_view src)> picture;
};

// Where a link leads: a document and an id written in it ("" for the document's start).
struct XhtmlTarget {
    size_t document = 0;
    std::string fragment;
};

// The style sheet the classes of the converted documents need.
std::string_view XhtmlStyleSheet();

struct XhtmlBookState;

class XhtmlFromMarkup {
public:
    // A link read outside every document (a contents entry): relative to the book's root.
    static constexpr size_t kFromRoot = size_t(-1);

    explicit XhtmlFromMarkup(XhtmlOptions options = {});
    ~XhtmlFromMarkup();
    XhtmlFromMarkup(const XhtmlFromMarkup&) = delete;
    XhtmlFromMarkup& operator=(const XhtmlFromMarkup&) = delete;

    // Converts one document and returns its index. storedName is its file name in the book;
    // originalName the name the book's links use for it ("" when it has none). "<curfile>" marks
    // inside the markup name further files that now live in this document.
    size_t Add(std::string_view storedName, std::string_view originalName, std::string_view markup);
    size_t Add(std::string_view storedName, std::string_view originalName,
               std::u16string_view markup);

    // After the last Add: writes every link's target. Bodies are final only after this.
    void Finish();

    size_t Size() const;
    const std::string& StoredName(size_t document) const;
    const std::string& Body(size_t document) const;
    std::string TakeBody(size_t document);
    // The text of the document's <title>, else of its first heading ("" when it has neither),
    // white space collapsed.
    const std::string& Title(size_t document) const;

    // Where an href written in document `from` (or kFromRoot) leads in the converted book, by
    // the same rules as the documents' links: an id that is not there leads to its document's
    // start, a file the book does not hold leads nowhere.
    std::optional<XhtmlTarget> Resolve(std::string_view href, size_t from = kFromRoot) const;

private:
    std::unique_ptr<XhtmlBookState> book_;
};

// One document alone: its body, links among its own ids resolved.
std::string XhtmlBodyFromMarkup(std::string_view markup, const XhtmlOptions& options = {});

}  // namespace pagewick
