// Books and pagination files that would make the engine loop, overflow or over-allocate.
#include <gtest/gtest.h>

#include "engine/PaginationFile.h"
#include "support/BookFixture.h"

namespace pagewick::test {
namespace {

TEST(HostileBookTest, APageThatFitsNothingEndsTheBookEvenWithCarriedText) {
    TestBook book("one two three four five six seven eight nine ten", "c.txt");
    book.doc.PageStarts = {0, 4};
    book.doc.PageStates = {0, 0};
    book.doc.PageCarry = {u"", u"carried"};
    book.dc.height = 500;  // a line taller than the page
    book.doc.InvalidateWidths();
    book.doc.BuildWidthTable(&book.dc);
    book.doc.CurrentPage = 1;
    book.doc.PaginateTo(-1000);  // bounded: at most a thousand pages
    ASSERT_LE(book.doc.PageStarts.size(), 3u);
    EXPECT_EQ(book.doc.LastPage, 1);
    // So the unbounded walks end as well.
    book.doc.GoToAnchor("nowhere");
    book.doc.PaginateToOffset(1 << 30);
    EXPECT_LE(book.doc.PageStarts.size(), 3u);
}

TEST(HostileBookTest, APaginationFileCannotAskForMorePagesThanTheBookHas) {
    TempDir dir;
    const std::string text = "a short book of forty characters or so.";
    WriteFileText(dir / "s.txt", text);
    const std::string path = (dir / "s.txt").string();
    PaginationWriter file;
    file.Int(kPaginationVersion);
    file.Title("");
    for (int32_t field : {0, 0, -1, -1, -1, -1, 0, int32_t(text.size()), 0, 0, 0})
        file.Int(field);
    const int32_t pages = 100000;
    file.Int(pages);
    for (int32_t i = 0; i < pages; ++i)
        file.Int(i);
    for (int32_t i = 0; i < pages; ++i) {
        file.Int(i & 1);
        file.String(std::string_view());
    }
    file.Int(1);
    file.Int(7);
    file.String(std::string_view("s.txt#end"));
    WriteFileText(PaginationFilePath(path), file.Bytes());

    CBookEngine doc;
    doc.BookPath = path;
    doc.PaginationPath = PaginationFilePath(path);
    ASSERT_TRUE(doc.OpenBook());
    // Starts past the text are dropped; what follows the page table is still read in place.
    EXPECT_EQ(doc.PageStarts.size(), text.size() + 1);
    EXPECT_EQ(doc.PageStates[1], 1);
    ASSERT_EQ(doc.Anchors.size(), 1u);
    EXPECT_EQ(doc.Anchors[0].name, "s.txt#end");
    doc.PaginationPath.clear();
}

// A book of almost 2^31 characters (or more than 2^31 bytes), made up as it is read.
class HugeReader : public WindowReader {
public:
    explicit HugeReader(uint32_t length) : length_(length) {}
    OpenResult Open(CBookEngine& doc) override {
        doc.TextLength = length_;
        return OpenResult::Opened;
    }
    bool ReadWindow(CBookEngine& doc, uint32_t position) override {
        for (size_t i = 0; i < doc.WindowA.size(); ++i) {
            doc.WindowA[i] = At(uint64_t(position) + i);
            doc.WindowB[i] = At(uint64_t(position) + size_t(doc.WindowSize) + i);
        }
        return true;
    }
    static uint8_t At(uint64_t byte) { return byte % 7 == 6 ? ' ' : uint8_t('a' + byte % 26); }

private:
    uint32_t length_;
};

TEST(HostileBookTest, OffsetsNearTheTopOfThe32BitRangeReadAndLayOut) {
    for (uint32_t length : {0x7FFFFFF0u, 0xFFFFFFF0u}) {
        TestBook book;
        book.doc.RightEdge = 100;
        book.doc.PageHeight = 100;
        ASSERT_TRUE(book.doc.PrepareSource(std::make_unique<HugeReader>(length)));
        book.doc.BuildWidthTable(&book.dc);
        const int32_t last = int32_t(std::min<uint32_t>(length, 0x7FFFFFFF) - 1);
        for (int32_t offset : {0, last - 9000, last - 1, last, 5000, last})
            EXPECT_EQ(book.doc.GetChar(offset), HugeReader::At(uint32_t(offset))) << offset;
        EXPECT_EQ(book.doc.GetChar(last + 1), kEndOfText);
        // The last pages lay out and the end is found.
        book.doc.PageStarts = {0, last - 200};
        book.doc.PageStates = {0, 0};
        book.doc.PageCarry = {u"", u""};
        book.doc.CurrentPage = 1;
        book.doc.PaginateTo(-100);
        EXPECT_NE(book.doc.LastPage, kLastPageUnknown);
        EXPECT_EQ(book.doc.PageStarts.back(), last + 1);
    }
}

}  // namespace
}  // namespace pagewick::test
