// pagewick search BOOK PATTERN: one line per hit, "page N: CONTEXT", pages counted from 1 as
// render --page counts them. Exit status as grep's: 0 something found, 1 nothing, 2 an error.
// With --fixed-metrics it needs no fonts, and Qt is loaded only if the book holds a picture.
#include <cstdio>
#include <memory>

#include "cli/BookArgs.h"
#include "cli/DrawPart.h"
#include "cli/commands.h"
#include "engine/FixedSurface.h"
#include "engine/Search.h"
#include "util/Utf8.h"

namespace pagewick::cli {
namespace {

constexpr const char* kUsage =
    "search BOOK PATTERN [--case] [--word] [--accents] [--max N] [--fixed-metrics] "
    "[--encoding E]";

std::string Help() {
    return std::string(
               "Finds PATTERN in the book's text as its pages show it and prints one line per\n"
               "hit, \"page N: CONTEXT\", N counted from 1 as render --page counts. Case is\n"
               "folded and accents count unless asked otherwise. Exit status: 0 when\n"
               "something was found, 1 when nothing was, 2 on an error.\n\n"
               "The pages are those paginate gives with its defaults: the desktop reader's\n"
               "page of 480 by 640 pixels with its default display settings.\n\n") +
           kFixedMetricsHelp + "\n" + kEncodingHelp;
}

int Error(const std::string& message) {
    Fail(message);
    return 2;
}

class SearchCommand : public Command {
public:
    void Declare(CLI::App& app) override {
        app.add_flag("--case", match_.matchCase, "match case");
        app.add_flag("--word", match_.wholeWords, "whole words only");
        app.add_flag("--accents", match_.ignoreAccents,
                     "ignore accents (\"cafe\" finds \"caf\u00e9\")");
        AddNumber(app, "--max", max_, ok_, "stop after N hits");
        app.add_flag("--fixed-metrics", fixed_, "measure with fixed metrics, not the fonts");
        AddEncoding(app, encoding_);
        app.add_option("BOOK", args_, "the book, then the words to find");
    }
    int Run() override;

private:
    bool ok_ = true;
    long max_ = -1;  // no limit
    MatchOptions match_;
    bool fixed_ = false;
    std::string encoding_;
    std::vector<std::string> args_;
};

int SearchCommand::Run() {
    if (!ok_ || max_ == 0 || max_ < -1)
        return Error("search: --max takes a whole number of 1 or more");
    CommandLineHost host;
    CBookEngine doc;
    std::string error;
    if (!ApplyEncoding(encoding_, doc, error)) return Error("search: " + error);
    if (args_.size() != 2) return Error(std::string("usage: pagewick ") + kUsage);
    const std::string& pattern = args_[1];
    BookSearch probe(doc, std::string_view(pattern), match_);
    if (probe.Status() == PatternStatus::Empty) return Error("search: the pattern is empty");
    if (probe.Status() == PatternStatus::TooLong) return Error("search: the pattern is too long");

    PageMeasuring measuring(fixed_);
    doc.HostServices = &host;
    doc.Pictures = measuring.pictures.get();
    ApplyDesktopLayout(doc, 480, 640, kDesktopFace, kDesktopFontSize);
    if (!OpenBookArgument(doc, args_[0], error)) return Error(error);
    doc.GetChar(0);  // the first window decides the character width before measuring
    doc.BuildWidthTable(measuring.surface.get());

    BookSearch search(doc, std::string_view(pattern), match_);
    long hits = 0;
    std::string line;
    search.All([&](const BookHit& hit) {
        line = "page " + std::to_string(hit.page + 1) + ": " + Utf16ToUtf8(hit.context) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
        ++hits;
        return max_ < 0 || hits < max_;
    });
    if (std::fflush(stdout) != 0) return Error("search: cannot write the hits");
    if (search.Failed()) return 2;  // the book has said what went wrong
    return hits > 0 ? 0 : 1;
}

CommandRegistrar registrar({"search", kUsage, Help, Make<SearchCommand>, 2});

}  // namespace
}  // namespace pagewick::cli
