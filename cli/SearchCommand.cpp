// pagewick search BOOK PATTERN: one line per hit, "page N: CONTEXT", pages counted from 1 as
// render --page counts them. Exit status as grep's: 0 something found, 1 nothing, 2 an error.
#include <QGuiApplication>
#include <climits>
#include <cstdio>
#include <memory>

#include "cli/BookArgs.h"
#include "cli/commands.h"
#include "engine/FixedSurface.h"
#include "engine/Search.h"
#include "platform/qt/QtPictureDecoder.h"
#include "platform/qt/QtSurface.h"
#include "util/Utf8.h"

namespace pagewick::cli {
namespace {

constexpr const char* kUsage =
    "search BOOK PATTERN [--case] [--word] [--accents] [--max N] [--fixed-metrics] "
    "[--encoding E]";

int Error(const std::string& message) {
    Fail(message);
    return 2;
}

int RunSearch(const std::vector<std::string>& args) {
    Options options(args);
    if (options.Flag("--help")) {
        std::printf(
            "usage: pagewick %s\n\nFinds PATTERN in the book's text as its pages show it and "
            "prints one line per\nhit, \"page N: CONTEXT\", N counted from 1 as render --page "
            "counts. Case is\nfolded and accents count unless asked otherwise:\n"
            "  --case      match case\n"
            "  --word      whole words only\n"
            "  --accents   ignore accents (\"cafe\" finds \"caf\u00e9\")\n"
            "  --max N     stop after N hits\n"
            "Exit status: 0 when something was found, 1 when nothing was, 2 on an error.\n\n"
            "%s\n%s\n%s",
            kUsage, kPageSetupHelp, kFixedMetricsHelp, kEncodingHelp);
        return 0;
    }
    bool ok = true;
    MatchOptions match;
    match.matchCase = options.Flag("--case");
    match.wholeWords = options.Flag("--word");
    match.ignoreAccents = options.Flag("--accents");
    const long max = options.TakeInt("--max", LONG_MAX, ok);
    const bool fixed = options.Flag("--fixed-metrics");
    if (!ok || max < 1) return Error("search: --max takes a whole number of 1 or more");
    CommandLineHost host;
    CBookEngine doc;
    std::string error;
    if (!TakeEncoding(options, doc, error)) return Error("search: " + error);
    if (std::string problem = options.Problem(); !problem.empty())
        return Error("search: " + problem);
    if (options.Rest().size() != 2) return Error(std::string("usage: pagewick ") + kUsage);

    BookSearch probe(doc, std::string_view(options.Rest()[1]), match);
    if (probe.Status() == PatternStatus::Empty) return Error("search: the pattern is empty");
    if (probe.Status() == PatternStatus::TooLong) return Error("search: the pattern is too long");

    std::unique_ptr<QGuiApplication> app;
    std::unique_ptr<DrawingSurface> surface;
    if (fixed) {
        surface = std::make_unique<FixedSurface>();
    } else {
        app = MakeGuiApplication();
        surface = std::make_unique<QtSurface>(96);
    }
    QtPictureDecoder pictures;  // pictures take their room as they do when drawn
    doc.HostServices = &host;
    doc.Pictures = &pictures;
    ApplyDesktopLayout(doc, 480, 640, kDesktopFace, kDesktopFontSize);
    if (!OpenBookArgument(doc, options.Rest()[0], error)) return Error(error);
    doc.GetChar(0);  // the first window decides the character width before measuring
    doc.BuildWidthTable(surface.get());

    BookSearch search(doc, std::string_view(options.Rest()[1]), match);
    long hits = 0;
    std::string line;
    search.All([&](const BookHit& hit) {
        line = "page " + std::to_string(hit.page + 1) + ": " + Utf16ToUtf8(hit.context) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
        ++hits;
        return hits < max;
    });
    if (std::fflush(stdout) != 0) return Error("search: cannot write the hits");
    if (search.Failed()) return 2;  // the book has said what went wrong
    return hits > 0 ? 0 : 1;
}

CommandRegistrar registrar("search", kUsage, RunSearch);

}  // namespace
}  // namespace pagewick::cli
