// pagewick convert, run as a person would from a shell: the LIT fixture written as EPUB says the
// same words and contents as the LIT through `pagewick text` and `pagewick toc`; command lines
// it cannot take and books it cannot read fail with their message and leave no file.
#include <gtest/gtest.h>

#include <sstream>

#include "RunTool.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

std::string Q(const std::filesystem::path& p) {
    return "'" + p.string() + "'";
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// The titles of `pagewick toc`, one per row, without the cover (an EPUB's cover is no entry).
std::vector<std::string> Titles(const std::string& toc) {
    std::istringstream in(toc);
    std::vector<std::string> titles;
    for (std::string row; std::getline(in, row);)
        if (row.find("Cover Image") == std::string::npos)
            titles.push_back(row.substr(0, row.find('\t')));
    return titles;
}

TEST(ConvertCliTest, TheLitFixtureConvertedSaysTheSameWordsAndContents) {
    TempDir dir;
    const std::filesystem::path lit = FixturesDir() / "lit" / "bash-manual.lit";
    const std::filesystem::path epub = dir / "bash.epub";
    int status = -1;
    EXPECT_EQ(RunTool("convert " + Q(lit) + " -o " + Q(epub), status, true), "");
    ASSERT_EQ(status, 0);
    const std::string litText = RunTool("text " + Q(lit), status, false);
    const std::string epubText = RunTool("text " + Q(epub), status, false);
    EXPECT_EQ(status, 0);
    EXPECT_GT(Words(litText).size(), 20000u);
    EXPECT_EQ(Words(epubText), Words(litText));
    const std::vector<std::string> titles = Titles(RunTool("toc " + Q(lit), status, false));
    EXPECT_GT(titles.size(), 10u);
    EXPECT_EQ(Titles(RunTool("toc " + Q(epub), status, false)), titles);
    const std::string info = RunTool("info " + Q(epub), status, false);
    EXPECT_NE(info.find("title: BASH(1) - GNU Bourne-Again SHell"), std::string::npos) << info;
}

TEST(ConvertCliTest, RefusesWhatItCannotDoAndLeavesNoFile) {
    TempDir dir;
    const std::filesystem::path lit = FixturesDir() / "lit" / "tiny.lit";
    int status = -1;
    // Usage errors.
    std::string out = RunTool("convert " + Q(lit) + " -o " + Q(dir / "x.pawk"), status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("must end in .epub"), std::string::npos) << out;
    out = RunTool("convert " + Q(lit), status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("usage: pagewick convert BOOK -o OUT.epub"), std::string::npos) << out;
    out = RunTool("convert " + Q(lit) + " -o", status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("-o needs a value"), std::string::npos) << out;
    EXPECT_NE(RunTool("convert --help", status, true).find("usage: pagewick convert"),
              std::string::npos);
    EXPECT_EQ(status, 0);

    // A book that is not what its name says, one that is not there, and the book as its own
    // output.
    WriteFileText(dir / "broken.lit", "not a LIT book at all");
    out = RunTool("convert " + Q(dir / "broken.lit") + " -o " + Q(dir / "a.epub"), status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("pagewick: Pagewick cannot read this format"), std::string::npos) << out;
    out = RunTool("convert " + Q(dir / "none.txt") + " -o " + Q(dir / "b.epub"), status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("no such file"), std::string::npos) << out;
    ASSERT_EQ(RunTool("convert " + Q(lit) + " -o " + Q(dir / "c.EPUB"), status, true), "");
    ASSERT_EQ(status, 0);
    ASSERT_EQ(RunTool("convert " + Q(lit) + " -o " + Q(dir / "d.epub"), status, true), "");
    out = RunTool("convert " + Q(dir / "d.epub") + " -o " + Q(dir / "d.epub"), status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("is the book itself"), std::string::npos) << out;

    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"broken.lit", "c.EPUB", "d.epub"}));
}

}  // namespace
}  // namespace pagewick::test
