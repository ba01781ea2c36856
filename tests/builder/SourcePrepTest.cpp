// The text chains that turn sources into book markup.
#include <gtest/gtest.h>

#include "builder/SourcePrep.h"

namespace pagewick {
namespace {

std::string Text(std::string s, bool reflow) {
    PrepareText(s, reflow);
    return s;
}

std::string Html(std::string s, bool reflow = false) {
    PrepareHtml(s, reflow);
    return s;
}

TEST(SourcePrepTest, ReplaceAllNeverSearchesWhatItInserted) {
    std::string s = "aaa";
    EXPECT_EQ(ReplaceAll(s, "a", "aa"), 3u);
    EXPECT_EQ(s, "aaaaaa");
    s = "x<P>y<p>z";
    EXPECT_EQ(ReplaceAll(s, "<p>", "<br>"), 1u);
    EXPECT_EQ(ReplaceAll(s, "<p>", "<br>", true), 1u);
    EXPECT_EQ(s, "x<br>y<br>z");
    EXPECT_EQ(ReplaceAll(s, "", "q"), 0u);
    // Five spaces: three after the three-space pass, two, then one.
    s = "a     b";
    ReplaceAll(s, "   ", " ");
    EXPECT_EQ(s, "a   b");
    ReplaceAll(s, "  ", " ");
    EXPECT_EQ(s, "a  b");
}

TEST(SourcePrepTest, PlainTextIsEscapedAndReflowedWithoutRunningWordsTogether) {
    EXPECT_EQ(Text("One.\r\nTwo\r\nthree", false), "One.<p>Two<p>three");
    EXPECT_EQ(Text("One.\r\nTwo\r\nthree", true), "One.<br>Two three");
    EXPECT_EQ(Text("if x < y && z > 1\nthen", false), "if x &lt; y &amp;&amp; z &gt; 1<p>then");
    EXPECT_EQ(Text("a     b", false), "a b");
    // Empty lines and ends of sentences, brackets and quotes keep their breaks.
    EXPECT_EQ(Text("Hi!\nsaid (he)\n\"so\"\nit's 'x'\n\nEnd:\nmore", true),
              "Hi!<br>said (he)<br>\"so\"<br>it's 'x'<br><br>End:<br>more");
}

TEST(SourcePrepTest, HtmlChainRewritesParagraphsFontsEntitiesAndWhitespace) {
    EXPECT_EQ(Html("<P ALIGN=CENTER>Hi</P>"), "<br><center>Hi</center>");
    EXPECT_EQ(Html("<p align=right>R</p><p align=center>C</p>x</p>"),
              "<br><right>R</right><br><center>C</center>x");
    // An opening inside another takes the next free closing, as finding them one by one would.
    EXPECT_EQ(Html("<p align=center>a<p align=center>b</p>c</p>"),
              "<br><center>a<br><center>b</center>c</center>");
    // With no closing after it the tag stays; the chain ends.
    EXPECT_EQ(Html("x<p align=center>open"), "x<p align=center>open");
    EXPECT_EQ(Html("<font face=x>a</font><FONT size=2>b</FONT><font c"), "ab<font c");
    EXPECT_EQ(Html("&NBSP;&quot;&Apos;&copy;&bull;"), "&s;\"'\xA9\xB7");
    EXPECT_EQ(Html("<body>a\tb\r\nc\nd\re   f</body></html>"), "a b c de f<br>");
    // Reflow joins lines at line breaks with a space and leaves the author's paragraphs alone.
    EXPECT_EQ(Html("<p>One<br>two.<br>Three<br><br>four<p>five", true),
              "<p>One two.<br>Three<br><br>four<p>five");
}

TEST(SourcePrepTest, LitBodyChain) {
    std::string s = "<p>One.</p>\r\n<p>two</p><center>c</center>  x";
    PrepareLitBody(s, false);
    EXPECT_EQ(s, "<p>One.</p> <p>two</p><br><center>c</center> x");
    s = "<p>One.</p><p>two</p><p>(x)</p>";
    PrepareLitBody(s, true);
    EXPECT_EQ(s, "<p>One.<br><p>two<p>(x)<br>");
}

TEST(SourcePrepTest, PlainTitle) {
    EXPECT_EQ(PlainTitle("<A href=x>Chapter&nbsp;1</a> &amp; &lt;more&gt;"), "Chapter 1 & <more>");
    EXPECT_EQ(PlainTitle("The\n  Long\tRoad"), "The Long Road");
    EXPECT_EQ(PlainTitle("a<br>b &#233;&#8211;&#x;"), "a\r\nb \xE9\x96&#x;");
    EXPECT_EQ(PlainTitle("&copy; <b unclosed"), "\xA9 <b unclosed");
    // A character the code page lacks keeps its reference; a UTF-8 title stays UTF-8.
    EXPECT_EQ(PlainTitle("&#937;&#233;&#99999999;"), "&#937;\xE9&#99999999;");
    EXPECT_EQ(PlainTitle("\xCE\xA9 &#233;&#8212; &reg;", SourceText::Utf8),
              "\xCE\xA9 \xC3\xA9\xE2\x80\x94 \xC2\xAE");
}

TEST(SourcePrepTest, ClassifyFile) {
    EXPECT_FALSE(ClassifyFile("a/b/chapter.htm"));
    EXPECT_FALSE(ClassifyFile("README"));
    EXPECT_TRUE(ClassifyFile("x.JPEG"));
    EXPECT_TRUE(ClassifyFile("picture.bmp"));
    EXPECT_TRUE(ClassifyFile("tune.MID"));
    try {
        ClassifyFile("screen.ScR");
        FAIL() << "an executable was accepted";
    } catch (const ExecutableFileError& e) {
        EXPECT_STREQ(e.what(), "You cannot inlcude executable file types.");
    }
}

TEST(SourcePrepTest, PrepareSourcesNamesChoosesTheChainAndPlantsTheAnchor) {
    std::vector<SourceFile> sources = {
        {0, "/x/Story.HTM", "", "Line one\nx < y"},
        {0, "/y/README", "", "only<br>one tag"},
        {0, "c:\\d\\ch.html", "", "<html><title>The  <i>First</i></title><p>Hi</p>"},
        {0, "pic.png", "", ""},
    };
    std::vector<PawkContentsEntry> contents;
    PrepareSources(sources, false, contents);
    ASSERT_EQ(contents.size(), 3u);
    EXPECT_EQ(contents[0], (PawkContentsEntry{0, "Story", "Story.HTM#"}));
    EXPECT_EQ(contents[1], (PawkContentsEntry{0, "", "README#"}));
    EXPECT_EQ(contents[2], (PawkContentsEntry{0, "The First", "ch.html#"}));
    EXPECT_EQ(sources[0].text, "<a name=\"Story.HTM#\"></a>Line one<p>x &lt; y");
    EXPECT_EQ(sources[1].text, "<a name=\"README#\"></a>only<br>one tag");
    EXPECT_EQ(sources[0].size, int64_t(sources[0].text.size()));
    EXPECT_TRUE(sources[3].text.empty());
}

}  // namespace
}  // namespace pagewick
