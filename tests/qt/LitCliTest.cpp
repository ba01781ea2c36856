// "pagewick lit entries" and "pagewick lit cat" on the fixture books.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <sstream>

#include "support/fixtures.h"

namespace {

std::string RunLit(const std::string& arguments, int& status, bool withErrors = true) {
    std::string command =
        std::string(PAGEWICK_CLI) + " lit " + arguments + (withErrors ? " 2>&1" : " 2>/dev/null");
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    std::array<char, 4096> buffer;
    size_t n;
    while (pipe && (n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.append(buffer.data(), n);
    status = pipe ? WEXITSTATUS(pclose(pipe)) : -1;
    return out;
}

std::string Book(const std::string& name) {
    return (pagewick::test::FixturesDir() / "lit" / (name + ".lit")).string();
}

TEST(LitCommandTest, EntriesListsEveryEntryWithItsHash) {
    int status = -1;
    std::string out = RunLit("entries " + Book("almanac"), status, false);
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
    std::string out = RunLit("cat " + Book("tiny") + " /MANIFEST", status, false);
    ASSERT_EQ(status, 0);
    auto want = pagewick::test::ReadFileBytes(pagewick::test::FixturesDir() / "lit" / "tiny.raw" /
                                              "manifest.bin");
    EXPECT_EQ(out, std::string(want.begin(), want.end()));

    out = RunLit("cat " + Book("tiny") + " /DRMStorage/ValidationStream", status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("-2500"), std::string::npos) << out;
}

TEST(LitCommandTest, FailuresAreOneLineWithTheCode) {
    int status = -1;
    std::string notLit = std::string(PAGEWICK_SOURCE_DIR) + "/data/help.htm";
    std::string out = RunLit("entries " + notLit, status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("error -2100"), std::string::npos) << out;
    EXPECT_EQ(out.find('\n'), out.size() - 1) << out;

    out = RunLit("entries /nonexistent/book.lit", status);
    EXPECT_EQ(status, 1);
    out = RunLit("frobnicate", status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("lit entries"), std::string::npos) << out;
}

}  // namespace
