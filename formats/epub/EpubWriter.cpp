#include "formats/epub/EpubWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include "formats/epub/ZipLibrary.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <deque>
#include <fstream>
#include <random>
#include <unordered_map>

#include "formats/epub/EpubDocuments.h"
#include "formats/epub/EpubPath.h"
#include "formats/epub/EpubXml.h"
#include "formats/epub/HtmlEntities.h"
#include "formats/epub/XhtmlFromMarkup.h"
#include "util/AsciiCase.h"
#include "util/Sha256.h"

namespace pagewick {

namespace {

constexpr std::string_view kFolder = "OEBPS/";
constexpr std::string_view kPackageName = "content.opf";
constexpr std::string_view kNcxName = "toc.ncx";
constexpr std::string_view kNavName = "nav.xhtml";
constexpr std::string_view kStyleName = "style.css";
constexpr std::string_view kCoverPageName = "cover.xhtml";
constexpr std::string_view kReservedNames[] = {kPackageName, kNcxName, kNavName, kStyleName,
                                               kCoverPageName};

constexpr size_t kMaxNameLength = 120;

std::string Text(std::string_view text) {
    std::string out;
    AppendXmlText(out, text);
    return out;
}
std::string Attr(std::string_view text) {
    std::string out;
    AppendXmlText(out, text, true);
    return out;
}

// ---- the metadata ----

std::string Digits(std::string_view isbn) {
    std::string digits;
    for (char c : isbn)
        if (c != '-' && c != ' ') digits += c == 'x' ? 'X' : c;
    return digits;
}

// A well-formed language tag: a primary subtag of 2 to 8 letters, then subtags of 1 to 8
// letters or digits.
std::string LanguageTag(std::string_view language) {
    std::string tag(language);
    std::replace(tag.begin(), tag.end(), '_', '-');
    size_t start = 0;
    bool first = true;
    while (start <= tag.size()) {
        size_t end = tag.find('-', start);
        if (end == std::string::npos) end = tag.size();
        const size_t length = end - start;
        if (length < (first ? 2u : 1u) || length > 8) return "und";
        for (size_t i = start; i < end; ++i) {
            const unsigned char c = (unsigned char)tag[i];
            const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
            if (!letter && (first || c < '0' || c > '9')) return "und";
        }
        first = false;
        start = end + 1;
    }
    return tag;
}

std::string IsoTime(int64_t seconds) {
    std::time_t t = std::time_t(seconds);
    std::tm utc{};
    if (!gmtime_r(&t, &utc)) return "2000-01-01T00:00:00Z";
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buffer;
}

// A name-based identifier: the digest of the book's metadata and text, with the version bits of
// a UUID of its own kind (8) and the RFC 4122 variant.
std::string ContentUuid(const EpubBook& book) {
    std::string digests;
    auto add = [&digests](std::string_view piece) {
        digests += Sha256::Hex(piece.data(), piece.size());
        digests += '\n';
    };
    add(book.info.title);
    for (const std::string& creator : book.info.creators)
        add(creator);
    add(book.info.publisher);
    add(book.info.language);
    for (const EpubTextDocument& d : book.documents) {
        add(d.name);
        add(d.body);
    }
    for (const EpubResource& r : book.resources)
        add(r.name);
    std::string hex = Sha256::Hex(digests.data(), digests.size());
    hex[12] = '8';
    const char variant[] = "89ab";
    const int nibble = hex[16] >= 'a' ? hex[16] - 'a' + 10 : hex[16] - '0';
    hex[16] = variant[nibble & 3];
    return "urn:uuid:" + hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" +
           hex.substr(16, 4) + "-" + hex.substr(20, 12);
}

// ---- media types ----

struct TypeByExtension {
    std::string_view extension;
    std::string_view type;
};
constexpr TypeByExtension kTypes[] = {
    {".jpg", "image/jpeg"},
    {".jpeg", "image/jpeg"},
    {".jpe", "image/jpeg"},
    {".png", "image/png"},
    {".gif", "image/gif"},
    {".svg", "image/svg+xml"},
    {".bmp", "image/bmp"},
    {".webp", "image/webp"},
    {".tif", "image/tiff"},
    {".tiff", "image/tiff"},
    {".mp3", "audio/mpeg"},
    {".m4a", "audio/mp4"},
    {".mp4", "video/mp4"},
    {".wav", "audio/wav"},
    {".mid", "audio/midi"},
    {".midi", "audio/midi"},
    {".ogg", "audio/ogg"},
    {".avi", "video/x-msvideo"},
    {".wmv", "video/x-ms-wmv"},
    {".wma", "audio/x-ms-wma"},
    {".css", "text/css"},
    {".ttf", "font/ttf"},
    {".otf", "font/otf"},
    {".woff", "font/woff"},
    {".xhtml", "application/xhtml+xml"},
    {".pdf", "application/pdf"},
    {".txt", "text/plain"},
};

std::string_view SniffedType(std::string_view b) {
    auto starts = [&b](std::string_view magic) { return b.substr(0, magic.size()) == magic; };
    if (starts("\x89PNG\r\n\x1a\n")) return "image/png";
    if (starts("\xFF\xD8\xFF")) return "image/jpeg";
    if (starts("GIF87a") || starts("GIF89a")) return "image/gif";
    if (starts("BM") && b.size() >= 14) return "image/bmp";
    if (starts("RIFF") && b.size() >= 12 && b.substr(8, 4) == "WEBP") return "image/webp";
    if (starts("RIFF") && b.size() >= 12 && b.substr(8, 4) == "WAVE") return "audio/wav";
    if (starts("ID3") || starts("\xFF\xFB") || starts("\xFF\xF3")) return "audio/mpeg";
    if (starts("MThd")) return "audio/midi";
    if (starts("OggS")) return "audio/ogg";
    if (starts("%PDF")) return "application/pdf";
    if (b.size() >= 12 && b.substr(4, 4) == "ftyp") return "video/mp4";
    const std::string head = LowerAscii(b.substr(0, 512));
    if ((head.starts_with("<?xml") || head.starts_with("<svg")) &&
        head.find("<svg") != std::string::npos)
        return "image/svg+xml";
    return {};
}

// "type/subtype", each a token.
bool IsMediaType(std::string_view type) {
    const size_t slash = type.find('/');
    if (slash == 0 || slash == std::string_view::npos || slash + 1 == type.size()) return false;
    for (size_t i = 0; i < type.size(); ++i) {
        const char c = type[i];
        const bool token = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '+' || c == '.' || c == '_';
        if (!token && i != slash) return false;
    }
    return type.find('/', slash + 1) == std::string_view::npos;
}

// ---- the bodies, checked ----

class BodyChecker : public XmlReader {
public:
    BodyChecker() { RefuseUndefinedReferences(); }
    std::unordered_set<std::string> ids;
    std::string repeatedId;
    struct Reference {
        std::string target;
        bool picture;
    };
    std::vector<Reference> references;

protected:
    void Start(std::string_view name, const XmlAttributes& a) override {
        if (a.Has("id") && !ids.insert(std::string(a.Get("id"))).second) {
            repeatedId = a.Get("id");
            Stop(EpubResult::kBadXml);
            return;
        }
        if (name == "a" && a.Has("href")) references.push_back({std::string(a.Get("href")), false});
        if (name == "img") references.push_back({std::string(a.Get("src")), true});
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
};

bool HasScheme(std::string_view href) {
    size_t i = 0;
    while (i < href.size() &&
           ((href[i] >= 'a' && href[i] <= 'z') || (href[i] >= 'A' && href[i] <= 'Z') ||
            (i > 0 && ((href[i] >= '0' && href[i] <= '9') || href[i] == '+' || href[i] == '-' ||
                       href[i] == '.'))))
        ++i;
    return i >= 2 && i < href.size() && href[i] == ':';
}

// ---- the documents written ----

std::string XhtmlDocument(std::string_view title, std::string_view language, std::string_view body,
                          std::string_view bodyAttributes = {}) {
    std::string out;
    out.reserve(body.size() + 512);
    out +=
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE html>\n"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\" "
        "xmlns:epub=\"http://www.idpf.org/2007/ops\" lang=\"";
    out += language;
    out += "\" xml:lang=\"";
    out += language;
    out += "\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>";
    AppendXmlText(out, title);
    out += "</title>\n<link rel=\"stylesheet\" type=\"text/css\" href=\"";
    out += kStyleName;
    out += "\"/>\n</head>\n<body";
    out += bodyAttributes;
    out += ">\n";
    out += body;
    out += "\n</body>\n</html>\n";
    return out;
}

struct Line {
    std::string title;
    std::string href;
    int level;
};

// The contents as nested lists; levels never jump more than one deeper.
std::vector<Line> ContentsLines(const EpubBook& book,
                                const std::unordered_map<std::string, size_t>& documentIndex) {
    std::vector<Line> lines;
    auto titleOf = [&](const std::string& document) {
        const EpubTextDocument& d = book.documents[documentIndex.at(document)];
        std::string title = CollapseWhitespace(d.title);
        if (title.empty()) title = CollapseWhitespace(book.info.title);
        return title.empty() ? d.name : title;
    };
    if (book.contents.empty()) {
        for (const EpubTextDocument& d : book.documents)
            lines.push_back({titleOf(d.name), d.name, 0});
        return lines;
    }
    int previous = -1;
    for (const EpubContentsItem& item : book.contents) {
        int level = std::clamp(item.level, 0, previous + 1);
        previous = level;
        std::string title = CollapseWhitespace(item.title);
        if (title.empty()) title = titleOf(item.document);
        std::string href = item.document;
        if (!item.fragment.empty()) href += "#" + item.fragment;
        lines.push_back({std::move(title), std::move(href), level});
    }
    return lines;
}

std::string NavDocument(const EpubBook& book, const std::vector<Line>& lines,
                        std::string_view language, bool cover) {
    std::string body = "<nav epub:type=\"toc\" id=\"toc\">\n<h1>";
    AppendXmlText(body, "Contents");
    body += "</h1>\n<ol>\n";
    int open = 0;  // nesting of the list items still open
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (i > 0) {
            if (line.level > lines[i - 1].level) {
                body += "\n<ol>\n";
            } else {
                body += "</li>\n";
                for (int l = lines[i - 1].level; l > line.level; --l)
                    body += "</ol>\n</li>\n";
            }
        }
        body += "<li><a href=\"";
        AppendXmlText(body, line.href, true);
        body += "\">";
        AppendXmlText(body, line.title);
        body += "</a>";
        open = line.level;
    }
    body += "</li>\n";
    for (; open > 0; --open)
        body += "</ol>\n</li>\n";
    body +=
        "</ol>\n</nav>\n<nav epub:type=\"landmarks\" id=\"landmarks\" hidden=\"hidden\">\n"
        "<ol>\n";
    if (cover) {
        body += "<li><a epub:type=\"cover\" href=\"";
        body += kCoverPageName;
        body += "\">Cover</a></li>\n";
    }
    body += "<li><a epub:type=\"bodymatter\" href=\"";
    AppendXmlText(body, book.documents.front().name, true);
    body += "\">Start</a></li>\n</ol>\n</nav>";
    const std::string title = CollapseWhitespace(book.info.title);
    return XhtmlDocument(!title.empty() ? title : "Contents", language, body);
}

std::string NcxDocument(const EpubBook& book, const std::vector<Line>& lines,
                        std::string_view identifier, std::string_view language,
                        std::string_view title) {
    int depth = 1;
    for (const Line& line : lines)
        depth = std::max(depth, line.level + 1);
    std::string out =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\" version=\"2005-1\" xml:lang=\"";
    out += language;
    out += "\">\n<head>\n<meta name=\"dtb:uid\" content=\"";
    AppendXmlText(out, identifier, true);
    out += "\"/>\n<meta name=\"dtb:depth\" content=\"" + std::to_string(depth) +
           "\"/>\n<meta name=\"dtb:totalPageCount\" content=\"0\"/>\n"
           "<meta name=\"dtb:maxPageNumber\" content=\"0\"/>\n</head>\n<docTitle><text>";
    AppendXmlText(out, title);
    out += "</text></docTitle>\n";
    for (const std::string& creator : book.info.creators) {
        const std::string name = CollapseWhitespace(creator);
        if (name.empty()) continue;
        out += "<docAuthor><text>";
        AppendXmlText(out, name);
        out += "</text></docAuthor>\n";
    }
    out += "<navMap>\n";
    // Lines leading to one place share their play order, which otherwise follows the lines.
    std::unordered_map<std::string, int> order;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (i > 0)
            for (int l = lines[i - 1].level; l >= line.level; --l)
                out += "</navPoint>\n";
        auto [it, added] = order.emplace(line.href, int(order.size()) + 1);
        out += "<navPoint id=\"np" + std::to_string(i + 1) + "\" playOrder=\"" +
               std::to_string(it->second) + "\"><navLabel><text>";
        AppendXmlText(out, line.title);
        out += "</text></navLabel><content src=\"";
        AppendXmlText(out, line.href, true);
        out += "\"/>\n";
    }
    if (!lines.empty())
        for (int l = lines.back().level; l >= 0; --l)
            out += "</navPoint>\n";
    out += "</navMap>\n</ncx>\n";
    return out;
}

// ---- the archive ----

// The file a path finally names, following symbolic links, so that replacing a book reached
// through a link replaces the book and keeps the link.
std::filesystem::path FollowLinks(std::filesystem::path path) {
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!std::filesystem::is_symlink(path, error)) return path;
        std::filesystem::path next = std::filesystem::read_symlink(path, error);
        if (error) return path;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

struct Progress {
    const std::function<bool(double)>* callback;
    bool cancelled = false;
};

}  // namespace

const char* EpubWriteResultName(EpubWriteResult result) {
    switch (result) {
        case EpubWriteResult::kOk:
            return "ok";
        case EpubWriteResult::kNoDocuments:
            return "no documents";
        case EpubWriteResult::kBadName:
            return "bad name";
        case EpubWriteResult::kBadDocument:
            return "bad document";
        case EpubWriteResult::kBadReference:
            return "bad reference";
        case EpubWriteResult::kUnreadableFile:
            return "unreadable file";
        case EpubWriteResult::kCannotCreate:
            return "cannot create";
        case EpubWriteResult::kWriteFailed:
            return "write failed";
        case EpubWriteResult::kCancelled:
            return "cancelled";
    }
    return "unknown";
}

bool IsEpubReservedName(std::string_view name) {
    for (std::string_view reserved : kReservedNames)
        if (EqualIgnoringAsciiCase(name, reserved)) return true;
    return false;
}

bool IsSafeEpubName(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameLength || name[0] == '.' || name[0] == '-')
        return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
        if (!ok) return false;
    }
    return name.find("..") == std::string_view::npos;
}

bool IsEpubCorePicture(std::string_view mediaType) {
    return mediaType == "image/jpeg" || mediaType == "image/png" || mediaType == "image/gif" ||
           mediaType == "image/svg+xml";
}

std::string EpubMediaType(std::string_view name, std::string_view firstBytes) {
    std::string_view sniffed = SniffedType(firstBytes);
    if (!sniffed.empty()) return std::string(sniffed);
    const std::string lower = LowerAscii(name);
    for (const TypeByExtension& t : kTypes)
        if (lower.ends_with(t.extension)) return std::string(t.type);
    return "application/octet-stream";
}

// ---- names ----

EpubNames::EpubNames() {
    for (std::string_view reserved : kReservedNames)
        taken_.insert(std::string(reserved));
}

std::string EpubNames::Unique(std::string stem, std::string_view extension) {
    for (char& c : stem) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) c = '_';
    }
    if (stem.empty() || stem[0] == '-') stem.insert(0, "f");
    if (stem.size() > kMaxNameLength - 20) stem.resize(kMaxNameLength - 20);
    std::string name = stem + std::string(extension);
    for (int n = 2; taken_.count(LowerAscii(name)); ++n)
        name = stem + "_" + std::to_string(n) + std::string(extension);
    taken_.insert(LowerAscii(name));
    return name;
}

namespace {

// The last part of a path and its extension (with its dot, lowered, at most 8 characters).
std::pair<std::string, std::string> SplitName(std::string_view wanted) {
    std::string_view name = wanted;
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
    const size_t query = name.find_first_of("?#");
    if (query != std::string_view::npos) name = name.substr(0, query);
    const size_t dot = name.find_last_of('.');
    std::string extension;
    if (dot != std::string_view::npos && dot > 0 && name.size() - dot <= 8) {
        extension = LowerAscii(name.substr(dot));
        bool ok = extension.size() > 1;
        for (size_t i = 1; i < extension.size(); ++i)
            ok = ok && ((extension[i] >= 'a' && extension[i] <= 'z') ||
                        (extension[i] >= '0' && extension[i] <= '9'));
        if (ok)
            name = name.substr(0, dot);
        else
            extension.clear();
    }
    return {std::string(name), extension};
}

}  // namespace

std::string EpubNames::Document(std::string_view wanted) {
    return Unique(SplitName(wanted).first, ".xhtml");
}

std::string EpubNames::Resource(std::string_view wanted) {
    auto [stem, extension] = SplitName(wanted);
    return Unique(stem, extension);
}

// ---- the writer ----

EpubWriter::EpubWriter(EpubWriteOptions options) : options_(std::move(options)) {}

EpubWriteResult EpubWriter::Write(const EpubBook& book, const std::filesystem::path& target) {
    problem_.clear();
    identifier_.clear();
    auto fail = [this](EpubWriteResult result, std::string problem) {
        problem_ = std::move(problem);
        return result;
    };
    if (book.documents.empty()) return fail(EpubWriteResult::kNoDocuments, "");

    // ---- names ----
    std::unordered_set<std::string> names;  // lowered
    auto claim = [&](const std::string& name) {
        return IsSafeEpubName(name) && !IsEpubReservedName(name) &&
               names.insert(LowerAscii(name)).second;
    };
    std::unordered_map<std::string, size_t> documentIndex;
    for (size_t i = 0; i < book.documents.size(); ++i) {
        // Readers (and checkers) know a content document by its extension.
        if (!book.documents[i].name.ends_with(".xhtml") || !claim(book.documents[i].name))
            return fail(EpubWriteResult::kBadName, book.documents[i].name);
        documentIndex.emplace(book.documents[i].name, i);
    }

    // ---- resources and their media types ----
    struct Item {
        const EpubResource* resource;
        std::string mediaType;
        bool cover = false;
    };
    std::vector<Item> items;
    std::unordered_map<std::string, size_t> itemIndex;
    auto addItem = [&](const EpubResource& r) -> EpubWriteResult {
        if (!claim(r.name)) return fail(EpubWriteResult::kBadName, r.name);
        std::string head;
        if (!r.file.empty()) {
            std::ifstream in(r.file, std::ios::binary);
            if (!in) return fail(EpubWriteResult::kUnreadableFile, r.file.string());
            head.resize(512);
            in.read(head.data(), std::streamsize(head.size()));
            head.resize(size_t(in.gcount()));
        } else {
            head = r.bytes.substr(0, 512);
        }
        std::string type = LowerAscii(CollapseWhitespace(r.mediaType));
        const std::string sniffed = EpubMediaType(r.name, head);
        if (!IsMediaType(type) || (type.starts_with("image/") && sniffed.starts_with("image/")))
            type = sniffed;
        itemIndex.emplace(r.name, items.size());
        items.push_back({&r, std::move(type)});
        return EpubWriteResult::kOk;
    };
    for (const EpubResource& r : book.resources)
        if (EpubWriteResult result = addItem(r); result != EpubWriteResult::kOk) return result;
    std::string coverName;
    if (book.cover) {
        auto known = itemIndex.find(book.cover->name);
        if (known == itemIndex.end()) {
            if (EpubWriteResult result = addItem(*book.cover); result != EpubWriteResult::kOk)
                return result;
            known = itemIndex.find(book.cover->name);
        }
        if (IsEpubCorePicture(items[known->second].mediaType)) {
            items[known->second].cover = true;
            coverName = book.cover->name;
        }
    }

    // ---- metadata ----
    std::string title = CollapseWhitespace(book.info.title);
    if (title.empty()) title = "Untitled";
    const std::string language = LanguageTag(book.info.language);
    const int64_t modified = book.info.modified
                                 ? *book.info.modified
                                 : std::chrono::duration_cast<std::chrono::seconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count();
    const bool isbn = !book.info.isbn.empty() && IsValidIsbn(book.info.isbn);
    if (isbn)
        identifier_ = "urn:isbn:" + Digits(book.info.isbn);
    else if (!CollapseWhitespace(book.info.identifier).empty())
        identifier_ = CollapseWhitespace(book.info.identifier);
    else
        identifier_ = ContentUuid(book);

    // ---- documents, checked as written ----
    std::deque<std::string> files;  // every member's bytes, alive until the archive is closed
    std::vector<std::pair<std::string, std::string*>> members;  // name in OEBPS/, bytes
    std::vector<BodyChecker> checks(book.documents.size());
    std::vector<std::string*> documentBytes;
    for (size_t i = 0; i < book.documents.size(); ++i) {
        const EpubTextDocument& d = book.documents[i];
        const std::string documentTitle = CollapseWhitespace(d.title);
        files.push_back(
            XhtmlDocument(!documentTitle.empty() ? documentTitle : title, language, d.body));
        EpubResult parsed = checks[i].Parse(files.back(), 512);
        if (parsed != EpubResult::kOk) {
            std::string problem = d.name;
            if (!checks[i].repeatedId.empty())
                problem += ": id \"" + checks[i].repeatedId + "\" twice";
            return fail(EpubWriteResult::kBadDocument, problem);
        }
        documentBytes.push_back(&files.back());
    }
    // Links and pictures lead to what the book holds.
    for (size_t i = 0; i < book.documents.size(); ++i) {
        for (const BodyChecker::Reference& ref : checks[i].references) {
            const std::string where = book.documents[i].name + ": " + ref.target;
            if (ref.picture) {
                auto found = itemIndex.find(PercentDecode(ref.target));
                if (found == itemIndex.end() || !IsEpubCorePicture(items[found->second].mediaType))
                    return fail(EpubWriteResult::kBadReference, where);
                continue;
            }
            if (HasScheme(ref.target)) continue;
            const size_t hash = ref.target.find('#');
            const std::string file = PercentDecode(ref.target.substr(0, hash));
            const std::string fragment =
                hash == std::string::npos ? "" : PercentDecode(ref.target.substr(hash + 1));
            size_t to = i;
            if (!file.empty()) {
                auto found = documentIndex.find(file);
                if (found == documentIndex.end())
                    return fail(EpubWriteResult::kBadReference, where);
                to = found->second;
            }
            if (!fragment.empty() && !checks[to].ids.count(fragment))
                return fail(EpubWriteResult::kBadReference, where);
        }
    }
    for (const EpubContentsItem& item : book.contents) {
        auto found = documentIndex.find(item.document);
        if (found == documentIndex.end() ||
            (!item.fragment.empty() && !checks[found->second].ids.count(item.fragment)))
            return fail(EpubWriteResult::kBadReference,
                        "contents: " + item.document + "#" + item.fragment);
    }
    checks.clear();

    // ---- the package's own files ----
    const std::vector<Line> lines = ContentsLines(book, documentIndex);
    std::string opf =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\" "
        "unique-identifier=\"pub-id\" xml:lang=\"" +
        language +
        "\">\n<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
        "<dc:identifier id=\"pub-id\">" +
        Text(identifier_) + "</dc:identifier>\n";
    if (isbn)
        opf +=
            "<meta refines=\"#pub-id\" property=\"identifier-type\" "
            "scheme=\"onix:codelist5\">" +
            std::string(Digits(book.info.isbn).size() == 13 ? "15" : "02") + "</meta>\n";
    else if (!CollapseWhitespace(book.info.isbn).empty())
        opf += "<dc:identifier>" + Text(CollapseWhitespace(book.info.isbn)) + "</dc:identifier>\n";
    opf += "<dc:title id=\"title\">" + Text(title) + "</dc:title>\n";
    int creatorNumber = 0;
    for (const std::string& creator : book.info.creators) {
        const std::string name = CollapseWhitespace(creator);
        if (name.empty()) continue;
        const std::string id = "creator" + std::to_string(++creatorNumber);
        opf += "<dc:creator id=\"" + id + "\">" + Text(name) + "</dc:creator>\n<meta refines=\"#" +
               id + "\" property=\"role\" scheme=\"marc:relators\">aut</meta>\n";
    }
    if (!CollapseWhitespace(book.info.publisher).empty())
        opf +=
            "<dc:publisher>" + Text(CollapseWhitespace(book.info.publisher)) + "</dc:publisher>\n";
    if (!CollapseWhitespace(book.info.rights).empty())
        opf += "<dc:rights>" + Text(CollapseWhitespace(book.info.rights)) + "</dc:rights>\n";
    opf += "<dc:language>" + language + "</dc:language>\n";
    opf += "<meta property=\"dcterms:modified\">" + IsoTime(modified) + "</meta>\n";
    if (!coverName.empty()) opf += "<meta name=\"cover\" content=\"cover-image\"/>\n";
    opf += "</metadata>\n<manifest>\n";
    opf += "<item id=\"ncx\" href=\"" + std::string(kNcxName) +
           "\" media-type=\"application/x-dtbncx+xml\"/>\n";
    opf += "<item id=\"nav\" href=\"" + std::string(kNavName) +
           "\" media-type=\"application/xhtml+xml\" properties=\"nav\"/>\n";
    opf += "<item id=\"css\" href=\"" + std::string(kStyleName) + "\" media-type=\"text/css\"/>\n";
    if (!coverName.empty())
        opf += "<item id=\"cover-page\" href=\"" + std::string(kCoverPageName) +
               "\" media-type=\"application/xhtml+xml\"/>\n";
    for (size_t i = 0; i < book.documents.size(); ++i)
        opf += "<item id=\"d" + std::to_string(i + 1) + "\" href=\"" + book.documents[i].name +
               "\" media-type=\"application/xhtml+xml\"/>\n";
    for (size_t i = 0; i < items.size(); ++i)
        opf += "<item id=\"" +
               (items[i].cover ? std::string("cover-image") : "r" + std::to_string(i + 1)) +
               "\" href=\"" + items[i].resource->name + "\" media-type=\"" +
               Attr(items[i].mediaType) + "\"" +
               (items[i].cover ? " properties=\"cover-image\"" : "") + "/>\n";
    opf += "</manifest>\n<spine toc=\"ncx\">\n";
    if (!coverName.empty()) opf += "<itemref idref=\"cover-page\"/>\n";
    for (size_t i = 0; i < book.documents.size(); ++i)
        opf += "<itemref idref=\"d" + std::to_string(i + 1) + "\"/>\n";
    opf += "</spine>\n";
    if (!coverName.empty())
        opf += "<guide>\n<reference type=\"cover\" title=\"Cover\" href=\"" +
               std::string(kCoverPageName) + "\"/>\n</guide>\n";
    opf += "</package>\n";

    files.push_back(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
        "<rootfiles>\n<rootfile full-path=\"OEBPS/content.opf\" "
        "media-type=\"application/oebps-package+xml\"/>\n</rootfiles>\n</container>\n");
    std::string* container = &files.back();
    files.push_back(std::move(opf));
    members.emplace_back(kPackageName, &files.back());
    files.push_back(NcxDocument(book, lines, identifier_, language, title));
    members.emplace_back(kNcxName, &files.back());
    files.push_back(NavDocument(book, lines, language, !coverName.empty()));
    members.emplace_back(kNavName, &files.back());
    files.push_back(std::string(XhtmlStyleSheet()));
    members.emplace_back(kStyleName, &files.back());
    if (!coverName.empty()) {
        files.push_back(XhtmlDocument("Cover", language,
                                      "<div class=\"cover\"><img src=\"" + coverName + "\" alt=\"" +
                                          Attr(title) + "\"/></div>",
                                      " epub:type=\"cover\""));
        members.emplace_back(kCoverPageName, &files.back());
    }
    for (size_t i = 0; i < book.documents.size(); ++i)
        members.emplace_back(book.documents[i].name, documentBytes[i]);

    // ---- the archive, beside the target under a name of its own ----
    if (!Zip()) return fail(EpubWriteResult::kWriteFailed, target.string());
    const std::filesystem::path final = FollowLinks(target);
    std::filesystem::path temp;
    mode_t mode = 0644;
    {
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 100 && temp.empty(); ++attempt) {
            std::filesystem::path candidate =
                final.parent_path() / ("." + final.filename().string() + ".tmp-" +
                                       std::to_string(random() % 1000000000ULL));
            int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0) {
                if (errno == EEXIST) continue;
                break;
            }
            struct stat made;
            if (::fstat(fd, &made) == 0) mode = made.st_mode & 07777;
            ::close(fd);
            temp = candidate;
        }
    }
    if (temp.empty()) return fail(EpubWriteResult::kCannotCreate, final.string());
    struct stat old;
    if (::stat(final.c_str(), &old) == 0 && S_ISREG(old.st_mode)) mode = old.st_mode & 07777;

    int error = 0;
    zip_t* zip = Zip()->open(temp.c_str(), ZIP_TRUNCATE, &error);
    if (!zip) {
        ::unlink(temp.c_str());
        return fail(EpubWriteResult::kCannotCreate, final.string());
    }
    const std::time_t mtime = std::time_t(modified);
    bool added = true;
    auto add = [&](const std::string& name, zip_source_t* source, bool store) {
        if (!added) {
            if (source) Zip()->source_free(source);
            return;
        }
        if (!source) {
            added = false;
            return;
        }
        const zip_int64_t index = Zip()->file_add(zip, name.c_str(), source, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            Zip()->source_free(source);
            added = false;
            return;
        }
        added = Zip()->set_file_compression(
                    zip, zip_uint64_t(index), store ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                    store ? 0 : zip_uint32_t(std::clamp(options_.compression, 1, 9))) == 0 &&
                Zip()->file_set_mtime(zip, zip_uint64_t(index), mtime, 0) == 0;
    };
    auto buffer = [&](const std::string& bytes) {
        return Zip()->source_buffer(zip, bytes.data(), bytes.size(), 0);
    };
    static const std::string kMimetype = "application/epub+zip";
    add("mimetype", buffer(kMimetype), true);
    add("META-INF/container.xml", buffer(*container), false);
    for (const auto& [name, bytes] : members)
        add(std::string(kFolder) + name, buffer(*bytes), false);
    for (const Item& item : items) {
        const EpubResource& r = *item.resource;
        const bool compressed = item.mediaType == "image/jpeg" || item.mediaType == "image/png" ||
                                item.mediaType == "image/gif" || item.mediaType == "image/webp" ||
                                item.mediaType.starts_with("audio/mp") ||
                                item.mediaType.starts_with("video/");
        zip_source_t* source =
            r.file.empty() ? buffer(r.bytes) : Zip()->source_file(zip, r.file.c_str(), 0, -1);
        add(std::string(kFolder) + r.name, source, compressed);
    }
    if (!added) {
        Zip()->discard(zip);
        ::unlink(temp.c_str());
        return fail(EpubWriteResult::kWriteFailed, final.string());
    }
    Progress progress{&options_.progress};
    if (options_.progress) {
        Zip()->register_progress_callback_with_state(
            zip, 0.01,
            [](zip_t*, double done, void* state) {
                auto* p = static_cast<Progress*>(state);
                if (!p->cancelled && !(*p->callback)(done)) p->cancelled = true;
            },
            nullptr, &progress);
        Zip()->register_cancel_callback_with_state(
            zip,
            [](zip_t*, void* state) { return static_cast<Progress*>(state)->cancelled ? 1 : 0; },
            nullptr, &progress);
    }
    if (Zip()->close(zip) != 0) {
        const int code = Zip()->error_code_zip(Zip()->get_error(zip));
        Zip()->discard(zip);
        ::unlink(temp.c_str());
        if (progress.cancelled || code == ZIP_ER_CANCELLED)
            return fail(EpubWriteResult::kCancelled, "");
        if (code == ZIP_ER_OPEN || code == ZIP_ER_READ)
            return fail(EpubWriteResult::kUnreadableFile, final.string());
        return fail(EpubWriteResult::kWriteFailed, final.string());
    }
    // The bytes reach the disk before the name does, so a crash leaves the old book or the new.
    bool synced = ::chmod(temp.c_str(), mode) == 0;
    if (int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        synced = ::fsync(fd) == 0 && synced;
        ::close(fd);
    } else {
        synced = false;
    }
    if (!synced || ::rename(temp.c_str(), final.c_str()) != 0) {
        ::unlink(temp.c_str());
        return fail(EpubWriteResult::kWriteFailed, final.string());
    }
    const std::filesystem::path folder = final.parent_path();
    if (int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return EpubWriteResult::kOk;
}

}  // namespace pagewick
