// Print jobs over a recording printer: a PAWK book with pictures and chapters printed by page
// range and by chapters, the screen's state after every kind of ending, and the faults a job
// must survive.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "engine/PrintJob.h"
#include "pawk/PawkWriter.h"
#include "support/FakePictures.h"
#include "support/RecordingSurface.h"
#include "support/ScriptedHost.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// A printer whose characters are three times the screen's (unless set otherwise); it keeps the
// text lines and pictures of every finished page.
struct RecordingPrinter : PrintOutput {
    RecordingSurface dc;
    PrinterSheet sheet{288, 900, 1200};
    std::vector<std::string> pages;  // each page's lines, joined by " / "
    std::vector<std::vector<std::string>> pictures;
    bool refuseStart = false;
    int refusePage = 0;  // EndPage fails for this page (from 1)
    bool open = false, ended = false, aborted = false;

    RecordingPrinter() { dc.defaultWidth = 30, dc.height = 48; }
    PrinterSheet Sheet() const override { return sheet; }
    bool StartDocument(const std::string&) override {
        open = !refuseStart;
        return open;
    }
    DrawingSurface& Surface() override { return dc; }
    bool StartPage() override {
        EXPECT_TRUE(open);
        dc.texts.clear();
        dc.calls.clear();
        return true;
    }
    bool EndPage() override {
        std::map<int, std::u16string> rows;
        for (const auto& call : dc.texts)
            rows[call.y] += call.text;
        std::string page;
        for (const auto& [y, text] : rows)
            page += (page.empty() ? "" : " / ") + Utf8(text);
        pages.push_back(page);
        pictures.emplace_back();
        for (const std::string& call : dc.calls)
            if (call.rfind("picture ", 0) == 0)
                pictures.back().push_back(call.substr(call.rfind(' ') + 1));
        return int(pages.size()) != refusePage;
    }
    bool EndDocument() override {
        open = false;
        ended = true;
        return true;
    }
    void AbortDocument() override {
        open = false;
        aborted = true;
    }
    std::string Error() const override { return refuseStart ? "The printer is off." : ""; }
};

// Contents: the cover, One, Two, a picture, A1 and A2 on one page, an anchor nowhere, a place
// back in chapter one, and the last chapter.
fs::path WriteBook(const fs::path& folder) {
    PawkWriter w;
    w.title = "Printed";
    std::string one = "<p>Chapter one.</p><p><img src=pic.png> under the picture.</p>";
    for (int i = 0; i < 150; ++i)
        one += "<p>One line " + std::to_string(i) + ".</p>";
    one += "<a name=\"back\"></a><p>Back here.</p>";
    std::string two = "<newpage><a name=\"two\"></a><p>Chapter two.</p>";
    for (int i = 0; i < 60; ++i)
        two += "<p>Two line " + std::to_string(i) + ".</p>";
    std::string three =
        "<newpage><a name=\"a1\"></a><p>Short part.</p><a name=\"a2\"></a><p>Shorter.</p>";
    std::string four = "<newpage><p>Chapter four.</p>";
    for (int i = 0; i < 30; ++i)
        four += "<p>Four line " + std::to_string(i) + ".</p>";
    four += "<p>The end.</p>";
    w.files.push_back({"cover.png", {}, Bytes(FakePng(120, 160))});
    w.files.push_back({"one.htm", {}, Bytes(one)});
    w.files.push_back({"two.htm", {}, Bytes(two)});
    w.files.push_back({"three.htm", {}, Bytes(three)});
    w.files.push_back({"four.htm", {}, Bytes(four)});
    w.files.push_back({"pic.png", {}, Bytes(FakePng(40, 30))});
    w.contents = {{0, "One", "one.htm#"},      {0, "Two", "two.htm#two"},
                  {0, "Figure", "pic.png"},    {0, "A1", "three.htm#a1"},
                  {0, "A2", "three.htm#a2"},   {0, "Ghost", "three.htm#nowhere"},
                  {0, "Back", "one.htm#back"}, {0, "Four", "four.htm#"}};
    fs::path path = folder / "printed.pawk";
    EXPECT_TRUE(w.Write(path));
    return path;
}

// The book on a screen page of 400 by 560 with 8-pixel borders, characters 10 pixels wide.
struct PrintBook {
    TempDir dir, temp;
    ScriptedHost host;
    FakePictureDecoder decoder;
    RecordingSurface screen;
    CBookEngine doc;
    RecordingPrinter printer;

    PrintBook() {
        host.Temp = temp.path().string();
        doc.HostServices = &host;
        doc.Pictures = &decoder;
        doc.BookPath = WriteBook(dir.path()).string();
        doc.PaginationPath = doc.BookPath + ".pwk";
        doc.SourceKind = kSourcePawk;
        doc.LeftEdge = doc.TopEdge = 8;
        doc.RightEdge = 392;
        doc.PageHeight = 560;
        doc.ShowPositionBar = 0;
        doc.ShowPageNumber = 0;
        EXPECT_TRUE(doc.PrepareSource());
        doc.GetChar(0);
        doc.BuildWidthTable(&screen);
    }
    ScreenLayout Screen() { return ScreenLayout{&screen, 8, 8}; }
    size_t Entry(const std::string& title) const {
        for (size_t i = 0; i < doc.Contents.size(); ++i)
            if (doc.Contents[i].title == title) return i;
        ADD_FAILURE() << "no entry " << title;
        return 0;
    }
    std::string Chapters(const std::string& first, const std::string& last) {
        printer = RecordingPrinter();
        PrintJob job(doc, printer, Screen());
        EXPECT_TRUE(job.PrintChapters(Entry(first), Entry(last))) << job.Message();
        EXPECT_EQ(job.PagesPrinted(), int(printer.pages.size()));
        std::string all;
        for (const std::string& page : printer.pages)
            all += page + " | ";
        return all;
    }
};

// What the screen shows and measures with, compared before and after a job.
struct ScreenState {
    std::vector<int32_t> starts;
    int32_t current, last, left, top, right, height, lineHeight;
    std::vector<int32_t> widths;
    std::array<FontSpec, 8> fonts;
    explicit ScreenState(const CBookEngine& d)
        : starts(d.PageStarts),
          current(d.CurrentPage),
          last(d.LastPage),
          left(d.LeftEdge),
          top(d.TopEdge),
          right(d.RightEdge),
          height(d.PageHeight),
          lineHeight(d.LineHeight),
          widths(d.Widths),
          fonts(d.ReadingFonts) {}
    bool operator==(const ScreenState&) const = default;
};

TEST(PrintJobTest, PageRangesPrintThoseAndOnlyThosePagesOncePerPageWithScaledPictures) {
    PrintBook b;
    b.doc.PaginateTo(12);
    b.doc.CurrentPage = 9;
    const ScreenState before(b.doc);
    fs::remove(b.doc.PaginationPath + "2");

    // The whole book: every line once, in order, the last page ending the book; each page
    // measured once and drawn once.
    const uint64_t layouts = b.doc.LayoutCount;
    {
        PrintJob job(b.doc, b.printer, b.Screen());
        ASSERT_TRUE(job.PrintPages(1, kPrintToEnd)) << job.Message();
        EXPECT_EQ(job.PagesPrinted(), int(b.printer.pages.size()));
    }
    const std::vector<std::string> all = b.printer.pages;
    ASSERT_GT(all.size(), 10u);
    EXPECT_LE(b.doc.LayoutCount - layouts, 2 * all.size() + 2);
    EXPECT_TRUE(b.printer.ended && !b.printer.aborted);
    std::string text;
    for (const std::string& page : all)
        text += page + " / ";
    size_t at = 0;
    for (int i = 0; i < 150; ++i) {
        size_t found = text.find("One line " + std::to_string(i) + ".", at);
        ASSERT_NE(found, std::string::npos) << i;
        at = found;
    }
    EXPECT_EQ(text.find("One line 7."), text.rfind("One line 7."));
    EXPECT_NE(all.back().find("The end."), std::string::npos);
    EXPECT_EQ(text.find("<<"), std::string::npos);  // no link or picture markers on paper
    // The 40 by 30 picture keeps its size beside the text: three times the screen's.
    ASSERT_EQ(b.printer.pictures[0].size(), 1u);
    const std::string rect = b.printer.pictures[0][0];
    int l, t, r, bottom;
    ASSERT_EQ(std::sscanf(rect.c_str(), "%d,%d,%d,%d", &l, &t, &r, &bottom), 4);
    EXPECT_EQ(r - l, 120);
    EXPECT_EQ(bottom - t, 90);
    EXPECT_EQ(l, 34 * 3 + 1);  // the minimum border, scaled (pictures start a pixel in)

    // Pages 3 to 5 are exactly those pages of the whole.
    b.printer = RecordingPrinter();
    {
        PrintJob job(b.doc, b.printer, b.Screen());
        ASSERT_TRUE(job.PrintPages(3, 5));
    }
    ASSERT_EQ(b.printer.pages.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(b.printer.pages[i], all[i + 2]);

    // A range running past the end stops at the last page; one beginning past it prints
    // nothing and says so.
    b.printer = RecordingPrinter();
    {
        PrintJob job(b.doc, b.printer, b.Screen());
        ASSERT_TRUE(job.PrintPages(int32_t(all.size()) - 1, int32_t(all.size()) + 40));
        EXPECT_EQ(b.printer.pages.size(), 2u);
    }
    b.printer = RecordingPrinter();
    {
        PrintJob job(b.doc, b.printer, b.Screen());
        EXPECT_FALSE(job.PrintPages(int32_t(all.size()) + 1, int32_t(all.size()) + 3));
        EXPECT_EQ(job.Message(), "Page " + std::to_string(all.size() + 1) +
                                     " is past the end of the book (" + std::to_string(all.size()) +
                                     " pages).");
        EXPECT_TRUE(b.printer.aborted);
        EXPECT_TRUE(b.printer.pages.empty());
    }

    // The screen is as it was: same page, same table, same widths and fonts; and no pagination
    // file was written while the table held printer pages.
    EXPECT_TRUE(ScreenState(b.doc) == before);
    EXPECT_FALSE(PrintMode);
    EXPECT_EQ(PictureScale, 1.0);
    EXPECT_FALSE(fs::exists(b.doc.PaginationPath + "2"));
}

TEST(PrintJobTest, ChapterRunsEndBeforeTheNextChapterOrAtTheBooksEnd) {
    PrintBook b;
    // One chapter, whose next entry is a picture: it ends where A1 begins.
    std::string two = b.Chapters("Two", "Two");
    EXPECT_EQ(two.find("Chapter two."), 0u) << two;
    EXPECT_NE(two.find("Two line 59."), std::string::npos);
    EXPECT_EQ(two.find("Short part."), std::string::npos);
    EXPECT_EQ(two.find("One line"), std::string::npos);
    // The second-to-last entry ends before the last one; the last runs to the end of the book.
    std::string back = b.Chapters("Back", "Back");
    EXPECT_EQ(back.find("Chapter four."), std::string::npos);
    std::string four = b.Chapters("Four", "Four");
    EXPECT_EQ(four.find("Chapter four."), 0u);
    EXPECT_NE(four.find("The end."), std::string::npos);
    // A1's successor begins on its own page: that page is printed, once.
    b.Chapters("A1", "A1");
    ASSERT_EQ(b.printer.pages.size(), 1u);
    EXPECT_NE(b.printer.pages[0].find("Short part."), std::string::npos);
    // One to Two: chapter one's first page up to chapter two's last.
    std::string run = b.Chapters("One", "Two");
    EXPECT_EQ(run.find("Chapter one."), 0u);
    EXPECT_NE(run.find("Two line 59."), std::string::npos);
    EXPECT_EQ(run.find("Short part."), std::string::npos);
}

TEST(PrintJobTest, FailuresAbortTheDocumentAndAlwaysGiveTheScreenBack) {
    PrintBook b;
    b.doc.PaginateTo(6);
    b.doc.CurrentPage = 4;
    b.doc.PendingOffset = 1234;  // the screen's own repagination is kept for the next paint
    const ScreenState before(b.doc);
    auto fails = [&](auto print, const std::string& message) {
        b.printer = RecordingPrinter();
        return print(b.printer, message);
    };
    auto chapters = [&](const std::string& first, const std::string& last) {
        return [&, first, last](RecordingPrinter& printer, const std::string& message) {
            PrintJob job(b.doc, printer, b.Screen());
            EXPECT_FALSE(job.PrintChapters(b.Entry(first), b.Entry(last)));
            EXPECT_EQ(job.Message(), message);
            EXPECT_FALSE(job.Printing());
        };
    };
    fails(chapters("Ghost", "Ghost"),
          "Error: Could not locate beginning of first chapter to print.");
    EXPECT_TRUE(b.printer.aborted);
    fails(chapters("A2", "A2"), "Error: Could not locate beginning of last chapter to print.");
    EXPECT_TRUE(b.printer.aborted && b.printer.pages.empty());
    // Two to Ghost ends before Back, which lies earlier in the text.
    fails(chapters("Two", "Ghost"),
          "Error: The chapters chosen do not follow each other in the book.");
    EXPECT_TRUE(b.printer.aborted);
    // Pictures are refused before anything starts.
    fails(chapters("Figure", "Four"), "Sorry, we currently do not support image-only chapters.");
    EXPECT_FALSE(b.printer.aborted || b.printer.ended);
    EXPECT_EQ(PrintJob::UnprintableEntry("song.mp3"),
              "Sorry, you cannot print a multi-media chapter.");

    // A page the printer refuses stops the job; a printer that cannot start prints nothing.
    b.printer = RecordingPrinter();
    b.printer.refusePage = 2;
    {
        PrintJob job(b.doc, b.printer, b.Screen());
        EXPECT_FALSE(job.PrintPages(1, 5));
        EXPECT_EQ(job.Message(), "The printer stopped at page 2.");
        EXPECT_EQ(b.printer.pages.size(), 2u);
        EXPECT_TRUE(b.printer.aborted && !b.printer.ended);
    }
    b.printer = RecordingPrinter();
    b.printer.refuseStart = true;
    {
        PrintJob job(b.doc, b.printer, b.Screen());
        EXPECT_FALSE(job.PrintPages(1, 5));
        EXPECT_EQ(job.Message(), "The printer is off.");
    }
    // A job abandoned after BeginPrinting still gives the screen back.
    b.printer = RecordingPrinter();
    {
        PrintJob job(b.doc, b.printer, b.Screen());
        ASSERT_TRUE(b.printer.StartDocument("x"));
        ASSERT_TRUE(job.BeginPrinting());
        EXPECT_TRUE(PrintMode);
        EXPECT_TRUE(job.PageHasText(3));
    }
    EXPECT_TRUE(ScreenState(b.doc) == before);
    EXPECT_EQ(b.doc.PendingOffset, 1234);
    EXPECT_FALSE(PrintMode);
    EXPECT_EQ(PictureScale, 1.0);
}

TEST(PrintJobTest, PictureScaleIsTheRealRatioOfCharacterWidthsAndPaperIsWhite) {
    // 15 against 10 is 1.5, not 1; 7 against 10 (a printer coarser than the screen) is 0.7,
    // not 0: the borders and pictures shrink instead of vanishing.
    for (auto [width, pictureWidth, border] : {std::tuple{15, 60, 51}, std::tuple{7, 28, 24}}) {
        PrintBook b;
        b.doc.NightScheme = 1;  // white on black on the screen; paper stays white
        b.printer.dc.defaultWidth = width;
        b.printer.sheet = PrinterSheet{72, 300 * width / 10, 400 * width / 10};
        PrintJob job(b.doc, b.printer, b.Screen());
        ASSERT_TRUE(job.PrintPages(1, 1)) << job.Message();
        ASSERT_EQ(b.printer.pictures[0].size(), 1u);
        int l, t, r, bottom;
        ASSERT_EQ(std::sscanf(b.printer.pictures[0][0].c_str(), "%d,%d,%d,%d", &l, &t, &r, &bottom),
                  4);
        EXPECT_EQ(r - l, pictureWidth);
        EXPECT_EQ(l, border + 1);
        ASSERT_FALSE(b.printer.dc.texts.empty());
        for (const auto& text : b.printer.dc.texts)
            EXPECT_EQ(text.colour, RGBColour(0, 0, 0));
        job.EndPrinting();
        EXPECT_EQ(b.doc.NightScheme, 1);
    }
    // Borders wider than the least keep their own width, scaled: 50 screen units, three times.
    PrintBook b;
    PrintJob job(b.doc, b.printer, ScreenLayout{&b.screen, 50, 40});
    ASSERT_TRUE(job.PrintPages(1, 1));
    ASSERT_EQ(b.printer.pictures[0].size(), 1u);
    EXPECT_EQ(b.printer.pictures[0][0].substr(0, 4), "151,");
}

}  // namespace
}  // namespace pagewick::test
