// pagewick search, run as a person would from a shell, against what pagewick text shows of the
// same books.
#include <gtest/gtest.h>
#include <zip.h>

#include <QString>
#include <algorithm>
#include <regex>
#include <sstream>

#include "RunTool.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

std::string Q(const std::filesystem::path& p) {
    return "'" + p.string() + "'";
}

// The times a word stands in the text, letter case aside, counted without the search's code:
// white space runs are one space, as the page shows them.
size_t CountInText(const std::string& utf8, const std::string& word) {
    QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).simplified();
    text.remove(QChar(0xAD));
    return size_t(text.count(QString::fromStdString(word), Qt::CaseInsensitive));
}

TEST(SearchCliTest, HitsMatchTheTextOfBooksOfEveryFormat) {
    TempDir dir;
    const auto data = FixturesDir();
    WriteFileText(dir / "page.htm",
                  "<html><head><title>The title</title><style>the{}</style></head><body>"
                  "<h1>The Lantern</h1><p>th<b>e</b> keeper &amp; the\nlight, "
                  "TH&Eacute;ATRE and the end.</p></body></html>");
    const std::string gpl = ReadFileText(data / "text" / "gpl2-license.txt");
    int error = 0;
    zip_t* z = zip_open((dir / "box.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(z, nullptr);
    ASSERT_GE(zip_file_add(z, "gpl.txt", zip_source_buffer(z, gpl.data(), gpl.size(), 0), 0), 0);
    ASSERT_EQ(zip_close(z), 0);
    int status = -1;
    RunTool("pawk pack -o " + Q(dir / "page.pawk") + " --title T " + Q(dir / "page.htm"), status,
            true);
    ASSERT_EQ(status, 0);

    const std::vector<std::string> books = {
        (data / "text" / "gpl2-license.txt").string(),
        (data / "text" / "rfc-style.txt").string(),
        (data / "lit" / "almanac.lit").string(),
        (data / "lit" / "bash-manual.lit").string(),
        (dir / "page.htm").string(),
        (dir / "box.zip").string() + ":gpl.txt",
        (dir / "page.pawk").string(),
    };
    const std::regex line("page ([0-9]+): .*");
    for (const std::string& book : books) {
        const std::string text = RunTool("text " + Q(book), status, false);
        ASSERT_EQ(status, 0) << book;
        for (const std::string word : {"the", "light", "licen", "program", "end"}) {
            const size_t expected = CountInText(text, word);
            std::string out =
                RunTool("search " + Q(book) + " " + word + " --fixed-metrics", status, false);
            EXPECT_EQ(status, expected ? 0 : 1) << book << " " << word;
            size_t hits = 0;
            long lastPage = 1;
            std::istringstream lines(out);
            for (std::string l; std::getline(lines, l); ++hits) {
                std::smatch m;
                ASSERT_TRUE(std::regex_match(l, m, line)) << l;
                const long page = std::stol(m[1]);
                EXPECT_GE(page, lastPage) << book << ": " << l;  // in the order of the book
                lastPage = page;
            }
            EXPECT_EQ(hits, expected) << book << " " << word;
        }
    }
    // The HTML book's hits with their context lines: across a tag, a line end, a reference.
    EXPECT_EQ(RunTool("search " + Q(dir / "page.htm") + " 'the keeper & the light' --word", status,
                      false),
              "page 1: The Lantern the keeper & the light, THÉATRE and the end.\n");
    EXPECT_EQ(RunTool("search " + Q(dir / "page.htm") + " theatre --accents", status, false),
              "page 1: The Lantern the keeper & the light, THÉATRE and the end.\n");
    EXPECT_EQ(status, 0);
}

TEST(SearchCliTest, ExitsAsGrepDoesAndKeepsToItsOptions) {
    TempDir dir;
    std::string book;
    for (int i = 0; i < 3000; ++i)
        book += "Word " + std::to_string(i) + " of the Reader, reader's own. ";
    WriteFileText(dir / "b.txt", book);
    const std::string b = Q(dir / "b.txt");
    int status = -1;
    std::string out = RunTool("search " + b + " reader --max 3 --fixed-metrics", status, false);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.rfind("page 1: ", 0), 0u) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3);
    // Case kept: only the lower-case ones; pages grow through the book.
    out = RunTool("search " + b + " \"reader's\" --case --fixed-metrics", status, false);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3000);
    EXPECT_NE(out.substr(out.rfind("page ")).rfind("page 1:", 0), 0u);
    out = RunTool("search " + b + " Read --word --fixed-metrics", status, false);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "");
    // An empty pattern, a book that is not there, a bad number, an unknown option, a missing
    // value: errors, 2, never the 1 of nothing found.
    for (const std::string& args :
         {b + " word --colour", b + " word --max", b + " ''", b + " ' '",
          Q(dir / "none.txt") + " word", b + " word --max 0", b + " word --max x"}) {
        std::string said = RunTool("search " + args, status, true);
        EXPECT_EQ(status, 2) << args;
        EXPECT_NE(said.find("pagewick: "), std::string::npos) << args;
    }
    // A pattern of 10,000 characters is sought, and not found.
    RunTool("search " + b + " " + std::string(10000, 'x') + " --fixed-metrics", status, false);
    EXPECT_EQ(status, 1);
    const std::string help = RunTool("search --help", status, false);
    EXPECT_EQ(status, 0);
    EXPECT_NE(help.find("usage: pagewick search BOOK PATTERN [--case] [--word] [--accents]"),
              std::string::npos);
    EXPECT_NE(RunTool("help", status, false).find("search BOOK PATTERN"), std::string::npos);
}

}  // namespace
}  // namespace pagewick::test
