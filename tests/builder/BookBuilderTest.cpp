// Books made by WriteBook, read back through the PAWK reader and the engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "pawk/PawkFile.h"
#include "pawk/PawkReader.h"
#include "pawk/builder/BookBuilder.h"
#include "support/BookFixture.h"
#include "support/ScriptedHost.h"
#include "support/fixtures.h"

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
        // The LIT's own entries, then the body's.
        const auto& contents = p.reader.Contents();
        ASSERT_GE(contents.size(), litContents.size() + 1);
        EXPECT_EQ(contents.back().target, "LIT Body#");

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
    ASSERT_EQ(p.reader.Contents().size(), 8u);  // the cover, six chapters, the body
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
    for (size_t i = 1; i + 1 < p.reader.Contents().size(); ++i) {
        const std::string target = p.reader.Contents()[i].target;
        std::string expected = pageAfter(lit, target).substr(0, 30);
        EXPECT_NE(pageAfter(pawk, target).find(expected), std::string::npos) << target;
    }
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
