#include <gtest/gtest.h>

#include "engine/PaginationFile.h"
#include "pawk/PawkWriter.h"
#include "support/BookFixture.h"

namespace pagewick::test {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// Writes a PAWK book of the given files (name, text) and opens it in a document.
struct PawkBook : TestBook {
    PawkBook(const std::vector<std::pair<std::string, std::string>>& files, bool cover = false)
        : TestBook() {
        PawkWriter writer;
        writer.title = "The Book";
        if (cover) writer.files.push_back({"cover.png", {}, Bytes(std::string(100, 'p'))});
        for (const auto& [name, text] : files) {
            writer.files.push_back({name, {}, Bytes(text)});
            writer.contents.push_back({0, name, name + "#"});
        }
        path = dir / "book.pawk";
        EXPECT_TRUE(writer.Write(path));
        doc.BookPath = path.string();
        doc.SourceKind = kSourcePawk;
        doc.RightEdge = 200;
        doc.PageHeight = 200;
        doc.ShowPositionBar = 0;
        opened = doc.OpenBook();
        doc.BuildWidthTable(&dc);
    }
    std::filesystem::path path;
    bool opened = false;
};

TEST(PawkBookTest, TextTitleAndContentsComeFromTheBook) {
    std::string chapter2;
    for (int i = 0; i < 9000; ++i)
        chapter2 += "w" + std::to_string(i) + " ";
    PawkBook book({{"ch1.htm", "<title>Start</title>Hello <b>there</b>"}, {"ch2.htm", chapter2}},
                  true);
    ASSERT_TRUE(book.opened);
    auto& doc = book.doc;
    EXPECT_TRUE(doc.MarkupMode);
    EXPECT_EQ(doc.WindowSize, 32771 / 2);
    EXPECT_EQ(doc.DocumentTitle, "The Book");
    ASSERT_EQ(doc.Contents.size(), 3u);
    EXPECT_EQ(doc.Contents[0].title, "Cover Image");
    EXPECT_EQ(doc.Contents[0].target, "cover.png");
    EXPECT_EQ(doc.Contents[2].target, "ch2.htm#");

    std::vector<std::string> lines = book.Lines(0);
    ASSERT_FALSE(lines.empty());
    // The packer adds nothing between files: the chapters run on.
    EXPECT_EQ(lines[0].rfind("Hello there", 0), 0u);
    // A chapter title is added to the book's title.
    EXPECT_EQ(doc.DocumentTitle, "The Book - Start");

    // Items of the book are written out by name, without regard to case.
    const std::string out = (book.dir / "out.png").string();
    EXPECT_TRUE(doc.ExtractMedia(out, "COVER.PNG"));
    EXPECT_EQ(ReadFileText(out), std::string(100, 'p'));
    EXPECT_FALSE(doc.ExtractMedia(out, "missing.png"));
    // Every word of the second chapter, which spans several chunks, is on some page.
    std::string all = book.AllPages();
    EXPECT_NE(all.find("w0 "), std::string::npos);
    EXPECT_NE(all.find("w8999"), std::string::npos);
    EXPECT_EQ(doc.FileNameAt(doc.PageStarts[size_t(doc.LastPage) - 1]), "ch2.htm");
}

TEST(PawkBookTest, LinksWithoutFileNameTakeTheMemberThatHoldsThem) {
    PawkBook book(std::vector<std::pair<std::string, std::string>>{
        {"a.htm", "text <a href=\"note\">n</a> <a href=\"b.htm#x\">b</a>"}});
    book.Lines(0);
    ASSERT_EQ(book.doc.Links.size(), 2u);
    EXPECT_EQ(book.doc.Links[0].target, "a.htm#note");
    EXPECT_EQ(book.doc.Links[1].target, "b.htm#x");
}

TEST(PawkBookTest, TabsKeepTheirSpacesAndTheBookDecidesItsCharacterWidth) {
    PawkBook book(std::vector<std::pair<std::string, std::string>>{{"a.htm", "a\tb  c"}});
    book.doc.TabSize = 3;
    // A tab is a space and TabSize more; ordinary runs of spaces still collapse.
    EXPECT_EQ(book.Lines(0), std::vector<std::string>{"a    b c"});

    // A pagination file that calls the book 16-bit is not believed: the book stays whole.
    book.doc.PaginationPath = PaginationFilePath(book.doc.BookPath);
    book.doc.CloseBook();
    std::string pwk = ReadFileText(PaginationFilePath(book.doc.BookPath));
    const size_t wideAt = 8 + 2 * std::string("The Book").size() + 24;
    ASSERT_GT(pwk.size(), wideAt + 4);
    pwk[wideAt] = 1;
    WriteFileText(PaginationFilePath(book.doc.BookPath), pwk);
    book.doc.PaginationPath = PaginationFilePath(book.doc.BookPath);
    ASSERT_TRUE(book.doc.OpenBook());
    EXPECT_FALSE(book.doc.Wide);
    EXPECT_EQ(book.doc.CharCount(), book.doc.TextLength);
    EXPECT_EQ(book.Lines(0), std::vector<std::string>{"a    b c"});
}

TEST(PawkBookTest, DamagedOrMissingBooksNeverPretendToOpen) {
    TempDir dir;
    CBookEngine doc;
    doc.SourceKind = kSourcePawk;
    doc.BookPath = (dir / "none.pawk").string();
    EXPECT_FALSE(doc.OpenBook());
    EXPECT_EQ(doc.LastOpen, OpenResult::CannotOpen);

    WriteFileText(dir / "bad.pawk", "not a book at all, just text");
    doc.BookPath = (dir / "bad.pawk").string();
    EXPECT_FALSE(doc.OpenBook());
    EXPECT_EQ(doc.LastOpen, OpenResult::Rejected);
    EXPECT_TRUE(doc.SourceFailed);
    EXPECT_EQ(doc.GetChar(0), kEndOfText);

    // A LIT book has no reader yet: it is refused, never shown as an empty success.
    doc.SourceKind = kSourceLit;
    WriteFileText(dir / "x.lit", "ITOLITLS");
    doc.BookPath = (dir / "x.lit").string();
    EXPECT_FALSE(doc.OpenBook());
    EXPECT_TRUE(doc.SourceFailed);
}

}  // namespace
}  // namespace pagewick::test
