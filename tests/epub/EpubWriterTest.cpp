// The EPUB writer: a book written and read back through the package reader, the books it must
// refuse (and the old file it must leave as it was), and epubcheck's verdict on what it writes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "WrittenBooks.h"
#include "formats/epub/EpubDocuments.h"
#include "formats/epub/EpubPackage.h"
#include "formats/epub/EpubWriter.h"
#include "support/fixtures.h"

namespace pagewick {
namespace {

using test::TempDir;

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(EpubWriter, WritesABookThePackageReaderReadsBackWhole) {
    TempDir dir;
    EpubBook book = test::TwoChapterBook();
    // The picture comes from a file; the book replaces an older one and keeps its permissions.
    const std::string lamp = book.resources[0].bytes;
    test::WriteFileText(dir / "lamp-source.gif", lamp);
    book.resources[0].bytes.clear();
    book.resources[0].file = dir / "lamp-source.gif";
    const std::filesystem::path target = dir / "two.epub";
    test::WriteFileText(target, "an older book");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);

    EpubWriter writer;
    ASSERT_EQ(writer.Write(book, target), EpubWriteResult::kOk) << writer.Problem();
    EXPECT_EQ(writer.Identifier(), "urn:isbn:9780306406157");
    EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{"lamp-source.gif", "two.epub"}));
    struct stat written;
    ASSERT_EQ(::stat(target.c_str(), &written), 0);
    EXPECT_EQ(written.st_mode & 0777, 0640u);

    // "mimetype" first, stored, with no extra field: what readers look for at byte 30.
    const std::vector<uint8_t> bytes = test::ReadFileBytes(target);
    ASSERT_GT(bytes.size(), 60u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "PK\x03\x04");
    EXPECT_EQ(bytes[8] | bytes[9] << 8, 0);    // stored
    EXPECT_EQ(bytes[28] | bytes[29] << 8, 0);  // no extra field
    EXPECT_EQ(std::string(bytes.begin() + 30, bytes.begin() + 58), "mimetypeapplication/epub+zip");

    EpubPackage epub;
    ASSERT_EQ(epub.Open(target.string()), EpubResult::kOk);
    const EpubMetadata& m = epub.Metadata();
    EXPECT_EQ(m.title, "Two Chapters");
    EXPECT_EQ(m.creators, "Ann Author & Bob Writer");
    EXPECT_EQ(m.publisher, "Test Press");
    EXPECT_EQ(m.identifier, "urn:isbn:9780306406157");
    EXPECT_EQ(m.isbn, "9780306406157");
    EXPECT_EQ(m.rights, "Public domain");
    EXPECT_EQ(m.language, "en-GB");
    EXPECT_EQ(m.version, "3.0");

    std::vector<std::string> spine;
    for (const EpubSpineItem& item : epub.Spine())
        spine.push_back(item.path);
    EXPECT_EQ(spine, (std::vector<std::string>{"OEBPS/cover.xhtml", "OEBPS/one.xhtml",
                                               "OEBPS/two.xhtml"}));

    // The same nested contents in the navigation document and in the NCX.
    const std::vector<std::tuple<std::string, std::string, std::string, int>> expected = {
        {"The First Chapter", "OEBPS/one.xhtml", "", 0},
        {"A section", "OEBPS/one.xhtml", "section", 1},
        {"The Second Chapter", "OEBPS/two.xhtml", "", 0},
        {"The pier", "OEBPS/two.xhtml", "pier", 1}};
    auto lines = [](const std::vector<EpubContentsEntry>& entries) {
        std::vector<std::tuple<std::string, std::string, std::string, int>> out;
        for (const EpubContentsEntry& e : entries)
            out.emplace_back(e.title, e.path, e.fragment, e.level);
        return out;
    };
    EXPECT_EQ(epub.ContentsSource(), EpubContentsSource::kNav);
    EXPECT_EQ(lines(epub.Contents()), expected);
    std::string ncx;
    ASSERT_EQ(epub.ReadMember("OEBPS/toc.ncx", ncx), EpubResult::kOk);
    std::vector<EpubContentsEntry> ncxEntries;
    ASSERT_EQ(ParseNcx(ncx, "OEBPS/toc.ncx", EpubLimits{}, ncxEntries), EpubResult::kOk);
    EXPECT_EQ(lines(ncxEntries), expected);
    EXPECT_NE(ncx.find("<meta name=\"dtb:uid\" content=\"urn:isbn:9780306406157\"/>"),
              std::string::npos);

    // Pictures and the cover, byte for byte, and the links and picture in the text.
    std::string picture;
    ASSERT_EQ(epub.ReadMember("OEBPS/lamp.gif", picture), EpubResult::kOk);
    EXPECT_EQ(picture, lamp);
    ASSERT_NE(epub.ItemByPath("OEBPS/lamp.gif"), nullptr);
    EXPECT_EQ(epub.ItemByPath("OEBPS/lamp.gif")->mediaType, "image/gif");
    EXPECT_EQ(epub.CoverPath(), "OEBPS/cover.png");
    EXPECT_EQ(epub.CoverMediaType(), "image/png");
    ASSERT_EQ(epub.ReadMember(epub.CoverPath(), picture), EpubResult::kOk);
    EXPECT_EQ(picture, book.cover->bytes);
    std::shared_ptr<const std::string> one, two;
    ASSERT_EQ(epub.Content(1, one), EpubResult::kOk);
    ASSERT_EQ(epub.Content(2, two), EpubResult::kOk);
    EXPECT_NE(one->find("<title>The First Chapter</title>"), std::string::npos);
    EXPECT_NE(one->find("<a href=\"two.xhtml#pier\">link to the pier</a>"), std::string::npos);
    EXPECT_NE(one->find("<img src=\"lamp.gif\" alt=\"A lamp\"/>"), std::string::npos);
    EXPECT_NE(two->find("<a href=\"one.xhtml#start\">Back</a>"), std::string::npos);
}

TEST(EpubWriter, GivesTheSameBookTheSameIdentifier) {
    TempDir dir;
    EpubBook book = test::CarelessMarkupBook();
    EpubWriter writer;
    ASSERT_EQ(writer.Write(book, dir / "a.epub"), EpubWriteResult::kOk) << writer.Problem();
    const std::string first = writer.Identifier();
    EXPECT_TRUE(first.starts_with("urn:uuid:")) << first;
    EXPECT_EQ(first.size(), 9u + 36u);
    book.info.modified = 1800000000;  // another day, the same book
    ASSERT_EQ(writer.Write(book, dir / "b.epub"), EpubWriteResult::kOk);
    EXPECT_EQ(writer.Identifier(), first);
    book.documents[0].body += "<p>one more word</p>";
    ASSERT_EQ(writer.Write(book, dir / "c.epub"), EpubWriteResult::kOk);
    EXPECT_NE(writer.Identifier(), first);
    EpubPackage epub;
    ASSERT_EQ(epub.Open((dir / "a.epub").string()), EpubResult::kOk);
    EXPECT_EQ(epub.Metadata().identifier, first);
    EXPECT_EQ(epub.Metadata().language, "und");
    EXPECT_EQ(epub.Metadata().title, "Careless <Markup> & \"Quotes\"");
    EXPECT_EQ(epub.Spine().size(), test::MarkupCases().size());
}

TEST(EpubWriter, RefusesWhatWouldMakeABadBookAndLeavesTheOldOneAlone) {
    struct Case {
        const char* what;
        std::function<void(EpubBook&)> change;
        EpubWriteResult result;
    };
    const Case cases[] = {
        {"no documents", [](EpubBook& b) { b.documents.clear(); }, EpubWriteResult::kNoDocuments},
        {"a name climbing out", [](EpubBook& b) { b.documents[0].name = "../one.xhtml"; },
         EpubWriteResult::kBadName},
        {"a name of the writer's own", [](EpubBook& b) { b.documents[0].name = "NAV.xhtml"; },
         EpubWriteResult::kBadName},
        {"a name given twice", [](EpubBook& b) { b.resources[0].name = "ONE.xhtml"; },
         EpubWriteResult::kBadName},
        {"a name with a space", [](EpubBook& b) { b.resources[0].name = "a b.gif"; },
         EpubWriteResult::kBadName},
        {"a document not named .xhtml", [](EpubBook& b) { b.documents[0].name = "one.html"; },
         EpubWriteResult::kBadName},
        {"an unclosed element", [](EpubBook& b) { b.documents[1].body += "<p>open"; },
         EpubWriteResult::kBadDocument},
        {"an HTML reference", [](EpubBook& b) { b.documents[1].body += "a&nbsp;b"; },
         EpubWriteResult::kBadDocument},
        {"an id twice", [](EpubBook& b) { b.documents[1].body += "<p id=\"pier\">again</p>"; },
         EpubWriteResult::kBadDocument},
        {"a link to no document",
         [](EpubBook& b) { b.documents[1].body += "<a href=\"three.xhtml\">x</a>"; },
         EpubWriteResult::kBadReference},
        {"a link to no id",
         [](EpubBook& b) { b.documents[1].body += "<a href=\"one.xhtml#gone\">x</a>"; },
         EpubWriteResult::kBadReference},
        {"a picture the book lacks",
         [](EpubBook& b) { b.documents[1].body += "<img src=\"none.png\" alt=\"\"/>"; },
         EpubWriteResult::kBadReference},
        {"a picture no reader must show",
         [](EpubBook& b) {
             b.resources.push_back({"pic.bmp", "", "BM" + std::string(60, '\0'), {}});
             b.documents[1].body += "<img src=\"pic.bmp\" alt=\"\"/>";
         },
         EpubWriteResult::kBadReference},
        {"contents leading nowhere",
         [](EpubBook& b) {
             b.contents.push_back({"x", "one.xhtml", "gone", 0});
         },
         EpubWriteResult::kBadReference},
        {"a picture file that is not there",
         [](EpubBook& b) { b.resources[0].file = "/nonexistent/lamp.gif"; },
         EpubWriteResult::kUnreadableFile},
    };
    TempDir dir;
    const std::filesystem::path target = dir / "book.epub";
    test::WriteFileText(target, "the old book");
    for (const Case& c : cases) {
        EpubBook book = test::TwoChapterBook();
        c.change(book);
        EpubWriter writer;
        EXPECT_EQ(writer.Write(book, target), c.result) << c.what << ": " << writer.Problem();
        EXPECT_EQ(test::ReadFileText(target), "the old book") << c.what;
        EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"book.epub"}) << c.what;
    }

    // A cancelled write leaves nothing either, and a folder that is not there is said so.
    int calls = 0;
    EpubWriteOptions options;
    options.progress = [&calls](double) { return ++calls < 3; };
    EpubWriter cancelling(options);
    EXPECT_EQ(cancelling.Write(test::TwoChapterBook(), target), EpubWriteResult::kCancelled);
    EXPECT_GE(calls, 3);
    EXPECT_EQ(test::ReadFileText(target), "the old book");
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"book.epub"});
    EpubWriter writer;
    EXPECT_EQ(writer.Write(test::TwoChapterBook(), dir / "missing" / "book.epub"),
              EpubWriteResult::kCannotCreate);
    // A cover that is no picture a reader must show is kept, as a plain file.
    EpubBook book = test::TwoChapterBook();
    book.cover = EpubResource{"cover.bmp", "", "BM" + std::string(60, '\0'), {}};
    ASSERT_EQ(writer.Write(book, target), EpubWriteResult::kOk) << writer.Problem();
    EpubPackage epub;
    ASSERT_EQ(epub.Open(target.string()), EpubResult::kOk);
    EXPECT_EQ(epub.CoverPath(), "");
    EXPECT_EQ(epub.Spine().size(), 2u);
    ASSERT_NE(epub.ItemByPath("OEBPS/cover.bmp"), nullptr);
    EXPECT_EQ(epub.ItemByPath("OEBPS/cover.bmp")->mediaType, "image/bmp");
}

// ---- epubcheck ----

constexpr const char* kEpubcheck = "/usr/share/java/epubcheck.jar";

// epubcheck's report on one book: its exit status and everything it printed.
struct Verdict {
    int status = -1;
    std::string output;
};

bool EpubcheckAvailable(std::string& why) {
    if (!std::filesystem::exists(kEpubcheck)) {
        why = std::string(kEpubcheck) + " is missing";
        return false;
    }
    if (std::system("java -version >/dev/null 2>&1") != 0) {
        why = "java is missing";
        return false;
    }
    return true;
}

Verdict Epubcheck(const std::filesystem::path& book) {
    Verdict v;
    const std::string command =
        "java -jar " + std::string(kEpubcheck) + " '" + book.string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return v;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        v.output.append(buffer, n);
    const int status = ::pclose(pipe);
    v.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return v;
}

// One JVM start per book: each takes seconds.
void ExpectEpubcheckAccepts(const EpubBook& book, const std::string& name) {
    std::string why;
    if (!EpubcheckAvailable(why))
        GTEST_SKIP() << "epubcheck cannot run (" << why
                     << "); scripts/setup-deps.sh installs epubcheck and default-jre-headless";
    TempDir dir;
    const std::filesystem::path path = dir / name;
    EpubWriter writer;
    ASSERT_EQ(writer.Write(book, path), EpubWriteResult::kOk) << writer.Problem();
    const Verdict verdict = Epubcheck(path);
    EXPECT_EQ(verdict.status, 0) << verdict.output;
    EXPECT_EQ(verdict.output.find("WARNING"), std::string::npos) << verdict.output;
    EXPECT_EQ(verdict.output.find("ERROR"), std::string::npos) << verdict.output;
    EXPECT_NE(verdict.output.find("No errors or warnings detected"), std::string::npos)
        << verdict.output;
}

TEST(EpubWriterEpubcheck, AcceptsTheTwoChapterBook) {
    ExpectEpubcheckAccepts(test::TwoChapterBook(), "two-chapters.epub");
}

TEST(EpubWriterEpubcheck, AcceptsTheAlmanacMadeFromItsLitFixture) {
    ExpectEpubcheckAccepts(test::AlmanacBook(), "almanac.epub");
}

TEST(EpubWriterEpubcheck, AcceptsABookOfCarelessMarkup) {
    ExpectEpubcheckAccepts(test::CarelessMarkupBook(), "careless.epub");
}

}  // namespace
}  // namespace pagewick
