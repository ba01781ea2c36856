// "pagewick info" and "pagewick text" on books of every kind, and the other commands on LIT and
// EPUB books.
#include <gtest/gtest.h>
#include <zip.h>

#include "RunTool.h"
#include "support/fixtures.h"

namespace {

using pagewick::test::FixturesDir;
using pagewick::test::RunTool;

std::string Lit(const std::string& name) {
    return (FixturesDir() / "lit" / (name + ".lit")).string();
}

TEST(BookCommandsTest, InfoAndTextOfALitBookAndOfAnHtmlFile) {
    int status = -1;
    EXPECT_EQ(RunTool("info " + Lit("almanac"), status, true),
              "title: The Lantern Keeper's Almanac\n"
              "author: Ione Marsh\n"
              "publisher: Harbourside Press\n"
              "isbn: 9780306406157\n"
              "rights: Copyright \xC2\xA9 2024 Harbourside Press. Free to copy for testing.\n"
              "contents: 7\n"
              "files: 7\n");
    EXPECT_EQ(status, 0);
    // A field the book lacks is left out.
    std::string tiny = RunTool("info " + Lit("tiny"), status, true);
    EXPECT_EQ(tiny.find("isbn:"), std::string::npos) << tiny;
    EXPECT_NE(tiny.find("contents: 0\nfiles: 1\n"), std::string::npos) << tiny;

    pagewick::test::TempDir dir;
    const std::string out = (dir / "almanac.txt").string();
    ASSERT_EQ(RunTool("text " + Lit("almanac") + " -o " + out, status, true), "");
    EXPECT_EQ(status, 0);
    const std::string text = pagewick::test::ReadFileText(out);
    EXPECT_EQ(text.rfind("Chapter 1 \xE2\x80\x93 The Lighthouse\n\nThe lighthouse stood", 0), 0u)
        << text.substr(0, 200);
    EXPECT_NE(text.find("Its oil cost 3 \xE2\x82\xAC a litre"), std::string::npos);
    EXPECT_EQ(text.find('<'), std::string::npos);

    pagewick::test::WriteFileText(dir / "book.htm",
                                  "<html><head><title>T</title><style>p{}</style></head><body>"
                                  "<h1>Head</h1><p>One &amp;\n  two<br>three</p><p>caf&#233;"
                                  "</body></html>");
    EXPECT_EQ(RunTool("text " + (dir / "book.htm").string(), status, true),
              "Head\n\nOne & two\nthree\n\ncaf\xC3\xA9\n");
    EXPECT_EQ(RunTool("info " + (dir / "book.htm").string(), status, true),
              "title: T\nformat: html\nlength: 129\n");
    // References as the page shows them; a name that names nothing stays as it was written.
    pagewick::test::WriteFileText(dir / "refs.htm",
                                  "<html>&rsquo;x&rsquo; &amp chips &copy2024 &bogus; &#x2014;");
    EXPECT_EQ(RunTool("text " + (dir / "refs.htm").string(), status, true),
              "\xE2\x80\x99x\xE2\x80\x99 & chips \xC2\xA9"
              "2024 &bogus; \xE2\x80\x94\n");
    // A UTF-8 file comes out as it is; read as Windows-1252 on request, each byte is a character.
    pagewick::test::WriteFileText(dir / "utf8.txt", "caf\xC3\xA9 \xCE\xB1");
    EXPECT_EQ(RunTool("text " + (dir / "utf8.txt").string(), status, true),
              "caf\xC3\xA9 \xCE\xB1\n");
    EXPECT_EQ(RunTool("text " + (dir / "utf8.txt").string() + " --encoding cp1252", status, true),
              "caf\xC3\x83\xC2\xA9 \xC3\x8E\xC2\xB1\n");
    // The other commands open LIT books like any other.
    std::string pages = RunTool("paginate " + Lit("almanac") + " --fixed-metrics", status, true);
    EXPECT_EQ(status, 0) << pages;
    EXPECT_EQ(pages.rfind("pages: ", 0), 0u) << pages;
}

TEST(BookCommandsTest, InfoTocAndTextOfEpubBooks) {
    int status = -1;
    const auto epub = [](const std::string& name) {
        return (FixturesDir() / "epub" / (name + ".epub")).string();
    };
    EXPECT_EQ(RunTool("info " + epub("almanac"), status, true),
              "title: The Lantern Keeper\xE2\x80\x99s Almanac\n"
              "author: Ione Marsh\n"
              "publisher: Harbourside Press\n"
              "isbn: 9780306406157\n"
              "rights: Copyright \xC2\xA9 2024 Harbourside Press. Free to copy for testing.\n"
              "language: en\n"
              "contents: 6\n"
              "files: 7\n");
    EXPECT_EQ(status, 0);
    // One row per contents entry, its title first, as the independent reading lists them.
    for (const char* name : {"almanac", "bash-manual3", "grep-pandoc3", "tar-pandoc2"}) {
        const std::string toc = RunTool("toc " + epub(name), status, false);
        EXPECT_EQ(status, 0);
        std::string titles;
        for (size_t at = 0; at < toc.size();) {
            size_t end = toc.find('\n', at);
            titles += toc.substr(at, toc.find('\t', at) - at) + "\n";
            at = end == std::string::npos ? toc.size() : end + 1;
        }
        // The listing without its "#" line.
        std::string expected =
            pagewick::test::ReadFileText(FixturesDir() / "epub" / (std::string(name) + ".toc.tsv"));
        expected.erase(0, expected.find('\n') + 1);
        EXPECT_EQ(titles, expected) << name;
    }
    const std::string text = RunTool("text " + epub("almanac"), status, true);
    EXPECT_EQ(text.rfind("Chapter 1 \xE2\x80\x93 The Lighthouse\n\nThe lighthouse stood", 0), 0u)
        << text.substr(0, 200);
    EXPECT_EQ(text.find('<'), std::string::npos);

    // paginate, render and print take EPUB books as the others: the place is kept beside the
    // book, and a chapter prints fewer pages than the whole.
    pagewick::test::TempDir dir;
    const auto book = dir / "almanac.epub";
    std::filesystem::copy_file(epub("almanac"), book);
    const std::string pages =
        RunTool("paginate " + book.string() + " --fixed-metrics", status, true);
    EXPECT_EQ(status, 0) << pages;
    ASSERT_EQ(pages.rfind("pages: ", 0), 0u) << pages;
    const int count = std::stoi(pages.substr(7));
    EXPECT_GT(count, 6);
    const std::string drawn =
        RunTool("render " + book.string() + " --page 3 --links -o " + (dir / "p3.png").string(),
                status, true);
    EXPECT_EQ(status, 0) << drawn;
    EXPECT_GT(std::filesystem::file_size(dir / "p3.png"), 1000u);
    EXPECT_TRUE(std::filesystem::exists(book.string() + ".pwk"));
    const std::string all =
        RunTool("print " + book.string() + " -o " + (dir / "all.pdf").string(), status, true);
    EXPECT_EQ(status, 0) << all;
    const std::string chapter =
        RunTool("print " + book.string() + " -o " + (dir / "ch3.pdf").string() + " --chapters 3",
                status, true);
    EXPECT_EQ(status, 0) << chapter;
    EXPECT_GT(pagewick::test::PdfPages(dir / "ch3.pdf"), 0);
    EXPECT_LT(pagewick::test::PdfPages(dir / "ch3.pdf"), pagewick::test::PdfPages(dir / "all.pdf"));

    // A damaged book says so and fails.
    pagewick::test::WriteFileText(dir / "cut.epub", "PK\x03\x04 not the rest of an archive");
    const std::string damaged = RunTool("info " + (dir / "cut.epub").string(), status, true);
    EXPECT_NE(damaged.find("This eBook is damaged and cannot be opened."), std::string::npos)
        << damaged;
    EXPECT_NE(status, 0);
}

// A book named in capitals is read as the same name in lower case would be, an archive's too;
// a book whose reader says why it cannot be read is said once, by the reader.
TEST(BookCommandsTest, NamesInCapitalsAndABookItsReaderRefuses) {
    int status = -1;
    pagewick::test::TempDir dir;
    const std::string epub = (FixturesDir() / "epub" / "almanac.epub").string();
    std::filesystem::copy_file(epub, dir / "ALMANAC.EPUB");
    std::filesystem::copy_file(Lit("almanac"), dir / "Almanac.LIT");
    const std::string info = RunTool("info " + epub, status, true);
    EXPECT_EQ(RunTool("info " + (dir / "ALMANAC.EPUB").string(), status, true), info);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(RunTool("text " + (dir / "Almanac.LIT").string(), status, true),
              RunTool("text " + Lit("almanac"), status, true));
    EXPECT_EQ(status, 0);

    const std::string words = "Words kept in an archive named in capitals.";
    int error = 0;
    zip_t* z = zip_open((dir / "BOX.ZIP").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(z, nullptr);
    ASSERT_GE(zip_file_add(z, "Story.txt", zip_source_buffer(z, words.data(), words.size(), 0), 0),
              0);
    ASSERT_EQ(zip_close(z), 0);
    const std::string member = (dir / "BOX.ZIP").string() + ":Story.txt";
    EXPECT_EQ(RunTool("info " + member, status, true),
              "title: Story\nformat: zip member\nlength: " + std::to_string(words.size()) + "\n");
    EXPECT_EQ(RunTool("text " + member, status, true), words + "\n");
    EXPECT_EQ(status, 0);
    RunTool("text " + (dir / "BOX.ZIP").string(), status, true);  // no member named
    EXPECT_EQ(status, 1);

    pagewick::test::WriteFileText(dir / "CUT.EPUB", "PK\x03\x04 not the rest of an archive");
    for (const char* command : {"text ", "toc "}) {
        EXPECT_EQ(RunTool(command + (dir / "CUT.EPUB").string(), status, true),
                  "Pagewick: This eBook is damaged and cannot be opened.\n")
            << command;
        EXPECT_EQ(status, 1) << command;
    }
}

}  // namespace
