// Highlights: the set, the notes file beside the pagination file, the bands drawn behind exactly
// their characters, points turned into offsets, and the text of a range, over books of every
// kind.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "engine/HighlightExport.h"
#include "engine/PaginationFile.h"
#include "library/PlainText.h"
#include "pawk/PawkWriter.h"
#include "support/BookFixture.h"
#include "support/BookText.h"
#include "support/ScriptedHost.h"

namespace pagewick::test {
namespace {

namespace fs = std::filesystem;

Highlight Make(int32_t start, int32_t end, HighlightColour colour = HighlightColour::Yellow,
               std::string note = "", std::string created = "2026-12-09T15:40:00Z") {
    Highlight h;
    h.start = start;
    h.end = end;
    h.colour = colour;
    h.note = std::move(note);
    h.created = std::move(created);
    return h;
}

// The rectangles filled in a colour, as "left,top,right,bottom".
std::vector<std::string> Fills(const RecordingSurface& dc, Colour colour) {
    std::vector<std::string> out;
    const std::string suffix = " " + std::to_string(colour);
    for (const std::string& c : dc.calls)
        if (c.rfind("fill ", 0) == 0 && c.size() > suffix.size() &&
            c.compare(c.size() - suffix.size(), suffix.size(), suffix) == 0)
            out.push_back(c.substr(5, c.size() - 5 - suffix.size()));
    return out;
}

std::string BookText(CBookEngine& doc) {
    std::string text;
    WholeBookText(doc, text);
    return text;
}

TEST(HighlightsTest, TheSetKeepsTextOrderAndFindsEveryHighlightAPageTouches) {
    HighlightSet set;
    EXPECT_EQ(set.Add(Make(50, 60)), 0u);
    EXPECT_EQ(set.Add(Make(10, 20)), 0u);
    EXPECT_EQ(set.Add(Make(10, 15)), 0u);  // same start: the shorter first
    // The same range is one highlight: colour and note replaced, the time of making kept.
    EXPECT_EQ(set.Add(Make(10, 20, HighlightColour::Pink, "n", "2030-01-01T00:00:00Z")), 1u);
    ASSERT_EQ(set.All().size(), 3u);
    EXPECT_EQ(set.All()[1].colour, HighlightColour::Pink);
    EXPECT_EQ(set.All()[1].note, "n");
    EXPECT_EQ(set.All()[1].created, "2026-12-09T15:40:00Z");
    EXPECT_EQ(set.At(12)->end, 15);  // the first in text order holding it
    EXPECT_EQ(set.At(17)->end, 20);
    EXPECT_EQ(set.At(30), nullptr);
    EXPECT_TRUE(set.Remove(10, 15));
    EXPECT_FALSE(set.Remove(10, 15));
    EXPECT_EQ(set.Find(50, 60)->start, 50);
    EXPECT_EQ(set.Find(50, 61), nullptr);

    // Nested and overlapping ranges (one over nearly everything): Touching never misses one,
    // whether the set was built one by one or at once.
    std::mt19937 random(7);
    std::vector<Highlight> many;
    many.push_back(Make(3, 9000));
    for (int i = 0; i < 2000; ++i) {
        const int32_t start = int32_t(random() % 10000);
        many.push_back(Make(start, start + 1 + int32_t(random() % (i % 50 == 0 ? 3000 : 40))));
    }
    HighlightSet byOne, atOnce;
    for (const Highlight& h : many)
        byOne.Add(h);
    atOnce.Assign(many);
    ASSERT_EQ(byOne.All(), atOnce.All());
    for (int probe = 0; probe < 300; ++probe) {
        const int32_t from = int32_t(random() % 11000), to = from + 1 + int32_t(random() % 300);
        auto [first, last] = byOne.Touching(from, to);
        for (size_t i = 0; i < byOne.All().size(); ++i) {
            const Highlight& h = byOne.All()[i];
            if (h.start < to && h.end > from) {
                ASSERT_TRUE(i >= first && i < last) << from << " " << to << " " << i;
            }
        }
    }
    EXPECT_EQ(ColourFromName("green"), HighlightColour::Green);
    EXPECT_FALSE(ColourFromName("Green"));
    EXPECT_NE(ColourValue(HighlightColour::Blue, false), ColourValue(HighlightColour::Blue, true));
}

TEST(HighlightsTest, BandsLieBehindExactlyTheirCharactersAndPointsFindThem) {
    // 10 pixels a character, 12 characters a line: "beta gamma" (6 to 16) runs over two lines.
    TestBook book("alpha beta gamma delta omega", "h.txt", 120, 200);
    CBookEngine& doc = book.doc;
    doc.Highlights.Add(Make(6, 16, HighlightColour::Green));
    doc.Highlights.Add(Make(23, 25, HighlightColour::Pink));  // "om"
    doc.SelectionFirst = 0;
    doc.SelectionEnd = 2;
    ASSERT_EQ(book.Lines(0), (std::vector<std::string>{"alpha beta ", "gamma delta ", "omega"}));
    const int h = doc.LineHeight, y2 = book.dc.texts[1].y, y3 = book.dc.texts[2].y;
    auto rect = [](int l, int t, int r, int b) {
        return std::to_string(l) + "," + std::to_string(t) + "," + std::to_string(r) + "," +
               std::to_string(b);
    };
    EXPECT_EQ(Fills(book.dc, ColourValue(HighlightColour::Green, false)),
              (std::vector<std::string>{rect(60, 0, 110, h), rect(0, y2, 50, y2 + h)}));
    EXPECT_EQ(Fills(book.dc, ColourValue(HighlightColour::Pink, false)),
              (std::vector<std::string>{rect(0, y3, 20, y3 + h)}));
    EXPECT_EQ(Fills(book.dc, SelectionColour(false)),
              (std::vector<std::string>{rect(0, 0, 20, h)}));
    // Bands come before the text they lie behind.
    const auto firstText =
        std::find_if(book.dc.calls.begin(), book.dc.calls.end(),
                     [](const std::string& c) { return c.rfind("text", 0) == 0; });
    EXPECT_EQ(std::count_if(firstText, book.dc.calls.end(),
                            [](const std::string& c) { return c.rfind("fill 0,0,", 0) == 0; }),
              0);

    // Points: the character under them, the nearest of a line's end, none in the margins.
    EXPECT_EQ(doc.OffsetAtPoint({65, 3}), 6);
    EXPECT_EQ(doc.OffsetAtPoint({5, y2 + 1}), 11);
    EXPECT_EQ(doc.OffsetAtPoint({119, y3 + 1}), 27);  // past "omega": its last character
    EXPECT_EQ(doc.OffsetAtPoint({130, 3}), -1);
    EXPECT_EQ(doc.OffsetAtPoint({5, y3 + h + 5}), -1);
    EXPECT_EQ(doc.WordAt(8), (std::pair<int32_t, int32_t>{6, 10}));
    EXPECT_EQ(doc.WordAt(10), (std::pair<int32_t, int32_t>{10, 11}));  // the space alone
    EXPECT_EQ(doc.WordAt(27), (std::pair<int32_t, int32_t>{23, 28}));

    // Night: darker bands; none at all when highlights are not drawn.
    doc.NightScheme = 1;
    book.dc.calls.clear();
    book.Lines(0);
    EXPECT_EQ(Fills(book.dc, ColourValue(HighlightColour::Green, true)).size(), 2u);
    doc.DrawHighlights = false;
    doc.SelectionFirst = doc.SelectionEnd = -1;
    book.dc.calls.clear();
    book.Lines(0);
    EXPECT_TRUE(Fills(book.dc, ColourValue(HighlightColour::Green, true)).empty());
}

TEST(HighlightsTest, JustifiedAndStyledLinesBandWhereTheirCharactersAreDrawn) {
    // Bold words draw character by character, spread over the line by justification: each band
    // begins where its first character is drawn and ends where the next one begins.
    TestBook book("<p>one <b>two three</b> four five six seven eight nine ten</p>", "j.htm", 200,
                  200);
    CBookEngine& doc = book.doc;
    doc.Justified = 1;
    book.Lines(0);
    std::vector<RecordingSurface::TextCall> texts = book.dc.texts;
    // The offsets of "three" in the file.
    const std::string file = "<p>one <b>two three</b>";
    const int32_t three = int32_t(file.find("three"));
    doc.Highlights.Add(Make(three, three + 5));
    book.dc.calls.clear();
    book.Lines(0);
    const auto bands = Fills(book.dc, ColourValue(HighlightColour::Yellow, false));
    ASSERT_EQ(bands.size(), 1u);
    int left = 0, top = 0, right = 0, bottom = 0;
    ASSERT_EQ(std::sscanf(bands[0].c_str(), "%d,%d,%d,%d", &left, &top, &right, &bottom), 4);
    int tX = -1, afterE = -1;
    for (size_t i = 0; i + 1 < texts.size(); ++i) {
        if (texts[i].text == u"t" && texts[i + 1].text == u"h") tX = texts[i].x;
        if (tX >= 0 && texts[i].text == u"e" && texts[i + 1].text == u"e") afterE = texts[i + 2].x;
    }
    // The x after the last "e" of "three" is where the next character (a space) is drawn.
    ASSERT_GE(tX, 0);
    EXPECT_EQ(left, tX);
    EXPECT_GT(right, left + 5 * 10 - 1);
    if (afterE >= 0) {
        EXPECT_LE(right, afterE);
    }
    EXPECT_EQ(doc.OffsetAtPoint({left + 1, top + 1}), three);
}

// A book of each kind in a folder of its own, opened as the programs open it: with its
// pagination file and its notes file beside it.
struct KeptBook {
    TempDir dir;
    ScriptedHost host;
    CBookEngine doc;
    RecordingSurface dc;
    fs::path path;
    int32_t kind = kSourceText;
    explicit KeptBook(fs::path book, int32_t sourceKind) : kind(sourceKind) {
        path = dir / book.filename();
        fs::copy_file(book, path);
        doc.HostServices = &host;
        doc.RightEdge = 300;
        doc.PageHeight = 300;
        doc.ShowPositionBar = 0;
        Open();
    }
    void Open() {
        doc.BookPath = path.string();
        doc.PaginationPath = PaginationFilePath(doc.BookPath);
        doc.SourceKind = kind;
        ASSERT_TRUE(doc.OpenBook());
        doc.GetChar(0);
        doc.BuildWidthTable(&dc);
    }
    void Reopen() {
        doc.CloseBook();
        Open();
    }
    // Draws a page and returns the bands in the colour.
    std::vector<std::string> Bands(int32_t page, HighlightColour colour) {
        doc.CurrentPage = page;
        dc.calls.clear();
        doc.LayoutPage(&dc, false);
        return Fills(dc, ColourValue(colour, false));
    }
};

fs::path MakePawk(const TempDir& dir) {
    PawkWriter writer;
    writer.title = "Two Files";
    std::string one = "<html><body><h1>One</h1>", two = "<html><body><h1>Two</h1>";
    for (int i = 0; i < 60; ++i) {
        one += "<p>The first file, paragraph " + std::to_string(i) + " &amp; more words.</p>";
        two += "<p>The second file, paragraph " + std::to_string(i) + ", caf&eacute;.</p>";
    }
    writer.files.push_back({"one.htm", {}, std::vector<uint8_t>(one.begin(), one.end())});
    writer.files.push_back({"two.htm", {}, std::vector<uint8_t>(two.begin(), two.end())});
    writer.contents.push_back({0, "One", "one.htm#"});
    writer.contents.push_back({0, "Two", "two.htm#"});
    const fs::path path = dir / "two.pawk";
    EXPECT_TRUE(writer.Write(path));
    return path;
}

TEST(HighlightsTest, RangesAcrossPagesAndFilesSurviveAFontChangeAndAReopen) {
    TempDir made;
    const fs::path data = FixturesDir();
    const std::vector<std::pair<fs::path, int32_t>> books = {
        {data / "lit" / "gpl3-chapters.lit", kSourceLit},
        {data / "epub" / "gpl3-chapters.epub", kSourceEpub},
        {MakePawk(made), kSourcePawk},
    };
    for (const auto& [file, kind] : books) {
        SCOPED_TRACE(file.filename().string());
        KeptBook book(file, kind);
        CBookEngine& doc = book.doc;
        const std::string whole = BookText(doc);
        // From the last line of page 2 to a word three quarters into the book: across pages
        // and files.
        auto drawnAt = [&](int32_t page, bool lastLine) {
            book.Bands(page, HighlightColour::Blue);
            const auto& lines = doc.DrawnLines;
            if (lines.empty()) return int32_t(-1);
            const auto& line = lastLine ? lines.back() : lines[lines.size() / 2];
            return line.offsets[line.offsets.size() / 2];
        };
        doc.PaginateTo(3);
        ASSERT_GT(doc.PageStarts.size(), 3u);
        const int32_t start = drawnAt(1, true);
        const int32_t end = drawnAt(doc.PageOfOffset(int32_t(doc.CharCount() / 4 * 3)), false) + 1;
        ASSERT_GT(start, 0);
        ASSERT_GT(end, start);
        doc.Highlights.Add(Make(start, end, HighlightColour::Blue, "across\n\"quoted\" ✓"));
        doc.Highlights.Add(Make(end + 10, end + 30, HighlightColour::Pink));
        ASSERT_TRUE(doc.SaveHighlights());
        EXPECT_TRUE(fs::exists(doc.PaginationPath + ".notes"));

        // The range's text as shown is that stretch of the book's text.
        const std::string quoted = doc.ShownText(start, end);
        EXPECT_GT(quoted.size(), 200u);
        EXPECT_NE(whole.find(quoted), std::string::npos) << quoted.substr(0, 200);
        // A file of the book begins inside: its start is known, or its name is marked there.
        std::string raw;
        for (int32_t at = start; at < end; ++at)
            raw += char(doc.GetChar(at) & 0x7F);
        EXPECT_TRUE(raw.find("<curfile>") != std::string::npos ||
                    std::any_of(doc.Contents.begin(), doc.Contents.end(), [&](const auto& entry) {
                        const int32_t at =
                            doc.FileStartOffset(entry.target.substr(0, entry.target.find('#')));
                        return at > start && at < end;
                    }));

        // Drawn on its first page, its last and every page between.
        const int32_t first = doc.PageOfOffset(start), last = doc.PageOfOffset(end - 1);
        EXPECT_EQ(first, 1);
        EXPECT_GT(last, first + 1);
        for (int32_t page : {first, first + 1, last})
            EXPECT_FALSE(book.Bands(page, HighlightColour::Blue).empty()) << page;
        EXPECT_TRUE(book.Bands(first - 1, HighlightColour::Blue).empty());

        // Another font: the same offsets on the new pages.
        doc.RightEdge = 200;
        book.dc.defaultWidth = 7;
        doc.ResetPagination();
        doc.InvalidateWidths();
        doc.BuildWidthTable(&book.dc);
        const int32_t moved = doc.PageOfOffset(start);
        EXPECT_FALSE(book.Bands(moved, HighlightColour::Blue).empty());
        EXPECT_FALSE(book.Bands(doc.PageOfOffset(end - 1), HighlightColour::Blue).empty());

        // Closed and opened again: the same highlights, note and all, and no message.
        const std::vector<Highlight> before = doc.Highlights.All();
        book.Reopen();
        EXPECT_EQ(doc.Highlights.All(), before);
        EXPECT_TRUE(book.host.MessageTexts().empty());
    }
}

TEST(HighlightsTest, ADamagedFileIsSetAsideAndRangesPastTheEndAreDropped) {
    PlacedBook book("A short book of a few words, nothing more.");
    ScriptedHost host;
    book.doc.HostServices = &host;
    const std::string notes = book.doc.PaginationPath + ".notes";
    EXPECT_EQ(book.doc.NotesPath(), notes);
    const std::vector<std::string> damaged = {
        "not json",
        "{\"start\": 1, \"end\": 2}",              // not an array
        "[{\"start\": 1.5, \"end\": 2}]",          // no offset
        "[{\"start\": 1, \"end\": 99999999999}]",  // past 32 bits
        "[{\"start\": 1, \"end\": 2, \"colour\": \"red\"}]",
        "[{\"start\": 1, \"end\": 2, \"note\": \"\xC3\x28\"}]",  // not UTF-8
        "[{\"start\": 1, \"end\": 2, \"note\": \"\\uD800\"}]",   // half a pair
        std::string(100, '[') + std::string(100, ']'),           // nested too deeply
    };
    for (size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(damaged[i]);
        WriteFileText(notes, damaged[i]);
        host.Messages.clear();
        book.Reopen();
        EXPECT_TRUE(book.doc.Highlights.Empty());
        ASSERT_EQ(host.MessageTexts().size(), 1u);
        // Set aside under a new name each time, never over the one before.
        const std::string aside =
            notes + (i == 0 ? ".damaged" : ".damaged-" + std::to_string(i + 1));
        EXPECT_NE(host.MessageTexts()[0].find(aside), std::string::npos) << host.MessageTexts()[0];
        EXPECT_EQ(ReadFileText(aside), damaged[i]);
        EXPECT_FALSE(fs::exists(notes));
    }

    // Ranges the book no longer has are left out, with one message for all; a note of 1 MB,
    // unknown members and missing ones are read as they are.
    const std::string big(1 << 20, 'n');
    WriteFileText(notes, "[{\"start\": 2, \"end\": 7, \"note\": \"" + big +
                             "\", \"page\": 1, \"text\": \"x\"},"
                             "{\"start\": 10, \"end\": 5000}, {\"start\": -3, \"end\": 4},"
                             "{\"start\": 9, \"end\": 9}, {\"start\": 12, \"end\": 16}]");
    host.Messages.clear();
    book.Reopen();
    ASSERT_EQ(book.doc.Highlights.All().size(), 2u);
    EXPECT_EQ(book.doc.Highlights.All()[0].note, big);
    EXPECT_EQ(book.doc.Highlights.All()[1].colour, HighlightColour::Yellow);
    EXPECT_EQ(book.doc.Highlights.All()[1].note, "");
    ASSERT_EQ(host.MessageTexts().size(), 1u);
    EXPECT_NE(host.MessageTexts()[0].find("3 highlights"), std::string::npos);
    // Written back as read: the file round-trips.
    ASSERT_TRUE(book.doc.SaveHighlights());
    const std::string saved = ReadFileText(notes);
    book.Reopen();
    EXPECT_TRUE(book.doc.SaveHighlights());
    EXPECT_EQ(ReadFileText(notes), saved);
    // No highlights left: no file.
    book.doc.Highlights.Clear();
    EXPECT_TRUE(book.doc.SaveHighlights());
    EXPECT_FALSE(fs::exists(notes));
}

TEST(HighlightsTest, AWriteThatFailsLeavesTheOldFileAndSaysSo) {
    TempDir dir;
    ScriptedHost host;
    // A name so long that the temporary file beside it cannot be made: the write fails after
    // the old file is there.
    const std::string name = std::string(255 - 10, 'b').substr(0, 240) + ".txt";
    for (const bool directory : {false, true}) {
        SCOPED_TRACE(directory);
        TestBook book("Some words to mark.", directory ? "short.txt" : name, 200, 200);
        book.doc.HostServices = &host;
        book.doc.PaginationPath = PaginationFilePath(book.doc.BookPath);
        const std::string notes = book.doc.NotesPath();
        if (directory) {
            fs::create_directory(notes);
            WriteFileText(fs::path(notes) / "inside", "kept");
        } else {
            WriteFileText(notes, "[]\n");
        }
        book.doc.Highlights.Add(Make(0, 4));
        host.Messages.clear();
        EXPECT_FALSE(book.doc.SaveHighlights());
        ASSERT_EQ(host.MessageTexts().size(), 1u);
        EXPECT_EQ(host.MessageTexts()[0], "Cannot write the highlights file \"" + notes + "\".");
        if (directory)
            EXPECT_EQ(ReadFileText(fs::path(notes) / "inside"), "kept");
        else
            EXPECT_EQ(ReadFileText(notes), "[]\n");
        book.doc.PaginationPath.clear();
    }
}

TEST(HighlightsTest, TheExportQuotesTheTextWithPagesAndNotes) {
    TestBook book(
        "<html><head><title>The Lantern</title></head><body><p>First "
        "caf&eacute; line.</p><p>Second paragraph here.</p></body></html>",
        "e.htm", 300, 300);
    CBookEngine& doc = book.doc;
    const std::string file = "<html><head><title>The Lantern</title></head><body><p>First ";
    const int32_t cafe = int32_t(file.size());
    const int32_t second =
        int32_t(std::string("<html><head><title>The Lantern</title></head><body><p>"
                            "First caf&eacute; line.</p><p>")
                    .size());
    doc.Highlights.Add(Make(cafe, second + 6, HighlightColour::Green, "a note\non two lines"));
    doc.Highlights.Add(Make(0, cafe + 4, HighlightColour::Yellow, "", ""));
    EXPECT_EQ(doc.ShownText(cafe, second + 6), "café line.\n\nSecond");
    EXPECT_EQ(HighlightsMarkdown(doc),
              "# The Lantern\n"
              "\n## Page 1 (yellow)\n\n> First caf\n"
              "\n## Page 1 (green, 2026-12-09 15:40)\n\n> café line.\n>\n> Second\n\n"
              "a note\non two lines\n");
    const std::string json = HighlightsJson(doc, true);
    EXPECT_NE(json.find("\"page\": 1, \"text\": \"café line.\\n\\nSecond\""), std::string::npos)
        << json;
    // The export with pages and texts reads back as the same highlights.
    std::string error;
    std::optional<ParsedHighlights> back = ParseHighlights(json, &error);
    ASSERT_TRUE(back) << error;
    HighlightSet again;
    again.Assign(back->items);
    EXPECT_EQ(again.All(), doc.Highlights.All());
    EXPECT_EQ(HighlightsJson(doc, false), HighlightsToJson(again.All()));
}

}  // namespace
}  // namespace pagewick::test
