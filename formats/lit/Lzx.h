// LZX decompression: the sliding-window Lempel-Ziv and Huffman method used for the compressed
// sections of LIT books. One decoder state is set up per section (LzxSetWindow), reset at every
// reset point of the section (LzxReset) and asked for a given number of output bytes at a time
// (LzxDecode).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pagewick {

// Result codes of LzxDecode.
enum LzxResult : int {
    kLzxOk = 0,                   // the requested output was produced
    kLzxWindowOverrun = 1,        // a block's run would pass the end of the window
    kLzxBadCodeLengths = 202,     // a set of code lengths does not form a valid prefix code
    kLzxBadCode = 302,            // a code word is not in its tree
    kLzxLengthsFailed = 402,      // reading code lengths failed
    kLzxBadBlockType = 502,       // invalid block type in a block header
    kLzxInputOverrun = 602,       // the input was overrun
    kLzxUncompressedShort = 702,  // an uncompressed block reaches past the input
    kLzxBadRunType = 802,         // invalid block type while producing output
    kLzxInputEnded = 902,         // the input ended before the requested output was produced
};

class LzxDecoder {
public:
    static constexpr int kMinWindowBits = 15;
    static constexpr int kMaxWindowBits = 21;
    static constexpr int kMaxSlots = 50;
    static constexpr int kMaxMainSymbols = 256 + 8 * kMaxSlots;  // 656
    static constexpr int kLengthSymbols = 250;
    static constexpr int kAlignedSymbols = 8;
    static constexpr int kPretreeSymbols = 20;

    LzxDecoder();

    // Prepares the decoder for a window of 2^bits bytes (15 to 21). The window buffer is kept
    // and reused (cleared) when a later window is no larger. Returns 0, or -1 for a bad size or
    // when the window cannot be allocated.
    int LzxSetWindow(int bits);

    // Starts a reset interval: no block, trees and repeated offsets cleared. The window
    // contents and position, the E8 position and the call counter are kept.
    void LzxReset();

    // Decodes exactly outLen bytes from the input into out; returns an LzxResult.
    // A call continues the bit stream of the previous call (unless LzxReset came between): the
    // caller passes the input from the byte LzxInputUsed() reported onwards. A match that runs
    // past the requested output is finished at the start of the next call.
    int LzxDecode(const uint8_t* in, size_t inLen, uint8_t* out, size_t outLen);

    // Bytes of the last call's input consumed (a partly read 16-bit word counts as consumed;
    // its unread bits are carried into the next call).
    size_t LzxInputUsed() const { return inputUsed_; }

    int SlotCount() const { return slots_; }
    int MainSymbolCount() const { return 256 + 8 * slots_; }

private:
    struct BitReader;
    template <int TableBits, int Symbols>
    struct Tree {
        uint8_t lengths[Symbols + 8] = {};
        // Direct entries for codes up to TableBits long, then pairs of overflow nodes.
        uint16_t table[(1 << TableBits) + 2 * Symbols] = {};
    };

    template <int TableBits, int Symbols>
    static int BuildTable(Tree<TableBits, Symbols>& tree, int symbols);
    template <int TableBits, int Symbols>
    static int DecodeSymbol(BitReader& br, const Tree<TableBits, Symbols>& tree);
    int ReadLengths(BitReader& br, uint8_t* lengths, int first, int last);
    int ReadBlockHeader(BitReader& br, size_t& rawPos);
    int DecodeCompressedRun(BitReader& br, uint32_t start, uint32_t end);
    void CopyMatch(uint32_t at, uint32_t offset, uint32_t length);
    void TranslateE8(uint8_t* out, size_t outLen) const;
    void ClearTrees();

    std::vector<uint8_t> window_;
    uint32_t windowSize_ = 0;
    uint64_t windowPos_ = 0;
    uint32_t r0_ = 1, r1_ = 1, r2_ = 1;
    int slots_ = 0;
    uint32_t positionBase_[kMaxSlots + 1] = {};
    uint8_t extraBits_[kMaxSlots + 1] = {};

    Tree<12, kMaxMainSymbols> main_;
    Tree<12, kLengthSymbols> length_;
    Tree<7, kAlignedSymbols> aligned_;
    Tree<6, kPretreeSymbols> pretree_;

    int blockType_ = 0;
    uint32_t blockLength_ = 0;
    uint32_t blockRemaining_ = 0;

    bool headerRead_ = false;
    uint32_t e8FileSize_ = 0;
    bool e8Started_ = false;
    uint32_t e8Pos_ = 0;
    uint32_t calls_ = 0;

    // A match cut short by the end of the requested output, finished by the next call.
    uint32_t pendingLength_ = 0;
    uint32_t pendingOffset_ = 0;
    // Unread bits of a partly consumed input word, carried into the next call.
    uint32_t carryBits_ = 0;
    uint32_t carryValue_ = 0;
    size_t inputUsed_ = 0;
};

}  // namespace pagewick
