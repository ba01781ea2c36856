// Search: "Search Again" to a hit 1 MB past the page being read (the pages between laid out to
// number it), a 10 MB book without a hit, and the whole "pagewick search" process beside
// "pagewick paginate" of the same 10 MB book with 1,000 hits.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "bench/BenchBook.h"
#include "bench/BenchProcess.h"
#include "engine/BookEngine.h"
#include "engine/FixedSurface.h"
#include "engine/Search.h"

namespace {

using namespace pagewick;

// 10 MB of words in lines of about 60 characters; "lighthouse" at each of `hits` even steps
// (none: no hit).
std::filesystem::path WriteBook(const std::string& name, int hits) {
    std::string text;
    const size_t size = 10u << 20;
    text.reserve(size + 64);
    const char* words[] = {"the",     "reader",  "turns",    "a",     "page", "and",  "finds",
                           "another", "chapter", "waiting,", "quiet", "as",   "snow."};
    for (size_t i = 0; text.size() < size; ++i) {
        text += words[(i * 7) % 13];
        text += i % 11 == 10 ? "\n" : " ";
    }
    for (int h = 0; h < hits; ++h) {
        size_t at = size / size_t(hits) * size_t(h) + 100;
        at = text.find(' ', at) + 1;
        text.replace(at, 10, "lighthouse");
    }
    auto path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// The book open and laid out up to the page holding `readingAt`, as a reader who got there.
struct OpenBook {
    FixedSurface surface;
    CBookEngine doc;
    std::vector<int32_t> starts;
    std::vector<uint8_t> states;
    std::vector<std::u16string> carry;
    OpenBook(const std::filesystem::path& path, int32_t readingAt) {
        doc.BookPath = path.string();
        bench::OpenOnBenchPage(doc, surface);
        doc.PaginateToOffset(readingAt);
        doc.GoToOffset(readingAt);
        starts = doc.PageStarts;
        states = doc.PageStates;
        carry = doc.PageCarry;
    }
    // Back to the table the reader had.
    void Rewind() {
        doc.PageStarts = starts;
        doc.PageStates = states;
        doc.PageCarry = carry;
        doc.LastPage = kLastPageUnknown;
    }
};

void BM_SearchAgainOneMegabyteAhead(benchmark::State& state) {
    // One hit per 1 MB: from the page of the hit at 4 MB the next is 1 MB on.
    auto path = WriteBook("pagewick-bench-search-ahead.txt", 10);
    OpenBook book(path, (4 << 20) + 1000);
    int32_t pages = 0;
    for (auto _ : state) {
        state.PauseTiming();
        book.Rewind();
        state.ResumeTiming();
        BookSearch search(book.doc, std::string_view("lighthouse"));
        std::optional<BookHit> hit = search.Next((4 << 20) + 1000);
        if (!hit || hit->first < (5 << 20)) {
            state.SkipWithError(
                ("the next hit was not found 1 MB on: " + std::to_string(hit ? hit->first : -1))
                    .c_str());
            break;
        }
        pages = int32_t(book.doc.PageStarts.size() - book.starts.size());
    }
    state.counters["pages_laid_out"] = pages;
    std::filesystem::remove(path);
}
BENCHMARK(BM_SearchAgainOneMegabyteAhead)->Unit(benchmark::kMillisecond);

void BM_NoHitInTenMegabytes(benchmark::State& state) {
    auto path = WriteBook("pagewick-bench-search-none.txt", 0);
    OpenBook book(path, 0);
    for (auto _ : state) {
        BookSearch search(book.doc, std::string_view("lighthouse"));
        if (search.Next(0)) state.SkipWithError("a hit where there is none");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(book.doc.CharCount()));
    std::filesystem::remove(path);
}
BENCHMARK(BM_NoHitInTenMegabytes)->Unit(benchmark::kMillisecond);

#ifdef PAGEWICK_CLI
using bench::RunProcess;

// The time is search's; the counter gives it over paginate's of the same book.
void BM_SearchProcessBesidePaginate(benchmark::State& state) {
    const std::string path = WriteBook("pagewick-bench-search-1000.txt", 1000).string();
    double search = 0, paginate = 0;
    for (auto _ : state) {
        double s = RunProcess({PAGEWICK_CLI, "search", path, "lighthouse", "--fixed-metrics"});
        double p = RunProcess({PAGEWICK_CLI, "paginate", path, "--fixed-metrics"});
        if (s < 0 || p < 0) {
            state.SkipWithError("pagewick search or paginate did not run");
            break;
        }
        state.SetIterationTime(s);
        search += s;
        paginate += p;
    }
    if (search > 0 && paginate > 0) {
        state.counters["paginate_ms"] = paginate * 1000 / double(state.iterations());
        state.counters["ratio_to_paginate"] = search / paginate;
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_SearchProcessBesidePaginate)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif

}  // namespace
