// An EPUB book as its reader needs it, knowing nothing of the engine: the archive, the package
// the container names (metadata, manifest, spine in reading order, cover), the contents, and
// the content files inflated one at a time as reading reaches them.
//
// Opening is lazy: it reads META-INF/container.xml, the package, the contents document (the
// navigation document, else the NCX) and META-INF/encryption.xml when there is one, and takes
// every spine file's sizes from the ZIP directory; no content file is inflated. Content files
// come through Content(), which keeps the most recently used ones within a byte budget.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/epub/EpubArchive.h"
#include "formats/epub/EpubDocuments.h"
#include "formats/epub/EpubLimits.h"
#include "formats/epub/EpubResult.h"

namespace pagewick {

// A content file in reading order.
struct EpubSpineItem {
    std::string id;         // its manifest id
    std::string path;       // its member in the archive
    std::string mediaType;  // as the manifest gives it
    bool linear = true;
    uint64_t size = 0;        // uncompressed, from the ZIP directory
    uint64_t storedSize = 0;  // compressed
    uint64_t start = 0;       // the sizes of the spine items before it, added up
};

enum class EpubContentsSource { kNone, kNav, kNcx };

class EpubPackage {
public:
    explicit EpubPackage(const EpubLimits& limits = {});
    EpubPackage(const EpubPackage&) = delete;
    EpubPackage& operator=(const EpubPackage&) = delete;

    // kOk, or why the book cannot be read: kDamaged (and the archive's other failures),
    // kProtected, kNoContainer, kNoPackage, kBadXml, kTooMany, kTooLarge, kNoSpine.
    EpubResult Open(const std::string& path);
    EpubResult OpenMemory(std::vector<uint8_t> bytes);
    void Close();
    bool IsOpen() const { return open_; }

    const std::string& PackagePath() const { return packagePath_; }
    const EpubMetadata& Metadata() const { return metadata_; }
    const std::vector<EpubManifestItem>& Manifest() const { return manifest_; }
    // The manifest item of a container path (nullptr when the manifest does not list it).
    const EpubManifestItem* ItemByPath(std::string_view path) const;

    // Linear items in spine order, then the non-linear ones in spine order. An itemref naming
    // no manifest item, a file the archive lacks or a file already in the spine is left out
    // (a file is read once, where the spine first names it) and counted here.
    const std::vector<EpubSpineItem>& Spine() const { return spine_; }
    size_t SkippedSpineRefs() const { return skippedSpineRefs_; }
    // The spine's sizes added up, and the spine item holding byte offset (the last for an
    // offset past the end): a jump to a share of the book inflates only the file it lands in.
    uint64_t TotalSize() const { return totalSize_; }
    size_t SpineIndexAt(uint64_t offset) const;

    // The contents, from the navigation document's toc, else from the NCX. An entry whose
    // target is outside the container or not in the archive keeps its title and leads nowhere
    // (an empty path).
    const std::vector<EpubContentsEntry>& Contents() const { return contents_; }
    EpubContentsSource ContentsSource() const { return contentsSource_; }

    // The cover: the manifest item marked cover-image, else the item named by
    // <meta name="cover">, else the guide's cover reference (often a page holding the
    // picture). "" when the book names none the archive holds.
    const std::string& CoverPath() const { return coverPath_; }
    const std::string& CoverMediaType() const { return coverMediaType_; }
    bool CoverIsPicture() const { return coverMediaType_.starts_with("image/"); }

    // Fonts the encryption list names under a font obfuscation (or any algorithm): the book
    // opens, the fonts are only fonts.
    const std::vector<std::string>& EncryptedFonts() const { return encryptedFonts_; }

    // The bytes of a spine item, shared with the cache. A member that fails (bad CRC, broken
    // data, a bomb) gives its result alone, at once on every later request, and the other
    // items stay readable.
    EpubResult Content(size_t spineIndex, std::shared_ptr<const std::string>& out);
    // Any member by its container path (kUnsafePath for one that leaves the container).
    EpubResult ReadMember(std::string_view path, std::string& out);
    // The same within maxBytes (kTooLarge for a member inflating past them).
    EpubResult ReadMember(std::string_view path, std::string& out, uint64_t maxBytes);
    // Writes a member, usually a picture, to a file the caller chose (in its private folder).
    EpubResult ExtractMember(std::string_view path, const std::string& outFile);
    // The same for an href written in the file fromFile: resolved against that file first.
    EpubResult ExtractPicture(std::string_view fromFile, std::string_view href,
                              const std::string& outFile);

    const EpubArchive& Archive() const { return archive_; }
    // Bytes of inflated content files the cache holds now.
    size_t CachedBytes() const { return cachedBytes_; }

private:
    EpubResult OpenArchive();
    EpubResult FindPackage(std::string& path);
    EpubResult ReadDocument(const EpubMember& member, std::string& out);
    EpubResult CheckEncryption();
    EpubResult BuildSpine(const EpubPackageDocument& package);
    void FindCover(const EpubPackageDocument& package);
    void ReadContents(const EpubPackageDocument& package);
    const EpubManifestItem* ItemById(std::string_view id) const;

    EpubLimits limits_;
    EpubArchive archive_;
    bool open_ = false;
    std::string packagePath_;
    EpubMetadata metadata_;
    std::vector<EpubManifestItem> manifest_;
    std::unordered_map<std::string, size_t> itemById_, itemByPath_;
    std::vector<EpubSpineItem> spine_;
    size_t skippedSpineRefs_ = 0;
    uint64_t totalSize_ = 0;
    std::vector<EpubContentsEntry> contents_;
    EpubContentsSource contentsSource_ = EpubContentsSource::kNone;
    std::string coverPath_, coverMediaType_;
    std::vector<std::string> encryptedFonts_;

    // Most recently used first.
    using CacheList = std::list<std::pair<size_t, std::shared_ptr<const std::string>>>;
    CacheList cache_;
    std::unordered_map<size_t, CacheList::iterator> cacheIndex_;
    size_t cachedBytes_ = 0;
    // A spine item whose bytes cannot be had answers this at once (kOk: not failed yet).
    std::vector<EpubResult> failed_;
};

}  // namespace pagewick
