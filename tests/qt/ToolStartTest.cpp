// How the tool starts: the commands that draw nothing load no Qt library (the dynamic loader's
// own account, LD_DEBUG=libs), the ones that draw load the drawing part, and every command reads
// its arguments alike.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "RunTool.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

// The tool's output with the loader's account of every library it loads.
std::string RunWithLoaderLog(const std::string& arguments, int& status) {
    setenv("LD_DEBUG", "libs", 1);
    std::string out = RunTool(arguments, status, true);
    unsetenv("LD_DEBUG");
    return out;
}

bool LoadsQt(const std::string& log) {
    return log.find("libQt6") != std::string::npos;
}

std::string PagesLine(const std::string& out) {
    size_t at = out.find("pages: ");
    return at == std::string::npos ? "" : out.substr(at, out.find('\n', at) - at);
}

TEST(ToolStartTest, OnlyTheCommandsThatDrawLoadQt) {
    TempDir dir;
    std::string words;
    for (int i = 0; i < 400; ++i)
        words += "word" + std::to_string(i) + " ";
    WriteFileText(dir / "book.txt", words);
    const std::string book = "'" + (dir / "book.txt").string() + "'";
    int status = -1;
    for (const std::string& command :
         std::vector<std::string>{"help", "info " + book, "toc " + book, "text " + book,
                                  "paginate " + book + " --fixed-metrics", "render --help",
                                  "print --help", "library '" + dir.path().string() + "'"}) {
        std::string log = RunWithLoaderLog(command, status);
        EXPECT_EQ(status, 0) << command;
        EXPECT_FALSE(LoadsQt(log)) << command;
        EXPECT_EQ(log.find("libpagewick-draw"), std::string::npos) << command;
    }
    // The same account shows Qt where it is used: drawing a page, measuring with the fonts.
    std::string log =
        RunWithLoaderLog("render " + book + " -o '" + (dir / "page.png").string() + "'", status);
    EXPECT_EQ(status, 0) << log;
    EXPECT_TRUE(LoadsQt(log));
    EXPECT_NE(log.find("libpagewick-draw.so"), std::string::npos);
    EXPECT_TRUE(LoadsQt(RunWithLoaderLog("paginate " + book, status)));

    // A picture under fixed metrics is still measured by Qt's readers, loaded when it is met: the
    // tall picture takes a page of its own.
    QImage tall(40, 3000, QImage::Format_RGB32);
    tall.fill(Qt::blue);
    ASSERT_TRUE(tall.save(QString::fromStdString((dir / "tall.png").string()), "PNG"));
    WriteFileText(dir / "with.htm", "<p>" + words + "<img src=\"tall.png\"> " + words + "</p>");
    WriteFileText(dir / "without.htm", "<p>" + words + " " + words + "</p>");
    auto q = [&dir](const std::string& name) { return "'" + (dir / name).string() + "'"; };
    RunTool("pawk pack -o " + q("with.pawk") + " --title T " + q("with.htm") + " " + q("tall.png"),
            status, true);
    ASSERT_EQ(status, 0);
    RunTool("pawk pack -o " + q("without.pawk") + " --title T " + q("without.htm"), status, true);
    ASSERT_EQ(status, 0);
    const std::string with =
        RunWithLoaderLog("paginate " + q("with.pawk") + " --fixed-metrics", status);
    EXPECT_EQ(status, 0) << with;
    EXPECT_TRUE(LoadsQt(with));
    const std::string without =
        RunWithLoaderLog("paginate " + q("without.pawk") + " --fixed-metrics", status);
    EXPECT_FALSE(LoadsQt(without));
    EXPECT_NE(PagesLine(with), "");
    EXPECT_NE(PagesLine(with), PagesLine(without));
}

// libzip (and the crypto library it brings) is loaded when an archive is first met, never at
// start: a command on a plain book binds none of it, and writing and reading an EPUB works through
// the library loaded on demand.
TEST(ToolStartTest, LibzipIsLoadedOnlyForArchives) {
    TempDir dir;
    WriteFileText(dir / "book.txt", "Some words of a small book.\n");
    auto q = [&dir](const std::string& name) { return "'" + (dir / name).string() + "'"; };
    int status = -1;
    for (const std::string& command : {std::string("help"), "text " + q("book.txt")}) {
        const std::string log = RunWithLoaderLog(command, status);
        EXPECT_EQ(status, 0) << command;
        EXPECT_EQ(log.find("libzip"), std::string::npos) << command;
        EXPECT_EQ(log.find("libcrypto"), std::string::npos) << command;
    }
    std::string log =
        RunWithLoaderLog("convert " + q("book.txt") + " -o " + q("book.epub"), status);
    EXPECT_EQ(status, 0) << log;
    EXPECT_NE(log.find("libzip"), std::string::npos);
    log = RunWithLoaderLog("text " + q("book.epub"), status);
    EXPECT_EQ(status, 0) << log;
    EXPECT_NE(log.find("libzip"), std::string::npos);
    EXPECT_NE(log.find("Some words of a small book."), std::string::npos) << log;
}

TEST(ToolStartTest, EveryCommandHasHelpAndNamesWhatIsWrongAlike) {
    int status = -1;
    std::istringstream help(RunTool("help", status, false));
    ASSERT_EQ(status, 0);
    std::vector<std::string> commands;
    for (std::string line; std::getline(help, line);)
        if (line.rfind("  pagewick ", 0) == 0)
            commands.push_back(line.substr(11, line.find(' ', 11) - 11));
    ASSERT_GE(commands.size(), 12u);
    for (const std::string& command : commands) {
        std::string out = RunTool(command + " --help", status, true);
        EXPECT_EQ(status, 0) << command;
        EXPECT_EQ(out.rfind("usage: pagewick " + command + " ", 0), 0u) << out;
        out = RunTool(command + " --bogus", status, true);
        // A search that finds nothing exits 1, so its command lines it cannot take exit 2.
        EXPECT_EQ(status, command == "search" ? 2 : 1) << command;
        EXPECT_EQ(out, "pagewick: " + command + ": unknown option --bogus\n");
    }
    // Subcommands answer for themselves, and an option without its value is named.
    std::string out = RunTool("pawk extract --help", status, true);
    EXPECT_EQ(out.rfind("usage: pagewick pawk extract BOOK.pawk NAME -o FILE\n", 0), 0u) << out;
    EXPECT_EQ(RunTool("pawk extract book.pawk NAME -o", status, true),
              "pagewick: pawk extract: -o needs a value\n");
    EXPECT_EQ(RunTool("lit decode --bogus", status, true),
              "pagewick: lit decode: unknown option --bogus\n");
    EXPECT_EQ(RunTool("render book.txt --face --links -o p.png", status, true),
              "pagewick: render: --face needs a value\n");
    EXPECT_EQ(RunTool("build --title A --title B book.htm", status, true),
              "pagewick: build: --title given more than once\n");
    // A number that is none gets the command's own words, as it always has.
    EXPECT_EQ(RunTool("paginate book.txt --width wide", status, true),
              "pagewick: paginate: --width and --height take whole numbers of 40 or more, "
              "--font-size 1 to 200\n");
    EXPECT_EQ(status, 1);
}

}  // namespace
}  // namespace pagewick::test
