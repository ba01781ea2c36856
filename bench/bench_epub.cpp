// EPUB books in the codec: opening (container, package and contents only; no content file is
// inflated), a jump to three quarters of the book, and reading every content file, for the
// largest fixture book and a generated book of 200 chapters and 10 MB of text.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchProcess.h"
#include "formats/epub/EpubPackage.h"

namespace {

using namespace pagewick;

const std::string kLargest = std::string(PAGEWICK_FIXTURES_DIR) + "/epub/tools-pages3.epub";

// 200 chapters of about 52 KB of words each, with an NCX, written once by libzip. With
// PAGEWICK_BENCH_KEEP naming a folder, the book and its HTML twin are written there and kept, for
// whole-process runs of the tool under a profiler (e.g. with --benchmark_filter=Open).
class GeneratedBook {
public:
    GeneratedBook() {
        if (const char* keep = std::getenv("PAGEWICK_BENCH_KEEP"); keep && *keep) {
            folder_ = keep;
            keep_ = true;
            std::filesystem::create_directories(folder_);
        } else {
            char folder[] = "/tmp/pagewick-bench-epub-XXXXXX";
            if (!mkdtemp(folder)) std::abort();
            folder_ = folder;
        }
        path_ = folder_ + "/generated.epub";
        const char* words[] = {"the",   "keeper", "lamp",  "harbour", "light", "of",
                               "night", "sea",    "ships", "storm",   "and",   "morning"};
        std::vector<std::string> members;  // kept alive until the archive is closed
        std::string manifest, spine, points;
        // The same text as one HTML file, beside the book, for the pagination yardstick.
        std::string html = "<html><head><title>Generated</title></head><body>";
        uint32_t seed = 12345;
        for (int i = 1; i <= 200; ++i) {
            const std::string n = std::to_string(i);
            std::string text = "<?xml version=\"1.0\"?><html><body><h1>Chapter " + n + "</h1><p>";
            while (text.size() < 52000) {
                seed = seed * 1103515245u + 12345u;
                text += words[(seed >> 16) % 12];
                text += (seed >> 8) % 17 == 0 ? ".</p><p>" : " ";
            }
            text += "</p></body></html>";
            const size_t body = text.find("<body>") + 6;
            html.append(text, body, text.size() - body - 14);
            members.push_back(std::move(text));
            manifest += "<item id=\"c" + n + "\" href=\"c" + n +
                        ".xhtml\" media-type=\"application/xhtml+xml\"/>";
            spine += "<itemref idref=\"c" + n + "\"/>";
            points += "<navPoint><navLabel><text>Chapter " + n +
                      "</text></navLabel><content src=\"c" + n + ".xhtml\"/></navPoint>";
        }
        members.push_back(
            "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" "
            "version=\"2.0\"><metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
            "<dc:title>Generated</dc:title></metadata><manifest>" +
            manifest +
            "<item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>"
            "</manifest><spine toc=\"ncx\">" +
            spine + "</spine></package>");
        members.push_back("<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\"><navMap>" + points +
                          "</navMap></ncx>");
        members.push_back(
            "<?xml version=\"1.0\"?><container version=\"1.0\" "
            "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles><rootfile "
            "full-path=\"OEBPS/content.opf\" media-type=\"application/oebps-package+xml\"/>"
            "</rootfiles></container>");
        int error = 0;
        zip_t* z = zip_open(path_.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        if (!z) std::abort();
        auto add = [z](const std::string& name, const std::string& data) {
            zip_source_t* source = zip_source_buffer(z, data.data(), data.size(), 0);
            if (zip_file_add(z, name.c_str(), source, 0) < 0) std::abort();
        };
        add("mimetype", "application/epub+zip");
        add("META-INF/container.xml", members[202]);
        add("OEBPS/content.opf", members[200]);
        add("OEBPS/toc.ncx", members[201]);
        for (int i = 0; i < 200; ++i)
            add("OEBPS/c" + std::to_string(i + 1) + ".xhtml", members[size_t(i)]);
        if (zip_close(z) != 0) std::abort();
        htmlPath_ = folder_ + "/generated.htm";
        std::FILE* out = std::fopen(htmlPath_.c_str(), "wb");
        html += "</body></html>";
        if (!out || std::fwrite(html.data(), 1, html.size(), out) != html.size()) std::abort();
        std::fclose(out);
    }
    ~GeneratedBook() {
        if (!keep_) std::filesystem::remove_all(folder_);
    }
    const std::string& Path() const { return path_; }
    const std::string& HtmlPath() const { return htmlPath_; }
    const std::string& Folder() const { return folder_; }

private:
    std::string folder_, path_, htmlPath_;
    bool keep_ = false;
};

const GeneratedBook& GeneratedFiles() {
    static GeneratedBook book;
    return book;
}

const std::string& Generated() {
    return GeneratedFiles().Path();
}

void Open(benchmark::State& state, const std::string& path) {
    uint64_t inflated = 0, text = 0;
    for (auto _ : state) {
        EpubPackage book;
        if (book.Open(path) != EpubResult::kOk) {
            state.SkipWithError("the book did not open");
            return;
        }
        inflated = book.Archive().Inflations();
        text = book.TotalSize();
        benchmark::DoNotOptimize(book.Contents().size());
    }
    state.counters["members_inflated"] = double(inflated);
    state.counters["text_MB"] = double(text) / (1 << 20);
    state.counters["file_MB"] = double(std::filesystem::file_size(path)) / (1 << 20);
}

void JumpToThreeQuarters(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        EpubPackage book;
        if (book.Open(path) != EpubResult::kOk) {
            state.SkipWithError("the book did not open");
            return;
        }
        std::shared_ptr<const std::string> bytes;
        if (book.Content(book.SpineIndexAt(book.TotalSize() * 3 / 4), bytes) != EpubResult::kOk) {
            state.SkipWithError("the content file did not read");
            return;
        }
        benchmark::DoNotOptimize(bytes->size());
    }
}

void ReadEveryFile(benchmark::State& state, const std::string& path) {
    EpubPackage book;
    if (book.Open(path) != EpubResult::kOk) {
        state.SkipWithError("the book did not open");
        return;
    }
    for (auto _ : state) {
        for (size_t i = 0; i < book.Spine().size(); ++i) {
            std::shared_ptr<const std::string> bytes;
            book.Content(i, bytes);
            benchmark::DoNotOptimize(bytes);
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(book.TotalSize()));
}

void BM_EpubOpenLargestFixture(benchmark::State& state) {
    Open(state, kLargest);
}
void BM_EpubOpenGenerated10MB(benchmark::State& state) {
    Open(state, Generated());
}
void BM_EpubJumpTo75PercentLargestFixture(benchmark::State& state) {
    JumpToThreeQuarters(state, kLargest);
}
void BM_EpubJumpTo75PercentGenerated10MB(benchmark::State& state) {
    JumpToThreeQuarters(state, Generated());
}
void BM_EpubReadEveryFileGenerated10MB(benchmark::State& state) {
    ReadEveryFile(state, Generated());
}

#ifdef PAGEWICK_CLI
using bench::RunProcess;

// The whole tool on the generated book: its first page drawn into a PNG (opening, the first
// content file, the fonts), every page measured beside the same text as one HTML file (peak
// memory as a counter), and its text.
void BM_EpubProcessFirstPageDrawn(benchmark::State& state) {
    const std::string png = GeneratedFiles().Folder() + "/first.png";
    for (auto _ : state) {
        double t = RunProcess({PAGEWICK_CLI, "render", Generated(), "--page", "1", "-o", png});
        if (t < 0) {
            state.SkipWithError("pagewick render did not run");
            break;
        }
        state.SetIterationTime(t);
    }
}
BENCHMARK(BM_EpubProcessFirstPageDrawn)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_EpubProcessPaginateBesideHtml(benchmark::State& state) {
    double epub = 0, html = 0;
    long epubPeak = 0, htmlPeak = 0;
    for (auto _ : state) {
        long peak = 0, htmlKb = 0;
        double e = RunProcess({PAGEWICK_CLI, "paginate", Generated(), "--fixed-metrics"}, &peak);
        double h = RunProcess(
            {PAGEWICK_CLI, "paginate", GeneratedFiles().HtmlPath(), "--fixed-metrics"}, &htmlKb);
        if (e < 0 || h < 0) {
            state.SkipWithError("pagewick paginate did not run");
            break;
        }
        state.SetIterationTime(e);
        epub += e;
        html += h;
        epubPeak = std::max(epubPeak, peak);
        htmlPeak = std::max(htmlPeak, htmlKb);
    }
    if (epub > 0 && html > 0) {
        state.counters["html_ms"] = html * 1e3 / double(state.iterations());
        state.counters["ratio_to_html"] = epub / html;
        state.counters["peak_MB"] = double(epubPeak) / 1024;
        state.counters["html_peak_MB"] = double(htmlPeak) / 1024;
    }
}
BENCHMARK(BM_EpubProcessPaginateBesideHtml)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_EpubProcessText(benchmark::State& state) {
    long peak = 0;
    for (auto _ : state) {
        double t = RunProcess({PAGEWICK_CLI, "text", Generated()}, &peak);
        if (t < 0) {
            state.SkipWithError("pagewick text did not run");
            break;
        }
        state.SetIterationTime(t);
    }
    state.counters["peak_MB"] = double(peak) / 1024;
}
BENCHMARK(BM_EpubProcessText)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif

BENCHMARK(BM_EpubOpenLargestFixture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EpubOpenGenerated10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EpubJumpTo75PercentLargestFixture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EpubJumpTo75PercentGenerated10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EpubReadEveryFileGenerated10MB)->Unit(benchmark::kMillisecond);

}  // namespace
