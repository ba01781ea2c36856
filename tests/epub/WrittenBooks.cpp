#include "WrittenBooks.h"

#include <gtest/gtest.h>

#include <sstream>

#include "formats/epub/EpubXml.h"
#include "formats/epub/XhtmlFromMarkup.h"
#include "formats/lit/LitContainer.h"
#include "support/fixtures.h"

namespace pagewick::test {

const std::vector<MarkupCase>& MarkupCases() {
    static const std::vector<MarkupCase> cases = {
        // Paragraphs end the open one; an item outside a list gets one.
        {"<p>one<p>two</p></p><li>three", "<p>one</p><p>two</p><ul><li>three</li></ul>"},
        // Stray and crossed end tags.
        {"</b></div></p>stray <b>bold</i> still</b>", "stray <b>bold still</b>"},
        // A block inside an inline style closes it and opens it again inside.
        {"<b>bold <p align=center>still bold</b> plain</p>",
         "<b>bold</b><p class=\"center\"><b>still bold</b> plain</p>"},
        {"<i>a<ul><li>b</i>c</ul>", "<i>a</i><ul><li><i>b</i>c</li></ul>"},
        {"<a href=#x>link <p>para</p> more</a> after<a name=x></a>",
         "<a href=\"#x\">link</a><p><a href=\"#x\">para</a></p><a href=\"#x\">more</a> "
         "after<span id=\"x\"></span>"},
        // References become characters; what is no reference stays text.
        {"&amp; &lt;&gt; &eacute;&Eacute; &#233;&#xE9; &#150; &nbsp;&hellip; AT&T &nosuch; "
         "&#1114112; &EACUTE;",
         "&amp; &lt;&gt; \xC3\xA9\xC3\x89 \xC3\xA9\xC3\xA9 \xE2\x80\x93 \xC2\xA0\xE2\x80\xA6 "
         "AT&amp;T &amp;nosuch; \xEF\xBF\xBD \xC3\xA9"},
        // Form feeds are white space, control characters nothing, 8-bit text Windows-1252.
        {"a\fb\x01\x7f c\x81\xe9\x93q\x94", "a b c\xC3\xA9\xE2\x80\x9Cq\xE2\x80\x9D"},
        // Alignment as classes.
        {"<P ALIGN=\"right\">R</P><div align=center>C</div><center>c</center><right>r</right>"
         "<p style=\"text-align: center\">s</p><h2 align=right>h</h2>",
         "<p class=\"right\">R</p><div class=\"center\">C</div><div class=\"center\">c</div>"
         "<div class=\"right\">r</div><p class=\"center\">s</p><h2 class=\"right\">h</h2>"},
        // Ids made unique and valid, links following them; a place that is not there links
        // nowhere.
        {"<a name=top></a><p id=top>dup</p><a href=#top>up</a><a href=\"#nowhere\">no</a>"
         "<a id=\"a b\"></a><a href='#a%20b'>sp</a><h3 id=\"9\">n</h3>",
         "<span id=\"top\"></span><p id=\"top_2\">dup</p><a href=\"#top\">up</a><a>no</a>"
         "<span id=\"a_20b\"></span><a href=\"#a_20b\">sp</a><h3 id=\"id_9\">n</h3>"},
        // Pictures under their stored names; one the book lacks leaves its description.
        {"<img src=pic.png alt=\"A &amp; B\" width=40 height=50%><img src=none.bmp alt=missing>"
         "<img src=pic.png>",
         "<img src=\"stored.png\" alt=\"A &amp; B\" width=\"40\"/>missing"
         "<img src=\"stored.png\" alt=\"\"/>"},
        // Tables as rows of cells.
        {"<table><tr><th>h<td>a<tr><td>b</table>",
         "<div class=\"table\"><div class=\"row\"><div class=\"cell\">h</div><div "
         "class=\"cell\">a</div></div><div class=\"row\"><div class=\"cell\">b</div></div></div>"},
        {"<dl><dd>no term<dt>t<dd>d<dt>last</dl>",
         "<dl><dt></dt><dd>no term</dd><dt>t</dt><dd>d</dd><dt>last</dt><dd></dd></dl>"},
        // The head, styles, scripts and comments are not text.
        {"<html><head><title>T</title><style>p{}</style><script>if (a<b) x()</script></head>"
         "<body>text<!-- hidden --></body></html>",
         "text"},
        {"<pre>  two\r\n  lines\tend</pre>", "<pre>  two\n  lines\tend</pre>"},
        // A new page, except before anything is shown.
        {"<newpage>one<newpage>two<p style=\"page-break-before: always\">three",
         "one<div class=\"pagebreak\"></div>two<div class=\"pagebreak\"></div><p>three</p>"},
        // A "<" that starts no tag is text; a tag cut off by the next one is dropped.
        {"a < b <3 x<y and <b>z</b> <unfinished <b>bold</b>",
         "a &lt; b &lt;3 x<b>z</b> <b>bold</b>"},
        // Outside addresses kept (and made valid), scripts not.
        {"<a href=\"http://example.com/a b?x=1&amp;y=2\">out</a><a href=\"javascript:f()\">js</a>"
         "<a href=\"mailto:a@b.org\">m</a>",
         "<a href=\"http://example.com/a%20b?x=1&amp;y=2\">out</a><a>js</a>"
         "<a href=\"mailto:a@b.org\">m</a>"},
        {"<ul><b>x</b><ul><li>in</ul></ul>", "<ul><li><b>x</b><ul><li>in</li></ul></li></ul>"},
        // Quoted ">" belongs to its value; attributes nobody needs are dropped.
        {"<p title=\"a>b\">quoted gt</p><p class=x style=\"color:red\" onclick=y()>attrs</p>",
         "<p>quoted gt</p><p>attrs</p>"},
        {"<blockquote><p>q<blockquote>qq</blockquote></p></blockquote>",
         "<blockquote><p>q</p><blockquote>qq</blockquote></blockquote>"},
        // Unknown tags go, their text and ids stay.
        {"<font face=Arial size=2>font</font> <span id=s1>span</span> <o:p>word</o:p>",
         "font<span id=\"s1\"></span> span word"},
        {"<b/><br/><hr/><p/>x<ol start=5><li value=9>five</ol>",
         "<br/><hr/><p></p>x<ol start=\"5\"><li>five</li></ol>"},
        // The system's own marks: a file's name, captured, is no text.
        {"<curfile>ch1.htm</curfile><a name=\"\"></a>Text<i", "Text"},
    };
    return cases;
}

namespace {

std::string Read(const std::filesystem::path& path) {
    return ReadFileText(path);
}

const std::string& AlmanacLit() {
    static const std::string bytes = Read(FixturesDir() / "lit" / "almanac.lit");
    return bytes;
}

bool ReadAlmanac(void*, uint32_t offset, uint32_t count, std::vector<uint8_t>& out) {
    const std::string& lit = AlmanacLit();
    if (uint64_t(offset) + count > lit.size()) return false;
    out.assign(lit.begin() + offset, lit.begin() + offset + count);
    return true;
}

std::vector<std::vector<std::string>> Table(const std::filesystem::path& path) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(Read(path));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string field; std::getline(cells, field, '\t');)
            fields.push_back(field);
        rows.push_back(std::move(fields));
    }
    return rows;
}

XhtmlOptions PicturesNamedBy(const std::vector<std::pair<std::string, std::string>>& names) {
    XhtmlOptions options;
    options.picture = [names](std::string_view src) {
        for (const auto& [written, stored] : names)
            if (src == written) return stored;
        return std::string();
    };
    return options;
}

void TakeDocuments(XhtmlFromMarkup& converter, EpubBook& book) {
    converter.Finish();
    for (size_t i = 0; i < converter.Size(); ++i)
        book.documents.push_back(
            {converter.StoredName(i), converter.Title(i), converter.TakeBody(i)});
}

EpubContentsItem Line(const XhtmlFromMarkup& converter, const std::string& title,
                      const std::string& href, int level) {
    std::optional<XhtmlTarget> target = converter.Resolve(href);
    EXPECT_TRUE(target) << href;
    if (!target) return {title, "", "", level};
    return {title, converter.StoredName(target->document), target->fragment, level};
}

}  // namespace

std::string AlmanacPicture(const std::string& id) {
    LitContainer lit;
    EXPECT_EQ(lit.LitOpen(&ReadAlmanac, nullptr, uint32_t(AlmanacLit().size())), 0);
    std::vector<uint8_t> bytes;
    EXPECT_EQ(lit.LitGetEntry("/data/" + id, &bytes, nullptr), 0) << id;
    return std::string(bytes.begin(), bytes.end());
}

EpubBook TwoChapterBook() {
    EpubBook book;
    book.info.title = "Two Chapters";
    book.info.creators = {"Ann Author", "Bob Writer"};
    book.info.publisher = "Test Press";
    book.info.isbn = "978-0-306-40615-7";
    book.info.rights = "Public domain";
    book.info.language = "en_GB";
    book.info.modified = 1700000000;
    EpubNames names;
    const std::string one = names.Document("Text/one.html");
    const std::string two = names.Document("Text/two.html");
    const std::string lamp = names.Resource("images/lamp.gif");
    XhtmlFromMarkup converter(PicturesNamedBy({{"../images/lamp.gif", lamp}}));
    converter.Add(one, "Text/one.html",
                  "<html><head><title>The First Chapter</title></head><body>"
                  "<h1 id=start>The First Chapter</h1><p>It begins <b>here</b>, with a "
                  "<a href=\"two.html#pier\">link to the pier</a>.</p>"
                  "<p><img src=\"../images/lamp.gif\" alt=\"A lamp\"></p>"
                  "<h2 id=section>A section</h2><p>More.</p></body></html>");
    converter.Add(two, "Text/two.html",
                  "<h1>The Second Chapter</h1><p id=pier>The pier.</p>"
                  "<p><a href=\"one.html#start\">Back</a></p>");
    book.contents = {Line(converter, "The First Chapter", "Text/one.html", 0),
                     Line(converter, "A section", "Text/one.html#section", 1),
                     Line(converter, "The Second Chapter", "Text/two.html", 0),
                     Line(converter, "The pier", "Text/two.html#pier", 1)};
    TakeDocuments(converter, book);
    book.resources.push_back({lamp, "", AlmanacPicture("lamp"), {}});
    book.cover = EpubResource{"cover.png", "", AlmanacPicture("cover"), {}};
    return book;
}

EpubBook AlmanacBook() {
    const std::filesystem::path lit = FixturesDir() / "lit";
    EpubBook book;
    for (const auto& row : Table(lit / "almanac.metadata.tsv")) {
        if (row.size() < 2) continue;
        if (row[0] == "title") book.info.title = row[1];
        if (row[0] == "creator") book.info.creators.push_back(row[1]);
        if (row[0] == "publisher") book.info.publisher = row[1];
        if (row[0] == "isbn") book.info.isbn = row[1];
        if (row[0] == "rights") book.info.rights = row[1];
    }
    book.info.language = "en";
    book.info.modified = 1709251200;
    EpubNames names;
    std::vector<std::pair<std::string, std::string>> pictures;
    for (const auto& row : Table(lit / "almanac.manifest.tsv")) {
        if (row.size() < 7 || row[1] != "3") continue;
        const std::string stored = names.Resource(row[5]);
        pictures.emplace_back(row[5], stored);
        if (row[4] == "cover")
            book.cover = EpubResource{stored, row[6], AlmanacPicture(row[4]), {}};
        else
            book.resources.push_back({stored, row[6], AlmanacPicture(row[4]), {}});
    }
    XhtmlFromMarkup converter(PicturesNamedBy(pictures));
    for (const auto& row : Table(lit / "almanac.manifest.tsv")) {
        if (row.size() < 7 || (row[1] != "0" && row[1] != "1")) continue;
        converter.Add(names.Document(row[5]), row[5],
                      Read(lit / "almanac.decoded" / (row[4] + ".html")));
    }
    for (const auto& row : Table(lit / "almanac.toc.tsv"))
        if (row.size() >= 3 && row[0] != "cover")
            book.contents.push_back(
                Line(converter, row[1], row[2], row[2].find('#') != std::string::npos ? 1 : 0));
    TakeDocuments(converter, book);
    return book;
}

EpubBook CarelessMarkupBook() {
    EpubBook book;
    book.info.title = "Careless <Markup> & \"Quotes\"";
    book.info.modified = 1700000000;
    book.resources.push_back({"stored.png", "", AlmanacPicture("cover"), {}});
    XhtmlFromMarkup converter(PicturesNamedBy({{"pic.png", "stored.png"}}));
    EpubNames names;
    for (size_t i = 0; i < MarkupCases().size(); ++i)
        converter.Add(names.Document("case" + std::to_string(i + 1)), "", MarkupCases()[i].markup);
    TakeDocuments(converter, book);
    return book;
}

bool IsWellFormedBody(std::string_view body) {
    class Strict : public XmlReader {
    public:
        Strict() { RefuseUndefinedReferences(); }

    protected:
        void Start(std::string_view, const XmlAttributes&) override {}
        void End(std::string_view) override {}
        void Text(std::string_view) override {}
    };
    Strict reader;
    const std::string document = "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body>" +
                                 std::string(body) + "</body></html>";
    return reader.Parse(document, 256) == EpubResult::kOk;
}

}  // namespace pagewick::test
