#include "formats/epub/EpubArchive.h"

#include <fcntl.h>
#include <unistd.h>
#include "formats/epub/ZipLibrary.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "formats/epub/EpubPath.h"
#include "util/AsciiCase.h"
#include "util/LittleEndian.h"

namespace pagewick {

namespace {

constexpr size_t kPiece = 64 * 1024;
constexpr size_t kAmbiguous = SIZE_MAX;

// Fields of the headers, each inside a record whose length was checked.
uint16_t Le16(const uint8_t* p) {
    return pagewick::Le16(std::span<const uint8_t>(p, 2));
}
uint32_t Le32(const uint8_t* p) {
    return pagewick::Le32(std::span<const uint8_t>(p, 4));
}
void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
    PutLe16(out, v & 0xffff);
    PutLe16(out, v >> 16);
}

constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr uint32_t kCentralHeader = 0x02014b50;
constexpr uint32_t kEndOfDirectory = 0x06054b50;
constexpr uint32_t kDataDescriptor = 0x08074b50;

// What the library's error says about the archive as a whole.
EpubResult OpenError(int zipError) {
    switch (zipError) {
        case ZIP_ER_NOENT:
        case ZIP_ER_OPEN:
        case ZIP_ER_READ:
        case ZIP_ER_SEEK:
        case ZIP_ER_TELL:
            return EpubResult::kReadFailed;
        case ZIP_ER_MEMORY:
            return EpubResult::kNoMemory;
        default:
            return EpubResult::kDamaged;
    }
}

// What the library's error says about one member.
EpubResult MemberError(int zipError) {
    switch (zipError) {
        case ZIP_ER_CRC:
            return EpubResult::kBadChecksum;
        case ZIP_ER_NOPASSWD:
        case ZIP_ER_WRONGPASSWD:
        case ZIP_ER_ENCRNOTSUPP:
            return EpubResult::kProtected;
        case ZIP_ER_MEMORY:
            return EpubResult::kNoMemory;
        case ZIP_ER_READ:
        case ZIP_ER_SEEK:
            return EpubResult::kReadFailed;
        default:
            return EpubResult::kDamaged;
    }
}

uint64_t SaturatingProduct(uint64_t a, uint64_t b) {
    if (a != 0 && b > UINT64_MAX / a) return UINT64_MAX;
    return a * b;
}

// A member found from its local header while rebuilding a lost central directory.
struct LocalEntry {
    uint32_t headerOffset, crc, storedSize, size;
    uint16_t versionNeeded, flags, method, time, date;
    std::string name;
};

// Where the data of a member written with a data descriptor ends (its sizes follow the data,
// so the local header has none): the first descriptor after the data whose stored size is the
// distance from the data's start. Either a signed descriptor, or an unsigned one just before
// the next header. False when none is found.
bool FindDescriptor(const std::vector<uint8_t>& bytes, size_t dataStart, LocalEntry& entry,
                    size_t& next) {
    for (size_t at = dataStart; at + 4 <= bytes.size(); ++at) {
        if (bytes[at] != 'P' || bytes[at + 1] != 'K') continue;
        uint32_t sig = Le32(&bytes[at]);
        if (sig == kDataDescriptor && at + 16 <= bytes.size() &&
            Le32(&bytes[at + 8]) == at - dataStart) {
            entry.crc = Le32(&bytes[at + 4]);
            entry.storedSize = uint32_t(at - dataStart);
            entry.size = Le32(&bytes[at + 12]);
            next = at + 16;
            return true;
        }
        if ((sig == kLocalHeader || sig == kCentralHeader) && at >= dataStart + 12 &&
            Le32(&bytes[at - 8]) == at - 12 - dataStart) {
            entry.crc = Le32(&bytes[at - 12]);
            entry.storedSize = uint32_t(at - 12 - dataStart);
            entry.size = Le32(&bytes[at - 4]);
            next = at;
            return true;
        }
    }
    return false;
}

}  // namespace

EpubArchive::EpubArchive(const EpubLimits& limits) : limits_(limits) {}

EpubArchive::~EpubArchive() {
    Close();
}

void EpubArchive::Close() {
    if (zip_) Zip()->discard(zip_);
    zip_ = nullptr;
    memory_.clear();
    memory_.shrink_to_fit();
    recovered_ = false;
    members_.clear();
    byName_.clear();
    byFoldedName_.clear();
    inflations_ = 0;
}

EpubResult EpubArchive::OpenFile(const std::string& path) {
    Close();
    if (!Zip()) return EpubResult::kReadFailed;
    try {
        int error = 0;
        zip_ = Zip()->open(path.c_str(), ZIP_RDONLY, &error);
        if (zip_) return ReadDirectory();
        EpubResult result = OpenError(error);
        if (result != EpubResult::kDamaged) return result;
        // A book cut short or without its directory: what its local headers still describe.
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) return EpubResult::kReadFailed;
        std::vector<uint8_t> bytes;
        bool ok = std::fseek(file, 0, SEEK_END) == 0;
        long size = ok ? std::ftell(file) : -1;
        ok = ok && size >= 0 && uint64_t(size) <= limits_.memberBytes &&
             std::fseek(file, 0, SEEK_SET) == 0;
        if (ok) {
            bytes.resize(size_t(size));
            ok = bytes.empty() || std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
        }
        std::fclose(file);
        if (!ok) return EpubResult::kDamaged;
        return RecoverFromLocalHeaders(std::move(bytes));
    } catch (const std::bad_alloc&) {
        Close();
        return EpubResult::kNoMemory;
    }
}

EpubResult EpubArchive::OpenMemory(std::vector<uint8_t> bytes) {
    Close();
    try {
        memory_ = std::move(bytes);
        int error = 0;
        EpubResult result = OpenBuffer(error);
        if (result == EpubResult::kOk) return ReadDirectory();
        if (result != EpubResult::kDamaged) return result;
        std::vector<uint8_t> kept = std::move(memory_);
        Close();
        return RecoverFromLocalHeaders(std::move(kept));
    } catch (const std::bad_alloc&) {
        Close();
        return EpubResult::kNoMemory;
    }
}

// Opens the archive over memory_, which stays ours: the library only reads it.
EpubResult EpubArchive::OpenBuffer(int& zipError) {
    if (!Zip()) return EpubResult::kReadFailed;
    zip_error_t error;
    Zip()->error_init(&error);
    zip_source_t* source = Zip()->source_buffer_create(memory_.data(), memory_.size(), 0, &error);
    if (!source) {
        zipError = Zip()->error_code_zip(&error);
        Zip()->error_fini(&error);
        return EpubResult::kNoMemory;
    }
    zip_ = Zip()->open_from_source(source, ZIP_RDONLY, &error);
    zipError = Zip()->error_code_zip(&error);
    Zip()->error_fini(&error);
    if (!zip_) {
        Zip()->source_free(source);
        return OpenError(zipError);
    }
    return EpubResult::kOk;
}

// Walks the local headers from the start of the file, as far as they run whole, and gives the
// archive a central directory made from them, so that the library reads those members as it
// reads any others (CRC checks and limits alike). Members cut short are left out.
EpubResult EpubArchive::RecoverFromLocalHeaders(std::vector<uint8_t> bytes) {
    Close();
    std::vector<LocalEntry> entries;
    size_t at = 0, end = 0;
    while (at + 30 <= bytes.size() && Le32(&bytes[at]) == kLocalHeader && entries.size() < 65535) {
        const uint8_t* h = &bytes[at];
        LocalEntry e;
        e.headerOffset = uint32_t(at);
        e.versionNeeded = Le16(h + 4);
        e.flags = Le16(h + 6);
        e.method = Le16(h + 8);
        e.time = Le16(h + 10);
        e.date = Le16(h + 12);
        e.crc = Le32(h + 14);
        e.storedSize = Le32(h + 18);
        e.size = Le32(h + 22);
        size_t nameLength = Le16(h + 26), extraLength = Le16(h + 28);
        size_t dataStart = at + 30 + nameLength + extraLength;
        if (dataStart > bytes.size() || at > UINT32_MAX) break;
        e.name.assign(reinterpret_cast<const char*>(h + 30), nameLength);
        size_t next;
        if (e.flags & 8) {
            if (!FindDescriptor(bytes, dataStart, e, next)) break;
        } else {
            if (e.storedSize == UINT32_MAX || e.size == UINT32_MAX) break;  // 64-bit sizes
            if (e.storedSize > bytes.size() - dataStart) break;             // cut short
            next = dataStart + e.storedSize;
        }
        entries.push_back(std::move(e));
        end = next;
        at = next;
    }
    if (entries.empty()) return EpubResult::kDamaged;

    bytes.resize(end);
    const size_t directoryStart = bytes.size();
    if (directoryStart > UINT32_MAX) return EpubResult::kDamaged;
    for (const LocalEntry& e : entries) {
        PutLe32(bytes, kCentralHeader);
        PutLe16(bytes, 20);  // made by: version 2.0
        PutLe16(bytes, e.versionNeeded);
        PutLe16(bytes, e.flags);
        PutLe16(bytes, e.method);
        PutLe16(bytes, e.time);
        PutLe16(bytes, e.date);
        PutLe32(bytes, e.crc);
        PutLe32(bytes, e.storedSize);
        PutLe32(bytes, e.size);
        PutLe16(bytes, uint32_t(e.name.size()));
        PutLe16(bytes, 0);  // extra field
        PutLe16(bytes, 0);  // comment
        PutLe16(bytes, 0);  // disk
        PutLe16(bytes, 0);  // internal attributes
        PutLe32(bytes, 0);  // external attributes
        PutLe32(bytes, e.headerOffset);
        bytes.insert(bytes.end(), e.name.begin(), e.name.end());
    }
    const size_t directorySize = bytes.size() - directoryStart;
    PutLe32(bytes, kEndOfDirectory);
    PutLe16(bytes, 0);
    PutLe16(bytes, 0);
    PutLe16(bytes, uint32_t(entries.size()));
    PutLe16(bytes, uint32_t(entries.size()));
    PutLe32(bytes, uint32_t(directorySize));
    PutLe32(bytes, uint32_t(directoryStart));
    PutLe16(bytes, 0);

    memory_ = std::move(bytes);
    int error = 0;
    EpubResult result = OpenBuffer(error);
    if (result != EpubResult::kOk) {
        Close();
        return result == EpubResult::kNoMemory ? result : EpubResult::kDamaged;
    }
    recovered_ = true;
    return ReadDirectory();
}

EpubResult EpubArchive::ReadDirectory() {
    zip_int64_t count = Zip()->get_num_entries(zip_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        Zip()->stat_init(&stat);
        if (Zip()->stat_index(zip_, zip_uint64_t(i), 0, &stat) != 0 ||
            !(stat.valid & ZIP_STAT_NAME))
            continue;
        std::string_view raw(stat.name);
        if (raw.empty() || raw.back() == '/') continue;  // a folder
        EpubMember member;
        // A member whose name would leave the container can never be reached by a path.
        if (!NormalizeContainerPath(raw, member.name)) continue;
        if (byName_.count(member.name)) continue;
        member.index = zip_uint64_t(i);
        member.size = (stat.valid & ZIP_STAT_SIZE) ? stat.size : 0;
        member.storedSize = (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0;
        member.encrypted =
            (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE;
        const size_t at = members_.size();
        byName_.emplace(member.name, at);
        auto [folded, added] = byFoldedName_.emplace(LowerAscii(member.name), at);
        if (!added) folded->second = kAmbiguous;
        members_.push_back(std::move(member));
    }
    return EpubResult::kOk;
}

const EpubMember* EpubArchive::Find(std::string_view path) const {
    if (auto exact = byName_.find(std::string(path)); exact != byName_.end())
        return &members_[exact->second];
    auto folded = byFoldedName_.find(LowerAscii(path));
    if (folded == byFoldedName_.end() || folded->second == kAmbiguous) return nullptr;
    return &members_[folded->second];
}

EpubResult EpubArchive::Stream(const EpubMember& member, uint64_t maxBytes, const Sink& sink) {
    if (!zip_) return EpubResult::kReadFailed;
    if (member.encrypted) return EpubResult::kProtected;
    const uint64_t limit = std::min(
        {maxBytes, limits_.memberBytes, SaturatingProduct(member.storedSize, limits_.memberRatio)});
    // The directory's claim can refuse at once; only inflating can prove it true.
    if (member.size > limit) return EpubResult::kTooLarge;
    try {
        zip_file_t* file = Zip()->fopen_index(zip_, member.index, 0);
        if (!file) return MemberError(Zip()->error_code_zip(Zip()->get_error(zip_)));
        ++inflations_;
        buffer_.resize(kPiece);
        uint64_t total = 0;
        EpubResult result = EpubResult::kOk;
        bool stopped = false;
        for (;;) {
            zip_int64_t n = Zip()->fread(file, buffer_.data(), buffer_.size());
            if (n < 0) {
                result = MemberError(Zip()->error_code_zip(Zip()->file_get_error(file)));
                break;
            }
            if (n == 0) break;
            total += uint64_t(n);
            if (total > limit) {
                result = EpubResult::kTooLarge;
                break;
            }
            if (!sink(buffer_.data(), size_t(n))) {
                stopped = true;
                break;
            }
        }
        Zip()->fclose(file);
        if (result == EpubResult::kOk && !stopped && total != member.size)
            result = EpubResult::kBadChecksum;  // fewer bytes than the directory says
        return result;
    } catch (const std::bad_alloc&) {
        return EpubResult::kNoMemory;
    }
}

EpubResult EpubArchive::Read(const EpubMember& member, std::string& out, uint64_t maxBytes) {
    out.clear();
    try {
        if (member.size <= maxBytes && member.size <= limits_.memberBytes)
            out.reserve(size_t(member.size));
        EpubResult result = Stream(member, maxBytes, [&out](const char* data, size_t size) {
            out.append(data, size);
            return true;
        });
        if (result != EpubResult::kOk) {
            out.clear();
            out.shrink_to_fit();
        }
        return result;
    } catch (const std::bad_alloc&) {
        out.clear();
        out.shrink_to_fit();
        return EpubResult::kNoMemory;
    }
}

EpubResult EpubArchive::Read(std::string_view path, std::string& out) {
    out.clear();
    std::string name;
    if (!NormalizeContainerPath(path, name)) return EpubResult::kUnsafePath;
    const EpubMember* member = Find(name);
    if (!member) return EpubResult::kNotFound;
    return Read(*member, out, limits_.memberBytes);
}

EpubResult EpubArchive::Extract(std::string_view path, const std::string& outFile) {
    std::string name;
    if (!NormalizeContainerPath(path, name)) return EpubResult::kUnsafePath;
    const EpubMember* member = Find(name);
    if (!member) return EpubResult::kNotFound;
    int flags = O_WRONLY | O_CREAT | O_TRUNC;
#ifdef O_NOFOLLOW
    flags |= O_NOFOLLOW;
#endif
#ifdef O_CLOEXEC
    flags |= O_CLOEXEC;
#endif
    int fd = ::open(outFile.c_str(), flags, 0600);
    if (fd < 0) return EpubResult::kWriteFailed;
    bool written = true;
    EpubResult result =
        Stream(*member, limits_.memberBytes, [fd, &written](const char* data, size_t size) {
            while (size > 0) {
                ssize_t n = ::write(fd, data, size);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    written = false;
                    return false;
                }
                data += n;
                size -= size_t(n);
            }
            return true;
        });
    if (::close(fd) != 0) written = false;
    if (result == EpubResult::kOk && !written) result = EpubResult::kWriteFailed;
    if (result != EpubResult::kOk) std::remove(outFile.c_str());
    return result;
}

}  // namespace pagewick
