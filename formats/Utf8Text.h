// UTF-8 books. A UTF-8 file is read as 16-bit characters, the way a UTF-16 book is, so layout,
// drawing and positions always work on whole characters. One pass at open decides whether the
// bytes are UTF-8, counts the characters and keeps a checkpoint every few kilobytes (character
// offset and byte offset), so that a window anywhere in the book is found with one short read.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "util/Utf8.h"

namespace pagewick {

// Reads up to n bytes at a byte position of the source; returns how many it read, -1 on error.
using ByteSource = std::function<int64_t(uint64_t position, uint8_t* out, size_t n)>;

class Utf8Index {
public:
    // A checkpoint at the first character boundary after every this many bytes.
    static constexpr uint32_t kCheckpointBytes = 4096;

    // The one pass over the book's first `length` bytes. False when the source could not be read.
    // With stopWhenNotUtf8 it ends at the first malformed sequence of a book without a UTF-8
    // mark (AllValid false, nothing else to be trusted): such a book is read as 8-bit text.
    bool Build(const ByteSource& read, uint32_t length, bool stopWhenNotUtf8 = false);

    // What the pass saw.
    bool HasByteOrderMark() const { return bom_; }
    bool AllValid() const { return valid_; }
    bool HasMultiByte() const { return multiByte_; }
    uint32_t CharCount() const { return chars_; }
    uint32_t ByteLength() const { return length_; }
    size_t MemoryBytes() const { return checkpoints_.capacity() * sizeof(Checkpoint); }

    // Fills out with up to count characters from a character offset; returns how many (fewer
    // at the end of the book), -1 when the source could not be read.
    // A call that begins at the last character of the call before skips nothing. Any of out's
    // count places may be written, also past the characters it gives.
    int64_t Decode(const ByteSource& read, uint32_t charOffset, char16_t* out, size_t count);

private:
    struct Checkpoint {
        uint32_t chars;
        uint32_t bytes;
    };
    std::vector<Checkpoint> checkpoints_;
    Checkpoint resume_{0, 0};     // the last character the last Decode gave
    std::vector<uint8_t> block_;  // the bytes of the last Decode, kept for the next
    uint32_t chars_ = 0;
    uint32_t length_ = 0;
    bool bom_ = false;
    bool valid_ = true;
    bool multiByte_ = false;
};

// Whether the start of an HTML file declares "charset=utf-8" (any case, spaces and a quote
// allowed after the "=").
bool DeclaresUtf8(const uint8_t* bytes, size_t n);

}  // namespace pagewick
