// Books made by WriteBook, read back through the PAWK reader and the engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "builder/BookBuilder.h"
#include "builder/EpubSource.h"
#include "pawk/PawkFile.h"
#include "pawk/PawkReader.h"
#include "support/BookFixture.h"
#include "support/ScriptedHost.h"
#include "support/fixtures.h"
#include "util/Cp1252.h"
#include "util/Utf8.h"

namespace pagewick {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFileText;

// A progress window that says stop after a number of steps once compressing has begun.
struct StopAfter : BuildProgress {
    int left;
    std::vector<std::string> texts;
    explicit StopAfter(int steps) : left(steps) {}
    void SetText(const std::string& t) override { texts.push_back(t); }
    bool StepIt() override { return texts.back() != "Compressing..." || --left > 0; }
    void SetRange(int64_t, int64_t) override {}
    void SetPos(int64_t) override {}
};

struct Builder {
    TempDir dir;
    test::ScriptedHost host;
    Builder() {
        host.Documents = (dir / "docs").string();
        host.Temp = (dir / "tmp").string();
        fs::create_directories(host.Temp);
    }
    std::string File(const std::string& name, const std::string& text) {
        fs::path p = dir / "src" / name;
        fs::create_directories(p.parent_path());
        WriteFileText(p, text);
        return p.string();
    }
    BuildOutcome Build(BookRequest request, BuildProgress* progress = nullptr) {
        return WriteBook(request, host, progress);
    }
    fs::path Shelf() const { return fs::path(host.Documents) / "My eBooks"; }
    bool TempEmpty() const { return fs::is_empty(host.Temp); }
};

// A book opened in the engine with a page wide enough that lines hold many words.
struct Opened : test::TestBook {
    Opened(const fs::path& path, int32_t kind) {
        doc.BookPath = path.string();
        doc.SourceKind = kind;
        doc.RightEdge = 2000;
        doc.PageHeight = 3000;
        doc.ShowPositionBar = 0;
        opened = Open();
    }
    std::string Words() {
        std::string pages = AllPages();
        std::replace(pages.begin(), pages.end(), '|', ' ');
        std::istringstream in(pages);
        std::string w, out;
        while (in >> w)
            out += (out.empty() ? "" : " ") + w;
        return out;
    }
    bool opened = false;
};

struct Parsed {
    PawkDiskFile file;
    PawkReader reader;
    bool ok = false;
    explicit Parsed(const fs::path& p) { ok = file.Open(p.string()) && reader.Open(file); }
};

TEST(BookBuilderTest, HtmlPicturesAndSoundMakeABookTheEngineReads) {
    Builder b;
    std::string ch1 = b.File("a/ch1.htm",
                             "<html><title>First</title><body><p align=center>Opening</p>"
                             "<img src=\"lamp.gif\"> See <a href=\"ch2.htm#\">next</a>.</body>");
    std::string ch2 = b.File("b/ch2.htm", "<html><body><p>Second chapter words</p></body></html>");
    std::string gif = b.File("lamp.gif", std::string("GIF89a") + std::string(40000, '\x01'));
    std::string wav = b.File("bell.wav", std::string(100, 'w'));
    BuildOutcome out = b.Build({{ch1, ch2, gif, wav}, "My Book: One?", "Ann", false, nullptr, {}});
    ASSERT_EQ(out.status, BuildStatus::Ok) << out.detail;
    EXPECT_EQ(out.path, b.Shelf() / "my book: one_.pawk");
    EXPECT_TRUE(b.host.Messages.empty());
    EXPECT_TRUE(b.TempEmpty());

    Parsed book(out.path);
    ASSERT_TRUE(book.ok);
    const PawkReader& r = book.reader;
    EXPECT_EQ(r.Title(), "My Book: One?");
    EXPECT_EQ(r.Author(), "Ann");
    EXPECT_EQ(r.Publisher(), "Converted by Pagewick, Desktop");
    ASSERT_EQ(r.Order().size(), 2u);
    EXPECT_EQ(r.Order()[0].name, "ch1.htm");
    EXPECT_EQ(r.Order()[1].name, "ch2.htm");
    ASSERT_EQ(r.Contents().size(), 2u);
    EXPECT_EQ(r.Contents()[0], (PawkContentsEntry{0, "First", "ch1.htm#"}));
    EXPECT_EQ(r.Contents()[1], (PawkContentsEntry{0, "ch2", "ch2.htm#"}));
    // Chunks grouped by file in list order, pictures and sound stored as they are, data packed
    // directly after the table.
    const auto& chunks = r.Chunks();
    ASSERT_EQ(chunks.size(), 5u);
    EXPECT_EQ(chunks[0].name, "ch1.htm:0");
    EXPECT_EQ(chunks[2].name, "lamp.gif:0");
    EXPECT_EQ(chunks[3].name, "lamp.gif:1");
    EXPECT_EQ(chunks[4].name, "bell.wav:0");
    EXPECT_EQ(chunks[0].flags, 1);
    EXPECT_EQ(chunks[2].flags, 0);
    EXPECT_EQ(chunks[2].decodedLength, 32771);
    EXPECT_EQ(chunks[3].decodedLength, 40006 - 32767 + 4);
    EXPECT_EQ(chunks[4].storedLength, 104);
    for (size_t i = 1; i < chunks.size(); ++i)
        EXPECT_EQ(chunks[i].offset, chunks[i - 1].offset + chunks[i - 1].storedLength);
    EXPECT_EQ(int64_t(chunks.back().offset) + chunks.back().storedLength,
              int64_t(fs::file_size(out.path)));

    Opened doc(out.path, kSourcePawk);
    ASSERT_TRUE(doc.opened);
    EXPECT_EQ(doc.Words(), "Opening <<IMAGE>>See <<LINK>> next. Second chapter words");
    ASSERT_EQ(doc.doc.Contents.size(), 2u);
    EXPECT_EQ(doc.doc.Contents[1].target, "ch2.htm#");
    EXPECT_GE(doc.doc.FileStartOffset("ch2.htm"), 0);
}

TEST(BookBuilderTest, TextWithAndWithoutReflowAndACoverPicture) {
    Builder b;
    std::string png = b.File("art.PNG", std::string(64, 'p'));
    std::string txt = b.File("story.txt", "One.\r\nTwo\r\nthree x<y\r\n");
    BuildOutcome plain = b.Build({{png, txt}, "Plain", "", false, nullptr, {}});
    ASSERT_EQ(plain.status, BuildStatus::Ok);
    BuildOutcome flowed = b.Build({{txt}, "Flowed", "", true, nullptr, {}});
    ASSERT_EQ(flowed.status, BuildStatus::Ok);

    Parsed p(plain.path);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.reader.CoverName(), "cover.png");
    ASSERT_EQ(p.reader.Contents().size(), 2u);
    EXPECT_EQ(p.reader.Contents()[0].title, "Cover Image");
    EXPECT_EQ(p.reader.Contents()[1], (PawkContentsEntry{0, "story", "story.txt#"}));

    Opened a(plain.path, kSourcePawk), c(flowed.path, kSourcePawk);
    ASSERT_TRUE(a.opened && c.opened);
    std::vector<std::string> lines = a.Lines(0);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "One.");
    EXPECT_EQ(lines[1], "Two");
    EXPECT_EQ(lines[2], "three x<y");
    lines = c.Lines(0);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "One.");
    EXPECT_EQ(lines[1].rfind("Two three x<y", 0), 0u);
}

// The stored text of a file of the book, without the chunk leads.
std::string StoredText(Parsed& book, const std::string& name) {
    std::string text;
    book.reader.ExtractFile(book.file, name, [&](const uint8_t* data, size_t size) {
        text.append(reinterpret_cast<const char*>(data), size);
        return true;
    });
    return text;
}

TEST(BookBuilderTest, SourcesAreReadAsTheReadersReadThemAndKeepEveryCharacter) {
    // U+00E9, U+2014, U+00EF, U+2018, U+2019 have places in the code page; Greek and Japanese
    // have none.
    const std::string line =
        "Caf\xC3\xA9 \xE2\x80\x94 na\xC3\xAFve \xE2\x80\x98quoted\xE2\x80\x99 "
        "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xE6\x97\xA5\xE6\x9C\xAC";
    const std::string stored =
        "Caf\xE9 \x97 na\xEFve \x91quoted\x92 &#937;&#956;&#941;&#947;&#945; &#26085;&#26412;";
    Builder b;
    std::string html = b.File("uni.htm", "<html><title>" + line + "</title><body><p>" + line +
                                             " &amp; &reg;</body></html>");
    // A UTF-8 mark, and the name gives the contents title.
    std::string text = b.File(line + ".txt", "\xEF\xBB\xBF" + line + "\nx < y & z\n");
    // UTF-16 with its mark; a character past 16 bits comes as two surrogates.
    std::u16string wide = Utf8ToUtf16(line);
    wide += u" \xD83D\xDE00";
    std::string utf16 = b.File("wide.txt", test::Utf16Bytes(wide));
    // Windows-1252 stays as it is, and so does a numeric reference in it.
    std::string legacy = b.File("old.htm", "<title>Caf\xE9 &#937;</title><p>na\xEFve \x97 &#937;");
    // Title and author come in the code page, with references, as the dialog makes them.
    BuildOutcome out = b.Build(
        {{html, text, utf16, legacy}, Utf8ToCodePageLabel(line), "Ann", false, nullptr, {}});
    ASSERT_EQ(out.status, BuildStatus::Ok) << out.detail;

    Parsed p(out.path);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.reader.Title(), stored);
    const auto& order = p.reader.Order();
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(StoredText(p, order[0].name), "<a name=\"uni.htm#\"></a><html><title>" + stored +
                                                "</title><p>" + stored + " &amp; \xAE<br>");
    // A name the code page cannot hold stays UTF-8; its text and title are the code page's.
    EXPECT_EQ(order[1].name, line + ".txt");
    EXPECT_EQ(StoredText(p, order[1].name),
              "<a name=\"" + line + ".txt#\"></a>" + stored + "<p>x &lt; y &amp; z<p>");
    EXPECT_EQ(StoredText(p, order[2].name), "<a name=\"wide.txt#\"></a>" + stored + " &#128512;");
    EXPECT_EQ(StoredText(p, order[3].name),
              "<a name=\"old.htm#\"></a><title>Caf\xE9 &#937;</title><p>na\xEFve \x97 &#937;");
    ASSERT_EQ(p.reader.Contents().size(), 4u);
    EXPECT_EQ(p.reader.Contents()[1].title, stored);
    EXPECT_EQ(p.reader.Contents()[3].title, "Caf\xE9 &#937;");

    // The reader shows every character as the source has it: titles, contents and text.
    Opened book(out.path, kSourcePawk);
    ASSERT_TRUE(book.opened);
    EXPECT_EQ(book.doc.BookTitle, line);
    ASSERT_EQ(book.doc.Contents.size(), 4u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(book.doc.Contents[i].title, i == 2 ? "wide" : line) << i;
    EXPECT_EQ(book.doc.Contents[3].title, "Caf\xC3\xA9 \xCE\xA9");
    EXPECT_EQ(book.doc.FileStartOffset(line + ".txt"), int32_t(order[1].start));
    book.doc.CurrentPage = 0;
    ASSERT_TRUE(book.doc.GoToTarget(book.doc.Contents[1].target));
    // The engine draws them (its own rules put "-" for the code page's dash and squares for
    // what its fonts lack).
    std::vector<std::string> lines = book.Lines(book.doc.CurrentPage);
    std::erase(lines, "");
    ASSERT_EQ(lines.size(), 5u);
    for (size_t i : {0, 1, 3}) {
        EXPECT_EQ(lines[i].rfind("Caf\xC3\xA9 ", 0), 0u) << lines[i];
        EXPECT_NE(lines[i].find(" na\xC3\xAFve \xE2\x80\x98quoted\xE2\x80\x99 "
                                "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 "),
                  std::string::npos)
            << lines[i];
    }
    EXPECT_EQ(lines[2], "x < y & z");

    // A title cut to what the header holds is never cut inside a reference.
    std::string omegas;
    for (int i = 0; i < 40; ++i)
        omegas += "\xCE\xA9";
    out = b.Build({{legacy}, Utf8ToCodePageLabel(omegas), "", false, nullptr, {}});
    ASSERT_EQ(out.status, BuildStatus::Ok) << out.detail;
    Opened cut(out.path, kSourcePawk);
    ASSERT_TRUE(cut.opened);
    EXPECT_EQ(cut.doc.BookTitle, omegas.substr(0, 2 * (127 / 6)));
}

TEST(BookBuilderTest, EveryPictureKindMakesACoverAndWhatTheReaderCannotShowIsRefused) {
    Builder b;
    std::string chapter = b.File("ch.htm", "<p>Words");
    for (const char* name : {"art.gif", "Art.JPG", "art.jpeg", "art.bmp"}) {
        SCOPED_TRACE(name);
        const std::string bytes = std::string("GIF89a\x01\0\x01\0", 10) + std::string(300, '\x07');
        std::string picture = b.File(name, bytes);
        BuildOutcome out = b.Build({{picture, chapter}, name, "", false, nullptr, {}});
        ASSERT_EQ(out.status, BuildStatus::Ok) << out.detail;
        Parsed p(out.path);
        ASSERT_TRUE(p.ok);
        EXPECT_EQ(p.reader.CoverName(), name);
        ASSERT_EQ(p.reader.Contents().size(), 2u);
        EXPECT_EQ(p.reader.Contents()[0], (PawkContentsEntry{0, "Cover Image", name}));
        // The reader shows it as the cover once the book opens, and hands out its bytes.
        Opened book(out.path, kSourcePawk);
        ASSERT_TRUE(book.opened);
        EXPECT_EQ(book.doc.CoverTarget, name);
        fs::path copy = b.dir / "copy";
        ASSERT_TRUE(book.doc.ExtractMedia(copy.string(), name));
        EXPECT_EQ(test::ReadFileText(copy), bytes);
    }

    // A film the desktop's player takes is carried as media; the rest is refused by its name or,
    // named as a text, by what it holds. Nothing goes through the text steps.
    std::string film = b.File("clip.mp4", std::string("\0\0\0\x18"
                                                      "ftypmp42",
                                                      12));
    BuildOutcome out = b.Build({{chapter, film}, "Film", "", false, nullptr, {}});
    ASSERT_EQ(out.status, BuildStatus::Ok) << out.detail;
    Parsed p(out.path);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.reader.Order().size(), 1u);
    ASSERT_NE(p.reader.FindChunk("clip.mp4:0"), nullptr);
    EXPECT_EQ(p.reader.FindChunk("clip.mp4:0")->flags, 0);
    for (auto [name, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"pic.webp", "RIFF\x10\0\0\0WEBPVP8 "},
             {"drawing.SVG", "<svg><text>x</text></svg>"},
             {"tune.ogg", "OggS"},
             {"paper.pdf", "%PDF-1.4"},
             {"other.epub", "PK\x03\x04"},
             {"paper.txt", "%PDF-1.4\n%\xE2\xE3\n1 0 obj"},
             {"notes.htm", std::string("<p>a\0b", 6)},
             {"README", std::string("\x7F"
                                    "ELF\x02\x01\x01\0",
                                    8)}}) {
        SCOPED_TRACE(name);
        b.host.Messages.clear();
        std::string path = b.File(name, bytes);
        EXPECT_EQ(b.Build({{chapter, path}, "Refused", "", false, nullptr, {}}).status,
                  BuildStatus::Failed);
        ASSERT_EQ(b.host.MessageTexts().size(), 2u);
        EXPECT_EQ(b.host.MessageTexts()[0].rfind(
                      "Sorry, an eBook cannot include this file:\r\n" + path + "\r\n", 0),
                  0u)
            << b.host.MessageTexts()[0];
        EXPECT_EQ(b.host.MessageTexts()[1], "Error handling file order");
        EXPECT_EQ(CheckSourceFile(path), b.host.MessageTexts()[0]);
        EXPECT_FALSE(fs::exists(b.Shelf() / "refused.pawk"));
    }
    EXPECT_EQ(CheckSourceFile(chapter), "");
    EXPECT_TRUE(b.TempEmpty());
}

TEST(BookBuilderTest, EveryLitFixtureConvertsWithItsTextPicturesAndContents) {
    for (const char* name : {"tiny", "almanac", "gpl3-chapters", "grep-manual", "lgpl21-text",
                             "tools-pages", "bash-manual"}) {
        SCOPED_TRACE(name);
        Builder b;
        fs::path lit = test::FixturesDir() / "lit" / (std::string(name) + ".lit");
        LitSource source;
        ASSERT_EQ(OpenLitSource(lit.string(), source), LitSourceStatus::Ok);
        const auto pictures = source.pictures.size();
        const auto litContents = source.contents;
        BuildOutcome out = b.Build({{}, source.title, source.author, false, &source, {}});
        ASSERT_EQ(out.status, BuildStatus::Ok) << out.detail;
        EXPECT_TRUE(source.body.empty());

        Parsed p(out.path);
        ASSERT_TRUE(p.ok);
        ASSERT_EQ(p.reader.Order().size(), 1u);
        EXPECT_EQ(p.reader.Order()[0].name, "LIT Body");
        size_t stored = 0;
        for (const auto& c : p.reader.Chunks())
            if (c.name.find(".png:0") != std::string::npos ||
                c.name.find(".jpg:0") != std::string::npos ||
                c.name.find(".gif:0") != std::string::npos)
                ++stored;
        EXPECT_EQ(stored, pictures);
        // The LIT's own entries; the body's own entry only for a book without chapters, where
        // it would otherwise repeat the first chapter.
        auto chaptersOf = [](const std::vector<PawkContentsEntry>& all) {
            std::vector<std::string> targets;
            for (const auto& e : all)
                if (e.title != "Cover Image") targets.push_back(e.target);
            return targets;
        };
        std::vector<std::string> expected = chaptersOf(litContents);
        if (expected.empty()) expected.push_back("LIT Body#");
        EXPECT_EQ(chaptersOf(p.reader.Contents()), expected);

        Opened from(lit, kSourceLit), to(out.path, kSourcePawk);
        ASSERT_TRUE(from.opened && to.opened);
        EXPECT_EQ(to.Words(), from.Words());
    }
}

TEST(BookBuilderTest, AlmanacKeepsItsCoverChaptersAndMetadata) {
    Builder b;
    LitSource source;
    ASSERT_EQ(OpenLitSource((test::FixturesDir() / "lit" / "almanac.lit").string(), source),
              LitSourceStatus::Ok);
    EXPECT_EQ(source.author, "Ione Marsh");
    EXPECT_EQ(source.publisher, "Harbourside Press");
    EXPECT_EQ(source.identifier, "9780306406157");
    std::vector<std::string> names;
    for (const auto& pic : source.pictures)
        names.push_back(pic.name);
    EXPECT_EQ(names, (std::vector<std::string>{"lamp.gif", "harbour.jpg", "cover.png"}));
    ASSERT_FALSE(source.contents.empty());
    EXPECT_EQ(source.contents[0],
              (PawkContentsEntry{0, "Chapter 1 \x96 The Lighthouse", "ch01.xhtml"}));
    BuildOutcome out = b.Build({{}, source.title, source.author, false, &source, {}});
    ASSERT_EQ(out.status, BuildStatus::Ok);
    Parsed p(out.path);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.reader.Publisher(), "Converted: Harbourside Press");
    EXPECT_EQ(p.reader.Identifier(), "9780306406157");
    EXPECT_EQ(p.reader.CoverName(), "cover.png");
    ASSERT_EQ(p.reader.Contents().size(), 7u);  // the cover and six chapters
    EXPECT_EQ(p.reader.Contents()[0].title, "Cover Image");
    EXPECT_EQ(p.reader.Contents()[4].target, "ch03_split_001.xhtml#postscript");

    // Every chapter entry leads where it leads in the LIT book (and nowhere where it leads
    // nowhere there).
    Opened lit(test::FixturesDir() / "lit" / "almanac.lit", kSourceLit),
        pawk(out.path, kSourcePawk);
    ASSERT_TRUE(lit.opened && pawk.opened);
    auto pageAfter = [](Opened& book, const std::string& target) {
        book.doc.CurrentPage = 0;
        if (!book.doc.GoToTarget(target)) return std::string("(nowhere)");
        std::string text;
        for (const auto& line : book.Lines(book.doc.CurrentPage))
            text += line + " ";
        return text;
    };
    for (size_t i = 1; i < p.reader.Contents().size(); ++i) {
        const std::string target = p.reader.Contents()[i].target;
        std::string expected = pageAfter(lit, target).substr(0, 30);
        EXPECT_NE(pageAfter(pawk, target).find(expected), std::string::npos) << target;
    }
}

TEST(BookBuilderTest, EpubFixturesBuildWithTheirTextPicturesContentsAndCover) {
    // calibre's almanac (files at the root, a cover page) and pandoc's grep manual (files in
    // folders, contents and links leading across them).
    for (const char* name : {"almanac", "grep-pandoc3"}) {
        SCOPED_TRACE(name);
        Builder b;
        const fs::path epub = test::FixturesDir() / "epub" / (std::string(name) + ".epub");
        LitSource source;
        ASSERT_EQ(OpenEpubSource(epub.string(), source), EpubResult::kOk);
        const size_t pictures = source.pictures.size();
        auto titlesOf = [](const std::vector<PawkContentsEntry>& all) {
            std::vector<std::string> titles;
            for (const auto& e : all)
                if (e.title != "Cover Image") titles.push_back(e.title);
            return titles;
        };
        const std::vector<std::string> titles = titlesOf(source.contents);
        ASSERT_FALSE(titles.empty());
        BuildOutcome out = b.Build({{}, source.title, source.author, false, &source, {}});
        ASSERT_EQ(out.status, BuildStatus::Ok) << out.detail;

        Parsed p(out.path);
        ASSERT_TRUE(p.ok);
        size_t stored = 0;
        for (const auto& c : p.reader.Chunks())
            if (c.name.find(".png:0") != std::string::npos ||
                c.name.find(".jpg:0") != std::string::npos ||
                c.name.find(".gif:0") != std::string::npos)
                ++stored;
        EXPECT_EQ(stored, pictures);
        EXPECT_EQ(titlesOf(p.reader.Contents()), titles);

        Opened from(epub, kSourceEpub), to(out.path, kSourcePawk);
        ASSERT_TRUE(from.opened && to.opened);
        EXPECT_EQ(to.Words(), from.Words());
        // Every contents entry leads where it leads in the EPUB book.
        auto pageAfter = [](Opened& book, const std::string& target) {
            book.doc.CurrentPage = 0;
            if (!book.doc.GoToTarget(target)) return std::string("(nowhere)");
            std::string text;
            for (const auto& line : book.Lines(book.doc.CurrentPage))
                text += line + " ";
            return text;
        };
        for (const auto& entry : p.reader.Contents()) {
            if (entry.title == "Cover Image" || entry.target == "LIT Body#") continue;
            std::string expected = pageAfter(from, entry.target).substr(0, 30);
            EXPECT_NE(pageAfter(to, entry.target).find(expected), std::string::npos)
                << entry.target;
        }
        if (std::string(name) == "almanac") {
            EXPECT_EQ(p.reader.CoverName(), "cover.png");
            EXPECT_EQ(p.reader.Publisher(), "Converted: Harbourside Press");
            EXPECT_EQ(p.reader.Author(), "Ione Marsh");
        }
    }
    // A book that cannot be read leaves nothing to build, and says why.
    LitSource none;
    EXPECT_EQ(OpenEpubSource("/nonexistent/x.epub", none), EpubResult::kReadFailed);
    EXPECT_STREQ(EpubSourceMessage(EpubResult::kReadFailed), "Cannot open ebook file.");
    EXPECT_TRUE(none.body.empty());
}

TEST(BookBuilderTest, EpubMarkupNamesLinksPicturesAndPlacesByContainerPath) {
    const std::string markup = EpubFileMarkup(
        "OEBPS/Text/c1.xhtml",
        "<?xml version=\"1.0\"?><html><body><p id=\"p1\" class=\"x\">A\r\nline</p>"
        "<a class=\"k\" href=\"../Text/c2.xhtml#x\">to</a><a href=\"c2.xhtml\">whole</a>"
        "<a href=\"../../../etc/passwd\">out</a><a href=\"http://x.org/\">web</a>"
        "<img alt=\"i\" src=\"../Images/p%20q.png\"/><!-- <a href=\"gone\"> --> \u03a9 "
        "caf\u00e9</body></html>");
    EXPECT_EQ(
        markup,
        "<newpage><br><curfile>OEBPS/Text/c1.xhtml</curfile><?xml version=\"1.0\"?><html>"
        "<body><p id=\"p1\" class=\"x\"><a name=\"OEBPS/Text/c1.xhtml#p1\"></a>A  line</p>"
        "<a class=\"k\" href=\"OEBPS/Text/c2.xhtml#x\">to</a><a href=\"OEBPS/Text/c2.xhtml#\">"
        "whole</a><a >out</a><a href=\"http://x.org/\">web</a>"
        "<img alt=\"i\" src=\"OEBPS/Images/p q.png\"/> &#937; caf\xe9</body></html> <newpage>");
}

TEST(BookBuilderTest, LitCoverReferencesDropOnlyPicturesNothingKeptNames) {
    LitCoverChoice all = ChooseLitCover(
        "<reference type=\"other.ms-coverimage-standard\" href=\"c.jpg\"/>"
        "<reference type=\"other.ms-coverimage\" href=\"c.jpg\"/>"
        "<reference type=\"other.ms-thumbimage\" href=\"t.jpg\"/>"
        "<reference type=\"other.ms-thumbimage-standard\" href=\"c.jpg\"/>"
        "<reference type=\"other.ms-titleimage-standard\" href=\"title.jpg\"/>");
    EXPECT_EQ(all.cover, "c.jpg");
    EXPECT_EQ(all.dropped, (std::vector<std::string>{"t.jpg", "title.jpg"}));
    LitCoverChoice thumb =
        ChooseLitCover("<reference type=\"other.ms-thumbimage-standard\" href=\"images/s.jpg\"/>");
    EXPECT_EQ(thumb.cover, "images/s.jpg");
    EXPECT_TRUE(thumb.dropped.empty());
}

TEST(BookBuilderTest, ReplacingABookIsAskedAtomicAndDropsItsPaginationFile) {
    Builder b;
    std::string txt = b.File("a.txt", "New text");
    fs::create_directories(b.Shelf());
    fs::path old = b.Shelf() / "name.pawk";
    WriteFileText(old, "someone else's file");
    WriteFileText(fs::path(old.string() + ".pwk"), "old pages");

    b.host.Answers = {MessageAnswer::No};
    EXPECT_EQ(b.Build({{txt}, "Name", "", false, nullptr, {}}).status, BuildStatus::Declined);
    EXPECT_EQ(test::ReadFileText(old), "someone else's file");
    ASSERT_EQ(b.host.Messages.size(), 1u);
    EXPECT_EQ(b.host.Messages[0].buttons, MessageButtons::YesNo);

    // A build that fails part-way leaves the old file as it was.
    b.host.Answers = {MessageAnswer::Yes};
    std::string gone = (b.dir / "src" / "missing.htm").string();
    EXPECT_EQ(b.Build({{txt, gone}, "Name", "", false, nullptr, {}}).status, BuildStatus::Failed);
    EXPECT_EQ(test::ReadFileText(old), "someone else's file");
    EXPECT_EQ(b.host.MessageTexts().back(), "Error handling file order");

    b.host.Answers = {MessageAnswer::Yes};
    ASSERT_EQ(b.Build({{txt}, "Name", "", false, nullptr, {}}).status, BuildStatus::Ok);
    EXPECT_FALSE(fs::exists(old.string() + ".pwk"));
    // The same book built again is replaced without asking.
    size_t asked = b.host.Messages.size();
    ASSERT_EQ(b.Build({{txt}, "Name", "", false, nullptr, {}}).status, BuildStatus::Ok);
    EXPECT_EQ(b.host.Messages.size(), asked);
    EXPECT_EQ(fs::directory_iterator(b.Shelf())->path(), old);
    EXPECT_TRUE(b.TempEmpty());
}

TEST(BookBuilderTest, CancelExecutablesDuplicatesAndLongTitles) {
    Builder b;
    std::string big;
    for (int i = 0; i < 40000; ++i)
        big += "word" + std::to_string(i) + "\n";
    std::string a = b.File("a/index.html", "<p>first " + big);
    std::string c = b.File("b/INDEX.html", "<p>second");

    // Cancelled while compressing: no book, no temporary files.
    StopAfter stop(4);
    EXPECT_EQ(b.Build({{a, c}, "Cancelled", "", false, nullptr, {}}, &stop).status,
              BuildStatus::Cancelled);
    EXPECT_FALSE(fs::exists(b.Shelf() / "cancelled.pawk"));
    EXPECT_TRUE(fs::is_empty(b.Shelf()));
    EXPECT_TRUE(b.TempEmpty());
    EXPECT_NE(std::find(stop.texts.begin(), stop.texts.end(), "Compressing..."), stop.texts.end());

    std::string exe = b.File("setup.EXE", "MZ");
    EXPECT_EQ(b.Build({{a, exe}, "Exe", "", false, nullptr, {}}).status, BuildStatus::Failed);
    EXPECT_EQ(b.host.MessageTexts(),
              (std::vector<std::string>{
                  "Error processing eBook.\r\nYou cannot include executable file types.",
                  "Error handling file order"}));

    // Both files called index.html are kept, the second under a name of its own; a title far
    // beyond what a file name may hold still gives a book.
    std::string title(300, 'T');
    BuildOutcome out = b.Build({{a, c}, title, "", false, nullptr, {}});
    ASSERT_EQ(out.status, BuildStatus::Ok) << out.detail;
    EXPECT_EQ(out.path.filename().string().size(), 200u + 5);
    Parsed p(out.path);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.reader.Title(), std::string(127, 'T'));
    ASSERT_EQ(p.reader.Order().size(), 2u);
    EXPECT_EQ(p.reader.Order()[1].name, "INDEX_2.html");
    EXPECT_EQ(p.reader.Contents()[1].target, "INDEX_2.html#");
}

TEST(BookBuilderTest, ALitBookThatFailsLeavesNothingToBuild) {
    Builder b;
    LitSource source;
    EXPECT_EQ(OpenLitSource((b.dir / "none.lit").string(), source), LitSourceStatus::CannotOpen);
    std::string junk = b.File("junk.lit", std::string(5000, 'j'));
    EXPECT_EQ(OpenLitSource(junk, source), LitSourceStatus::ConversionFailed);
    EXPECT_TRUE(source.body.empty());
    EXPECT_STREQ(LitSourceMessage(LitSourceStatus::ConversionFailed),
                 "There were errors processing the LIT file.");
    // Building from it anyway fails with a message instead of writing an empty book.
    EXPECT_EQ(b.Build({{}, "Empty", "", false, &source, {}}).status, BuildStatus::Failed);
    EXPECT_EQ(b.host.MessageTexts(),
              (std::vector<std::string>{"There were errors processing the LIT file."}));
    EXPECT_FALSE(fs::exists(b.Shelf() / "empty.pawk"));
}

}  // namespace
}  // namespace pagewick
