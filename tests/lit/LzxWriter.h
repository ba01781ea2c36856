// A small LZX bit-stream writer for tests: emits verbatim, aligned-offset and uncompressed
// blocks from given literals and matches, with the trees' code lengths chosen from the symbols
// used (or given outright, to build damaged streams). It mirrors the decoder's state (repeated
// offsets, previous code lengths, frame padding) and keeps the bytes the stream decodes to.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace pagewick::test {

struct LzxToken {
    bool literal = true;
    uint8_t byte = 0;
    uint32_t length = 0;  // match length, 2 to 257
    uint32_t offset = 0;  // match distance back from the current byte
    static LzxToken Lit(uint8_t b) { return {true, b, 0, 0}; }
    static LzxToken Match(uint32_t length, uint32_t offset) { return {false, 0, length, offset}; }
};

// Literal tokens for a byte string.
std::vector<LzxToken> Literals(const std::vector<uint8_t>& bytes);

class BitWriter {
public:
    void Put(uint32_t value, int bits);
    // Zero bits up to the next 16-bit boundary; returns how many were written.
    int PadToWord();
    bool Aligned() const { return used_ == 0; }
    // Flushes whole words (must be aligned) and appends raw bytes after them.
    void RawBytes(const uint8_t* p, size_t n);
    // Finishes the last word and returns the stream.
    std::vector<uint8_t> Finish();
    size_t ByteSize() const { return out_.size() + (used_ ? 2 : 0); }

private:
    std::vector<uint8_t> out_;
    uint32_t word_ = 0;
    int used_ = 0;
};

// Code lengths forming a complete prefix code over the used symbols. The first `chain` used
// symbols get lengths 1, 2, ..., chain (long codes exercise the decoder's overflow nodes); the
// rest share the remaining code space evenly.
std::vector<uint8_t> CompleteLengths(const std::vector<int>& used, int symbols, int chain = 0);

struct BlockOptions {
    std::optional<std::vector<uint8_t>> mainLengths;    // instead of lengths from the symbols
    std::optional<std::vector<uint8_t>> lengthLengths;  // instead of lengths from the symbols
    int mainChain = 0;                                  // see CompleteLengths
    std::optional<uint32_t> declaredLength;             // instead of the tokens' output size
};

class LzxWriter {
public:
    // A writer for a window of 2^windowBits bytes, the decoder's window position starting at
    // startPosition. The stream starts with the reset interval's header (E8 translation off
    // unless e8FileSize is given).
    explicit LzxWriter(int windowBits, uint64_t startPosition = 0, uint32_t e8FileSize = 0);

    void Verbatim(const std::vector<LzxToken>& tokens, const BlockOptions& options = {});
    void Aligned(const std::vector<LzxToken>& tokens, const BlockOptions& options = {});
    void Uncompressed(const std::vector<uint8_t>& bytes);
    // A block header with any type value (for damaged streams).
    void BlockHeader(int type, uint32_t length);
    // Starts a new reset interval: trees and repeated offsets cleared, header written again.
    void Reset(uint32_t e8FileSize = 0);

    std::vector<uint8_t> Finish() { return bits_.Finish(); }
    BitWriter& Bits() { return bits_; }
    // What the stream decodes to (before E8 translation).
    const std::vector<uint8_t>& Expected() const { return expected_; }
    // Whether an uncompressed block header ended on a word boundary (16 padding bits).
    bool SawFullWordPadding() const { return fullWordPadding_; }
    size_t ByteSize() const { return bits_.ByteSize(); }

private:
    void StartBlock(int type, uint32_t length);
    void CompressedBlock(bool aligned, const std::vector<LzxToken>& tokens,
                         const BlockOptions& options);
    void WriteLengths(std::vector<uint8_t>& previous, const std::vector<uint8_t>& lengths,
                      int first, int last);
    void Advance(uint32_t bytes, bool compressed);

    BitWriter bits_;
    int windowBits_;
    int slots_;
    uint64_t position_;
    bool headerPending_ = true;
    uint32_t e8FileSize_;
    uint32_t r0_ = 1, r1_ = 1, r2_ = 1;
    std::vector<uint8_t> previousMain_, previousLength_;
    std::vector<uint8_t> expected_;
    bool fullWordPadding_ = false;
    uint32_t positionBase_[51];
    int extraBits_[51];
};

}  // namespace pagewick::test
