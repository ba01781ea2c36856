// "pagewick info" and "pagewick text" on books of every kind, and the other commands on LIT books.
#include <gtest/gtest.h>

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

}  // namespace
