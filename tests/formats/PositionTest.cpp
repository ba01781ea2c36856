#include <gtest/gtest.h>

#include "engine/PaginationFile.h"
#include "support/BookFixture.h"

namespace pagewick::test {
namespace {

std::string LongText(int words) {
    std::string text;
    for (int i = 0; i < words; ++i)
        text += "w" + std::to_string(i) + (i % 9 == 8 ? "\n" : " ");
    return text;
}

TEST(PositionTest, ASavedPageTableIsTakenAsItIsAndGivesTheSameFile) {
    const std::string text = LongText(6000);
    PlacedBook fresh(text);
    fresh.doc.PaginateTo(150);
    EXPECT_EQ(fresh.doc.LayoutCount, 151u);

    PlacedBook resumed(text);
    resumed.doc.PaginateTo(60);
    resumed.Reopen();
    ASSERT_EQ(resumed.doc.PageStarts.size(), 62u);
    uint64_t before = resumed.doc.LayoutCount;
    resumed.doc.PaginateTo(150);
    EXPECT_EQ(resumed.doc.LayoutCount - before, 90u);  // pages 61 to 150, the rest were held
    EXPECT_EQ(resumed.doc.PageStarts, fresh.doc.PageStarts);
    EXPECT_EQ(resumed.doc.PageStates, fresh.doc.PageStates);
    EXPECT_EQ(resumed.doc.PageCarry, fresh.doc.PageCarry);
    before = resumed.doc.LayoutCount;
    resumed.doc.PaginateTo(100);
    EXPECT_EQ(resumed.doc.LayoutCount, before);

    fresh.doc.CloseBook();
    resumed.doc.CloseBook();
    EXPECT_EQ(ReadFileBytes(resumed.dir / "book.txt.pwk"),
              ReadFileBytes(fresh.dir / "book.txt.pwk"));
}

TEST(PositionTest, TheSnapshotIsWrittenWhenThePlaceChangesNotAtEveryWindowRead) {
    PlacedBook book(LongText(20000));  // about 30 windows
    const std::filesystem::path snapshot = book.doc.PaginationPath + "2";
    ASSERT_TRUE(std::filesystem::exists(snapshot));
    AgeFile(snapshot);
    for (uint32_t at = 0; at < book.doc.CharCount(); at += 1000)
        book.doc.GetChar(int32_t(at));
    book.doc.PaginateTo(400);  // measuring moves through pages, the reader stays on page 0
    EXPECT_FALSE(WrittenSinceAged(snapshot));

    while (book.doc.CurrentPage < 300)
        book.doc.NextPage();  // the reader's page moves and windows are read
    EXPECT_TRUE(WrittenSinceAged(snapshot));
    std::vector<uint8_t> bytes = ReadFileBytes(snapshot);
    ASSERT_GE(bytes.size(), 8u);
    int32_t page = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24;
    EXPECT_GT(page, 200);
    EXPECT_LE(page, 300);

    AgeFile(snapshot);
    book.doc.SetBookmark(1);
    EXPECT_TRUE(WrittenSinceAged(snapshot));
}

TEST(PositionTest, PlaceBookmarksPagesAndAnchorsSurviveReopening) {
    PlacedBook book(LongText(400));
    book.doc.PaginateTo(10);
    book.doc.CurrentPage = 7;
    book.doc.SetBookmark(2);
    book.doc.Anchors.push_back({"ch1.htm#\xE9t\xE9", 123});
    book.doc.DocumentTitle = "Caf\xC3\xA9 Stories \xCE\xB1";  // UTF-8, kept as UTF-16
    std::vector<int32_t> starts = book.doc.PageStarts;
    int32_t mark = book.doc.PageStarts[7];
    EXPECT_TRUE(std::filesystem::exists(book.doc.PaginationPath + "2"));  // snapshot

    book.Reopen();
    EXPECT_EQ(book.doc.CurrentPage, 7);
    EXPECT_EQ(book.doc.PageStarts, starts);
    EXPECT_EQ(book.doc.Bookmarks[2], mark);
    EXPECT_EQ(book.doc.Bookmarks[0], -1);
    EXPECT_EQ(book.doc.LastPage, kLastPageUnknown);  // found again by layout
    ASSERT_EQ(book.doc.Anchors.size(), 1u);
    EXPECT_EQ(book.doc.Anchors[0].name, "ch1.htm#\xE9t\xE9");
    EXPECT_EQ(book.doc.Anchors[0].offset, 123);
    EXPECT_EQ(book.doc.DocumentTitle, "Caf\xC3\xA9 Stories \xCE\xB1");
    // No temporary file is left beside the book.
    int files = 0;
    for (auto& entry : std::filesystem::directory_iterator(book.dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 3);
}

TEST(PositionTest, TheFileLayoutIsExact) {
    PlacedBook book("<html>one two");
    book.doc.DocumentTitle = "T\xC3\xA9";
    book.doc.PageCarry.assign(1, u"a\u00E9");
    book.doc.LayoutSignature = 0x01020304;
    book.doc.CloseBook();
    std::string bytes = ReadFileText(book.dir / "book.txt.pwk");
    auto word = [&](size_t at) {
        return uint32_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8 |
                        uint8_t(bytes[at + 2]) << 16 | uint8_t(bytes[at + 3]) << 24);
    };
    EXPECT_EQ(word(0), 5u);
    EXPECT_EQ(word(4), 2u);                                      // title characters
    EXPECT_EQ(bytes.substr(8, 4), std::string("T\0\xE9\0", 4));  // UTF-16 title
    EXPECT_EQ(word(16), uint32_t(kLastPageUnknown));
    EXPECT_EQ(word(20), 0xFFFFFFFFu);                               // bookmark not set
    EXPECT_EQ(word(40), 13u);                                       // text length
    EXPECT_EQ(word(48), 0x01020304u);                               // signature
    EXPECT_EQ(word(56), 1u);                                        // pages
    EXPECT_EQ(word(60), 0u);                                        // start of page 0
    EXPECT_EQ(word(64), 0u);                                        // its state
    EXPECT_EQ(word(68), 2u);                                        // carry of two characters
    EXPECT_EQ(bytes.substr(72, 4), std::string("a\0\xE9\xFF", 4));  // FF high byte for 233
    EXPECT_EQ(word(76), 0u);                                        // no anchors
    EXPECT_EQ(bytes.size(), 80u);
}

TEST(PositionTest, AFileCutShortAnywhereNeverBreaksTheBook) {
    PlacedBook book(LongText(300));
    book.doc.PaginateTo(6);
    book.doc.CurrentPage = 5;
    book.doc.SetBookmark(0);
    book.doc.Anchors.push_back({"x#y", 7});
    book.doc.CloseBook();
    std::string full = ReadFileText(book.dir / "book.txt.pwk");
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        WriteFileText(book.dir / "book.txt.pwk", full.substr(0, cut));
        book.doc.PaginationPath = PaginationFilePath(book.doc.BookPath);
        book.Open();
        auto& doc = book.doc;
        ASSERT_GE(doc.PageStarts.size(), 1u) << cut;
        ASSERT_EQ(doc.PageStarts[0], 0) << cut;
        ASSERT_EQ(doc.PageStates.size(), doc.PageStarts.size()) << cut;
        ASSERT_EQ(doc.PageCarry.size(), doc.PageStarts.size()) << cut;
        ASSERT_LT(doc.CurrentPage, int32_t(doc.PageStarts.size())) << cut;
        // Whatever was read, the current page lays out.
        doc.LayoutPage(nullptr, false);
        ASSERT_GE(doc.PageStarts.size(), 2u) << cut;
        doc.PaginationPath.clear();  // do not write the file back
        doc.CloseBook();
    }
}

std::string OldFile(int32_t version, uint32_t textLength, bool withPages) {
    PaginationWriter w;
    w.Int(version);
    if (version >= 4) w.Title("Old");
    w.Int(2);   // current page
    w.Int(99);  // last page, ignored
    if (version >= 2)
        for (int32_t mark : {11, -1, -1, 40})
            w.Int(mark);
    if (version >= 4) w.Int(0);
    w.Int(int32_t(textLength));
    w.Int(0);  // join lines
    w.Int(0);  // signature
    if (version >= 4) {
        w.Int(0);
        w.Int(3);
    }
    if (withPages)
        for (int32_t start : {0, 20, 40})
            w.Int(start);
    if (version >= 4)
        for (int i = 0; i < 3; ++i) {
            w.Int(i == 2 ? kStyleBold : 0);
            if (version >= 5) w.String(std::string_view(""));
        }
    if (version >= 4) w.Int(0);
    return w.Bytes();
}

TEST(PositionTest, EachVersionOfTheFileIsReadByItsRules) {
    std::string text = LongText(200);
    for (int32_t version : {1, 2, 3, 4, 5, 6}) {
        PlacedBook book(text);
        book.doc.PaginationPath.clear();
        book.doc.CloseBook();
        WriteFileText(book.dir / "book.txt.pwk", OldFile(version, uint32_t(text.size()), true));
        book.doc.PaginationPath = PaginationFilePath(book.doc.BookPath);
        book.Open();
        SCOPED_TRACE(version);
        auto& doc = book.doc;
        if (version == 6) {  // a newer file is ignored
            EXPECT_EQ(doc.PageStarts.size(), 1u);
            EXPECT_EQ(doc.Bookmarks[0], -1);
            continue;
        }
        if (version == 2 || version == 3) {  // bookmarks kept, pages measured again
            EXPECT_EQ(doc.Bookmarks[0], 11);
            EXPECT_EQ(doc.Bookmarks[3], 40);
            EXPECT_EQ(doc.PageStarts.size(), 1u);
            EXPECT_EQ(doc.CurrentPage, 0);
            continue;
        }
        EXPECT_EQ(doc.PageStarts, (std::vector<int32_t>{0, 20, 40}));
        EXPECT_EQ(doc.CurrentPage, 2);
        EXPECT_EQ(doc.Bookmarks[0], version >= 2 ? 11 : -1);
        EXPECT_EQ(doc.PageStates[2], version >= 4 ? kStyleBold : 0);
        if (version >= 4) {
            EXPECT_EQ(doc.DocumentTitle, "Old");
        }
    }
}

TEST(PositionTest, AChangedTextLengthStartsAgainAtTheBeginning) {
    std::string text = LongText(200);
    PlacedBook book(text);
    book.doc.PaginationPath.clear();
    book.doc.CloseBook();
    WriteFileText(book.dir / "book.txt.pwk", OldFile(5, uint32_t(text.size()) + 1, true));
    book.doc.PaginationPath = PaginationFilePath(book.doc.BookPath);
    book.Open();
    EXPECT_EQ(book.doc.CurrentPage, 0);
    EXPECT_EQ(book.doc.PageStarts.size(), 1u);
}

TEST(PositionTest, AChangedLayoutReturnsToTheSameText) {
    PlacedBook book(LongText(600));
    book.doc.PaginateTo(30);
    book.doc.CurrentPage = 20;
    int32_t start = book.doc.PageStarts[20];
    book.doc.CloseBook();
    // Reopened with a wider page: another signature.
    book.doc.RightEdge = 150;
    book.doc.LayoutSignature = 77;
    book.doc.PaginationPath = PaginationFilePath(book.doc.BookPath);
    book.Open();
    EXPECT_EQ(book.doc.PendingOffset, start);
    EXPECT_EQ(book.doc.PageStarts.size(), 1u);
    book.Lines(book.doc.CurrentPage);  // the next drawing measures afresh and goes there
    EXPECT_EQ(book.doc.PendingOffset, -1);
    int32_t page = book.doc.CurrentPage;
    EXPECT_LT(page, 20);
    EXPECT_LE(book.doc.PageStarts[size_t(page)], start);
    EXPECT_GT(book.doc.PageStarts[size_t(page) + 1], start);
}

TEST(PositionTest, NavigationStaysOnRealPages) {
    TestBook book(LongText(120), "b.txt");
    int pages = book.PageCount();
    int32_t last = book.doc.LastPage;
    ASSERT_EQ(pages, last + 1);
    book.doc.CurrentPage = last - 1;
    book.doc.NextPage();
    EXPECT_EQ(book.doc.CurrentPage, last - 1);  // the page at LastPage is the empty end page
    book.doc.CurrentPage = 0;
    book.doc.PreviousPage();
    EXPECT_EQ(book.doc.CurrentPage, 0);
    EXPECT_EQ(book.doc.PositionText(), "Page 1 of " + std::to_string(last + 1));

    book.doc.GoToOffset(book.doc.PageStarts[3] + 2);
    EXPECT_EQ(book.doc.CurrentPage, 3);
    book.doc.GoToPart(4);
    EXPECT_EQ(book.doc.CurrentPage, last - 1);
    int percent = -1;
    book.doc.CurrentPage = 2;
    book.doc.PositionText(&percent);
    EXPECT_EQ(percent, int(book.doc.PageStarts[2] * 100 / int32_t(book.doc.TextLength)));

    book.doc.Bookmarks = {-1, -1, -1, -1};
    book.doc.GoToBookmark(1);  // not set: nothing happens
    EXPECT_EQ(book.doc.CurrentPage, 2);
}

TEST(PositionTest, PositionBarClicksMapToOffsets) {
    TestBook book(std::string(1000, 'a'), "b.txt");
    book.doc.LeftEdge = 10;
    book.doc.RightEdge = 111;  // bar from 10 to 110
    EXPECT_EQ(book.doc.OffsetForBarClick(10), 0);
    EXPECT_EQ(book.doc.OffsetForBarClick(59), 494);   // 1000 x 49 / 99
    EXPECT_EQ(book.doc.OffsetForBarClick(500), 997);  // within 2 of the end: 3 less
    EXPECT_EQ(book.doc.OffsetForBarClick(0), 0);
    book.doc.ShowPageNumber = 1;
    EXPECT_EQ(book.doc.BarRightEnd(), 85);
}

TEST(PositionTest, AnchorsAreFoundByWalkingForward) {
    std::string text = "<html>";
    for (int i = 0; i < 300; ++i)
        text += "word" + std::to_string(i) + " ";
    text += "<a name=\"Target\">here</a> after";
    TestBook book(text, "a.htm");
    book.doc.GoToAnchor("#Target");  // names are file "#" anchor, without regard to case
    EXPECT_EQ(book.doc.SoughtAnchor, "");
    ASSERT_FALSE(book.doc.Anchors.empty());
    EXPECT_EQ(book.doc.Anchors.back().name, "#target");
    int32_t page = book.doc.CurrentPage;
    EXPECT_GT(page, 5);
    EXPECT_LE(book.doc.PageStarts[size_t(page)], book.doc.Anchors.back().offset);
}

}  // namespace
}  // namespace pagewick::test
