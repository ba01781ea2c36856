#include "formats/Utf8Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

namespace pagewick {
namespace {

std::u16string DecodeAll(const std::string& bytes, bool* anyMalformed = nullptr) {
    std::u16string out;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t i = 0; i < bytes.size();) {
        char16_t c;
        size_t k = DecodeUtf8Character(p + i, bytes.size() - i, true, c, anyMalformed);
        out += c;
        i += k;
    }
    return out;
}

// A source that hands out at most `step` bytes per read, so sequences fall across reads.
ByteSource SourceOf(const std::string& bytes, size_t step = SIZE_MAX) {
    return [&bytes, step](uint64_t pos, uint8_t* out, size_t n) -> int64_t {
        if (pos > bytes.size()) return -1;
        size_t k = std::min({n, step, bytes.size() - size_t(pos)});
        std::memcpy(out, bytes.data() + pos, k);
        return int64_t(k);
    };
}

TEST(Utf8Text, CharactersAndMalformedSequences) {
    bool bad = false;
    // Accents, curly quotes, a dash, Greek, a CJK character: all valid.
    EXPECT_EQ(
        DecodeAll("Caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x80\x94 \xCE\xB1\xE4\xB8\xAD", &bad),
        u"Caf\u00E9 \u201Cq\u201D \u2014 \u03B1\u4E2D");
    EXPECT_FALSE(bad);
    // Beyond 16 bits: valid, but one replacement character so offsets stay whole.
    EXPECT_EQ(DecodeAll("a\xF0\x9F\x98\x80z", &bad), u"a\uFFFDz");
    EXPECT_FALSE(bad);
    // A lone Windows-1252 byte, an overlong form, an encoded surrogate, a cut sequence, a stray
    // continuation byte: each gives replacement characters and the text goes on.
    EXPECT_EQ(DecodeAll("caf\xE9!", &bad), u"caf\uFFFD!");
    EXPECT_TRUE(bad);
    EXPECT_EQ(DecodeAll("\xC0\xAF|\xED\xA0\x80|\xE2\x80|\x80"),
              u"\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD|\uFFFD|\uFFFD");
    // The last byte of a source that is not at its end asks for more.
    char16_t c;
    const uint8_t cut[] = {0xE2, 0x80};
    EXPECT_EQ(DecodeUtf8Character(cut, 2, false, c), 0u);
}

TEST(Utf8Text, IndexFindsEveryOffsetWhateverTheReadSizes) {
    std::string text = "\xEF\xBB\xBF";  // a byte-order mark in front
    std::u16string expected = u"\uFEFF";
    for (int i = 0; i < 3000; ++i) {
        text += "Line " + std::to_string(i) +
                ": caf\xC3\xA9 \xCE\xB1\xCE\xB2 \xE2\x80\x94 \xF0\x9F\x98\x80.\n";
        std::string number = std::to_string(i);
        expected += u"Line " + std::u16string(number.begin(), number.end()) +
                    u": caf\u00E9 \u03B1\u03B2 \u2014 \uFFFD.\n";
    }
    for (size_t step : {size_t(SIZE_MAX), size_t(7)}) {
        Utf8Index index;
        ASSERT_TRUE(index.Build(SourceOf(text, step), uint32_t(text.size())));
        EXPECT_TRUE(index.HasByteOrderMark());
        EXPECT_TRUE(index.AllValid());
        EXPECT_TRUE(index.HasMultiByte());
        ASSERT_EQ(index.CharCount(), expected.size());
        // Windows from offsets near and far from checkpoints, across the end.
        for (uint32_t at : {0u, 1u, 4095u, 4096u, 20001u, uint32_t(expected.size() - 3)}) {
            char16_t window[2049];
            int64_t n = index.Decode(SourceOf(text, step), at, window, 2049);
            size_t want = std::min<size_t>(2049, expected.size() - at);
            ASSERT_EQ(n, int64_t(want)) << at;
            EXPECT_EQ(std::u16string(window, want), expected.substr(at, want)) << at;
        }
    }
    Utf8Index index;
    index.Build(SourceOf(text), uint32_t(text.size()));
    EXPECT_LT(index.MemoryBytes(), text.size() / 400);  // a few bytes per checkpoint
}

TEST(Utf8Text, RandomMixesCountAndDecodeAsOneCharacterAtATime) {
    // Runs of ASCII long and short, two-byte characters, longer ones, and malformed bytes (a
    // lead without its continuation, a stray continuation, an 8-bit letter, a cut sequence) in
    // any order, so that every fast stretch ends at every kind of character and at the reads'
    // and checkpoints' edges.
    const char* pieces[] = {
        "a", "plain ASCII words ", "Ã©", "Î±", "â", "ð", "Ã", "", "é", "â", "ß¿",
        "Â",
        // overlong leads, and a dense mix of ASCII and two-byte letters as accented prose has
        "\xC0\x80", "\xC1\xBF", "caf\xC3\xA9 na\xC3\xAFve r\xC3\xA9sum\xC3\xA9 Z\xC3\xBCrich "};
    std::mt19937 random(7);
    for (int round = 0; round < 8; ++round) {
        std::string text;
        while (text.size() < 20000)
            text += pieces[random() % (round < 3 ? 6 : round < 6 ? 12 : 15)];
        bool malformed = false;
        const std::u16string expected = DecodeAll(text, &malformed);
        for (size_t step : {size_t(SIZE_MAX), size_t(4093), size_t(5)}) {
            Utf8Index index;
            ASSERT_TRUE(index.Build(SourceOf(text, step), uint32_t(text.size())));
            ASSERT_EQ(index.CharCount(), expected.size()) << round << " " << step;
            EXPECT_EQ(index.AllValid(), !malformed);
            EXPECT_TRUE(index.HasMultiByte());
            // Consecutive windows overlapping by one character, as the reader asks for them,
            // then windows anywhere.
            char16_t window[4097];
            for (uint32_t at = 0; at < expected.size(); at += 4096) {
                const int64_t n = index.Decode(SourceOf(text, step), at, window, 4097);
                const size_t want = std::min<size_t>(4097, expected.size() - at);
                ASSERT_EQ(n, int64_t(want)) << at;
                ASSERT_EQ(std::u16string(window, want), expected.substr(at, want)) << at;
            }
            for (int k = 0; k < 20; ++k) {
                const uint32_t at = uint32_t(random() % expected.size());
                const size_t count = 1 + random() % 300;
                const int64_t n = index.Decode(SourceOf(text, step), at, window, count);
                const size_t want = std::min(count, expected.size() - at);
                ASSERT_EQ(n, int64_t(want)) << at;
                ASSERT_EQ(std::u16string(window, want), expected.substr(at, want)) << at;
            }
        }
    }
}

TEST(Utf8Text, WhatDecidesTheEncoding) {
    Utf8Index ascii, latin1, utf8;
    std::string plain = "plain ASCII only", lone = "caf\xE9 au lait", accented = "caf\xC3\xA9";
    ascii.Build(SourceOf(plain), uint32_t(plain.size()));
    latin1.Build(SourceOf(lone), uint32_t(lone.size()));
    utf8.Build(SourceOf(accented), uint32_t(accented.size()));
    EXPECT_TRUE(ascii.AllValid() && !ascii.HasMultiByte());
    EXPECT_FALSE(latin1.AllValid());
    EXPECT_TRUE(utf8.AllValid() && utf8.HasMultiByte());
    EXPECT_EQ(utf8.CharCount(), 4u);

    auto declares = [](const std::string& s) {
        return DeclaresUtf8(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    };
    EXPECT_TRUE(
        declares("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"));
    EXPECT_TRUE(declares("<META CHARSET = \"UTF-8\">"));
    EXPECT_TRUE(declares("<meta charset='utf8'>"));
    EXPECT_FALSE(declares("<meta charset=\"iso-8859-1\">"));
    EXPECT_FALSE(declares("charset is utf-8"));
}

}  // namespace
}  // namespace pagewick
