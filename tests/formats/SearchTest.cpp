#include <gtest/gtest.h>

#include <algorithm>

#include "engine/Search.h"
#include "support/BookFixture.h"
#include "support/ScriptedHost.h"
#include "util/Cp1252.h"

namespace pagewick::test {
namespace {

std::vector<BookHit> AllHits(CBookEngine& doc, std::string_view pattern, MatchOptions o = {}) {
    BookSearch search(doc, pattern, o);
    std::vector<BookHit> hits;
    search.All([&](const BookHit& h) {
        hits.push_back(h);
        return true;
    });
    return hits;
}

size_t Count(CBookEngine& doc, std::string_view pattern, MatchOptions o = {}) {
    return AllHits(doc, pattern, o).size();
}

TEST(SearchTest, FindsTheTextAsThePageShowsIt) {
    TestBook book(
        "<html><head><title>hidden title</title><style>p { hidden: 1 }</style></head>"
        "<body><script>if (a < b) hidden();</script><!-- hidden <b>comment</b> -->"
        "<curfile>hidden.htm</curfile>"
        "<p>A wo<b>rd</b> split by a tag, two\nlines, caf&eacute; and hy&shy;phen.</p>"
        "<p>end</p><p>start <a href=\"x.htm\">linked</a> AT&T &amp;c</p></body></html>",
        "b.htm", 400, 400);
    EXPECT_EQ(Count(book.doc, "hidden"), 0u);  // head, style, script, comment, file name
    EXPECT_EQ(Count(book.doc, "comment"), 0u);
    EXPECT_EQ(Count(book.doc, "word"), 1u);
    EXPECT_EQ(Count(book.doc, "two lines"), 1u);  // a line end is a space
    EXPECT_EQ(Count(book.doc, "café"), 1u);       // the reference decoded
    EXPECT_EQ(Count(book.doc, "hyphen"), 1u);     // the soft hyphen never breaks a match
    EXPECT_EQ(Count(book.doc, "endstart"), 0u);   // paragraphs are apart
    EXPECT_EQ(Count(book.doc, "end start"), 1u);
    EXPECT_EQ(Count(book.doc, "LINK"), 1u);  // the word "linked", never the link's marker
    EXPECT_EQ(Count(book.doc, "AT&T &c"), 1u);

    // The hit's offsets run from its first character to after its last, as the file has them.
    std::vector<BookHit> cafe = AllHits(book.doc, "café");
    ASSERT_EQ(cafe.size(), 1u);
    std::string text;
    for (uint32_t i = 0; i < book.doc.CharCount(); ++i)
        text += char(book.doc.GetChar(int32_t(i)));
    EXPECT_EQ(text.substr(size_t(cafe[0].first), size_t(cafe[0].end - cafe[0].first)),
              "caf&eacute;");
    // Its line of context: the words around it as shown, the next paragraph's too.
    EXPECT_EQ(Utf8(cafe[0].context), "split by a tag, two lines, café and hyphen. end start");
}

TEST(SearchTest, FoldsCaseAndAccentsAsAskedInEveryWidthOfText) {
    // 8-bit text in the code page, and the same words as UTF-16.
    const std::u16string words = u"Café CAFÉ cafe Cafeteria ΣΟΦΊΑ σοφία МОСКВА москва";
    std::string cp1252;
    for (char16_t c : u"Café CAFÉ cafe Cafeteria")
        if (c) cp1252 += char(UnicodeToCp1252(c));
    TestBook narrow(cp1252, "n.txt", 400, 400);
    TestBook wide(Utf16Bytes(words), "w.txt", 400, 400);
    for (TestBook* book : {&narrow, &wide}) {
        CBookEngine& doc = book->doc;
        EXPECT_EQ(Count(doc, "café"), 2u);
        EXPECT_EQ(Count(doc, "Café", {.matchCase = true}), 1u);
        EXPECT_EQ(Count(doc, "cafe", {.ignoreAccents = true}), 4u);
        EXPECT_EQ(Count(doc, "cafe", {.wholeWords = true, .ignoreAccents = true}), 3u);
        EXPECT_EQ(Count(doc, "caf", {.wholeWords = true}), 0u);
    }
    EXPECT_EQ(Count(wide.doc, "σοφία"), 2u);
    EXPECT_EQ(Count(wide.doc, "σοφια"), 0u);
    EXPECT_EQ(Count(wide.doc, "σοφια", {.ignoreAccents = true}), 2u);
    EXPECT_EQ(Count(wide.doc, "Москва"), 2u);
}

TEST(SearchTest, HitsAcrossWindowsGetThePagesTheTableGives) {
    // Text windows hold 4,096 characters: "needle" straddles both window boundaries of the
    // first pair and the one after, and a line end falls inside one of them.
    std::string text;
    const std::vector<size_t> at = {100, 4093, 8189, 12286, 20000};
    for (size_t i = 0; i < 24000; ++i)
        text += i % 50 == 49 ? '\n' : "abc de "[i % 7];
    for (size_t a : at)
        text.replace(a, 6, a == 12286 ? "nee\ndl" : "needle");
    TestBook book(text, "long.txt", 200, 200);
    MatchOptions o;
    std::vector<BookHit> hits = AllHits(book.doc, "needle", o);
    std::vector<BookHit> spaced = AllHits(book.doc, "nee dl", o);
    ASSERT_EQ(hits.size(), 4u);
    ASSERT_EQ(spaced.size(), 1u);
    EXPECT_EQ(spaced[0].first, 12286);
    EXPECT_EQ(hits[1].first, 4093);
    EXPECT_EQ(hits[2].first, 8189);
    EXPECT_EQ(hits[3].end, 20006);
    const size_t layouts = book.doc.LayoutCount;
    for (const BookHit& h : hits) {
        const auto& starts = book.doc.PageStarts;
        ASSERT_LT(size_t(h.page) + 1, starts.size());
        EXPECT_LE(starts[size_t(h.page)], h.first);
        EXPECT_GT(starts[size_t(h.page) + 1], h.first);
    }

    // The table made, searching again lays out no page and reads each character once.
    BookSearch again(book.doc, std::string_view("needle"));
    size_t found = 0;
    again.All([&](const BookHit&) { return ++found > 0; });
    EXPECT_EQ(found, 4u);
    EXPECT_EQ(book.doc.LayoutCount, layouts);
    EXPECT_LE(again.CharactersRead(), book.doc.CharCount());

    // Next from the middle of a hit finds the next one; Previous the one before an offset;
    // the limits keep both inside their stretch.
    BookSearch step(book.doc, std::string_view("needle"));
    EXPECT_EQ(step.Next(4094)->first, 8189);
    EXPECT_EQ(step.Next(0, 100).has_value(), false);
    EXPECT_EQ(step.Previous(20000)->first, 8189);
    EXPECT_EQ(step.Previous(4093)->first, 100);
    EXPECT_EQ(step.Previous(100).has_value(), false);
    EXPECT_EQ(step.Previous(int32_t(book.doc.CharCount()), 8190)->first, 20000);
    EXPECT_EQ(step.Next(20001).has_value(), false);
}

TEST(SearchTest, TheHitIsDrawnOnTheBandOfItsLines) {
    // 10 pixels a character, 12 characters a line: "beta gamma" runs over two lines.
    TestBook book("alpha beta gamma delta omega", "h.txt", 120, 200);
    BookSearch search(book.doc, std::string_view("beta gamma"));
    std::optional<BookHit> hit = search.Next(0);
    ASSERT_TRUE(hit);
    book.doc.HighlightFirst = hit->first;
    book.doc.HighlightEnd = hit->end;
    ASSERT_EQ(book.Lines(0), (std::vector<std::string>{"alpha beta ", "gamma delta ", "omega"}));
    const std::string grey = std::to_string(RGBColour(192, 192, 192));
    std::vector<std::string> bands;
    for (const std::string& c : book.dc.calls)
        if (c.rfind("fill ", 0) == 0 && c.substr(c.rfind(' ') + 1) == grey)
            bands.push_back(c.substr(5, c.rfind(' ') - 5));
    // Behind the first two lines, across the text area, and drawn before their text.
    const int h = book.doc.LineHeight;
    const int y2 = book.dc.texts[1].y;
    EXPECT_EQ(bands, (std::vector<std::string>{
                         "0,0,120," + std::to_string(h),
                         "0," + std::to_string(y2) + ",120," + std::to_string(y2 + h)}));
    EXPECT_EQ(book.dc.texts[0].y, 0);
}

// Serves a text whose reads fail from a byte position on, as a book damaged halfway.
class DamagedReader : public WindowReader {
public:
    DamagedReader(std::string text, uint32_t damagedFrom)
        : text_(std::move(text)), damagedFrom_(damagedFrom) {}
    OpenResult Open(CBookEngine& doc) override {
        doc.TextLength = uint32_t(text_.size());
        return OpenResult::Opened;
    }
    bool ReadWindow(CBookEngine& doc, uint32_t position) override {
        if (position >= damagedFrom_) return false;
        const size_t size = size_t(doc.WindowSize);
        for (size_t i = 0; i < 2 * size + 1; ++i) {
            const size_t at = position + i;
            uint8_t byte = at < text_.size() ? uint8_t(text_[at]) : 0;
            (i < size ? doc.WindowA[i] : doc.WindowB[i - size]) = byte;
        }
        return true;
    }

private:
    std::string text_;
    uint32_t damagedFrom_;
};

TEST(SearchTest, ADamagedBookGivesTheHitsBeforeTheDamageThenItsMessage) {
    std::string text;
    for (int i = 0; text.size() < 40000; ++i)
        text += "word" + std::to_string(i) + " filler text here ";
    ScriptedHost host;
    CBookEngine doc;
    RecordingSurface dc;
    doc.HostServices = &host;
    doc.RightEdge = 200;
    doc.PageHeight = 200;
    ASSERT_TRUE(doc.PrepareSource(std::make_unique<DamagedReader>(text, 16384)));
    doc.GetChar(0);
    doc.BuildWidthTable(&dc);
    BookSearch search(doc, std::string_view("filler"));
    std::vector<BookHit> hits;
    search.All([&](const BookHit& h) {
        hits.push_back(h);
        return true;
    });
    EXPECT_TRUE(search.Failed());
    ASSERT_FALSE(hits.empty());
    EXPECT_LT(hits.back().first, 16384);
    EXPECT_GT(hits.back().first, 16384 - 100);
    EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"Cannot open ebook file."});
    // The failed book answers further searches at once, saying nothing more.
    EXPECT_FALSE(BookSearch(doc, std::string_view("filler")).Next(0));
    EXPECT_EQ(host.Messages.size(), 1u);
}

TEST(SearchTest, PatternsThatCannotBeSoughtAreRefusedAndLongOnesEndQuickly) {
    TestBook book("some text to search in", "p.txt");
    EXPECT_EQ(BookSearch(book.doc, std::string_view("")).Status(), PatternStatus::Empty);
    EXPECT_EQ(BookSearch(book.doc, std::string_view(" \u00AD ")).Status(), PatternStatus::Empty);
    EXPECT_FALSE(BookSearch(book.doc, std::string_view("")).Next(0));
    // Ten thousand characters: found where the text holds them, and nothing read past the end.
    std::string many(10000, 'a');
    TestBook big("x " + many + " y", "big.txt", 400, 400);
    BookSearch search(big.doc, std::string_view(many));
    ASSERT_TRUE(search.Ready());
    std::optional<BookHit> hit = search.Next(0);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->first, 2);
    EXPECT_EQ(hit->end, 10002);
    EXPECT_FALSE(search.Next(3));
    EXPECT_FALSE(BookSearch(book.doc, std::string_view(many)).Previous(22));
}

}  // namespace
}  // namespace pagewick::test
