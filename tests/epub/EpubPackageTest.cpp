// The package rules on small books made here: cover three ways, contents from the navigation
// document or the NCX, spine order, metadata and ISBNs, hrefs, and reading lazily.
#include <gtest/gtest.h>

#include "EpubMaker.h"
#include "formats/epub/EpubPackage.h"
#include "support/fixtures.h"

namespace pagewick {
namespace {

using test::Chapter;
using test::EpubMaker;
using test::Item;
using test::Itemref;
using test::PackageXml;

const std::string kNcxHead = "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\"><navMap>";
const std::string kNavHead =
    "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\">"
    "<body><nav epub:type=\"toc\">";

std::string NavPoint(const std::string& title, const std::string& src,
                     const std::string& children = "") {
    return "<navPoint><navLabel><text>" + title + "</text></navLabel><content src=\"" + src +
           "\"/>" + children + "</navPoint>";
}

EpubResult Open(EpubPackage& book, const EpubMaker& maker) {
    return book.OpenMemory(maker.Bytes());
}

// One chapter and whatever else the test adds to the package.
EpubMaker OneChapter(const std::string& metadata, const std::string& manifest,
                     const std::string& extra = "", const std::string& spineAttributes = "") {
    EpubMaker maker;
    maker.Add("OEBPS/c1.xhtml", Chapter("One"));
    maker.Add("OEBPS/content.opf", PackageXml(metadata, Item("c1", "c1.xhtml") + manifest,
                                              Itemref("c1"), spineAttributes, extra));
    return maker;
}

TEST(EpubPackageRules, CoverByPropertyMetaOrGuideInThatOrder) {
    const std::string pictures =
        Item("p", "images/p.png", "image/png") + Item("q", "images/q.jpg", "image/jpeg");
    auto withPictures = [](EpubMaker maker) {
        maker.Add("OEBPS/images/p.png", "png").Add("OEBPS/images/q.jpg", "jpg");
        return maker;
    };
    EpubPackage book;
    // EPUB 3's property wins over the EPUB 2 meta.
    ASSERT_EQ(Open(book, withPictures(OneChapter(
                             "<meta name=\"cover\" content=\"p\"/>",
                             Item("p", "images/p.png", "image/png") +
                                 Item("q", "images/q.jpg", "image/jpeg", "cover-image")))),
              EpubResult::kOk);
    EXPECT_EQ(book.CoverPath(), "OEBPS/images/q.jpg");
    EXPECT_EQ(book.CoverMediaType(), "image/jpeg");

    ASSERT_EQ(
        Open(book, withPictures(OneChapter("<meta name=\"cover\" content=\"p\"/>", pictures))),
        EpubResult::kOk);
    EXPECT_EQ(book.CoverPath(), "OEBPS/images/p.png");
    // A meta naming the picture's href instead of its id still finds it.
    ASSERT_EQ(Open(book, withPictures(OneChapter("<meta name=\"cover\" content=\"images/q.jpg\"/>",
                                                 pictures))),
              EpubResult::kOk);
    EXPECT_EQ(book.CoverPath(), "OEBPS/images/q.jpg");

    // The guide's cover is usually a page: it is the cover, but no picture.
    ASSERT_EQ(Open(book, withPictures(OneChapter(
                             "<meta name=\"cover\" content=\"missing\"/>", pictures,
                             "<guide><reference type=\"cover\" href=\"c1.xhtml#top\"/></guide>"))),
              EpubResult::kOk);
    EXPECT_EQ(book.CoverPath(), "OEBPS/c1.xhtml");
    EXPECT_FALSE(book.CoverIsPicture());

    ASSERT_EQ(Open(book, OneChapter("", "")), EpubResult::kOk);
    EXPECT_EQ(book.CoverPath(), "");
}

TEST(EpubPackageRules, NestedNavigationFlattenedInOrderAndPreferredToTheNcx) {
    EpubMaker maker = OneChapter("",
                                 Item("nav", "nav/toc.xhtml", "application/xhtml+xml", "nav") +
                                     Item("ncx", "toc.ncx", "application/x-dtbncx+xml"),
                                 "", " toc=\"ncx\"");
    maker.Add("OEBPS/nav/toc.xhtml",
              kNavHead +
                  "<h1>Contents</h1><ol>"
                  "<li><a href=\"../c1.xhtml\">Part&nbsp;One &mdash;\n  <em>Start</em></a><ol>"
                  "<li><a href=\"../c1.xhtml#s%201\">Section 1</a></li>"
                  "<li><span>Heading only</span><ol><li><a href=\"../c1.xhtml#deep\">Deep</a>"
                  "</li></ol></li></ol></li>"
                  "<li><a href=\"../gone.xhtml\">Gone</a></li>"
                  "<li><a href=\"../../../etc/passwd\">Climbing</a></li>"
                  "<li><a href=\"../c1.xhtml\"><img src=\"x.png\" alt=\"Picture title\"/></a></li>"
                  "</ol></nav><nav epub:type=\"landmarks\"><ol><li><a href=\"../c1.xhtml\">"
                  "Landmark</a></li></ol></nav></body></html>");
    maker.Add("OEBPS/toc.ncx", kNcxHead + NavPoint("From the NCX", "c1.xhtml") + "</navMap></ncx>");
    EpubPackage book;
    ASSERT_EQ(Open(book, maker), EpubResult::kOk);
    EXPECT_EQ(book.ContentsSource(), EpubContentsSource::kNav);
    struct Want {
        const char *title, *path, *fragment;
        int level;
    };
    const Want want[] = {
        {"Part\xC2\xA0One \xE2\x80\x94 Start", "OEBPS/c1.xhtml", "", 0},
        {"Section 1", "OEBPS/c1.xhtml", "s 1", 1},
        {"Heading only", "", "", 1},
        {"Deep", "OEBPS/c1.xhtml", "deep", 2},
        {"Gone", "", "", 0},  // leads nowhere, but is listed
        {"Climbing", "", "", 0},
        {"Picture title", "OEBPS/c1.xhtml", "", 0},
    };
    ASSERT_EQ(book.Contents().size(), std::size(want));
    for (size_t i = 0; i < std::size(want); ++i) {
        const EpubContentsEntry& e = book.Contents()[i];
        EXPECT_EQ(e.title, want[i].title);
        EXPECT_EQ(e.path, want[i].path) << e.title;
        EXPECT_EQ(e.fragment, want[i].fragment) << e.title;
        EXPECT_EQ(e.level, want[i].level) << e.title;
    }
}

TEST(EpubPackageRules, NcxWhenThereIsNoNavigationDocumentOrItIsUnreadable) {
    const std::string ncx =
        kNcxHead +
        NavPoint("One", "c1.xhtml",
                 NavPoint("One, first", "c1.xhtml#a") + NavPoint("One, second", "c1.xhtml#b")) +
        NavPoint("  Two\n  lines ", "c1.xhtml#c") + "</navMap><pageList>" +
        NavPoint("page 1", "c1.xhtml") + "</pageList></ncx>";
    const std::vector<std::string> titles = {"One", "One, first", "One, second", "Two lines"};
    auto titlesOf = [](const EpubPackage& book) {
        std::vector<std::string> out;
        for (const auto& e : book.Contents())
            out.push_back(e.title);
        return out;
    };
    // NCX only, found by the spine's toc.
    EpubPackage book;
    EpubMaker ncxOnly =
        OneChapter("", Item("n", "toc.ncx", "application/x-dtbncx+xml"), "", " toc=\"n\"");
    ncxOnly.Add("OEBPS/toc.ncx", ncx);
    ASSERT_EQ(Open(book, ncxOnly), EpubResult::kOk);
    EXPECT_EQ(book.ContentsSource(), EpubContentsSource::kNcx);
    EXPECT_EQ(titlesOf(book), titles);
    EXPECT_EQ(book.Contents()[1].level, 1);
    EXPECT_EQ(book.Contents()[2].fragment, "b");

    // A navigation document that is not XML, or that hides an entity bomb: the NCX serves.
    for (const std::string& nav :
         {kNavHead + "<ol><li><a href=\"c1.xhtml\">Broken</li></ol></nav>",
          "<!DOCTYPE html [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;\">]>" +
              kNavHead + "<ol><li><a href=\"c1.xhtml\">&b;</a></li></ol></nav></body></html>"}) {
        EpubMaker maker = OneChapter("", Item("nav", "nav.xhtml", "application/xhtml+xml", "nav") +
                                             Item("n", "toc.ncx", "application/x-dtbncx+xml"));
        maker.Add("OEBPS/nav.xhtml", nav).Add("OEBPS/toc.ncx", ncx);
        ASSERT_EQ(Open(book, maker), EpubResult::kOk);
        EXPECT_EQ(book.ContentsSource(), EpubContentsSource::kNcx);
        EXPECT_EQ(titlesOf(book), titles);
    }

    // Neither: the book opens without contents.
    ASSERT_EQ(Open(book, OneChapter("", "")), EpubResult::kOk);
    EXPECT_EQ(book.ContentsSource(), EpubContentsSource::kNone);
    EXPECT_TRUE(book.Contents().empty());
}

TEST(EpubPackageRules, SpineLinearFirstEachFileOnceMissingOnesSkipped) {
    EpubMaker maker;
    std::string manifest;
    for (const char* id : {"a", "b", "c", "d"}) {
        manifest += Item(id, std::string(id) + ".xhtml");
        maker.Add("OEBPS/" + std::string(id) + ".xhtml", Chapter(std::string(id) + " text"));
    }
    manifest += Item("lost", "lost.xhtml");  // listed, not in the archive
    maker.Add("OEBPS/content.opf",
              PackageXml("", manifest,
                         Itemref("a") + Itemref("notes", true) + Itemref("b", false) +
                             Itemref("c") + Itemref("a") + Itemref("lost") + Itemref("d", false)));
    EpubPackage book;
    ASSERT_EQ(Open(book, maker), EpubResult::kOk);
    std::vector<std::string> order;
    for (const EpubSpineItem& s : book.Spine())
        order.push_back(s.id + (s.linear ? "" : "*"));
    EXPECT_EQ(order, (std::vector<std::string>{"a", "c", "b*", "d*"}));
    EXPECT_EQ(book.SkippedSpineRefs(), 3u);  // an unknown id, "a" again, the lost file
    EXPECT_EQ(book.Spine()[1].start, book.Spine()[0].size);

    // No spine file in the archive at all: the book cannot be read.
    EpubMaker empty;
    empty.Add("OEBPS/content.opf", PackageXml("", Item("lost", "lost.xhtml"), Itemref("lost")));
    EXPECT_EQ(Open(book, empty), EpubResult::kNoSpine);
    EXPECT_FALSE(book.IsOpen());
}

TEST(EpubPackageRules, MetadataCreatorsIdentifierAndIsbns) {
    auto metadataOf = [](const std::string& metadata) {
        EpubPackage book;
        EXPECT_EQ(book.OpenMemory(OneChapter(metadata, "").Bytes()), EpubResult::kOk);
        return book.Metadata();
    };
    EpubMetadata m = metadataOf(
        "<dc:title>  The\n Title </dc:title><dc:title>Second</dc:title>"
        "<dc:creator opf:role=\"aut\">Ann One</dc:creator><dc:contributor>Not me</dc:contributor>"
        "<dc:creator>Bob Two</dc:creator><dc:publisher>Pub &amp; Co</dc:publisher>"
        "<dc:identifier id=\"other\">urn:uuid:1234</dc:identifier>"
        "<dc:identifier id=\"uid\">book-id</dc:identifier>"
        "<dc:identifier>urn:isbn:0-306-40615-2</dc:identifier>"
        "<dc:rights>Free</dc:rights><dc:language>fr</dc:language>");
    EXPECT_EQ(m.title, "The Title");
    EXPECT_EQ(m.creators, "Ann One & Bob Two");
    EXPECT_EQ(m.publisher, "Pub & Co");
    EXPECT_EQ(m.identifier, "book-id");
    EXPECT_EQ(m.isbn, "0-306-40615-2");
    EXPECT_EQ(m.rights, "Free");
    EXPECT_EQ(m.language, "fr");
    EXPECT_EQ(m.version, "3.0");

    EXPECT_EQ(metadataOf("<dc:identifier opf:scheme=\"ISBN\">978-1-23</dc:identifier>").isbn,
              "978-1-23");  // the scheme is trusted
    EXPECT_EQ(metadataOf("<dc:identifier>978 0 306 40615 7</dc:identifier>").isbn,
              "978 0 306 40615 7");
    EXPECT_EQ(metadataOf("<dc:identifier>9780306406158</dc:identifier>").isbn, "");  // check digit
    EXPECT_EQ(metadataOf("<dc:identifier>080442957X</dc:identifier>").isbn, "080442957X");
    EXPECT_EQ(metadataOf("<dc:identifier>ISBN:9780306406157</dc:identifier>").isbn, "");
    EXPECT_EQ(metadataOf("<dc:identifier id=\"i\">12345</dc:identifier>"
                         "<meta refines=\"#i\" property=\"identifier-type\" "
                         "scheme=\"onix:codelist5\">15</meta>")
                  .isbn,
              "12345");
    // An OEB 1 package capitalises its elements.
    EXPECT_EQ(metadataOf("<dc-metadata><dc:Title>Old</dc:Title></dc-metadata>").title, "Old");
}

TEST(EpubPackageRules, HrefsPercentDecodedCaseKeptOrMatchedWhenUnique) {
    EpubMaker maker;
    maker.Add("OEBPS/Text/Chapter 1.xhtml", Chapter("one"))
        .Add("OEBPS/Text/Two.xhtml", Chapter("two"))
        .Add("OEBPS/Text/same.xhtml", Chapter("lower"))
        .Add("OEBPS/Text/SAME.xhtml", Chapter("upper"))
        .Add("OEBPS/content.opf",
             PackageXml("",
                        Item("one", "Text/Chapter%201.xhtml") + Item("two", "text/two.XHTML") +
                            Item("same", "Text/Same.xhtml") + Item("up", "Text/SAME.xhtml"),
                        Itemref("one") + Itemref("two") + Itemref("same") + Itemref("up")));
    EpubPackage book;
    ASSERT_EQ(Open(book, maker), EpubResult::kOk);
    ASSERT_EQ(book.Spine().size(), 3u);
    EXPECT_EQ(book.Spine()[0].path, "OEBPS/Text/Chapter 1.xhtml");
    EXPECT_EQ(book.Spine()[1].path, "OEBPS/Text/Two.xhtml");   // the only match ignoring case
    EXPECT_EQ(book.Spine()[2].path, "OEBPS/Text/SAME.xhtml");  // "Same" matches two: exact only
    std::shared_ptr<const std::string> text;
    ASSERT_EQ(book.Content(2, text), EpubResult::kOk);
    EXPECT_NE(text->find("upper"), std::string::npos);
}

TEST(EpubPackageRules, OpeningInflatesNoContentAndAJumpOnlyTheFileItLandsIn) {
    EpubLimits limits;
    limits.cacheBytes = 3 * 1000;
    EpubPackage book(limits);
    ASSERT_EQ(book.OpenMemory(test::ChapterBook(200, 900)), EpubResult::kOk);
    ASSERT_EQ(book.Spine().size(), 200u);
    EXPECT_EQ(book.Archive().Inflations(), 3u);  // container, package, NCX
    EXPECT_EQ(book.Contents().size(), 200u);

    const size_t at = book.SpineIndexAt(book.TotalSize() * 3 / 4);
    EXPECT_EQ(at, 150u);
    std::shared_ptr<const std::string> text;
    ASSERT_EQ(book.Content(at, text), EpubResult::kOk);
    EXPECT_NE(text->find("Chapter 151."), std::string::npos);
    EXPECT_EQ(book.Archive().Inflations(), 4u);
    ASSERT_EQ(book.Content(at, text), EpubResult::kOk);  // kept
    EXPECT_EQ(book.Archive().Inflations(), 4u);

    // The cache keeps what fits its budget, most recent first.
    for (size_t i = 0; i < 5; ++i)
        ASSERT_EQ(book.Content(i, text), EpubResult::kOk);
    EXPECT_LE(book.CachedBytes(), limits.cacheBytes);
    const uint64_t before = book.Archive().Inflations();
    ASSERT_EQ(book.Content(4, text), EpubResult::kOk);
    EXPECT_EQ(book.Archive().Inflations(), before);
    ASSERT_EQ(book.Content(0, text), EpubResult::kOk);
    EXPECT_EQ(book.Archive().Inflations(), before + 1);
    EXPECT_EQ(book.SpineIndexAt(book.TotalSize() + 10), 199u);
}

}  // namespace
}  // namespace pagewick
