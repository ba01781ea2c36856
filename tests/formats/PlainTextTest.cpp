#include <gtest/gtest.h>

#include "engine/ShownText.h"
#include "library/PlainText.h"
#include "support/BookFixture.h"
#include "support/BookText.h"

namespace pagewick::test {

// Characters past 16 bits come as pairs of halves: each pair is one character of the text, a
// half without its other half is U+FFFD, and nothing else moves.
TEST(PlainTextTest, PairsOfHalvesAreOneCharacter) {
    const std::u16string book = u"a\U0001F600b \xD83D x\xDE00y\xD83D";
    TestBook b(Utf16Bytes(book), "book.txt");
    std::string text;
    ASSERT_TRUE(WholeBookText(b.doc, text));
    // The text begins with the book's byte-order mark, as the book does.
    EXPECT_EQ(text,
              "\xEF\xBB\xBF"
              "a\xF0\x9F\x98\x80"
              "b \xEF\xBF\xBD x\xEF\xBF\xBDy\xEF\xBF\xBD\n");
}

// An HTML book, in the code page and in UTF-8, whose tags, references, comments, hidden parts
// and preformatted text fall across the windows' edges wherever the padding before each copy
// puts them: the text is the same every time.
TEST(PlainTextTest, MarkupAcrossWindowEdgesInBothWidths) {
    const std::string block =
        "<p>Word <b>bold</b> &amp; &copy2024 &bogus; caf&eacute; soft\xADhyphen "
        "<a href=\"x>y\" title='q'>link</a> <!-- a comment > with <b>tags</b> --> after"
        "<span data-long=\"" +
        std::string(5000, 'z') +
        "\">long</span> <script>var a = \"<p>never</p>\";</script><style>p { x: 1 }</style>"
        "<pre>  two  spaces\tand tab\nnext line</pre>  lots   of\n\nspace</p>";
    const std::string shown =
        "Word bold & \xC2\xA9"
        "2024 &bogus; caf\xC3\xA9 softhyphen link afterlong\n\n  two  spaces\tand tab\nnext "
        "line\n\nlots of space";
    for (const bool utf8 : {false, true}) {
        std::string html = "<html><head>";
        if (utf8) html += "<meta charset=\"utf-8\">";
        html += "<title>T</title><style>hidden</style></head><body>";
        std::string expected;
        for (int i = 0; i < 12; ++i) {
            html += std::string(size_t(i) * 331, 'x') + block;
            if (i > 0) expected += std::string(size_t(i) * 331, 'x') + "\n\n";
            expected += shown + (i < 11 ? "\n\n" : "\n");
        }
        html += "</body></html>";
        if (utf8) {
            for (size_t at = html.find('\xAD'); at != std::string::npos;
                 at = html.find('\xAD', at + 2))
                html.replace(at, 1, "\xC2\xAD");
        }
        TestBook b(html, "book.htm");
        ASSERT_EQ(b.doc.Utf8, utf8);
        std::string text;
        ASSERT_TRUE(WholeBookText(b.doc, text));
        EXPECT_EQ(text, expected) << (utf8 ? "UTF-8" : "code page");
    }
}

// Any range of words: white space inside it gathers into single spaces, and none is written
// before its first character or after its last.
// Plain ASCII is taken in blocks of eight or sixteen characters: white space that must gather
// into one space, wherever it falls against a block's edges, still does; a tag name longer than
// the part of a tag that is kept acts as no tag, and a comment ends at the first "-->" however
// many dashes lead to it.
TEST(PlainTextTest, WhiteSpaceAndTagsAtTheEdgesOfBlocks) {
    std::string html = "<html><body>";
    std::string expected;
    for (size_t at = 0; at < 40; ++at) {
        html += "<p>" + std::string(at, 'x') + "  " + std::string(40 - at, 'y') + " z \t w</p>";
        expected +=
            std::string(at, 'x') + (at > 0 ? " " : "") + std::string(40 - at, 'y') + " z w\n\n";
    }
    html += "<p>a<p" + std::string(40, 'q') + ">b<blockquote" + std::string(2, ' ') +
            ">c<!---- x --- y ----->d<!-->e-->f</p></body></html>";
    expected += "ab\n\ncdf\n";
    // A UTF-8 book is laid out from 16-bit windows, a code-page book from 8-bit ones.
    for (const bool wide : {false, true}) {
        TestBook b(wide ? "<meta charset=\"utf-8\">" + html : html, "book.htm");
        ASSERT_EQ(b.doc.Wide, wide);
        std::string text;
        ASSERT_TRUE(WholeBookText(b.doc, text));
        EXPECT_EQ(text, expected) << (wide ? "16-bit" : "8-bit");
    }
}

TEST(PlainTextTest, RangesOfWordsKeepTheirSpacesInside) {
    const std::string words = "one two  three\tfour a b\n cd e";
    TestBook b("<html><body><p>" + words + "</p></body></html>", "book.htm");
    const int32_t at = 15;  // after "<html><body><p>"
    auto gathered = [](std::string_view text) {
        std::string out;
        bool space = false;
        for (char c : text) {
            if (c == ' ' || c == '\t' || c == '\n') {
                space = !out.empty();
            } else {
                if (space) out += ' ';
                out += c;
                space = false;
            }
        }
        return out;
    };
    for (size_t first = 0; first < words.size(); ++first) {
        for (size_t end = first + 1; end <= words.size(); ++end) {
            std::string text;
            ASSERT_TRUE(WriteShownText(b.doc, at + int32_t(first), at + int32_t(end),
                                       [&](std::string_view piece) {
                                           text += piece;
                                           return true;
                                       }));
            EXPECT_EQ(text, gathered(std::string_view(words).substr(first, end - first)))
                << first << " to " << end;
        }
    }
}

}  // namespace pagewick::test
