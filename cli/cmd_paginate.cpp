// pagewick paginate: measures every page of a book as the reader does and prints the page table.
#include <QGuiApplication>
#include <chrono>
#include <cstdio>

#include "cli/BookArgs.h"
#include "cli/commands.h"
#include "engine/FixedSurface.h"
#include "platform/qt/QtPictureDecoder.h"
#include "platform/qt/QtSurface.h"

namespace pagewick::cli {
namespace {

constexpr const char* kUsage =
    "paginate BOOK [--width W] [--height H] [--font-size PT] [--face NAME] [--encoding E] "
    "[--fixed-metrics] "
    "[--starts] [--lines] [--hyphenate LANG | --no-hyphenate] [--widows] "
    "[--join-lines auto|on|off]";

int RunPaginate(const std::vector<std::string>& args) {
    Options options(args);
    if (options.Flag("--help")) {
        std::printf(
            "usage: pagewick %s\n\nMeasures every page of the book and prints the page "
            "count, the last page\nand, with --starts, where each page starts; with --lines "
            "every line of every\npage as PAGE<TAB>LINE<TAB>TEXT, the text as drawn (a hyphen "
            "where a word was split).\n\n%s\n%s\n%s\n%s",
            kUsage, kPageSetupHelp, kFixedMetricsHelp, kTypographyHelp, kEncodingHelp);
        return 0;
    }
    bool ok = true;
    long width = options.TakeInt("--width", 480, ok);
    long height = options.TakeInt("--height", 640, ok);
    long fontSize = options.TakeInt("--font-size", kDesktopFontSize, ok);
    std::string face = options.Take("--face", kDesktopFace);
    bool fixed = options.Flag("--fixed-metrics");
    bool starts = options.Flag("--starts");
    bool lines = options.Flag("--lines");
    if (!ok || width < 40 || height < 40 || fontSize < 1 || fontSize > 200)
        return Fail(
            "paginate: --width and --height take whole numbers of 40 or more, "
            "--font-size 1 to 200");
    CommandLineHost host;
    CBookEngine doc;
    std::string error;
    if (!TakeEncoding(options, doc, error)) return Fail("paginate: " + error);
    int joinLines = -1;
    if (!TakeTypography(options, doc, joinLines, error)) return Fail("paginate: " + error);
    if (std::string problem = options.Problem(); !problem.empty())
        return Fail("paginate: " + problem);
    if (options.Rest().size() != 1) return Fail("usage: pagewick paginate BOOK [options]");

    std::unique_ptr<QGuiApplication> app;
    std::unique_ptr<DrawingSurface> surface;
    if (fixed) {
        surface = std::make_unique<FixedSurface>();
    } else {
        app = MakeGuiApplication();
        surface = std::make_unique<QtSurface>(96);
    }

    auto begin = std::chrono::steady_clock::now();
    QtPictureDecoder pictures;  // pictures take their room as they do when drawn
    doc.HostServices = &host;
    doc.Pictures = &pictures;
    ApplyDesktopLayout(doc, int32_t(width), int32_t(height), face, int(fontSize));
    if (!OpenBookArgument(doc, options.Rest()[0], error)) return Fail(error);
    if (joinLines >= 0) doc.JoinLines = joinLines;
    if (doc.Hyphenate && doc.HyphenationStatus() != DictionaryStatus::Ready)
        std::fprintf(stderr, "paginate: no hyphenation dictionary for \"%s\"\n",
                     doc.HyphenationTag().empty() ? SystemLanguageTag().c_str()
                                                  : doc.HyphenationTag().c_str());
    // Lines are printed as they are measured, page after page, each page once.
    if (lines)
        doc.LineSink = [](int32_t page, int32_t line, const std::string& text) {
            std::printf("%d\t%d\t%s\n", page + 1, line + 1, text.c_str());
        };
    doc.GetChar(0);  // the first window decides the character width before measuring
    doc.BuildWidthTable(surface.get());
    doc.PaginateTo(0x7fffffff);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();

    std::printf("pages: %zu\n", doc.PageStarts.size());
    std::printf("last_page: %d\n", doc.LastPage);
    std::printf("time: %.3f s\n", seconds);
    if (starts)
        for (int32_t start : doc.PageStarts)
            std::printf("start: %d\n", start);
    return 0;
}

CommandRegistrar registrar("paginate", kUsage, RunPaginate);

}  // namespace
}  // namespace pagewick::cli
