// Whole-book pagination of a PAWK book with a picture on every page (pictures extracted and
// measured by their headers, never drawn), beside the same book without the pictures.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "bench/BenchBook.h"
#include "engine/BookEngine.h"
#include "engine/FixedSurface.h"
#include "pawk/PawkWriter.h"

namespace {

using namespace pagewick;

// Reads the size from a PNG header, as a real decoder's size query does; counts its reads.
class HeaderDecoder : public PictureDecoder {
public:
    std::map<std::string, int> reads;
    bool PictureSize(const std::string& path, TextSize& size) override {
        ++reads[path];
        char b[24] = {};
        std::ifstream(path, std::ios::binary).read(b, sizeof b);
        auto u = [&](int i) { return int(uint8_t(b[i])); };
        size = TextSize{u(16) << 24 | u(17) << 16 | u(18) << 8 | u(19),
                        u(20) << 24 | u(21) << 16 | u(22) << 8 | u(23)};
        return size.cx > 0 && size.cy > 0;
    }
    bool DrawPicture(DrawingSurface&, const std::string&, const Rect&) override { return false; }
};

std::vector<uint8_t> Png(uint32_t w, uint32_t h, size_t bytes) {
    std::string b = "\x89PNG\r\n\x1a\n";
    b += std::string("\0\0\0\x0dIHDR", 8);
    for (uint32_t v : {w, h})
        for (int s = 24; s >= 0; s -= 8)
            b += char(v >> s & 255);
    b.resize(bytes, 'x');
    return std::vector<uint8_t>(b.begin(), b.end());
}

std::filesystem::path MakeBook(bool pictures) {
    const char* words[] = {"the",   "reader",  "turns",    "a",     "page", "and",
                           "finds", "another", "chapter,", "quiet", "as",   "snow."};
    PawkWriter w;
    w.title = "Bench";
    constexpr int kChapters = 20, kPicturesPerChapter = 40;
    for (int c = 0; c < kChapters; ++c) {
        std::string text;
        for (int p = 0; p < kPicturesPerChapter; ++p) {
            // About half a page of words, then a picture that takes the rest of it.
            for (int i = 0; i < 160; ++i) {
                text += words[(i * 7 + p) % 12];
                text += ' ';
            }
            if (pictures) text += "<img src=\"p" + std::to_string(p) + ".png\" alt=\"figure\"> ";
            text += "<p>";
        }
        std::string name = "ch" + std::to_string(c) + ".htm";
        w.files.push_back({name, {}, std::vector<uint8_t>(text.begin(), text.end())});
        w.contents.push_back({0, name, name + "#"});
    }
    for (int p = 0; p < kPicturesPerChapter && pictures; ++p)
        w.files.push_back({"p" + std::to_string(p) + ".png", {}, Png(300, 200 + p, 4096)});
    auto path = std::filesystem::temp_directory_path() /
                (pictures ? "pagewick-bench-pictures.pawk" : "pagewick-bench-nopictures.pawk");
    w.Write(path);
    return path;
}

void Paginate(benchmark::State& state, bool pictures) {
    auto path = MakeBook(pictures);
    FixedSurface surface;
    HeaderDecoder decoder;
    size_t pages = 0;
    int maxReads = 0;
    for (auto _ : state) {
        CBookEngine doc;
        doc.Pictures = &decoder;
        doc.SourceKind = kSourcePawk;
        doc.BookPath = path.string();
        bench::OpenOnBenchPage(doc, surface);
        doc.PaginateTo(0x7fffffff);
        pages = doc.PageStarts.size();
        for (const auto& [file, reads] : decoder.reads)
            maxReads = std::max(maxReads, reads);  // each temporary file is a new name
        decoder.reads.clear();
    }
    state.counters["pages"] = double(pages);
    state.counters["pages/s"] =
        benchmark::Counter(double(pages) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["max_decodes_per_file"] = maxReads;
    std::filesystem::remove(path);
}

void BM_PaginatePawkWithPictures(benchmark::State& state) {
    Paginate(state, true);
}
void BM_PaginatePawkWithoutPictures(benchmark::State& state) {
    Paginate(state, false);
}

BENCHMARK(BM_PaginatePawkWithPictures)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaginatePawkWithoutPictures)->Unit(benchmark::kMillisecond);

}  // namespace
