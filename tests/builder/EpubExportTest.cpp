// Books of every kind the readers open written as EPUB: the LIT fixture read back by our own
// EPUB reader with the same words, contents and pictures; epubcheck's verdict on a book of each
// kind; and what a failed export leaves behind.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "builder/EpubExport.h"
#include "engine/BookEngine.h"
#include "formats/epub/EpubPackage.h"
#include "library/PlainText.h"
#include "pawk/PawkWriter.h"
#include "support/BookText.h"
#include "support/ScriptedHost.h"
#include "support/fixtures.h"

namespace pagewick {
namespace {

namespace fs = std::filesystem;
using test::FixturesDir;
using test::ReadFileText;
using test::TempDir;

struct Opened {
    test::ScriptedHost host;
    CBookEngine doc;
    Opened(const fs::path& path, int32_t kind, const std::string& temp) {
        host.Temp = temp;
        doc.HostServices = &host;
        doc.BookPath = path.string();
        doc.SourceKind = kind;
        EXPECT_TRUE(doc.PrepareSource()) << path;
    }
};

std::vector<std::string> Words(CBookEngine& doc) {
    std::string text;
    EXPECT_TRUE(test::WholeBookText(doc, text));
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

std::string Extracted(CBookEngine& doc, const std::string& name, const fs::path& file) {
    EXPECT_TRUE(doc.ExtractMedia(file.string(), name)) << name;
    return ReadFileText(file);
}

EpubExportOutcome Export(const fs::path& book, int32_t kind, const fs::path& target,
                         const fs::path& temp) {
    Opened source(book, kind, temp.string());
    EpubExportOptions options;
    options.modified = 1700000000;
    EpubExportOutcome outcome = ExportEpub(source.doc, target, options);
    EXPECT_TRUE(outcome) << book << ": " << EpubExportMessage(outcome, target);
    EXPECT_TRUE(source.host.Messages.empty()) << book;
    return outcome;
}

TEST(EpubExport, LitFixtureReadsBackWithItsWordsContentsAndPictures) {
    TempDir dir;
    const fs::path lit = FixturesDir() / "lit" / "almanac.lit";
    const fs::path epub = dir / "almanac.epub";
    const EpubExportOutcome outcome = Export(lit, kSourceLit, epub, dir.path());
    EXPECT_EQ(outcome.pictures, 3u);  // lamp, harbour and the cover

    Opened from(lit, kSourceLit, dir.path().string());
    Opened back(epub, kSourceEpub, dir.path().string());
    EXPECT_EQ(back.doc.DocumentTitle, from.doc.DocumentTitle);
    EXPECT_EQ(back.doc.BookAuthor, from.doc.BookAuthor);
    EXPECT_EQ(back.doc.BookPublisher, from.doc.BookPublisher);
    EXPECT_EQ(back.doc.BookRights, from.doc.BookRights);
    EXPECT_EQ(back.doc.BookIdentifier, from.doc.BookIdentifier);
    EXPECT_EQ(back.doc.BookLanguage, from.doc.BookLanguage);

    // The contents leading into the text, in order; the cover is the book's cover instead.
    std::vector<std::string> titles, backTitles;
    for (const ContentsEntry& entry : from.doc.Contents)
        if (!IsPictureTarget(entry.target)) titles.push_back(entry.title);
    for (const ContentsEntry& entry : back.doc.Contents)
        backTitles.push_back(entry.title);
    EXPECT_EQ(backTitles, titles);
    ASSERT_FALSE(titles.empty());
    // Every entry still leads to its place: to the file and anchor of the new book.
    for (const ContentsEntry& entry : back.doc.Contents)
        EXPECT_GE(back.doc.FileStartOffset(entry.target.substr(0, entry.target.find('#'))), 0)
            << entry.target;

    // Each picture under its own name with its bytes; the cover is the LIT's cover.
    EpubPackage package;
    ASSERT_EQ(package.Open(epub.string()), EpubResult::kOk);
    for (const char* name : {"lamp.gif", "harbour.jpg", "cover.png"}) {
        ASSERT_NE(package.ItemByPath(std::string("OEBPS/") + name), nullptr) << name;
        EXPECT_EQ(Extracted(back.doc, std::string("OEBPS/") + name, dir / "b"),
                  Extracted(from.doc, name, dir / "a"))
            << name;
    }
    EXPECT_EQ(back.doc.CoverTarget, "OEBPS/cover.png");

    EXPECT_EQ(Words(back.doc), Words(from.doc));
}

// ---- epubcheck ----

constexpr const char* kEpubcheck = "/usr/share/java/epubcheck.jar";

// The books of one kind each: what the readers make of them as EPUB is what epubcheck sees.
struct Kind {
    const char* name;
    fs::path book;
    int32_t kind;
};

TEST(EpubExportEpubcheck, BooksOfEveryKindPassWithNoErrorOrWarning) {
    if (!fs::exists(kEpubcheck) || std::system("java -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "epubcheck cannot run; scripts/setup-deps.sh installs epubcheck and "
                        "default-jre-headless";
    TempDir dir;
    fs::create_directories(dir / "books");
    // An HTML page with a picture beside it, a link to its own anchor, and one to a picture
    // that is not there.
    {
        Opened lit(FixturesDir() / "lit" / "almanac.lit", kSourceLit, dir.path().string());
        ASSERT_TRUE(lit.doc.ExtractMedia((dir / "books" / "lamp.gif").string(), "lamp.gif"));
    }
    test::WriteFileText(dir / "books" / "page.htm",
                        "<html><head><title>A Page &amp; a Lamp</title></head><body>"
                        "<h1>The Lamp</h1><p><a href=\"#end\">To the end</a></p>"
                        "<p><img src=\"lamp.gif\" alt=\"a lamp\"> <img src=\"gone.png\" "
                        "alt=\"gone\"></p><p id=end>The end.</p></body></html>");
    // A UTF-16 text long enough to be split into chapters.
    std::u16string text = u"\uFEFF";
    const std::string license = ReadFileText(FixturesDir() / "text" / "gpl2-license.txt");
    for (int copy = 0; copy < 14; ++copy)
        for (unsigned char c : license)
            text += char16_t(c);
    test::WriteFileBytes(dir / "books" / "license.txt", text.data(), text.size() * 2);
    // A PAWK book of two members, a picture and contents.
    PawkWriter pawk;
    pawk.title = "Two Members";
    pawk.author = "A. Writer";
    pawk.identifier = "978-0-306-40615-7";
    const std::string one = "<h1>One</h1><p>First <b>member</b>.<img src=lamp.gif></p>";
    const std::string two = "<h1>Two</h1><a name=\"b\"></a><p>Second member.</p>";
    pawk.files.push_back({"one.htm", {}, std::vector<uint8_t>(one.begin(), one.end())});
    pawk.files.push_back({"two.htm", {}, std::vector<uint8_t>(two.begin(), two.end())});
    pawk.files.push_back({"lamp.gif", dir / "books" / "lamp.gif", std::nullopt});
    pawk.contents = {{0, "One", "one.htm#"}, {0, "Two", "two.htm#b"}};
    ASSERT_TRUE(pawk.Write(dir / "books" / "members.pawk"));

    const std::vector<Kind> kinds = {
        {"lit", FixturesDir() / "lit" / "bash-manual.lit", kSourceLit},
        {"pawk", dir / "books" / "members.pawk", kSourcePawk},
        {"html", dir / "books" / "page.htm", kSourceText},
        {"utf16", dir / "books" / "license.txt", kSourceText},
        {"epub", FixturesDir() / "epub" / "bash-manual3.epub", kSourceEpub},
    };
    std::string files;
    for (const Kind& k : kinds) {
        const fs::path out = dir / (std::string(k.name) + ".epub");
        const EpubExportOutcome outcome = Export(k.book, k.kind, out, dir.path());
        const std::string name = k.name;
        if (name == "utf16") {
            EXPECT_GT(outcome.documents, 1u);
        } else if (name == "pawk") {
            EXPECT_EQ(outcome.documents, 2u);
        } else if (name == "html") {
            EXPECT_EQ(outcome.pictures, 1u);
        }
        files += " '" + out.string() + "'";
    }
    // Two JVMs at a time: each takes seconds to start.
    const std::string command = "printf '%s\\n'" + files + " | xargs -P 2 -I{} sh -c 'java -jar " +
                                kEpubcheck + " \"{}\" >\"{}.log\" 2>&1; echo $? >\"{}.status\"'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const Kind& k : kinds) {
        const fs::path out = dir / (std::string(k.name) + ".epub");
        const std::string log = ReadFileText(out.string() + ".log");
        EXPECT_EQ(ReadFileText(out.string() + ".status"), "0\n") << k.name << "\n" << log;
        EXPECT_EQ(log.find("WARNING"), std::string::npos) << k.name << "\n" << log;
        EXPECT_EQ(log.find("ERROR"), std::string::npos) << k.name << "\n" << log;
        EXPECT_NE(log.find("No errors or warnings detected"), std::string::npos) << k.name << "\n"
                                                                                 << log;
    }
}

// A book that stops reading part of the way, a cancelled export and a folder that is not
// there: nothing is left at the target, and a book already there stays as it was.
TEST(EpubExport, AFailedExportLeavesNothingAndTheOldBookAlone) {
    TempDir dir, scratch;
    const fs::path target = dir / "kept.epub";
    test::WriteFileText(target, "the old book");

    Opened cancelled(FixturesDir() / "lit" / "almanac.lit", kSourceLit, scratch.path().string());
    EpubExportOptions stop;
    int asked = 0;
    stop.progress = [&asked](double done) {
        ++asked;
        return done < 0.5;
    };
    EXPECT_EQ(ExportEpub(cancelled.doc, target, stop).result, EpubWriteResult::kCancelled);
    EXPECT_GT(asked, 1);

    // A reader that fails past its first windows, as a book on a failing disk does.
    class Failing : public WindowReader {
    public:
        OpenResult Open(CBookEngine& doc) override {
            doc.TextLength = 1 << 20;
            return OpenResult::Opened;
        }
        bool ReadWindow(CBookEngine& doc, uint32_t position) override {
            doc.MarkupMode = true;
            if (position >= 65536) return false;
            std::fill(doc.WindowA.begin(), doc.WindowA.end(), uint8_t('a'));
            std::fill(doc.WindowB.begin(), doc.WindowB.end(), uint8_t('a'));
            return true;
        }
    };
    CBookEngine gone;
    ASSERT_TRUE(gone.PrepareSource(std::make_unique<Failing>()));
    const EpubExportOutcome unreadable = ExportEpub(gone, target);
    EXPECT_FALSE(unreadable);
    EXPECT_EQ(EpubExportMessage(unreadable, target), "the book cannot be read to its end");

    Opened fine(FixturesDir() / "lit" / "tiny.lit", kSourceLit, scratch.path().string());
    const fs::path nowhere = dir / "no-folder" / "x.epub";
    const EpubExportOutcome failed = ExportEpub(fine.doc, nowhere);
    EXPECT_EQ(EpubExportMessage(failed, nowhere), "cannot write " + nowhere.string());

    EXPECT_EQ(ReadFileText(target), "the old book");
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"kept.epub"}));
    // Titles become names every file system takes.
    EXPECT_EQ(EpubFileName("A/B: C?"), "A_B_ C_.epub");
    EXPECT_EQ(EpubFileName(""), "eBook.epub");
}

}  // namespace
}  // namespace pagewick
