#include "LzxWriter.h"

#include <algorithm>
#include <cassert>
#include <stdexcept>

namespace pagewick::test {

std::vector<LzxToken> Literals(const std::vector<uint8_t>& bytes) {
    std::vector<LzxToken> tokens;
    for (uint8_t b : bytes)
        tokens.push_back(LzxToken::Lit(b));
    return tokens;
}

void BitWriter::Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
        word_ = (word_ << 1) | ((value >> i) & 1);
        if (++used_ == 16) {
            out_.push_back(uint8_t(word_));
            out_.push_back(uint8_t(word_ >> 8));
            word_ = 0;
            used_ = 0;
        }
    }
}

int BitWriter::PadToWord() {
    if (used_ == 0) return 0;
    int n = 16 - used_;
    Put(0, n);
    return n;
}

void BitWriter::RawBytes(const uint8_t* p, size_t n) {
    if (used_ != 0) throw std::logic_error("raw bytes need a word boundary");
    out_.insert(out_.end(), p, p + n);
}

std::vector<uint8_t> BitWriter::Finish() {
    PadToWord();
    return out_;
}

std::vector<uint8_t> CompleteLengths(const std::vector<int>& usedIn, int symbols, int chain) {
    std::vector<int> used = usedIn;
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    // A complete code needs two symbols at least.
    for (int s = 0; used.size() < 2 && s < symbols; ++s) {
        if (!std::binary_search(used.begin(), used.end(), s)) {
            used.push_back(s);
            std::sort(used.begin(), used.end());
        }
    }
    std::vector<uint8_t> lengths(size_t(symbols), 0);
    const int n = int(used.size());
    chain = std::min(chain, n - 1);
    for (int i = 0; i < chain; ++i)
        lengths[size_t(used[size_t(i)])] = uint8_t(i + 1);
    const int k = n - chain;
    int d = 0;
    while ((1 << d) < k)
        ++d;
    const int shorter = (1 << d) - k;
    for (int i = 0; i < k; ++i) {
        int len = chain + d - (i < shorter ? 1 : 0);
        if (k == 1) len = chain;
        if (len > 16) throw std::logic_error("code too long");
        lengths[size_t(used[size_t(chain + i)])] = uint8_t(len);
    }
    return lengths;
}

namespace {

std::vector<uint32_t> Codes(const std::vector<uint8_t>& lengths) {
    uint32_t count[17] = {}, next[17] = {};
    for (uint8_t l : lengths)
        count[l]++;
    count[0] = 0;
    uint32_t code = 0;
    for (int l = 1; l <= 16; ++l) {
        next[l] = code;
        code = (code + count[l]) << 1;
    }
    std::vector<uint32_t> codes(lengths.size(), 0);
    for (size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s]) codes[s] = next[lengths[s]]++;
    return codes;
}

}  // namespace

LzxWriter::LzxWriter(int windowBits, uint64_t startPosition, uint32_t e8FileSize)
    : windowBits_(windowBits), position_(startPosition), e8FileSize_(e8FileSize) {
    slots_ = windowBits == 20 ? 42 : windowBits == 21 ? 50 : 2 * windowBits;
    previousMain_.assign(size_t(256 + 8 * slots_), 0);
    previousLength_.assign(250, 0);
    uint32_t base = 0;
    for (int s = 0; s <= 50; ++s) {
        extraBits_[s] = s < 4 ? 0 : std::min((s - 2) / 2, 17);
        positionBase_[s] = base;
        base += 1u << extraBits_[s];
    }
}

void LzxWriter::Reset(uint32_t e8FileSize) {
    std::fill(previousMain_.begin(), previousMain_.end(), 0);
    std::fill(previousLength_.begin(), previousLength_.end(), 0);
    r0_ = r1_ = r2_ = 1;
    headerPending_ = true;
    e8FileSize_ = e8FileSize;
    bits_.PadToWord();
}

void LzxWriter::StartBlock(int type, uint32_t length) {
    if (position_ == (uint64_t(1) << windowBits_)) {
        std::fill(previousMain_.begin(), previousMain_.end(), 0);
        std::fill(previousLength_.begin(), previousLength_.end(), 0);
        r0_ = r1_ = r2_ = 1;
        headerPending_ = true;
    }
    if (headerPending_) {
        if (e8FileSize_) {
            bits_.Put(1, 1);
            bits_.Put(e8FileSize_ >> 16, 16);
            bits_.Put(e8FileSize_ & 0xffff, 16);
        } else {
            bits_.Put(0, 1);
        }
        headerPending_ = false;
    }
    bits_.Put(uint32_t(type), 3);
    bits_.Put(length >> 8, 16);
    bits_.Put(length & 0xff, 8);
}

void LzxWriter::BlockHeader(int type, uint32_t length) {
    StartBlock(type, length);
}

void LzxWriter::Advance(uint32_t bytes, bool compressed) {
    position_ += bytes;
    if (compressed && position_ % 32768 == 0) bits_.PadToWord();
}

void LzxWriter::WriteLengths(std::vector<uint8_t>& previous, const std::vector<uint8_t>& lengths,
                             int first, int last) {
    struct Step {
        int symbol;
        uint32_t extra;
        int extraBits;
    };
    std::vector<Step> steps;
    for (int i = first; i < last;) {
        if (lengths[size_t(i)] == 0) {
            int zeros = 0;
            while (i + zeros < last && lengths[size_t(i + zeros)] == 0)
                ++zeros;
            if (zeros >= 20) {
                int run = std::min(zeros, 51);
                steps.push_back({18, uint32_t(run - 20), 5});
                i += run;
                continue;
            }
            if (zeros >= 4) {
                steps.push_back({17, uint32_t(zeros - 4), 4});
                i += zeros;
                continue;
            }
        }
        steps.push_back({(previous[size_t(i)] + 17 - lengths[size_t(i)]) % 17, 0, 0});
        ++i;
    }
    std::vector<int> used;
    for (const Step& s : steps)
        used.push_back(s.symbol);
    std::vector<uint8_t> pre = CompleteLengths(used, 20);
    for (uint8_t l : pre)
        bits_.Put(l, 4);
    std::vector<uint32_t> codes = Codes(pre);
    for (const Step& s : steps) {
        bits_.Put(codes[size_t(s.symbol)], pre[size_t(s.symbol)]);
        if (s.extraBits) bits_.Put(s.extra, s.extraBits);
    }
    std::copy(lengths.begin() + first, lengths.begin() + last, previous.begin() + first);
}

void LzxWriter::Verbatim(const std::vector<LzxToken>& tokens, const BlockOptions& options) {
    CompressedBlock(false, tokens, options);
}

void LzxWriter::Aligned(const std::vector<LzxToken>& tokens, const BlockOptions& options) {
    CompressedBlock(true, tokens, options);
}

void LzxWriter::CompressedBlock(bool aligned, const std::vector<LzxToken>& tokens,
                                const BlockOptions& options) {
    struct Coded {
        int main;
        int length = -1;
        uint32_t extra = 0;
        int extraBits = 0;
        int alignedSymbol = -1;
        const LzxToken* token;
    };
    std::vector<Coded> coded;
    std::vector<int> usedMain, usedLength;
    uint32_t blockBytes = 0;
    for (const LzxToken& t : tokens) {
        Coded c{0, -1, 0, 0, -1, &t};
        if (t.literal) {
            c.main = t.byte;
            blockBytes += 1;
        } else {
            if (t.length < 2 || t.length > 257) throw std::logic_error("bad match length");
            uint32_t header = std::min<uint32_t>(t.length - 2, 7);
            if (header == 7) c.length = int(t.length - 9);
            int slot;
            if (t.offset == r0_) {
                slot = 0;
            } else if (t.offset == r1_) {
                slot = 1;
                std::swap(r0_, r1_);
            } else if (t.offset == r2_) {
                slot = 2;
                std::swap(r0_, r2_);
            } else {
                uint32_t formatted = t.offset + 2;
                slot = 3;
                while (slot + 1 < slots_ && positionBase_[slot + 1] <= formatted)
                    ++slot;
                c.extraBits = extraBits_[slot];
                c.extra = formatted - positionBase_[slot];
                if (c.extra >= (1u << c.extraBits)) throw std::logic_error("offset too far");
                if (aligned && c.extraBits >= 3) {
                    c.alignedSymbol = int(c.extra & 7);
                    c.extra >>= 3;
                    c.extraBits -= 3;
                }
                r2_ = r1_;
                r1_ = r0_;
                r0_ = t.offset;
            }
            c.main = 256 + slot * 8 + int(header);
            blockBytes += t.length;
        }
        usedMain.push_back(c.main);
        if (c.length >= 0) usedLength.push_back(c.length);
        coded.push_back(c);
    }
    const int mainSymbols = 256 + 8 * slots_;
    std::vector<uint8_t> mainLengths =
        options.mainLengths ? *options.mainLengths
                            : CompleteLengths(usedMain, mainSymbols, options.mainChain);
    mainLengths.resize(size_t(mainSymbols), 0);
    std::vector<uint8_t> lengthLengths;
    if (options.lengthLengths) {
        lengthLengths = *options.lengthLengths;
    } else if (!usedLength.empty()) {
        lengthLengths = CompleteLengths(usedLength, 249);
    }
    lengthLengths.resize(250, 0);

    StartBlock(aligned ? 2 : 1, options.declaredLength.value_or(blockBytes));
    std::vector<uint8_t> alignedLengths(8, 3);
    if (aligned)
        for (uint8_t l : alignedLengths)
            bits_.Put(l, 3);
    WriteLengths(previousMain_, mainLengths, 0, 256);
    WriteLengths(previousMain_, mainLengths, 256, mainSymbols);
    WriteLengths(previousLength_, lengthLengths, 0, 249);

    const std::vector<uint32_t> mainCodes = Codes(mainLengths);
    const std::vector<uint32_t> lengthCodes = Codes(lengthLengths);
    for (const Coded& c : coded) {
        bits_.Put(mainCodes[size_t(c.main)], mainLengths[size_t(c.main)]);
        if (c.length >= 0)
            bits_.Put(lengthCodes[size_t(c.length)], lengthLengths[size_t(c.length)]);
        if (c.extraBits) bits_.Put(c.extra, c.extraBits);
        if (c.alignedSymbol >= 0) bits_.Put(uint32_t(c.alignedSymbol), 3);
        const LzxToken& t = *c.token;
        if (t.literal) {
            expected_.push_back(t.byte);
            Advance(1, true);
        } else {
            if (t.offset == 0) throw std::logic_error("match of offset 0");
            // Before the start of the stream the window holds zeros.
            for (uint32_t i = 0; i < t.length; ++i)
                expected_.push_back(
                    t.offset > expected_.size() ? 0 : expected_[expected_.size() - t.offset]);
            Advance(t.length, true);
        }
    }
}

void LzxWriter::Uncompressed(const std::vector<uint8_t>& bytes) {
    StartBlock(3, uint32_t(bytes.size()));
    if (bits_.Aligned()) {
        bits_.Put(0, 16);
        fullWordPadding_ = true;
    } else {
        bits_.PadToWord();
    }
    uint8_t r[12];
    uint32_t values[3] = {r0_, r1_, r2_};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 4; ++k)
            r[4 * i + k] = uint8_t(values[i] >> (8 * k));
    bits_.RawBytes(r, 12);
    bits_.RawBytes(bytes.data(), bytes.size());
    if (bytes.size() & 1) {
        uint8_t pad = 0;
        bits_.RawBytes(&pad, 1);
    }
    expected_.insert(expected_.end(), bytes.begin(), bytes.end());
    Advance(uint32_t(bytes.size()), false);
}

}  // namespace pagewick::test
