// Replacing files whole: streamed writes with a seek back, links kept, failures harmless.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <iterator>

#include "support/fixtures.h"
#include "util/AtomicFile.h"

namespace fs = std::filesystem;
using namespace pagewick;
using pagewick::test::ReadFileText;
using pagewick::test::TempDir;
using pagewick::test::WriteFileText;

namespace {

// Entries in a folder: a temporary file left behind shows up as one too many.
long EntryCount(const fs::path& folder) {
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

}  // namespace

TEST(AtomicFileTest, StreamsWithASeekBackAndKeepsTheOldFilesPermissions) {
    TempDir dir;
    const fs::path file = dir / "book.pawk";
    WriteFileText(file, "old");
    ::chmod(file.c_str(), 0640);
    {
        AtomicFile out(file);
        ASSERT_TRUE(out.IsOpen());
        ASSERT_TRUE(out.Write("head....tail", 12));
        EXPECT_EQ(ReadFileText(file), "old");  // nothing shows before Commit
        ASSERT_TRUE(out.Seek(4));
        ASSERT_TRUE(out.Write("TBL!", 4));
        ASSERT_TRUE(out.Commit());
    }
    EXPECT_EQ(ReadFileText(file), "headTBL!tail");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(EntryCount(dir.path()), 1);
}

TEST(AtomicFileTest, ALinkStaysALinkAndTheFileItNamesIsReplaced) {
    TempDir dir;
    fs::create_directories(dir / "real");
    fs::create_symlink("real/a.pwk", dir / "a.pwk");   // relative, and dangling at first
    fs::create_symlink(dir / "a.pwk", dir / "b.pwk");  // a link to the link
    ASSERT_TRUE(WriteFileAtomically(dir / "b.pwk", "one"));
    ASSERT_TRUE(WriteFileAtomically(dir / "a.pwk", "two"));
    EXPECT_TRUE(fs::is_symlink(dir / "a.pwk"));
    EXPECT_TRUE(fs::is_symlink(dir / "b.pwk"));
    EXPECT_EQ(ReadFileText(dir / "real" / "a.pwk"), "two");
    EXPECT_EQ(EntryCount(dir / "real"), 1);
}

TEST(AtomicFileTest, FailuresLeaveTheOldFileUntouchedAndNoTemporaryFile) {
    TempDir dir;
    const fs::path file = dir / "book.pwk";
    WriteFileText(file, "old");
    {
        AtomicFile dropped(file);  // never committed
        ASSERT_TRUE(dropped.Write("new", 3));
    }
    {
        AtomicFile badSeek(file);
        ASSERT_TRUE(badSeek.Write("new", 3));
        EXPECT_FALSE(badSeek.Seek(-1));
        EXPECT_FALSE(badSeek.Write("x", 1));  // a failed step sticks
        EXPECT_FALSE(badSeek.Commit());
    }
    EXPECT_EQ(ReadFileText(file), "old");
    EXPECT_EQ(EntryCount(dir.path()), 1);

    // The rename itself fails: a folder holds the place.
    fs::create_directories(dir / "taken.pwk" / "inside");
    EXPECT_FALSE(WriteFileAtomically(dir / "taken.pwk", "new"));
    EXPECT_TRUE(fs::is_directory(dir / "taken.pwk"));
    // The temporary file cannot even be made: the folder is a file.
    EXPECT_FALSE(WriteFileAtomically(file / "below", "new"));
    EXPECT_FALSE(AtomicFile(file / "below").Commit());
    EXPECT_EQ(ReadFileText(file), "old");
    EXPECT_EQ(EntryCount(dir.path()), 2);  // book.pwk and taken.pwk
}
