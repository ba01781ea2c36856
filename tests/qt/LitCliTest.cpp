// "pagewick lit entries" and "pagewick lit cat" on the fixture books.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "RunTool.h"
#include "support/fixtures.h"

namespace {

using pagewick::test::RunTool;

std::string Book(const std::string& name) {
    return (pagewick::test::FixturesDir() / "lit" / (name + ".lit")).string();
}

TEST(LitCommandTest, EntriesListsEveryEntryWithItsHash) {
    int status = -1;
    std::string out = RunTool("lit entries " + Book("almanac"), status, false);
    ASSERT_EQ(status, 0);
    std::istringstream listing(pagewick::test::ReadFileText(pagewick::test::FixturesDir() / "lit" /
                                                            "almanac.entries.tsv"));
    std::istringstream printed(out);
    std::string want, got;
    int lines = 0;
    while (std::getline(listing, want)) {
        if (want.empty() || want[0] == '#') continue;
        ASSERT_TRUE(std::getline(printed, got));
        // name, section, offset, size as in the listing; then the hash, or the error for the
        // section whose transform is not LZX and for the root folder's junk values.
        std::string kind = want.substr(want.rfind('\t') + 1);
        std::string fields = want.substr(0, want.rfind('\t'));
        std::string prefix = fields.substr(0, fields.rfind('\t') + 1);
        EXPECT_EQ(got.substr(0, prefix.size()), prefix);
        std::string hash = got.substr(prefix.size());
        if (kind == "des") {
            EXPECT_EQ(hash, "error:-2500");
        } else if (kind == "folder") {
            EXPECT_TRUE(hash == "error:-2120" ||
                        hash == "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855")
                << got;
        } else {
            EXPECT_EQ(hash, fields.substr(fields.rfind('\t') + 1)) << got;
        }
        ++lines;
    }
    EXPECT_FALSE(std::getline(printed, got)) << got;
    EXPECT_EQ(lines, 67);
}

TEST(LitCommandTest, CatWritesTheEntryBytes) {
    int status = -1;
    std::string out = RunTool("lit cat " + Book("tiny") + " /MANIFEST", status, false);
    ASSERT_EQ(status, 0);
    auto want = pagewick::test::ReadFileBytes(pagewick::test::FixturesDir() / "lit" / "tiny.raw" /
                                              "manifest.bin");
    EXPECT_EQ(out, std::string(want.begin(), want.end()));

    out = RunTool("lit cat " + Book("tiny") + " /DRMStorage/ValidationStream", status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("-2500"), std::string::npos) << out;
}

TEST(LitCommandTest, FailuresAreOneLineWithTheCode) {
    int status = -1;
    std::string notLit = std::string(PAGEWICK_SOURCE_DIR) + "/data/help.htm";
    std::string out = RunTool("lit entries " + notLit, status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("error -2100"), std::string::npos) << out;
    EXPECT_EQ(out.find('\n'), out.size() - 1) << out;

    out = RunTool("lit entries /nonexistent/book.lit", status, true);
    EXPECT_EQ(status, 1);
    out = RunTool("lit frobnicate", status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("lit entries"), std::string::npos) << out;
}

}  // namespace
