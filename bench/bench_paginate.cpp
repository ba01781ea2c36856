// Pagination throughput: whole books measured page by page with fixed metrics, from a plain
// file, an HTML file and a ZIP member; and the whole "pagewick paginate --fixed-metrics" process
// beside "fold -s -w 66" on the same 10 MB text, as a yardstick that any machine has; the whole
// "pagewick help" beside "true"; and the whole "pagewick text" process on the largest LIT
// fixture book.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <zip.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bench/BenchBook.h"
#include "bench/BenchProcess.h"
#include "engine/BookEngine.h"
#include "engine/FixedSurface.h"

namespace {

using namespace pagewick;

std::string MakeText(size_t bytes, bool html) {
    std::string text = html ? "<html><head><title>Bench</title></head><body>" : "";
    const char* words[] = {"the",     "reader",  "turns",    "a",     "page", "and",  "finds",
                           "another", "chapter", "waiting,", "quiet", "as",   "snow."};
    for (size_t i = 0; text.size() < bytes; ++i) {
        if (html && i % 97 == 0) text += i % 3 ? "<p>" : "<p><b>bold</b> <i>words</i> &amp; ";
        text += words[(i * 7) % 13];
        text += (i % 61 == 60 && !html) ? "\n" : " ";
    }
    return text;
}

std::filesystem::path WriteBook(const std::string& name, const std::string& text) {
    auto path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

void Paginate(benchmark::State& state, int kind, bool html) {
    const size_t size = 4 << 20;
    std::string text = MakeText(size, html);
    auto path = WriteBook(html ? "pagewick-bench.htm" : "pagewick-bench.txt", text);
    std::string zipPath = (std::filesystem::temp_directory_path() / "pagewick-bench.zip").string();
    if (kind == kSourceZip) {
        int error = 0;
        zip_t* z = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        zip_file_add(z, "book.txt", zip_source_buffer(z, text.data(), text.size(), 0), 0);
        zip_close(z);
    }
    FixedSurface surface;
    size_t pages = 0;
    for (auto _ : state) {
        CBookEngine doc;
        doc.SourceKind = kind;
        doc.BookPath = kind == kSourceZip ? zipPath : path.string();
        doc.MemberName = "book.txt";
        bench::OpenOnBenchPage(doc, surface);
        doc.PaginateTo(0x7fffffff);
        pages = doc.PageStarts.size();
        benchmark::DoNotOptimize(pages);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.counters["pages/s"] =
        benchmark::Counter(double(pages) * double(state.iterations()), benchmark::Counter::kIsRate);
    std::filesystem::remove(path);
    std::filesystem::remove(zipPath);
}

void BM_PaginatePlainText(benchmark::State& state) {
    Paginate(state, kSourceText, false);
}
void BM_PaginateHtml(benchmark::State& state) {
    Paginate(state, kSourceText, true);
}
void BM_PaginateZipMember(benchmark::State& state) {
    Paginate(state, kSourceZip, false);
}

// A UTF-8 HTML book of Greek words, curly quotes, dashes and references, measured by the fixed
// rule and by one that gives every character its own width (as real fonts do: codes past the
// table measured once when first met, then looked up).
class OwnWidthSurface : public FixedSurface {
public:
    std::unique_ptr<CharacterMeasurer> MeasurerForWidths() override {
        struct Measurer : CharacterMeasurer {
            int Width(char16_t code) override { return 4 + code % 7; }
        };
        return std::make_unique<Measurer>();
    }
};

void PaginateWide(benchmark::State& state, DrawingSurface& surface) {
    std::string text = "<html><head><meta charset=\"utf-8\"><title>Bench</title></head><body>";
    const char* words[] = {
        "\xCE\xB7",
        "\xCE\xB2\xCE\xB9\xCE\xB2\xCE\xBB\xCE\xAF\xCE\xBF",
        "\xE2\x80\x9C\xCE\xB1\xCE\xBD\xCE\xBF\xCE\xAF\xCE\xB3\xCE\xB5\xCE\xB9\xE2\x80\x9D",
        "&mdash;",
        "&rsquo;page&rsquo;",
        "\xCF\x83\xCE\xB5\xCE\xBB\xCE\xAF\xCE\xB4\xCE\xB1",
        "caf&eacute;"};
    for (size_t i = 0; text.size() < (4u << 20); ++i) {
        if (i % 97 == 0) text += "<p>";
        text += words[(i * 5) % 7];
        text += ' ';
    }
    auto path = WriteBook("pagewick-bench-wide.htm", text);
    size_t pages = 0;
    for (auto _ : state) {
        CBookEngine doc;
        doc.BookPath = path.string();
        bench::OpenOnBenchPage(doc, surface);
        doc.PaginateTo(0x7fffffff);
        pages = doc.PageStarts.size();
        benchmark::DoNotOptimize(pages);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.counters["pages/s"] =
        benchmark::Counter(double(pages) * double(state.iterations()), benchmark::Counter::kIsRate);
    std::filesystem::remove(path);
}

void BM_PaginateUtf8HtmlFixedRule(benchmark::State& state) {
    FixedSurface surface;
    PaginateWide(state, surface);
}
void BM_PaginateUtf8HtmlOwnWidths(benchmark::State& state) {
    OwnWidthSurface surface;
    PaginateWide(state, surface);
}
BENCHMARK(BM_PaginateUtf8HtmlFixedRule)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaginateUtf8HtmlOwnWidths)->Unit(benchmark::kMillisecond);

#ifdef PAGEWICK_CLI
using bench::RunProcess;

// The time is the tool's; counters give both rates and the tool's time over fold's.
void BM_PaginateProcessBesideFold(benchmark::State& state) {
    std::string text = MakeText(10 << 20, false);
    std::string path = WriteBook("pagewick-bench-process.txt", text).string();
    double tool = 0, fold = 0;
    for (auto _ : state) {
        double t = RunProcess({PAGEWICK_CLI, "paginate", path, "--fixed-metrics"});
        double f = RunProcess({"fold", "-s", "-w", "66", path});
        if (t < 0 || f < 0) {
            state.SkipWithError("pagewick or fold did not run");
            break;
        }
        state.SetIterationTime(t);
        tool += t;
        fold += f;
    }
    const double mb = double(text.size()) / 1e6 * double(state.iterations());
    if (tool > 0 && fold > 0) {
        state.counters["pagewick_MB/s"] = mb / tool;
        state.counters["fold_MB/s"] = mb / fold;
        state.counters["ratio_to_fold"] = tool / fold;
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_PaginateProcessBesideFold)->UseManualTime()->Unit(benchmark::kMillisecond);

// "pagewick help", the whole process, beside "true": what starting the tool costs (the commands
// that draw nothing load no Qt library).
void BM_HelpProcessBesideTrue(benchmark::State& state) {
    double tool = 0, nothing = 0;
    for (auto _ : state) {
        double t = RunProcess({PAGEWICK_CLI, "help"});
        double n = RunProcess({"true"});
        if (t < 0 || n < 0) {
            state.SkipWithError("pagewick help or true did not run");
            break;
        }
        state.SetIterationTime(t);
        tool += t;
        nothing += n;
    }
    if (tool > 0 && nothing > 0) {
        state.counters["true_ms"] = nothing * 1e3 / double(state.iterations());
        state.counters["ratio_to_true"] = tool / nothing;
    }
}
BENCHMARK(BM_HelpProcessBesideTrue)->UseManualTime()->Unit(benchmark::kMillisecond);

// "pagewick text" of the largest LIT fixture book, the whole process.
void BM_TextLitProcess(benchmark::State& state) {
    const std::string book = std::string(PAGEWICK_FIXTURES_DIR) + "/lit/tools-pages.lit";
    for (auto _ : state) {
        double t = RunProcess({PAGEWICK_CLI, "text", book});
        if (t < 0) {
            state.SkipWithError("pagewick text did not run");
            break;
        }
        state.SetIterationTime(t);
    }
}
BENCHMARK(BM_TextLitProcess)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif

BENCHMARK(BM_PaginatePlainText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaginateHtml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaginateZipMember)->Unit(benchmark::kMillisecond);

}  // namespace
