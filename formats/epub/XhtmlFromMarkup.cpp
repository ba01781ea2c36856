#include "formats/epub/XhtmlFromMarkup.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "formats/epub/EpubPath.h"
#include "formats/epub/HtmlEntities.h"
#include "util/AsciiCase.h"

namespace pagewick {

namespace {

// ---- elements ----

enum class El : uint8_t {
    kRoot,
    kP,
    kH,  // h1 to h6, the level kept beside
    kDiv,
    kCenter,
    kRight,
    kBlockquote,
    kPre,
    kUl,
    kOl,
    kLi,
    kDl,
    kDt,
    kDd,
    kTable,
    kTr,
    kCell,
    kB,
    kI,
    kU,
    kS,
    kEm,
    kStrong,
    kSmall,
    kSub,
    kSup,
    kCode,
    kKbd,
    kSamp,
    kVar,
    kCite,
    kDfn,
    kAbbr,
    kQ,
    kMark,
    kDel,
    kIns,
    kA,
};

// What an element may hold: blocks and text (flow), text only (phrasing blocks and inline
// elements), list items only, or terms and definitions only.
enum class Holds : uint8_t { kFlow, kPhrasing, kInline, kList, kDefList };

struct ElementInfo {
    const char* name;  // written name
    const char* cls;   // class written with it, or nullptr
    Holds holds;
};

constexpr ElementInfo kElements[] = {
    {"body", nullptr, Holds::kFlow},       {"p", nullptr, Holds::kPhrasing},
    {"h", nullptr, Holds::kPhrasing},      {"div", nullptr, Holds::kFlow},
    {"div", "center", Holds::kFlow},       {"div", "right", Holds::kFlow},
    {"blockquote", nullptr, Holds::kFlow}, {"pre", nullptr, Holds::kPhrasing},
    {"ul", nullptr, Holds::kList},         {"ol", nullptr, Holds::kList},
    {"li", nullptr, Holds::kFlow},         {"dl", nullptr, Holds::kDefList},
    {"dt", nullptr, Holds::kPhrasing},     {"dd", nullptr, Holds::kFlow},
    {"div", "table", Holds::kFlow},        {"div", "row", Holds::kFlow},
    {"div", "cell", Holds::kFlow},         {"b", nullptr, Holds::kInline},
    {"i", nullptr, Holds::kInline},        {"u", nullptr, Holds::kInline},
    {"s", nullptr, Holds::kInline},        {"em", nullptr, Holds::kInline},
    {"strong", nullptr, Holds::kInline},   {"small", nullptr, Holds::kInline},
    {"sub", nullptr, Holds::kInline},      {"sup", nullptr, Holds::kInline},
    {"code", nullptr, Holds::kInline},     {"kbd", nullptr, Holds::kInline},
    {"samp", nullptr, Holds::kInline},     {"var", nullptr, Holds::kInline},
    {"cite", nullptr, Holds::kInline},     {"dfn", nullptr, Holds::kInline},
    {"abbr", nullptr, Holds::kInline},     {"q", nullptr, Holds::kInline},
    {"mark", nullptr, Holds::kInline},     {"del", nullptr, Holds::kInline},
    {"ins", nullptr, Holds::kInline},      {"a", nullptr, Holds::kInline},
};

const ElementInfo& Info(El el) {
    return kElements[size_t(el)];
}

// What a tag does.
enum class Act : uint8_t {
    kHeadOnly,  // belongs in a head: dropped without ending it
    kBlock,
    kInline,
    kA,
    kBr,
    kImg,
    kHr,
    kHead,
    kBody,
    kTitle,
    kCurFile,
    kRaw,  // style, script: content swallowed up to the end tag
    kNewPage,
};

struct TagInfo {
    std::string_view name;
    Act act;
    El el;
    uint8_t level;  // headings
};

// Sorted by name.
constexpr TagInfo kTags[] = {
    {"a", Act::kA, El::kA, 0},
    {"abbr", Act::kInline, El::kAbbr, 0},
    {"acronym", Act::kInline, El::kAbbr, 0},
    {"address", Act::kBlock, El::kDiv, 0},
    {"article", Act::kBlock, El::kDiv, 0},
    {"aside", Act::kBlock, El::kDiv, 0},
    {"b", Act::kInline, El::kB, 0},
    {"base", Act::kHeadOnly, El::kRoot, 0},
    {"basefont", Act::kHeadOnly, El::kRoot, 0},
    {"bgsound", Act::kHeadOnly, El::kRoot, 0},
    {"blockquote", Act::kBlock, El::kBlockquote, 0},
    {"body", Act::kBody, El::kRoot, 0},
    {"br", Act::kBr, El::kRoot, 0},
    {"caption", Act::kBlock, El::kDiv, 0},
    {"center", Act::kBlock, El::kCenter, 0},
    {"cite", Act::kInline, El::kCite, 0},
    {"code", Act::kInline, El::kCode, 0},
    {"curfile", Act::kCurFile, El::kRoot, 0},
    {"dd", Act::kBlock, El::kDd, 0},
    {"del", Act::kInline, El::kDel, 0},
    {"details", Act::kBlock, El::kDiv, 0},
    {"dfn", Act::kInline, El::kDfn, 0},
    {"dir", Act::kBlock, El::kUl, 0},
    {"div", Act::kBlock, El::kDiv, 0},
    {"dl", Act::kBlock, El::kDl, 0},
    {"dt", Act::kBlock, El::kDt, 0},
    {"em", Act::kInline, El::kEm, 0},
    {"fieldset", Act::kBlock, El::kDiv, 0},
    {"figcaption", Act::kBlock, El::kDiv, 0},
    {"figure", Act::kBlock, El::kDiv, 0},
    {"footer", Act::kBlock, El::kDiv, 0},
    {"form", Act::kBlock, El::kDiv, 0},
    {"h1", Act::kBlock, El::kH, 1},
    {"h2", Act::kBlock, El::kH, 2},
    {"h3", Act::kBlock, El::kH, 3},
    {"h4", Act::kBlock, El::kH, 4},
    {"h5", Act::kBlock, El::kH, 5},
    {"h6", Act::kBlock, El::kH, 6},
    {"head", Act::kHead, El::kRoot, 0},
    {"header", Act::kBlock, El::kDiv, 0},
    {"hgroup", Act::kBlock, El::kDiv, 0},
    {"hr", Act::kHr, El::kRoot, 0},
    {"html", Act::kHeadOnly, El::kRoot, 0},
    {"i", Act::kInline, El::kI, 0},
    {"img", Act::kImg, El::kRoot, 0},
    {"ins", Act::kInline, El::kIns, 0},
    {"kbd", Act::kInline, El::kKbd, 0},
    {"legend", Act::kBlock, El::kDiv, 0},
    {"li", Act::kBlock, El::kLi, 0},
    {"link", Act::kHeadOnly, El::kRoot, 0},
    {"listing", Act::kBlock, El::kPre, 0},
    {"main", Act::kBlock, El::kDiv, 0},
    {"mark", Act::kInline, El::kMark, 0},
    {"menu", Act::kBlock, El::kUl, 0},
    {"meta", Act::kHeadOnly, El::kRoot, 0},
    {"nav", Act::kBlock, El::kDiv, 0},
    {"newpage", Act::kNewPage, El::kRoot, 0},
    {"noscript", Act::kHeadOnly, El::kRoot, 0},
    {"ol", Act::kBlock, El::kOl, 0},
    {"p", Act::kBlock, El::kP, 0},
    {"plaintext", Act::kBlock, El::kPre, 0},
    {"pre", Act::kBlock, El::kPre, 0},
    {"q", Act::kInline, El::kQ, 0},
    {"right", Act::kBlock, El::kRight, 0},
    {"s", Act::kInline, El::kS, 0},
    {"samp", Act::kInline, El::kSamp, 0},
    {"script", Act::kRaw, El::kRoot, 0},
    {"section", Act::kBlock, El::kDiv, 0},
    {"small", Act::kInline, El::kSmall, 0},
    {"strike", Act::kInline, El::kS, 0},
    {"strong", Act::kInline, El::kStrong, 0},
    {"style", Act::kRaw, El::kRoot, 0},
    {"sub", Act::kInline, El::kSub, 0},
    {"summary", Act::kBlock, El::kDiv, 0},
    {"sup", Act::kInline, El::kSup, 0},
    {"table", Act::kBlock, El::kTable, 0},
    {"td", Act::kBlock, El::kCell, 0},
    {"th", Act::kBlock, El::kCell, 0},
    {"title", Act::kTitle, El::kRoot, 0},
    {"tr", Act::kBlock, El::kTr, 0},
    {"tt", Act::kInline, El::kCode, 0},
    {"u", Act::kInline, El::kU, 0},
    {"ul", Act::kBlock, El::kUl, 0},
    {"var", Act::kInline, El::kVar, 0},
    {"xmp", Act::kBlock, El::kPre, 0},
};

static_assert(std::is_sorted(std::begin(kTags), std::end(kTags),
                             [](const TagInfo& a, const TagInfo& b) { return a.name < b.name; }));

// Tags the book markup does not know (font, span, Word's "o:p", ...) are dropped, their text
// and ids kept.
const TagInfo* FindTag(std::string_view name) {
    auto found =
        std::lower_bound(std::begin(kTags), std::end(kTags), name,
                         [](const TagInfo& t, std::string_view wanted) { return t.name < wanted; });
    return found != std::end(kTags) && found->name == name ? found : nullptr;
}

// Blocks nest at most this deep (each may add one implied list item or definition); inline
// elements reopened in every block are at most kMaxFormatting. The output's depth stays well
// inside what any XML reader accepts.
constexpr size_t kMaxBlockDepth = 60;
constexpr size_t kMaxFormatting = 16;
constexpr int kMaxSameFormatting = 3;
constexpr size_t kMaxCapture = 4096;
// Longer names than this after "&" are no references.
constexpr size_t kMaxReferenceName = 32;

// The placeholder a link's href stands as until every document is known: never in text,
// which holds no control characters.
constexpr char kLinkMark = '\x01';
constexpr char kLinkMarkEnd = '\x02';

bool IsAsciiLetter(uint32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsAsciiDigit(uint32_t c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(uint32_t c) {
    return IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsSpaceUnit(uint32_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// A numeric reference's character, as browsers read it: 128 to 159 are Windows-1252's.
char32_t NumericCharacter(uint32_t code) {
    if (code >= 0x80 && code < 0xA0) return Cp1252HighCharacter((unsigned char)code);
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0xFFFD;
    return char32_t(code);
}

void AppendEscaped(std::string& out, char32_t c, bool attribute) {
    switch (c) {
        case '&':
            out += "&amp;";
            return;
        case '<':
            out += "&lt;";
            return;
        case '>':
            out += "&gt;";
            return;
        case '"':
            if (attribute) {
                out += "&quot;";
                return;
            }
            break;
        default:
            break;
    }
    if (c < 0x80)
        out += char(c);
    else
        AppendUtf8(out, c);
}

// UTF-8 text written as attribute text: white space as spaces, what XML refuses left out.
void AppendAttributeText(std::string& out, std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const char32_t c = NextUtf8(text, i);
        if (IsSpaceUnit(c))
            out += ' ';
        else if (IsXmlTextCharacter(c))
            AppendEscaped(out, c, true);
    }
}

// An id as XML and HTML accept it: letters, digits, "_", "-" and "." with a letter or "_"
// first; any other byte written as "_" and its value in hex, so different names stay
// different.
std::string SanitizeId(std::string_view raw) {
    std::string out;
    for (unsigned char c : raw) {
        if (IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_' || c == '-' || c == '.') {
            out += char(c);
        } else {
            constexpr char kHex[] = "0123456789ABCDEF";
            out += '_';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    if (out.empty() || !(IsAsciiLetter((unsigned char)out[0]) || out[0] == '_'))
        out.insert(0, "id_");
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpaceUnit((unsigned char)s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpaceUnit((unsigned char)s.back()))
        s.remove_suffix(1);
    return s;
}

std::string CollapseSpaces(std::string_view text) {
    std::string out;
    bool space = false;
    for (char c : text) {
        if (IsSpaceUnit((unsigned char)c)) {
            space = !out.empty();
            continue;
        }
        if (space) out += ' ';
        space = false;
        out += c;
    }
    return out;
}

// A URL written into an attribute: characters a URL may not hold percent-encoded, a "%" that
// begins no escape written "%25".
std::string EncodeUrl(std::string_view url) {
    static constexpr std::string_view kAllowed = "-._~:/?#[]@!$&'()*+,;=";
    std::string out;
    for (size_t i = 0; i < url.size(); ++i) {
        unsigned char c = (unsigned char)url[i];
        bool keep =
            IsAsciiLetter(c) || IsAsciiDigit(c) || kAllowed.find(char(c)) != std::string_view::npos;
        if (c == '%' && i + 2 < url.size() && IsHexDigit((unsigned char)url[i + 1]) &&
            IsHexDigit((unsigned char)url[i + 2]))
            keep = true;
        if (keep) {
            out += char(c);
        } else {
            constexpr char kHex[] = "0123456789ABCDEF";
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// "http:", "mailto:" ... : a scheme of two letters or more (one letter is a drive).
std::string SchemeOf(std::string_view href) {
    size_t i = 0;
    while (i < href.size() && (IsAsciiLetter((unsigned char)href[i]) ||
                               (i > 0 && (IsAsciiDigit((unsigned char)href[i]) || href[i] == '+' ||
                                          href[i] == '-' || href[i] == '.'))))
        ++i;
    if (i < 2 || i >= href.size() || href[i] != ':') return {};
    return LowerAscii(href.substr(0, i));
}

// A path the way the book names a file, folded for looking it up: "\" as "/", "." and ".."
// folded, A-Z lowered; the last part alone when it cannot be folded.
std::string FileKey(std::string_view name) {
    std::string path(Trim(name));
    std::replace(path.begin(), path.end(), '\\', '/');
    std::string normal;
    if (!NormalizeContainerPath(path, normal)) {
        size_t slash = path.find_last_of('/');
        normal = slash == std::string::npos ? path : path.substr(slash + 1);
    }
    return LowerAscii(normal);
}

std::string_view BaseName(std::string_view key) {
    size_t slash = key.find_last_of('/');
    return slash == std::string_view::npos ? key : key.substr(slash + 1);
}

}  // namespace

std::string_view XhtmlStyleSheet() {
    return "body { margin: 0 1em; }\n"
           ".center { text-align: center; }\n"
           ".right { text-align: right; }\n"
           "div.pagebreak { page-break-after: always; break-after: page; }\n"
           "div.row { margin: 0.2em 0; }\n"
           "div.cell { display: inline-block; vertical-align: top; padding-right: 1em; }\n"
           "pre { white-space: pre-wrap; }\n"
           "img { max-width: 100%; }\n"
           "div.cover { text-align: center; }\n"
           "div.cover img { max-height: 95vh; }\n";
}

// ---- the book: documents, the names their links use, ids, links ----

struct XhtmlBookState {
    struct Document {
        std::string stored;
        std::string body;
        std::string title;
        // Written ids by "file#raw" (the file as its key), by the same lowered, by raw id
        // lowered.
        std::unordered_map<std::string, std::string> byFileAndId, byFileAndFoldedId, byFoldedId;
        std::unordered_set<std::string> written;
        std::unordered_map<std::string, int> nextSuffix;
    };
    struct Link {
        size_t document;
        std::string href;
        std::string base;  // the file the link was written in
    };
    struct Place {
        size_t document;
        std::string fragment;
        bool missing;  // a fragment was asked for and is nowhere
        std::string fileKey;
    };

    XhtmlOptions options;
    std::vector<Document> documents;
    std::unordered_map<std::string, size_t> byFile;  // file key to document
    // A file's last part to its key; "" when two files share it.
    std::unordered_map<std::string, std::string> byBaseName;
    // Where a file begins inside its document ("" at the document's start).
    std::unordered_map<std::string, std::string> fileStarts;
    std::unordered_map<std::string, std::pair<size_t, std::string>> bookIds;  // raw id lowered
    std::vector<Link> links;
    bool finished = false;

    void AddFile(size_t document, std::string_view name, std::string_view startId = {}) {
        std::string key = FileKey(name);
        if (key.empty()) return;
        if (!byFile.emplace(key, document).second) return;  // a file lives where first named
        fileStarts.emplace(key, std::string(startId));
        auto [it, added] = byBaseName.emplace(std::string(BaseName(key)), key);
        if (!added) it->second.clear();
    }

    bool KnowsFile(std::string_view name) const { return byFile.count(FileKey(name)) != 0; }

    // An id not yet written in the document, made from the wanted one.
    std::string UniqueId(size_t document, std::string_view wanted) {
        Document& d = documents[document];
        std::string written = SanitizeId(wanted);
        if (d.written.count(written)) {
            // Suffixes go on from the last one given to this id, so a thousand repeats of one
            // id cost a thousand steps, not a million.
            int& n = d.nextSuffix[written];
            if (n < 2) n = 2;
            std::string candidate;
            do {
                candidate = written + "_" + std::to_string(n++);
            } while (d.written.count(candidate));
            written = std::move(candidate);
        }
        d.written.insert(written);
        return written;
    }

    // An id written in the file of key fileKey.
    std::string DefineId(size_t document, const std::string& fileKey, std::string_view raw) {
        std::string written = UniqueId(document, raw);
        Document& d = documents[document];
        const std::string folded = LowerAscii(raw);
        std::string key = fileKey;
        key += '#';
        const size_t prefix = key.size();
        key += raw;
        d.byFileAndId.emplace(key, written);
        key.resize(prefix);
        key += folded;
        d.byFileAndFoldedId.emplace(std::move(key), written);
        d.byFoldedId.emplace(folded, written);
        bookIds.emplace(folded, std::make_pair(document, written));
        return written;
    }

    // The key a file is known by: its own, else the only known file with its last part.
    std::optional<std::string> FindFile(const std::string& key) const {
        if (byFile.count(key)) return key;
        if (auto it = byBaseName.find(std::string(BaseName(key)));
            it != byBaseName.end() && !it->second.empty())
            return it->second;
        return std::nullopt;
    }

    std::string FindId(size_t document, const std::string& fileKey, const std::string& id) const {
        const Document& d = documents[document];
        const std::string folded = LowerAscii(id);
        for (const auto* table : {&d.byFileAndId, &d.byFileAndFoldedId, &d.byFoldedId}) {
            const std::string key = table == &d.byFileAndId         ? fileKey + "#" + id
                                    : table == &d.byFileAndFoldedId ? fileKey + "#" + folded
                                                                    : folded;
            if (auto it = table->find(key); it != table->end()) return it->second;
        }
        return {};
    }

    // Where an href written in the file `base` of document `from` leads (no `from`: written
    // outside every document, relative to the book's root).
    std::optional<Place> Locate(std::string_view href, std::string_view base,
                                std::optional<size_t> from) const {
        href = Trim(href);
        const std::string baseKey = base.empty() ? std::string() : FileKey(base);
        if (href.empty()) {
            if (!from) return std::nullopt;
            return Place{*from, {}, false, baseKey};
        }
        std::string path, fragment, key;
        std::optional<size_t> document;
        if (ResolveHref(baseKey.empty() ? std::string_view("x") : std::string_view(baseKey), href,
                        path, fragment)) {
            if (href[0] == '#' && from) {
                key = baseKey;
                document = from;
            } else if (std::optional<std::string> known = FindFile(FileKey(path))) {
                key = *known;
                document = byFile.at(key);
            }
        }
        if (!document) {
            // "<a href=name>": an anchor of the file it is written in, as the reader takes it.
            if (!from || href.find_first_of("#/.") != std::string_view::npos) return std::nullopt;
            std::string id = FindId(*from, baseKey, PercentDecode(href));
            if (id.empty()) return std::nullopt;
            return Place{*from, std::move(id), false, baseKey};
        }
        Place place{*document, {}, false, key};
        if (!fragment.empty()) {
            place.fragment = FindId(*document, key, fragment);
            if (!place.fragment.empty()) return place;
            // An id written elsewhere in the book (links that name the wrong file), else the
            // file's start: never a fragment that is not there.
            if (auto it = bookIds.find(LowerAscii(fragment)); it != bookIds.end())
                return Place{it->second.first, it->second.second, false, key};
            place.missing = true;
        }
        // The file's start, when the file lives in this document (a mark may name a file
        // another document holds).
        if (auto start = fileStarts.find(key);
            start != fileStarts.end() && byFile.at(key) == place.document)
            place.fragment = start->second;
        return place;
    }

    // The href attribute a link is written with ("" when it leads nowhere).
    std::string HrefAttribute(const Link& link) const {
        std::string_view href = Trim(link.href);
        std::string scheme = SchemeOf(href);
        std::string out;
        if (!scheme.empty()) {
            static const std::unordered_set<std::string> kKept = {"http",   "https", "ftp",
                                                                  "mailto", "tel",   "news"};
            if (!kKept.count(scheme)) return {};
            out = " href=\"";
            AppendAttributeText(out, EncodeUrl(href));
            out += '"';
            return out;
        }
        std::optional<Place> place = Locate(href, link.base, link.document);
        if (!place) return {};
        // A place missing from the very file the link is in leads nowhere, not to its top.
        if (place->missing && place->fileKey == FileKey(link.base)) return {};
        out = " href=\"";
        // A place in the same document is "#id" alone.
        if (place->document != link.document || place->fragment.empty())
            AppendAttributeText(out, EncodeUrl(documents[place->document].stored));
        if (!place->fragment.empty()) {
            out += '#';
            out += place->fragment;
        }
        out += '"';
        return out;
    }
};

namespace {

// ---- one document ----

// The structure being written: open elements, the inline elements that last until their end
// tag, ids waiting for a place, the captured title.
class Writer {
public:
    Writer(XhtmlBookState& book, size_t document, std::string base)
        : book_(book),
          document_(document),
          base_(std::move(base)),
          baseKey_(FileKey(base_)),
          out_(book.documents[document].body) {
        stack_.push_back({El::kRoot, 0, 0});
    }

    // ---- text ----

    void Character(char32_t c) {
        if (capture_ != Capture::kNone) {
            if (captured_.size() < kMaxCapture) {
                if (IsSpaceUnit(c))
                    captured_ += ' ';
                else if (IsXmlTextCharacter(c))
                    AppendUtf8(captured_, c);
            }
            return;
        }
        if (IsSpaceUnit(c)) {
            if (preDepth_ > 0 && !inHead_) {
                if (c == '\r' || c == '\f' || c == '\v') c = '\n';
                Visible();
                AppendEscaped(out_, c, false);
                blockHasText_ = true;
            } else {
                pendingSpace_ = true;
            }
            return;
        }
        if (!IsXmlTextCharacter(c)) return;  // controls, noncharacters
        inHead_ = false;                     // text shown in a head ends it, as browsers do
        Visible();
        AppendEscaped(out_, c, false);
        if (headingOpen_ && heading_.size() < kMaxCapture) {
            if (pendingHeadingSpace_ && !heading_.empty()) heading_ += ' ';
            AppendUtf8(heading_, c);
        }
        pendingHeadingSpace_ = false;
        blockHasText_ = true;
        hasContent_ = true;
    }

    // Printable ASCII that needs no escaping, written in one piece.
    void PlainRun(std::string_view text) {
        if (capture_ != Capture::kNone) {
            captured_.append(text.substr(0, kMaxCapture - std::min(kMaxCapture, captured_.size())));
            return;
        }
        inHead_ = false;
        Visible();
        out_.append(text);
        if (headingOpen_ && heading_.size() < kMaxCapture) {
            if (pendingHeadingSpace_ && !heading_.empty()) heading_ += ' ';
            heading_.append(text.substr(0, kMaxCapture - heading_.size()));
        }
        pendingHeadingSpace_ = false;
        blockHasText_ = true;
        hasContent_ = true;
    }

    // ---- tags ----

    struct Tag {
        std::string name;
        bool end = false;
        bool selfClosing = false;
        std::vector<std::pair<std::string, std::string>> attributes;

        const std::string* Get(std::string_view attribute) const {
            for (const auto& a : attributes)
                if (a.first == attribute) return &a.second;
            return nullptr;
        }
    };

    // What the parser must do after a tag: swallow raw text up to "</name".
    bool Handle(const Tag& tag) {
        dirty_ = true;
        Capture closing = capture_;
        capture_ = Capture::kNone;
        const TagInfo* info = FindTag(tag.name);
        if (tag.end) {
            if (info && info->act == Act::kTitle && closing == Capture::kTitle) CommitTitle();
            if (info && info->act == Act::kCurFile && closing == Capture::kCurFile) CommitCurFile();
            captured_.clear();
            if (info) EndTag(*info);
            return false;
        }
        captured_.clear();
        if (!info) {
            KeepIds(tag);
            return false;
        }
        if (inHead_ && info->act != Act::kHeadOnly && info->act != Act::kTitle &&
            info->act != Act::kRaw && info->act != Act::kHead)
            inHead_ = false;
        switch (info->act) {
            case Act::kHeadOnly:
                KeepIds(tag);
                return false;
            case Act::kHead:
                inHead_ = true;
                return false;
            case Act::kBody:
                inHead_ = false;
                return false;
            case Act::kTitle:
                if (!tag.selfClosing) capture_ = Capture::kTitle;
                return false;
            case Act::kCurFile:
                if (!tag.selfClosing) capture_ = Capture::kCurFile;
                return false;
            case Act::kRaw:
                return !tag.selfClosing;
            case Act::kNewPage:
                pendingBreak_ = true;
                return false;
            case Act::kBr:
                LineBreak();
                return false;
            case Act::kHr:
                Rule(tag);
                return false;
            case Act::kImg:
                Picture(tag);
                return false;
            case Act::kA:
                Anchor(tag);
                return false;
            case Act::kInline:
                KeepIds(tag);
                if (!tag.selfClosing)
                    PushFormatting(info->el, std::string("<") + Info(info->el).name + ">");
                return false;
            case Act::kBlock:
                Block(*info, tag);
                return false;
        }
        return false;
    }

    void Finish() {
        capture_ = Capture::kNone;
        pendingBreak_ = false;
        if (!pendingIds_.empty()) {
            Container();
            FlushIds();
        }
        while (stack_.size() > 1)
            PopTop();
        formatting_.clear();
    }

    const std::string& Heading() const { return heading_; }

private:
    enum class Capture { kNone, kTitle, kCurFile };
    struct Open {
        El el;
        uint8_t level;
        uint32_t serial;  // of its formatting entry, for inline elements
        // A list of definitions: what it holds last (0 nothing, 1 a term, 2 a definition).
        uint8_t lastPart = 0;
    };
    struct Formatting {
        El el;
        std::string startTag;
        uint32_t serial;
        bool open;
    };

    Holds TopHolds() const { return Info(stack_.back().el).holds; }

    void WriteStart(El el, uint8_t level, std::string_view id, const char* alignClass) {
        const ElementInfo& info = Info(el);
        out_ += '<';
        if (el == El::kH) {
            out_ += 'h';
            out_ += char('0' + level);
        } else {
            out_ += info.name;
        }
        const char* cls = info.cls ? info.cls : alignClass;
        if (cls) {
            out_ += " class=\"";
            out_ += cls;
            out_ += '"';
        }
        if (!id.empty()) {
            out_ += " id=\"";
            out_ += id;
            out_ += '"';
        }
    }

    void PopTop() {
        const Open& top = stack_.back();
        const ElementInfo& info = Info(top.el);
        if (top.el == El::kDl && top.lastPart == 1) out_ += "<dd></dd>";
        out_ += "</";
        if (top.el == El::kH) {
            out_ += 'h';
            out_ += char('0' + top.level);
        } else {
            out_ += info.name;
        }
        out_ += '>';
        if (info.holds == Holds::kInline) {
            for (Formatting& f : formatting_)
                if (f.serial == top.serial) f.open = false;
        } else {
            blockHasText_ = false;
            pendingSpace_ = false;
            if (top.el == El::kPre) --preDepth_;
            if (headingOpen_ && stack_.size() - 1 == headingDepth_) {
                headingOpen_ = false;
                headingDone_ = true;
            }
        }
        stack_.pop_back();
    }

    void PopTo(size_t index) {
        while (stack_.size() > index)
            PopTop();
    }

    void CloseInlines() {
        while (stack_.size() > 1 && TopHolds() == Holds::kInline)
            PopTop();
    }

    // Closes what cannot hold a block: inline elements, then paragraphs, headings and the like.
    void CloseToFlow() {
        while (stack_.size() > 1 &&
               (TopHolds() == Holds::kInline || TopHolds() == Holds::kPhrasing))
            PopTop();
    }

    // A list of definitions holds terms, each group followed by its definitions: a definition
    // without a term gets an empty one, and a list ending in a term an empty definition.
    void BeforeDefinitionPart(El el) {
        if ((el != El::kDt && el != El::kDd) || stack_.back().el != El::kDl) return;
        if (el == El::kDd && stack_.back().lastPart == 0) out_ += "<dt></dt>";
        stack_.back().lastPart = el == El::kDt ? 1 : 2;
    }

    void PushBlock(El el, uint8_t level, std::string_view id, const char* alignClass) {
        BeforeDefinitionPart(el);
        WriteStart(el, level, id, alignClass);
        out_ += '>';
        stack_.push_back({el, level, 0});
        if (el == El::kPre) ++preDepth_;
        blockHasText_ = false;
        pendingSpace_ = false;
    }

    // Where text may go: inside a list item or definition when a list is open.
    void Container() {
        FlushBreak();
        for (;;) {
            Holds holds = TopHolds();
            if (holds == Holds::kList)
                PushBlock(El::kLi, 0, {}, nullptr);
            else if (holds == Holds::kDefList)
                PushBlock(El::kDd, 0, {}, nullptr);
            else
                break;
        }
        FlushIds();
    }

    // Before something visible: its container, the space before it, its styles. Between two
    // tags only the space can change.
    void Visible() {
        if (dirty_) Container();
        if (pendingSpace_ && blockHasText_) {
            out_ += ' ';
            pendingHeadingSpace_ = true;
        }
        pendingSpace_ = false;
        if (!dirty_) return;
        dirty_ = false;
        for (Formatting& f : formatting_) {
            if (f.open) continue;
            out_ += f.startTag;
            stack_.push_back({f.el, 0, f.serial});
            f.open = true;
        }
    }

    void FlushBreak() {
        if (!pendingBreak_) return;
        pendingBreak_ = false;
        if (!hasContent_) return;  // a new page before anything shown makes no empty page
        CloseToFlow();
        if (TopHolds() != Holds::kFlow) return;
        out_ += "<div class=\"pagebreak\"></div>";
        blockHasText_ = false;
        pendingSpace_ = false;
    }

    void FlushIds() {
        for (const std::string& id : pendingIds_) {
            out_ += "<span id=\"";
            out_ += id;
            out_ += "\"></span>";
        }
        pendingIds_.clear();
    }

    std::string NewId(std::string_view raw) {
        raw = Trim(raw);
        if (raw.empty()) return {};
        return book_.DefineId(document_, baseKey_, raw);
    }

    // An id that cannot go on an element of its own: an empty span where text may go.
    void PlaceId(std::string_view raw) {
        std::string id = NewId(raw);
        if (id.empty()) return;
        pendingIds_.push_back(std::move(id));
        Holds holds = TopHolds();
        if (holds != Holds::kList && holds != Holds::kDefList && !inHead_) FlushIds();
    }

    void KeepIds(const Tag& tag) {
        if (const std::string* id = tag.Get("id")) PlaceId(*id);
    }

    bool PushFormatting(El el, std::string startTag) {
        if (formatting_.size() >= kMaxFormatting) return false;
        int same = 0;
        for (const Formatting& f : formatting_)
            same += f.el == el;
        if (same >= kMaxSameFormatting) return false;
        formatting_.push_back({el, std::move(startTag), nextSerial_++, false});
        return true;
    }

    void EndFormatting(El el) {
        for (size_t i = formatting_.size(); i-- > 0;) {
            if (formatting_[i].el != el) continue;
            if (formatting_[i].open) {
                const uint32_t serial = formatting_[i].serial;
                for (size_t s = stack_.size(); s-- > 1;) {
                    if (stack_[s].serial == serial && Info(stack_[s].el).holds == Holds::kInline) {
                        PopTo(s);
                        break;
                    }
                }
            }
            formatting_.erase(formatting_.begin() + ptrdiff_t(i));
            return;
        }
    }

    static const char* AlignClass(const Tag& tag) {
        auto has = [](std::string_view text, std::string_view word) {
            return LowerAscii(text).find(word) != std::string::npos;
        };
        if (const std::string* align = tag.Get("align")) {
            std::string a = LowerAscii(Trim(*align));
            if (a == "center" || a == "middle") return "center";
            if (a == "right") return "right";
        }
        if (const std::string* style = tag.Get("style")) {
            std::string s = LowerAscii(*style);
            size_t at = s.find("text-align");
            if (at != std::string::npos) {
                std::string_view rest = std::string_view(s).substr(at + 10, 16);
                if (has(rest, "center")) return "center";
                if (has(rest, "right")) return "right";
            }
        }
        return nullptr;
    }

    void Block(const TagInfo& info, const Tag& tag) {
        El el = info.el;
        if (el == El::kP) {
            if (const std::string* style = tag.Get("style");
                style && LowerAscii(*style).find("page-break") != std::string::npos)
                pendingBreak_ = true;
        }
        FlushBreak();
        CloseToFlow();
        // A new item ends the one open in its list; a new row or cell the open one.
        auto closeOpen = [this](std::initializer_list<El> wanted, std::initializer_list<El> stop) {
            for (size_t s = stack_.size(); s-- > 1;) {
                El at = stack_[s].el;
                if (std::find(wanted.begin(), wanted.end(), at) != wanted.end()) {
                    PopTo(s);
                    return;
                }
                if (std::find(stop.begin(), stop.end(), at) != stop.end()) return;
                if (Info(at).holds == Holds::kFlow && at != El::kLi && at != El::kDd &&
                    at != El::kTr && at != El::kCell)
                    return;
            }
        };
        if (el == El::kLi) {
            closeOpen({El::kLi}, {El::kUl, El::kOl});
            if (TopHolds() != Holds::kList) {
                if (stack_.size() >= kMaxBlockDepth) return KeepIds(tag);
                PushBlock(El::kUl, 0, {}, nullptr);
            }
        } else if (el == El::kDt || el == El::kDd) {
            closeOpen({El::kDt, El::kDd}, {El::kDl});
            if (TopHolds() != Holds::kDefList) {
                if (stack_.size() >= kMaxBlockDepth) return KeepIds(tag);
                PushBlock(El::kDl, 0, {}, nullptr);
            }
        } else if (el == El::kTr) {
            closeOpen({El::kTr}, {El::kTable});
        } else if (el == El::kCell) {
            closeOpen({El::kCell}, {El::kTr, El::kTable});
        } else {
            Holds holds = TopHolds();
            if (holds == Holds::kList) PushBlock(El::kLi, 0, {}, nullptr);
            if (holds == Holds::kDefList) PushBlock(El::kDd, 0, {}, nullptr);
        }
        if (stack_.size() >= kMaxBlockDepth) return KeepIds(tag);
        std::string id;
        if (const std::string* raw = tag.Get("id")) id = NewId(*raw);
        const char* align =
            (el == El::kP || el == El::kDiv || el == El::kH) ? AlignClass(tag) : nullptr;
        BeforeDefinitionPart(el);
        WriteStart(el, info.level, id, align);
        if (el == El::kOl) {
            if (const std::string* start = tag.Get("start")) {
                std::string_view s = Trim(*start);
                if (!s.empty() && s.size() < 10 &&
                    std::all_of(s.begin(), s.end(), [](char c) { return IsAsciiDigit(c); })) {
                    out_ += " start=\"";
                    out_ += s;
                    out_ += '"';
                }
            }
        }
        out_ += '>';
        stack_.push_back({el, info.level, 0});
        if (el == El::kPre) ++preDepth_;
        if (el == El::kH && !headingDone_ && !headingOpen_) {
            headingOpen_ = true;
            headingDepth_ = stack_.size() - 1;
        }
        blockHasText_ = false;
        pendingSpace_ = false;
        if (Info(el).holds != Holds::kList && Info(el).holds != Holds::kDefList) FlushIds();
        if (tag.selfClosing) PopTo(stack_.size() - 1);
    }

    void EndTag(const TagInfo& info) {
        switch (info.act) {
            case Act::kInline:
                EndFormatting(info.el);
                return;
            case Act::kA:
                EndFormatting(El::kA);
                return;
            case Act::kHead:
                inHead_ = false;
                return;
            case Act::kBlock:
                break;
            default:
                return;
        }
        const El el = info.el;
        for (size_t s = stack_.size(); s-- > 1;) {
            const El at = stack_[s].el;
            const Holds holds = Info(at).holds;
            if (at == el) {
                PopTo(s);
                return;
            }
            if (holds == Holds::kInline) continue;
            switch (el) {
                case El::kP:
                case El::kH:
                case El::kPre:
                case El::kDt:
                    // Only what holds text closes with them.
                    if (holds != Holds::kPhrasing) return;
                    break;
                case El::kLi:
                    if (holds == Holds::kList || (holds == Holds::kFlow && at != El::kLi)) return;
                    break;
                case El::kDd:
                    if (holds == Holds::kDefList || (holds == Holds::kFlow && at != El::kDd))
                        return;
                    break;
                case El::kTr:
                case El::kCell:
                    if (at == El::kTable) return;
                    break;
                default:
                    break;
            }
        }
    }

    void LineBreak() {
        Visible();
        out_ += "<br/>";
        blockHasText_ = false;
        pendingSpace_ = false;
        hasContent_ = true;
    }

    void Rule(const Tag& tag) {
        FlushBreak();
        CloseToFlow();
        Container();
        std::string id;
        if (const std::string* raw = tag.Get("id")) id = NewId(*raw);
        out_ += "<hr";
        if (!id.empty()) {
            out_ += " id=\"";
            out_ += id;
            out_ += '"';
        }
        out_ += "/>";
        blockHasText_ = false;
        pendingSpace_ = false;
        hasContent_ = true;
    }

    void Picture(const Tag& tag) {
        KeepIds(tag);
        const std::string* src = tag.Get("src");
        std::string stored;
        if (src && book_.options.picture) stored = book_.options.picture(Trim(*src));
        const std::string* alt = tag.Get("alt");
        if (!alt) alt = tag.Get("title");
        if (stored.empty()) {
            // The description stands where the picture would.
            if (alt)
                for (size_t i = 0; i < alt->size();)
                    Character(NextUtf8(*alt, i));
            return;
        }
        Visible();
        out_ += "<img src=\"";
        AppendAttributeText(out_, EncodeUrl(stored));
        out_ += "\" alt=\"";
        if (alt) AppendAttributeText(out_, CollapseSpaces(*alt));
        out_ += '"';
        for (const char* dimension : {"width", "height"}) {
            const std::string* value = tag.Get(dimension);
            if (!value) continue;
            std::string_view v = Trim(*value);
            if (!v.empty() && v.size() < 6 &&
                std::all_of(v.begin(), v.end(), [](char c) { return IsAsciiDigit(c); })) {
                out_ += ' ';
                out_ += dimension;
                out_ += "=\"";
                out_ += v;
                out_ += '"';
            }
        }
        out_ += "/>";
        blockHasText_ = true;
        hasContent_ = true;
    }

    void Anchor(const Tag& tag) {
        // A new link ends the one still open, as browsers do: links never nest.
        EndFormatting(El::kA);
        const std::string* name = tag.Get("name");
        const std::string* id = tag.Get("id");
        if (name) PlaceId(*name);
        if (id && (!name || Trim(*id) != Trim(*name))) PlaceId(*id);
        const std::string* href = tag.Get("href");
        if (!href || tag.selfClosing) return;
        const size_t index = book_.links.size();
        book_.links.push_back({document_, *href, base_});
        std::string start = "<a";
        start += kLinkMark;
        start += std::to_string(index);
        start += kLinkMarkEnd;
        start += '>';
        PushFormatting(El::kA, std::move(start));
    }

    void CommitTitle() {
        std::string& title = book_.documents[document_].title;
        if (title.empty()) title = CollapseSpaces(captured_);
    }

    // A file named by a mark begins here: links to it land on an id placed here (unless it
    // begins the document).
    void CommitCurFile() {
        std::string name(Trim(captured_));
        if (name.empty()) return;
        base_ = name;
        baseKey_ = FileKey(name);
        if (book_.KnowsFile(name)) return;
        if (out_.empty() && pendingIds_.empty()) {
            book_.AddFile(document_, name);
            return;
        }
        std::string key = FileKey(name);
        std::string id = book_.UniqueId(document_, BaseName(key));
        book_.AddFile(document_, name, id);
        Container();
        pendingIds_.push_back(std::move(id));
        FlushIds();
    }

    XhtmlBookState& book_;
    size_t document_;
    std::string base_;
    std::string baseKey_;  // base_ as a file key
    std::string& out_;
    std::vector<Open> stack_;
    std::vector<Formatting> formatting_;
    std::vector<std::string> pendingIds_;
    uint32_t nextSerial_ = 1;
    Capture capture_ = Capture::kNone;
    std::string captured_;
    std::string heading_;
    size_t headingDepth_ = 0;
    bool headingOpen_ = false, headingDone_ = false, pendingHeadingSpace_ = false;
    int preDepth_ = 0;
    bool inHead_ = false;
    bool pendingSpace_ = false;
    bool blockHasText_ = false;
    bool hasContent_ = false;
    bool pendingBreak_ = false;
    bool dirty_ = true;  // the structure changed since text was last written
};

// ---- the parser over the input's code units ----

// Unit: char (Windows-1252 or UTF-8 by `utf8`) or char16_t (UTF-16).
template <typename Unit>
class Parser {
public:
    Parser(std::basic_string_view<Unit> text, bool utf8, Writer& writer)
        : s_(text), utf8_(utf8), w_(writer) {}

    void Run() {
        size_t i = 0;
        const size_t n = s_.size();
        while (i < n) {
            const uint32_t c = Unit32(i);
            if (c == '<') {
                i = TagAt(i);
            } else if (c == '&') {
                i = ReferenceAt(i);
            } else {
                if constexpr (sizeof(Unit) == 1) {
                    size_t end = i;
                    while (end < n) {
                        const uint32_t u = Unit32(end);
                        if (u < 0x21 || u > 0x7E || u == '<' || u == '&' || u == '>') break;
                        ++end;
                    }
                    if (end > i + 1) {
                        w_.PlainRun(std::string_view(s_.data() + i, end - i));
                        i = end;
                        continue;
                    }
                }
                size_t next = i;
                const char32_t decoded = Decode(next);
                // CR LF is one line end.
                if (!(decoded == '\r' && next < n && Unit32(next) == '\n')) w_.Character(decoded);
                i = next;
            }
        }
        w_.Finish();
    }

private:
    uint32_t Unit32(size_t i) const {
        if constexpr (sizeof(Unit) == 1)
            return (unsigned char)s_[i];
        else
            return uint32_t(s_[i]);
    }

    // The character at i, i moved past it.
    char32_t Decode(size_t& i) const {
        const uint32_t u = Unit32(i);
        if (u < 0x80) {
            ++i;
            return u;
        }
        if constexpr (sizeof(Unit) == 1) {
            if (!utf8_) {
                ++i;
                return Cp1252HighCharacter((unsigned char)u);
            }
            return NextUtf8(s_, i);
        } else {
            ++i;
            if (u >= 0xD800 && u <= 0xDBFF && i < s_.size()) {
                const uint32_t low = Unit32(i);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    ++i;
                    return char32_t(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                }
            }
            return (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u;
        }
    }

    // The next position at or after `from` holding `unit`, or npos. Positions only grow, so
    // an answer stays good until `from` passes it, and the scans cost one pass in all.
    size_t NextOf(uint32_t unit, size_t from, size_t& cache) const {
        if (cache != kUnknown && (cache == std::string::npos || cache >= from)) return cache;
        size_t at = from;
        while (at < s_.size() && Unit32(at) != unit)
            ++at;
        cache = at < s_.size() ? at : std::string::npos;
        return cache;
    }
    size_t NextLt(size_t from) { return NextOf('<', from, ltCache_); }
    size_t NextGt(size_t from) { return NextOf('>', from, gtCache_); }

    // A case-blind search for an ASCII needle from `from` on; each needle that was not found
    // from some place on is never looked for again after it.
    size_t Find(std::string_view needle, size_t from, size_t& notFoundFrom) const {
        if (from >= notFoundFrom) return std::string::npos;
        for (size_t at = from; at + needle.size() <= s_.size(); ++at) {
            if (LowerAscii(char(std::min<uint32_t>(Unit32(at), 0x7F))) != needle[0]) continue;
            size_t k = 1;
            while (k < needle.size() &&
                   LowerAscii(char(std::min<uint32_t>(Unit32(at + k), 0x7F))) == needle[k])
                ++k;
            if (k == needle.size()) return at;
        }
        notFoundFrom = from;
        return std::string::npos;
    }

    size_t TagAt(size_t i) {
        const size_t n = s_.size();
        const uint32_t next = i + 1 < n ? Unit32(i + 1) : 0;
        const bool endTag = next == '/';
        const uint32_t first = endTag ? (i + 2 < n ? Unit32(i + 2) : 0) : next;
        if (next == '!' && i + 3 < n && Unit32(i + 2) == '-' && Unit32(i + 3) == '-') {
            // A comment runs to "-->"; one never closed ends at the next ">".
            size_t close = Find("-->", i + 4, noCommentEnd_);
            if (close != std::string::npos) return close + 3;
            size_t gt = NextGt(i + 1);
            return gt == std::string::npos ? n : gt + 1;
        }
        if (next == '!' || next == '?' || (endTag && !IsAsciiLetter(first))) {
            // A declaration, a processing instruction (the LIT decoder's unknown tags among
            // them) or a broken end tag: passed over to its ">".
            size_t gt = NextGt(i + 1);
            size_t lt = NextLt(i + 1);
            if (gt == std::string::npos) return lt == std::string::npos ? n : lt;
            return (lt != std::string::npos && lt < gt) ? lt : gt + 1;
        }
        if (!IsAsciiLetter(first)) {
            // "a < b", "<3": a "<" that begins no tag is text.
            w_.Character('<');
            return i + 1;
        }
        const size_t lt = NextLt(i + 1);
        const size_t gt = NextGt(i + 1);
        if (gt == std::string::npos || (lt != std::string::npos && lt < gt)) {
            // A tag cut off by the next "<" or the end of the text: dropped, as the reader
            // drops it.
            return lt == std::string::npos ? n : lt;
        }
        // A ">" inside a quoted value belongs to the value, so long as the quote closes before
        // the next "<".
        size_t end = gt;
        {
            uint32_t quote = 0;
            bool afterEquals = false;
            const size_t limit = lt == std::string::npos ? n : lt;
            size_t at = i + 1;
            for (; at < limit; ++at) {
                const uint32_t c = Unit32(at);
                if (quote) {
                    if (c == quote) quote = 0;
                    continue;
                }
                if (c == '>') break;
                if ((c == '"' || c == '\'') && afterEquals) {
                    quote = c;
                    continue;
                }
                if (c == '=')
                    afterEquals = true;
                else if (!IsSpaceUnit(c))
                    afterEquals = false;
            }
            if (at < limit && !quote) end = at;
        }
        Writer::Tag tag;
        ParseTag(i + (endTag ? 2 : 1), end, endTag, tag);
        const bool raw = w_.Handle(tag);
        if (raw) {
            // Style and script text is swallowed up to its end tag; without one, it is text.
            size_t& notFound = tag.name == "style" ? noStyleEnd_ : noScriptEnd_;
            size_t close = Find(tag.name == "style" ? "</style" : "</script", end + 1, notFound);
            if (close != std::string::npos) return close;
        }
        return end + 1;
    }

    void ParseTag(size_t at, size_t end, bool endTag, Writer::Tag& tag) {
        tag.end = endTag;
        while (at < end) {
            const uint32_t c = Unit32(at);
            if (IsSpaceUnit(c) || c == '/') break;
            tag.name += LowerAscii(char(std::min<uint32_t>(c, 0x7F)));
            ++at;
        }
        if (end > at && Unit32(end - 1) == '/') tag.selfClosing = true;
        if (endTag) return;
        while (at < end) {
            while (at < end && (IsSpaceUnit(Unit32(at)) || Unit32(at) == '/'))
                ++at;
            if (at >= end) break;
            std::string name;
            while (at < end) {
                const uint32_t c = Unit32(at);
                if (IsSpaceUnit(c) || c == '=' || c == '/') break;
                name += LowerAscii(char(std::min<uint32_t>(c, 0x7F)));
                ++at;
            }
            size_t look = at;
            while (look < end && IsSpaceUnit(Unit32(look)))
                ++look;
            std::string value;
            if (look < end && Unit32(look) == '=') {
                ++look;
                while (look < end && IsSpaceUnit(Unit32(look)))
                    ++look;
                size_t from = look, to;
                if (look < end && (Unit32(look) == '"' || Unit32(look) == '\'')) {
                    const uint32_t quote = Unit32(look);
                    from = look + 1;
                    to = from;
                    while (to < end && Unit32(to) != quote)
                        ++to;
                    at = to < end ? to + 1 : end;
                } else {
                    to = from;
                    while (to < end && !IsSpaceUnit(Unit32(to)))
                        ++to;
                    // "<a href=x/>": the slash closes the tag, it is no part of the value.
                    if (to == end && to > from && Unit32(to - 1) == '/') --to;
                    at = to;
                }
                value = DecodeValue(from, to);
            } else if (name.empty()) {
                ++at;  // a stray "=" or quote
                continue;
            }
            if (!name.empty() && tag.attributes.size() < 64)
                tag.attributes.emplace_back(std::move(name), std::move(value));
        }
    }

    // An attribute value as UTF-8, references decoded.
    std::string DecodeValue(size_t from, size_t to) {
        std::string out;
        for (size_t at = from; at < to;) {
            char32_t c;
            if (Unit32(at) == '&') {
                size_t end = at;
                c = Reference(at, to, end);
                if (c) {
                    AppendUtf8(out, c);
                    at = end;
                    continue;
                }
                ++at;
                out += '&';
                continue;
            }
            c = Decode(at);
            if (IsXmlTextCharacter(c)) AppendUtf8(out, c);
        }
        return out;
    }

    // The character of a reference at i ("&amp;", "&#233;", "&#xE9;"), end set past it; 0 when
    // there is none there.
    char32_t Reference(size_t i, size_t limit, size_t& end) const {
        size_t at = i + 1;
        if (at < limit && Unit32(at) == '#') {
            ++at;
            bool hex = at < limit && (Unit32(at) == 'x' || Unit32(at) == 'X');
            if (hex) ++at;
            const size_t digits = at;
            uint32_t code = 0;
            while (at < limit && (hex ? IsHexDigit(Unit32(at)) : IsAsciiDigit(Unit32(at)))) {
                const uint32_t u = Unit32(at);
                const uint32_t d = IsAsciiDigit(u) ? u - '0' : (u | 0x20) - 'a' + 10;
                code = std::min<uint32_t>(code * (hex ? 16 : 10) + d, 0x110000);
                ++at;
            }
            if (at == digits) return 0;
            if (at < limit && Unit32(at) == ';') ++at;
            end = at;
            return NumericCharacter(code);
        }
        std::string name;
        while (at < limit && name.size() <= kMaxReferenceName &&
               (IsAsciiLetter(Unit32(at)) || IsAsciiDigit(Unit32(at)))) {
            name += char(Unit32(at));
            ++at;
        }
        if (name.empty() || at >= limit || Unit32(at) != ';') return 0;
        char32_t c = HtmlNamedCharacter(name);
        if (!c) c = HtmlNamedCharacter(LowerAscii(name));  // the reader lowers names
        if (!c) return 0;
        end = at + 1;
        return c;
    }

    size_t ReferenceAt(size_t i) {
        size_t end = i;
        char32_t c = Reference(i, s_.size(), end);
        if (!c) {
            // "AT&T", "&unknown;": the "&" is text, and so is what follows.
            w_.Character('&');
            return i + 1;
        }
        // A reference to white space is white space; one to a control character is nothing.
        w_.Character(c);
        return end;
    }

    static constexpr size_t kUnknown = size_t(-2);

    std::basic_string_view<Unit> s_;
    bool utf8_;
    Writer& w_;
    size_t ltCache_ = kUnknown;
    size_t gtCache_ = kUnknown;
    size_t noCommentEnd_ = std::string::npos;
    size_t noStyleEnd_ = std::string::npos;
    size_t noScriptEnd_ = std::string::npos;
};

}  // namespace

// ---- the book ----

XhtmlFromMarkup::XhtmlFromMarkup(XhtmlOptions options) : book_(std::make_unique<XhtmlBookState>()) {
    book_->options = std::move(options);
}

XhtmlFromMarkup::~XhtmlFromMarkup() = default;

namespace {

template <typename Unit>
size_t AddDocument(XhtmlBookState& book, std::string_view storedName, std::string_view originalName,
                   std::basic_string_view<Unit> markup) {
    const size_t index = book.documents.size();
    book.documents.emplace_back();
    book.documents.back().stored = std::string(storedName);
    book.documents.back().body.reserve(markup.size() + markup.size() / 8);
    book.AddFile(index, storedName);
    if (!Trim(originalName).empty()) book.AddFile(index, originalName);
    std::string base(Trim(originalName).empty() ? storedName : Trim(originalName));
    Writer writer(book, index, base);
    Parser<Unit> parser(markup, book.options.encoding == MarkupEncoding::kUtf8, writer);
    parser.Run();
    if (book.documents[index].title.empty()) book.documents[index].title = writer.Heading();
    return index;
}

}  // namespace

size_t XhtmlFromMarkup::Add(std::string_view storedName, std::string_view originalName,
                            std::string_view markup) {
    return AddDocument<char>(*book_, storedName, originalName, markup);
}

size_t XhtmlFromMarkup::Add(std::string_view storedName, std::string_view originalName,
                            std::u16string_view markup) {
    return AddDocument<char16_t>(*book_, storedName, originalName, markup);
}

void XhtmlFromMarkup::Finish() {
    if (book_->finished) return;
    book_->finished = true;
    std::vector<std::string> hrefs;
    hrefs.reserve(book_->links.size());
    for (const XhtmlBookState::Link& link : book_->links)
        hrefs.push_back(book_->HrefAttribute(link));
    for (XhtmlBookState::Document& d : book_->documents) {
        if (d.body.find(kLinkMark) == std::string::npos) continue;
        std::string body;
        body.reserve(d.body.size() + d.body.size() / 8);
        size_t at = 0;
        for (;;) {
            size_t mark = d.body.find(kLinkMark, at);
            if (mark == std::string::npos) break;
            body.append(d.body, at, mark - at);
            size_t close = d.body.find(kLinkMarkEnd, mark);
            size_t index = 0;
            std::from_chars(d.body.data() + mark + 1, d.body.data() + close, index);
            if (index < hrefs.size()) body += hrefs[index];
            at = close + 1;
        }
        body.append(d.body, at, std::string::npos);
        d.body = std::move(body);
    }
    book_->links.clear();
}

size_t XhtmlFromMarkup::Size() const {
    return book_->documents.size();
}

const std::string& XhtmlFromMarkup::StoredName(size_t document) const {
    return book_->documents.at(document).stored;
}

const std::string& XhtmlFromMarkup::Body(size_t document) const {
    return book_->documents.at(document).body;
}

std::string XhtmlFromMarkup::TakeBody(size_t document) {
    return std::move(book_->documents.at(document).body);
}

const std::string& XhtmlFromMarkup::Title(size_t document) const {
    return book_->documents.at(document).title;
}

std::optional<XhtmlTarget> XhtmlFromMarkup::Resolve(std::string_view href, size_t from) const {
    if (!SchemeOf(Trim(href)).empty()) return std::nullopt;
    std::optional<size_t> document;
    std::string base;
    if (from != kFromRoot && from < book_->documents.size()) {
        document = from;
        base = book_->documents[from].stored;
    }
    std::optional<XhtmlBookState::Place> place = book_->Locate(href, base, document);
    if (!place) return std::nullopt;
    return XhtmlTarget{place->document, place->fragment};
}

std::string XhtmlBodyFromMarkup(std::string_view markup, const XhtmlOptions& options) {
    XhtmlFromMarkup book(options);
    book.Add("document.xhtml", "", markup);
    book.Finish();
    return book.TakeBody(0);
}

}  // namespace pagewick
