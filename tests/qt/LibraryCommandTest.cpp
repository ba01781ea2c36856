#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zip.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "RunTool.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

namespace fs = std::filesystem;

TEST(LibraryCommandTest, PrintsOneTabSeparatedLinePerEntry) {
    TempDir dir;
    std::string root = dir.path().string();
    fs::create_directories(dir / "shelf");
    WriteFileText(dir / "Caf\xC3\xA9.txt", "x");
    WriteFileText(dir / "shelf" / "page.html", "x");
    WriteFileText(dir / "odd\tname.txt", "x");
    int error = 0;
    zip_t* z = zip_open((dir / "shelf" / "box.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(z, nullptr);
    ASSERT_GE(zip_file_add(z, "in.txt", zip_source_buffer(z, "t", 1, 0), 0), 0);
    ASSERT_EQ(zip_close(z), 0);

    int status = -1;
    std::string out = RunTool("library '" + root + "'", status, false);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "0\teBooks/\tCaf\xC3\xA9\t" + root + "/Caf\xC3\xA9.txt\t\n" +
                       "0\teBooks/\todd\\tname\t" + root + "/odd\\tname.txt\t\n");

    out = RunTool("library --zip '" + root + "' --html", status, false);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("1\t/shelf/box.zip\tin\t" + root + "/shelf/box.zip\tin.txt\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("4\t/shelf\tpage\t" + root + "/shelf/page.html\t\n"), std::string::npos)
        << out;

    out = RunTool("library '" + root + "/absent'", status, true);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "pagewick: library: no folder " + root + "/absent\n");
    RunTool("library '" + root + "/Caf\xC3\xA9.txt'", status, false);
    EXPECT_EQ(status, 1);
    RunTool("library '" + root + "' --all", status, false);
    EXPECT_EQ(status, 1);
    RunTool("library", status, false);
    EXPECT_EQ(status, 1);
}

}  // namespace
}  // namespace pagewick::test
