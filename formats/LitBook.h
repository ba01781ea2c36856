// A LIT book as the reader sees it: the container, the manifest, the package description with
// its metadata and contents tour, and the book's text as one markup stream made of every content
// file decoded in reading order. Each open book has its own LitBook: the reading view's and a
// conversion's never share state.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/BookEngine.h"
#include "formats/lit/LitBinary.h"
#include "formats/lit/LitContainer.h"

namespace pagewick {

// One entry of "/manifest": the name under "/data/", the path the book's author gave the file,
// its media type and a 32-bit value kept as read.
struct LitManifestEntry {
    std::string id;
    std::string path;
    std::string mediaType;
    uint32_t value = 0;
};

// Groups 0 (linear content files), 1 (non-linear content files), 2 (style sheets), 3 (pictures
// and other media).
using LitManifest = std::array<std::vector<LitManifestEntry>, 4>;

// A manifest listing more entries than this is refused as out of memory: real books list a few
// thousand, and every entry costs a lookup when the book is measured.
constexpr size_t kLitMaxManifestEntries = 1u << 18;

// Parses "/manifest": directory names, each followed by four groups; the groups of the last
// directory are kept. 0, kLitMalformed for a stray byte after the closing 0, kLitBadSectionData
// (-1) for a manifest cut short, kLitNoMemory for too many entries.
int ParseLitManifest(std::span<const uint8_t> bytes, LitManifest& out);

// The five fields cut out of the package description, 8-bit as the description holds them;
// empty when the book lacks them.
struct LitMetadata {
    std::optional<std::string> title, author, publisher, isbn, rights, language;
};
LitMetadata CutLitMetadata(std::string_view package);

// Fills contents from the package description: the cover entry ("Cover Image") when there is a
// cover, then one entry per site from the chapter tour on, every title made plain text and UTF-8.
// coverTarget receives the cover's path ("" when there is none).
void BuildLitContents(std::string_view package, std::vector<ContentsEntry>& contents,
                      std::string& coverTarget);

// A 8-bit label as the book's description writes it, made plain and turned into UTF-8: line ends
// become "-", the common references their characters, numeric references the code page's.
std::string LitLabelToUtf8(std::string label);

// The book file read through the container's callback: seek unless already there, read exactly
// the count, fail on a short read. The command line and the reader share it.
class LitBookFile {
public:
    // False when the file cannot be opened or is larger than 4 GB.
    bool Open(const std::string& path);
    uint32_t Size() const { return uint32_t(size_); }
    static bool Read(void* user, uint32_t offset, uint32_t count, std::vector<uint8_t>& out);

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    uint64_t position_ = 0;
    uint64_t size_ = 0;
};

class LitBook {
public:
    // What a book may make us hold or decode. The package description grows to the size it
    // decodes to, up to package; a larger one is dropped and the book opens without metadata,
    // contents and cover. The markup stream is cut at markup: positions are 31-bit, and a
    // hostile book whose files expand enormously must not take minutes to measure. Decoded
    // content files are kept up to cacheBytes together; a file larger than cachedFile is decoded
    // again for every window that needs it.
    struct Limits {
        size_t package = 16u << 20;
        uint64_t markup = 512u << 20;
        size_t cacheBytes = 8u << 20;
        size_t cachedFile = 2u << 20;
    };

    // A content file of the markup stream: its manifest entry and where its markup lies.
    struct ContentFile {
        std::string id;
        std::string path;
        uint64_t start = 0;
        uint64_t end = 0;
    };

    LitBook() = default;
    explicit LitBook(const Limits& limits) : limits_(limits) {}
    LitBook(const LitBook&) = delete;
    LitBook& operator=(const LitBook&) = delete;

    // Opens the container through the callback and reads the manifest and the package
    // description, measuring every content file. 0, or the container's error (the book is then
    // unreadable). A manifest that cannot be parsed leaves a book with no content files.
    int Open(LitReadFn read, void* user, uint32_t fileSize);

    const LitManifest& Manifest() const { return manifest_; }
    int ManifestResult() const { return manifestResult_; }
    // The decoded package description ("" when it is missing, damaged or too large).
    const std::string& Package() const { return package_; }
    bool PackageTooLarge() const { return packageTooLarge_; }
    const LitMetadata& Metadata() const { return metadata_; }
    const std::vector<ContentFile>& Files() const { return files_; }
    // Bytes in the markup stream.
    uint32_t Length() const { return uint32_t(length_); }

    // Copies the markup from position on into out, at most count bytes; returns the number
    // copied (fewer only at the end of the stream).
    size_t ReadMarkup(uint64_t position, uint8_t* out, size_t count);

    // Writes the raw bytes of the group-3 item whose path is exactly wanted to a new file.
    // False when the book holds no such item, it cannot be read or the file cannot be written.
    bool ExtractPicture(const std::string& wanted, const std::string& outPath);

    // The builder's collect mode: the markup of every content file (groups 0 and 1) in manifest
    // order, exactly as reading gives it, then every picture of group 3 with its path. markup
    // answers false to stop; pictures whose bytes cannot be read are passed over.
    using MarkupFn = std::function<bool(std::string_view piece)>;
    using PictureFn = std::function<void(const std::string& path, std::vector<uint8_t>&& bytes)>;
    void Collect(const MarkupFn& markup, const PictureFn& picture);

    // How many times a content file was decoded since the book opened (measuring not counted).
    uint64_t FileDecodes() const { return fileDecodes_; }

private:
    // Decodes a content file into the sink: header, the compiled HTML, the closing page break.
    // Nothing when its entry cannot be read. The sink answers a negative value to stop.
    void ProduceFile(const std::string& id, const std::string& path, const LitOutputSink& sink);
    void ReadPackage();
    void Measure();
    // The markup of file index from offset on, count bytes, into out.
    void CopyFromFile(size_t index, uint64_t offset, uint8_t* out, size_t count);
    const std::string* Cached(size_t index);

    Limits limits_;
    LitContainer container_;
    LitManifest manifest_;
    LitManifestGroups links_;
    int manifestResult_ = 0;
    std::string package_;
    bool packageTooLarge_ = false;
    LitMetadata metadata_;
    std::vector<ContentFile> files_;
    uint64_t length_ = 0;
    uint64_t fileDecodes_ = 0;
    std::vector<uint8_t> entryBytes_;
    // Most recently used first.
    std::list<std::pair<size_t, std::string>> cache_;
    std::unordered_map<size_t, std::list<std::pair<size_t, std::string>>::iterator> cacheIndex_;
    size_t cachedBytes_ = 0;
};

// The reader of source kind 2: opens the book file, keeps it open with its LitBook, and fills the
// document's windows from the markup stream.
class LitBookReader : public WindowReader {
public:
    LitBookReader() = default;
    // A book held in memory instead of the document's file (the fuzzer, tests).
    explicit LitBookReader(std::vector<uint8_t> bytes, const LitBook::Limits& limits = {})
        : memory_(std::move(bytes)), inMemory_(true), book_(limits) {}

    OpenResult Open(CBookEngine& doc) override;
    bool ReadWindow(CBookEngine& doc, uint32_t bytePosition) override;  // ReadLitWindow
    bool ExtractMedia(const std::string& nameInBook, const std::string& path) override;

    LitBook& Book() { return book_; }

private:
    static bool ReadMemory(void* user, uint32_t offset, uint32_t count, std::vector<uint8_t>& out);

    LitBookFile file_;
    std::vector<uint8_t> memory_;
    bool inMemory_ = false;
    LitBook book_;
    bool titleStored_ = false;
};

// Opens a LIT book for the command line and the builder (no document). 0 or the container's
// error; the file must stay alive as long as the book.
int OpenLitBook(const std::string& path, LitBookFile& file, LitBook& book);

}  // namespace pagewick
