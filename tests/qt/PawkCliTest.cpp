// pagewick pawk pack, ls and extract, run as a person would from a shell.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>

#include <sys/wait.h>
#include "RunTool.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

struct CliRun {
    int status;
    std::string out;
};

CliRun Cli(const std::string& args) {
    CliRun run{-1, ""};
    run.out = RunTool(args, run.status, true);
    return run;
}

std::string Q(const std::filesystem::path& p) {
    return "'" + p.string() + "'";
}

TEST(PawkCliTest, PackListExtract) {
    TempDir dir;
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 1, 2};
    WriteFileBytes(dir / "Front.png", png.data(), png.size());
    std::string chapter(40000, 'x');
    for (size_t i = 0; i < chapter.size(); i += 10)
        chapter[i] = ' ';
    WriteFileText(dir / "ch1.htm", chapter);
    WriteFileText(dir / "ch2.txt", "");
    WriteFileText(dir / "bell.wav", "RIFF....");
    auto book = dir / "out.pawk";
    CliRun pack = Cli("pawk pack -o " + Q(book) + " --title 'My Book' --author Someone " +
                      Q(dir / "Front.png") + " " + Q(dir / "ch1.htm") + " " + Q(dir / "ch2.txt") +
                      " " + Q(dir / "bell.wav"));
    ASSERT_EQ(pack.status, 0) << pack.out;

    CliRun ls = Cli("pawk ls " + Q(book));
    ASSERT_EQ(ls.status, 0) << ls.out;
    for (const char* line :
         {"version\t2\n", "title\tMy Book\n", "author\tSomeone\n", "cover\tcover.png\n",
          "book length\t40008\n", "order\t2\n", "  0\t40008\tch1.htm\n", "  40008\t0\tch2.txt\n",
          "contents\t3\n", "  1\tCover Image\tcover.png\n", "  0\tch1.htm\tch1.htm#\n",
          "  0\tch2.txt\tch2.txt#\n", "chunks\t4\n", "  cover.png:0\t15\t15\t"})
        EXPECT_NE(ls.out.find(line), std::string::npos) << line << "\nin:\n" << ls.out;

    CliRun extract = Cli("pawk extract " + Q(book) + " CH1.HTM -o " + Q(dir / "back.htm"));
    ASSERT_EQ(extract.status, 0) << extract.out;
    EXPECT_EQ(ReadFileText(dir / "back.htm"), chapter);
    extract = Cli("pawk extract " + Q(book) + " cover.png -o " + Q(dir / "back.png"));
    ASSERT_EQ(extract.status, 0) << extract.out;
    EXPECT_EQ(ReadFileBytes(dir / "back.png"), png);

    CliRun missing = Cli("pawk extract " + Q(book) + " none.htm -o " + Q(dir / "none.htm"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("holds no file none.htm"), std::string::npos) << missing.out;
    CliRun notBook = Cli("pawk ls " + Q(dir / "ch1.htm"));
    EXPECT_EQ(notBook.status, 1);
    EXPECT_NE(notBook.out.find("is not a readable PAWK book"), std::string::npos);
    CliRun noTitle = Cli("pawk pack -o " + Q(dir / "x.pawk") + " " + Q(dir / "ch1.htm"));
    EXPECT_EQ(noTitle.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.pawk"));
    CliRun gone = Cli("pawk pack -o " + Q(dir / "x.pawk") + " --title T " + Q(dir / "gone.htm"));
    EXPECT_EQ(gone.status, 1);
    EXPECT_NE(gone.out.find("cannot read source file"), std::string::npos) << gone.out;
}

}  // namespace
}  // namespace pagewick::test
