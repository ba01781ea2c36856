// EPUB books as the reader opens them: the fixture books written by independent tools against
// what independent readers read from them, and small books made here for the rules the
// fixtures never show (damage, protection, a jump deep into the book, characters beyond ASCII,
// contents with fragments, pictures beside the text).
#include <gtest/gtest.h>

#include <map>

#include "engine/FixedSurface.h"
#include "epub/EpubMaker.h"
#include "formats/EpubBook.h"
#include "library/Library.h"
#include "library/PlainText.h"
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
    EXPECT_TRUE(WriteBookText(doc, [&](std::string_view piece) {
        text += piece;
        return true;
    }));
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
