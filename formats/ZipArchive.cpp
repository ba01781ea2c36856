#include "formats/ZipArchive.h"

#include "formats/epub/ZipLibrary.h"

#include <algorithm>
#include <cstring>

namespace pagewick {

namespace {
constexpr size_t kRecentKeep = 64 * 1024;
}

bool ListZipMembers(const std::string& archive, std::vector<std::string>& names) {
    names.clear();
    if (!Zip()) return false;
    int error = 0;
    zip_t* z = Zip()->open(archive.c_str(), ZIP_RDONLY, &error);
    if (!z) return false;
    zip_int64_t count = Zip()->get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = Zip()->get_name(z, zip_uint64_t(i), ZIP_FL_ENC_RAW);
        if (name) names.emplace_back(name);
    }
    Zip()->discard(z);
    return true;
}

ZipMemberStream::~ZipMemberStream() {
    Close();
}

void ZipMemberStream::Close() {
    if (file_) Zip()->fclose(file_);
    if (archive_) Zip()->discard(archive_);
    file_ = nullptr;
    archive_ = nullptr;
    index_ = -1;
    size_ = 0;
    streamPos_ = 0;
    recent_.clear();
    recentStart_ = 0;
}

bool ZipMemberStream::Open(const std::string& archive, const std::string& member) {
    Close();
    if (!Zip()) return false;
    int error = 0;
    archive_ = Zip()->open(archive.c_str(), ZIP_RDONLY, &error);
    if (!archive_) return false;
    index_ = Zip()->name_locate(archive_, member.c_str(), ZIP_FL_ENC_RAW);
    zip_stat_t stat;
    if (index_ < 0 || Zip()->stat_index(archive_, zip_uint64_t(index_), 0, &stat) != 0 ||
        !(stat.valid & ZIP_STAT_SIZE)) {
        Close();
        return false;
    }
    size_ = stat.size;
    rewinds_ = -1;  // the first opening is no rewind
    return Rewind();
}

bool ZipMemberStream::Rewind() {
    if (file_) Zip()->fclose(file_);
    file_ = nullptr;
    streamPos_ = 0;
    ++rewinds_;
    if (!archive_) return false;
    file_ = Zip()->fopen_index(archive_, zip_uint64_t(index_), 0);
    return file_ != nullptr;
}

int64_t ZipMemberStream::ReadAt(uint64_t position, uint8_t* out, size_t length) {
    if (!archive_) return -1;
    if (position >= size_) return 0;
    length = size_t(std::min<uint64_t>(length, size_ - position));
    size_t done = 0;
    // Bytes that an earlier read already took from the stream.
    if (position >= recentStart_ && position < recentStart_ + recent_.size()) {
        size_t from = size_t(position - recentStart_);
        done = std::min(length, recent_.size() - from);
        std::memcpy(out, recent_.data() + from, done);
    }
    uint64_t want = position + done;
    if (done < length && (want < streamPos_ || !file_)) {
        if (!Rewind()) return -1;  // behind the stream: inflate the member from its start
    }
    uint8_t skip[16384];
    while (done < length && streamPos_ < want) {
        zip_int64_t n =
            Zip()->fread(file_, skip, std::min<uint64_t>(sizeof skip, want - streamPos_));
        if (n < 0) return -1;
        if (n == 0) return int64_t(done);
        streamPos_ += uint64_t(n);
    }
    while (done < length) {
        zip_int64_t n = Zip()->fread(file_, out + done, length - done);
        if (n < 0) return -1;
        if (n == 0) break;
        done += size_t(n);
        streamPos_ += uint64_t(n);
    }
    size_t keep = std::min(done, kRecentKeep);
    recent_.assign(out + done - keep, out + done);
    recentStart_ = position + done - keep;
    return int64_t(done);
}

}  // namespace pagewick
