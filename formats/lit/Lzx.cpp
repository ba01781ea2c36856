#include "formats/lit/Lzx.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <span>

#include "util/LittleEndian.h"

namespace pagewick {

namespace {

constexpr uint32_t kFrameSize = 32768;
constexpr uint16_t kNoEntry = 0xFFFF;
constexpr uint16_t kNodeFlag = 0x8000;

}  // namespace

// Input as 16-bit little-endian words fed most-significant bit first. Reads past the end of the
// input yield zero words, so the decoder can peek freely; whether real input was overrun is
// decided from the bit position afterwards. The words run from `base`: the first input byte, or
// the byte after an uncompressed block (and its pad byte), which may sit at an odd offset when
// the call began inside that block. Bit positions are relative to `base`; bits carried over from
// the previous call sit at negative positions.
struct LzxDecoder::BitReader {
    std::span<const uint8_t> in;
    size_t base = 0;   // first byte of the current run of words
    size_t pos = 0;    // next byte to load
    uint64_t buf = 0;  // unread bits, left-aligned
    int bits = 0;      // number of unread bits in buf

    void Refill() {
        while (bits <= 48) {
            buf |= uint64_t(Le16(in, pos)) << (48 - bits);
            pos += 2;
            bits += 16;
        }
    }
    uint32_t Peek(int n) const { return uint32_t(buf >> (64 - n)); }
    void Consume(int n) {
        buf <<= n;
        bits -= n;
    }
    uint32_t Read(int n) {
        if (n == 0) return 0;
        Refill();
        uint32_t v = Peek(n);
        Consume(n);
        return v;
    }
    int64_t Position() const { return (int64_t(pos) - int64_t(base)) * 8 - bits; }
    // Bits of input that really exist (a trailing odd byte counts as a whole word).
    int64_t Available() const {
        return base >= in.size() ? 0 : int64_t((in.size() - base + 1) / 2) * 16;
    }
    bool Overrun() const { return Position() > Available(); }
    // Skips to the next 16-bit word boundary.
    void Align() { Consume(bits & 15); }
    // Input bytes up to the end of the word holding the read position.
    size_t WordEnd() const {
        const int64_t p = Position();
        return p <= 0 ? base : base + size_t((p + 15) / 16) * 2;
    }
    void Restart(size_t bytePos) {
        base = pos = bytePos;
        buf = 0;
        bits = 0;
    }
};

LzxDecoder::LzxDecoder() {
    // Extra bits 0, 0, 0, 0, 1, 1, 2, 2, ... rising by one every two slots up to 17; the base is
    // the running sum of 2^extra.
    uint32_t base = 0;
    for (int slot = 0; slot <= kMaxSlots; ++slot) {
        int extra = slot < 4 ? 0 : std::min((slot - 2) / 2, 17);
        extraBits_[slot] = uint8_t(extra);
        positionBase_[slot] = base;
        base += 1u << extra;
    }
}

void LzxDecoder::ClearTrees() {
    std::memset(main_.lengths, 0, sizeof(main_.lengths));
    std::memset(length_.lengths, 0, sizeof(length_.lengths));
}

int LzxDecoder::LzxSetWindow(int bits) {
    if (bits < kMinWindowBits || bits > kMaxWindowBits) return -1;
    size_t size = size_t(1) << bits;
    if (window_.size() < size) {
        try {
            window_.assign(size, 0);
        } catch (const std::bad_alloc&) {
            window_.clear();
            return -1;
        }
    } else {
        // A match reaching before the start of a damaged stream reads zeros, never what an
        // earlier section (perhaps of another book) left in the window.
        std::memset(window_.data(), 0, size);
    }
    windowSize_ = uint32_t(size);
    slots_ = bits == 20 ? 42 : bits == 21 ? 50 : 2 * bits;
    windowPos_ = 0;
    e8Started_ = false;
    e8FileSize_ = 0;
    e8Pos_ = 0;
    calls_ = 0;
    LzxReset();
    return 0;
}

void LzxDecoder::LzxReset() {
    blockType_ = 0;
    blockLength_ = 0;
    blockRemaining_ = 0;
    headerRead_ = false;
    ClearTrees();
    r0_ = r1_ = r2_ = 1;
    pendingLength_ = 0;
    carryBits_ = 0;
    carryValue_ = 0;
}

// Canonical Huffman table: codes in order of length, then of symbol. Codes up to TableBits long
// fill the direct part; longer ones hang off overflow node pairs. Only complete codes (or an
// empty one, all lengths 0) are accepted.
template <int TableBits, int Symbols>
int LzxDecoder::BuildTable(Tree<TableBits, Symbols>& tree, int symbols) {
    uint32_t count[17] = {};
    for (int s = 0; s < symbols; ++s)
        count[tree.lengths[s]]++;
    uint32_t space = 0;
    for (int len = 1; len <= 16; ++len)
        space += count[len] << (16 - len);
    constexpr size_t kDirect = size_t(1) << TableBits;
    std::fill(std::begin(tree.table), std::end(tree.table), kNoEntry);
    if (space == 0) return kLzxOk;  // empty tree: any lookup fails
    if (space != (1u << 16)) return kLzxBadCodeLengths;

    uint32_t next[17] = {};
    uint32_t code = 0;
    for (int len = 1; len <= 16; ++len) {
        next[len] = code;
        code = (code + count[len]) << 1;
    }
    uint16_t nodes = 0;
    for (int s = 0; s < symbols; ++s) {
        int len = tree.lengths[s];
        if (len == 0) continue;
        uint32_t c = next[len]++;
        if (len <= TableBits) {
            uint32_t first = c << (TableBits - len);
            std::fill_n(tree.table + first, size_t(1) << (TableBits - len), uint16_t(s));
            continue;
        }
        uint16_t* entry = &tree.table[c >> (len - TableBits)];
        for (int bit = len - TableBits - 1; bit >= 0; --bit) {
            if (*entry == kNoEntry) {
                // A complete code never needs more node pairs than it has symbols.
                if (nodes >= Symbols) return kLzxBadCodeLengths;
                *entry = uint16_t(kNodeFlag | nodes);
                ++nodes;
            } else if (!(*entry & kNodeFlag)) {
                return kLzxBadCodeLengths;
            }
            entry = &tree.table[kDirect + 2 * (*entry & ~kNodeFlag) + ((c >> bit) & 1)];
        }
        *entry = uint16_t(s);
    }
    return kLzxOk;
}

template <int TableBits, int Symbols>
inline int LzxDecoder::DecodeSymbol(BitReader& br, const Tree<TableBits, Symbols>& tree) {
    br.Refill();
    uint32_t peek = br.Peek(16);
    uint16_t v = tree.table[peek >> (16 - TableBits)];
    if (v & kNodeFlag) {
        int bit = TableBits;
        do {
            if (v == kNoEntry || bit >= 16) return -1;
            v = tree.table[(1 << TableBits) + 2 * (v & ~kNodeFlag) + ((peek >> (15 - bit)) & 1)];
            ++bit;
        } while (v & kNodeFlag);
    }
    br.Consume(tree.lengths[v]);
    return v;
}

// Code lengths of symbols first..last-1, each coded through a fresh pretree as the difference
// from the length the symbol had in the previous block.
int LzxDecoder::ReadLengths(BitReader& br, uint8_t* lengths, int first, int last) {
    for (int i = 0; i < kPretreeSymbols; ++i)
        pretree_.lengths[i] = uint8_t(br.Read(4));
    int rc = BuildTable(pretree_, kPretreeSymbols);
    if (rc != kLzxOk) return rc;
    int i = first;
    while (i < last) {
        int p = DecodeSymbol(br, pretree_);
        if (p < 0) return kLzxLengthsFailed;
        if (p == 17 || p == 18) {
            int run = p == 17 ? 4 + int(br.Read(4)) : 20 + int(br.Read(5));
            if (run > last - i) return kLzxLengthsFailed;
            std::memset(lengths + i, 0, size_t(run));
            i += run;
        } else if (p == 19) {
            int run = 4 + int(br.Read(1));
            int q = DecodeSymbol(br, pretree_);
            if (q < 0 || q > 16 || run > last - i) return kLzxLengthsFailed;
            // The whole run takes the value derived from its first symbol's old length.
            std::memset(lengths + i, (lengths[i] + 17 - q) % 17, size_t(run));
            i += run;
        } else {
            lengths[i] = uint8_t((lengths[i] + 17 - p) % 17);
            ++i;
        }
    }
    return kLzxOk;
}

int LzxDecoder::ReadBlockHeader(BitReader& br, size_t& rawPos) {
    if (!headerRead_) {
        if (br.Read(1)) {
            uint32_t high = br.Read(16);
            e8FileSize_ = (high << 16) | br.Read(16);
        } else {
            e8FileSize_ = 0;
        }
        headerRead_ = true;
    }
    blockType_ = int(br.Read(3));
    uint32_t high = br.Read(16);
    blockLength_ = (high << 8) | br.Read(8);
    blockRemaining_ = blockLength_;
    int rc;
    switch (blockType_) {
        case 2:
            for (int i = 0; i < kAlignedSymbols; ++i)
                aligned_.lengths[i] = uint8_t(br.Read(3));
            rc = BuildTable(aligned_, kAlignedSymbols);
            if (rc != kLzxOk) return rc;
            [[fallthrough]];
        case 1: {
            int symbols = MainSymbolCount();
            rc = ReadLengths(br, main_.lengths, 0, 256);
            if (rc == kLzxOk) rc = ReadLengths(br, main_.lengths, 256, symbols);
            if (rc != kLzxOk) return rc;
            rc = BuildTable(main_, symbols);
            if (rc != kLzxOk) return rc;
            if (main_.lengths[0xE8] != 0) e8Started_ = true;
            rc = ReadLengths(br, length_.lengths, 0, kLengthSymbols - 1);
            if (rc != kLzxOk) return rc;
            return BuildTable(length_, kLengthSymbols);
        }
        case 3: {
            e8Started_ = true;
            // 1 to 16 bits of padding up to the next 16-bit word boundary; a word already
            // taken into the bit buffer but not started goes back to the input.
            int64_t p = br.Position();
            int64_t aligned = p < 0 ? 0 : (p / 16 + 1) * 16;
            rawPos = br.base + size_t(aligned / 8);
            if (rawPos > br.in.size() || br.in.size() - rawPos < 12) return kLzxUncompressedShort;
            r0_ = Le32(br.in, rawPos);
            r1_ = Le32(br.in, rawPos + 4);
            r2_ = Le32(br.in, rawPos + 8);
            rawPos += 12;
            return kLzxOk;
        }
        default:
            return kLzxBadBlockType;
    }
}

void LzxDecoder::CopyMatch(uint32_t at, uint32_t offset, uint32_t length) {
    uint8_t* w = window_.data();
    uint32_t mask = windowSize_ - 1;
    uint32_t from = (at - offset) & mask;
    if (offset >= length && from + length <= windowSize_) {
        std::memmove(w + at, w + from, length);
        return;
    }
    for (uint32_t i = 0; i < length; ++i)
        w[at + i] = w[(from + i) & mask];
}

int LzxDecoder::DecodeCompressedRun(BitReader& reader, uint32_t at, uint32_t end) {
    // Work on a local copy of the bit reader: window writes could otherwise alias it.
    BitReader br = reader;
    struct WriteBack {
        BitReader& to;
        BitReader& from;
        ~WriteBack() { to = from; }
    } writeBack{reader, br};
    uint8_t* w = window_.data();
    if (pendingLength_ != 0) {
        uint32_t n = std::min(pendingLength_, end - at);
        CopyMatch(at, pendingOffset_, n);
        at += n;
        pendingLength_ -= n;
        if (pendingLength_ != 0) return kLzxOk;
        if ((at & (kFrameSize - 1)) == 0) br.Align();
    }
    const bool aligned = blockType_ == 2;
    while (at < end) {
        int sym = DecodeSymbol(br, main_);
        if (sym < 0) return kLzxBadCode;
        if (sym < 256) {
            w[at++] = uint8_t(sym);
        } else {
            sym -= 256;
            uint32_t length = uint32_t(sym & 7);
            uint32_t slot = uint32_t(sym) >> 3;
            if (length == 7) {
                int extra = DecodeSymbol(br, length_);
                if (extra < 0) return kLzxBadCode;
                length += uint32_t(extra);
            }
            length += 2;
            uint32_t offset;
            if (slot == 0) {
                offset = r0_;
            } else if (slot == 1) {
                offset = r1_;
                r1_ = r0_;
                r0_ = offset;
            } else if (slot == 2) {
                offset = r2_;
                r2_ = r0_;
                r0_ = offset;
            } else {
                int extra = extraBits_[slot];
                if (aligned && extra >= 3) {
                    uint32_t high = br.Read(extra - 3) << 3;
                    int low = DecodeSymbol(br, aligned_);
                    if (low < 0) return kLzxBadCode;
                    offset = positionBase_[slot] - 2 + high + uint32_t(low);
                } else {
                    offset = positionBase_[slot] - 2 + br.Read(extra);
                }
                r2_ = r1_;
                r1_ = r0_;
                r0_ = offset;
            }
            uint32_t n = std::min(length, end - at);
            CopyMatch(at, offset, n);
            at += n;
            if (n < length) {
                // The rest of the match belongs to the next call's output.
                pendingLength_ = length - n;
                pendingOffset_ = offset;
                return kLzxOk;
            }
        }
        if ((at & (kFrameSize - 1)) == 0) br.Align();
    }
    return kLzxOk;
}

void LzxDecoder::TranslateE8(uint8_t* out, size_t outLen) const {
    const int64_t fileSize = e8FileSize_;
    const std::span<uint8_t> bytes(out, outLen);
    for (size_t i = 0; i + 10 < outLen;) {
        if (out[i] != 0xE8) {
            ++i;
            continue;
        }
        int32_t value = int32_t(Le32(bytes, i + 1));
        int64_t current = int64_t(e8Pos_) + int64_t(i);
        if (value >= -current && value < fileSize) {
            int64_t translated = value >= 0 ? value - current : value + fileSize;
            StoreLe32(bytes, i + 1, uint32_t(translated));
        }
        i += 5;
    }
}

int LzxDecoder::LzxDecode(const uint8_t* in, size_t inLen, uint8_t* out, size_t outLen) {
    inputUsed_ = 0;
    if (windowSize_ == 0) return kLzxWindowOverrun;
    BitReader br{std::span<const uint8_t>(in, inLen)};
    if (carryBits_ != 0) {
        br.buf = uint64_t(carryValue_) << (64 - carryBits_);
        br.bits = int(carryBits_);
    }
    carryBits_ = 0;
    size_t rawPos = 0;  // read position of an uncompressed block's bytes
    size_t produced = 0;
    const uint32_t mask = windowSize_ - 1;

    while (produced < outLen) {
        if (blockRemaining_ == 0) {
            if (blockType_ == 3) br.Restart(rawPos + (blockLength_ & 1));
            pendingLength_ = 0;  // a match never reaches into the next block
            if (windowPos_ == windowSize_) {
                headerRead_ = false;
                ClearTrees();
                r0_ = r1_ = r2_ = 1;
            }
            // Too little input left for another block header: the data has ended.
            const int headerBits = headerRead_ ? 27 : 28;
            if (br.Available() - br.Position() < headerBits) return kLzxInputEnded;
            int rc = ReadBlockHeader(br, rawPos);
            if (rc != kLzxOk) return rc;
        }
        if (blockType_ != 3 && br.Overrun()) return kLzxInputOverrun;

        uint32_t run = uint32_t(std::min<size_t>(blockRemaining_, outLen - produced));
        uint32_t at = uint32_t(windowPos_ & mask);
        if (uint64_t(at) + run > windowSize_) return kLzxWindowOverrun;
        switch (blockType_) {
            case 1:
            case 2: {
                int rc = DecodeCompressedRun(br, at, at + run);
                if (rc != kLzxOk) return rc;
                if (br.Overrun()) return kLzxInputOverrun;
                break;
            }
            case 3:
                if (rawPos > inLen || inLen - rawPos < run) return kLzxUncompressedShort;
                std::memcpy(window_.data() + at, in + rawPos, run);
                rawPos += run;
                break;
            default:
                return kLzxBadRunType;
        }
        std::memcpy(out + produced, window_.data() + at, run);
        produced += run;
        blockRemaining_ -= run;
        windowPos_ += run;
        if (blockRemaining_ == 0) pendingLength_ = 0;
    }

    // Hand back what was not read: whole words to the input, a partly read word's rest to the
    // next call.
    if (blockType_ == 3) {
        inputUsed_ = std::min(rawPos, inLen);
    } else {
        const int64_t p = br.Position();
        inputUsed_ = std::min(br.WordEnd(), inLen);
        carryBits_ = p <= 0 ? uint32_t(-p) : uint32_t((p + 15) / 16 * 16 - p);
        if (carryBits_ != 0) carryValue_ = br.Peek(int(carryBits_));
    }

    uint32_t callsBefore = calls_;
    if (calls_ != UINT32_MAX) ++calls_;
    if (callsBefore < 32768 && e8FileSize_ != 0) {
        if (outLen > 6 && e8Started_) TranslateE8(out, outLen);
        e8Pos_ += uint32_t(outLen);
    }
    return kLzxOk;
}

}  // namespace pagewick
