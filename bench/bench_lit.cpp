// LZX decoding throughput on the largest fixture stream, and opening the largest fixture book
// and fetching every entry.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/lit/LitContainer.h"
#include "formats/lit/Lzx.h"

namespace {

using pagewick::LitContainer;
using pagewick::LzxDecoder;

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) |
           (uint32_t(b[at + 3]) << 24);
}

// The largest of the fixture streams by decoded size.
std::filesystem::path LargestStream() {
    std::filesystem::path best;
    uintmax_t bestSize = 0;
    for (const auto& d : std::filesystem::directory_iterator(
             std::filesystem::path(PAGEWICK_FIXTURES_DIR) / "lzx")) {
        auto expected = d.path() / "expected.bin";
        if (std::filesystem::exists(expected) && std::filesystem::file_size(expected) > bestSize) {
            bestSize = std::filesystem::file_size(expected);
            best = d.path();
        }
    }
    return best;
}

void DecodeStream(benchmark::State& state, const std::filesystem::path& dir) {
    const auto content = ReadFile(dir / "content.bin");
    const auto control = ReadFile(dir / "control.bin");
    const auto table = ReadFile(dir / "reset_table.bin");
    const auto expected = ReadFile(dir / "expected.bin");
    if (content.empty() || table.size() < 40 || control.size() < 16) {
        state.SkipWithError("fixture stream missing");
        return;
    }
    int log = 0;
    while ((Le32(control, 12) >> (log + 1)) != 0)
        ++log;
    const int bits = 15 + log;
    const uint32_t window = 1u << bits;
    const uint32_t header = Le32(table, 12), length = Le32(table, 16), interval = Le32(table, 32);
    const size_t entries = (table.size() - header) / 8;
    std::vector<uint8_t> out(length);
    LzxDecoder lzx;
    for (auto _ : state) {
        lzx.LzxSetWindow(bits);
        size_t inPos = 0, outPos = 0;
        for (size_t e = window / interval; e < entries && length - outPos >= window;
             e += window / interval) {
            size_t to = Le32(table, header + 8 * e);
            lzx.LzxReset();
            lzx.LzxDecode(content.data() + inPos, to - inPos, out.data() + outPos, window);
            inPos = to;
            outPos += window;
        }
        lzx.LzxReset();
        lzx.LzxDecode(content.data() + inPos, content.size() - inPos, out.data() + outPos,
                      length - outPos);
        benchmark::DoNotOptimize(out.data());
    }
    if (out != expected) state.SkipWithError("decoded bytes differ from the fixture");
    state.SetLabel(dir.filename().string());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(length));
}
void BM_LzxDecodeLargestStream(benchmark::State& state) {
    DecodeStream(state, LargestStream());
}
BENCHMARK(BM_LzxDecodeLargestStream)->Unit(benchmark::kMillisecond);

// The other encoder's largest stream, for comparison.
void BM_LzxDecodeChmBash(benchmark::State& state) {
    DecodeStream(state, std::filesystem::path(PAGEWICK_FIXTURES_DIR) / "lzx" / "chm-bash");
}
BENCHMARK(BM_LzxDecodeChmBash)->Unit(benchmark::kMillisecond);

struct Memory {
    const std::vector<uint8_t>* bytes;
    static bool Read(void* user, uint32_t offset, uint32_t count, std::vector<uint8_t>& out) {
        const auto& b = *static_cast<Memory*>(user)->bytes;
        if (uint64_t(offset) + count > b.size()) return false;
        out.assign(b.begin() + offset, b.begin() + offset + count);
        return true;
    }
};

void BM_LitOpenAndFetchEveryEntry(benchmark::State& state) {
    std::filesystem::path best;
    uintmax_t bestSize = 0;
    for (const auto& f : std::filesystem::directory_iterator(
             std::filesystem::path(PAGEWICK_FIXTURES_DIR) / "lit")) {
        if (f.path().extension() == ".lit" && f.file_size() > bestSize) {
            bestSize = f.file_size();
            best = f.path();
        }
    }
    const auto bytes = ReadFile(best);
    Memory memory{&bytes};
    std::vector<uint8_t> data;
    size_t fetched = 0;
    for (auto _ : state) {
        LitContainer lit;
        if (lit.LitOpen(&Memory::Read, &memory, uint32_t(bytes.size())) != 0) {
            state.SkipWithError("book did not open");
            return;
        }
        fetched = 0;
        for (const auto& e : lit.Entries()) {
            if (lit.LitGetEntry(e.name, &data, nullptr) == 0) fetched += data.size();
        }
        benchmark::DoNotOptimize(fetched);
    }
    state.SetLabel(best.filename().string());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fetched));
}
BENCHMARK(BM_LitOpenAndFetchEveryEntry)->Unit(benchmark::kMillisecond);

}  // namespace
