#include "library/Library.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <filesystem>

#include "engine/BookEngine.h"
#include "engine/PaginationFile.h"
#include "pawk/PawkWriter.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

namespace fs = std::filesystem;

void WriteZip(const fs::path& path, const std::vector<std::string>& names) {
    int error = 0;
    zip_t* z = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(z, nullptr);
    static const char kText[] = "some text";
    for (const std::string& name : names) {
        if (name.back() == '/') {
            ASSERT_GE(zip_dir_add(z, name.c_str(), ZIP_FL_ENC_UTF_8), 0);
            continue;
        }
        zip_source_t* src = zip_source_buffer(z, kText, sizeof kText - 1, 0);
        ASSERT_GE(zip_file_add(z, name.c_str(), src, ZIP_FL_ENC_UTF_8), 0);
    }
    ASSERT_EQ(zip_close(z), 0);
}

// A pagination file of the given version holding a title (and nothing after it, which is all
// the library reads).
void WritePagination(const fs::path& bookPath, int32_t version, const std::string& title,
                     const std::string& member = {}) {
    PaginationWriter writer;
    writer.Int(version);
    writer.Title(title);
    writer.Int(0);
    WriteFileText(PaginationFilePath(bookPath.string(), member), writer.Bytes());
}

// A LIT-named file of `size` bytes with "newsLEAFS" at `markAt` (none when negative).
void WriteLit(const fs::path& path, size_t size, long markAt) {
    std::string bytes(size, 'x');
    if (markAt >= 0) bytes.replace(size_t(markAt), 9, "newsLEAFS");
    WriteFileText(path, bytes);
}

struct Library {
    TempDir dir;
    std::string root() const { return dir.path().string(); }
    std::vector<LibraryEntry> Scan(bool listHtml, bool searchZip,
                                   const CBookEngine* openDoc = nullptr) const {
        std::vector<LibraryEntry> entries;
        ScanLibrary(root(), listHtml, searchZip, entries, openDoc);
        return entries;
    }
    // "kind label title member" per entry, paths left out.
    static std::vector<std::string> Lines(const std::vector<LibraryEntry>& entries) {
        std::vector<std::string> lines;
        for (const LibraryEntry& e : entries)
            lines.push_back(std::to_string(e.kind) + " " + e.folderLabel + " " + e.title +
                            (e.member.empty() ? "" : " " + e.member));
        return lines;
    }
    std::vector<std::string> Summary(bool listHtml, bool searchZip) const {
        return Lines(Scan(listHtml, searchZip));
    }
    // The same from a scan that reads no titles, each then read as a list shows it.
    std::vector<std::string> LazySummary(bool listHtml, bool searchZip) const {
        LibraryScanOptions options;
        options.listHtml = listHtml;
        options.searchZip = searchZip;
        options.readTitles = false;
        std::vector<LibraryEntry> entries;
        ScanLibrary(root(), options, entries);
        for (LibraryEntry& e : entries) {
            EXPECT_EQ(e.title, "") << e.path;
            ReadLibraryTitle(e);
        }
        return Lines(entries);
    }
};

using Lines = std::vector<std::string>;

TEST(FormatCodeFromPathTest, ComparesTheLastFourCharactersAsTheyStand) {
    EXPECT_EQ(FormatCodeFromPath("/b/x.htm", 2), 0);
    EXPECT_EQ(FormatCodeFromPath("/b/x.html", 2), 0);
    EXPECT_EQ(FormatCodeFromPath("/b/x.xhtml", 2), 0);
    EXPECT_EQ(FormatCodeFromPath("/b/x.txt", 3), 0);
    EXPECT_EQ(FormatCodeFromPath("/b/x.lit", 0), 2);
    EXPECT_EQ(FormatCodeFromPath("/b/x.zip", 0), 1);
    EXPECT_EQ(FormatCodeFromPath("/b/x.pwk", 0), 3);
    EXPECT_EQ(FormatCodeFromPath("/b/x.pawk", 0), 3);
    // No change of case: an upper-case ending matches nothing and keeps the code.
    EXPECT_EQ(FormatCodeFromPath("/b/X.TXT", 2), 2);
    EXPECT_EQ(FormatCodeFromPath("/b/x.Lit", 1), 1);
    EXPECT_EQ(FormatCodeFromPath("/b/x.doc", 1), 1);
    EXPECT_EQ(FormatCodeFromPath("txt", 2), 2);
    EXPECT_EQ(FormatCodeFromPath("", 3), 3);
}

// The programs detect a book's kind by its name in any letter case; a library entry opens with
// the kind it is stored as, and an open book of that kind is listed as that entry again.
TEST(BookKindsTest, NamesAndLibraryEntriesFindTheirFormat) {
    EXPECT_EQ(SourceKindOfPath("/b/BOOK.EPUB"), kSourceEpub);
    EXPECT_EQ(SourceKindOfPath("/b/x.Lit"), kSourceLit);
    EXPECT_EQ(SourceKindOfPath("/b/X.PWK"), kSourcePawk);
    EXPECT_EQ(SourceKindOfPath("/b/X.HTM"), kSourceText);
    EXPECT_EQ(SourceKindOfPath("/b/x.doc"), kSourceText);  // the programs read it as text
    EXPECT_EQ(SourceKindOfPath("/b/x.doc", -1), -1);
    EXPECT_EQ(SourceKindOfPath("zip", -1), -1);
    EXPECT_EQ(SourceKindOfBook("/b/A.ZIP", "m.txt"), kSourceZip);
    EXPECT_EQ(SourceKindOfBook("/b/a.zip", ""), -1);  // an archive is read by its members
    EXPECT_EQ(SourceKindOfBook("/b/a.doc", ""), -1);
    EXPECT_EQ(SourceKindOfBook("/b/a.Txt", ""), kSourceText);

    struct Stored {
        int32_t kind;
        const char* path;
        bool magazine = false;
    };
    for (const Stored& entry :
         {Stored{kLibraryText, "/b/x.txt"}, Stored{kLibraryHtml, "/b/X.HTML"},
          Stored{kLibraryZipMember, "/b/a.zip"}, Stored{kLibraryLit, "/b/x.lit"},
          Stored{kLibraryMagazine, "/b/m.lit", true}, Stored{kLibraryPawk, "/b/x.pawk"},
          Stored{kLibraryEpub, "/b/x.epub"}}) {
        CBookEngine doc;
        doc.SourceKind = SourceKindOfLibraryKind(entry.kind);
        doc.BookPath = entry.path;
        doc.Magazine = entry.magazine;
        std::unique_ptr<WindowReader> reader = MakeWindowReader(doc.SourceKind);
        ASSERT_NE(reader, nullptr) << entry.path;
        EXPECT_EQ(reader->Traits().archiveMember, SourceKindReadsMembers(doc.SourceKind))
            << entry.path;
        EXPECT_EQ(LibraryKindOf(doc), entry.kind) << entry.path;
    }
    EXPECT_EQ(LibraryKindOfName("X.EPUB"), kLibraryEpub);
    EXPECT_EQ(LibraryKindOfName("book.pwk"), -1);  // a pagination file, never listed
    EXPECT_EQ(SourceKindOfLibraryKind(kLibraryHelp), kSourcePawk);
    EXPECT_EQ(SourceKindOfLibraryKind(9), -1);
    CBookEngine unknown;
    unknown.SourceKind = 9;
    EXPECT_EQ(LibraryKindOf(unknown), kLibraryText);
}

TEST(LibraryScanTest, KindsByLowerCasedEndingInNameOrder) {
    Library lib;
    for (const char* name : {"b.txt", "A.TXT", "c.htm", "d.HTML", "e.lit", "f.pawk", "g.zip",
                             "h.doc", ".dot.txt", "txt", "Notes.Text.txt"})
        WriteFileText(lib.dir / name, "x");
    EXPECT_EQ(lib.Summary(false, false),
              (Lines{"0 eBooks/ .dot", "0 eBooks/ A", "0 eBooks/ Notes.Text", "0 eBooks/ b",
                     "3 eBooks/ e", "6 eBooks/ f"}));
    EXPECT_EQ(lib.Summary(true, false),
              (Lines{"0 eBooks/ .dot", "0 eBooks/ A", "0 eBooks/ Notes.Text", "0 eBooks/ b",
                     "4 eBooks/ c", "4 eBooks/ d", "3 eBooks/ e", "6 eBooks/ f"}));
    std::vector<LibraryEntry> entries = lib.Scan(false, false);
    EXPECT_EQ(entries[1].path, (lib.dir / "A.TXT").string());
    EXPECT_TRUE(entries[1].member.empty());
}

TEST(LibraryScanTest, SubFoldersAndTheirLabels) {
    Library lib;
    fs::create_directories(lib.dir / "b" / "deeper");
    fs::create_directories(lib.dir / ".hidden");
    fs::create_directories(lib.dir / "a");
    WriteFileText(lib.dir / "b" / "deeper" / "x.txt", "x");
    WriteFileText(lib.dir / "b" / "y.txt", "x");
    WriteFileText(lib.dir / "a" / "z.txt", "x");
    WriteFileText(lib.dir / ".hidden" / "secret.txt", "x");
    WriteFileText(lib.dir / "top.txt", "x");
    Lines expected{"0 /a z", "0 /b/deeper x", "0 /b y", "0 eBooks/ top"};
    EXPECT_EQ(lib.Summary(false, false), expected);

    // A root named with a trailing separator scans and labels the same.
    std::vector<LibraryEntry> entries;
    ScanLibrary(lib.root() + "/", false, false, entries);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[1].folderLabel, "/b/deeper");
    EXPECT_EQ(entries[1].path, (lib.dir / "b" / "deeper" / "x.txt").string());
    // Entries are appended to what the list holds already.
    ScanLibrary(lib.root(), false, false, entries);
    EXPECT_EQ(entries.size(), 8u);
}

TEST(LibraryScanTest, FolderLabelTakesOnlyTheRootAtTheFront) {
    EXPECT_EQ(LibraryFolderLabel("/r/lib/a.txt", "/r/lib"), "eBooks/");
    EXPECT_EQ(LibraryFolderLabel("/r/lib/s/a.txt", "/r/lib"), "/s");
    EXPECT_EQ(LibraryFolderLabel("/r/lib/s/r/lib/a.txt", "/r/lib"), "/s/r/lib");
    EXPECT_EQ(LibraryFolderLabel("/r/lib/s.zip/filein.piz", "/r/lib/"), "/s.zip");
    EXPECT_EQ(LibraryFolderLabel("/a.txt", "/"), "eBooks/");
}

TEST(LibraryScanTest, MagazineMarkOnlyBelowOffset32752) {
    Library lib;
    WriteLit(lib.dir / "a-at0.lit", 40000, 0);
    WriteLit(lib.dir / "b-at32751.lit", 40000, 32751);
    WriteLit(lib.dir / "c-at32752.lit", 40000, 32752);
    WriteLit(lib.dir / "d-none.lit", 40000, -1);
    WriteLit(lib.dir / "e-short.lit", 20, 11);
    WriteLit(lib.dir / "f-cut.lit", 8, -1);
    WriteFileText(lib.dir / "f-cut.lit", "newsLEAF");  // the mark cut short by the file's end
    EXPECT_EQ(lib.Summary(false, false),
              (Lines{"5 eBooks/ a-at0", "5 eBooks/ b-at32751", "3 eBooks/ c-at32752",
                     "3 eBooks/ d-none", "5 eBooks/ e-short", "3 eBooks/ f-cut"}));
    EXPECT_FALSE(LitFileIsMagazine((lib.dir / "missing.lit").string()));
}

TEST(LibraryScanTest, ZipMembersListedOnlyWhenSearched) {
    Library lib;
    fs::create_directories(lib.dir / "shelf");
    WriteZip(lib.dir / "shelf" / "books.zip",
             {"one.txt", "docs/", "docs/Two.TXT", "three.html", "four.htm", "pic.jpg"});
    WriteZip(lib.dir / "nothing.zip", {"pic.jpg", "readme.md", "page.html"});
    WriteFileText(lib.dir / "broken.zip", "PK\x03\x04 this is no archive");
    EXPECT_TRUE(lib.Summary(false, false).empty());
    EXPECT_TRUE(lib.Summary(true, false).empty());
    EXPECT_EQ(lib.Summary(false, true),
              (Lines{"1 /shelf/books.zip one one.txt", "1 /shelf/books.zip Two docs/Two.TXT"}));
    EXPECT_EQ(lib.Summary(true, true),
              (Lines{"1 /nothing.zip page page.html", "1 /shelf/books.zip one one.txt",
                     "1 /shelf/books.zip Two docs/Two.TXT", "1 /shelf/books.zip three three.html",
                     "1 /shelf/books.zip four four.htm"}));
    std::vector<LibraryEntry> entries = lib.Scan(false, true);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries[0].path, (lib.dir / "shelf" / "books.zip").string());
}

TEST(LibraryScanTest, TitlesFromPaginationFilesOfVersionFourOrLater) {
    Library lib;
    WriteLit(lib.dir / "five.lit", 100, -1);
    WritePagination(lib.dir / "five.lit", 5, "Stored Title \xC3\xA9");
    WriteLit(lib.dir / "four.lit", 100, 3);
    WritePagination(lib.dir / "four.lit", 4, "Magazine Title");
    WriteLit(lib.dir / "three.lit", 100, -1);
    WritePagination(lib.dir / "three.lit", 3, "Old Title");
    WriteLit(lib.dir / "six.lit", 100, -1);
    WritePagination(lib.dir / "six.lit", 6, "Future Title");
    WriteFileText(lib.dir / "text.txt", "x");
    WritePagination(lib.dir / "text.txt", 5, "Text Title");  // plain files keep their names
    // Each member of an archive keeps its own title; the archive's own file names none of them.
    WriteZip(lib.dir / "arch.zip", {"story.html", "notes.txt", "more/tale.htm"});
    WritePagination(lib.dir / "arch.zip", 5, "Archive Title");
    WritePagination(lib.dir / "arch.zip", 5, "Story Title", "story.html");
    WritePagination(lib.dir / "arch.zip", 5, "Tale Title", "more/tale.htm");
    EXPECT_EQ(
        lib.Summary(true, true),
        (Lines{"1 /arch.zip Story Title story.html", "1 /arch.zip notes notes.txt",
               "1 /arch.zip Tale Title more/tale.htm", "3 eBooks/ Stored Title \xC3\xA9",
               "5 eBooks/ Magazine Title", "3 eBooks/ six", "0 eBooks/ text", "3 eBooks/ three"}));
    EXPECT_EQ(lib.LazySummary(true, true), lib.Summary(true, true));
}

TEST(LibraryScanTest, PawkBooksTakeTheTitleOfTheirHeader) {
    Library lib;
    PawkWriter writer;
    writer.title = "Header Title";
    writer.files.push_back({"text.htm", {}, std::vector<uint8_t>{'h', 'i'}});
    ASSERT_TRUE(writer.Write(lib.dir / "titled.pawk"));
    writer.title.clear();
    ASSERT_TRUE(writer.Write(lib.dir / "untitled.pawk"));
    WriteFileText(lib.dir / "zdamaged.pawk", "not a book at all");
    EXPECT_EQ(lib.Summary(false, false),
              (Lines{"6 eBooks/ Header Title", "6 eBooks/ untitled", "6 eBooks/ zdamaged"}));
    EXPECT_EQ(lib.LazySummary(false, false), lib.Summary(false, false));
}

// A scan with a limit stops at it, inside an archive too, and says whether a book was left
// out; one told to stop lists nothing more.
TEST(LibraryScanTest, ALimitedScanStopsAtItsLimitOrWhenTold) {
    Library lib;
    for (int i = 0; i < 5; ++i)
        WriteFileText(lib.dir / ("b" + std::to_string(i) + ".txt"), "x");
    WriteZip(lib.dir / "z.zip", {"m1.txt", "m2.txt"});
    LibraryScanOptions options;
    options.searchZip = true;
    std::vector<LibraryEntry> entries;
    for (size_t limit : {6u, 7u, 8u}) {
        options.maxEntries = limit;
        entries.clear();
        EXPECT_EQ(ScanLibrary(lib.root(), options, entries), limit < 7) << limit;
        EXPECT_EQ(entries.size(), std::min<size_t>(limit, 7)) << limit;
    }
    EXPECT_EQ(entries.back().member, "m2.txt");
    std::atomic<bool> stop{true};
    options.stop = &stop;
    entries.clear();
    EXPECT_FALSE(ScanLibrary(lib.root(), options, entries));
    EXPECT_TRUE(entries.empty());
}

TEST(LibraryScanTest, TheOpenLitBookTakesKindAndTitleFromTheDocument) {
    Library lib;
    WriteLit(lib.dir / "Open.lit", 100, -1);
    WriteLit(lib.dir / "other.lit", 100, -1);
    CBookEngine doc;
    doc.BookPath = (lib.dir / "open.LIT").string();  // paths compare without regard to case
    doc.Magazine = true;
    doc.DocumentTitle = "Title Of The Open Book";
    std::vector<LibraryEntry> entries = lib.Scan(false, false, &doc);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].kind, kLibraryMagazine);
    EXPECT_EQ(entries[0].title, "Title Of The Open Book");
    EXPECT_EQ(entries[1].kind, kLibraryLit);
    EXPECT_EQ(entries[1].title, "other");
    doc.Magazine = false;
    doc.DocumentTitle.clear();
    entries = lib.Scan(false, false, &doc);
    EXPECT_EQ(entries[0].kind, kLibraryLit);
    EXPECT_EQ(entries[0].title, "Open");
}

TEST(LibraryScanTest, FileNamesAreTitlesAsTheyStand) {
    Library lib;
    WriteFileText(lib.dir / "Caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\x80.txt", "x");  // UTF-8 name
    WriteFileText(lib.dir / "raw\xE9.txt", "x");  // not UTF-8: taken byte for byte
    EXPECT_EQ(lib.Summary(false, false),
              (Lines{"0 eBooks/ Caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\x80", "0 eBooks/ raw\xE9"}));
}

TEST(LibraryScanTest, SurvivesLinksLoopsSpecialFilesAndUnreadableFolders) {
    Library lib;
    fs::create_directories(lib.dir / "sub");
    WriteFileText(lib.dir / "sub" / "real.txt", "x");
    fs::create_directory_symlink(lib.dir.path(),
                                 lib.dir / "sub" / "loop");  // a folder linked upwards
    fs::create_symlink(lib.dir / "sub" / "real.txt", lib.dir / "linked.txt");
    fs::create_symlink(lib.dir / "gone.txt", lib.dir / "broken.txt");
    ASSERT_EQ(mkfifo((lib.dir / "pipe.txt").c_str(), 0600), 0);  // reading it would wait
    fs::create_directories(lib.dir / "locked");
    WriteFileText(lib.dir / "locked" / "inside.txt", "x");
    WriteFileText(lib.dir / "linked.lit", "x");
    fs::remove(lib.dir / "linked.lit");
    fs::create_symlink(lib.dir / "pipe.txt", lib.dir / "linked.lit");  // a link to the pipe
    chmod((lib.dir / "locked").c_str(), 0);
    Lines summary = lib.Summary(true, true);
    chmod((lib.dir / "locked").c_str(), 0700);
    Lines expected{"0 eBooks/ linked", "0 /sub real"};
    if (geteuid() == 0) expected.insert(expected.begin() + 1, "0 /locked inside");
    EXPECT_EQ(summary, expected);
    // A root that does not exist or is a file gives nothing.
    std::vector<LibraryEntry> entries;
    ScanLibrary((lib.dir / "absent").string(), true, true, entries);
    ScanLibrary((lib.dir / "sub" / "real.txt").string(), true, true, entries);
    ScanLibrary("", true, true, entries);
    EXPECT_TRUE(entries.empty());
}

TEST(LibraryScanTest, DepthIsBounded) {
    Library lib;
    fs::path folder = lib.dir.path();
    for (int depth = 1; depth <= kLibraryMaxDepth + 1; ++depth) {
        folder /= "d";
        fs::create_directory(folder);
        if (depth >= kLibraryMaxDepth) WriteFileText(folder / (std::to_string(depth) + ".txt"), "");
    }
    std::vector<LibraryEntry> entries = lib.Scan(false, false);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].title, std::to_string(kLibraryMaxDepth));
}

}  // namespace
}  // namespace pagewick::test
