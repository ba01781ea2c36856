// pagewick notes, render --highlights, run as a person would from a shell: the export against
// what pagewick text and paginate say of the same book, the import's merge and its refusals.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <regex>
#include <sstream>

#include "RunTool.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

namespace fs = std::filesystem;

std::string Q(const fs::path& p) {
    return "'" + p.string() + "'";
}

TEST(NotesCliTest, ExportQuotesTheTextOnItsPagesAndImportMerges) {
    TempDir dir;
    const fs::path book = dir / "gpl.txt";
    fs::copy_file(FixturesDir() / "text" / "gpl2-license.txt", book);
    const fs::path notes = dir / "gpl.txt.pwk.notes";
    WriteFileText(
        dir / "in.json",
        "[{\"start\": 4000, \"end\": 4100, \"colour\": \"green\", \"note\": \"first\"},\n"
        " {\"start\": 120, \"end\": 200, \"created\": \"2026-12-09T15:40:00Z\"},\n"
        " {\"start\": 9000, \"end\": 12000, \"colour\": \"pink\", \"note\": \"long\\nnote\"}]");
    int status = -1;
    EXPECT_EQ(RunTool("notes " + Q(book) + " --import " + Q(dir / "in.json"), status, true),
              "3 added, 0 updated\n");
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(fs::exists(notes));
    EXPECT_FALSE(fs::exists(dir / "gpl.txt.pwk"));  // the tool keeps no place

    // Every highlight in text order, its text that stretch of `pagewick text`, its page the
    // one paginate's starts give.
    const std::string text = RunTool("text " + Q(book), status, false);
    std::vector<long> starts;
    std::istringstream table(
        RunTool("paginate " + Q(book) + " --fixed-metrics --starts", status, false));
    for (std::string l; std::getline(table, l);)
        if (l.rfind("start: ", 0) == 0) starts.push_back(std::stol(l.substr(7)));
    ASSERT_GT(starts.size(), 10u);
    const std::string json =
        RunTool("notes " + Q(book) + " --format json --fixed-metrics", status, false);
    EXPECT_EQ(status, 0);
    const std::regex item(
        R"re(\{"start": (\d+), "end": (\d+), "colour": "(\w+)", .*"page": (\d+), "text": "(.*)"\})re");
    std::vector<long> seen;
    std::istringstream lines(json);
    for (std::string l; std::getline(lines, l);) {
        std::smatch m;
        if (!std::regex_search(l, m, item)) continue;
        const long start = std::stol(m[1]);
        seen.push_back(start);
        const long page =
            long(std::upper_bound(starts.begin(), starts.end(), start) - starts.begin());
        EXPECT_EQ(std::stol(m[4]), page) << l;
        std::string quoted = m[5];
        for (size_t at; (at = quoted.find("\\n")) != std::string::npos;)
            quoted.replace(at, 2, "\n");
        EXPECT_GT(quoted.size(), 50u);
        EXPECT_NE(text.find(quoted), std::string::npos) << quoted;
    }
    EXPECT_EQ(seen, (std::vector<long>{120, 4000, 9000}));

    // Markdown: a heading per highlight with its page, colour and time, the quote, the note.
    const std::string markdown = RunTool("notes " + Q(book) + " --fixed-metrics", status, false);
    EXPECT_EQ(markdown.rfind("# gpl.txt\n\n## Page 1 (yellow, 2026-12-09 15:40)\n\n> ", 0), 0u)
        << markdown.substr(0, 200);
    EXPECT_NE(markdown.find(")\n\n> "), std::string::npos);
    EXPECT_NE(markdown.find("\n\nlong\nnote\n"), std::string::npos);

    // The export imported into another copy of the book gives the same notes file.
    const fs::path copy = dir / "copy.txt";
    fs::copy_file(book, copy);
    WriteFileText(dir / "export.json", json);
    EXPECT_EQ(RunTool("notes " + Q(copy) + " --import " + Q(dir / "export.json"), status, true),
              "3 added, 0 updated\n");
    EXPECT_EQ(ReadFileText(dir / "copy.txt.pwk.notes"), ReadFileText(notes));

    // The same range is one highlight: the imported colour and note win.
    WriteFileText(dir / "again.json",
                  "[{\"start\": 120, \"end\": 200, \"colour\": \"blue\", "
                  "\"note\": \"changed\"}, {\"start\": 1, \"end\": 5}]");
    EXPECT_EQ(RunTool("notes " + Q(book) + " --import " + Q(dir / "again.json"), status, true),
              "1 added, 1 updated\n");
    const std::string merged = ReadFileText(notes);
    EXPECT_NE(merged.find("{\"start\": 120, \"end\": 200, \"colour\": \"blue\", \"note\": "
                          "\"changed\", \"created\": \"2026-12-09T15:40:00Z\"}"),
              std::string::npos)
        << merged;

    // A file that is not one of highlights: said on standard error, status 1, nothing changed.
    for (const char* bad :
         {"{\"start\": 1}", "[{\"start\": 1, \"end\": 2, \"colour\": 7}]", "[1"}) {
        WriteFileText(dir / "bad.json", bad);
        const std::string said =
            RunTool("notes " + Q(book) + " --import " + Q(dir / "bad.json"), status, true);
        EXPECT_EQ(status, 1) << bad;
        EXPECT_NE(said.find("is not a file of highlights"), std::string::npos) << said;
        EXPECT_EQ(ReadFileText(notes), merged);
    }
    RunTool("notes " + Q(book) + " --import " + Q(dir / "missing.json"), status, false);
    EXPECT_EQ(status, 1);
    RunTool("notes " + Q(book) + " --format xml", status, false);
    EXPECT_EQ(status, 1);

    // render draws them only when asked.
    RunTool("render " + Q(book) + " -o " + Q(dir / "plain.png"), status, false);
    ASSERT_EQ(status, 0);
    RunTool("render " + Q(book) + " --highlights -o " + Q(dir / "marked.png"), status, false);
    ASSERT_EQ(status, 0);
    const QImage plain(QString::fromStdString((dir / "plain.png").string()));
    const QImage marked(QString::fromStdString((dir / "marked.png").string()));
    ASSERT_FALSE(plain.isNull());
    EXPECT_NE(plain, marked);
}

}  // namespace
}  // namespace pagewick::test
