// pagewick build and pagewick palm, run as a person would from a shell.
#include <gtest/gtest.h>

#include "RunTool.h"
#include "pawk/PawkFile.h"
#include "pawk/PawkReader.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

std::string Q(const std::filesystem::path& p) {
    return "'" + p.string() + "'";
}

TEST(BuildCliTest, BuildsFromSourcesAndFromLitThenWrapsForPalm) {
    TempDir dir;
    WriteFileText(dir / "one.htm", "<title>Uno</title><p>First page");
    WriteFileText(dir / "two.txt", "Second\nfile");
    WriteFileText(dir / "art.png", "png bytes");
    int status = -1;
    std::string out = RunTool("build -o " + Q(dir / "book.pawk") + " --title 'Caf\xC3\xA9' " +
                                  "--author Ann --reflow --cover " + Q(dir / "art.png") + " " +
                                  Q(dir / "one.htm") + " " + Q(dir / "two.txt"),
                              status, true);
    ASSERT_EQ(status, 0) << out;
    PawkDiskFile file(dir / "book.pawk");
    PawkReader reader;
    ASSERT_TRUE(reader.Open(file));
    EXPECT_EQ(reader.Title(), "Caf\xE9");
    EXPECT_EQ(reader.CoverName(), "cover.png");
    ASSERT_EQ(reader.Order().size(), 2u);
    ASSERT_EQ(reader.Contents().size(), 3u);
    EXPECT_EQ(reader.Contents()[1].title, "Uno");

    // An existing different book is kept unless --force says otherwise.
    out = RunTool("build -o " + Q(dir / "book.pawk") + " --title Other " + Q(dir / "two.txt"),
                  status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("--force"), std::string::npos);

    out = RunTool("build -o " + Q(dir / "lit.pawk") + " " + Q(FixturesDir() / "lit" / "tiny.lit") +
                      " " + Q(dir / "one.htm"),
                  status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("Please choose this file as your first entry."), std::string::npos);
    out = RunTool("build -o " + Q(dir / "lit.pawk") + " " + Q(FixturesDir() / "lit" / "tiny.lit"),
                  status, true);
    ASSERT_EQ(status, 0) << out;

    out = RunTool("palm " + Q(dir / "lit.pawk"), status, true);
    ASSERT_EQ(status, 0) << out;
    auto book = ReadFileBytes(dir / "lit.pawk");
    auto pdb = ReadFileBytes(dir / "lit.pawk.pdb");
    ASSERT_EQ(pdb.size(),
              80 + 8 * (book.size() / 4096 + 1) + 8 * (book.size() / 4096 + 1) + book.size());
    EXPECT_EQ(std::string(pdb.begin() + 60, pdb.begin() + 68), "PAWKPAWK");
    out = RunTool("palm " + Q(dir / "two.txt"), status, true);
    EXPECT_EQ(status, 1);

    // Wrong arguments say what is wrong with them.
    for (const auto& [args, says] : std::vector<std::pair<std::string, std::string>>{
             {"build " + Q(dir / "one.htm") + " --title", "build: --title needs a value"},
             {"palm " + Q(dir / "lit.pawk") + " -o", "palm: -o needs a value"},
             {"palm " + Q(dir / "gone.pawk"), "palm: cannot open " + (dir / "gone.pawk").string()},
             {"print " + Q(dir / "lit.pawk") + " -o", "print: -o needs a value"},
             {"device send " + Q(dir / "gone.pawk"),
              "device: cannot open " + (dir / "gone.pawk").string()},
             {"build --bogus " + Q(dir / "one.htm"), "build: unknown option --bogus"}}) {
        out = RunTool(args, status, true);
        EXPECT_EQ(status, 1) << args;
        EXPECT_NE(out.find("pagewick: " + says), std::string::npos) << args << "\n" << out;
    }
}

TEST(BuildCliTest, UnicodeSourcesComeOutAsWrittenAndAnOptionIsNoValue) {
    TempDir dir;
    const std::string line =
        "Caf\xC3\xA9 \xE2\x80\x94 na\xC3\xAFve \xE2\x80\x98quoted\xE2\x80\x99 "
        "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xE6\x97\xA5\xE6\x9C\xAC";
    WriteFileText(dir / "uni.htm", "<html><head><title>" + line + "</title></head><body><p>" +
                                       line + "</body></html>");
    WriteFileText(dir / (line + ".txt"), line + "\n");
    int status = -1;
    // The HTML book names itself; the text is named by its file.
    EXPECT_EQ(RunTool("info " + Q(dir / "uni.htm"), status, true).substr(0, 7 + line.size()),
              "title: " + line);
    EXPECT_EQ(RunTool("info " + Q(dir / (line + ".txt")), status, true).substr(0, 7 + line.size()),
              "title: " + line);

    // "--author" is no title: the option without its value is named, and nothing is built.
    std::string out =
        RunTool("build -o " + Q(dir / "u.pawk") + " --title --author A " + Q(dir / "uni.htm"),
                status, true);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "pagewick: build: --title needs a value\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "u.pawk"));

    out = RunTool("build -o " + Q(dir / "u.pawk") + " --title " + Q(line) + " " +
                      Q(dir / "uni.htm") + " " + Q(dir / (line + ".txt")),
                  status, true);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(RunTool("text " + Q(dir / "u.pawk"), status, true), line + "\n" + line + "\n");
    EXPECT_EQ(RunTool("toc " + Q(dir / "u.pawk"), status, true),
              line + "\tuni.htm#\n" + line + "\t" + line + ".txt#\n");
    EXPECT_EQ(RunTool("info " + Q(dir / "u.pawk"), status, true).substr(0, 7 + line.size()),
              "title: " + line);
}

}  // namespace
}  // namespace pagewick::test
