#include "formats/epub/EpubPackage.h"

#include <algorithm>
#include <new>
#include <unordered_set>

#include "formats/epub/EpubPath.h"
#include "util/AsciiCase.h"

namespace pagewick {

namespace {

constexpr std::string_view kContainerPath = "META-INF/container.xml";
constexpr std::string_view kEncryptionPath = "META-INF/encryption.xml";
constexpr std::string_view kRightsPath = "META-INF/rights.xml";
constexpr std::string_view kNcxMediaType = "application/x-dtbncx+xml";

// Failures that depend on the member's bytes and will come again; the others (memory, a read
// of the file) may go differently next time.
bool Lasting(EpubResult result) {
    return result != EpubResult::kNoMemory && result != EpubResult::kReadFailed;
}

}  // namespace

const char* EpubResultName(EpubResult result) {
    switch (result) {
        case EpubResult::kOk:
            return "ok";
        case EpubResult::kDamaged:
            return "damaged";
        case EpubResult::kNoContainer:
            return "no container";
        case EpubResult::kNoPackage:
            return "no package";
        case EpubResult::kBadXml:
            return "bad XML";
        case EpubResult::kNoSpine:
            return "no spine";
        case EpubResult::kProtected:
            return "protected";
        case EpubResult::kTooLarge:
            return "too large";
        case EpubResult::kTooMany:
            return "too many items";
        case EpubResult::kBadChecksum:
            return "bad checksum";
        case EpubResult::kNotFound:
            return "not found";
        case EpubResult::kUnsafePath:
            return "unsafe path";
        case EpubResult::kReadFailed:
            return "read failed";
        case EpubResult::kNoMemory:
            return "no memory";
        case EpubResult::kWriteFailed:
            return "write failed";
    }
    return "unknown";
}

const char* EpubOpenMessage(EpubResult result) {
    if (result == EpubResult::kOk) return "";
    return result == EpubResult::kProtected ? kEpubProtectedMessage : kEpubDamagedMessage;
}

EpubPackage::EpubPackage(const EpubLimits& limits) : limits_(limits), archive_(limits) {}

void EpubPackage::Close() {
    archive_.Close();
    open_ = false;
    packagePath_.clear();
    metadata_ = EpubMetadata();
    manifest_.clear();
    itemById_.clear();
    itemByPath_.clear();
    spine_.clear();
    skippedSpineRefs_ = 0;
    totalSize_ = 0;
    contents_.clear();
    contentsSource_ = EpubContentsSource::kNone;
    coverPath_.clear();
    coverMediaType_.clear();
    encryptedFonts_.clear();
    cache_.clear();
    cacheIndex_.clear();
    cachedBytes_ = 0;
    failed_.clear();
}

EpubResult EpubPackage::Open(const std::string& path) {
    Close();
    EpubResult result = archive_.OpenFile(path);
    if (result != EpubResult::kOk) return result;
    result = OpenArchive();
    if (result != EpubResult::kOk) Close();
    return result;
}

EpubResult EpubPackage::OpenMemory(std::vector<uint8_t> bytes) {
    Close();
    EpubResult result = archive_.OpenMemory(std::move(bytes));
    if (result != EpubResult::kOk) return result;
    result = OpenArchive();
    if (result != EpubResult::kOk) Close();
    return result;
}

EpubResult EpubPackage::ReadDocument(const EpubMember& member, std::string& out) {
    return archive_.Read(member, out, limits_.documentBytes);
}

// The package's path: the one the container names, or, when a book has no container, its only
// package file.
EpubResult EpubPackage::FindPackage(std::string& path) {
    path.clear();
    std::string named;
    EpubResult result = EpubResult::kNoContainer;
    if (const EpubMember* container = archive_.Find(kContainerPath)) {
        std::string xml;
        result = ReadDocument(*container, xml);
        if (result == EpubResult::kOk) result = ParseContainerXml(xml, limits_, named);
        if (result == EpubResult::kNoMemory) return result;
    }
    if (result == EpubResult::kOk) {
        // The full-path is a path, though some writers escape it as a URL.
        std::string normal;
        for (const std::string& candidate : {named, PercentDecode(named)}) {
            if (NormalizeContainerPath(candidate, normal)) {
                if (const EpubMember* m = archive_.Find(normal)) {
                    path = m->name;
                    return EpubResult::kOk;
                }
            }
        }
        return EpubResult::kNoPackage;
    }
    const EpubMember* only = nullptr;
    for (const EpubMember& m : archive_.Members()) {
        if (!LowerAscii(m.name).ends_with(".opf")) continue;
        if (only) return result;  // two packages and no container to choose
        only = &m;
    }
    if (!only) return result;
    path = only->name;
    return EpubResult::kOk;
}

EpubResult EpubPackage::OpenArchive() {
    try {
        // A book sold with DRM says so before anything else is looked at.
        if (archive_.Find(kRightsPath)) return EpubResult::kProtected;
        // An empty archive (libzip opens an empty file as one) is no book.
        if (archive_.Members().empty()) return EpubResult::kDamaged;

        EpubResult result = FindPackage(packagePath_);
        if (result != EpubResult::kOk) return result;
        const EpubMember* packageMember = archive_.Find(packagePath_);
        std::string xml;
        result = ReadDocument(*packageMember, xml);
        if (result != EpubResult::kOk) return result;
        EpubPackageDocument package;
        result = ParsePackageDocument(xml, packagePath_, limits_, package);
        if (result != EpubResult::kOk) return result;
        xml.clear();
        xml.shrink_to_fit();

        manifest_ = std::move(package.manifest);
        for (size_t i = 0; i < manifest_.size(); ++i) {
            EpubManifestItem& item = manifest_[i];
            // The member's own name, so that a reference differing only in case finds it once.
            if (const EpubMember* m = item.path.empty() ? nullptr : archive_.Find(item.path))
                item.path = m->name;
            itemById_.emplace(item.id, i);
            if (!item.path.empty()) itemByPath_.emplace(item.path, i);
        }
        result = CheckEncryption();
        if (result != EpubResult::kOk) return result;
        result = BuildSpine(package);
        if (result != EpubResult::kOk) return result;
        metadata_ = MakeEpubMetadata(package);
        FindCover(package);
        ReadContents(package);
        failed_.assign(spine_.size(), EpubResult::kOk);
        open_ = true;
        return EpubResult::kOk;
    } catch (const std::bad_alloc&) {
        return EpubResult::kNoMemory;
    }
}

// Content files encrypted with anything but a font obfuscation make the book unreadable here;
// fonts, however encrypted, are only fonts.
EpubResult EpubPackage::CheckEncryption() {
    const EpubMember* list = archive_.Find(kEncryptionPath);
    if (!list) return EpubResult::kOk;
    std::string xml;
    EpubResult result = ReadDocument(*list, xml);
    if (result == EpubResult::kNoMemory) return result;
    std::vector<EpubEncryptedItem> items;
    // A list that breaks off still counts for what it said before the fault (the parse's
    // result is not needed); one whose member cannot be inflated says nothing.
    if (result == EpubResult::kOk) ParseEncryptionXml(xml, limits_, items);
    for (const EpubEncryptedItem& item : items) {
        if (item.path.empty()) continue;
        const EpubMember* member = archive_.Find(item.path);
        const std::string path = member ? member->name : item.path;
        const EpubManifestItem* manifestItem = ItemByPath(path);
        const std::string_view mediaType =
            manifestItem ? std::string_view(manifestItem->mediaType) : std::string_view();
        if (IsFontResource(path, mediaType)) {
            encryptedFonts_.push_back(path);
            continue;
        }
        if (!IsFontObfuscation(item.algorithm)) return EpubResult::kProtected;
    }
    return EpubResult::kOk;
}

EpubResult EpubPackage::BuildSpine(const EpubPackageDocument& package) {
    std::unordered_set<std::string> seen;
    for (const EpubSpineRef& ref : package.spine) {
        const EpubManifestItem* item = ItemById(ref.idref);
        const EpubMember* member =
            item && !item->path.empty() ? archive_.Find(item->path) : nullptr;
        if (!member || !seen.insert(member->name).second) {
            ++skippedSpineRefs_;
            continue;
        }
        // A content file under ZIP encryption is as locked as one in the encryption list.
        if (member->encrypted) return EpubResult::kProtected;
        EpubSpineItem s;
        s.id = item->id;
        s.path = member->name;
        s.mediaType = item->mediaType;
        s.linear = ref.linear;
        s.size = member->size;
        s.storedSize = member->storedSize;
        spine_.push_back(std::move(s));
    }
    if (spine_.empty()) return EpubResult::kNoSpine;
    std::stable_partition(spine_.begin(), spine_.end(),
                          [](const EpubSpineItem& s) { return s.linear; });
    uint64_t at = 0;
    for (EpubSpineItem& s : spine_) {
        s.start = at;
        at += s.size;
    }
    totalSize_ = at;
    return EpubResult::kOk;
}

void EpubPackage::FindCover(const EpubPackageDocument& package) {
    auto use = [this](const std::string& path) {
        const EpubMember* member = path.empty() ? nullptr : archive_.Find(path);
        if (!member) return false;
        coverPath_ = member->name;
        const EpubManifestItem* item = ItemByPath(coverPath_);
        coverMediaType_ = item ? item->mediaType : "";
        return true;
    };
    for (const EpubManifestItem& item : manifest_)
        if (item.HasProperty("cover-image") && use(item.path)) return;
    if (!package.coverMeta.empty()) {
        if (const EpubManifestItem* item = ItemById(package.coverMeta); item && use(item->path))
            return;
        // Some writers put the picture's href where its id belongs.
        std::string path, fragment;
        if (ResolveHref(packagePath_, package.coverMeta, path, fragment) && use(path)) return;
    }
    use(package.guideCover);
}

void EpubPackage::ReadContents(const EpubPackageDocument& package) {
    auto read = [this](const EpubManifestItem* item, bool nav) {
        const EpubMember* member =
            item && !item->path.empty() ? archive_.Find(item->path) : nullptr;
        if (!member) return false;
        std::string xml;
        if (ReadDocument(*member, xml) != EpubResult::kOk) return false;
        std::vector<EpubContentsEntry> entries;
        EpubResult result = nav ? ParseNavDocument(xml, member->name, limits_, entries)
                                : ParseNcx(xml, member->name, limits_, entries);
        if (result != EpubResult::kOk || entries.empty()) return false;
        for (EpubContentsEntry& entry : entries) {
            const EpubMember* target = entry.path.empty() ? nullptr : archive_.Find(entry.path);
            if (target) {
                entry.path = target->name;
            } else {
                entry.path.clear();  // leads nowhere
                entry.fragment.clear();
            }
        }
        contents_ = std::move(entries);
        contentsSource_ = nav ? EpubContentsSource::kNav : EpubContentsSource::kNcx;
        return true;
    };
    for (const EpubManifestItem& item : manifest_)
        if (item.HasProperty("nav")) {
            if (read(&item, true)) return;
            break;
        }
    const EpubManifestItem* ncx = ItemById(package.spineToc);
    if (!ncx) {
        for (const EpubManifestItem& item : manifest_)
            if (EqualIgnoringAsciiCase(item.mediaType, kNcxMediaType)) {
                ncx = &item;
                break;
            }
    }
    read(ncx, false);
}

const EpubManifestItem* EpubPackage::ItemById(std::string_view id) const {
    if (id.empty()) return nullptr;
    auto found = itemById_.find(std::string(id));
    return found == itemById_.end() ? nullptr : &manifest_[found->second];
}

const EpubManifestItem* EpubPackage::ItemByPath(std::string_view path) const {
    auto found = itemByPath_.find(std::string(path));
    return found == itemByPath_.end() ? nullptr : &manifest_[found->second];
}

size_t EpubPackage::SpineIndexAt(uint64_t offset) const {
    if (spine_.empty()) return 0;
    auto after = std::upper_bound(spine_.begin(), spine_.end(), offset,
                                  [](uint64_t at, const EpubSpineItem& s) { return at < s.start; });
    return after == spine_.begin() ? 0 : size_t(after - spine_.begin() - 1);
}

EpubResult EpubPackage::Content(size_t spineIndex, std::shared_ptr<const std::string>& out) {
    out.reset();
    if (!open_ || spineIndex >= spine_.size()) return EpubResult::kNotFound;
    if (auto hit = cacheIndex_.find(spineIndex); hit != cacheIndex_.end()) {
        cache_.splice(cache_.begin(), cache_, hit->second);
        out = cache_.front().second;
        return EpubResult::kOk;
    }
    if (failed_[spineIndex] != EpubResult::kOk) return failed_[spineIndex];
    const EpubMember* member = archive_.Find(spine_[spineIndex].path);
    if (!member) return EpubResult::kNotFound;
    try {
        auto bytes = std::make_shared<std::string>();
        EpubResult result = archive_.Read(*member, *bytes, limits_.memberBytes);
        if (result != EpubResult::kOk) {
            if (Lasting(result)) failed_[spineIndex] = result;
            return result;
        }
        out = bytes;
        if (bytes->size() <= limits_.cacheBytes) {
            cache_.emplace_front(spineIndex, std::move(bytes));
            cacheIndex_[spineIndex] = cache_.begin();
            cachedBytes_ += out->size();
            while (cachedBytes_ > limits_.cacheBytes) {
                cachedBytes_ -= cache_.back().second->size();
                cacheIndex_.erase(cache_.back().first);
                cache_.pop_back();
            }
        }
        return EpubResult::kOk;
    } catch (const std::bad_alloc&) {
        out.reset();
        return EpubResult::kNoMemory;
    }
}

EpubResult EpubPackage::ReadMember(std::string_view path, std::string& out) {
    try {
        return archive_.Read(path, out);
    } catch (const std::bad_alloc&) {
        out.clear();
        return EpubResult::kNoMemory;
    }
}

EpubResult EpubPackage::ReadMember(std::string_view path, std::string& out, uint64_t maxBytes) {
    out.clear();
    std::string normal;
    if (!NormalizeContainerPath(path, normal)) return EpubResult::kUnsafePath;
    const EpubMember* member = archive_.Find(normal);
    if (!member) return EpubResult::kNotFound;
    return archive_.Read(*member, out, maxBytes);
}

EpubResult EpubPackage::ExtractMember(std::string_view path, const std::string& outFile) {
    try {
        return archive_.Extract(path, outFile);
    } catch (const std::bad_alloc&) {
        return EpubResult::kNoMemory;
    }
}

EpubResult EpubPackage::ExtractPicture(std::string_view fromFile, std::string_view href,
                                       const std::string& outFile) {
    std::string path, fragment;
    try {
        if (!ResolveHref(fromFile, href, path, fragment)) return EpubResult::kUnsafePath;
        return archive_.Extract(path, outFile);
    } catch (const std::bad_alloc&) {
        return EpubResult::kNoMemory;
    }
}

}  // namespace pagewick
