#include "pawk/PawkFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <system_error>

namespace pagewick {

bool PawkDiskFile::Open(const std::filesystem::path& path) {
    Close();
    std::unique_ptr<std::FILE, Closer> f(std::fopen(path.string().c_str(), "rb"));
    if (!f) return false;
    if (std::fseek(f.get(), 0, SEEK_END) != 0) return false;
    long end = std::ftell(f.get());
    if (end < 0) return false;
    size_ = end;
    file_ = std::move(f);
    return true;
}

void PawkDiskFile::Close() {
    file_.reset();
    size_ = 0;
}

bool PawkDiskFile::ReadAt(int64_t offset, void* dst, size_t size) {
    if (!file_ || offset < 0 || offset > size_ || static_cast<int64_t>(size) > size_ - offset)
        return false;
    if (size == 0) return true;
    if (std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) != 0) return false;
    return std::fread(dst, 1, size, file_.get()) == size;
}

bool PawkMemoryFile::ReadAt(int64_t offset, void* dst, size_t size) {
    if (offset < 0 || static_cast<uint64_t>(offset) > size_ || size > size_ - offset) return false;
    if (size) std::memcpy(dst, data_ + offset, size);
    return true;
}

ReplacingFile::ReplacingFile(std::filesystem::path target) : target_(std::move(target)) {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::filesystem::path folder = target_.parent_path();
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
        std::string name = "." + target_.filename().string() + ".tmp" +
                           std::to_string((stamp + counter++) % 1000000007);
        temp_ = folder / name;
        // "x" refuses a name that is already there, so another writer's file is never reused.
        file_ = std::fopen(temp_.string().c_str(), "wbx");
        if (!file_ && errno != EEXIST) break;
    }
    if (!file_) temp_.clear();
}

ReplacingFile::~ReplacingFile() {
    Discard();
}

bool ReplacingFile::Write(const void* data, size_t size) {
    if (!file_ || failed_) return false;
    if (size && std::fwrite(data, 1, size, file_) != size) failed_ = true;
    return !failed_;
}

bool ReplacingFile::Commit() {
    if (!file_ || failed_) {
        Discard();
        return false;
    }
    bool ok = std::fflush(file_) == 0;
    ok = (std::fclose(file_) == 0) && ok;
    file_ = nullptr;
    if (ok) {
        std::error_code error;
        std::filesystem::rename(temp_, target_, error);
        ok = !error;
    }
    if (ok) {
        temp_.clear();
    } else {
        Discard();
    }
    return ok;
}

void ReplacingFile::Discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(temp_, ignored);
        temp_.clear();
    }
}

}  // namespace pagewick
