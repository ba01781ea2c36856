// Writing EPUB books from the bash manual's LIT fixture (550 KB of markup in 39 files and a
// non-linear page, one picture: the cover): the markup's conversion to XHTML alone (its
// throughput), writing the converted book alone, and the whole way from the LIT file to the
// EPUB file, as converting a book takes it. A generated 10 MB book measures the conversion on
// more text than any fixture holds. The export the tool and Wickstand use is measured in the
// process (from the opened book's document) and as the whole "pagewick convert" process.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchProcess.h"
#include "builder/EpubExport.h"
#include "engine/BookEngine.h"
#include "formats/LitBook.h"
#include "formats/epub/EpubWriter.h"
#include "formats/epub/XhtmlFromMarkup.h"

namespace {

using namespace pagewick;

const std::string kBashManual = std::string(PAGEWICK_FIXTURES_DIR) + "/lit/bash-manual.lit";

class Scratch {
public:
    Scratch() {
        char folder[] = "/tmp/pagewick-bench-epub-write-XXXXXX";
        if (!mkdtemp(folder)) std::abort();
        folder_ = folder;
    }
    ~Scratch() { std::filesystem::remove_all(folder_); }
    std::filesystem::path operator/(const std::string& name) const { return folder_ / name; }

private:
    std::filesystem::path folder_;
};

const Scratch& Folder() {
    static const Scratch scratch;
    return scratch;
}

struct SourceFile {
    std::string path;
    std::string markup;
};

// The LIT book taken apart: one document per content file, its cover extracted to a file.
struct Source {
    std::vector<SourceFile> files;
    std::vector<ContentsEntry> contents;
    std::string coverPath;
    std::filesystem::path coverFile;
    EpubBookInfo info;
    size_t markupBytes = 0;
};

Source TakeApart(const std::string& path) {
    LitBookFile file;
    LitBook book;
    if (OpenLitBook(path, file, book) != 0) std::abort();
    Source source;
    for (const LitBook::ContentFile& f : book.Files()) {
        SourceFile s{f.path, std::string(f.end - f.start, '\0')};
        s.markup.resize(
            book.ReadMarkup(f.start, reinterpret_cast<uint8_t*>(s.markup.data()), s.markup.size()));
        source.markupBytes += s.markup.size();
        source.files.push_back(std::move(s));
    }
    BuildLitContents(book.Package(), source.contents, source.coverPath);
    if (!source.coverPath.empty()) {
        source.coverFile = Folder() / "cover-source";
        if (!book.ExtractPicture(source.coverPath, source.coverFile.string())) std::abort();
    }
    const LitMetadata& m = book.Metadata();
    source.info.title = LitLabelToUtf8(m.title.value_or(""));
    if (m.author) source.info.creators.push_back(LitLabelToUtf8(*m.author));
    source.info.publisher = LitLabelToUtf8(m.publisher.value_or(""));
    source.info.isbn = m.isbn.value_or("");
    source.info.language = "en";
    source.info.modified = 1700000000;
    return source;
}

EpubBook Convert(const Source& source) {
    EpubBook book;
    book.info = source.info;
    EpubNames names;
    std::string cover;
    if (!source.coverPath.empty()) cover = names.Resource(source.coverPath);
    XhtmlOptions options;
    options.picture = [&](std::string_view src) {
        return src == source.coverPath ? cover : std::string();
    };
    XhtmlFromMarkup converter(options);
    for (const SourceFile& f : source.files)
        converter.Add(names.Document(f.path), f.path, f.markup);
    converter.Finish();
    for (size_t i = 0; i < converter.Size(); ++i)
        book.documents.push_back(
            {converter.StoredName(i), converter.Title(i), converter.TakeBody(i)});
    for (const ContentsEntry& entry : source.contents) {
        if (entry.target == source.coverPath) continue;
        if (auto target = converter.Resolve(entry.target))
            book.contents.push_back(
                {entry.title, converter.StoredName(target->document), target->fragment, 0});
    }
    if (!cover.empty()) book.cover = EpubResource{cover, "", {}, source.coverFile};
    return book;
}

const Source& BashManual() {
    static const Source source = TakeApart(kBashManual);
    return source;
}

void BM_ConvertBashManualMarkup(benchmark::State& state) {
    const Source& source = BashManual();
    for (auto _ : state) {
        XhtmlFromMarkup converter;
        for (const SourceFile& f : source.files)
            converter.Add(f.path, f.path, f.markup);
        converter.Finish();
        benchmark::DoNotOptimize(converter.Body(0).data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(source.markupBytes));
    state.counters["documents"] = double(source.files.size());
}
BENCHMARK(BM_ConvertBashManualMarkup)->Unit(benchmark::kMillisecond);

// The argument is the deflate level.
void BM_WriteConvertedBashManual(benchmark::State& state) {
    const EpubBook book = Convert(BashManual());
    const std::filesystem::path target = Folder() / "bash-manual.epub";
    EpubWriteOptions options;
    options.compression = int(state.range(0));
    EpubWriter writer(options);
    for (auto _ : state)
        if (writer.Write(book, target) != EpubWriteResult::kOk) state.SkipWithError("write failed");
    state.counters["epub_bytes"] = double(std::filesystem::file_size(target));
}
BENCHMARK(BM_WriteConvertedBashManual)->Arg(1)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);

// What converting the book costs, from opening the LIT file to the renamed EPUB.
void BM_LitToEpubBashManual(benchmark::State& state) {
    const std::filesystem::path target = Folder() / "bash-manual-whole.epub";
    EpubWriter writer;
    for (auto _ : state) {
        const EpubBook book = Convert(TakeApart(kBashManual));
        if (writer.Write(book, target) != EpubWriteResult::kOk) state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_LitToEpubBashManual)->Unit(benchmark::kMillisecond);

// What `pagewick convert` does in its process: the book opened through its document, read,
// split, converted and written.
void BM_ExportBashManual(benchmark::State& state) {
    const std::filesystem::path target = Folder() / "bash-manual-export.epub";
    for (auto _ : state) {
        CBookEngine doc;
        doc.BookPath = kBashManual;
        doc.SourceKind = kSourceLit;
        if (!doc.PrepareSource()) {
            state.SkipWithError("the LIT book does not open");
            break;
        }
        EpubExportOutcome outcome = ExportEpub(doc, target);
        if (!outcome) state.SkipWithError("export failed");
        benchmark::DoNotOptimize(outcome.documents);
    }
}
BENCHMARK(BM_ExportBashManual)->Unit(benchmark::kMillisecond);

#ifdef PAGEWICK_CLI
// The whole process, as a person runs it (wall-clock; on a loaded machine take CPU time from
// perf stat or hyperfine beside it).
void BM_ConvertProcessBashManual(benchmark::State& state) {
    const std::string target = (Folder() / "bash-manual-process.epub").string();
    for (auto _ : state) {
        const double seconds =
            bench::RunProcess({PAGEWICK_CLI, "convert", kBashManual, "-o", target});
        if (seconds < 0) {
            state.SkipWithError("pagewick convert did not run");
            break;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_ConvertProcessBashManual)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif

// 10 MB of paragraphs with styles, links, references and the odd careless tag.
void BM_ConvertGeneratedMarkup(benchmark::State& state) {
    static const std::string markup = [] {
        const char* words[] = {"the",   "keeper", "lamp",  "harbour", "light", "of",
                               "night", "sea",    "ships", "storm",   "and",   "morning"};
        std::string text;
        uint32_t seed = 12345;
        int paragraph = 0;
        while (text.size() < (10u << 20)) {
            text += "<p id=p" + std::to_string(++paragraph) + ">";
            for (int w = 0; w < 60; ++w) {
                seed = seed * 1103515245u + 12345u;
                switch ((seed >> 8) % 23) {
                    case 0:
                        text += "<b>bold</b> ";
                        break;
                    case 1:
                        text += "<a href=#p" + std::to_string(paragraph / 2 + 1) + ">link</a> ";
                        break;
                    case 2:
                        text += "&eacute;&#8212; ";
                        break;
                    case 3:
                        text += "<i>open ";
                        break;
                    case 4:
                        text += "</i></span> ";
                        break;
                    default:
                        text += words[(seed >> 16) % 12];
                        text += ' ';
                }
            }
        }
        return text;
    }();
    for (auto _ : state)
        benchmark::DoNotOptimize(XhtmlBodyFromMarkup(markup).size());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(markup.size()));
}
BENCHMARK(BM_ConvertGeneratedMarkup)->Unit(benchmark::kMillisecond);

}  // namespace
