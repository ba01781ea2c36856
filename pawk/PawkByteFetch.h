// The byte fetch of an open PAWK book as the engine's document uses it: opens the book on the
// first fetch, keeps the last chunk read as the window, and reopens the book file for every
// window read. Returns kNoByte where there is no byte.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "pawk/PawkReader.h"

namespace pagewick {

class PawkByteFetch {
public:
    static constexpr int kNoByte = -1;  // a byte of 255 is a character like any other

    explicit PawkByteFetch(std::filesystem::path bookPath);

    // Called once, after the first fetch opened the book: the document takes its length, window
    // size, title and contents from the reader here.
    std::function<void(const PawkReader&)> onOpened;
    // Called when the book file cannot be opened again for a window read; the document shows
    // "Cannot open ebook file." and the book becomes unusable, so it is said only once.
    std::function<void()> onCannotReopen;

    int ByteAt(int32_t position);

    // The book failed to open, or its file went away: every fetch is kNoByte.
    bool Unusable() const { return unusable_; }
    bool Opened() const { return opened_; }
    const PawkReader& Reader() const { return reader_; }
    PawkReader& Reader() { return reader_; }
    const std::filesystem::path& Path() const { return path_; }
    // The document's read window size for the book: half a chunk.
    int32_t WindowSize() const { return reader_.ChunkSize() / 2; }
    // Window reads so far (a chunk decoded or found damaged).
    int64_t WindowReads() const { return windowReads_; }

private:
    bool OpenBook();

    std::filesystem::path path_;
    PawkReader reader_;
    std::vector<uint8_t> data_;  // the document's data buffer: the largest chunk of any version
    PawkReader::Window window_;
    bool windowValid_ = false;  // false: the window's positions belong to a damaged chunk
    bool opened_ = false;
    bool unusable_ = false;
    int64_t windowReads_ = 0;
};

}  // namespace pagewick
