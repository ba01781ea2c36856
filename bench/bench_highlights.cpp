// Drawing a page of a 10 MB text book with and without 100,000 highlights in the book (a few on
// every page, some over several pages), on the fixed-metrics surface: what the highlights add
// to a page turn in the engine. Also reading and writing a notes file of 100,000 highlights.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "BenchBook.h"
#include "engine/FixedSurface.h"
#include "engine/Highlights.h"

namespace {

using namespace pagewick;
namespace fs = std::filesystem;

const fs::path& Book() {
    static const fs::path path = [] {
        fs::path p = fs::temp_directory_path() /
                     ("pagewick-bench-marks-" + std::to_string(getpid()) + ".txt");
        std::ofstream out(p, std::ios::binary);
        const char* words[] = {"marked", "passages", "in", "a", "long", "book", "of", "words"};
        uint32_t seed = 99;
        for (size_t written = 0; written < 10u << 20;) {
            std::string paragraph;
            for (int i = 0; i < 60; ++i) {
                seed = seed * 1103515245u + 12345u;
                paragraph += words[(seed >> 16) % 8];
                paragraph += ' ';
            }
            paragraph += "\r\n\r\n";
            out << paragraph;
            written += paragraph.size();
        }
        return p;
    }();
    return path;
}

std::vector<Highlight> Spread(uint32_t length, int32_t count) {
    std::vector<Highlight> all(size_t(count));
    const int32_t step = int32_t(length / uint32_t(count));
    for (int32_t i = 0; i < count; ++i) {
        all[size_t(i)].start = i * step;
        all[size_t(i)].end = i * step + (i % 10 == 0 ? 3 * step : step / 3);
        all[size_t(i)].colour = HighlightColour(i % 4);
        all[size_t(i)].created = "2026-12-09T15:40:00Z";
    }
    return all;
}

void BM_DrawPage(benchmark::State& state) {
    FixedSurface surface;
    CBookEngine doc;
    doc.BookPath = Book().string();
    bench::OpenOnBenchPage(doc, surface);
    doc.Highlights.Assign(Spread(doc.CharCount(), int32_t(state.range(0))));
    doc.PaginateToOffset(int32_t(doc.CharCount() / 2));
    const int32_t middle = int32_t(doc.PageStarts.size()) - 2;
    int32_t page = middle;
    for (auto _ : state) {
        doc.CurrentPage = page;
        doc.LayoutPage(&surface, false);
        page = page + 1 < middle + 20 ? page + 1 : middle;
    }
    state.counters["highlights"] = double(doc.Highlights.Size());
}
BENCHMARK(BM_DrawPage)->Arg(0)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_NotesFile100000(benchmark::State& state) {
    const std::string text = HighlightsToJson(Spread(10u << 20, 100000));
    for (auto _ : state) {
        std::optional<ParsedHighlights> parsed = ParseHighlights(text, nullptr);
        HighlightSet set;
        set.Assign(std::move(parsed->items));
        benchmark::DoNotOptimize(HighlightsToJson(set.All()).size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_NotesFile100000)->Unit(benchmark::kMillisecond);

}  // namespace
