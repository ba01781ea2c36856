// "pagewick lit decode": one compiled entry of a LIT book to standard output.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "RunTool.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

TEST(LitDecodeCommand, WritesTheMarkupOfOneEntry) {
    const std::string book = (FixturesDir() / "lit" / "almanac.lit").string();
    int status = -1;
    std::string out = RunTool("lit decode " + book + " /data/c1/content", status, false);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(out.starts_with("<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>")) << out;
    EXPECT_TRUE(out.ends_with("</html><a name=\"\"></a>"));
    // Without a manifest the links stay as written.
    EXPECT_NE(out.find("<a href=\"c2#harbour\">harbour picture</a>"), std::string::npos);

    // "/meta" is the package description.
    out = RunTool("lit decode " + book + " /meta", status, false);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("\n<dc:Title>The Lantern Keeper's Almanac</dc:Title>\n"), std::string::npos);
    EXPECT_NE(out.find("<site title=\"A postscript\" href=\"c31#postscript\"></site>"),
              std::string::npos);

    // --package decodes any entry with the package tables.
    out = RunTool("lit decode " + book + " /data/c1/content --package", status, false);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(out.starts_with("?50? xmlns=")) << out.substr(0, 40);
}

TEST(LitDecodeCommand, FailuresAreOneClearLine) {
    const std::string book = (FixturesDir() / "lit" / "tiny.lit").string();
    int status = -1;
    std::string out = RunTool("lit decode " + book + " /data/none/content", status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("pagewick: error -2030: cannot read entry \"/data/none/content\""),
              std::string::npos)
        << out;

    // "/manifest" is not compiled markup.
    out = RunTool("lit decode " + book + " /manifest", status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("pagewick: error -1: \"/manifest\" is not well-formed compiled markup"),
              std::string::npos)
        << out;

    out = RunTool("lit decode " + book, status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("usage: pagewick lit decode BOOK.lit NAME [--package]"), std::string::npos);
}

}  // namespace
}  // namespace pagewick::test
