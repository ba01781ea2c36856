// pagewick print: prints pages or chapters of a book into a PDF file through the same print job
// as the desktop reader's Print commands, with the desktop reader's default display settings.
#include <cstdio>
#include <cstdlib>

#include "cli/BookArgs.h"
#include "cli/DrawPart.h"
#include "cli/commands.h"
#include "engine/PrintJob.h"

namespace pagewick::cli {
namespace {

constexpr const char* kUsage =
    "print BOOK -o FILE.pdf [--pages FIRST-LAST | --chapters FIRST-LAST] [--paper NAME] "
    "[--dpi N] [--font-size PT] [--face NAME] [--encoding E] [--highlights]";

// "N", "N-M" or "N-" (to the end); false for anything else.
bool ParseRange(const std::string& text, int32_t& first, int32_t& last) {
    if (text.empty()) return false;
    size_t dash = text.find('-');
    auto number = [](const std::string& s, int32_t& out) {
        if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos)
            return false;
        out = int32_t(std::strtol(s.c_str(), nullptr, 10));
        return out >= 1;
    };
    if (!number(text.substr(0, dash), first)) return false;
    if (dash == std::string::npos) {
        last = first;
        return true;
    }
    std::string tail = text.substr(dash + 1);
    if (tail.empty()) {
        last = kPrintToEnd;
        return true;
    }
    return number(tail, last) && last >= first;
}

std::string Help() {
    return std::string(
               "Prints the book into a PDF file, as the reader's Print commands do: the whole "
               "book,\nthe pages FIRST to LAST (from 1), or the chapters FIRST to LAST (from 1, "
               "in the order\n\"pagewick toc\" lists them), each chapter up to where the next "
               "one begins.\nA range given as \"N-\" runs to the end of the book. The paper is "
               "A4 at 300 dots\nper inch unless --paper and --dpi say otherwise. Prints the "
               "number of pages written.\nThe file is replaced only when the whole document is "
               "written. With --highlights the book's highlights (its notes file, see notes)\n"
               "are printed behind their text.\n\n") +
           kPageSetupHelp + kEncodingHelp;
}

class PrintCommand : public Command {
public:
    void Declare(CLI::App& app) override {
        app.add_option("-o", out_, "the PDF file to write")->type_name("FILE.pdf");
        app.add_option("--pages", pages_, "the pages to print")->type_name("FIRST-LAST");
        app.add_option("--chapters", chapters_, "the chapters to print")->type_name("FIRST-LAST");
        app.add_option("--paper", paper_, "the paper's name (A4, Letter, ...)")->type_name("NAME");
        AddNumber(app, "--dpi", dpi_, ok_, "the printer's dots per inch");
        AddNumber(app, "--font-size", fontSize_, ok_, "the reading font's size in points")
            ->type_name("PT");
        app.add_option("--face", face_, "the reading font's face")->type_name("NAME");
        AddEncoding(app, encoding_);
        app.add_flag("--highlights", highlights_, "print the book's highlights");
        app.add_option("BOOK", books_, "the book");
    }
    int Run() override;

private:
    bool ok_ = true;
    std::string out_, pages_, chapters_, paper_ = "A4", face_ = kDesktopFace, encoding_;
    long dpi_ = 300, fontSize_ = kDesktopFontSize;
    bool highlights_ = false;
    std::vector<std::string> books_;
};

int PrintCommand::Run() {
    const bool ok = ok_;
    const std::string& out = out_;
    const std::string& pages = pages_;
    const std::string& chapters = chapters_;
    const std::string& paper = paper_;
    const long dpi = dpi_, fontSize = fontSize_;
    const std::string& face = face_;
    if (!ok || dpi < 36 || dpi > 2400 || fontSize < 1 || fontSize > 200)
        return Fail("print: --dpi takes 36 to 2400, --font-size 1 to 200");
    int32_t first = 1, last = kPrintToEnd;
    if (!pages.empty() && !chapters.empty())
        return Fail("print: give --pages or --chapters, not both");
    const std::string& range = pages.empty() ? chapters : pages;
    if (!range.empty() && !ParseRange(range, first, last))
        return Fail("print: a range is FIRST-LAST, FIRST or FIRST- with pages counted from 1");
    CommandLineHost host;
    CBookEngine doc;
    std::string error;
    if (!ApplyEncoding(encoding_, doc, error)) return Fail("print: " + error);
    if (books_.size() != 1 || out.empty()) return Fail(std::string("usage: pagewick ") + kUsage);

    std::unique_ptr<DrawPart> qt = RequireDrawPart();
    std::unique_ptr<PdfPrinter> printer = qt->MakePdfPrinter(out, paper, int(dpi), error);
    if (!printer) return Fail("print: " + error);

    std::unique_ptr<PictureDecoder> pictures = qt->MakePictureDecoder();
    doc.HostServices = &host;
    doc.Pictures = pictures.get();
    ApplyDesktopLayout(doc, 480, 640, face, int(fontSize));
    doc.DrawHighlights = highlights_;
    if (!OpenBookArgument(doc, books_[0], error, false, highlights_)) return Fail(error);
    doc.GetChar(0);  // some books make their contents when their text is first read
    if (!chapters.empty()) {
        if (doc.Contents.empty()) {
            doc.CloseBook();
            return Fail("print: the book has no table of contents");
        }
        const int32_t count = int32_t(doc.Contents.size());
        if (first > count) {
            doc.CloseBook();
            return Fail("print: chapter " + std::to_string(first) + " is past the last (" +
                        std::to_string(count) + ")");
        }
        last = std::min(last, count);
    }

    std::unique_ptr<DrawingSurface> screen = qt->MakeMeasuringSurface(96);
    PrintJob job(doc, printer->Output(),
                 ScreenLayout{screen.get(), kDesktopBorderWidth, kDesktopBorderHeight});
    const bool printed = chapters.empty() ? job.PrintPages(first, last)
                                          : job.PrintChapters(size_t(first - 1), size_t(last - 1));
    doc.CloseBook();
    if (!printed) return Fail("print: " + job.Message());
    std::printf("%d %s written to %s\n", job.PagesPrinted(),
                job.PagesPrinted() == 1 ? "page" : "pages", out.c_str());
    return 0;
}

CommandRegistrar registrar({"print", kUsage, Help, Make<PrintCommand>});

}  // namespace
}  // namespace pagewick::cli
