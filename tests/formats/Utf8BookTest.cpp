// UTF-8 books through the whole engine: the same pages as the UTF-16 and Windows-1252 forms of
// the text, places kept in characters, and the choice of encoding remembered per book.
#include <gtest/gtest.h>
#include <zip.h>

#include "engine/PaginationFile.h"
#include "support/BookFixture.h"
#include "util/Utf8.h"

namespace pagewick::test {
namespace {

// Latin-1 text (so that Windows-1252 can hold it too), several windows long.
std::u16string LatinText() {
    std::u16string text;
    for (int i = 0; i < 900; ++i)
        text += u"Caf\u00E9 na\u00EFve r\u00E9sum\u00E9 \u00C6sop Z\u00FCrich \u00BD ";
    return text;
}

std::string Cp1252Bytes(const std::u16string& text) {
    std::string out;
    for (char16_t c : text)
        out += char(c);
    return out;
}

TEST(Utf8BookTest, TheSameTextGivesTheSamePagesInEveryEncoding) {
    const std::u16string text = LatinText();
    TestBook utf8(Utf16ToUtf8(u"\uFEFF" + text), "a.txt");
    TestBook utf16(Utf16Bytes(text), "b.txt");
    TestBook cp1252(Cp1252Bytes(text), "c.txt");
    EXPECT_TRUE(utf8.doc.Utf8 && utf8.doc.Wide);
    EXPECT_FALSE(utf16.doc.Utf8);
    EXPECT_FALSE(cp1252.doc.Utf8 || cp1252.doc.Wide);
    EXPECT_EQ(utf8.doc.CharCount(), utf16.doc.CharCount());  // the mark is a character of both
    const std::string pages = utf16.AllPages();
    EXPECT_EQ(utf8.AllPages(), pages);
    EXPECT_EQ(cp1252.AllPages(), pages);
    EXPECT_EQ(utf8.doc.PageStarts, utf16.doc.PageStarts);
    EXPECT_NE(pages.find("Caf\xC3\xA9 na\xC3\xAFve"), std::string::npos);
}

TEST(Utf8BookTest, PlacesAndBookmarksAreCharactersThatSurviveReopening) {
    std::string bytes;
    for (int i = 0; i < 3000; ++i)
        bytes +=
            "\xE2\x80\x9C" + std::to_string(i) + "\xE2\x80\x9D \xCE\xB1\xCE\xB2 \xF0\x9F\x98\x80 ";
    PlacedBook book(bytes, "book.txt");
    ASSERT_TRUE(book.doc.Utf8);
    // Three-byte quotes, two-byte Greek, a four-byte emoji as one replacement character.
    EXPECT_EQ(
        book.doc.CharCount(), 3000u * 8 + [] {
            size_t digits = 0;
            for (int i = 0; i < 3000; ++i)
                digits += std::to_string(i).size();
            return digits;
        }());
    book.doc.PaginateTo(0x7fffffff);
    book.doc.GoToPart(3);  // three quarters
    const int32_t page = book.doc.CurrentPage;
    ASSERT_GT(page, 0);
    std::vector<std::string> lines = book.Lines(page);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("\xCE\xB1\xCE\xB2 \xE2\x96\xA1"), std::string::npos);
    book.doc.SetBookmark(2);
    const int32_t mark = book.doc.Bookmarks[2];
    book.doc.GoToPart(0);
    book.doc.GoToBookmark(2);
    EXPECT_EQ(book.doc.CurrentPage, page);

    book.Reopen();
    EXPECT_TRUE(book.doc.Utf8);
    EXPECT_EQ(book.doc.CurrentPage, page);
    EXPECT_EQ(book.doc.Bookmarks[2], mark);
    EXPECT_EQ(book.Lines(page), lines);
}

TEST(Utf8BookTest, WhatDecidesAndWhatIsRemembered) {
    // A lone Windows-1252 byte in ASCII text: not UTF-8, read as it always was.
    PlacedBook lone("caf\xE9 au lait", "lone.txt");
    EXPECT_FALSE(lone.doc.Utf8);
    EXPECT_EQ(lone.Lines(0), (std::vector<std::string>{"caf\xC3\xA9 au ", "lait"}));

    // Broken sequences in a UTF-8 book show U+FFFD and the text reads on to its end.
    PlacedBook broken("\xEF\xBB\xBFok \xC3 \xE2\x82 \xFF end", "broken.txt");
    EXPECT_TRUE(broken.doc.Utf8);
    // (U+FFFD is drawn as the engine's square for characters it keeps no width for.)
    EXPECT_EQ(broken.AllPages().rfind("ok \xE2\x96\xA1 \xE2\x96\xA1 \xE2\x96\xA1 end", 0), 0u);

    // A UTF-8 mark in front of HTML; the title is kept as UTF-8, in the file as UTF-16.
    PlacedBook html(
        "\xEF\xBB\xBF<html><title>\xCE\xA4\xCE\xAF\xCF\x84\xCE\xBB\xCE\xBF\xCF\x82</title>"
        "<b>\xC3\xA9t\xC3\xA9</b></html>",
        "page.html");
    EXPECT_TRUE(html.doc.Utf8 && html.doc.MarkupMode);
    EXPECT_EQ(html.Lines(0), (std::vector<std::string>{"", "\xC3\xA9t\xC3\xA9"}));
    EXPECT_EQ(html.doc.DocumentTitle, "\xCE\xA4\xCE\xAF\xCF\x84\xCE\xBB\xCE\xBF\xCF\x82");
    const std::string pwk = html.doc.PaginationPath;
    html.doc.CloseBook();
    std::string stored;
    ASSERT_TRUE(ReadPaginationTitle(pwk, stored));
    EXPECT_EQ(stored, html.doc.DocumentTitle);

    // An override is remembered by the book's pagination file until another is asked for.
    lone.doc.EncodingOverride = TextEncoding::Utf8;
    lone.Reopen();
    EXPECT_TRUE(lone.doc.Utf8);
    EXPECT_EQ(lone.Lines(0), (std::vector<std::string>{"caf\xE2\x96\xA1 au ", "lait"}));
    lone.doc.EncodingOverride.reset();
    lone.Reopen();
    EXPECT_TRUE(lone.doc.Utf8);
    lone.doc.EncodingOverride = TextEncoding::Auto;
    lone.Reopen();
    EXPECT_FALSE(lone.doc.Utf8);
}

TEST(Utf8BookTest, AnArchiveMemberInUtf8) {
    TempDir dir;
    const std::string archive = (dir / "a.zip").string();
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "\xCE\xBB\xCF\x8C\xCE\xB3\xCE\xBF\xCF\x82 " + std::to_string(i) + " ";
    int error = 0;
    zip_t* z = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(z, nullptr);
    zip_file_add(z, "greek.txt", zip_source_buffer(z, text.data(), text.size(), 0), 0);
    ASSERT_EQ(zip_close(z), 0);

    TestBook book;
    book.doc.BookPath = archive;
    book.doc.MemberName = "greek.txt";
    book.doc.SourceKind = kSourceZip;
    book.doc.RightEdge = 100;
    book.doc.PageHeight = 100;
    book.doc.ShowPositionBar = 0;
    ASSERT_TRUE(book.Open());
    EXPECT_TRUE(book.doc.Utf8);
    const std::string pages = book.AllPages();
    EXPECT_EQ(pages.rfind("\xCE\xBB\xCF\x8C\xCE\xB3\xCE\xBF\xCF\x82 0", 0), 0u);
    EXPECT_NE(pages.find("\xCE\xBB\xCF\x8C\xCE\xB3\xCE\xBF\xCF\x82 4999"), std::string::npos);
}

}  // namespace
}  // namespace pagewick::test
