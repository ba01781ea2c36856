// HTML as people write it, walked through one book: big heads, style sheets and scripts, stray
// ampersands, comments, over-long tags, styled words that wrap, and the last code-page letter.
#include <gtest/gtest.h>

#include "engine/FixedSurface.h"
#include "support/BookFixture.h"

namespace pagewick::test {
namespace {

using Lines = std::vector<std::string>;

std::string Css(size_t bytes) {
    std::string css;
    while (css.size() < bytes)
        css += "div.note > p { margin: 0 1em; content: \"<hidden>\"; }\n";
    return css;
}

TEST(HtmlBookTest, ARealWorldPageReadsThroughToItsEnd) {
    std::string html = "<html><head><title>" + std::string(1500, 'T') + "</title>\n";
    html += "<style type=\"text/css\">" + Css(6000) + "</style>\n";
    html += "<script>if (a < b && c > d) { x = '<p>'; }</script>\n";
    html += "<meta name=\"description\" content=\"" + std::string(2000, 'm') + "\">\n";
    html += "</head><body><header>Top</header>\n";
    html += "<p>AT&T Q&A fish & chips&hellip;R&D<br>\n";
    html += "<script type=\"text/javascript\">if (a < b) document.write(\"<b>no</b>\");</script>";
    html += "<!-- old <p>gone</p> --->kept <x-wide " + std::string(2000, 'z') + ">after\n";
    html += "<p>&AMP;&#65;&thisnameislongerthananyhtmlreference;<style>" + Css(3000) +
            "</STYLE>one\xFFtwo\n";
    html += "<p>xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx <b>wrapped</b> plain\n";
    html += "<p>last&T";
    TestBook book(html, "real.htm", 400, 2000);
    ASSERT_TRUE(book.doc.MarkupMode);

    EXPECT_EQ(book.Lines(0),
              (Lines{"", "", "Top ", "AT&T Q&A fish & chips\u2026R&D", "kept after ",
                     "&A&thisnameislongerthananyhtmlreference;o", "ne\u00FFtwo ",
                     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", "wrapped plain", "last&T"}));
    // The title is kept, its first 1,023 characters at most; nothing of the head is shown.
    EXPECT_EQ(book.doc.DocumentTitle, std::string(1023, 'T'));

    // The bold word that wrapped is drawn bold on its new line though nothing else there is.
    bool boldW = false;
    for (const auto& t : book.dc.texts)
        if (t.text == u"w") boldW = t.font.bold;
    EXPECT_TRUE(boldW);

    // A head whose end tag was left out ends where the body begins.
    TestBook open("<html><head><title>t</title><body class=x>shown", "open.htm");
    EXPECT_EQ(open.Lines(0), (Lines{"", "shown"}));

    // Measured with fixed metrics, the whole book lays out and its end is found.
    FixedSurface fixed;
    book.doc.InvalidateWidths();
    book.doc.BuildWidthTable(&fixed);
    book.doc.PaginateTo(1000);
    EXPECT_NE(book.doc.LastPage, kLastPageUnknown);
}

TEST(HtmlBookTest, TheLastCodePageLetterIsTextInBothWidths) {
    TestBook narrow(
        "a\xFF"
        "b c\xFF",
        "n.txt");
    EXPECT_EQ(narrow.Lines(0), (Lines{"a\u00FFb c\u00FF"}));
    TestBook wide(Utf16Bytes(u"a\u00FFb c"), "w.txt");
    EXPECT_EQ(wide.Lines(0), (Lines{"a\u00FFb c"}));
}

TEST(HtmlBookTest, ReferencesGiveTheirCharactersInBothWidths) {
    // The same page as an 8-bit (Windows-1252) file and as a UTF-8 one, read as 16-bit text.
    const std::string page =
        "<html><head><title>Caf&eacute; &amp; Co</title></head><body>"
        "Caf&eacute; &rsquo;q&rsquo; &#x2014;&#8212;&Omega;&alpha;<br>"
        "&amp chips &copy2024 &notit; AT&T &#150;<br>"
        "&NotEqualTilde;&Afr;&#x1F600;&bogus;&#7;.<br>";
    const std::string expected[] = {
        "", "Caf\u00E9 \u2019q\u2019 \u2014\u2014\u03A9\u03B1",
        "& chips \u00A92024 \u00ACit; AT&T \u2013",
        // Two characters for one name; past 16 bits the replacement character, shown (as every
        // code from 9,703 up) as a hollow square.
        "\u2242\u0338\u25A1\u25A1.", "\u201Cy\u201D"};
    TestBook narrow(page + "\x93y\x94", "n.htm", 1000, 200);
    TestBook wide(page + "\xE2\x80\x9Cy\xE2\x80\x9D", "w.htm", 1000, 200);
    ASSERT_FALSE(narrow.doc.Wide);
    ASSERT_TRUE(wide.doc.Wide);
    for (TestBook* book : {&narrow, &wide}) {
        EXPECT_EQ(book->Lines(0), (Lines(std::begin(expected), std::end(expected))));
        EXPECT_EQ(book->doc.DocumentTitle, "Caf\u00E9 & Co");
    }
    // 8-bit text keeps code-page bytes and holds what lies past them as Unicode: a search in
    // the code page finds both.
    narrow.doc.SearchText = "caf\xE9 \x92q\x92 \x97";
    narrow.doc.CurrentPage = 0;
    EXPECT_TRUE(narrow.doc.LayoutPage(nullptr, true));
}

}  // namespace
}  // namespace pagewick::test
