#include "pawk/PawkFile.h"

#include <cstring>

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

}  // namespace pagewick
