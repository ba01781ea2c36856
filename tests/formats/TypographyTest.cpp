// Hyphenation, soft hyphens, paragraph lines kept together at page ends and hard-wrapped text
// judged at open, over whole books laid out with the fixed 10-pixel characters.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "library/PlainText.h"
#include "support/BookFixture.h"
#include "support/BookText.h"
#include "util/Utf8.h"

namespace pagewick::test {
namespace {

struct Line {
    int page;
    std::string text;
};

// Every line of every page as the layout keeps it, the whole book measured.
std::vector<Line> AllLines(TestBook& book) {
    std::vector<Line> lines;
    book.doc.LineSink = [&](int32_t page, int32_t, const std::string& text) {
        lines.push_back({page, text});
    };
    book.doc.ResetPagination();
    book.doc.PaginateTo(0x7fffffff);
    book.doc.LineSink = nullptr;
    return lines;
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// The words of the text again from the lines: a line ending in a hyphen that no word of the
// source ends with was split, and its head joins the next line's first word.
struct Rejoined {
    std::vector<std::string> words;
    std::vector<std::pair<std::string, size_t>> splits;  // word, characters before the break
    int pageEndSplits = 0;
};

Rejoined Rejoin(const std::vector<Line>& lines, const std::set<std::string>& sourceWords) {
    Rejoined r;
    std::string head;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::vector<std::string> words = Words(lines[i].text);
        if (!head.empty() && !words.empty()) {
            r.splits.emplace_back(head + words.front(), head.size());
            words.front() = head + words.front();
            head.clear();
        }
        if (!words.empty() && words.back().size() > 1 && words.back().back() == '-' &&
            !sourceWords.count(words.back()) && lines[i].text.back() == '-') {
            head = words.back().substr(0, words.back().size() - 1);
            words.pop_back();
            if (i + 1 == lines.size() || lines[i + 1].page != lines[i].page) ++r.pageEndSplits;
        }
        r.words.insert(r.words.end(), words.begin(), words.end());
    }
    return r;
}

TEST(TypographyTest, EveryBreakInAWordIsADictionaryPointAndNoPageEndsInOne) {
    const std::string text = ReadFileText(FixturesDir() / "text" / "gutenberg-style.txt");
    const std::vector<std::string> source = Words(text);
    const std::set<std::string> sourceWords(source.begin(), source.end());
    Hyphenator judge;
    ASSERT_EQ(judge.SetLanguage("en-US"), DictionaryStatus::Ready);

    TestBook book(text, "book.txt", 200, 160);
    const int unhyphenated = book.PageCount();
    book.doc.Hyphenate = true;
    book.doc.HyphenationLanguage = "en-US";
    book.doc.SoftHyphens = true;
    // With paragraph lines kept together too, pages also end earlier than they would, after
    // lines that may have been split: those are laid out again whole.
    for (bool together : {false, true}) {
        book.doc.KeepLinesTogether = together;
        ASSERT_TRUE(book.Open());
        ASSERT_EQ(book.doc.HyphenationStatus(), DictionaryStatus::Ready);
        std::vector<Line> all = AllLines(book);
        Rejoined r = Rejoin(all, sourceWords);
        EXPECT_EQ(r.words, source) << "no text lost, doubled or changed";
        EXPECT_GT(r.splits.size(), 40u);
        EXPECT_EQ(r.pageEndSplits, 0);
        for (const auto& [word, at] : r.splits) {
            auto points = judge.Breaks(Utf8ToUtf16(word));
            EXPECT_NE(std::find(points.begin(), points.end(), at), points.end())
                << word << " split after " << at;
            EXPECT_GE(at, 2u) << word;
        }
        if (!together) {
            EXPECT_LT(book.PageCount(), unhyphenated);
        }
    }

    // The fragments the person asks for: none shorter than four letters after a break.
    book.doc.HyphenLimits = {6, 2, 4};
    book.doc.KeepLinesTogether = false;
    ASSERT_TRUE(book.Open());
    judge.SetLimits(book.doc.HyphenLimits);
    Rejoined strict = Rejoin(AllLines(book), sourceWords);
    ASSERT_FALSE(strict.splits.empty());
    for (const auto& [word, at] : strict.splits) {
        auto points = judge.Breaks(Utf8ToUtf16(word));
        EXPECT_NE(std::find(points.begin(), points.end(), at), points.end()) << word;
    }
}

TEST(TypographyTest, TheBookDeclaresItsLanguageAndAMissingDictionaryHyphenatesNothing) {
    // 17 characters a line: "Verantwortung" fits whole after "Die" on no line, and breaks where
    // the German patterns allow; English patterns would not be asked.
    const std::string body = " Die Verantwortung der Gesellschaft</p></body></html>";
    TestBook german("<html lang=\"de-DE\"><body><p>" + body, "de.htm", 170, 200);
    german.doc.Hyphenate = true;
    german.doc.HyphenationLanguage = "en";
    ASSERT_TRUE(german.Open());
    EXPECT_EQ(german.doc.BookLanguage, "de-DE");
    EXPECT_EQ(german.doc.HyphenationStatus(), DictionaryStatus::Ready);
    std::vector<std::string> lines = german.Lines(0);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[2], "Die Verantwor-");

    TestBook latin("<html lang=\"la\"><body><p>" + body, "la.htm", 170, 200);
    latin.doc.Hyphenate = true;
    ASSERT_TRUE(latin.Open());
    EXPECT_EQ(latin.doc.HyphenationStatus(), DictionaryStatus::Missing);
    for (const std::string& line : latin.Lines(0))
        EXPECT_TRUE(line.empty() || line.back() != '-') << line;
}

TEST(TypographyTest, SoftHyphensBreakOnlyWhereTheLineDoesAndAreNeverShown) {
    // 10 characters a line. "extra&shy;ordinary" is too long for one: it breaks at its soft
    // hyphen, which is drawn; "in&shy;to" fits and shows no hyphen at all. No dictionary is used.
    const std::string html = "<html>in&shy;to extra&shy;ordinary";
    TestBook book(html, "soft.htm", 100, 200);
    book.doc.SoftHyphens = true;
    ASSERT_TRUE(book.Open());
    EXPECT_EQ(book.Lines(0), (std::vector<std::string>{"", "into ", "extra-", "ordinary"}));
    // A word wider than a line breaks at the last soft hyphen that fits, line after line.
    TestBook compound("<html>Donau&shy;dampf&shy;schiff&shy;fahrt", "long.htm", 100, 200);
    compound.doc.SoftHyphens = true;
    ASSERT_TRUE(compound.Open());
    EXPECT_EQ(compound.Lines(0),
              (std::vector<std::string>{"", "Donau-", "dampf-", "schiff-", "fahrt"}));

    // The same as bytes of the code page (0xAD) in a plain text, and in its text output.
    TestBook plain("in\xADto extra\xADordinary", "soft.txt", 100, 200);
    plain.doc.SoftHyphens = true;
    ASSERT_TRUE(plain.Open());
    EXPECT_EQ(plain.Lines(0), (std::vector<std::string>{"into ", "extra-", "ordinary"}));
    std::string written;
    ASSERT_TRUE(WholeBookText(plain.doc, written));
    EXPECT_EQ(written.find("\xC2\xAD"), std::string::npos) << written;
    EXPECT_NE(written.find("into extraordinary"), std::string::npos) << written;

    // Searching matches the word, not its soft hyphen.
    plain.doc.SearchText = "into";
    plain.doc.CurrentPage = 0;
    EXPECT_TRUE(plain.doc.LayoutPage(nullptr, true));
}

TEST(TypographyTest, AParagraphsSingleFirstOrLastLineNeverStandsAloneAtAPageEnd) {
    // Paragraphs of 1 to 5 lines, each line "pN pN pN pN" (12 characters of 10 pixels fill a
    // line of 120), pages of 6 lines: paragraphs fall across page ends in every way.
    std::string text;
    std::vector<int> sizes = {3, 2, 5, 1, 4, 2, 3, 5, 2, 4, 1, 3, 2, 5, 3};
    for (size_t p = 0; p < sizes.size(); ++p) {
        std::string word = "p" + std::to_string(p % 10);
        for (int l = 0; l < sizes[p]; ++l)
            text += word + " " + word + " " + word + " " + word + (l + 1 < sizes[p] ? " " : "");
        text += "\n";
    }
    auto pagesOf = [&](bool together) {
        TestBook book(text, "paras.txt", 120, 90);
        book.doc.KeepLinesTogether = together;
        EXPECT_TRUE(book.Open());
        // Per paragraph, its lines on each page.
        std::vector<std::vector<int>> perPage(sizes.size());
        std::vector<Line> lines = AllLines(book);
        size_t paragraph = 0;
        int left = sizes[0];
        for (const Line& line : lines) {
            EXPECT_EQ(Words(line.text).size(), 4u) << line.text;
            auto& pages = perPage[paragraph];
            if (pages.empty() || int(pages.size()) <= line.page) pages.resize(line.page + 1);
            ++pages[line.page];
            if (--left == 0 && ++paragraph < sizes.size()) left = sizes[paragraph];
        }
        EXPECT_EQ(paragraph, sizes.size()) << "every line of every paragraph laid out";
        return perPage;
    };
    auto alone = [&](const std::vector<std::vector<int>>& perPage) {
        int count = 0;
        for (const auto& pages : perPage) {
            std::vector<int> used;
            for (int n : pages)
                if (n > 0) used.push_back(n);
            if (used.size() > 1 && (used.front() == 1 || used.back() == 1)) ++count;
        }
        return count;
    };
    EXPECT_GT(alone(pagesOf(false)), 0) << "the book has lines alone without the rule";
    EXPECT_EQ(alone(pagesOf(true)), 0);
}

TEST(TypographyTest, HardWrappedTextIsJoinedAtOpenUnlessThePersonChoseOtherwise) {
    const std::string wrapped = ReadFileText(FixturesDir() / "text" / "gutenberg-style.txt");
    std::string poem, oneLine;
    for (int i = 0; i < 40; ++i) {
        poem += "The woods are lovely, dark and deep, line " + std::to_string(i) + "\n";
        oneLine +=
            "A paragraph of one line only, as some texts keep every one of theirs, "
            "number " +
            std::to_string(i) + ".\n";
    }
    auto joined = [](const std::string& text, const std::string& name) {
        TestBook book(text, name);
        book.doc.DetectHardWrap = true;
        book.Open();
        return book.doc.JoinLines;
    };
    EXPECT_EQ(joined(wrapped, "wrapped.txt"), 1);
    EXPECT_EQ(joined(poem, "poem.txt"), 0);
    EXPECT_EQ(joined(oneLine, "lines.txt"), 0);
    EXPECT_EQ(joined("<html><body>" + wrapped, "wrapped.htm"), 0) << "markup is never judged";
    // Asked for by nobody, nothing is judged.
    EXPECT_EQ(TestBook(wrapped, "plain.txt").doc.JoinLines, 0);

    // The person's choice for the book is kept with its place, and judging never overrides it.
    PlacedBook book(wrapped);
    book.doc.DetectHardWrap = true;
    book.Reopen();
    EXPECT_EQ(book.doc.JoinLines, 1);
    EXPECT_FALSE(book.doc.JoinLinesChosen);
    book.doc.JoinLines = 0;
    book.doc.JoinLinesChosen = true;
    book.Reopen();
    EXPECT_EQ(book.doc.JoinLines, 0);
    EXPECT_TRUE(book.doc.JoinLinesChosen);
}

}  // namespace
}  // namespace pagewick::test
