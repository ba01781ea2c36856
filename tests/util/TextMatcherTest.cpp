// Finding words as a page shows them: folding, accents, whole words, white space, ignorable
// characters, matches across feeds, overlaps, long patterns, refused patterns, and the
// streaming matcher against the obvious one over random texts.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "NaiveTextMatch.h"
#include "util/RecentText.h"
#include "util/TextMatcher.h"

using namespace pagewick;
using pagewick::test::NaiveFind;

namespace {

using Hits = std::vector<TextMatch>;

Hits Find(std::u16string_view pattern, std::u16string_view text, MatchOptions options = {}) {
    TextMatcher matcher(pattern, options);
    EXPECT_TRUE(matcher.Ready());
    Hits hits;
    matcher.FeedRun(text, 0, [&](const TextMatch& m) { hits.push_back(m); });
    if (matcher.Finish()) hits.push_back(matcher.Match());
    return hits;
}

size_t Count(std::u16string_view pattern, std::u16string_view text, MatchOptions options = {}) {
    return Find(pattern, text, options).size();
}

constexpr MatchOptions kCase{.matchCase = true};
constexpr MatchOptions kWords{.wholeWords = true};
constexpr MatchOptions kAccents{.ignoreAccents = true};

}  // namespace

TEST(TextMatcherTest, CaseAndAccentsAcrossScripts) {
    EXPECT_EQ(Find(u"É", u"café CAFÉ"), (Hits{{3, 4}, {8, 9}}));
    EXPECT_EQ(Count(u"É", u"café", kCase), 0u);
    EXPECT_EQ(Count(u"ΟΔΟΣ", u"οδος οδοσ ὁδός"), 2u);  // final sigma; the accented one differs
    EXPECT_EQ(Count(u"ΟΔΟΣ", u"ὁδός", kAccents), 1u);
    EXPECT_EQ(Count(u"москва", u"МОСКВА, Москва"), 2u);
    EXPECT_EQ(Count(u"ёж", u"ЕЖ", kAccents), 1u);
    // Turkish: simple folding leaves "İ" and "ı" apart from "i"; ignoring accents joins them.
    EXPECT_EQ(Count(u"istanbul", u"ISTANBUL İstanbul ıstanbul"), 1u);
    EXPECT_EQ(Count(u"istanbul", u"ISTANBUL İstanbul ıstanbul", kAccents), 3u);

    // "cafe" finds "café" only with accents ignored, precomposed or not; the combining accent
    // belongs to the match. Without the option the bare "e" before an accent is no match.
    const std::u16string text = u"café cafe\u0301 cafe";
    EXPECT_EQ(Find(u"cafe", text), (Hits{{11, 15}}));
    EXPECT_EQ(Find(u"cafe", text, kAccents), (Hits{{0, 4}, {5, 10}, {11, 15}}));
    EXPECT_EQ(Count(u"café", text, kAccents), 3u);
    EXPECT_EQ(Count(u"Cafe", text, {.matchCase = true, .ignoreAccents = true}), 0u);
    // Letters that stand for two, only whole: "s" is no part of "ß".
    EXPECT_EQ(Find(u"strasse", u"Straße", kAccents), (Hits{{0, 6}}));
    EXPECT_EQ(Count(u"straße", u"STRASSE", kAccents), 1u);
    EXPECT_EQ(Count(u"as", u"Straße", kAccents), 0u);
    EXPECT_EQ(Count(u"s", u"ß", kAccents), 0u);
    EXPECT_EQ(Count(u"office", u"o\uFB03ce", kAccents), 1u);
}

TEST(TextMatcherTest, WholeWordsWhiteSpaceAndIgnorableCharacters) {
    EXPECT_EQ(Find(u"cat", u"cat, concat cats (cat) 4cat cat4 cat", kWords),
              (Hits{{0, 3}, {18, 21}, {33, 36}}));
    EXPECT_EQ(Find(u"4", u"4 14 4a 4.", kWords), (Hits{{0, 1}, {8, 9}}));
    // An end that is punctuation is a boundary of its own.
    EXPECT_EQ(Find(u"C++", u"C++x xC++ C++", kWords), (Hits{{0, 3}, {10, 13}}));
    // A soft hyphen joins the word: "word" is no whole word in "pass\u00ADword".
    EXPECT_EQ(Count(u"word", u"pass\u00ADword", kWords), 0u);
    EXPECT_EQ(Count(u"password", u"pass\u00ADword", kWords), 1u);
    // An accent is part of its word: "cafe" is no whole word in "cafe\u0301" unless dropped.
    EXPECT_EQ(Count(u"cafe", u"cafe\u0301", kWords), 0u);
    EXPECT_EQ(Count(u"cafe", u"cafe\u0301", {.wholeWords = true, .ignoreAccents = true}), 1u);

    // Any run of white space is one space, in the text and in the pattern; none is none.
    const std::u16string text = u"the quiet \r\n\t reader, quiet\u00A0reader, quietreader";
    EXPECT_EQ(Find(u"quiet reader", text), (Hits{{4, 20}, {22, 34}}));
    EXPECT_EQ(Count(u"quiet \t  reader", text), 2u);
    EXPECT_EQ(Find(u"reader ", u"reader  x"), (Hits{{0, 7}}));
    // Ignorable characters never match and never break a match, on either side.
    EXPECT_EQ(Find(u"hyphen", u"hy\u00ADphen hy\u200Bphen hyp\uFEFFhen"),
              (Hits{{0, 7}, {8, 15}, {16, 23}}));
    EXPECT_EQ(Count(u"hy\u00ADphen", u"hyphen"), 1u);
}

TEST(TextMatcherTest, StreamsAcrossFeedsWithOpaquePositionsAndResets) {
    // The caller's positions: a tag between "wo" and "rd" leaves a gap; an entity is one
    // character over several positions.
    TextMatcher matcher(u"word caf\u00E9", {});
    const std::u16string first = u"a wo";
    matcher.FeedRun(first, 100, [](const TextMatch&) { FAIL(); });
    EXPECT_FALSE(matcher.Feed(u'r', 110));
    EXPECT_FALSE(matcher.Feed(u'd', 111));
    EXPECT_FALSE(matcher.Feed(u' ', 112));
    EXPECT_FALSE(matcher.Feed(u'C', 113));
    EXPECT_FALSE(matcher.Feed(u'a', 114));
    EXPECT_FALSE(matcher.Feed(u'f', 115));
    EXPECT_FALSE(matcher.Feed(u'\u00C9', 116, 124));  // "&Eacute;"
    // Known at the next character, which shows that the word ends there.
    ASSERT_TRUE(matcher.Feed(u'.', 124));
    EXPECT_EQ(matcher.Match(), (TextMatch{102, 124}));

    // A reset forgets a half-made match and the word before it.
    TextMatcher words(u"cat", kWords);
    words.FeedRun(u"ca", 0, [](const TextMatch&) { FAIL(); });
    words.Reset();
    words.FeedRun(u"t cat", 10, [](const TextMatch&) { FAIL(); });
    EXPECT_TRUE(words.Finish());
    EXPECT_EQ(words.Match(), (TextMatch{12, 15}));
    // A stretch that begins after a letter or ends before one (a search backwards).
    words.ResetAfter(u'x');
    words.FeedRun(u"cat", 0, [](const TextMatch&) { FAIL(); });
    EXPECT_FALSE(words.Finish());
    words.FeedRun(u"cat", 0, [](const TextMatch&) { FAIL(); });
    EXPECT_FALSE(words.FinishBefore(u's'));
    words.FeedRun(u"cat", 0, [](const TextMatch&) { FAIL(); });
    EXPECT_TRUE(words.FinishBefore(u','));
}

TEST(TextMatcherTest, OverlapsLongPatternsAndRefusedPatterns) {
    // Non-overlapping, left to right.
    EXPECT_EQ(Find(u"aaa", u"aaaa"), (Hits{{0, 3}}));
    EXPECT_EQ(Find(u"aa", u"aaaaa"), (Hits{{0, 2}, {2, 4}}));
    EXPECT_EQ(Find(u"aba", u"ababa"), (Hits{{0, 3}}));
    // A rejected candidate leaves the overlapping one behind it: "ab" is a whole word only
    // the second time.
    EXPECT_EQ(Find(u"ab ab", u"ab ab ab", kWords), (Hits{{0, 5}}));

    // 10,000 characters against a megabyte of the worst text for it: steps stay linear.
    const std::u16string pattern = std::u16string(9999, u'a') + u'b';
    std::u16string text(1 << 20, u'a');
    text.back() = u'b';
    TextMatcher matcher(pattern, {});
    ASSERT_TRUE(matcher.Ready());
    Hits hits;
    matcher.FeedRun(text, 0, [&](const TextMatch& m) { hits.push_back(m); });
    EXPECT_TRUE(hits.empty());
    ASSERT_TRUE(matcher.Finish());
    EXPECT_EQ(matcher.Match(), (TextMatch{text.size() - pattern.size(), text.size()}));
    EXPECT_LE(matcher.Steps(), 2 * text.size());

    for (std::u16string_view empty : {u"", u" \t\n ", u"\u00AD\u200B\uFEFF"})
        EXPECT_EQ(TextMatcher(empty).Status(), PatternStatus::Empty);
    EXPECT_EQ(TextMatcher(u"\u0301", kAccents).Status(), PatternStatus::Empty);
    EXPECT_TRUE(TextMatcher(u"\u0301").Ready());
    TextMatcher tooLong(std::u16string(TextMatcher::kMaxPatternLength + 1, u'x'));
    EXPECT_EQ(tooLong.Status(), PatternStatus::TooLong);
    EXPECT_FALSE(tooLong.Feed(u'x', 0));
    EXPECT_FALSE(tooLong.Finish());
    EXPECT_EQ(TextMatcher(std::string(5 * TextMatcher::kMaxPatternLength, 'x')).Status(),
              PatternStatus::TooLong);
    // UTF-8 patterns fold as the 16-bit ones do.
    EXPECT_EQ(TextMatcher("  Caf\xC3\xA9  au ", kAccents).FoldedPattern(), u" cafe au ");
}

TEST(TextMatcherTest, AgreesWithTheObviousMatcherOnRandomTexts) {
    // A small alphabet where every rule meets every other (cases, accents precomposed and
    // combining, "ß" and the "fi" ligature, spaces and ignorable characters of several kinds,
    // punctuation, a digit, letters from beyond U+0800 that take the shared tables), and two
    // letters (one twice as likely) in long texts, where patterns overlap themselves in the
    // ways the automaton's fall-backs must follow.
    const std::u16string rich = u"aAsSeé\u0301ßf\uFB01 \n\u00A0\u3000\u00AD\u200B.1\u1F00\u1F08",
                         poor = u"aab";
    std::mt19937 random(24);
    auto pick = [&](const std::u16string& alphabet, size_t n) {
        std::u16string s;
        for (size_t i = 0; i < n; ++i)
            s += alphabet[random() % alphabet.size()];
        return s;
    };
    int matches = 0;
    for (int round = 0; round < 4000; ++round) {
        const MatchOptions options{.matchCase = bool(round & 1),
                                   .wholeWords = bool(round & 2),
                                   .ignoreAccents = bool(round & 4)};
        const std::u16string& alphabet = round & 8 ? poor : rich;
        const std::u16string pattern = pick(alphabet, 1 + random() % (round & 8 ? 8 : 4));
        const std::u16string text = pick(alphabet, random() % (round & 8 ? 200 : 80));
        TextMatcher matcher(pattern, options);
        const Hits expected = NaiveFind(pattern, text, options);
        if (!matcher.Ready()) {
            EXPECT_TRUE(expected.empty());
            continue;
        }
        // Fed in two pieces, the second with its own positions continuing the first.
        Hits hits;
        const size_t split = text.empty() ? 0 : random() % text.size();
        auto keep = [&](const TextMatch& m) { hits.push_back(m); };
        matcher.FeedRun(std::u16string_view(text).substr(0, split), 0, keep);
        matcher.FeedRun(std::u16string_view(text).substr(split), split, keep);
        if (matcher.Finish()) hits.push_back(matcher.Match());
        ASSERT_EQ(hits, expected) << "round " << round;
        matches += int(hits.size());
    }
    EXPECT_GT(matches, 1000);
}

TEST(TextMatcherTest, LongStretchesWithoutAFirstCharacterAreSkippedWithTheirLastWord) {
    // A hit at every offset from the start of an eight-character block, after stretches of
    // letters, spaces, ignorable characters and letters past U+0800 (which the skip must look
    // at one by one): whole words sees the last character before the hit that counts.
    const std::u16string fillers[] = {u"xy", u"x ", u"x\u00AD", u" \u200B", u"\u1F00x", u"\u1F00 "};
    for (const std::u16string& filler : fillers) {
        for (size_t offset = 0; offset < 40; ++offset) {
            std::u16string text;
            for (size_t i = 0; i < 30 + offset; ++i)
                text += filler[i % filler.size()];
            text.resize(30 + offset);
            text += u"Lamp lamp.";
            text += std::u16string(40, u'y');
            for (const MatchOptions& options : {MatchOptions{}, kWords}) {
                TextMatcher matcher(u"lamp", options);
                Hits one;
                for (size_t i = 0; i < text.size(); ++i)
                    if (matcher.Feed(text[i], i)) one.push_back(matcher.Match());
                if (matcher.Finish()) one.push_back(matcher.Match());
                EXPECT_EQ(Find(u"lamp", text, options), one) << offset;
                EXPECT_EQ(one, NaiveFind(u"lamp", text, options)) << offset;
            }
        }
    }
}

TEST(TextMatcherTest, ContextAroundAHitHasWholeWordsOnBothSides) {
    const std::u16string text =
        u"It was the best of times, it was the worst of times, it was the age of\r\n"
        u"wisdom, it was the age of foolish\u00ADness, it was the epoch of belief.";
    RecentText recent(80);
    TextMatcher matcher(u"foolishness", {});
    Hits hits;
    for (size_t i = 0; i < text.size(); ++i) {
        recent.Add(text[i], 1000 + 2 * i);
        if (matcher.Feed(text[i], 1000 + 2 * i, 1000 + 2 * i + 2)) hits.push_back(matcher.Match());
    }
    ASSERT_EQ(hits.size(), 1u);
    // The buffer no longer holds the start of the text; the line is cut between words.
    EXPECT_EQ(recent.ContextAround(hits[0], 40), u"the age of foolishness, it was the");
    EXPECT_EQ(recent.ContextAround(hits[0], 4), u"fool");  // a hit longer than the line
    const uint64_t epoch = 1000 + 2 * text.find(u"epoch");
    EXPECT_EQ(recent.ContextAround({epoch, epoch + 10}, 20), u"the epoch of");

    RecentText start;
    for (size_t i = 0; i < 30; ++i)
        start.Add(text[i], i);
    EXPECT_EQ(start.ContextAround({0, 2}, 20), u"It was the best of");
}
