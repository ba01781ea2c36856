// A LIT book as the reader sees it: the container, the manifest, the package description with
// its metadata and contents tour, and the book's text as one markup stream made of every content
// file decoded in reading order. Each open book has its own LitBook: the reading view's and a
// conversion's never share state.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "formats/lit/LitBinary.h"
#include "formats/lit/LitContainer.h"
#include "formats/lit/LitManifest.h"
#include "formats/lit/LitPackage.h"

namespace pagewick {

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

}  // namespace pagewick
