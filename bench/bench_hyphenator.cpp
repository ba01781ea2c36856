// Hyphenation speed over real text (the words of the LIT fixture books' text, about 114,000):
// every word through Hyphenator::Breaks as a book goes by (recent words kept), every distinct word
// seen for the first time (each one a call into libhyphen), libhyphen called directly on the same
// words, and loading the English, French and German dictionaries. The layout asks only for the
// word that does not fit at the end of a line, so a page costs about one Breaks per line.
#include <benchmark/benchmark.h>
#include <hyphen.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "typography/Hyphenator.h"
#include "typography/LowerCase.h"
#include "util/Utf8.h"

namespace {

using namespace pagewick;

// The words as views into one text, as the layout meets them in its text windows.
struct BookText {
    std::u16string text;
    std::vector<std::u16string_view> words;
};

BookText ReadBooks() {
    BookText book;
    for (const char* name :
         {"bash-manual", "gpl3-chapters", "grep-manual", "lgpl21-text", "tools-pages", "almanac"}) {
        std::ifstream in(
            std::filesystem::path(PAGEWICK_FIXTURES_DIR) / "lit" / (std::string(name) + ".txt"),
            std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        book.text += Utf8ToUtf16(bytes) + u" ";
    }
    size_t start = 0;
    for (size_t i = 0; i < book.text.size(); ++i) {
        char16_t c = book.text[i];
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            if (i > start) book.words.emplace_back(book.text.data() + start, i - start);
            start = i + 1;
        }
    }
    return book;
}

const std::vector<std::u16string_view>& Words() {
    static const BookText book = ReadBooks();
    return book.words;
}

void BM_BreaksRealText(benchmark::State& state) {
    Hyphenator h;
    if (h.SetLanguage("en-US") != DictionaryStatus::Ready) {
        state.SkipWithError("hyphen-en-us is not installed");
        return;
    }
    const auto& words = Words();
    size_t points = 0;
    for (auto _ : state)
        for (const auto& word : words)
            points += h.Breaks(word).size();
    benchmark::DoNotOptimize(points);
    state.SetItemsProcessed(int64_t(state.iterations() * words.size()));
}
BENCHMARK(BM_BreaksRealText)->Unit(benchmark::kMillisecond);

// Only the words of six characters or more: those a line end asks about.
void BM_BreaksLongWords(benchmark::State& state) {
    Hyphenator h;
    if (h.SetLanguage("en-US") != DictionaryStatus::Ready) {
        state.SkipWithError("hyphen-en-us is not installed");
        return;
    }
    std::vector<std::u16string_view> words;
    for (const auto& word : Words())
        if (word.size() >= 6) words.push_back(word);
    size_t points = 0;
    for (auto _ : state)
        for (const auto& word : words)
            points += h.Breaks(word).size();
    benchmark::DoNotOptimize(points);
    state.SetItemsProcessed(int64_t(state.iterations() * words.size()));
}
BENCHMARK(BM_BreaksLongWords)->Unit(benchmark::kMillisecond);

void BM_BreaksFirstSight(benchmark::State& state) {
    std::set<std::u16string_view> distinct(Words().begin(), Words().end());
    for (auto _ : state) {
        state.PauseTiming();
        Hyphenator h;
        h.SetLanguage("en-US");
        state.ResumeTiming();
        size_t points = 0;
        for (const auto& word : distinct)
            points += h.Breaks(word).size();
        benchmark::DoNotOptimize(points);
    }
    state.SetItemsProcessed(int64_t(state.iterations() * distinct.size()));
}
BENCHMARK(BM_BreaksFirstSight)->Unit(benchmark::kMillisecond);

// libhyphen alone on the same words, lower case, letters only, six or more.
void BM_LibhyphenDirect(benchmark::State& state) {
    HyphenDict* dict = hnj_hyphen_load("/usr/share/hyphen/hyph_en_US.dic");
    if (!dict) {
        state.SkipWithError("hyphen-en-us is not installed");
        return;
    }
    std::vector<std::string> words;
    for (const auto& word : Words()) {
        std::string utf8;
        bool letters = word.size() >= 6;
        for (char16_t c : word) {
            letters = letters && ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
            AppendUtf8(utf8, LowerCase(c));
        }
        if (letters) words.push_back(utf8);
    }
    char hyphens[512];
    for (auto _ : state) {
        for (const auto& word : words) {
            char** rep = nullptr;
            int* pos = nullptr;
            int* cut = nullptr;
            hnj_hyphen_hyphenate2(dict, word.data(), int(word.size()), hyphens, nullptr, &rep, &pos,
                                  &cut);
            benchmark::DoNotOptimize(hyphens[0]);
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations() * words.size()));
    hnj_hyphen_free(dict);
}
BENCHMARK(BM_LibhyphenDirect)->Unit(benchmark::kMillisecond);

void BM_LoadDictionary(benchmark::State& state, const char* language) {
    for (auto _ : state) {
        Hyphenator h;
        if (h.SetLanguage(language) != DictionaryStatus::Ready) {
            state.SkipWithError("dictionary not installed");
            return;
        }
    }
}
BENCHMARK_CAPTURE(BM_LoadDictionary, en, "en")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadDictionary, fr, "fr")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadDictionary, de, "de")->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
