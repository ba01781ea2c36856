#include <gtest/gtest.h>

#include "formats/Library.h"
#include "support/BookFixture.h"
#include "support/ScriptedHost.h"

namespace pagewick::test {
namespace {

std::string Registry(ScriptedHost& host, const char* name) {
    return host.Settings[std::make_pair(std::string(kRegistrySection), std::string(name))];
}

const char* kChanged = "File appears to have changed.\r\nStarting at the beginning of the book.";

TEST(OpenBookTest, AChangedTextBookSaysSoOnceAndStartsAtTheBeginning) {
    TempDir dir;
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "word" + std::to_string(i) + " ";
    WriteFileText(dir / "b.txt", text);
    ScriptedHost host;
    RecordingSurface dc;
    LibraryEntry entry{kLibraryText, (dir / "b.txt").string(), "", "b", ""};

    CBookEngine doc;
    doc.HostServices = &host;
    doc.RightEdge = 100;
    doc.PageHeight = 100;
    ASSERT_TRUE(OpenLibraryEntry(doc, entry));
    EXPECT_EQ(doc.DocumentTitle, "b");
    EXPECT_EQ(Registry(host, "LastBook"), entry.path);
    doc.GetChar(0);
    doc.BuildWidthTable(&dc);
    doc.PaginateTo(12);
    doc.CurrentPage = 12;
    doc.CloseBook();
    EXPECT_TRUE(host.Messages.empty());

    ASSERT_TRUE(OpenLibraryEntry(doc, entry));
    EXPECT_EQ(doc.CurrentPage, 12);  // the place was kept
    doc.CloseBook();

    WriteFileText(dir / "b.txt", text + "more");
    ASSERT_TRUE(OpenLibraryEntry(doc, entry));
    EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{kChanged});
    EXPECT_EQ(host.Messages[0].caption, "Pagewick");
    EXPECT_EQ(host.Messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(doc.CurrentPage, 0);
    doc.CloseBook();
    ASSERT_TRUE(OpenLibraryEntry(doc, entry));  // once: the new length was written back
    EXPECT_EQ(host.Messages.size(), 1u);
    EXPECT_TRUE(host.WaitCursorBalanced());
}

TEST(OpenBookTest, FailuresAreSaidAndNeverReportedAsSuccess) {
    TempDir dir;
    ScriptedHost host;
    CBookEngine doc;
    doc.HostServices = &host;

    LibraryEntry missing{kLibraryPawk, (dir / "gone.pawk").string(), "", "gone", ""};
    EXPECT_FALSE(OpenLibraryEntry(doc, missing));
    EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"Cannot open ebook file."});

    host.Messages.clear();
    LibraryEntry odd{9, (dir / "x.txt").string(), "", "x", ""};
    EXPECT_FALSE(OpenLibraryEntry(doc, odd));
    EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"Unknown file type."});
    EXPECT_EQ(host.Messages[0].caption, "Pagewick");

    // A file the reader does not accept is no message: the view says it cannot read the format.
    host.Messages.clear();
    WriteFileText(dir / "bad.pawk", "garbage");
    LibraryEntry bad{kLibraryPawk, (dir / "bad.pawk").string(), "", "bad", ""};
    EXPECT_FALSE(OpenLibraryEntry(doc, bad));
    EXPECT_TRUE(doc.SourceFailed);
    EXPECT_TRUE(host.Messages.empty());
}

TEST(OpenBookTest, ArchiveMembersAreNotRememberedAsTheLastBook) {
    TempDir dir;
    ScriptedHost host;
    host.Settings[{kRegistrySection, "LastBook"}] = "/old/book.txt";
    host.Settings[{kRegistrySection, "LastBookTitle"}] = "Old";
    CBookEngine doc;
    doc.HostServices = &host;
    LibraryEntry member{kLibraryZipMember, (dir / "a.zip").string(), "m.txt", "m", ""};
    EXPECT_FALSE(OpenLibraryEntry(doc, member));  // no archive there
    EXPECT_EQ(Registry(host, "LastBook"), "");
    EXPECT_EQ(Registry(host, "LastBookTitle"), "");
}

TEST(OpenBookTest, TheFormatCodeFromAPathIsCaseSensitive) {
    EXPECT_EQ(FormatCodeFromPath("a.txt", 3), 0);
    EXPECT_EQ(FormatCodeFromPath("A.TXT", 3), 3);  // kept: the ending test is exact
    EXPECT_EQ(FormatCodeFromPath("a.html", 2), 0);
    EXPECT_EQ(FormatCodeFromPath("a.lit", 0), 2);
    EXPECT_EQ(FormatCodeFromPath("a.zip", 0), 1);
    EXPECT_EQ(FormatCodeFromPath("a.pawk", 0), 3);
    EXPECT_EQ(FormatCodeFromPath("a.pawk.pwk", 0), 3);
}

}  // namespace
}  // namespace pagewick::test
