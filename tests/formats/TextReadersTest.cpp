#include <gtest/gtest.h>
#include <zip.h>

#include <random>

#include "formats/TextReaders.h"
#include "support/BookFixture.h"
#include "util/Cp1252.h"

namespace pagewick::test {
namespace {

std::string NumberedText(size_t length) {
    std::string text;
    for (size_t i = 0; text.size() < length; ++i)
        text += "w" + std::to_string(i) + " ";
    text.resize(length);
    return text;
}

// Writes a ZIP archive holding the given members (deflated).
void WriteZip(const std::filesystem::path& path,
              const std::vector<std::pair<std::string, std::string>>& members) {
    int error = 0;
    zip_t* z = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(z, nullptr);
    for (const auto& [name, data] : members) {
        zip_source_t* src = zip_source_buffer(z, data.data(), data.size(), 0);
        ASSERT_GE(zip_file_add(z, name.c_str(), src, ZIP_FL_ENC_UTF_8), 0);
    }
    ASSERT_EQ(zip_close(z), 0);
}

void ExpectSameCharacters(CBookEngine& doc, const std::string& text) {
    std::mt19937 random(7);
    std::vector<int32_t> offsets;
    for (int i = 0; i < 3000; ++i)
        offsets.push_back(int32_t(random() % text.size()));
    // Both sides of every window edge, and the extra character of the second window.
    int32_t w = doc.WindowChars();
    for (int32_t edge = 0; edge < int32_t(text.size()); edge += w)
        for (int32_t d : {-1, 0, 1})
            offsets.push_back(std::clamp(edge + d, 0, int32_t(text.size()) - 1));
    for (int32_t at : offsets)
        ASSERT_EQ(doc.GetChar(at), uint8_t(text[size_t(at)])) << at;
    for (int32_t at = 0; at < int32_t(text.size()); ++at)
        ASSERT_EQ(doc.GetChar(at), uint8_t(text[size_t(at)])) << at;
    EXPECT_EQ(doc.GetChar(int32_t(text.size())), kEndOfText);
    EXPECT_EQ(doc.GetChar(-1), kEndOfText);
}

TEST(TextReadersTest, PlainFileCharactersThroughTheWindows) {
    std::string text = NumberedText(50000);
    TestBook book(text, "book.txt");
    EXPECT_EQ(book.doc.TextLength, 50000u);
    ExpectSameCharacters(book.doc, text);
    // The window pair covers WindowStart + 2 windows with the extra character, without a read.
    book.doc.GetChar(0);
    book.doc.GetChar(8192);
    EXPECT_EQ(book.doc.WindowStart, 0);
}

TEST(TextReadersTest, WideTextIsReadAsSixteenBitUnits) {
    std::u16string text = u"\u0100\u4E00 mixed \u00E9 text";
    for (int i = 0; i < 3000; ++i)
        text += u"\u4E00\u0041";
    TestBook book(Utf16Bytes(text), "wide.txt");
    ASSERT_TRUE(book.doc.Wide);
    EXPECT_FALSE(book.doc.MarkupMode);
    EXPECT_EQ(book.doc.CharCount(), text.size() + 1);  // the byte-order mark is a character
    for (size_t i = 0; i < text.size(); i += 1)
        ASSERT_EQ(book.doc.GetChar(int32_t(i + 1)), text[i]);
}

TEST(TextReadersTest, TheFirstWindowDecidesTheMode) {
    EXPECT_TRUE(TestBook("x <html> y", "a.txt").doc.MarkupMode);
    EXPECT_TRUE(TestBook("x <HTML> y", "b.txt").doc.MarkupMode);
    EXPECT_FALSE(TestBook("x <Html> y", "c.txt").doc.MarkupMode);
    // Never reconsidered: "<html" after the first window leaves plain text.
    EXPECT_FALSE(TestBook(std::string(5000, 'a') + "<html>", "d.txt").doc.MarkupMode);
    // UTF-16 with its mark is plain text even when it holds "<html".
    TestBook wide(Utf16Bytes(u"<html><b>x</b>"), "e.txt");
    EXPECT_TRUE(wide.doc.Wide);
    EXPECT_FALSE(wide.doc.MarkupMode);
}

TEST(TextReadersTest, ABookReopenedInItsMiddleStillDecidesItsMode) {
    TempDir dir;
    std::string text = "<html>" + NumberedText(40000);
    WriteFileText(dir / "b.htm", text);
    CBookEngine doc;
    doc.BookPath = (dir / "b.htm").string();
    ASSERT_TRUE(doc.PrepareSource());
    EXPECT_EQ(doc.GetChar(30000), uint8_t(text[30000]));  // first read far from the start
    EXPECT_TRUE(doc.MarkupMode);
}

TEST(TextReadersTest, MissingAndVanishingBooksGiveTheEndValue) {
    TempDir dir;
    CBookEngine doc;
    doc.BookPath = (dir / "none.txt").string();
    EXPECT_FALSE(doc.PrepareSource());
    EXPECT_TRUE(doc.SourceFailed);
    EXPECT_EQ(doc.GetChar(0), kEndOfText);

    WriteFileText(dir / "gone.txt", NumberedText(20000));
    CBookEngine gone;
    gone.BookPath = (dir / "gone.txt").string();
    ASSERT_TRUE(gone.PrepareSource());
    EXPECT_EQ(gone.GetChar(0), 'w');
    std::filesystem::remove(dir / "gone.txt");
    EXPECT_EQ(gone.GetChar(15000), kEndOfText);  // the window read fails: the text ends here
    EXPECT_FALSE(gone.LayoutPage(nullptr, false));
    // A book replaced by another file of its name fails the same way, rather than giving pages
    // that mix the two.
    WriteFileText(dir / "kept.txt", NumberedText(20000));
    CBookEngine replaced;
    replaced.BookPath = (dir / "kept.txt").string();
    ASSERT_TRUE(replaced.PrepareSource());
    EXPECT_EQ(replaced.GetChar(0), 'w');
    WriteFileText(dir / "other.txt", std::string(200000, 'z'));
    std::filesystem::rename(dir / "other.txt", dir / "kept.txt");
    EXPECT_EQ(replaced.GetChar(15000), kEndOfText);

    CBookEngine unknown;
    unknown.SourceKind = 7;
    EXPECT_FALSE(unknown.PrepareSource());
    EXPECT_TRUE(unknown.SourceFailed);
}

TEST(TextReadersTest, ZipMembersReadForwardWithoutStartingAgain) {
    TempDir dir;
    std::string text = NumberedText(200000);
    WriteZip(dir / "a.zip", {{"other.txt", "x"}, {"book.txt", text}, {"page.htm", "<HTML>x"}});
    std::vector<std::string> names;
    ASSERT_TRUE(ListZipMembers((dir / "a.zip").string(), names));
    EXPECT_EQ(names, (std::vector<std::string>{"other.txt", "book.txt", "page.htm"}));

    ZipMemberStream stream;
    ASSERT_TRUE(stream.Open((dir / "a.zip").string(), "book.txt"));
    std::vector<uint8_t> window(65530);
    for (uint64_t at = 0; at < text.size(); at += 65528) {
        int64_t n = stream.ReadAt(at, window.data(), window.size());
        ASSERT_EQ(n, int64_t(std::min<uint64_t>(window.size(), text.size() - at)));
        ASSERT_EQ(std::string(window.begin(), window.begin() + n), text.substr(at, size_t(n)));
    }
    EXPECT_EQ(stream.Rewinds(), 0);
    ASSERT_EQ(stream.ReadAt(10, window.data(), 5), 5);  // behind the stream: starts again
    EXPECT_EQ(std::string(window.begin(), window.begin() + 5), text.substr(10, 5));
    EXPECT_EQ(stream.Rewinds(), 1);

    CBookEngine doc;
    doc.SourceKind = kSourceZip;
    doc.BookPath = (dir / "a.zip").string();
    doc.MemberName = "book.txt";
    ASSERT_TRUE(doc.PrepareSource());
    EXPECT_EQ(doc.TextLength, text.size());
    ExpectSameCharacters(doc, text);

    // Members know only the lower-case "<html".
    CBookEngine page;
    page.SourceKind = kSourceZip;
    page.BookPath = doc.BookPath;
    page.MemberName = "page.htm";
    ASSERT_TRUE(page.PrepareSource());
    page.GetChar(0);
    EXPECT_FALSE(page.MarkupMode);

    CBookEngine missing;
    missing.SourceKind = kSourceZip;
    missing.BookPath = doc.BookPath;
    missing.MemberName = "nothere.txt";
    EXPECT_FALSE(missing.PrepareSource());
}

TEST(TextReadersTest, PlainTitleTextReplacesInOrder) {
    std::string title = "Word&nbsp;2 &amp; more&trade;\r\nend &euro;&hellip;&lt;";
    PlainTitleText(title);
    EXPECT_EQ(title, "Word 2 & more(tm)--end E<");
    std::string tricky = "&amp;lt;";  // "&amp;" becomes "&" before "&lt;" is replaced
    PlainTitleText(tricky);
    EXPECT_EQ(tricky, "<");
}

}  // namespace
}  // namespace pagewick::test
