// Search matching alone: 10 MB of text (ten million characters, one byte each in an 8-bit
// book) searched for a word that occurs 1,000 times and for one that never does, with the
// default options (case folded), with accents ignored and whole words, and for a pattern of
// 10,000 characters. The search of a whole book has 150 ms for 10 MB with no hit.
#include <benchmark/benchmark.h>

#include <string>

#include "util/TextMatcher.h"

namespace {

using namespace pagewick;

constexpr size_t kTextChars = 10'000'000;

// Words of a French and English text, accents and line ends included; "lighthouse" is placed
// 1,000 times, evenly.
const std::u16string& Text() {
    static const std::u16string text = [] {
        const char16_t* words[] = {u"caf\u00E9", u"na\u00EFve", u"R\u00E9sum\u00E9", u"the",
                                   u"reader",    u"turns",      u"Z\u00FCrich",      u"page",
                                   u"\u00E0",    u"la",         u"fa\u00E7ade",      u"quiet."};
        std::u16string out;
        out.reserve(kTextChars + 16);
        size_t nextHit = kTextChars / 2000;
        for (size_t i = 0; out.size() < kTextChars; ++i) {
            if (out.size() >= nextHit) {
                out += u"Lighthouse";
                nextHit += kTextChars / 1000;
            } else {
                out += words[(i * 7) % 12];
            }
            out += i % 11 == 10 ? u"\r\n" : u" ";
        }
        out.resize(kTextChars);
        return out;
    }();
    return text;
}

void Search(benchmark::State& state, std::u16string_view pattern, MatchOptions options,
            size_t expectedHits) {
    const std::u16string& text = Text();
    TextMatcher matcher(pattern, options);
    size_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        matcher.Reset();
        matcher.FeedRun(text, 0, [&](const TextMatch&) { ++hits; });
        hits += matcher.Finish();
        benchmark::DoNotOptimize(hits);
    }
    if (hits != expectedHits) state.SkipWithError("wrong number of hits");
    state.counters["hits"] = double(hits);
    state.counters["MB/s"] =
        benchmark::Counter(double(text.size()) * double(state.iterations()),
                           benchmark::Counter::kIsRate, benchmark::Counter::kIs1000);
}

void BM_ThousandHits(benchmark::State& state) {
    Search(state, u"lighthouse", {}, 1000);
}
BENCHMARK(BM_ThousandHits)->Unit(benchmark::kMillisecond);

void BM_NoHit(benchmark::State& state) {
    Search(state, u"zebra", {}, 0);
}
BENCHMARK(BM_NoHit)->Unit(benchmark::kMillisecond);

void BM_NoHitMatchCase(benchmark::State& state) {
    Search(state, u"zebra", {.matchCase = true}, 0);
}
BENCHMARK(BM_NoHitMatchCase)->Unit(benchmark::kMillisecond);

// The same, a character at a time with a position and an end each, as a caller that skips
// markup feeds them.
void BM_NoHitOneAtATime(benchmark::State& state) {
    const std::u16string& text = Text();
    TextMatcher matcher(u"zebra", {});
    size_t hits = 0;
    for (auto _ : state) {
        matcher.Reset();
        for (size_t i = 0; i < text.size(); ++i)
            hits += matcher.Feed(text[i], 2 * i, 2 * i + 2);
        hits += matcher.Finish();
        benchmark::DoNotOptimize(hits);
    }
    if (hits != 0) state.SkipWithError("wrong number of hits");
    state.counters["MB/s"] =
        benchmark::Counter(double(text.size()) * double(state.iterations()),
                           benchmark::Counter::kIsRate, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_NoHitOneAtATime)->Unit(benchmark::kMillisecond);

void BM_ThousandHitsWholeWordsNoAccents(benchmark::State& state) {
    Search(state, u"lighthouse", {.wholeWords = true, .ignoreAccents = true}, 1000);
}
BENCHMARK(BM_ThousandHitsWholeWordsNoAccents)->Unit(benchmark::kMillisecond);

// A word whose first letter is everywhere: the automaton leaves its first state all the time.
void BM_NoHitCommonStart(benchmark::State& state) {
    Search(state, u"the quiet readers", {.ignoreAccents = true}, 0);
}
BENCHMARK(BM_NoHitCommonStart)->Unit(benchmark::kMillisecond);

void BM_NoHitTenThousandCharacters(benchmark::State& state) {
    std::u16string pattern;
    while (pattern.size() < 10'000)
        pattern += u"the reader turns the page ";
    pattern.resize(10'000);
    Search(state, pattern, {}, 0);
}
BENCHMARK(BM_NoHitTenThousandCharacters)->Unit(benchmark::kMillisecond);

// Characters beyond the matcher's own table (Japanese) take the shared tables every time.
void BM_NoHitJapanese(benchmark::State& state) {
    std::u16string text;
    while (text.size() < kTextChars)
        text += u"\u8AAD\u66F8\u306E\u79CB\u3001\u706F\u53F0\u306E\u5149\u3002";
    TextMatcher matcher(u"\u56F3\u66F8\u9928", {});
    size_t hits = 0;
    for (auto _ : state) {
        matcher.Reset();
        matcher.FeedRun(text, 0, [&](const TextMatch&) { ++hits; });
        hits += matcher.Finish();
        benchmark::DoNotOptimize(hits);
    }
    if (hits != 0) state.SkipWithError("wrong number of hits");
    state.counters["MB/s"] =
        benchmark::Counter(double(text.size()) * double(state.iterations()),
                           benchmark::Counter::kIsRate, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_NoHitJapanese)->Unit(benchmark::kMillisecond);

}  // namespace
