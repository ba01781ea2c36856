// Book markup into XHTML bodies: the cases real books hold, links across documents, encodings,
// and input built to break the structure or its bounds.
#include <gtest/gtest.h>

#include "WrittenBooks.h"
#include "formats/epub/XhtmlFromMarkup.h"

namespace pagewick {
namespace {

using test::IsWellFormedBody;

TEST(XhtmlFromMarkup, TurnsBookMarkupIntoWellFormedXhtml) {
    XhtmlOptions options;
    options.picture = [](std::string_view src) {
        return src == "pic.png" ? std::string("stored.png") : std::string();
    };
    for (const test::MarkupCase& c : test::MarkupCases()) {
        const std::string body = XhtmlBodyFromMarkup(c.markup, options);
        EXPECT_EQ(body, c.body) << c.markup;
        EXPECT_TRUE(IsWellFormedBody(body)) << body;
    }
}

TEST(XhtmlFromMarkup, LinksLandInTheFileThatNowHoldsTheirTarget) {
    XhtmlFromMarkup book;
    // A LIT book's stream: files named by their marks, ids repeated from file to file, links
    // relative to folders, ids in another case than their links.
    book.Add("part1.xhtml", "",
             "<curfile>Text/ch1.html</curfile><a name=\"\"></a><h1 id=top>One</h1>"
             "<a href=\"ch2.html#Top\">to two</a> <a href=\"../Text/ch3.html\">to three</a> "
             "<a href=\"#top\">self</a> <a href=\"ch2.html#missing\">two's start</a> "
             "<a href=\"nowhere.html#top\">nowhere</a> <a href=\"only-here\">a word</a> "
             "<a href=\"cover.jpg\">a picture</a> <a href=\"#elsewhere\">elsewhere</a>"
             "<newpage><curfile>Text/ch2.html</curfile><h1 id=top>Two</h1>"
             "<a href=\"ch1.html#top\">back to one</a><a name=only-here></a>");
    book.Add("part2.xhtml", "Text/ch3.html", "<p id=Elsewhere>Three <a href=\"#top\">up</a></p>");
    // A mark naming a file another document holds: its start there is no place here.
    book.Add("part3.xhtml", "",
             "<curfile>Text/ch2.html</curfile><p>Again <a href=#gone>x</a> <a href=#>top</a></p>");
    book.Finish();
    const std::string& one = book.Body(0);
    EXPECT_NE(one.find("<a href=\"#top_2\">to two</a>"), std::string::npos) << one;
    EXPECT_NE(one.find("<a href=\"part2.xhtml\">to three</a>"), std::string::npos);
    EXPECT_NE(one.find("<a href=\"#top\">self</a>"), std::string::npos);
    // A file that begins inside a document is reached at its mark.
    EXPECT_NE(one.find("<a href=\"#ch2.html\">two's start</a>"), std::string::npos);
    EXPECT_NE(one.find("<div class=\"pagebreak\"></div><span id=\"ch2.html\"></span><h1 "
                       "id=\"top_2\">Two</h1>"),
              std::string::npos);
    EXPECT_NE(one.find("<a>nowhere</a>"), std::string::npos);
    EXPECT_NE(one.find("<a href=\"#only-here\">a word</a>"), std::string::npos);
    EXPECT_NE(one.find("<a>a picture</a>"), std::string::npos);
    EXPECT_NE(one.find("<a href=\"part2.xhtml#Elsewhere\">elsewhere</a>"), std::string::npos);
    EXPECT_NE(one.find("<a href=\"#top\">back to one</a>"), std::string::npos);
    // The second document's "#top" is its own file's, which has none: the book's first.
    EXPECT_NE(book.Body(1).find("<a href=\"part1.xhtml#top\">up</a>"), std::string::npos)
        << book.Body(1);
    EXPECT_EQ(book.Body(2), "<p>Again <a>x</a> <a href=\"part3.xhtml\">top</a></p>");
    for (size_t i = 0; i < book.Size(); ++i)
        EXPECT_TRUE(IsWellFormedBody(book.Body(i))) << book.Body(i);

    // Contents lines resolve by the same rules, from the book's root.
    auto target = book.Resolve("Text/ch2.html#top");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->document, 0u);
    EXPECT_EQ(target->fragment, "top_2");
    target = book.Resolve("text/CH3.HTML");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->document, 1u);
    EXPECT_EQ(target->fragment, "");
    EXPECT_FALSE(book.Resolve("missing.html"));
    EXPECT_FALSE(book.Resolve("http://example.com/"));

    // The real thing: the almanac's links after its conversion.
    EpubBook almanac = test::AlmanacBook();
    ASSERT_EQ(almanac.documents.size(), 7u);
    const std::string& first = almanac.documents[0].body;
    EXPECT_NE(first.find("<a href=\"#lamp\">lamp</a>"), std::string::npos) << first;
    EXPECT_NE(first.find("<a href=\"ch02.xhtml#harbour\">"), std::string::npos);
    EXPECT_NE(first.find("<a href=\"ch05.xhtml\">"), std::string::npos);
    EXPECT_NE(first.find("<img src=\"lamp.gif\" alt=\"A red lamp over a blue shelf\"/>"),
              std::string::npos);
    EXPECT_EQ(almanac.documents[0].title, "Chapter 1 \xE2\x80\x93 The Lighthouse");
}

TEST(XhtmlFromMarkup, ReadsEveryEncodingAndTakesItsTitle) {
    XhtmlFromMarkup book(XhtmlOptions{MarkupEncoding::kUtf8, {}});
    // UTF-8 with a malformed byte, a character past 16 bits and an overlong form.
    book.Add("a.xhtml", "",
             "<title> Caf\xC3\xA9 \n &amp; Bar </title>x\xFFy \xF0\x9F\x98\x80 \xC0\xAF");
    // UTF-16 with a pair, a lone surrogate and a heading as the only title.
    const std::u16string wide = u"<h2>Wide <b>\u00e9t\u00e9</b></h2>\U0001F600\xD800!";
    book.Add("b.xhtml", "", wide);
    book.Finish();
    EXPECT_EQ(book.Title(0), "Caf\xC3\xA9 & Bar");
    EXPECT_EQ(book.Body(0), "x\xEF\xBF\xBDy \xF0\x9F\x98\x80 \xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(book.Title(1), "Wide \xC3\xA9t\xC3\xA9");
    EXPECT_EQ(book.Body(1), "<h2>Wide <b>\xC3\xA9t\xC3\xA9</b></h2>\xF0\x9F\x98\x80\xEF\xBF\xBD!");
}

TEST(XhtmlFromMarkup, StaysBoundedOnMarkupBuiltToBreakIt) {
    struct Hostile {
        const char* what;
        std::string markup;
    };
    auto repeat = [](std::string_view piece, size_t times) {
        std::string out;
        for (size_t i = 0; i < times; ++i)
            out += piece;
        return out;
    };
    const Hostile cases[] = {
        {"deep blocks", repeat("<div><blockquote><ul><li>", 5000) + "deep"},
        {"deep styles", repeat("<b><i><u><a href=#x>", 5000) + "styled<p>again"},
        {"unfinished tags", repeat("<b ", 20000) + "end"},
        {"unclosed comments", repeat("<!-- x ", 20000) + "> end"},
        {"unclosed scripts", repeat("<script>x", 20000)},
        {"quotes", repeat("<p title=\"", 20000) + ">"},
        {"references", repeat("&#x10FFFF&#99999999999;&", 20000)},
        {"ids", repeat("<a name=x></a>", 5000) + "<a href=#x>x</a>"},
    };
    for (const Hostile& h : cases) {
        const std::string body = XhtmlBodyFromMarkup(h.markup);
        EXPECT_TRUE(IsWellFormedBody(body)) << h.what;
    }
    // What is text survives all of it.
    EXPECT_NE(XhtmlBodyFromMarkup(cases[0].markup).find("deep"), std::string::npos);
    EXPECT_NE(XhtmlBodyFromMarkup(cases[1].markup).find("again"), std::string::npos);
    EXPECT_NE(XhtmlBodyFromMarkup(cases[3].markup).find("end"), std::string::npos);
    EXPECT_NE(XhtmlBodyFromMarkup(cases[6].markup).find("&amp;"), std::string::npos);
    EXPECT_NE(XhtmlBodyFromMarkup(cases[7].markup).find("id=\"x_5000\""), std::string::npos);
}

}  // namespace
}  // namespace pagewick
