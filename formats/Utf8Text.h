// UTF-8 books. A UTF-8 file is read as 16-bit characters, the way a UTF-16 book is, so layout,
// drawing and positions always work on whole characters. One pass at open decides whether the
// bytes are UTF-8, counts the characters and keeps a checkpoint every few kilobytes (character
// offset and byte offset), so that a window anywhere in the book is found with one short read.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace pagewick {

constexpr char16_t kReplacementCharacter = 0xFFFD;

// Decodes the character at p (n bytes there, n > 0) into out and returns the bytes it takes.
// Returns 0 when the bytes end inside a sequence that may still be valid and more may follow
// (atEnd false). A malformed sequence gives one U+FFFD for its longest valid-looking start (at
// least one byte) and sets *malformed; a character beyond 16 bits gives one U+FFFD (it is valid).
size_t DecodeUtf8Character(const uint8_t* p, size_t n, bool atEnd, char16_t& out,
                           bool* malformed = nullptr);

// Reads up to n bytes at a byte position of the source; returns how many it read, -1 on error.
using ByteSource = std::function<int64_t(uint64_t position, uint8_t* out, size_t n)>;

class Utf8Index {
public:
    // A checkpoint at the first character boundary after every this many bytes.
    static constexpr uint32_t kCheckpointBytes = 4096;

    // The one pass over the book's first `length` bytes. False when the source could not be read.
    bool Build(const ByteSource& read, uint32_t length);

    // What the pass saw.
    bool HasByteOrderMark() const { return bom_; }
    bool AllValid() const { return valid_; }
    bool HasMultiByte() const { return multiByte_; }
    uint32_t CharCount() const { return chars_; }
    uint32_t ByteLength() const { return length_; }
    size_t MemoryBytes() const { return checkpoints_.capacity() * sizeof(Checkpoint); }

    // Fills out with up to count characters from a character offset; returns how many (fewer
    // at the end of the book), -1 when the source could not be read.
    int64_t Decode(const ByteSource& read, uint32_t charOffset, char16_t* out, size_t count) const;

private:
    struct Checkpoint {
        uint32_t chars;
        uint32_t bytes;
    };
    std::vector<Checkpoint> checkpoints_;
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
