#include <gtest/gtest.h>

#include "library/PlainText.h"
#include "support/BookFixture.h"

namespace pagewick::test {

// Characters past 16 bits come as pairs of halves: each pair is one character of the text, a
// half without its other half is U+FFFD, and nothing else moves.
TEST(PlainTextTest, PairsOfHalvesAreOneCharacter) {
    const std::u16string book = u"a\U0001F600b \xD83D x\xDE00y\xD83D";
    TestBook b(Utf16Bytes(book), "book.txt");
    std::string text;
    ASSERT_TRUE(WriteBookText(b.doc, [&](std::string_view piece) {
        text += piece;
        return true;
    }));
    // The text begins with the book's byte-order mark, as the book does.
    EXPECT_EQ(text,
              "\xEF\xBB\xBF"
              "a\xF0\x9F\x98\x80"
              "b \xEF\xBF\xBD x\xEF\xBF\xBDy\xEF\xBF\xBD\n");
}

}  // namespace pagewick::test
