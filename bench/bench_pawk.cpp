// PAWK speed: writing a 20 MB book (deflate level 9 and the check by inflating again) against
// gzip -9 on the same bytes in the same run, reading the whole book window by window, random
// byte fetches across it as the engine makes them, and refusing books with damaged counts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "pawk/PawkByteFetch.h"
#include "pawk/PawkReader.h"
#include "pawk/PawkWriter.h"

using namespace pagewick;

namespace {

constexpr size_t kTextBytes = 20u << 20;
constexpr int kFiles = 20;  // twenty chapters of 1 MB

// Prose-like HTML: words made of syllables, sentences and paragraphs, so that it compresses
// about as well as a real book (not as well as a handful of repeated words).
std::string MakeText(size_t size, uint32_t seed) {
    static const char* kSyllables[] = {"an", "be", "cor", "dal", "en", "fra", "gi",  "hol",
                                       "in", "jo", "ka",  "lin", "mo", "ner", "o",   "pra",
                                       "qu", "ri", "sta", "te",  "u",  "ver", "wil", "yes"};
    std::mt19937 random(seed);
    std::string text;
    text.reserve(size + 64);
    text += "<html><body>";
    int inSentence = 0;
    while (text.size() < size) {
        if (random() % 90 == 0) text += "</p>\n<p>";
        int syllables = 1 + int(random() % 3);
        std::string word;
        for (int i = 0; i < syllables; ++i)
            word += kSyllables[random() % 24];
        if (inSentence == 0) word[0] = char(word[0] - 32);
        text += word;
        if (++inSentence > 6 + int(random() % 10)) {
            text += ". ";
            inSentence = 0;
        } else {
            text += random() % 12 == 0 ? ", " : " ";
        }
    }
    text.resize(size);
    return text;
}

// Real English: the plain-text renderings of the fixture books (about 700 KB), repeated; a
// repeat lies far outside deflate's 32 KB reach, so it gains nothing from it. Without the
// fixtures, made-up prose.
std::string SourceText() {
    std::string text;
    std::filesystem::path folder = std::filesystem::path(PAGEWICK_FIXTURES_DIR) / "lit";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == ".txt") {
            std::ifstream in(entry.path(), std::ios::binary);
            text.append(std::istreambuf_iterator<char>(in), {});
        }
    if (text.size() < 100000) return MakeText(kTextBytes, 1);
    std::string out;
    out.reserve(kTextBytes + text.size());
    while (out.size() < kTextBytes)
        out += text;
    out.resize(kTextBytes);
    return out;
}

struct Fixture {
    std::filesystem::path dir;
    std::vector<std::filesystem::path> chapters;
    std::filesystem::path all;   // the same 20 MB in one file, for gzip
    std::filesystem::path book;  // written once for the read benchmarks

    Fixture() {
        dir = std::filesystem::temp_directory_path() /
              ("pagewick-bench-pawk-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir);
        all = dir / "all.htm";
        const std::string text = SourceText();
        std::ofstream(all, std::ios::binary) << text;
        const size_t per = kTextBytes / kFiles;
        for (int i = 0; i < kFiles; ++i) {
            chapters.push_back(dir / ("chapter" + std::to_string(i) + ".htm"));
            std::ofstream(chapters.back(), std::ios::binary) << text.substr(size_t(i) * per, per);
        }
        book = dir / "book.pawk";
        if (!Writer().Write(book)) std::fprintf(stderr, "cannot write the benchmark book\n");
    }
    ~Fixture() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    PawkWriter Writer() const {
        PawkWriter w;
        w.title = "Benchmark";
        for (const auto& path : chapters) {
            std::string name = path.filename().string();
            w.files.push_back({name, path, std::nullopt});
            w.contents.push_back({0, name, name + "#"});
        }
        return w;
    }
};

Fixture& Data() {
    static Fixture fixture;
    return fixture;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Both in one run, alternating, so the ratio is not skewed by the machine's mood.
void BM_WriteBookAgainstGzip9(benchmark::State& state) {
    Fixture& f = Data();
    const PawkWriter writer = f.Writer();
    const auto out = f.dir / "written.pawk";
    const std::string gzip =
        "gzip -9 -c '" + f.all.string() + "' > '" + (f.dir / "all.gz").string() + "'";
    double pawk = 0, gz = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        if (!writer.Write(out)) state.SkipWithError("write failed");
        auto t1 = std::chrono::steady_clock::now();
        if (std::system(gzip.c_str()) != 0) state.SkipWithError("gzip failed");
        auto t2 = std::chrono::steady_clock::now();
        pawk += Seconds(t1 - t0);
        gz += Seconds(t2 - t1);
    }
    double n = double(state.iterations());
    state.counters["pawk_s"] = pawk / n;
    state.counters["gzip9_s"] = gz / n;
    state.counters["ratio"] = pawk / gz;
    state.counters["pawk_MB/s"] = double(kTextBytes) / (1 << 20) / (pawk / n);
    state.counters["gzip9_MB/s"] = double(kTextBytes) / (1 << 20) / (gz / n);
    state.counters["book_MB"] = double(std::filesystem::file_size(out)) / (1 << 20);
    state.counters["gz_MB"] = double(std::filesystem::file_size(f.dir / "all.gz")) / (1 << 20);
}
BENCHMARK(BM_WriteBookAgainstGzip9)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The whole book, one window after another, the file opened for each read as the engine does.
void BM_ReadWholeBookByWindows(benchmark::State& state) {
    Fixture& f = Data();
    PawkReader reader;
    {
        PawkDiskFile file(f.book);
        if (!reader.Open(file)) {
            state.SkipWithError("cannot open the book");
            return;
        }
    }
    std::vector<uint8_t> buffer(kPawkMaxChunk);
    int64_t windows = 0;
    for (auto _ : state) {
        for (int32_t pos = 0; pos < reader.BookLength();) {
            PawkDiskFile file(f.book);
            PawkReader::Window w;
            if (!reader.ReadWindow(file, pos, buffer, w) || w.length <= 0) {
                state.SkipWithError("window read failed");
                return;
            }
            benchmark::DoNotOptimize(buffer.data());
            pos = w.start + w.length;
            ++windows;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * reader.BookLength());
    state.counters["windows/s"] = benchmark::Counter(double(windows), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadWholeBookByWindows)->Unit(benchmark::kMillisecond)->UseRealTime();

// Byte fetches at random positions across the book: nearly every one needs a new window.
void BM_RandomByteAt(benchmark::State& state) {
    Fixture& f = Data();
    PawkByteFetch fetch(f.book);
    fetch.ByteAt(0);  // opens the book
    const int32_t length = fetch.Reader().BookLength();
    std::mt19937 random(7);
    const int64_t before = fetch.WindowReads();
    for (auto _ : state)
        benchmark::DoNotOptimize(fetch.ByteAt(int32_t(random() % uint32_t(length))));
    state.counters["windows/s"] =
        benchmark::Counter(double(fetch.WindowReads() - before), benchmark::Counter::kIsRate);
    state.counters["window_size"] = fetch.WindowSize();
}
BENCHMARK(BM_RandomByteAt)->UseRealTime();

// Opening a small book with one field of its head and tables overwritten by a huge, negative or
// too-large value, at every 4-byte position in turn: a damaged count must be refused at once,
// never looped over.
void BM_OpenDamagedBook(benchmark::State& state) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("pagewick-bench-small-" + std::to_string(std::random_device{}()) + ".pawk");
    PawkWriter w;
    w.title = "Small";
    w.author = "Someone";
    for (int i = 0; i < 3; ++i) {
        const std::string name = "ch" + std::to_string(i) + ".htm";
        const std::string text = MakeText(2000, uint32_t(i));
        w.files.push_back({name, {}, std::vector<uint8_t>(text.begin(), text.end())});
        w.contents.push_back({0, name, name + "#"});
    }
    if (!w.Write(path)) {
        state.SkipWithError("cannot write the small book");
        return;
    }
    std::vector<uint8_t> good;
    {
        std::ifstream in(path, std::ios::binary);
        good.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::filesystem::remove(path);
    const size_t fields = std::min<size_t>(good.size(), 512) / 4;
    int64_t opens = 0, accepted = 0;
    for (auto _ : state) {
        for (size_t field = 0; field < fields; ++field)
            for (uint32_t value : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, uint32_t(good.size())}) {
                std::vector<uint8_t> bad = good;
                for (int i = 0; i < 4; ++i)
                    bad[field * 4 + size_t(i)] = uint8_t(value >> (8 * i));
                PawkMemoryFile file(bad);
                PawkReader reader;
                accepted += reader.Open(file);
                ++opens;
            }
    }
    state.counters["opens/s"] = benchmark::Counter(double(opens), benchmark::Counter::kIsRate);
    state.counters["accepted"] = double(accepted) / double(state.iterations());
}
BENCHMARK(BM_OpenDamagedBook)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
