#include "formats/LitBook.h"

#include <algorithm>
#include <cstring>

#include "formats/TextReaders.h"
#include "formats/lit/LittleEndian.h"
#include "util/Cp1252.h"

namespace pagewick {

namespace {

// What every content file's markup begins and ends with, around its decoded HTML.
constexpr std::string_view kFileHeadStart = "<newpage><br><curfile>";
constexpr std::string_view kFileHeadEnd = "</curfile><a name=\"\"></a>";
constexpr std::string_view kFileTail = " <newpage>\r\n \r\n";

// The XML declaration and document type the package description is decoded behind.
constexpr std::string_view kPackageProlog =
    "<?xml version=\"1.0\"?>\n"
    "<!DOCTYPE package PUBLIC \"+//ISBN 0-9673008-1-9//DTD OEB 1.0.1 Package//EN\" "
    "\"http://openebook.org/dtds/oeb-1.0.1/oebpkg101.dtd\">\n";

bool IsContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// A manifest string: a count c, then c UTF-8 characters.
int ReadManifestString(std::span<const uint8_t> bytes, size_t& at, std::string& out) {
    if (at >= bytes.size()) return kLitBadSectionData;
    const size_t chars = bytes[at++];
    size_t end = at, seen = 0;
    if (chars > 0) {
        for (; end < bytes.size(); ++end) {
            if (!IsContinuation(bytes[end]) && seen++ == chars) break;
        }
        if (seen < chars) return kLitBadSectionData;
    }
    out.assign(reinterpret_cast<const char*>(bytes.data() + at), end - at);
    at = end;
    return 0;
}

// The text between open and close, searched from `from`; nothing when either is missing.
std::optional<std::string> Between(std::string_view text, std::string_view open,
                                   std::string_view close, size_t from = 0) {
    size_t start = text.find(open, from);
    if (start == std::string_view::npos) return std::nullopt;
    start += open.size();
    size_t end = text.find(close, start);
    if (end == std::string_view::npos) return std::nullopt;
    return std::string(text.substr(start, end - start));
}

}  // namespace

int ParseLitManifest(std::span<const uint8_t> bytes, LitManifest& out) {
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t nameLength = bytes[at++];
        if (nameLength == 0) {
            if (at != bytes.size()) return kLitMalformed;
            break;
        }
        if (bytes.size() - at < nameLength) return kLitBadSectionData;
        at += nameLength;
        LitManifest groups;
        size_t total = 0;
        for (auto& group : groups) {
            if (bytes.size() - at < 4) return kLitBadSectionData;
            const uint32_t count = Le32(bytes, at);
            at += 4;
            // An entry takes at least eight bytes: refuse a count the manifest cannot hold
            // before reserving room for it.
            if (count > (bytes.size() - at) / 8) return kLitBadSectionData;
            total += count;
            if (total > kLitMaxManifestEntries) return kLitNoMemory;
            group.reserve(count);
            for (uint32_t i = 0; i < count; ++i) {
                LitManifestEntry entry;
                if (bytes.size() - at < 4) return kLitBadSectionData;
                entry.value = Le32(bytes, at);
                at += 4;
                for (std::string* field : {&entry.id, &entry.path, &entry.mediaType}) {
                    if (int rc = ReadManifestString(bytes, at, *field)) return rc;
                }
                if (at >= bytes.size()) return kLitBadSectionData;
                ++at;  // one byte we do not use
                group.push_back(std::move(entry));
            }
        }
        out = std::move(groups);
    }
    return 0;
}

LitMetadata CutLitMetadata(std::string_view package) {
    LitMetadata m;
    m.title = Between(package, "<dc:Title>", "</dc:Title>");
    m.publisher = Between(package, "<dc:Publisher>", "</dc:Publisher>");
    size_t creator = package.find("<dc:Creator");
    if (creator != std::string_view::npos)
        m.author = Between(package, ">", "</dc:Creator>", creator);
    m.isbn = Between(package, "scheme=\"ISBN\">", "</dc:Identifier>");
    m.rights = Between(package, "<dc:Rights>", "</dc:Rights>");
    size_t language = package.find("<dc:Language");
    if (language != std::string_view::npos)
        m.language = Between(package, ">", "</dc:Language>", language);
    return m;
}

std::string LitLabelToUtf8(std::string label) {
    PlainTitleText(label);
    // The decoder writes every character beyond the code page's few as "&#" and digits and ";".
    return CodePageLabelToUtf8(label);
}

void BuildLitContents(std::string_view package, std::vector<ContentsEntry>& contents,
                      std::string& coverTarget) {
    contents.clear();
    coverTarget.clear();
    size_t cover = package.find("other.ms-coverimage-standard");
    if (cover != std::string_view::npos) {
        if (auto target = Between(package, "href=\"", "\"", cover)) {
            contents.push_back(ContentsEntry{"Cover Image", *target});
            coverTarget = *target;
        }
    }
    size_t tours = package.find("<tours>");
    if (tours == std::string_view::npos) return;
    size_t at = package.find("tour id=\"chaptertour\"", tours);
    if (at == std::string_view::npos) return;
    constexpr std::string_view kSite = "site title=\"";
    constexpr std::string_view kHref = "href=\"";
    for (;;) {
        size_t site = package.find(kSite, at);
        if (site == std::string_view::npos) return;
        size_t titleStart = site + kSite.size();
        // The title ends at a double quote followed by a space: a quote inside it is written as
        // a plain quote by the decoder.
        size_t titleEnd = titleStart;
        for (;; ++titleEnd) {
            titleEnd = package.find('"', titleEnd);
            if (titleEnd == std::string_view::npos) return;
            if (titleEnd + 1 < package.size() && package[titleEnd + 1] == ' ') break;
        }
        size_t href = package.find(kHref, titleEnd);
        if (href == std::string_view::npos) return;
        size_t targetStart = href + kHref.size();
        size_t targetEnd = package.find('"', targetStart);
        if (targetEnd == std::string_view::npos) return;
        contents.push_back(ContentsEntry{
            LitLabelToUtf8(std::string(package.substr(titleStart, titleEnd - titleStart))),
            std::string(package.substr(targetStart, targetEnd - targetStart))});
        at = targetEnd + 1;
    }
}

bool LitBookFile::Open(const std::string& path) {
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_ || std::fseek(file_.get(), 0, SEEK_END) != 0) return false;
    long end = std::ftell(file_.get());
    if (end < 0 || uint64_t(end) > 0xffffffffu) return false;
    size_ = uint64_t(end);
    position_ = size_;
    return true;
}

bool LitBookFile::Read(void* user, uint32_t offset, uint32_t count, std::vector<uint8_t>& out) {
    auto* self = static_cast<LitBookFile*>(user);
    if (!self->file_) return false;
    if (self->position_ != offset) {
        if (std::fseek(self->file_.get(), long(offset), SEEK_SET) != 0) return false;
        self->position_ = offset;
    }
    out.resize(count);
    size_t got = count ? std::fread(out.data(), 1, count, self->file_.get()) : 0;
    self->position_ += got;
    return got == count;
}

int LitBook::Open(LitReadFn read, void* user, uint32_t fileSize) {
    int rc = container_.LitOpen(read, user, fileSize);
    if (rc != 0) {
        container_.LitClose();
        return rc;
    }
    std::vector<uint8_t> bytes;
    manifestResult_ = container_.LitGetEntry("/manifest", &bytes, nullptr);
    if (manifestResult_ == 0) manifestResult_ = ParseLitManifest(bytes, manifest_);
    if (manifestResult_ != 0) {
        // No content files, no metadata, no contents: the book opens empty.
        manifest_ = LitManifest();
        return 0;
    }
    for (size_t g = 0; g < manifest_.size(); ++g) {
        links_[g].reserve(manifest_[g].size());
        for (const auto& e : manifest_[g])
            links_[g].push_back(LitLinkTarget{e.id, e.path});
    }
    Measure();
    ReadPackage();
    metadata_ = CutLitMetadata(package_);
    return 0;
}

void LitBook::ProduceFile(const std::string& id, const std::string& path,
                          const LitOutputSink& sink) {
    if (container_.LitGetEntry("/data/" + id + "/content", &entryBytes_, nullptr) != 0) return;
    auto put = [&](std::string_view piece) { return sink(piece.data(), piece.size()) >= 0; };
    if (!put(kFileHeadStart) || !put(path) || !put(kFileHeadEnd)) return;
    // A file whose compiled markup is damaged keeps what was decoded before the damage and
    // still ends with its page break; only a sink that asks to stop ends it here.
    long rc =
        DecodeLitBinary(entryBytes_, 0, entryBytes_.size(), LitDecodeMode::Html, &links_, sink);
    if (rc == kLitBinaryStopped) return;
    put(kFileTail);
}

void LitBook::Measure() {
    // The same content file listed many times decodes to the same HTML: measure it once.
    std::unordered_map<std::string, std::optional<uint64_t>> bodies;
    for (size_t g = 0; g < 2; ++g)
        for (const auto& e : manifest_[g])
            files_.push_back(ContentFile{e.id, e.path, 0, 0});
    uint64_t position = 0;
    for (ContentFile& f : files_) {
        f.start = f.end = position;
        const uint64_t budget = limits_.markup - position;
        if (budget == 0) continue;
        const uint64_t frame =
            kFileHeadStart.size() + f.path.size() + kFileHeadEnd.size() + kFileTail.size();
        uint64_t length = 0;
        auto known = bodies.find(f.id);
        if (known != bodies.end()) {
            length = known->second ? frame + *known->second : 0;
        } else {
            bool stopped = false;
            ProduceFile(f.id, f.path, [&](const char*, size_t n) -> long {
                length += n;
                if (length >= budget) {
                    stopped = true;
                    return -1;
                }
                return long(n);
            });
            if (!stopped)
                bodies.emplace(f.id, length ? std::optional(length - frame) : std::nullopt);
        }
        f.end = f.start + std::min(length, budget);
        position = f.end;
    }
    length_ = position;
}

void LitBook::ReadPackage() {
    if (container_.LitGetEntry("/meta", &entryBytes_, nullptr) != 0) return;
    // The description grows as it decodes: real ones reach a hundred kilobytes and more.
    const LitOutputSink sink = [&](const char* text, size_t n) -> long {
        if (package_.size() + n > limits_.package) {
            packageTooLarge_ = true;
            return -1;
        }
        package_.append(text, n);
        return long(n);
    };
    if (sink(kPackageProlog.data(), kPackageProlog.size()) < 0) return;
    DecodeLitBinary(entryBytes_, 0, entryBytes_.size(), LitDecodeMode::Package, &links_, sink);
    if (packageTooLarge_) {
        package_.clear();
        package_.shrink_to_fit();
    }
}

const std::string* LitBook::Cached(size_t index) {
    auto found = cacheIndex_.find(index);
    if (found == cacheIndex_.end()) return nullptr;
    cache_.splice(cache_.begin(), cache_, found->second);
    return &cache_.front().second;
}

void LitBook::CopyFromFile(size_t index, uint64_t offset, uint8_t* out, size_t count) {
    const ContentFile& f = files_[index];
    const uint64_t length = f.end - f.start;
    if (length <= limits_.cachedFile) {
        const std::string* markup = Cached(index);
        if (!markup) {
            std::string text;
            text.reserve(size_t(length));
            ++fileDecodes_;
            ProduceFile(f.id, f.path, [&](const char* piece, size_t n) -> long {
                size_t take = std::min<size_t>(n, size_t(length) - text.size());
                text.append(piece, take);
                return text.size() < length ? long(n) : -1;
            });
            // A file that gives less than it measured (a read failing now that worked then)
            // is padded, so that every later position stays where the measurement put it.
            text.resize(size_t(length), ' ');
            cachedBytes_ += text.size();
            cache_.emplace_front(index, std::move(text));
            cacheIndex_[index] = cache_.begin();
            while (cachedBytes_ > limits_.cacheBytes && cache_.size() > 1) {
                cachedBytes_ -= cache_.back().second.size();
                cacheIndex_.erase(cache_.back().first);
                cache_.pop_back();
            }
            markup = &cache_.front().second;
        }
        std::memcpy(out, markup->data() + offset, count);
        return;
    }
    // Too large to keep: decode it again and keep only the part asked for.
    ++fileDecodes_;
    uint64_t seen = 0;
    size_t copied = 0;
    ProduceFile(f.id, f.path, [&](const char* piece, size_t n) -> long {
        uint64_t pieceEnd = seen + n;
        if (pieceEnd > offset) {
            uint64_t from = std::max(seen, offset);
            size_t take = std::min<size_t>(size_t(pieceEnd - from), count - copied);
            std::memcpy(out + copied, piece + (from - seen), take);
            copied += take;
        }
        seen = pieceEnd;
        return copied < count ? long(n) : -1;
    });
    std::memset(out + copied, ' ', count - copied);
}

size_t LitBook::ReadMarkup(uint64_t position, uint8_t* out, size_t count) {
    if (position >= length_) return 0;
    count = size_t(std::min<uint64_t>(count, length_ - position));
    // The last file starting at or before the position.
    auto it = std::upper_bound(files_.begin(), files_.end(), position,
                               [](uint64_t p, const ContentFile& f) { return p < f.start; });
    size_t index = size_t(it - files_.begin()) - 1;
    size_t done = 0;
    for (; done < count && index < files_.size(); ++index) {
        const ContentFile& f = files_[index];
        const uint64_t at = position + done;
        if (at >= f.end) continue;
        size_t take = size_t(std::min<uint64_t>(count - done, f.end - at));
        CopyFromFile(index, at - f.start, out + done, take);
        done += take;
    }
    return done;
}

bool LitBook::ExtractPicture(const std::string& wanted, const std::string& outPath) {
    for (const auto& e : manifest_[3]) {
        if (e.path != wanted) continue;
        std::vector<uint8_t> bytes;
        if (container_.LitGetEntry("/data/" + e.id, &bytes, nullptr) != 0) return false;
        std::FILE* file = std::fopen(outPath.c_str(), "wb");
        if (!file) return false;
        bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        ok = std::fclose(file) == 0 && ok;
        if (!ok) std::remove(outPath.c_str());
        return ok;
    }
    return false;
}

void LitBook::Collect(const MarkupFn& markup, const PictureFn& picture) {
    std::vector<uint8_t> chunk(64 * 1024);
    for (uint64_t at = 0; at < length_;) {
        size_t n = ReadMarkup(at, chunk.data(), chunk.size());
        if (n == 0) break;
        if (!markup(std::string_view(reinterpret_cast<const char*>(chunk.data()), n))) return;
        at += n;
    }
    for (const auto& e : manifest_[3]) {
        std::vector<uint8_t> bytes;
        if (container_.LitGetEntry("/data/" + e.id, &bytes, nullptr) == 0)
            picture(e.path, std::move(bytes));
    }
}

bool LitBookReader::ReadMemory(void* user, uint32_t offset, uint32_t count,
                               std::vector<uint8_t>& out) {
    auto* self = static_cast<LitBookReader*>(user);
    if (uint64_t(offset) + count > self->memory_.size()) return false;
    out.assign(self->memory_.begin() + offset, self->memory_.begin() + offset + count);
    return true;
}

OpenResult LitBookReader::Open(CBookEngine& doc) {
    int rc;
    if (inMemory_) {
        if (memory_.size() > 0xffffffffu) return OpenResult::Rejected;
        rc = book_.Open(&ReadMemory, this, uint32_t(memory_.size()));
    } else {
        if (!file_.Open(doc.BookPath)) return OpenResult::CannotOpen;
        rc = book_.Open(&LitBookFile::Read, &file_, file_.Size());
    }
    if (rc != 0) return OpenResult::Rejected;
    doc.TextLength = book_.Length();
    doc.MarkupMode = true;  // LIT books are always read as markup
    doc.Wide = false;
    if (book_.Metadata().title) {
        std::string title = LitLabelToUtf8(*book_.Metadata().title);
        // The first 64 characters, never cutting one in two.
        size_t chars = 0, cut = 0;
        for (; cut < title.size(); ++cut) {
            if (!IsContinuation(uint8_t(title[cut])) && chars++ == 64) break;
        }
        doc.DocumentTitle = title.substr(0, cut);
    }
    // The rest of the package description, for the properties dialog.
    const LitMetadata& meta = book_.Metadata();
    for (auto [field, target] :
         {std::pair{&meta.author, &doc.BookAuthor}, std::pair{&meta.publisher, &doc.BookPublisher},
          std::pair{&meta.rights, &doc.BookRights}, std::pair{&meta.isbn, &doc.BookIdentifier}}) {
        if (*field) *target = LitLabelToUtf8(**field);
    }
    if (meta.language) doc.BookLanguage = LitLabelToUtf8(*meta.language);
    BuildLitContents(book_.Package(), doc.Contents, doc.CoverTarget);
    if (book_.PackageTooLarge() && doc.HostServices) {
        doc.HostServices->ShowMessage(
            "The book's description is too large to read.\r\nIt opens without its title, "
            "contents and cover.",
            "Pagewick", MessageButtons::Ok, MessageIcon::Information);
    }
    return OpenResult::Opened;
}

bool LitBookReader::ReadWindow(CBookEngine& doc, uint32_t position) {
    const size_t window = size_t(doc.WindowSize);
    doc.MarkupMode = true;
    doc.Wide = false;
    size_t a = book_.ReadMarkup(position, doc.WindowA.data(), window);
    std::fill(doc.WindowA.begin() + std::ptrdiff_t(a), doc.WindowA.end(), 0);
    // The next window and the extra character that follows it.
    size_t b = a == window ? book_.ReadMarkup(uint64_t(position) + window, doc.WindowB.data(),
                                              std::min(window + 1, doc.WindowB.size()))
                           : 0;
    std::fill(doc.WindowB.begin() + std::ptrdiff_t(b), doc.WindowB.end(), 0);
    // Nothing decoded: the position lies past the end, which is then where the book ends.
    if (a == 0 && position < doc.TextLength) doc.TextLength = position;
    if (!titleStored_) {
        doc.SetRegistry("LastBookTitle", doc.DocumentTitle);
        titleStored_ = true;
    }
    return true;
}

bool LitBookReader::ExtractMedia(const std::string& nameInBook, const std::string& path) {
    return book_.ExtractPicture(nameInBook, path);
}

int OpenLitBook(const std::string& path, LitBookFile& file, LitBook& book) {
    if (!file.Open(path)) return kLitReadFailed;
    return book.Open(&LitBookFile::Read, &file, file.Size());
}

}  // namespace pagewick
