// The LZX decoder on hand-built streams: what the fixture encoders never write (aligned and
// uncompressed blocks, E8 translation, every window size) and damaged streams.
#include <gtest/gtest.h>

#include <random>

#include "LzxWriter.h"
#include "formats/lit/Lzx.h"

namespace pagewick {
namespace {

using test::BlockOptions;
using test::Literals;
using test::LzxToken;
using test::LzxWriter;

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = uint8_t(rng());
    return v;
}

std::vector<uint8_t> Text(const char* s) {
    return std::vector<uint8_t>(s, s + std::char_traits<char>::length(s));
}

// Decodes the whole stream in one call after setting the window.
int DecodeAll(LzxDecoder& lzx, int bits, const std::vector<uint8_t>& in, std::vector<uint8_t>& out,
              size_t length) {
    if (lzx.LzxSetWindow(bits) != 0) return -1;
    out.assign(length, 0);
    return lzx.LzxDecode(in.data(), in.size(), out.data(), out.size());
}

// Decodes the stream in calls ending at the given output offsets (the last at the output's end),
// each call taking the input from where the previous one stopped. Returns the first failure.
int DecodeInPieces(LzxDecoder& lzx, int bits, const std::vector<uint8_t>& in,
                   const std::vector<size_t>& ends, std::vector<uint8_t>& out) {
    if (lzx.LzxSetWindow(bits) != 0) return -1;
    out.assign(ends.empty() ? 0 : ends.back(), 0);
    size_t done = 0, inPos = 0;
    for (size_t end : ends) {
        int rc = lzx.LzxDecode(in.data() + inPos, in.size() - inPos, out.data() + done, end - done);
        if (rc != kLzxOk) return rc;
        inPos += lzx.LzxInputUsed();
        done = end;
    }
    return kLzxOk;
}

TEST(Lzx, WindowSizesGiveTheirSlotCounts) {
    LzxDecoder lzx;
    const int slots[] = {30, 32, 34, 36, 38, 42, 50};
    for (int bits = 15; bits <= 21; ++bits) {
        ASSERT_EQ(lzx.LzxSetWindow(bits), 0);
        EXPECT_EQ(lzx.SlotCount(), slots[bits - 15]) << bits;
        EXPECT_EQ(lzx.MainSymbolCount(), 256 + 8 * slots[bits - 15]) << bits;
    }
    EXPECT_NE(lzx.LzxSetWindow(14), 0);
    EXPECT_NE(lzx.LzxSetWindow(22), 0);
}

// Every window size, with matches reaching as far back as the window allows (the top position
// slots), after an uncompressed block that fills most of the window.
TEST(Lzx, EveryWindowSizeReachesItsFarthestSlots) {
    LzxDecoder lzx;
    for (int bits = 15; bits <= 21; ++bits) {
        SCOPED_TRACE(bits);
        const uint32_t window = 1u << bits;
        LzxWriter w(bits);
        const uint32_t fill = window - 4096;
        w.Uncompressed(RandomBytes(fill, uint32_t(bits)));
        std::vector<LzxToken> tokens = Literals(Text("far:"));
        const uint32_t history = fill + 4;
        tokens.push_back(LzxToken::Match(257, history - 3));  // near the window's start
        tokens.push_back(LzxToken::Match(40, history / 2));
        tokens.push_back(LzxToken::Match(9, 1000));
        tokens.push_back(LzxToken::Match(3, history - 3));  // a repeated offset
        w.Verbatim(tokens);
        std::vector<uint8_t> in = w.Finish(), out;
        ASSERT_EQ(DecodeAll(lzx, bits, in, out, w.Expected().size()), kLzxOk);
        EXPECT_EQ(out, w.Expected());
    }
}

TEST(Lzx, LongCodesGoThroughOverflowNodes) {
    LzxWriter w(16);
    std::vector<uint8_t> bytes = RandomBytes(3000, 7);
    BlockOptions options;
    options.mainChain = 8;  // codes of 1 to 8 bits, the rest 15 and 16
    w.Verbatim(Literals(bytes), options);
    std::vector<LzxToken> more = {LzxToken::Match(100, 2999), LzxToken::Match(20, 1)};
    w.Verbatim(more, options);
    LzxDecoder lzx;
    std::vector<uint8_t> in = w.Finish(), out;
    ASSERT_EQ(DecodeAll(lzx, 16, in, out, w.Expected().size()), kLzxOk);
    EXPECT_EQ(out, w.Expected());
}

TEST(Lzx, AlignedOffsetBlocksDecodeEverySlotKind) {
    LzxWriter w(17);
    w.Verbatim(Literals(RandomBytes(5000, 3)));
    // Offsets with 1-2 extra bits (read plainly), exactly 3 (aligned symbol only), more than 3
    // (plain bits above an aligned symbol), and the three repeated offsets.
    std::vector<LzxToken> tokens = {
        LzxToken::Match(5, 3),   LzxToken::Match(6, 7),    LzxToken::Match(7, 15),
        LzxToken::Match(8, 27),  LzxToken::Match(9, 100),  LzxToken::Match(30, 4321),
        LzxToken::Match(4, 27),  LzxToken::Match(4, 4321), LzxToken::Match(12, 100),
        LzxToken::Match(257, 1), LzxToken::Lit('x'),       LzxToken::Match(2, 4999)};
    w.Aligned(tokens);
    w.Aligned(tokens);  // code lengths coded as differences from the previous block
    w.Verbatim({LzxToken::Match(50, 2000)});
    LzxDecoder lzx;
    std::vector<uint8_t> in = w.Finish(), out;
    ASSERT_EQ(DecodeAll(lzx, 17, in, out, w.Expected().size()), kLzxOk);
    EXPECT_EQ(out, w.Expected());
}

// Odd and even uncompressed blocks between compressed ones; the variants move the end of the
// uncompressed block's header across a word boundary, so both paddings (a partial word and a
// whole word) are taken.
TEST(Lzx, UncompressedBlocksOfOddLengthSkipTheirPadByte) {
    bool sawWholeWordPadding = false;
    for (int lead = 1; lead <= 24; ++lead) {
        SCOPED_TRACE(lead);
        LzxWriter w(15);
        w.Verbatim(Literals(RandomBytes(size_t(lead), uint32_t(lead))));
        w.Uncompressed(RandomBytes(77, 1));
        w.Uncompressed(RandomBytes(4, 2));
        w.Uncompressed(RandomBytes(1, 3));
        w.Verbatim({LzxToken::Lit('a'), LzxToken::Match(30, 40)});
        w.Uncompressed(RandomBytes(5, 4));
        sawWholeWordPadding |= w.SawFullWordPadding();
        LzxDecoder lzx;
        std::vector<uint8_t> in = w.Finish(), out;
        ASSERT_EQ(DecodeAll(lzx, 15, in, out, w.Expected().size()), kLzxOk);
        EXPECT_EQ(out, w.Expected());
    }
    EXPECT_TRUE(sawWholeWordPadding);
}

// Blocks that run across 32768-byte frames: the stream is realigned to a word at each frame.
TEST(Lzx, RealignsAtEveryFrameInsideABlock) {
    LzxWriter w(17);
    std::vector<LzxToken> tokens = Literals(RandomBytes(32767, 11));
    tokens.push_back(LzxToken::Lit('z'));  // ends exactly on the frame
    tokens.push_back(LzxToken::Match(200, 32768));
    for (int i = 0; i < 200; ++i)
        tokens.push_back(LzxToken::Match(257, 5000 + 7 * uint32_t(i)));
    w.Verbatim(tokens);
    w.Aligned({LzxToken::Match(100, 70000), LzxToken::Lit('q')});
    LzxDecoder lzx;
    std::vector<uint8_t> in = w.Finish(), out;
    ASSERT_EQ(DecodeAll(lzx, 17, in, out, w.Expected().size()), kLzxOk);
    EXPECT_EQ(out, w.Expected());
}

// Asking for the output a piece at a time (matches cut at every piece end, bit positions
// carried between calls) gives the same bytes as one call.
TEST(Lzx, MatchesCutByTheRequestedLengthContinueInTheNextCall) {
    LzxWriter w(16);
    w.Verbatim(Literals(RandomBytes(500, 5)));
    std::vector<LzxToken> tokens;
    for (int i = 0; i < 300; ++i) {
        tokens.push_back(LzxToken::Match(2 + uint32_t(i * 37) % 256, 1 + uint32_t(i * 13) % 499));
        tokens.push_back(LzxToken::Lit(uint8_t(i)));
    }
    w.Aligned(tokens);
    w.Uncompressed(RandomBytes(333, 6));
    w.Verbatim({LzxToken::Match(257, 1000), LzxToken::Match(257, 1000)});
    const std::vector<uint8_t> in = w.Finish();
    const std::vector<uint8_t>& expected = w.Expected();

    for (uint32_t seed = 1; seed <= 5; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        std::vector<size_t> ends;
        for (size_t done = 0; done < expected.size();) {
            done += std::min<size_t>(expected.size() - done, 1 + rng() % 300);
            ends.push_back(done);
        }
        LzxDecoder lzx;
        std::vector<uint8_t> out;
        ASSERT_EQ(DecodeInPieces(lzx, 16, in, ends, out), kLzxOk);
        EXPECT_EQ(out, expected);
    }
}

// An odd-length uncompressed block whose output is cut at odd byte counts: the call that
// finishes it starts at an odd input byte, yet the blocks after the pad byte (compressed and
// uncompressed, themselves cut in several places) come out as from one call.
TEST(Lzx, BlocksAfterAnOddUncompressedBlockCutAtOddCountsStayAligned) {
    LzxWriter w(16);
    w.Verbatim(Literals(RandomBytes(41, 21)));
    const size_t rawStart = w.Expected().size();
    w.Uncompressed(RandomBytes(77, 22));
    const size_t verbatimStart = w.Expected().size();
    std::vector<LzxToken> tokens = Literals(RandomBytes(90, 23));
    tokens.push_back(LzxToken::Match(120, 77));
    tokens.push_back(LzxToken::Lit('x'));
    w.Verbatim(tokens);
    w.Uncompressed(RandomBytes(33, 24));
    w.Aligned({LzxToken::Match(200, 150), LzxToken::Lit('y'), LzxToken::Match(40, 3)});
    const std::vector<uint8_t> in = w.Finish();
    const std::vector<uint8_t>& expected = w.Expected();

    LzxDecoder lzx;
    std::vector<uint8_t> out;
    ASSERT_EQ(DecodeAll(lzx, 16, in, out, expected.size()), kLzxOk);
    ASSERT_EQ(out, expected);
    for (size_t cut : {1, 3, 38, 75}) {
        for (size_t further : {1, 2, 17, 150, 212}) {
            SCOPED_TRACE(testing::Message() << "cut " << cut << ", further " << further);
            const std::vector<size_t> ends = {rawStart + cut, verbatimStart + further,
                                              verbatimStart + further + 40, expected.size()};
            ASSERT_EQ(DecodeInPieces(lzx, 16, in, ends, out), kLzxOk);
            EXPECT_EQ(out, expected);
        }
    }
}

TEST(Lzx, ARequestEndingAtABlockEndLeavesTheNextHeaderUnread) {
    LzxWriter w(15);
    w.Verbatim(Literals(Text("first block, exactly this long")));
    const size_t firstBytes = w.ByteSize();
    w.Verbatim(Literals(Text("second")));
    const std::vector<uint8_t> in = w.Finish();
    const size_t firstLength = 30;

    LzxDecoder lzx;
    ASSERT_EQ(lzx.LzxSetWindow(15), 0);
    std::vector<uint8_t> out(36);
    // Only the first block's bytes are given: the next header must not be needed.
    ASSERT_EQ(lzx.LzxDecode(in.data(), firstBytes, out.data(), firstLength), kLzxOk);
    size_t used = lzx.LzxInputUsed();
    EXPECT_LE(used, firstBytes);
    ASSERT_EQ(lzx.LzxDecode(in.data() + used, in.size() - used, out.data() + firstLength, 6),
              kLzxOk);
    EXPECT_EQ(out, w.Expected());
}

// The last match of a section may run past the section's end, as both fixture encoders do: the
// requested bytes come out and the rest is dropped.
TEST(Lzx, AMatchPastTheLastRequestedByteIsDropped) {
    LzxWriter w(15);
    w.Verbatim({LzxToken::Lit('a'), LzxToken::Lit('b'), LzxToken::Match(27, 2)});
    std::vector<uint8_t> in = w.Finish(), out;
    LzxDecoder lzx;
    ASSERT_EQ(DecodeAll(lzx, 15, in, out, 10), kLzxOk);
    EXPECT_EQ(out, Text("ababababab"));
}

// After a reset the trees are gone, but the window keeps the earlier data for later matches.
TEST(Lzx, ResetKeepsTheWindowForLaterMatches) {
    LzxWriter w(15);
    std::vector<uint8_t> first = RandomBytes(32768, 9);
    w.Verbatim(Literals(first));
    const size_t resetAt = w.ByteSize();
    w.Reset();
    w.Verbatim({LzxToken::Match(257, 32000), LzxToken::Match(100, 20000)});
    const std::vector<uint8_t> in = w.Finish();

    LzxDecoder lzx;
    ASSERT_EQ(lzx.LzxSetWindow(15), 0);
    std::vector<uint8_t> out(32768 + 357);
    ASSERT_EQ(lzx.LzxDecode(in.data(), resetAt, out.data(), 32768), kLzxOk);
    lzx.LzxReset();
    ASSERT_EQ(lzx.LzxDecode(in.data() + resetAt, in.size() - resetAt, out.data() + 32768, 357),
              kLzxOk);
    EXPECT_EQ(out, w.Expected());
}

TEST(Lzx, ASmallerWindowReusesTheLargerBuffer) {
    LzxDecoder lzx;
    LzxWriter big(21);
    big.Verbatim(Literals(RandomBytes(1000, 1)));
    std::vector<uint8_t> in = big.Finish(), out;
    ASSERT_EQ(DecodeAll(lzx, 21, in, out, 1000), kLzxOk);
    LzxWriter small(15);
    small.Uncompressed(RandomBytes(32000, 2));
    small.Verbatim({LzxToken::Match(257, 31999)});
    in = small.Finish();
    ASSERT_EQ(DecodeAll(lzx, 15, in, out, small.Expected().size()), kLzxOk);
    EXPECT_EQ(out, small.Expected());

    // A damaged stream whose match reaches before its start reads zeros there, not the bytes
    // the first stream left in the buffer.
    ASSERT_EQ(DecodeAll(lzx, 21, big.Finish(), out, 1000), kLzxOk);
    LzxWriter early(15);
    early.Verbatim({LzxToken::Lit('a'), LzxToken::Match(100, 32000)});
    ASSERT_EQ(DecodeAll(lzx, 15, early.Finish(), out, 101), kLzxOk);
    EXPECT_EQ(out, early.Expected());
    EXPECT_EQ(out[1], 0);
}

// --- E8 call translation ---

uint32_t Le32(const uint8_t* p) {
    return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

TEST(Lzx, E8TranslationFollowsTheCallAddressRules) {
    const uint32_t fileSize = 1000000;
    std::vector<uint8_t> data(100, 0x90);
    auto call = [&](size_t at, uint32_t value) {
        data[at] = 0xE8;
        for (int i = 0; i < 4; ++i)
            data[at + 1 + size_t(i)] = uint8_t(value >> (8 * i));
    };
    call(0, 500);             // absolute, in range: becomes relative to its position
    call(10, uint32_t(-5));   // negative, at least -position: adds the file size
    call(20, uint32_t(-40));  // more negative than -position: kept
    call(30, fileSize);       // not below the file size: kept
    call(40, 0xE8E8E8E8);     // out of range: kept, and its E8 bytes are skipped over
    call(50, 0x12345);
    call(90, 7);  // starts inside the last 10 bytes of the call's output: kept
    LzxWriter w(16, 0, fileSize);
    w.Verbatim(Literals(data));
    std::vector<uint8_t> in = w.Finish(), out;
    LzxDecoder lzx;
    ASSERT_EQ(DecodeAll(lzx, 16, in, out, data.size()), kLzxOk);
    EXPECT_EQ(Le32(&out[1]), 500u - 0u);
    EXPECT_EQ(Le32(&out[11]), uint32_t(-5) + fileSize);
    EXPECT_EQ(Le32(&out[21]), uint32_t(-40));
    EXPECT_EQ(Le32(&out[31]), fileSize);
    EXPECT_EQ(Le32(&out[41]), 0xE8E8E8E8u);
    EXPECT_EQ(Le32(&out[51]), 0x12345u - 50u);
    EXPECT_EQ(Le32(&out[91]), 7u);
}

// The translation counts positions across calls, leaves calls of 6 bytes or less alone (while
// still counting them) and stops after 32768 calls.
TEST(Lzx, E8TranslationSkipsShortCallsAndStopsAfter32768Calls) {
    std::vector<uint8_t> pattern(16, 0x90);
    pattern[0] = 0xE8;
    pattern[1] = 0x00;
    pattern[2] = 0x10;  // value 0x1000
    pattern[3] = pattern[4] = 0;
    LzxWriter w(16, 0, 0x100000);
    std::vector<LzxToken> tokens = Literals(pattern);
    const uint32_t calls = 32771;
    uint32_t total = 16;
    while (total < calls * 16) {
        uint32_t n = std::min<uint32_t>(257, calls * 16 - total);
        if (n < 2) break;
        tokens.push_back(LzxToken::Match(n, 16));
        total += n;
    }
    w.Verbatim(tokens);
    ASSERT_EQ(w.Expected().size(), calls * 16);
    const std::vector<uint8_t> in = w.Finish();

    LzxDecoder lzx;
    ASSERT_EQ(lzx.LzxSetWindow(16), 0);
    size_t inPos = 0;
    uint32_t position = 0;
    std::vector<uint8_t> out(16);
    // Two short calls first: 6 bytes each, never translated, but counted.
    for (int k = 0; k < 2; ++k) {
        ASSERT_EQ(lzx.LzxDecode(in.data() + inPos, in.size() - inPos, out.data(), 6), kLzxOk);
        inPos += lzx.LzxInputUsed();
        EXPECT_EQ(out[0] == 0xE8 ? Le32(&out[1]) : 0x1000u, 0x1000u);
        position += 6;
    }
    // The rest of the first pattern (4 bytes) keeps the following calls on 16-byte patterns.
    ASSERT_EQ(lzx.LzxDecode(in.data() + inPos, in.size() - inPos, out.data(), 4), kLzxOk);
    inPos += lzx.LzxInputUsed();
    position += 4;
    for (uint32_t c = 3; c < calls + 2; ++c) {
        ASSERT_EQ(lzx.LzxDecode(in.data() + inPos, in.size() - inPos, out.data(), 16), kLzxOk);
        inPos += lzx.LzxInputUsed();
        ASSERT_EQ(out[0], 0xE8);
        uint32_t want = c < 32768 ? 0x1000u - position : 0x1000u;
        ASSERT_EQ(Le32(&out[1]), want) << "call " << c;
        position += 16;
    }
}

// --- damaged streams ---

TEST(Lzx, DamagedStreamsGiveTheirResultCodes) {
    LzxDecoder lzx;
    std::vector<uint8_t> out;
    {
        SCOPED_TRACE("over-full main tree: 202");
        std::vector<uint8_t> lengths(256 + 8 * 30, 0);
        lengths['a'] = lengths['b'] = lengths['c'] = 1;
        LzxWriter w(15);
        BlockOptions o;
        o.mainLengths = lengths;
        o.declaredLength = 3;
        w.Verbatim({}, o);
        EXPECT_EQ(DecodeAll(lzx, 15, w.Finish(), out, 3), kLzxBadCodeLengths);
    }
    {
        SCOPED_TRACE("incomplete main tree: 202");
        std::vector<uint8_t> lengths(256 + 8 * 30, 0);
        lengths['a'] = 1;
        lengths['b'] = 2;
        LzxWriter w(15);
        BlockOptions o;
        o.mainLengths = lengths;
        o.declaredLength = 3;
        w.Verbatim({}, o);
        EXPECT_EQ(DecodeAll(lzx, 15, w.Finish(), out, 3), kLzxBadCodeLengths);
    }
    {
        SCOPED_TRACE("over-full pretree: 202");
        LzxWriter w(15);
        w.BlockHeader(1, 10);
        for (int i = 0; i < 20; ++i)
            w.Bits().Put(1, 4);
        EXPECT_EQ(DecodeAll(lzx, 15, w.Finish(), out, 10), kLzxBadCodeLengths);
    }
    {
        SCOPED_TRACE("a match length with an empty length tree: 302");
        LzxWriter w(15);
        BlockOptions o;
        o.lengthLengths = std::vector<uint8_t>(250, 0);
        o.mainLengths = test::CompleteLengths({'a', 256 + 7}, 256 + 8 * 30);
        o.declaredLength = 20;
        w.Verbatim({LzxToken::Lit('a')}, o);
        std::vector<uint8_t> in = w.Finish();
        // The literal decodes; the next symbol (the match) needs the empty length tree.
        in.push_back(0xFF);
        in.push_back(0xFF);
        lzx.LzxSetWindow(15);
        out.assign(20, 0);
        EXPECT_EQ(lzx.LzxDecode(in.data(), in.size(), out.data(), 1), kLzxOk);
        lzx.LzxSetWindow(15);
        EXPECT_EQ(lzx.LzxDecode(in.data(), in.size(), out.data(), 20), kLzxBadCode);
    }
    {
        SCOPED_TRACE("a zero run past the end of the lengths: 402");
        LzxWriter w(15);
        w.BlockHeader(1, 10);
        // Pretree: symbols 17 and 18 with one-bit codes; then runs of zeros past symbol 255.
        for (int i = 0; i < 20; ++i)
            w.Bits().Put(i == 17 || i == 18 ? 1 : 0, 4);
        for (int i = 0; i < 6; ++i) {
            w.Bits().Put(1, 1);   // 18
            w.Bits().Put(31, 5);  // 51 zeros
        }
        EXPECT_EQ(DecodeAll(lzx, 15, w.Finish(), out, 10), kLzxLengthsFailed);
    }
    for (int type : {0, 4, 5, 6, 7}) {
        SCOPED_TRACE("block type " + std::to_string(type) + ": 502");
        LzxWriter w(15);
        w.BlockHeader(type, 100);
        EXPECT_EQ(DecodeAll(lzx, 15, w.Finish(), out, 100), kLzxBadBlockType);
    }
    {
        SCOPED_TRACE("input cut inside a block: 602");
        LzxWriter w(15);
        w.Verbatim(Literals(RandomBytes(2000, 4)));
        std::vector<uint8_t> in = w.Finish();
        in.resize(in.size() / 2);
        EXPECT_EQ(DecodeAll(lzx, 15, in, out, 2000), kLzxInputOverrun);
    }
    {
        SCOPED_TRACE("uncompressed block cut short: 702");
        LzxWriter w(15);
        w.Uncompressed(RandomBytes(500, 5));
        std::vector<uint8_t> in = w.Finish();
        in.resize(in.size() - 100);
        EXPECT_EQ(DecodeAll(lzx, 15, in, out, 500), kLzxUncompressedShort);
    }
    {
        SCOPED_TRACE("input ends at a block end before the output: 902");
        LzxWriter w(15);
        w.Verbatim(Literals(RandomBytes(100, 6)));
        EXPECT_EQ(DecodeAll(lzx, 15, w.Finish(), out, 200), kLzxInputEnded);
    }
    {
        SCOPED_TRACE("a run across the window's end: 1");
        LzxWriter w(15);
        w.Uncompressed(RandomBytes(40000, 7));
        std::vector<uint8_t> in = w.Finish();
        ASSERT_EQ(lzx.LzxSetWindow(15), 0);
        out.assign(40000, 0);
        ASSERT_EQ(lzx.LzxDecode(in.data(), in.size(), out.data(), 20000), kLzxOk);
        size_t used = lzx.LzxInputUsed();
        EXPECT_EQ(lzx.LzxDecode(in.data() + used, in.size() - used, out.data(), 20000),
                  kLzxWindowOverrun);
    }
}

}  // namespace
}  // namespace pagewick
