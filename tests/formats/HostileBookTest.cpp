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

// Found by a long fuzzing run: a version-4 file whose reserved field keeps the choice "UTF-8"
// for a book of plain ASCII. The book is then read as UTF-8, 16-bit text, as the choice asks; a
// length that is not the book's starts it afresh, and it pages to its end and is written back.
TEST(HostileBookTest, APaginationFileMayChooseTheEncodingButNeverTheWidthOrThePages) {
    TempDir dir;
    std::string text = "<html><title>Fuzz</title>";
    for (int i = 0; i < 600; ++i)
        text += "word" + std::to_string(i) + (i % 13 ? " " : "<p>");
    WriteFileText(dir / "book.htm", text);
    const std::string path = (dir / "book.htm").string();
    std::filesystem::copy_file(
        FixturesDir() / "fuzz-found" / "pagination-file-v4-wide-or-pages.pwk",
        PaginationFilePath(path));
    for (int round = 0; round < 2; ++round) {
        CBookEngine doc;
        doc.BookPath = path;
        doc.PaginationPath = PaginationFilePath(path);
        doc.RightEdge = 200;
        doc.PageHeight = 150;
        ASSERT_TRUE(doc.OpenBook());
        EXPECT_EQ(doc.EncodingChoice, TextEncoding::Utf8);
        EXPECT_TRUE(doc.Utf8 && doc.Wide);
        EXPECT_EQ(doc.CharCount(), text.size());
        EXPECT_LE(doc.PageStarts.size(), doc.CharCount() + 1);
        EXPECT_EQ(doc.CurrentPage, round == 0 ? 0 : int32_t(doc.PageStarts.size()) - 2);
        RecordingSurface dc;
        doc.BuildWidthTable(&dc);
        doc.PaginateTo(0x7fffffff);
        EXPECT_NE(doc.LastPage, kLastPageUnknown);
        EXPECT_GT(doc.PageStarts.size(), 10u);
        doc.CurrentPage = int32_t(doc.PageStarts.size()) - 2;
        doc.SetBookmark(1);
        doc.CloseBook();  // the second round reads what this one wrote
    }
    std::string bytes;
    ASSERT_TRUE(ReadPaginationBytes(PaginationFilePath(path), bytes));
    PaginationCursor in(bytes);
    int32_t version = 0;
    ASSERT_TRUE(in.ReadInt(version));
    EXPECT_EQ(version, kPaginationVersion);

    // Carried text past 8 bits (a second character of a reference) is read back whole.
    PaginationWriter out;
    out.String(std::u16string_view(u"a\u0338\u00E9"));
    PaginationCursor carried(out.Bytes());
    std::u16string units;
    ASSERT_TRUE(carried.ReadUnits(units));
    EXPECT_EQ(units, u"a\u0338\u00E9");
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
