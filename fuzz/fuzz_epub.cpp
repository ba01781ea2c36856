// The EPUB codec over untrusted bytes. The input is opened as a book from memory (the archive
// through libzip's buffer source, then its container, package and contents), and every spine
// file, the cover and every contents target are read; the same bytes are also parsed directly
// as each of the book's XML documents and resolved as an href. Whatever the input: no crash, no
// unbounded work, spine offsets that add up, content files exactly as long as the directory
// says, and resolved paths that stay inside the container.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "formats/epub/EpubDocuments.h"
#include "formats/epub/EpubPackage.h"
#include "formats/epub/EpubPath.h"

namespace {

using namespace pagewick;

void CheckInside(const std::string& path) {
    if (path.empty()) return;
    if (path[0] == '/' || path.find('\0') != std::string::npos) std::abort();
    if (path == ".." || path.starts_with("../") || path.find("/../") != std::string::npos ||
        path.ends_with("/.."))
        std::abort();
}

void ReadBook(const uint8_t* data, size_t size, const EpubLimits& limits) {
    EpubPackage book(limits);
    if (book.OpenMemory(std::vector<uint8_t>(data, data + size)) != EpubResult::kOk) return;
    const auto& spine = book.Spine();
    if (spine.empty()) std::abort();
    uint64_t at = 0;
    for (size_t i = 0; i < spine.size(); ++i) {
        if (spine[i].start != at) std::abort();
        at += spine[i].size;
        CheckInside(spine[i].path);
        std::shared_ptr<const std::string> bytes;
        if (book.Content(i, bytes) == EpubResult::kOk && bytes->size() != spine[i].size)
            std::abort();
    }
    if (at != book.TotalSize() || book.SpineIndexAt(at) >= spine.size()) std::abort();
    if (book.CachedBytes() > limits.cacheBytes) std::abort();
    for (const EpubContentsEntry& entry : book.Contents()) {
        CheckInside(entry.path);
        if (!entry.path.empty() && !book.Archive().Find(entry.path)) std::abort();
    }
    std::string bytes;
    if (!book.CoverPath().empty()) book.ReadMember(book.CoverPath(), bytes);
}

void ParseDocuments(const uint8_t* data, size_t size, const EpubLimits& limits) {
    const std::string_view xml(reinterpret_cast<const char*>(data), size);
    std::string packagePath;
    ParseContainerXml(xml, limits, packagePath);
    EpubPackageDocument package;
    if (ParsePackageDocument(xml, "OEBPS/content.opf", limits, package) == EpubResult::kOk) {
        for (const EpubManifestItem& item : package.manifest)
            CheckInside(item.path);
        MakeEpubMetadata(package);
    }
    std::vector<EpubContentsEntry> contents;
    ParseNavDocument(xml, "OEBPS/nav.xhtml", limits, contents);
    for (const EpubContentsEntry& entry : contents)
        CheckInside(entry.path);
    ParseNcx(xml, "OEBPS/toc.ncx", limits, contents);
    for (const EpubContentsEntry& entry : contents)
        CheckInside(entry.path);
    std::vector<EpubEncryptedItem> encrypted;
    ParseEncryptionXml(xml, limits, encrypted);
    if (size < 4096) {
        std::string path, fragment;
        if (ResolveHref("OEBPS/Text/ch1.xhtml", xml, path, fragment)) {
            if (path.empty()) std::abort();
            CheckInside(path);
        }
        IsValidIsbn(xml);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Lower bounds than a reader's, so that each input stays quick.
    EpubLimits limits;
    limits.memberBytes = 4u << 20;
    limits.documentBytes = 1u << 20;
    limits.items = 5000;
    limits.cacheBytes = 256u << 10;
    ReadBook(data, size, limits);
    ParseDocuments(data, size, limits);
    return 0;
}
