// Printing to PDF: a 300-page range of a PAWK book with pictures, A4 at 300 dpi, through the
// print job inside the process and as the whole "pagewick print" process. The layouts counter
// shows that each page is measured once and drawn once, whatever its number.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPrinter>
#include <filesystem>

#include "bench/BenchProcess.h"
#include "engine/PrintJob.h"
#include "pawk/PawkWriter.h"
#include "platform/qt/QtPictureDecoder.h"
#include "platform/qt/QtSurface.h"
#include "platform/qtprint/QtPrintOutput.h"
#include "tests/support/QtPng.h"

namespace {

using namespace pagewick;
namespace fs = std::filesystem;

QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "bench_print";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
    return app;
}

// Some 320 A4 pages: paragraphs of prose with a picture every 40 paragraphs, in ten chapters.
fs::path Book() {
    static fs::path path = [] {
        PawkWriter w;
        w.title = "Bench";
        w.files.push_back({"pic.png", {}, test::SolidPng(120, 90, Qt::darkCyan)});
        for (int c = 0; c < 10; ++c) {
            std::string text = "<newpage><p><b>Chapter " + std::to_string(c + 1) + "</b></p>";
            for (int i = 0; i < 700; ++i) {
                if (i % 40 == 0) text += "<p><img src=\"pic.png\"></p>";
                text +=
                    "<p>The reader turns a page and finds another chapter waiting, quiet as "
                    "snow, paragraph " +
                    std::to_string(i) + " of chapter " + std::to_string(c + 1) + ".</p>";
            }
            std::string name = "ch" + std::to_string(c) + ".htm";
            w.files.push_back({name, {}, std::vector<uint8_t>(text.begin(), text.end())});
            w.contents.push_back({0, "Chapter " + std::to_string(c + 1), name + "#"});
        }
        fs::path p = fs::temp_directory_path() / "pagewick-bench-print.pawk";
        w.Write(p);
        return p;
    }();
    return path;
}

void BM_Print300PagesInProcess(benchmark::State& state) {
    App();
    const std::string out = (fs::temp_directory_path() / "pagewick-bench-print.pdf").string();
    QtPictureDecoder pictures;
    QtSurface screen(96);
    uint64_t layouts = 0;
    int32_t pages = 0;
    for (auto _ : state) {
        CBookEngine doc;
        doc.BookPath = Book().string();
        doc.SourceKind = kSourcePawk;
        doc.Pictures = &pictures;
        doc.LeftEdge = doc.TopEdge = 8;
        doc.RightEdge = 472;
        doc.PageHeight = 640;
        doc.Leading = 2;
        doc.ParagraphSpacing = 3;
        doc.TabSize = 4;
        doc.Justified = 1;  // the desktop reader's defaults, as pagewick print uses them
        doc.ShowPositionBar = 1;
        doc.ShowPageNumber = 1;
        doc.SetReadingFont("Arial", 14);
        doc.PrepareSource();
        doc.GetChar(0);
        QPrinter printer(QPrinter::HighResolution);
        std::string error;
        SetUpPdfPrinter(printer, out, "A4", 300, error);
        QtPrintOutput output(printer);
        PrintJob job(doc, output, ScreenLayout{&screen, 8, 8});
        const uint64_t before = doc.LayoutCount;
        if (!job.PrintPages(1, 300)) {
            state.SkipWithError(job.Message().c_str());
            break;
        }
        layouts += doc.LayoutCount - before;
        pages += job.PagesPrinted();
    }
    state.counters["pages/s"] = benchmark::Counter(double(pages), benchmark::Counter::kIsRate);
    state.counters["layouts/page"] = pages ? double(layouts) / pages : 0;
}
BENCHMARK(BM_Print300PagesInProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

#ifdef PAGEWICK_CLI
// The whole process, from start to the PDF file written.
void BM_Print300PagesProcess(benchmark::State& state) {
    const std::string book = Book().string();
    std::string out = (fs::temp_directory_path() / "pagewick-bench-print-cli.pdf").string();
    for (auto _ : state) {
        double t = bench::RunProcess({PAGEWICK_CLI, "print", book, "-o", out, "--pages", "1-300"});
        if (t < 0) {
            state.SkipWithError("pagewick print did not run");
            break;
        }
        state.SetIterationTime(t);
    }
}
BENCHMARK(BM_Print300PagesProcess)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

}  // namespace
