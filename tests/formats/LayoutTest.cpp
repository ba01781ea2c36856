#include <gtest/gtest.h>

#include <sstream>

#include "support/BookFixture.h"

namespace pagewick::test {
namespace {

using Lines = std::vector<std::string>;

TEST(LayoutTest, WordsWrapAtTheRightEdge) {
    TestBook book("one two three four five six");
    EXPECT_FALSE(book.doc.MarkupMode);
    // Ten characters of 10 pixels fill a 100-pixel line; a word that would reach the edge moves.
    EXPECT_EQ(book.Lines(0), (Lines{"one two ", "three ", "four five ", "six"}));
}

TEST(LayoutTest, AWordWiderThanTheLineIsBrokenAtTheLineWidth) {
    TestBook book("abcdefghijklmnopqrstuvwxyz end");
    Lines lines = book.Lines(0);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "abcdefghijk");
    EXPECT_EQ(lines[1], "lmnopqrstuv");
    EXPECT_EQ(lines[2], "wxyz end");
}

TEST(LayoutTest, PlainTextKeepsLineBreaksAndJoinsThemOnRequest) {
    std::string text = "a b\nc d.\ne\n\nf";
    TestBook plain(text);
    EXPECT_EQ(plain.Lines(0), (Lines{"a b", "c d.", "e", "", "f"}));

    TestBook joined(text);
    joined.doc.JoinLines = 1;
    // A single break joins; a break after a full stop stays; a blank line always breaks.
    EXPECT_EQ(joined.Lines(0), (Lines{"a b c d.", "e ", "f"}));
    // A closing quote after the full stop ends the sentence too, as a byte of the code page or
    // as the reference that names it.
    for (const char* quote : {"\x94", "&rdquo;"}) {
        TestBook html(std::string("<html>a b.") + quote + "<br>c<br>d", "q.htm", 200);
        html.doc.JoinLines = 1;
        EXPECT_EQ(html.Lines(0), (Lines{" a b.\u201D", "c d"})) << quote;
    }
}

TEST(LayoutTest, HtmlCollapsesSpacesAndBreaksAtParagraphs) {
    TestBook book("<html><body>a   b\r\n  c<p>d<br>e</p>f&amp;g</body>");
    ASSERT_TRUE(book.doc.MarkupMode);
    // "<html>" itself breaks the first line; "</body>" the last.
    EXPECT_EQ(book.Lines(0), (Lines{"", "a b c", "d", "ef&g", ""}));
}

TEST(LayoutTest, EntitiesProduceTheirCharacters) {
    TestBook book("<html>x&hellip;y &trade; &#65;&bogus;B");
    EXPECT_EQ(book.Lines(0), (Lines{"", "x\u2026y \u2122 AB"}));
}

TEST(LayoutTest, HeadOfAnyLengthIsNeverShownAndGivesTheTitle) {
    std::string head = "<html><head><title>My Book</title><meta x=y>";
    head += std::string(5000, 'h');
    head += "<style>p {}</style></head><body>text</body>";
    TestBook book(head);
    Lines lines = book.Lines(0);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "text"), 1);
    for (const auto& line : lines)
        EXPECT_EQ(line.find('h'), std::string::npos) << line;
    EXPECT_EQ(book.doc.DocumentTitle, "My Book");
}

TEST(LayoutTest, ForcedPageBreaksNeverMakeEmptyPages) {
    TestBook book("<newpage>one<br>two<newpage><newpage>three<html>", "b.htm", 100, 200);
    EXPECT_EQ(book.AllPages(), "one two|three|");
    EXPECT_EQ(book.doc.LastPage, 2);
}

TEST(LayoutTest, CentringByParagraphEndsWithTheParagraphOnly) {
    TestBook book("<html><p align=center>ab</p><br>cd<br><center>ef</p>gh</center>ij", "b.htm", 100,
                  300);
    EXPECT_EQ(book.Lines(0), (Lines{"", "", "ab", "cd", "efgh", "ij"}));
    // Centred lines start at half of the free room: (100 - 20) / 2.
    std::map<std::string, int> x;
    for (const auto& t : book.dc.texts)
        x[Utf8(t.text)] = t.x;
    EXPECT_EQ(x["ab"], 40);
    EXPECT_EQ(x["cd"], 0);
    EXPECT_EQ(x["efgh"], 30);
    EXPECT_EQ(x["ij"], 0);
}

TEST(LayoutTest, TheLastWordWithoutLineBreakIsShownAndTheEndIsFound) {
    TestBook book("aaaa bbbb cccc dddd eeee ffff gggg", "t.txt", 100, 45);
    // Two lines of 15 pixels fit under 45; three pages of text and the empty end page.
    EXPECT_EQ(book.AllPages(), "aaaa bbbb cccc dddd|eeee ffff gggg|");
    EXPECT_EQ(book.doc.LastPage, 2);
    EXPECT_EQ(book.doc.PageStarts, (std::vector<int32_t>{0, 20, 34}));
}

TEST(LayoutTest, WidthsOfWideAndSpecialCodes) {
    std::u16string text = u"\u012C\u07D0";  // 300 and 2000
    TestBook book(Utf16Bytes(text), "w.txt", 1000, 100);
    book.dc.widths[u','] = 3;  // 300 % 256 == 44
    book.dc.widths[u'X'] = 7;
    book.doc.InvalidateWidths();
    book.doc.BuildWidthTable(&book.dc);
    ASSERT_TRUE(book.doc.Wide);
    EXPECT_EQ(book.doc.CharWidth(300), 3);
    EXPECT_EQ(book.doc.CharWidth(2000), 7);
    EXPECT_EQ(book.doc.WidthCount, 1168);

    TestBook narrow("<html><b>a&#8211;b</b>", "n.htm", 1000, 100);
    narrow.dc.widths[u'X'] = 7;
    narrow.doc.InvalidateWidths();
    narrow.doc.BuildWidthTable(&narrow.dc);
    ASSERT_EQ(narrow.Lines(0).back(), "a\u2013b");
    // The dash (8211, beyond the 8-bit table) is measured as two "X": 14, plus 1 for bold.
    ASSERT_EQ(narrow.dc.texts.back().text, u"b");
    EXPECT_EQ(narrow.dc.texts.back().x, 11 + 15);
}

TEST(LayoutTest, RealFontsMeasureEveryCharacterWithItsOwnWidth) {
    // The same codes as above on a surface of real fonts: 300 and 2000 are themselves, the dash
    // its own width with nothing added, and each code past the table is measured once.
    std::u16string text = u"\u012C\u07D0";
    TestBook book(Utf16Bytes(text), "w.txt", 1000, 100);
    book.dc.ownWidths = true;
    book.dc.widths = {{u',', 3}, {u'X', 7}, {u'\u012C', 9}, {u'\u07D0', 4}};
    book.doc.InvalidateWidths();
    book.doc.BuildWidthTable(&book.dc);
    ASSERT_TRUE(book.doc.OwnWidths);
    EXPECT_EQ(book.doc.CharWidth(300), 9);
    EXPECT_EQ(book.doc.CharWidth(2000), 4);
    EXPECT_EQ(book.doc.CharWidth(2000), 4);
    EXPECT_EQ(book.dc.measured, 2);
    EXPECT_EQ(book.Lines(0), (Lines{"\u012C\u07D0"}));

    // 8-bit text: what references give past the code page is measured and drawn as itself, so
    // the text after it lands where the characters end (no gap on a justified line).
    TestBook narrow("<html><b>a&#8211;b</b> &lsquo;q&rsquo; x", "n.htm", 1000, 100);
    narrow.dc.ownWidths = true;
    narrow.dc.widths = {{u'X', 7}, {u'\u2013', 5}, {u'\u2018', 3}, {u'\u2019', 3}};
    narrow.doc.InvalidateWidths();
    narrow.doc.BuildWidthTable(&narrow.dc);
    narrow.doc.Justified = 1;
    ASSERT_EQ(narrow.Lines(0).back(), "a\u2013b \u2018q\u2019 x");
    std::map<std::u16string, int> x;
    for (const auto& t : narrow.dc.texts)
        x[t.text] = t.x;
    EXPECT_EQ(x[u"b"], 11 + 6);                 // "a" and the dash, each a pixel more for bold
    EXPECT_EQ(x[u"\u2019"], 28 + 10 + 3 + 10);  // after "b", the space, the quote, "q"
    EXPECT_EQ(narrow.doc.LayoutWidth(8211), 5);
}

TEST(LayoutTest, StylesAddAPixelAndDrawPerCharacter) {
    TestBook book("<html><b>ab</b>c", "s.htm", 1000, 100);
    Lines lines = book.Lines(0);
    ASSERT_EQ(lines.back(), "abc");
    std::vector<int> xs;
    std::vector<bool> bold;
    for (const auto& t : book.dc.texts) {
        if (t.text.empty()) continue;
        xs.push_back(t.x);
        bold.push_back(t.font.bold);
    }
    // Bold characters are 11 pixels wide and are drawn one by one.
    EXPECT_EQ(xs, (std::vector<int>{0, 11, 22}));
    EXPECT_EQ(bold, (std::vector<bool>{true, true, false}));
}

TEST(LayoutTest, EveryWordOfALongBookLandsOnExactlyOnePage) {
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "w" + std::to_string(i) + ((i % 7 == 0) ? "\n" : " ");
    TestBook book(text, "long.txt", 120, 80);
    std::string pages = book.AllPages();
    std::string words;
    for (char c : pages)
        words += (c == '|' ? ' ' : c);
    std::istringstream in(words);
    std::string word;
    int expected = 0;
    while (in >> word) {
        ASSERT_EQ(word, "w" + std::to_string(expected)) << "page text lost or repeated a word";
        ++expected;
    }
    EXPECT_EQ(expected, 3000);
    EXPECT_GT(book.doc.LastPage, 100);
}

TEST(LayoutTest, TabsBecomeSpacesAndZeroWidthTextNeverOverflowsTheBuffers) {
    TestBook tabs("a\tb", "t.txt", 1000, 100);
    tabs.doc.TabSize = 3;
    tabs.Lines(0);
    ASSERT_EQ(tabs.dc.texts.size(), 1u);
    EXPECT_EQ(Utf8(tabs.dc.texts[0].text), "a    b");  // the tab and three pending spaces

    // Characters of no width: words stop at 512 characters and lines at 1,024.
    TestBook thin(std::string(3000, 'a') + " end", "z.txt", 100, 1000);
    thin.dc.widths[u'a'] = 0;
    thin.doc.InvalidateWidths();
    thin.doc.BuildWidthTable(&thin.dc);
    std::vector<std::string> lines = thin.Lines(0);
    size_t total = 0;
    for (const auto& line : lines) {
        EXPECT_LE(line.size(), 1024u);
        total += size_t(std::count(line.begin(), line.end(), 'a'));
    }
    EXPECT_EQ(total, 3000u);
    EXPECT_EQ(lines.back().substr(lines.back().size() - 4), " end");
}

TEST(LayoutTest, PaginateToStopsAtTheTarget) {
    std::string text(20000, 'a');
    for (size_t i = 5; i < text.size(); i += 6)
        text[i] = ' ';
    TestBook book(text, "a.txt", 100, 100);
    book.doc.PaginateTo(5);
    EXPECT_EQ(book.doc.PageStarts.size(), 7u);
    EXPECT_EQ(book.doc.CurrentPage, 0);
    book.doc.CurrentPage = 5;
    book.doc.PaginateTo(-8);  // from the current page on
    EXPECT_EQ(book.doc.PageStarts.size(), 10u);
    EXPECT_EQ(book.doc.CurrentPage, 5);
}

}  // namespace
}  // namespace pagewick::test
