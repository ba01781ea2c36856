#include "pawk/PawkByteFetch.h"

namespace pagewick {

PawkByteFetch::PawkByteFetch(std::filesystem::path bookPath)
    : path_(std::move(bookPath)), data_(kPawkMaxChunk, 0) {}

bool PawkByteFetch::OpenBook() {
    opened_ = true;
    PawkDiskFile file(path_);
    if (!file.IsOpen() || !reader_.Open(file)) {
        unusable_ = true;
        return false;
    }
    if (onOpened) onOpened(reader_);
    return true;
}

int PawkByteFetch::ByteAt(int32_t position) {
    if (unusable_) return kNoByte;
    if (!opened_ && !OpenBook()) return kNoByte;
    auto inside = [this](int32_t p) {
        return p >= window_.start && int64_t(p) < int64_t(window_.start) + window_.length;
    };
    if (inside(position)) return windowValid_ ? data_[size_t(position - window_.start)] : kNoByte;

    PawkDiskFile file(path_);
    if (!file.IsOpen()) {
        unusable_ = true;
        if (onCannotReopen) onCannotReopen();
        return kNoByte;
    }
    windowValid_ = reader_.ReadWindow(file, position, data_, window_);
    ++windowReads_;
    if (windowValid_ && inside(position)) return data_[size_t(position - window_.start)];
    return kNoByte;
}

}  // namespace pagewick
