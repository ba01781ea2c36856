// The book file object the PAWK reader reads in. The engine owns it and opens it around each use;
// the reader only reads at offsets. A file held in memory serves tests and the fuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace pagewick {

class PawkFile {
public:
    virtual ~PawkFile() = default;
    // Bytes in the file, or -1 when it is not open.
    virtual int64_t Size() const = 0;
    // Reads exactly size bytes at offset; false when they are not all there.
    virtual bool ReadAt(int64_t offset, void* dst, size_t size) = 0;
};

class PawkDiskFile : public PawkFile {
public:
    PawkDiskFile() = default;
    explicit PawkDiskFile(const std::filesystem::path& path) { Open(path); }
    bool Open(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    int64_t Size() const override { return file_ ? size_ : -1; }
    bool ReadAt(int64_t offset, void* dst, size_t size) override;

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    int64_t size_ = 0;
};

class PawkMemoryFile : public PawkFile {
public:
    PawkMemoryFile(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit PawkMemoryFile(const std::vector<uint8_t>& bytes)
        : data_(bytes.data()), size_(bytes.size()) {}
    int64_t Size() const override { return static_cast<int64_t>(size_); }
    bool ReadAt(int64_t offset, void* dst, size_t size) override;

private:
    const uint8_t* data_;
    size_t size_;
};

}  // namespace pagewick
