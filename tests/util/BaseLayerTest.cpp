// The helpers every codec shares: little-endian fields that never leave their buffer, the UTF-8
// appender, and HTML's reference names.
#include <gtest/gtest.h>

#include <array>

#include "util/HtmlEntities.h"
#include "util/LittleEndian.h"
#include "util/Utf8.h"

namespace pagewick {

TEST(BaseLayerTest, FieldsCutShortByTheEndKeepWhatIsThere) {
    const std::array<uint8_t, 6> bytes{0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    EXPECT_EQ(Le16(bytes), 0x0201);
    EXPECT_EQ(Le32(bytes, 2), 0x06050403u);
    // Past the end the missing high bytes read as zero; far past it the field is zero.
    EXPECT_EQ(Le32(bytes, 4), 0x0605u);
    EXPECT_EQ(Le64(bytes, 6), 0u);
    EXPECT_EQ(Le32(bytes, size_t(-2)), 0u);
    EXPECT_EQ(Le16(AsBytes("\xFF\x7F")), 0x7FFF);
    std::array<uint8_t, 3> out{};
    StoreLe32(out, 1, 0xAABBCCDD);  // the byte past the end is dropped
    EXPECT_EQ(out, (std::array<uint8_t, 3>{0x00, 0xDD, 0xCC}));
}

TEST(BaseLayerTest, TheAppenderWritesOnlyCharacters) {
    std::string out;
    for (uint32_t code : {0x41u, 0xE9u, 0x20ACu, 0x1F600u, 0xD800u, 0xDFFFu, 0x110000u})
        AppendUtf8(out, code);
    EXPECT_EQ(out, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

// The block decoder gives exactly what the character decoder gives one by one, wherever the
// characters other than ASCII fall against its blocks, and stops at the room it is given.
TEST(BaseLayerTest, BlockDecodingMatchesCharacterDecoding) {
    const std::string pieces[] = {"\xC3\xA9",     "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
                                  "\x80",         "\xC3",         "\xE2\x82",
                                  "\xED\xA0\x80", "\xC0\xAF",     std::string(1, '\0')};
    auto oneByOne = [](std::string_view text, size_t room, size_t& used) {
        std::u16string out;
        const auto* p = reinterpret_cast<const uint8_t*>(text.data());
        for (used = 0; used < text.size() && out.size() < room;) {
            char16_t c;
            used += DecodeUtf8Character(p + used, text.size() - used, true, c);
            out += c;
        }
        return out;
    };
    for (const std::string& piece : pieces) {
        for (size_t before = 0; before <= 40; before += 3) {
            // ASCII before and after the piece, the piece again, and a tail that ends inside it.
            std::string text(before, 'a');
            text += piece + std::string(33 - before % 17, 'b') + piece + "cd" + piece;
            text.resize(text.size() - 1);
            for (size_t room : {text.size(), before + 1, size_t(17), size_t(0)}) {
                size_t wantUsed = 0, used = 0;
                const std::u16string want = oneByOne(text, room, wantUsed);
                std::u16string got(room, u'#');
                got.resize(DecodeUtf8Text(reinterpret_cast<const uint8_t*>(text.data()),
                                          text.size(), got.data(), room, used));
                EXPECT_EQ(got, want) << "piece " << &piece - pieces << " after " << before;
                EXPECT_EQ(used, wantUsed);
            }
        }
    }
    EXPECT_EQ(Utf8ToUtf16("caf\xC3\xA9 \xE2\x82\xAC\x35 \xF0\x9F\x98\x80"),
              u"caf\u00E9 \u20AC5 \uFFFD");
    EXPECT_EQ(Utf8AsciiRun(reinterpret_cast<const uint8_t*>("abcdefghij\xC3\xA9"), 12), 10u);
}

TEST(BaseLayerTest, ReferenceNamesAsWritten) {
    const HtmlEntity* e = FindHtmlEntity("eacute;");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->first, U'\u00E9');
    ASSERT_NE(FindHtmlEntity("eacute"), nullptr);  // the older form without ";"
    EXPECT_EQ(FindHtmlEntity("check"), nullptr);   // only the older names go without it
    EXPECT_EQ(FindHtmlEntity("Eacute;")->first, U'\u00C9');
    const HtmlEntity* two = FindHtmlEntity("NotEqualTilde;");
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->second, U'\u0338');
    EXPECT_EQ(FindHtmlEntity("notaname;"), nullptr);
    EXPECT_EQ(FindHtmlEntity(""), nullptr);
}

}  // namespace pagewick
