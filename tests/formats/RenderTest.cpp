#include <gtest/gtest.h>

#include <algorithm>

#include "engine/PaginationFile.h"
#include "support/BookFixture.h"

namespace pagewick::test {
namespace {

std::vector<int> XsOf(const RecordingSurface& dc, int y) {
    std::vector<int> xs;
    for (const auto& t : dc.texts)
        if (t.y == y && !t.text.empty()) xs.push_back(t.x);
    return xs;
}

bool HasCall(const RecordingSurface& dc, const std::string& prefix) {
    return std::any_of(dc.calls.begin(), dc.calls.end(),
                       [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
}

TEST(RenderTest, PlainLinesAreJustifiedInPiecesButNotAtParagraphEnds) {
    TestBook book("aaaa bbbb ccc\nend", "j.txt");
    book.doc.Justified = 1;
    std::vector<std::string> lines = book.Lines(0);
    ASSERT_EQ(lines.size(), 3u);
    // 9 characters, 10 pixels of slack: one-character pieces, each moved by 10/9 of a pixel more.
    EXPECT_EQ(XsOf(book.dc, 0), (std::vector<int>{0, 11, 22, 33, 44, 55, 66, 77, 88}));
    EXPECT_EQ(XsOf(book.dc, 15), (std::vector<int>{0}));  // ended by a line break: one piece
    // The last line of a text without a final line break is not spread either ("H  i  ."),
    // plain or styled, and justification never moves a page break.
    for (const char* text : {"aaaa bbbb ccc Hi.", "<html>aaaa bbbb ccc <b>Hi.</b>"}) {
        TestBook last(text, *text == '<' ? "l.htm" : "l.txt");
        last.doc.Justified = 1;
        ASSERT_EQ(last.Lines(0).back(), "ccc Hi.") << text;
        std::vector<int> xs = XsOf(last.dc, last.dc.texts.back().y);
        EXPECT_EQ(xs.front(), 0) << text;
        EXPECT_LE(xs.back(), 62) << text;  // "." where it falls unstretched, not near the edge
        std::vector<int32_t> starts = (last.AllPages(), last.doc.PageStarts);
        last.doc.Justified = 0;
        last.doc.ResetPagination();
        last.AllPages();
        EXPECT_EQ(last.doc.PageStarts, starts) << text;
    }
}

TEST(RenderTest, RightAlignmentEndsAtTheEdgeAndQuotesCentreRightOfTheIndent) {
    TestBook book("<html><right>abc</right><blockquote><center>xy</center></blockquote>", "r.htm",
                  200, 200);
    book.Lines(0);
    std::map<std::string, int> x;
    for (const auto& t : book.dc.texts)
        x[Utf8(t.text)] = t.x;
    EXPECT_EQ(x["abc"], 200 - 30);
    // Indent of five spaces (50), then half of the room left: (200 - 20 - 50) / 2.
    EXPECT_EQ(x["xy"], 50 + 65);
}

TEST(RenderTest, StyledLinesStretchPerCharacterAndLinksGetTheirBoxes) {
    TestBook book("<html><a href=\"mailto:me@x\">m</a> <b>bold words here</b>", "l.htm", 300, 200);
    book.doc.Justified = 1;
    std::vector<std::string> lines = book.Lines(0);
    ASSERT_GE(lines.size(), 2u);
    // The tag's own space and the marker carry the link style.
    EXPECT_EQ(lines[1].rfind(" <<EMAIL>> m", 0), 0u) << lines[1];
    ASSERT_EQ(book.doc.Links.size(), 1u);
    const LinkRecord& link = book.doc.Links[0];
    EXPECT_EQ(link.target, "mailto:me@x");
    EXPECT_TRUE(link.rectValid);
    // Eleven link characters of width 10; drawn 12 apart (the justification adds 2 each).
    EXPECT_EQ(link.hit.left, 0);
    EXPECT_EQ(link.hit.right - link.hit.left, 11 * 10);
    EXPECT_EQ(link.hit.bottom - link.hit.top, book.doc.LineHeight);
    EXPECT_TRUE(HasCall(book.dc, "fill 0,15,12,30 13158500"));  // link brush (100, 200, 200)
    EXPECT_TRUE(HasCall(book.dc, "text 12,15 <"));
    EXPECT_FALSE(HasCall(book.dc, "fill 132,15"));  // the link's own text has no box
}

TEST(RenderTest, AnAmpersandIsDrawnOnce) {
    TestBook book("<html>a &amp; b", "a.htm");
    EXPECT_EQ(book.Lines(0).back(), "a & b");
}

TEST(RenderTest, DecorationsShowBookmarkPositionAndNumber) {
    std::string text;
    for (int i = 0; i < 400; ++i)
        text += "word ";
    TestBook book(text, "d.txt", 200, 100);
    book.doc.LeftEdge = 10;
    book.doc.RightEdge = 190;
    book.doc.TopEdge = 5;
    book.doc.ShowPositionBar = 1;
    book.doc.ShowPageNumber = 1;
    int pages = book.PageCount();
    ASSERT_GT(pages, 4);

    book.Lines(0);
    // Frame from the left edge to 26 before the right edge, no fill on the first page.
    EXPECT_TRUE(HasCall(book.dc, "frame 10,87,164,94 pen 0/0 nobrush")) << book.dc.calls.back();
    EXPECT_FALSE(HasCall(book.dc, "frame 11,88"));
    EXPECT_FALSE(HasCall(book.dc, "line 1,0,1,100"));

    int half = 0;
    while (book.doc.PageStarts[size_t(half) + 1] * 2 <= int32_t(book.doc.TextLength))
        ++half;
    book.doc.CurrentPage = half;
    book.doc.SetBookmark(0);
    book.dc.calls.clear();
    book.Lines(half);
    EXPECT_TRUE(HasCall(book.dc, "line 1,0,1,100 pen 192/2"));  // red bookmark mark
    double fraction = double(book.doc.PageStarts[size_t(half)]) / book.doc.TextLength;
    int right = 11 + int((162 - 11 + 1) * fraction);
    EXPECT_TRUE(HasCall(book.dc, "frame 11,88," + std::to_string(right) + ",93"));
    std::string number = std::to_string(half + 1);
    EXPECT_TRUE(HasCall(book.dc,
                        "text " + std::to_string(189 - 10 * int(number.size())) + ",85 " + number));

    // Without the bar, the title stands left of the number.
    book.doc.ShowPositionBar = 0;
    book.doc.DocumentTitle = "Tale";
    book.dc.calls.clear();
    book.Lines(half);
    EXPECT_TRUE(HasCall(book.dc, "text 10,85 Tale"));
}

TEST(RenderTest, TheFollowingPageIsDrawnWithoutTurning) {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "w" + std::to_string(i) + " ";
    TestBook book(text, "f.txt");
    book.Lines(0);
    book.dc.texts.clear();
    book.doc.LayoutFollowingPage(&book.dc, false);
    EXPECT_EQ(book.doc.CurrentPage, 0);
    ASSERT_FALSE(book.dc.texts.empty());
    int32_t start = book.doc.PageStarts[1];
    EXPECT_EQ(Utf8(book.dc.texts[0].text).substr(0, 2), text.substr(size_t(start), 2));
}

TEST(RenderTest, DrawingTheFollowingPageNeverMovesTheSnapshotAhead) {
    // Tiny pages over more text than one window pair holds: somewhere the page drawn ahead is
    // the first to need a new window, and the snapshot written then must name the page read.
    std::string text;
    for (int i = 0; text.size() < 80000; ++i)
        text += "w" + std::to_string(i) + " ";
    PlacedBook book(text);
    const std::string snapshot = book.doc.PaginationPath + "2";
    int checked = 0;
    for (int page = 0; page < 5000; ++page) {
        book.Lines(page);
        const int32_t following = page + 1;
        if (following >= int32_t(book.doc.PageStarts.size()) ||
            (book.doc.LastPage != kLastPageUnknown && following > book.doc.LastPage - 1))
            break;
        book.doc.LayoutFollowingPage(&book.dc, false);
        std::string bytes;
        ASSERT_TRUE(ReadPaginationBytes(snapshot, bytes));
        PaginationCursor in(bytes);
        int32_t version = 0, saved = -1;
        ASSERT_TRUE(in.ReadInt(version) && in.ReadInt(saved));
        ASSERT_LE(saved, page) << "the snapshot names the page drawn ahead";
        ++checked;
    }
    EXPECT_GT(checked, 1000);
}

}  // namespace
}  // namespace pagewick::test
