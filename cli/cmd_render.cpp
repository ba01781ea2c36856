// pagewick render: draws one page of a book into a PNG file with the desktop reader's defaults,
// using and updating the book's own pagination file as the programs do.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "cli/BookArgs.h"
#include "cli/commands.h"
#include "platform/qt/QtPictureDecoder.h"
#include "platform/qt/QtSurface.h"

namespace pagewick::cli {
namespace {

constexpr const char* kUsage =
    "render BOOK [--page N] [--width W --height H] [--font-size PT] [--face NAME] [--encoding E] "
    "[--links] "
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

int RunRender(const std::vector<std::string>& args) {
    Options options(args);
    if (options.Flag("--help")) {
        std::printf(
            "usage: pagewick %s\n\nDraws one page of the book (1 is the first) into a "
            "PNG file, keeping the\nbook's pagination file beside it. It measures with the "
            "fonts: its pages are\nthose of paginate without --fixed-metrics. The page's "
            "pictures are drawn in place.\nWith --links it also prints one line per link of the "
            "page:\n  link: LEFT TOP RIGHT BOTTOM TARGET\n\n%s\n%s\n%s",
            kUsage, kPageSetupHelp, kFixedMetricsHelp, kEncodingHelp);
        return 0;
    }
    bool ok = true;
    long page = options.TakeInt("--page", 1, ok);
    long width = options.TakeInt("--width", 480, ok);
    long height = options.TakeInt("--height", 640, ok);
    long fontSize = options.TakeInt("--font-size", kDesktopFontSize, ok);
    std::string face = options.Take("--face", kDesktopFace);
    std::string out = options.Take("-o");
    const bool links = options.Flag("--links");
    if (!ok || page < 1 || width < 40 || height < 40 || width > 10000 || height > 10000 ||
        fontSize < 1 || fontSize > 200)
        return Fail(
            "render: --page takes 1 or more, --width and --height 40 to 10000, "
            "--font-size 1 to 200");
    CommandLineHost host;
    CBookEngine doc;
    std::string error;
    if (!TakeEncoding(options, doc, error)) return Fail("render: " + error);
    if (std::string problem = options.Problem(); !problem.empty())
        return Fail("render: " + problem);
    if (options.Rest().size() != 1 || out.empty())
        return Fail(
            "usage: pagewick render BOOK [--page N] [--width W --height H] "
            "[--font-size PT] [--links] -o PAGE.png");

    auto app = MakeGuiApplication();
    QImage image(int(width), int(height), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QtSurface surface(&painter);

    QtPictureDecoder pictures;
    doc.HostServices = &host;
    doc.Pictures = &pictures;
    ApplyDesktopLayout(doc, int32_t(width), int32_t(height), face, int(fontSize));
    doc.LayoutSignature = Signature(face, fontSize, width, height);
    if (!OpenBookArgument(doc, options.Rest()[0], error, true)) return Fail(error);
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
    painter.end();
    if (links)
        for (const LinkRecord& link : doc.Links)
            std::printf("link: %d %d %d %d %s\n", link.hit.left, link.hit.top, link.hit.right,
                        link.hit.bottom, link.target.c_str());
    doc.CloseBook();
    if (!image.save(QString::fromStdString(out), "PNG")) return Fail("cannot write " + out);
    std::printf("page %ld written to %s\n", page, out.c_str());
    return 0;
}

CommandRegistrar registrar("render", kUsage, RunRender);

}  // namespace
}  // namespace pagewick::cli
