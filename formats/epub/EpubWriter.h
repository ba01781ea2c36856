// Writing an EPUB 3 book that EPUB 2 readers can also read: "mimetype" first and stored,
// META-INF/container.xml, and in OEBPS/ the package (Dublin Core metadata, dcterms:modified, a
// unique identifier, manifest, spine), the navigation document and an NCX with the same nested
// contents, a style sheet, a cover page when there is a cover, the content documents and their
// pictures and media. Every file of the book sits in OEBPS/ beside the others, so documents
// refer to each other and to pictures by their bare names.
//
// The writer checks what it is given before it writes anything: safe and distinct file names,
// bodies that are well-formed XHTML with distinct ids, links and pictures that lead to files
// and ids the book holds, contents that do too. What passes is a book an EPUB checker accepts.
// The book is written under a temporary name beside the target and renamed over it once
// complete; a failed or cancelled write leaves nothing behind and the old file untouched.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace pagewick {

struct EpubBookInfo {
    std::string title;  // "Untitled" when empty
    std::vector<std::string> creators;
    std::string publisher;
    // An ISBN (10 or 13 digits, hyphens and spaces allowed, a valid check digit) becomes the
    // identifier "urn:isbn:..."; else `identifier` when given; else a "urn:uuid:" made from the
    // book's metadata and text, so the same book always gets the same identifier. An ISBN that
    // is not valid is kept as a further identifier.
    std::string isbn;
    std::string identifier;
    std::string rights;
    // A language tag ("en", "en-GB", "ru"); "und" (undetermined) when empty or no tag.
    std::string language;
    // Seconds since 1970 (UTC) for dcterms:modified and the archive's file times; now when unset.
    std::optional<int64_t> modified;
};

// A content document: its file name (ending in ".xhtml"), its title, and the content of its
// body element (XHTML, UTF-8), as XhtmlFromMarkup makes it.
struct EpubTextDocument {
    std::string name;
    std::string title;  // the book's title when empty
    std::string body;
};

// A picture or other media file, its bytes in memory or in a file (read while the book is
// written).
struct EpubResource {
    std::string name;
    // "" to take it from the bytes (PNG, JPEG, GIF, SVG, BMP, WebP, MP3, ...) or the name's
    // extension. A picture whose bytes say another picture type than the one given is written
    // with the type of its bytes.
    std::string mediaType;
    std::string bytes;
    std::filesystem::path file;  // used when not empty
};

// A line of the contents: nested by level (0 at the top; a level deeper than one below the
// line before counts as one below it).
struct EpubContentsItem {
    std::string title;     // the document's title when empty
    std::string document;  // a document's name
    std::string fragment;  // an id in it, "" for its start
    int level = 0;
};

struct EpubBook {
    EpubBookInfo info;
    std::vector<EpubTextDocument> documents;  // in reading order
    std::vector<EpubResource> resources;
    // The contents; one line per document (its title) when empty.
    std::vector<EpubContentsItem> contents;
    // The cover picture (JPEG, PNG, GIF or SVG; anything else is kept as a plain resource). A
    // cover named like one of the resources is that resource.
    std::optional<EpubResource> cover;
};

enum class EpubWriteResult : int {
    kOk = 0,
    kNoDocuments,     // a book needs at least one content document
    kBadName,         // a file name that is not safe, is one the writer uses, is given twice,
                      // or a document's that does not end in ".xhtml"
    kBadDocument,     // a body that is not well-formed XHTML, or that repeats an id
    kBadReference,    // a link, picture or contents line leading to what the book lacks
    kUnreadableFile,  // a resource's file that cannot be read
    kCannotCreate,    // no temporary file can be made beside the target
    kWriteFailed,     // writing, syncing or renaming failed (a full disk, a removed folder)
    kCancelled,       // the progress callback asked to stop
};

// A short name for a result ("ok", "bad name", ...), for logs and messages.
const char* EpubWriteResultName(EpubWriteResult result);

struct EpubWriteOptions {
    // Deflate level for text (1 fastest to 9 smallest); pictures and sound are stored, as they
    // are compressed already.
    int compression = 6;
    // Called as the archive is written with the share done (0 to 1); answering false cancels.
    std::function<bool(double done)> progress;
};

class EpubWriter {
public:
    explicit EpubWriter(EpubWriteOptions options = {});

    EpubWriteResult Write(const EpubBook& book, const std::filesystem::path& target);

    // What the last failure was about: the file name, document and reference, or path.
    const std::string& Problem() const { return problem_; }
    // The unique identifier the last written book got.
    const std::string& Identifier() const { return identifier_; }

private:
    EpubWriteOptions options_;
    std::string problem_;
    std::string identifier_;
};

// File names for a book's documents and resources: only letters, digits, "_", "-" and ".",
// distinct without regard to case, none of the writer's own.
class EpubNames {
public:
    EpubNames();
    // A document's name made from the name its source had ("Chapter 1.htm" gives
    // "Chapter_1.xhtml"); always ending in ".xhtml".
    std::string Document(std::string_view wanted);
    // A resource's name from its source's, keeping its extension ("images/a b.PNG" gives
    // "a_b.png").
    std::string Resource(std::string_view wanted);

private:
    std::string Unique(std::string stem, std::string_view extension);
    std::unordered_set<std::string> taken_;
};

// The file names the writer itself uses in OEBPS/.
bool IsEpubReservedName(std::string_view name);
// A name a book's file may have: see EpubNames.
bool IsSafeEpubName(std::string_view name);
// The media types every EPUB reader must show (pictures: JPEG, PNG, GIF, SVG).
bool IsEpubCorePicture(std::string_view mediaType);
// A media type from a file's first bytes, else its name's extension ("application/octet-stream"
// when neither tells).
std::string EpubMediaType(std::string_view name, std::string_view firstBytes);

}  // namespace pagewick
