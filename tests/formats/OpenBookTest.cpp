#include <gtest/gtest.h>

#include <zip.h>

#include <filesystem>

#include "engine/PaginationFile.h"
#include "library/Library.h"
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

    // A magazine's flag stays with its entry: the book opened after it is no magazine.
    LibraryEntry magazine{kLibraryMagazine, (dir / "gone.lit").string(), "", "gone", ""};
    EXPECT_FALSE(OpenLibraryEntry(doc, magazine));
    EXPECT_TRUE(doc.Magazine);
    WriteFileText(dir / "b.txt", "plain words");
    EXPECT_TRUE(
        OpenLibraryEntry(doc, LibraryEntry{kLibraryText, (dir / "b.txt").string(), "", "b", ""}));
    EXPECT_FALSE(doc.Magazine);
}

// The last book names an archive's member by the archive and the member, so that it can be
// brought back; a book in a folder whose name holds ".zip" is a book like any other; and no
// title of the book before stays beside a new last book.
TEST(OpenBookTest, ArchiveMembersAreRememberedWithTheirArchive) {
    TempDir dir;
    ScriptedHost host;
    host.Settings[{kRegistrySection, "LastBook"}] = "/old/book.txt";
    host.Settings[{kRegistrySection, "LastBookTitle"}] = "Old";
    CBookEngine doc;
    doc.HostServices = &host;
    LibraryEntry member{kLibraryZipMember, (dir / "a.zip").string(), "m.txt", "m", ""};
    EXPECT_FALSE(OpenLibraryEntry(doc, member));  // no archive there
    EXPECT_EQ(Registry(host, "LastBook"), member.path);
    EXPECT_EQ(Registry(host, "LastBookMember"), "m.txt");
    EXPECT_EQ(Registry(host, "LastBookTitle"), "");

    std::filesystem::create_directories(dir / "old.zip.d");
    WriteFileText(dir / "old.zip.d" / "b.txt", "plain words");
    LibraryEntry plain{kLibraryText, (dir / "old.zip.d" / "b.txt").string(), "", "b", ""};
    ASSERT_TRUE(OpenLibraryEntry(doc, plain));
    EXPECT_EQ(Registry(host, "LastBook"), plain.path);
    EXPECT_EQ(Registry(host, "LastBookMember"), "");
}

TEST(OpenBookTest, EachMemberOfAnArchiveKeepsItsOwnPlaceAndTitle) {
    TempDir dir;
    std::string words;
    for (int i = 0; i < 3000; ++i)
        words += "w" + std::to_string(i) + " ";
    const std::string archive = (dir / "a.zip").string();
    {
        int error = 0;
        zip_t* z = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        ASSERT_NE(z, nullptr);
        static const std::string html = "<html><title>Member Title</title>" + words;
        static const std::string text = words + "more";
        zip_file_add(z, "x/story.htm", zip_source_buffer(z, html.data(), html.size(), 0), 0);
        zip_file_add(z, "notes.txt", zip_source_buffer(z, text.data(), text.size(), 0), 0);
        ASSERT_EQ(zip_close(z), 0);
    }
    ScriptedHost host;
    RecordingSurface dc;
    CBookEngine doc;
    doc.HostServices = &host;
    doc.RightEdge = 100;
    doc.PageHeight = 100;
    LibraryEntry story{kLibraryZipMember, archive, "x/story.htm", "story", ""};
    LibraryEntry notes{kLibraryZipMember, archive, "notes.txt", "notes", ""};
    auto readTo = [&](const LibraryEntry& entry, int page) {
        ASSERT_TRUE(OpenLibraryEntry(doc, entry));
        doc.BuildWidthTable(&dc);
        doc.PaginateTo(page);
        doc.CurrentPage = page;
        doc.LayoutPage(nullptr, false);
    };
    readTo(story, 5);
    EXPECT_EQ(doc.DocumentTitle, "Member Title");
    readTo(notes, 9);
    EXPECT_EQ(doc.DocumentTitle, "");  // not the title of the member read before
    ASSERT_TRUE(OpenLibraryEntry(doc, story));
    EXPECT_EQ(doc.CurrentPage, 5);
    EXPECT_EQ(doc.DocumentTitle, "Member Title");
    EXPECT_EQ(Registry(host, "LastBookTitle"), "Member Title");
    ASSERT_TRUE(OpenLibraryEntry(doc, notes));
    EXPECT_EQ(doc.CurrentPage, 9);
    EXPECT_EQ(Registry(host, "LastBookMember"), "notes.txt");
    doc.CloseBook();
    EXPECT_TRUE(host.Messages.empty());  // never "File appears to have changed."
    EXPECT_TRUE(std::filesystem::exists(archive + "#x%2Fstory.htm.pwk"));

    // Names that would need escaping never meet; one too long for a file name is hashed.
    EXPECT_NE(PaginationFilePath(archive, "x/y.txt"), PaginationFilePath(archive, "x%2Fy.txt"));
    std::string longName = PaginationFilePath(archive, std::string(300, 'n') + ".txt");
    std::string fileName = longName.substr(longName.rfind('/') + 1);
    EXPECT_LE(fileName.size(), 255u);
    EXPECT_EQ(fileName.rfind("a.zip##", 0), 0u);
    EXPECT_NE(longName, PaginationFilePath(archive, std::string(301, 'n') + ".txt"));
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
