// pagewick paginate: measures every page of a book as the reader does and prints the page table.
// With --fixed-metrics it needs no fonts, and Qt is loaded only if the book holds a picture.
#include <chrono>
#include <cstdio>

#include "cli/BookArgs.h"
#include "cli/DrawPart.h"
#include "cli/commands.h"
#include "engine/FixedSurface.h"

namespace pagewick::cli {
namespace {

constexpr const char* kUsage =
    "paginate BOOK [--width W] [--height H] [--font-size PT] [--face NAME] [--encoding E] "
    "[--fixed-metrics] "
    "[--starts] [--lines] [--hyphenate LANG | --no-hyphenate] [--widows] "
    "[--join-lines auto|on|off]";

std::string Help() {
    return std::string(
               "Measures every page of the book and prints the page count, the last page\n"
               "and, with --starts, where each page starts; with --lines every line of every\n"
               "page as PAGE<TAB>LINE<TAB>TEXT, the text as drawn (a hyphen where a word was\n"
               "split).\n\n") +
           kPageSetupHelp + "\n" + kFixedMetricsHelp + "\n" + kTypographyHelp + "\n" +
           kEncodingHelp;
}

class PaginateCommand : public Command {
public:
    void Declare(CLI::App& app) override {
        AddNumber(app, "--width", width_, ok_, "the page's width in pixels");
        AddNumber(app, "--height", height_, ok_, "the page's height in pixels");
        AddNumber(app, "--font-size", fontSize_, ok_, "the reading font's size in points")
            ->type_name("PT");
        app.add_option("--face", face_, "the reading font's face")->type_name("NAME");
        AddEncoding(app, encoding_);
        app.add_flag("--fixed-metrics", fixed_, "measure with fixed metrics, not the fonts");
        app.add_flag("--starts", starts_, "print where each page starts");
        app.add_flag("--lines", lines_, "print every line of every page as drawn");
        AddTypography(app, typography_);
        app.add_option("BOOK", books_, "the book");
    }
    int Run() override;

private:
    bool ok_ = true;
    long width_ = 480, height_ = 640, fontSize_ = kDesktopFontSize;
    std::string face_ = kDesktopFace, encoding_;
    bool fixed_ = false, starts_ = false, lines_ = false;
    TypographyArgs typography_;
    std::vector<std::string> books_;
};

int PaginateCommand::Run() {
    const bool ok = ok_;
    const long width = width_, height = height_, fontSize = fontSize_;
    const std::string& face = face_;
    const bool fixed = fixed_, starts = starts_;
    if (!ok || width < 40 || height < 40 || fontSize < 1 || fontSize > 200)
        return Fail(
            "paginate: --width and --height take whole numbers of 40 or more, "
            "--font-size 1 to 200");
    CommandLineHost host;
    CBookEngine doc;
    std::string error;
    if (!ApplyEncoding(encoding_, doc, error)) return Fail("paginate: " + error);
    int joinLines = -1;
    if (!ApplyTypography(typography_, doc, joinLines, error)) return Fail("paginate: " + error);
    if (books_.size() != 1) return Fail("usage: pagewick paginate BOOK [options]");

    PageMeasuring measuring(fixed);

    auto begin = std::chrono::steady_clock::now();
    doc.HostServices = &host;
    doc.Pictures = measuring.pictures.get();
    ApplyDesktopLayout(doc, int32_t(width), int32_t(height), face, int(fontSize));
    if (!OpenBookArgument(doc, books_[0], error)) return Fail(error);
    if (joinLines >= 0) doc.JoinLines = joinLines;
    if (doc.Hyphenate && doc.HyphenationStatus() != DictionaryStatus::Ready)
        std::fprintf(stderr, "paginate: no hyphenation dictionary for \"%s\"\n",
                     doc.HyphenationTag().empty() ? SystemLanguageTag().c_str()
                                                  : doc.HyphenationTag().c_str());
    // Lines are printed as they are measured, page after page, each page once.
    if (lines_)
        doc.LineSink = [](int32_t page, int32_t line, const std::string& text) {
            std::printf("%d\t%d\t%s\n", page + 1, line + 1, text.c_str());
        };
    doc.GetChar(0);  // the first window decides the character width before measuring
    doc.BuildWidthTable(measuring.surface.get());
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

CommandRegistrar registrar({"paginate", kUsage, Help, Make<PaginateCommand>});

}  // namespace
}  // namespace pagewick::cli
