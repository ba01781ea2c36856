// EPUB books as the reader opens them: the fixture books written by independent tools against
// what independent readers read from them, and small books made here for the rules the
// fixtures never show (damage, protection, a jump deep into the book, characters beyond ASCII,
// contents with fragments, pictures beside the text).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "engine/FixedSurface.h"
#include "epub/EpubMaker.h"
#include "formats/EpubBook.h"
#include "library/Library.h"
#include "library/PlainText.h"
#include "support/BookText.h"
#include "support/FakePictures.h"
#include "support/LitStream.h"
#include "support/RecordingSurface.h"
#include "support/ScriptedHost.h"
#include "support/fixtures.h"

namespace pagewick {
namespace {

using test::FixturesDir;

std::filesystem::path Fixture(const std::string& name, const std::string& suffix) {
    return FixturesDir() / "epub" / (name + suffix);
}

// The book's text as the tool's "text" command writes it.
std::string BookText(CBookEngine& doc) {
    std::string text;
    EXPECT_TRUE(test::WholeBookText(doc, text));
    return text;
}

// A document over a reader of the bytes, with a small page; the reader stays the document's.
struct OpenedEpub {
    test::ScriptedHost host;
    CBookEngine doc;
    EpubBookReader* reader = nullptr;
    bool opened = false;
    explicit OpenedEpub(std::vector<uint8_t> bytes) {
        doc.HostServices = &host;
        doc.SourceKind = kSourceEpub;
        doc.RightEdge = 300;
        doc.PageHeight = 400;
        doc.ShowPositionBar = 0;
        auto made = std::make_unique<EpubBookReader>(std::move(bytes));
        reader = made.get();
        opened = doc.PrepareSource(std::move(made));
    }
};

class EpubFixtureBook : public testing::TestWithParam<const char*> {};

TEST_P(EpubFixtureBook, MetadataContentsAndTextAsTheyWereRead) {
    const std::string name = GetParam();
    EXPECT_EQ(FormatCodeFromPath(Fixture(name, ".epub").string(), -1), kSourceEpub);
    test::ScriptedHost host;
    CBookEngine doc;
    doc.HostServices = &host;
    doc.BookPath = Fixture(name, ".epub").string();
    doc.SourceKind = kSourceEpub;
    doc.RightEdge = 300;
    doc.PageHeight = 400;
    ASSERT_TRUE(doc.OpenBook()) << testing::PrintToString(host.MessageTexts());
    EXPECT_TRUE(doc.MarkupMode);
    EXPECT_TRUE(doc.Wide);

    const std::map<std::string, const std::string*> fields = {{"title", &doc.DocumentTitle},
                                                              {"author", &doc.BookAuthor},
                                                              {"publisher", &doc.BookPublisher},
                                                              {"rights", &doc.BookRights},
                                                              {"language", &doc.BookLanguage}};
    for (const auto& row : test::ReadTsv(Fixture(name, ".metadata.tsv"))) {
        const std::string value = row.size() > 1 ? row[1] : "";
        if (auto field = fields.find(row[0]); field != fields.end()) {
            EXPECT_EQ(*field->second, row[0] == "title" ? value.substr(0, 64) : value) << row[0];
        }
        if (row[0] == "isbn" && !value.empty()) {
            EXPECT_EQ(doc.BookIdentifier, value);
        }
    }

    // Every contents title in order, each leading into a file of the book.
    std::vector<std::string> titles;
    for (const auto& row : test::ReadTsv(Fixture(name, ".toc.tsv")))
        titles.push_back(row[0]);
    std::vector<std::string> ours;
    for (const ContentsEntry& entry : doc.Contents) {
        ours.push_back(entry.title);
        if (entry.target.empty()) continue;
        const std::string file = entry.target.substr(0, entry.target.find('#'));
        EXPECT_GE(doc.FileStartOffset(file), 0) << entry.target;
    }
    EXPECT_EQ(ours, titles);
    // ... and each landing on its place: a fragment names an element's id.
    FixedSurface metrics;
    doc.BuildWidthTable(&metrics);
    for (const ContentsEntry& entry : doc.Contents) {
        if (!entry.target.empty()) {
            EXPECT_TRUE(doc.GoToTarget(entry.target)) << entry.target;
        }
    }

    // The text, word by word in the order the independent reading gives it.
    const std::string text = BookText(doc);
    const std::string theirs = test::TextLetters(test::ReadFileText(Fixture(name, ".txt")));
    size_t cursor = 0, matched = 0;
    for (const auto& word : test::TextWords(text)) {
        size_t at = theirs.find(word, cursor);
        if (at == std::string::npos || at - cursor > 2000) continue;
        cursor = at + word.size();
        matched += word.size();
    }
    EXPECT_GE(cursor * 10, theirs.size() * 9) << text.substr(0, 400);
    EXPECT_GE(matched * 10, theirs.size() * 9);
    EXPECT_TRUE(host.Messages.empty()) << host.Messages[0].text;
}

INSTANTIATE_TEST_SUITE_P(Books, EpubFixtureBook,
                         testing::Values("almanac", "bash-manual3", "gpl3-chapters", "grep-pandoc3",
                                         "tar-pandoc2", "tools-pages3"));

TEST(EpubBook, DamagedAndProtectedBooksSayWhyAndOpenNothing) {
    std::vector<uint8_t> cut = test::ChapterBook(3);
    cut.resize(cut.size() / 3);
    std::vector<uint8_t> notZip(400, 'x');
    test::EpubMaker locked;
    locked.Add("OEBPS/content.opf",
               test::PackageXml("<dc:title>L</dc:title>", test::Item("c1", "c1.xhtml"),
                                test::Itemref("c1")));
    locked.Add("OEBPS/c1.xhtml", test::Chapter("secret"));
    locked.Add("META-INF/encryption.xml",
               "<encryption xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\" "
               "xmlns:enc=\"http://www.w3.org/2001/04/xmlenc#\"><enc:EncryptedData>"
               "<enc:EncryptionMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#aes128-cbc\"/>"
               "<enc:CipherData><enc:CipherReference URI=\"OEBPS/c1.xhtml\"/></enc:CipherData>"
               "</enc:EncryptedData></encryption>");
    for (auto [bytes, message] :
         {std::pair{notZip, kEpubDamagedMessage}, std::pair{locked.Bytes(), kEpubProtectedMessage},
          std::pair{cut, kEpubDamagedMessage}}) {
        OpenedEpub book(bytes);
        EXPECT_FALSE(book.opened);
        EXPECT_EQ(book.doc.LastOpen, OpenResult::Rejected);
        EXPECT_EQ(book.host.MessageTexts(), std::vector<std::string>{message});
        EXPECT_EQ(book.doc.TextLength, 0u);
    }
}

TEST(EpubBook, AJumpReadsOnlyItsFileAndABrokenFileLeavesTheRest) {
    // Files larger than the two windows the document holds, so each window spans two at most.
    std::vector<uint8_t> bytes = test::ChapterBook(60, 70000);
    test::FlipDataByte(bytes, "OEBPS/c2.xhtml");
    OpenedEpub book(bytes);
    ASSERT_TRUE(book.opened);
    const EpubArchive& archive = book.reader->Book().Archive();
    const uint64_t atOpen = archive.Inflations();
    EXPECT_LE(atOpen, 5u) << "container, package, contents and the first window's files";
    // Three quarters in: the one file there is inflated, and its words are there.
    const int32_t at = book.doc.FileStartOffset("OEBPS/c45.xhtml");
    ASSERT_GT(at, 0);
    EXPECT_EQ(book.doc.FileStartOffset("oebps/C45.XHTML"), at);
    std::u16string read;
    for (int32_t i = at; i < at + 400; ++i)
        read += char16_t(book.doc.GetChar(i));
    EXPECT_LE(archive.Inflations(), atOpen + 2);
    EXPECT_NE(read.find(u"Chapter 45."), std::u16string::npos);
    EXPECT_EQ(book.reader->FileAt(at + 300), "OEBPS/c45.xhtml");
    // The damaged second file reads as nothing; the first and third read whole.
    const std::string text = BookText(book.doc);
    EXPECT_NE(text.find("Chapter 1."), std::string::npos);
    EXPECT_EQ(text.find("Chapter 2."), std::string::npos);
    EXPECT_NE(text.find("Chapter 3."), std::string::npos);
    EXPECT_NE(text.find("Chapter 60."), std::string::npos);
    EXPECT_TRUE(book.host.Messages.empty());
}

// A content file's characters are its UTF-8 decoded (the byte-order mark dropped, a NUL a
// space, what is no UTF-8 U+FFFD), the same through the document's windows wherever a window
// boundary falls, spaces after them up to the file's tail; a book cut short reads to its cut.
TEST(EpubBook, ContentFilesDecodeWholeIntoTheWindows) {
    std::string body;
    for (int i = 0; body.size() < 100000; ++i)
        body += i % 7 == 0    ? "caf\u00e9 \u4e16\u754c "
                : i % 53 == 0 ? std::string("x\0y \xC3 \xF0\x9F\x98\x80 ", 11)
                              : "word" + std::to_string(i) + " ";
    const std::string chapter = test::Chapter(body);
    std::u16string want = Utf8ToUtf16(chapter);
    std::replace(want.begin(), want.end(), u'\0', u' ');
    test::EpubMaker made;
    made.Add("OEBPS/content.opf",
             test::PackageXml("<dc:title>T</dc:title>", test::Item("c1", "c1.xhtml"),
                              test::Itemref("c1")));
    made.Add("OEBPS/c1.xhtml", "\xEF\xBB\xBF" + chapter);
    const std::string head = "<newpage><br><curfile>OEBPS/c1.xhtml</curfile><a name=\"\"></a>";
    const uint64_t body0 = head.size();

    OpenedEpub book(made.Bytes());
    ASSERT_TRUE(book.opened);
    std::u16string read(chapter.size() + 5, u'#');
    ASSERT_EQ(book.reader->ReadCharacters(body0, read.data(), read.size()), read.size());
    EXPECT_TRUE(read.substr(0, want.size()) == want);
    // Spaces fill the file's room (its bytes, the mark's too); the tail's " <newpage>" follows.
    EXPECT_EQ(read.find_first_not_of(u' ', want.size()), chapter.size() + 4);
    std::u16string windows;
    for (uint64_t i = body0; i < body0 + want.size(); ++i)
        windows += char16_t(book.doc.GetChar(int32_t(i)));
    EXPECT_TRUE(windows == want);

    EpubBookReader cut(made.Bytes(), {}, body0 + 1000);
    CBookEngine doc;
    ASSERT_EQ(cut.Open(doc), OpenResult::Opened);
    std::u16string start(2000, u'#');
    ASSERT_EQ(cut.ReadCharacters(body0, start.data(), start.size()), 1000u);
    EXPECT_TRUE(start.substr(0, 1000) == want.substr(0, 1000));
}

TEST(EpubBook, TextBeyondAsciiContentsFragmentsAndPictures) {
    test::EpubMaker made;
    const std::string png = "\x89PNG\r\n\x1a\nnot really";
    made.Add(
        "OEBPS/content.opf",
        test::PackageXml("<dc:title>Caf\u00e9 \u2014 \u4e16\u754c</dc:title>"
                         "<dc:creator>A</dc:creator><dc:creator>B</dc:creator>"
                         "<dc:language>fr</dc:language>",
                         test::Item("nav", "nav.xhtml", "application/xhtml+xml", "nav") +
                             test::Item("c1", "text/c1.xhtml") + test::Item("c2", "text/c2.xhtml") +
                             test::Item("p", "images/p.png", "image/png", "cover-image"),
                         test::Itemref("c1") + test::Itemref("c2")));
    made.Add("OEBPS/nav.xhtml",
             "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/"
             "ops\"><body><nav epub:type=\"toc\"><ol><li><a href=\"text/c1.xhtml\">One</a></li>"
             "<li><a href=\"text/c2.xhtml#deep\">Deep</a></li><li><a href=\"gone.xhtml\">Gone"
             "</a></li></ol></nav></body></html>");
    made.Add("OEBPS/text/c1.xhtml",
             test::Chapter("na\u00efve \u4e16\u754c caf\u00e9 <img src=\"../images/p.png\"/>"));
    std::string filler;
    for (int i = 0; i < 300; ++i)
        filler += "filler" + std::to_string(i) + " ";
    made.Add("OEBPS/text/c2.xhtml",
             test::Chapter(filler + "</p><p id=\"deep\">Here lies the deep place."));
    made.Add("OEBPS/images/p.png", png);
    OpenedEpub book(made.Bytes());
    ASSERT_TRUE(book.opened);
    EXPECT_EQ(book.doc.DocumentTitle, "Caf\u00e9 \u2014 \u4e16\u754c");
    EXPECT_EQ(book.doc.BookAuthor, "A & B");
    EXPECT_EQ(book.doc.BookLanguage, "fr");
    ASSERT_EQ(book.doc.Contents.size(), 3u);
    EXPECT_EQ(book.doc.Contents[1].target, "OEBPS/text/c2.xhtml#deep");

    // Characters of two and three bytes read as themselves, with nothing left over showing.
    const std::string text = BookText(book.doc);
    EXPECT_NE(text.find("na\u00efve \u4e16\u754c caf\u00e9"), std::string::npos) << text;
    EXPECT_EQ(text.find("filler299 Here"), std::string::npos) << "a paragraph between";
    EXPECT_NE(text.find("Here lies the deep place."), std::string::npos);

    // The contents entry with its fragment lands on the page that holds the place.
    FixedSurface metrics;
    book.doc.BuildWidthTable(&metrics);
    ASSERT_TRUE(book.doc.GoToTarget(book.doc.Contents[1].target));
    test::RecordingSurface dc;
    book.doc.LayoutPage(&dc, false);
    std::string page;
    for (const auto& call : dc.texts)
        page += Utf16ToUtf8(call.text) + " ";
    EXPECT_NE(page.find("deep"), std::string::npos) << page;
    EXPECT_GT(book.doc.CurrentPage, 1);

    // The cover and the picture of the text, as written in the text, come out whole; a path
    // that climbs out of the book does not.
    EXPECT_EQ(book.doc.CoverTarget, "OEBPS/images/p.png");
    test::TempDir dir;
    for (const char* name : {"OEBPS/images/p.png", "../images/p.png"}) {
        ASSERT_TRUE(book.reader->ExtractMedia(name, (dir / "out").string())) << name;
        EXPECT_EQ(test::ReadFileText(dir / "out"), png);
    }
    EXPECT_FALSE(book.reader->ExtractMedia("../../../etc/passwd", (dir / "bad").string()));
    EXPECT_FALSE(std::filesystem::exists(dir / "bad"));
}

// The words of the current page as drawn, with where each run begins and ends across.
struct DrawnPage {
    std::string text;
    std::vector<test::RecordingSurface::TextCall> runs;
    int Right(const test::RecordingSurface::TextCall& run) const {
        int width = 0;  // as the width table measured it
        for (char16_t c : run.text)
            width += FixedSurface::WidthOfByte(UnicodeToCp1252(c));
        return run.x + width;
    }
    const test::RecordingSurface::TextCall* Run(const std::u16string& words) const {
        for (const auto& run : runs)
            if (run.text.find(words) != std::u16string::npos) return &run;
        return nullptr;
    }
};
DrawnPage DrawPage(CBookEngine& doc) {
    test::RecordingSurface dc;
    doc.LayoutPage(&dc, false);
    DrawnPage page;
    page.runs = dc.texts;
    for (const auto& call : dc.texts)
        page.text += Utf16ToUtf8(call.text) + " ";
    return page;
}

// XHTML as writers make it: strong and emphasis tags with attributes, list items and table
// rows on lines of their own, cells apart, a quotation with a class indented.
TEST(EpubBook, ListsTablesAndEmphasisOfXhtmlAreLaidOut) {
    test::EpubMaker made;
    made.Add("OEBPS/content.opf",
             test::PackageXml("<dc:title>Marks</dc:title>", test::Item("c1", "c1.xhtml"),
                              test::Itemref("c1")));
    made.Add("OEBPS/c1.xhtml",
             test::Chapter("Before <b class=\"k\">strong</b> and <em>stressed</em> words.</p>"
                           "<ul class=\"l\"><li class=\"i\">Fog</li><li>Gales</li></ul>"
                           "<table><tr><td>Month</td><td>Ships</td></tr><tr><th>May</th>"
                           "<td>12</td></tr></table><blockquote class=\"q\">Quoted</blockquote>"
                           "<p>After"));
    OpenedEpub book(made.Bytes());
    ASSERT_TRUE(book.opened);
    FixedSurface metrics;
    book.doc.BuildWidthTable(&metrics);
    book.doc.CurrentPage = 0;
    const DrawnPage page = DrawPage(book.doc);
    // A styled line is drawn a run per style or letter: the letters in order, each with its run.
    std::u16string letters;
    std::vector<const test::RecordingSurface::TextCall*> of;
    for (const auto& run : page.runs)
        for (char16_t c : run.text) {
            letters += c;
            of.push_back(&run);
        }
    auto fontAt = [&](std::u16string_view words) {
        const size_t at = letters.find(words);
        return at == std::u16string::npos ? FontSpec{} : of[at]->font;
    };
    ASSERT_NE(letters.find(u"strong"), std::u16string::npos) << page.text;
    EXPECT_TRUE(fontAt(u"strong").bold);
    EXPECT_TRUE(fontAt(u"stressed").italic);
    EXPECT_FALSE(fontAt(u"Before").bold);
    const auto* strong = of[letters.find(u"strong")];
    const auto* fog = page.Run(u"Fog");
    const auto* gales = page.Run(u"Gales");
    const auto* month = page.Run(u"Month");
    const auto* may = page.Run(u"May");
    const auto* quoted = page.Run(u"Quoted");
    ASSERT_TRUE(fog && gales && month && may && quoted) << page.text;
    EXPECT_GT(fog->y, strong->y);
    EXPECT_GT(gales->y, fog->y);
    EXPECT_GT(month->y, gales->y);
    EXPECT_GT(may->y, month->y);
    EXPECT_EQ(fog->x, gales->x);
    // Cells of a row share its line, a space apart.
    EXPECT_NE(page.text.find("Month Ships"), std::string::npos) << page.text;
    EXPECT_NE(page.text.find("May 12"), std::string::npos) << page.text;
    EXPECT_GT(quoted->x, fog->x);
    // The shown text agrees.
    const std::string text = BookText(book.doc);
    EXPECT_NE(text.find("Fog\n"), std::string::npos) << text;
}

TEST(EpubBook, LinksAcrossFoldersLandOnTheirPlacesAndStyleSheetsAlignText) {
    test::EpubMaker made;
    made.Add(
        "OEBPS/content.opf",
        test::PackageXml("<dc:title>Links</dc:title>",
                         test::Item("c1", "Text/ch1.xhtml") + test::Item("c2", "Text/ch2.xhtml") +
                             test::Item("css", "Styles/book.css", "text/css") +
                             test::Item("p", "Images/p.png", "image/png"),
                         test::Itemref("c1") + test::Itemref("c2")));
    made.Add("OEBPS/Styles/book.css",
             "/* { text-align: right } */ @page { margin: 0 } @media screen { .mid { color: red;"
             " text-align: center } } p.mid2, .other > .x { text-align : center ; }");
    // Links of every form writers use, a class link among them; places named by ids of any
    // element and by anchors; text aligned by its own style, by its class in a linked sheet
    // and in a <style> block; an SVG-wrapped picture.
    made.Add(
        "OEBPS/Text/ch1.xhtml",
        "<?xml version=\"1.0\"?><!DOCTYPE html><html xmlns=\"http://www.w3.org/1999/xhtml\">"
        "<head><title>t</title><link href=\"../Styles/book.css\" rel=\"stylesheet\" "
        "type=\"text/css\"/><style>.right { text-align: right }</style></head><body>"
        "<p><a class=\"x\" href=\"ch2.xhtml#there\">one</a> <a href=\"../Text/ch2.xhtml\">"
        "two</a> <a id=\"back\" href=\"#here\">three</a> <a href=\"ch2.xhtml#caf%C3%A9\">"
        "four</a> <a href=\"../../../etc/passwd\">five</a> <a href=\"http://example.com/\">"
        "six</a> <a title=\"t\" href=\"ch2.xhtml#named\">seven</a></p>"
        "<p class=\"mid\">Centred words</p><p class=\"plain right\">Right words</p>"
        "<div style=\"color: red; text-align:right\">Styled right</div><p>Left words</p>"
        "<h2 class=\"mid2\">Head</h2><p class=\"mid2\">Also centred</p>"
        "<div><svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/"
        "xlink\"><image width=\"40\" height=\"60\" xlink:href=\"../Images/p.png\"/></svg></div>"
        "<p id=\"here\">Here at last.</p></body></html>");
    std::string filler;
    for (int i = 0; i < 300; ++i)
        filler += "filler" + std::to_string(i) + " ";
    made.Add("OEBPS/Text/ch2.xhtml",
             test::Chapter("Second file. " + filler + "<span id=\"there\">There it is.</span> " +
                           filler + "<h2 id=\"caf\u00e9\">Caf\u00e9 place.</h2> " + filler +
                           "<a name=\"named\"/>Named place."));
    made.Add("OEBPS/Images/p.png", test::FakePng(40, 60));
    OpenedEpub book(made.Bytes());
    ASSERT_TRUE(book.opened);
    test::FakePictureDecoder pictures;
    book.doc.Pictures = &pictures;
    FixedSurface metrics;
    book.doc.BuildWidthTable(&metrics);

    DrawnPage first = DrawPage(book.doc);
    std::vector<std::string> targets;
    for (const LinkRecord& link : book.doc.Links)
        targets.push_back(link.target);
    EXPECT_EQ(targets, (std::vector<std::string>{
                           "OEBPS/Text/ch2.xhtml#there", "OEBPS/Text/ch2.xhtml#",
                           "OEBPS/Text/ch1.xhtml#here", "OEBPS/Text/ch2.xhtml#caf\u00e9", "",
                           "http://example.com/", "OEBPS/Text/ch2.xhtml#named"}));

    // Aligned by class (linked sheet, inside @media, and the <style> block), by style, and not.
    const auto* centred = first.Run(u"Centred words");
    const auto* right = first.Run(u"Right words");
    const auto* styled = first.Run(u"Styled right");
    const auto* left = first.Run(u"Left words");
    const auto* head = first.Run(u"Head");
    const auto* also = first.Run(u"Also centred");
    ASSERT_TRUE(centred && right && styled && left && head && also) << first.text;
    EXPECT_EQ(left->x, book.doc.LeftEdge);
    EXPECT_NEAR(centred->x - book.doc.LeftEdge, book.doc.RightEdge - first.Right(*centred), 12);
    EXPECT_NEAR(also->x - book.doc.LeftEdge, book.doc.RightEdge - first.Right(*also), 12);
    EXPECT_NEAR(head->x - book.doc.LeftEdge, book.doc.RightEdge - first.Right(*head), 12);
    EXPECT_GT(right->x, book.doc.RightEdge / 2);
    EXPECT_NEAR(first.Right(*right), book.doc.RightEdge, 12);
    EXPECT_NEAR(first.Right(*styled), book.doc.RightEdge, 12);
    // The SVG's picture, named from its folder, is extracted, drawn and can be shown whole.
    EXPECT_EQ(pictures.drawCalls, 1);
    ASSERT_EQ(book.doc.PictureHits.size(), 1u);
    EXPECT_EQ(book.doc.PictureHits[0].target, "OEBPS/Images/p.png");

    // Each link lands on the page of its place, and the way back returns to the first page.
    for (auto [target, words] : std::vector<std::pair<std::string, std::string>>{
             {"OEBPS/Text/ch2.xhtml#there", "There it is."},
             {"OEBPS/Text/ch2.xhtml#caf\u00e9", "Caf\u00e9 place."},
             {"OEBPS/Text/ch2.xhtml#named", "Named place."},
             {"OEBPS/Text/ch2.xhtml#", "Second file."},
             {"OEBPS/Text/ch1.xhtml#here", "Here at last."}}) {
        ASSERT_EQ(book.doc.OpenTarget(target), TargetAction::Jumped) << target;
        EXPECT_NE(DrawPage(book.doc).text.find(words), std::string::npos) << target;
        EXPECT_TRUE(book.doc.ReturnFromLink());
        EXPECT_EQ(book.doc.CurrentPage, 0);
    }
    // A link that would leave the book, or to a place that is nowhere, stays on the page.
    EXPECT_EQ(book.doc.OpenTarget(""), TargetAction::None);
    EXPECT_EQ(book.doc.OpenTarget("OEBPS/Text/ch2.xhtml#nowhere"), TargetAction::None);
    EXPECT_EQ(book.doc.CurrentPage, 0);
    EXPECT_TRUE(book.host.Messages.empty());
}

TEST(EpubBook, FixtureLinksCrossFoldersAndCoverPagesShowTheirPictures) {
    // pandoc's grep manual: the navigation document (EPUB/nav.xhtml, in the spine) links into
    // EPUB/text/ch001.xhtml, which links to its own places by "#EXIT%20STATUS".
    test::ScriptedHost host;
    CBookEngine doc;
    doc.HostServices = &host;
    doc.BookPath = Fixture("grep-pandoc3", ".epub").string();
    doc.SourceKind = kSourceEpub;
    doc.RightEdge = 300;
    doc.PageHeight = 400;
    ASSERT_TRUE(doc.OpenBook());
    FixedSurface metrics;
    doc.BuildWidthTable(&metrics);
    const std::map<std::string, std::string> wanted = {
        {"EPUB/text/ch001.xhtml#regular-expressions", "REGULAR EXPRESSIONS"},
        {"EPUB/text/ch001.xhtml#EXIT STATUS", "EXIT STATUS"},
        {"EPUB/text/title_page.xhtml#", "grep manual"}};
    std::map<std::string, int32_t> found;  // target, the page that links to it
    for (int32_t page = 0; page < 60 && found.size() < wanted.size(); ++page) {
        doc.CurrentPage = page;
        DrawPage(doc);
        for (const LinkRecord& link : doc.Links)
            if (wanted.count(link.target)) found.emplace(link.target, page);
        doc.NextPage();
    }
    ASSERT_EQ(found.size(), wanted.size());
    for (const auto& [target, page] : found) {
        doc.CurrentPage = page;
        ASSERT_EQ(doc.OpenTarget(target), TargetAction::Jumped) << target;
        EXPECT_NE(DrawPage(doc).text.find(wanted.at(target)), std::string::npos) << target;
        EXPECT_TRUE(doc.ReturnFromLink());
        EXPECT_EQ(doc.CurrentPage, page);
    }
    doc.CloseBook();

    // calibre's almanac: the title page wraps the cover in SVG; chapter titles are centred by
    // their class in the linked sheet.
    doc.BookPath = Fixture("almanac", ".epub").string();
    doc.PaginationPath.clear();
    ASSERT_TRUE(doc.OpenBook());
    test::FakePictureDecoder pictures;
    doc.Pictures = &pictures;
    doc.BuildWidthTable(&metrics);
    DrawPage(doc);
    ASSERT_EQ(doc.PictureHits.size(), 1u);
    EXPECT_EQ(doc.PictureHits[0].target, "cover.png");
    ASSERT_TRUE(doc.GoToTarget("ch01.xhtml#top"));
    DrawnPage chapter = DrawPage(doc);
    const auto* title = chapter.Run(u"Chapter 1");
    ASSERT_TRUE(title) << chapter.text;
    EXPECT_GT(title->x, doc.LeftEdge + 10);
    EXPECT_TRUE(host.Messages.empty()) << host.Messages[0].text;
}

TEST(EpubBook, ABookReopensAtItsPlaceWithItsPagesBookmarksAndAnchors) {
    test::TempDir dir;
    const auto path = dir / "almanac.epub";
    std::filesystem::copy_file(Fixture("almanac", ".epub"), path);
    test::ScriptedHost host;
    FixedSurface metrics;
    auto open = [&](CBookEngine& doc) {
        doc.HostServices = &host;
        doc.BookPath = path.string();
        doc.PaginationPath = path.string() + ".pwk";
        doc.SourceKind = kSourceEpub;
        doc.RightEdge = 300;
        doc.PageHeight = 400;
        EXPECT_TRUE(doc.OpenBook());
        doc.BuildWidthTable(&metrics);
    };
    CBookEngine first;
    open(first);
    ASSERT_TRUE(first.GoToTarget("ch02.xhtml#harbour"));
    const int32_t page = first.CurrentPage;
    ASSERT_GT(page, 1);
    first.SetBookmark(1);
    const std::vector<int32_t> starts = first.PageStarts;
    const size_t anchors = first.Anchors.size();
    first.CloseBook();

    CBookEngine again;
    open(again);
    EXPECT_EQ(again.CurrentPage, page);
    EXPECT_EQ(again.PageStarts, starts);
    EXPECT_EQ(again.Bookmarks[1], starts[size_t(page)]);
    EXPECT_EQ(again.Anchors.size(), anchors);
    EXPECT_TRUE(host.Messages.empty());
}

TEST(EpubBook, TheLibraryListsEpubBooksByTheirTitlesAndOpensThem) {
    test::TempDir dir;
    std::filesystem::copy_file(Fixture("almanac", ".epub"), dir / "almanac.epub");
    test::WriteFileText(dir / "broken.epub", "not an archive");
    for (bool readTitles : {true, false}) {
        LibraryScanOptions options;
        options.readTitles = readTitles;
        std::vector<LibraryEntry> entries;
        ScanLibrary(dir.path().string(), options, entries);
        ASSERT_EQ(entries.size(), 2u);
        for (LibraryEntry& entry : entries) {
            EXPECT_EQ(entry.kind, kLibraryEpub);
            ReadLibraryTitle(entry);
        }
        // A book that cannot be read is listed by its file name.
        EXPECT_EQ(entries[0].title, "The Lantern Keeper\u2019s Almanac");
        EXPECT_EQ(entries[1].title, "broken");
        CBookEngine doc;
        ASSERT_TRUE(OpenLibraryEntry(doc, entries[0]));
        EXPECT_EQ(doc.SourceKind, kSourceEpub);
        EXPECT_EQ(doc.BookPublisher, "Harbourside Press");
        doc.CloseBook();
    }
}

}  // namespace
}  // namespace pagewick
