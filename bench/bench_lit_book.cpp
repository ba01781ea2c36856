// LIT books in the reader: the largest fixture book opened with its first page laid out, paged
// whole, written out as plain text, and beside it the same markup saved as an HTML file and paged
// the same way.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/BookEngine.h"
#include "engine/FixedSurface.h"
#include "formats/LitBook.h"
#include "library/PlainText.h"

namespace {

using namespace pagewick;

const std::string kLargest = std::string(PAGEWICK_FIXTURES_DIR) + "/lit/tools-pages.lit";

void Prepare(CBookEngine& doc, const std::string& path, int32_t kind) {
    doc.BookPath = path;
    doc.SourceKind = kind;
    doc.RightEdge = 480;
    doc.PageHeight = 640;
    doc.PrepareSource();
}

void PageWhole(CBookEngine& doc, FixedSurface& dc) {
    doc.GetChar(0);
    doc.BuildWidthTable(&dc);
    doc.PaginateTo(0x7fffffff);
    benchmark::DoNotOptimize(doc.PageStarts.size());
}

void BM_LitOpenAndFirstPage(benchmark::State& state) {
    for (auto _ : state) {
        CBookEngine doc;
        FixedSurface dc;
        Prepare(doc, kLargest, kSourceLit);
        doc.GetChar(0);
        doc.BuildWidthTable(&dc);
        doc.LayoutPage(&dc, false);
    }
}

void BM_LitPaginateWhole(benchmark::State& state) {
    for (auto _ : state) {
        CBookEngine doc;
        FixedSurface dc;
        Prepare(doc, kLargest, kSourceLit);
        PageWhole(doc, dc);
    }
}

// What `pagewick text` does inside the process: the book opened and written out as plain text
// (beside opening it and paging it whole above).
void BM_LitWriteText(benchmark::State& state) {
    size_t bytes = 0;
    for (auto _ : state) {
        CBookEngine doc;
        Prepare(doc, kLargest, kSourceLit);
        std::string text;
        WriteBookText(doc, [&](std::string_view piece) {
            text += piece;
            return true;
        });
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["text_bytes"] = double(bytes);
}

// The same book's markup as an HTML file: what paging a LIT book may be compared with.
void BM_LitMarkupAsHtmlPaginateWhole(benchmark::State& state) {
    LitBookFile file;
    LitBook book;
    if (OpenLitBook(kLargest, file, book) != 0) {
        state.SkipWithError("the fixture book did not open");
        return;
    }
    std::string markup(book.Length(), '\0');
    book.ReadMarkup(0, reinterpret_cast<uint8_t*>(markup.data()), markup.size());
    const auto path = std::filesystem::temp_directory_path() / "pagewick-bench-lit-markup.htm";
    std::ofstream(path, std::ios::binary) << markup;
    for (auto _ : state) {
        CBookEngine doc;
        FixedSurface dc;
        Prepare(doc, path.string(), kSourceText);
        PageWhole(doc, dc);
    }
    std::filesystem::remove(path);
}

BENCHMARK(BM_LitOpenAndFirstPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LitPaginateWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LitWriteText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LitMarkupAsHtmlPaginateWhole)->Unit(benchmark::kMillisecond);

}  // namespace
