// A LIT book's file on disk, read through the container's callback.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace pagewick {

// The book file read through the container's callback: seek unless already there, read exactly
// the count, fail on a short read. The command line and the reader share it.
class LitBookFile {
public:
    // False when the file cannot be opened or is larger than 4 GB.
    bool Open(const std::string& path);
    uint32_t Size() const { return uint32_t(size_); }
    static bool Read(void* user, uint32_t offset, uint32_t count, std::vector<uint8_t>& out);

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    uint64_t position_ = 0;
    uint64_t size_ = 0;
};

}  // namespace pagewick
