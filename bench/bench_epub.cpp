// EPUB books in the codec: opening (container, package and contents only; no content file is
// inflated), a jump to three quarters of the book, and reading every content file, for the
// largest fixture book and a generated book of 200 chapters and 10 MB of text.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/epub/EpubPackage.h"

namespace {

using namespace pagewick;

const std::string kLargest = std::string(PAGEWICK_FIXTURES_DIR) + "/epub/tools-pages3.epub";

// 200 chapters of about 52 KB of words each, with an NCX, written once by libzip.
class GeneratedBook {
public:
    GeneratedBook() {
        char folder[] = "/tmp/pagewick-bench-epub-XXXXXX";
        if (!mkdtemp(folder)) std::abort();
        folder_ = folder;
        path_ = folder_ + "/generated.epub";
        const char* words[] = {"the",   "keeper", "lamp",  "harbour", "light", "of",
                               "night", "sea",    "ships", "storm",   "and",   "morning"};
        std::vector<std::string> members;  // kept alive until the archive is closed
        std::string manifest, spine, points;
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
    }
    ~GeneratedBook() { std::filesystem::remove_all(folder_); }
    const std::string& Path() const { return path_; }

private:
    std::string folder_, path_;
};

const std::string& Generated() {
    static GeneratedBook book;
    return book.Path();
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

BENCHMARK(BM_EpubOpenLargestFixture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EpubOpenGenerated10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EpubJumpTo75PercentLargestFixture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EpubJumpTo75PercentGenerated10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EpubReadEveryFileGenerated10MB)->Unit(benchmark::kMillisecond);

}  // namespace
