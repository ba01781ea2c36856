// The eBook builder: a PAWK book built from a 20 MB plain text (read, prepared by the text chain,
// put aside and written) against the PAWK writer alone on the same bytes, alternating in one run;
// the same text built from UTF-8 beside Windows-1252 (the cost of reading a source as UTF-8);
// and converting the largest LIT fixture book.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "builder/BookBuilder.h"
#include "pawk/PawkWriter.h"
#include "platform/ConsoleHost.h"
#include "util/Cp1252.h"

using namespace pagewick;
namespace fs = std::filesystem;

namespace {

constexpr size_t kTextBytes = 20u << 20;

struct Fixture {
    fs::path dir, text, cp1252;
    Fixture() {
        dir = fs::temp_directory_path() /
              ("pagewick-bench-builder-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir);
        // Real English with its line ends: the plain-text renderings of the fixture books.
        std::string english;
        for (const auto& e : fs::directory_iterator(fs::path(PAGEWICK_FIXTURES_DIR) / "lit"))
            if (e.path().extension() == ".txt") {
                std::ifstream in(e.path(), std::ios::binary);
                english.append(std::istreambuf_iterator<char>(in), {});
            }
        std::string out;
        out.reserve(kTextBytes + english.size());
        while (out.size() < kTextBytes)
            out += english;
        out.resize(kTextBytes);
        // The renderings are UTF-8 with accents, dashes and quotes: cut on a character.
        while (!out.empty() && (uint8_t(out.back()) & 0xC0) == 0x80)
            out.pop_back();
        if (!out.empty() && uint8_t(out.back()) >= 0xC0) out.pop_back();
        text = dir / "novel.txt";
        std::ofstream(text, std::ios::binary) << out;
        cp1252 = dir / "novel-1252.txt";
        std::ofstream(cp1252, std::ios::binary) << Utf8ToCodePageLabel(out);
    }
    ~Fixture() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
};

Fixture& Data() {
    static Fixture f;
    return f;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void BM_BuildTextAgainstWriterAlone(benchmark::State& state) {
    Fixture& f = Data();
    std::FILE* quiet = std::fopen("/dev/null", "w");
    ConsoleHost host(f.dir / "settings.conf", quiet);
    host.SetAnswer(MessageAnswer::Yes);
    PawkWriter writer;
    writer.title = "Writer";
    writer.files.push_back({"novel.txt", f.text, std::nullopt});
    double build = 0, alone = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        BookRequest request{{f.text.string()}, "Novel", "", false, nullptr, f.dir / "built.pawk"};
        if (WriteBook(request, host).status != BuildStatus::Ok) state.SkipWithError("build failed");
        auto t1 = std::chrono::steady_clock::now();
        if (!writer.Write(f.dir / "alone.pawk")) state.SkipWithError("write failed");
        auto t2 = std::chrono::steady_clock::now();
        build += Seconds(t1 - t0);
        alone += Seconds(t2 - t1);
    }
    std::fclose(quiet);
    state.counters["build_s"] = build / double(state.iterations());
    state.counters["writer_s"] = alone / double(state.iterations());
    state.counters["ratio"] = build / alone;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTextBytes));
}
BENCHMARK(BM_BuildTextAgainstWriterAlone)->Unit(benchmark::kSecond)->Iterations(2);

void BM_BuildUtf8BesideCp1252(benchmark::State& state) {
    Fixture& f = Data();
    std::FILE* quiet = std::fopen("/dev/null", "w");
    ConsoleHost host(f.dir / "settings.conf", quiet);
    host.SetAnswer(MessageAnswer::Yes);
    double utf8 = 0, cp1252 = 0;
    for (auto _ : state) {
        for (const fs::path& source : {f.text, f.cp1252}) {
            auto t0 = std::chrono::steady_clock::now();
            BookRequest request{{source.string()},       "Novel", "", false, nullptr,
                                f.dir / "encodings.pawk"};
            if (WriteBook(request, host).status != BuildStatus::Ok)
                state.SkipWithError("build failed");
            (source == f.text ? utf8 : cp1252) += Seconds(std::chrono::steady_clock::now() - t0);
        }
    }
    std::fclose(quiet);
    state.counters["utf8_s"] = utf8 / double(state.iterations());
    state.counters["cp1252_s"] = cp1252 / double(state.iterations());
    state.counters["ratio"] = utf8 / cp1252;
}
BENCHMARK(BM_BuildUtf8BesideCp1252)->Unit(benchmark::kSecond)->Iterations(2);

void BM_ConvertLargestLit(benchmark::State& state) {
    Fixture& f = Data();
    fs::path largest;
    for (const auto& e : fs::directory_iterator(fs::path(PAGEWICK_FIXTURES_DIR) / "lit"))
        if (e.path().extension() == ".lit" &&
            (largest.empty() || fs::file_size(e.path()) > fs::file_size(largest)))
            largest = e.path();
    std::FILE* quiet = std::fopen("/dev/null", "w");
    ConsoleHost host(f.dir / "settings.conf", quiet);
    host.SetAnswer(MessageAnswer::Yes);
    for (auto _ : state) {
        LitSource lit;
        if (OpenLitSource(largest.string(), lit) != LitSourceStatus::Ok)
            state.SkipWithError("cannot convert");
        BookRequest request{{}, lit.title, lit.author, false, &lit, f.dir / "lit.pawk"};
        if (WriteBook(request, host).status != BuildStatus::Ok) state.SkipWithError("build failed");
    }
    std::fclose(quiet);
    state.SetLabel(largest.filename().string());
}
BENCHMARK(BM_ConvertLargestLit)->Unit(benchmark::kMillisecond);

}  // namespace
