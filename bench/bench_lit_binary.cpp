// Throughput of the compiled-markup decoder, in compiled input bytes per second: every content
// file of a fixture book, decoded into a sink that only counts (as when a book is measured) and
// into one that keeps the markup.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "formats/lit/LitBinary.h"

namespace {

using namespace pagewick;

const std::string kFixtures = PAGEWICK_FIXTURES_DIR;

std::vector<std::vector<std::string>> ReadTsv(const std::string& path) {
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');)
            fields.push_back(cell);
        rows.push_back(std::move(fields));
    }
    return rows;
}

struct Book {
    LitManifestGroups manifest;
    std::vector<std::vector<uint8_t>> files;  // compiled content files in reading order
    size_t bytes = 0;
};

// The content files of bash-manual, cut out of its compressed section as the fixture's LZX stream
// decodes it.
const Book& BashManual() {
    static const Book book = [] {
        Book b;
        std::ifstream in(kFixtures + "/lzx/lit-bash/expected.bin", std::ios::binary);
        const std::vector<uint8_t> section((std::istreambuf_iterator<char>(in)), {});
        std::map<std::string, std::pair<size_t, size_t>> where;
        for (const auto& row : ReadTsv(kFixtures + "/lit/bash-manual.entries.tsv")) {
            if (row.at(5) == "lzx") where[row[0]] = {std::stoull(row[2]), std::stoull(row[3])};
        }
        for (const auto& row : ReadTsv(kFixtures + "/lit/bash-manual.manifest.tsv")) {
            b.manifest.at(std::stoul(row.at(1))).push_back({row.at(4), row.at(5)});
        }
        for (size_t group : {0u, 1u}) {
            for (const LitLinkTarget& t : b.manifest[group]) {
                const auto it = where.find("/data/" + t.id + "/content");
                if (it == where.end()) continue;
                const auto [offset, size] = it->second;
                if (offset + size > section.size()) continue;
                b.files.emplace_back(section.begin() + offset, section.begin() + offset + size);
                b.bytes += size;
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

void BM_BashManualCount(benchmark::State& state) {
    Decode(state, BashManual(), false);
}
void BM_BashManualKeep(benchmark::State& state) {
    Decode(state, BashManual(), true);
}
BENCHMARK(BM_BashManualCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BashManualKeep)->Unit(benchmark::kMillisecond);

}  // namespace
