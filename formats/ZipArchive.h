// ZIP archives through libzip: the member list, and one member read forward as a stream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct zip;
struct zip_file;

namespace pagewick {

// Names of the archive's members in archive order; false when it cannot be opened.
bool ListZipMembers(const std::string& archive, std::vector<std::string>& names);

// One member, read forward. Reading behind the bytes already read reopens the member.
class ZipMemberStream {
public:
    ZipMemberStream() = default;
    ~ZipMemberStream();
    ZipMemberStream(const ZipMemberStream&) = delete;
    ZipMemberStream& operator=(const ZipMemberStream&) = delete;

    // Opens the member; false when the archive or the member cannot be opened.
    bool Open(const std::string& archive, const std::string& member);
    void Close();
    uint64_t Size() const { return size_; }
    // Copies up to `length` bytes from byte `position` of the member into out and returns how
    // many it copied (fewer at the end of the member, -1 on a read error). Continues the open
    // stream when position lies at or after the bytes already read.
    int64_t ReadAt(uint64_t position, uint8_t* out, size_t length);
    // How often the member was inflated from its start (for tests and benchmarks).
    int Rewinds() const { return rewinds_; }

private:
    bool Rewind();
    zip* archive_ = nullptr;
    zip_file* file_ = nullptr;
    int64_t index_ = -1;
    uint64_t size_ = 0;
    uint64_t streamPos_ = 0;  // bytes taken from the stream so far
    // The tail of the last read, kept so that the next window may overlap it without a reopen.
    std::vector<uint8_t> recent_;
    uint64_t recentStart_ = 0;
    int rewinds_ = 0;
};

}  // namespace pagewick
