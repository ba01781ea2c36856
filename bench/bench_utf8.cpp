// UTF-8 books: whole-book pagination of 10 MB of UTF-8 with accents on every line beside the
// same text in Windows-1252 (ratio as a counter), and opening a 100 MB UTF-8 book to its first
// page with the memory of its index.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "bench/BenchBook.h"
#include "engine/BookEngine.h"
#include "engine/FixedSurface.h"
#include "formats/Utf8Text.h"

namespace {

using namespace pagewick;

// Latin-1 words only, so that both encodings hold the same text.
std::u16string MakeText(size_t chars) {
    const char16_t* words[] = {u"caf\u00E9", u"na\u00EFve", u"r\u00E9sum\u00E9", u"the",
                               u"reader",    u"turns",      u"Z\u00FCrich",      u"page",
                               u"\u00E0",    u"la",         u"fa\u00E7ade",      u"quiet."};
    std::u16string text;
    for (size_t i = 0; text.size() < chars; ++i) {
        text += words[(i * 7) % 12];
        text += i % 11 == 10 ? u"\n" : u" ";
    }
    return text;
}

std::filesystem::path WriteBook(const std::string& name, const std::u16string& text, bool utf8) {
    std::string bytes;
    for (char16_t c : text) {
        if (c < 0x80 || !utf8) {
            bytes += char(c);
        } else {
            bytes += char(0xC0 | (c >> 6));
            bytes += char(0x80 | (c & 63));
        }
    }
    auto path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

struct OpenedBook {
    CBookEngine doc;
    FixedSurface surface;
    explicit OpenedBook(const std::filesystem::path& path) {
        doc.SourceKind = kSourceText;
        doc.BookPath = path.string();
        bench::OpenOnBenchPage(doc, surface);
    }
};

double Paginate(const std::filesystem::path& path) {
    auto begin = std::chrono::steady_clock::now();
    OpenedBook book(path);
    book.doc.PaginateTo(0x7fffffff);
    benchmark::DoNotOptimize(book.doc.PageStarts.size());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

void BM_PaginateUtf8BesideCp1252(benchmark::State& state) {
    const std::u16string text = MakeText(10 << 20);
    auto utf8 = WriteBook("pagewick-bench-utf8.txt", text, true);
    auto cp1252 = WriteBook("pagewick-bench-cp1252.txt", text, false);
    double utf8Seconds = 0, cp1252Seconds = 0;
    for (auto _ : state) {
        utf8Seconds += Paginate(utf8);
        cp1252Seconds += Paginate(cp1252);
    }
    const double n = double(state.iterations());
    state.counters["utf8_MB/s"] = double(std::filesystem::file_size(utf8)) * n / utf8Seconds / 1e6;
    state.counters["cp1252_MB/s"] =
        double(std::filesystem::file_size(cp1252)) * n / cp1252Seconds / 1e6;
    state.counters["ratio"] = utf8Seconds / cp1252Seconds;
    std::filesystem::remove(utf8);
    std::filesystem::remove(cp1252);
}
BENCHMARK(BM_PaginateUtf8BesideCp1252)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_OpenLargeUtf8ToFirstPage(benchmark::State& state) {
    auto path = WriteBook("pagewick-bench-100mb.txt", MakeText(95 << 20), true);
    for (auto _ : state) {
        OpenedBook book(path);
        book.doc.LayoutPage(&book.surface, false);
        benchmark::DoNotOptimize(book.doc.PageStarts.size());
    }
    state.counters["MB"] = double(std::filesystem::file_size(path)) / 1e6;

    // The index that pass builds, alone: its speed and what it keeps.
    std::ifstream file(path, std::ios::binary);
    Utf8Index index;
    index.Build(
        [&file](uint64_t position, uint8_t* out, size_t n) -> int64_t {
            file.clear();
            file.seekg(std::streamoff(position));
            file.read(reinterpret_cast<char*>(out), std::streamsize(n));
            return file.gcount();
        },
        uint32_t(std::filesystem::file_size(path)));
    state.counters["index_KB"] = double(index.MemoryBytes()) / 1024;
    std::filesystem::remove(path);
}
BENCHMARK(BM_OpenLargeUtf8ToFirstPage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
