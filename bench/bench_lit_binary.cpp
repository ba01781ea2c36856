// Throughput of the compiled-markup decoder, in compiled input bytes per second: every content
// file of the largest fixture book, decoded into a sink that only counts (as when a book is
// measured) and into one that keeps the markup.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/LitBook.h"
#include "formats/lit/LitBinary.h"
#include "formats/lit/LitContainer.h"

namespace {

using namespace pagewick;

const std::string kFixtures = PAGEWICK_FIXTURES_DIR;

struct Book {
    LitManifestGroups manifest;
    std::vector<std::vector<uint8_t>> files;  // compiled content files in reading order
    size_t bytes = 0;
};

// A book file in memory, read through the container's callback.
struct MemoryBook {
    std::vector<uint8_t> bytes;
    static bool Read(void* user, uint32_t offset, uint32_t count, std::vector<uint8_t>& out) {
        const auto* self = static_cast<const MemoryBook*>(user);
        if (uint64_t(offset) + count > self->bytes.size()) return false;
        out.assign(self->bytes.begin() + offset, self->bytes.begin() + offset + count);
        return true;
    }
};

// The content files of the largest fixture book (tools-pages), in reading order.
const Book& LargestBook() {
    static const Book book = [] {
        Book b;
        MemoryBook file;
        std::ifstream in(kFixtures + "/lit/tools-pages.lit", std::ios::binary);
        file.bytes.assign(std::istreambuf_iterator<char>(in), {});
        LitContainer lit;
        if (lit.LitOpen(&MemoryBook::Read, &file, uint32_t(file.bytes.size())) != 0) return b;
        std::vector<uint8_t> manifest;
        LitManifest parsed;
        if (lit.LitGetEntry("/manifest", &manifest, nullptr) != 0 ||
            ParseLitManifest(manifest, parsed) != 0)
            return b;
        for (size_t group = 0; group < parsed.size(); ++group)
            for (const LitManifestEntry& e : parsed[group])
                b.manifest[group].push_back({e.id, e.path});
        for (size_t group : {0u, 1u}) {
            for (const LitLinkTarget& t : b.manifest[group]) {
                std::vector<uint8_t> data;
                if (lit.LitGetEntry("/data/" + t.id + "/content", &data, nullptr) != 0) continue;
                b.bytes += data.size();
                b.files.push_back(std::move(data));
            }
        }
        return b;
    }();
    return book;
}

void Decode(benchmark::State& state, const Book& book, bool keep) {
    if (book.files.empty()) {
        state.SkipWithError("fixture book not found");
        return;
    }
    std::string markup;
    size_t produced = 0;
    const LitOutputSink sink = [&](const char* text, size_t length) {
        produced += length;
        if (keep) markup.append(text, length);
        return static_cast<long>(length);
    };
    for (auto _ : state) {
        markup.clear();
        produced = 0;
        for (const auto& file : book.files) {
            const long r =
                DecodeLitBinary(file, 0, file.size(), LitDecodeMode::Html, &book.manifest, sink);
            if (r < 0) state.SkipWithError("decoding failed");
        }
        benchmark::DoNotOptimize(produced);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * book.bytes));
    state.counters["markup_bytes"] = static_cast<double>(produced);
    state.counters["compiled_bytes"] = static_cast<double>(book.bytes);
}

void BM_LargestBookCount(benchmark::State& state) {
    Decode(state, LargestBook(), false);
}
void BM_LargestBookKeep(benchmark::State& state) {
    Decode(state, LargestBook(), true);
}
BENCHMARK(BM_LargestBookCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargestBookKeep)->Unit(benchmark::kMillisecond);

}  // namespace
