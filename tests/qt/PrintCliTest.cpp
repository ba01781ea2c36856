// pagewick print, run as a person would from a shell: page and chapter ranges of a PAWK book
// with a picture into PDF files, and the ranges and outputs it refuses.
#include <gtest/gtest.h>

#include "RunTool.h"
#include "pawk/PawkWriter.h"
#include "support/QtPng.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

namespace fs = std::filesystem;

std::string Q(const fs::path& p) {
    return "'" + p.string() + "'";
}

fs::path WriteBook(const fs::path& folder) {
    PawkWriter w;
    w.title = "Printed";
    std::string one = "<p>Chapter one.</p><p><img src=\"pic.png\"> under it.</p>";
    for (int i = 0; i < 400; ++i)
        one += "<p>One line " + std::to_string(i) + " of the first chapter.</p>";
    std::string two = "<newpage><a name=\"two\"></a><p>Chapter two.</p>";
    for (int i = 0; i < 60; ++i)
        two += "<p>Two line " + std::to_string(i) + ".</p>";
    w.files.push_back({"one.htm", {}, std::vector<uint8_t>(one.begin(), one.end())});
    w.files.push_back({"two.htm", {}, std::vector<uint8_t>(two.begin(), two.end())});
    w.files.push_back({"pic.png", {}, SolidPng(80, 60, Qt::darkGreen)});
    w.contents = {{0, "One", "one.htm#"}, {0, "Two", "two.htm#two"}};
    fs::path path = folder / "printed.pawk";
    EXPECT_TRUE(w.Write(path));
    return path;
}

TEST(PrintCliTest, PageAndChapterRangesToPdfAndWhatIsRefused) {
    TempDir dir;
    const fs::path book = WriteBook(dir.path());
    int status = -1;
    std::string out =
        RunTool("print " + Q(book) + " -o " + Q(dir / "pages.pdf") + " --pages 2-4", status, true);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("3 pages written to "), std::string::npos) << out;
    EXPECT_EQ(PdfPages(dir / "pages.pdf"), 3);

    // The whole book, then its chapters: the two chapters make up the whole.
    out = RunTool("print " + Q(book) + " -o " + Q(dir / "all.pdf"), status, true);
    EXPECT_EQ(status, 0) << out;
    const int all = PdfPages(dir / "all.pdf");
    out =
        RunTool("print " + Q(book) + " -o " + Q(dir / "one.pdf") + " --chapters 1-1", status, true);
    EXPECT_EQ(status, 0) << out;
    out = RunTool("print " + Q(book) + " -o " + Q(dir / "two.pdf") + " --chapters 2", status, true);
    EXPECT_EQ(status, 0) << out;
    EXPECT_GT(PdfPages(dir / "two.pdf"), 0);
    EXPECT_EQ(PdfPages(dir / "one.pdf") + PdfPages(dir / "two.pdf"), all);
    EXPECT_NE(out.find(std::to_string(PdfPages(dir / "two.pdf")) + " page"), std::string::npos);

    // A coarse printer and another paper still print every page.
    out = RunTool("print " + Q(book) + " -o " + Q(dir / "coarse.pdf") +
                      " --pages 1-2 --dpi 72 --paper Letter",
                  status, true);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(PdfPages(dir / "coarse.pdf"), 2);

    // Refused: a range past the end, an unknown paper, a bad range, an output that cannot be
    // written (nothing is left under its name or beside it).
    out = RunTool("print " + Q(book) + " -o " + Q(dir / "past.pdf") + " --pages 900-901", status,
                  true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("Page 900 is past the end of the book (" + std::to_string(all) + " pages)"),
              std::string::npos)
        << out;
    EXPECT_FALSE(fs::exists(dir / "past.pdf"));
    out = RunTool("print " + Q(book) + " -o " + Q(dir / "x.pdf") + " --paper Napkin", status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("unknown paper"), std::string::npos);
    out = RunTool("print " + Q(book) + " -o " + Q(dir / "x.pdf") + " --pages 4-2", status, true);
    EXPECT_EQ(status, 1);
    fs::create_directory(dir / "taken.pdf");
    out = RunTool("print " + Q(book) + " -o " + Q(dir / "taken.pdf"), status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("Cannot write " + (dir / "taken.pdf").string()), std::string::npos) << out;
    out = RunTool("print " + Q(book) + " -o " + Q(dir / "none" / "x.pdf"), status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("Cannot write"), std::string::npos) << out;
    for (const auto& item : fs::directory_iterator(dir.path()))
        EXPECT_EQ(item.path().filename().string().find(".part"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "x.pdf"));

    // Chapters of a book without contents.
    WriteFileText(dir / "plain.txt", "No chapters here.\n");
    out = RunTool("print " + Q(dir / "plain.txt") + " -o " + Q(dir / "p.pdf") + " --chapters 1",
                  status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("no table of contents"), std::string::npos);
}

}  // namespace
}  // namespace pagewick::test
