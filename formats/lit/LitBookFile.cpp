#include "formats/lit/LitBookFile.h"

namespace pagewick {

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

}  // namespace pagewick
