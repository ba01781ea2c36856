#include "formats/lit/LitMarkup.h"

#include <algorithm>
#include <cstring>

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

}  // namespace

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
            // While the cache has room the markup is kept, so that reading the book from its
            // start decodes nothing a second time.
            const size_t room =
                std::min(limits_.cachedFile,
                         limits_.cacheBytes - std::min(limits_.cacheBytes, cachedBytes_));
            std::string text;
            bool keep = room > 0;
            ProduceFile(f.id, f.path, [&](const char* piece, size_t n) -> long {
                length += n;
                if (length >= budget) {
                    stopped = true;
                    return -1;
                }
                if (keep && length > room) {
                    keep = false;
                    std::string().swap(text);
                }
                // The compiled file is in entryBytes_ by the first piece; its markup is about a
                // quarter longer, so room for half as much again spares growing the text piece
                // by piece.
                if (keep && text.empty())
                    text.reserve(std::min(room, frame + entryBytes_.size() * 3 / 2));
                if (keep) text.append(piece, n);
                return long(n);
            });
            if (!stopped)
                bodies.emplace(f.id, length ? std::optional(length - frame) : std::nullopt);
            if (!stopped && keep && length > 0) {
                cachedBytes_ += text.size();
                cache_.emplace_front(size_t(&f - files_.data()), std::move(text));
                cacheIndex_[size_t(&f - files_.data())] = cache_.begin();
            }
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

}  // namespace pagewick
