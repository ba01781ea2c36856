// pagewick render: draws one page of a book into a PNG file with the desktop reader's defaults,
// using and updating the book's own pagination file as the programs do.
#include <cstdio>

#include "cli/BookArgs.h"
#include "cli/DrawPart.h"
#include "cli/commands.h"

namespace pagewick::cli {
namespace {

constexpr const char* kUsage =
    "render BOOK [--page N] [--width W --height H] [--font-size PT] [--face NAME] [--encoding E] "
    "[--links] [--highlights] "
    "-o PAGE.png";

// The settings signature: any change of what shapes the pages gives another value.
uint32_t Signature(const std::string& face, long size, long width, long height) {
    std::string text = face + "|" + std::to_string(size) + "|" + std::to_string(width) + "|" +
                       std::to_string(height);
    for (int32_t setting : {kDesktopBorderWidth, kDesktopBorderHeight, kDesktopLeading,
                            kDesktopParagraphSpacing, kDesktopTabSize})
        text += "|" + std::to_string(setting);
    text += "|justified|bar|number";
    uint32_t hash = 2166136261u;
    for (unsigned char c : text)
        hash = (hash ^ c) * 16777619u;
    return hash;
}

std::string Help() {
    return std::string(
               "Draws one page of the book (1 is the first) into a PNG file, keeping the\n"
               "book's pagination file beside it. It measures with the fonts: its pages are\n"
               "those of paginate without --fixed-metrics. The page's pictures are drawn in "
               "place.\nWith --links it also prints one line per link of the page:\n"
               "  link: LEFT TOP RIGHT BOTTOM TARGET\n"
               "With --highlights the book's highlights (its notes file, see notes) are drawn\n"
               "behind their text, as the readers draw them.\n\n") +
           kPageSetupHelp + "\n" + kFixedMetricsHelp + "\n" + kEncodingHelp;
}

class RenderCommand : public Command {
public:
    void Declare(CLI::App& app) override {
        AddNumber(app, "--page", page_, ok_, "the page to draw, from 1");
        AddNumber(app, "--width", width_, ok_, "the page's width in pixels");
        AddNumber(app, "--height", height_, ok_, "the page's height in pixels");
        AddNumber(app, "--font-size", fontSize_, ok_, "the reading font's size in points")
            ->type_name("PT");
        app.add_option("--face", face_, "the reading font's face")->type_name("NAME");
        AddEncoding(app, encoding_);
        app.add_flag("--links", links_, "print the page's links");
        app.add_flag("--highlights", highlights_, "draw the book's highlights");
        app.add_option("-o", out_, "the PNG file to write")->type_name("PAGE.png");
        app.add_option("BOOK", books_, "the book");
    }
    int Run() override;

private:
    bool ok_ = true;
    long page_ = 1, width_ = 480, height_ = 640, fontSize_ = kDesktopFontSize;
    std::string face_ = kDesktopFace, out_, encoding_;
    bool links_ = false, highlights_ = false;
    std::vector<std::string> books_;
};

int RenderCommand::Run() {
    const bool ok = ok_;
    const long page = page_, width = width_, height = height_, fontSize = fontSize_;
    const std::string& face = face_;
    const std::string& out = out_;
    const bool links = links_;
    if (!ok || page < 1 || width < 40 || height < 40 || width > 10000 || height > 10000 ||
        fontSize < 1 || fontSize > 200)
        return Fail(
            "render: --page takes 1 or more, --width and --height 40 to 10000, "
            "--font-size 1 to 200");
    CommandLineHost host;
    CBookEngine doc;
    std::string error;
    if (!ApplyEncoding(encoding_, doc, error)) return Fail("render: " + error);
    if (books_.size() != 1 || out.empty())
        return Fail(
            "usage: pagewick render BOOK [--page N] [--width W --height H] "
            "[--font-size PT] [--links] [--highlights] -o PAGE.png");

    std::unique_ptr<DrawPart> qt = RequireDrawPart();
    std::unique_ptr<PageImage> image = qt->MakePageImage(int(width), int(height));
    DrawingSurface& surface = image->Surface();

    std::unique_ptr<PictureDecoder> pictures = qt->MakePictureDecoder();
    doc.HostServices = &host;
    doc.Pictures = pictures.get();
    ApplyDesktopLayout(doc, int32_t(width), int32_t(height), face, int(fontSize));
    doc.LayoutSignature = Signature(face, fontSize, width, height);
    doc.DrawHighlights = highlights_;
    if (!OpenBookArgument(doc, books_[0], error, true)) return Fail(error);
    doc.GetChar(0);
    doc.BuildWidthTable(&surface);
    // The page asked for is shown, not the text read last under other settings.
    doc.PendingOffset = -1;
    // Measure up to the page wanted; a saved page table makes this quick.
    int32_t wanted = int32_t(page - 1);
    doc.PaginateTo(wanted);
    if (wanted >= int32_t(doc.PageStarts.size()) ||
        (doc.LastPage != kLastPageUnknown && wanted >= doc.LastPage && wanted > 0)) {
        int pages = doc.LastPage != kLastPageUnknown ? doc.LastPage : int(doc.PageStarts.size());
        doc.CloseBook();
        return Fail("render: page " + std::to_string(page) + " is past the end of the book (" +
                    std::to_string(pages) + " pages)");
    }
    doc.CurrentPage = wanted;
    doc.LayoutPage(&surface, false);
    if (links)
        for (const LinkRecord& link : doc.Links)
            std::printf("link: %d %d %d %d %s\n", link.hit.left, link.hit.top, link.hit.right,
                        link.hit.bottom, link.target.c_str());
    doc.CloseBook();
    if (!image->SavePng(out)) return Fail("cannot write " + out);
    std::printf("page %ld written to %s\n", page, out.c_str());
    return 0;
}

CommandRegistrar registrar({"render", kUsage, Help, Make<RenderCommand>});

}  // namespace
}  // namespace pagewick::cli
