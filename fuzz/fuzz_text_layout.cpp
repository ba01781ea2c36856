// Arbitrary bytes as a text or HTML book (8-bit or UTF-16, whatever the first bytes decide),
// paginated to the end and every page drawn: no crash, no hang, every page makes progress, the
// end is always found. Pictures beside the book ("a.png", "b.gif", "c.jpg", "d.png") are sized
// by a stand-in decoder, from a sliver to far larger than the page; links on the drawn pages
// are followed and come back.
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/BookEngine.h"
#include "engine/FixedSurface.h"

namespace {

// Sizes by the file's last letter before the extension, stretched by the input's first byte;
// "d" never decodes.
class FuzzPictures : public pagewick::PictureDecoder {
public:
    int stretch = 1;
    bool PictureSize(const std::string& path, pagewick::TextSize& size) override {
        size = {};
        char which = path.size() > 4 ? path[path.size() - 5] : 'd';
        switch (which) {
            case 'a':
                size = {400 * stretch, 3};
                break;
            case 'b':
                size = {7, 900 * stretch};
                break;
            case 'c':
                size = {20 * stretch, 20 * stretch};
                break;
            default:
                return false;
        }
        return true;
    }
    bool DrawPicture(pagewick::DrawingSurface& dc, const std::string& path,
                     const pagewick::Rect& rect) override {
        pagewick::TextSize size;
        return PictureSize(path, size) && dc.DrawPicture(path, rect);
    }
};

// Measures like real fonts: every character its own width, asked for when first met.
class OwnWidthSurface : public pagewick::FixedSurface {
public:
    std::unique_ptr<pagewick::CharacterMeasurer> MeasurerForWidths() override {
        struct Measurer : pagewick::CharacterMeasurer {
            int Width(char16_t code) override { return code % 11; }
        };
        return std::make_unique<Measurer>();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("pagewick-fuzz-pictures-" + std::to_string(getpid()));
    static const std::string path = [] {
        std::filesystem::create_directories(folder);
        for (const char* name : {"a.png", "b.gif", "c.jpg", "d.png"})
            std::ofstream(folder / name) << "picture";
        return (folder / "book.htm").string();
    }();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), std::streamsize(size - 1));
    }
    using namespace pagewick;
    // Now and then real fonts' rule: every character its own width, some of them none at all.
    OwnWidthSurface ownWidths;
    FixedSurface fixed;
    DrawingSurface& surface = (data[0] & 0x18) == 0x18 ? ownWidths : fixed;
    FuzzPictures pictures;
    pictures.stretch = 1 + (data[0] >> 4);
    CBookEngine doc;
    doc.Pictures = &pictures;
    doc.BookPath = path;
    doc.LeftEdge = doc.TopEdge = 4;
    doc.RightEdge = 60 + (data[0] & 63);
    doc.PageHeight = 80 + (data[0] & 127);
    doc.JoinLines = data[0] & 1;
    doc.Justified = data[0] & 2;
    doc.TabSize = data[0] & 7;
    // Now and then a font whose lines are taller than the page: nothing fits anywhere.
    if ((data[0] & 0xC0) == 0xC0) doc.SetReadingFont("Huge", 200);
    // Now and then the typography: soft hyphens, paragraph lines kept together, and words split
    // by the English patterns (the last byte, part of the book too, says which).
    const uint8_t typography = data[size - 1];
    doc.SoftHyphens = typography & 1;
    doc.KeepLinesTogether = typography & 2;
    doc.Hyphenate = (typography & 12) == 12;
    doc.HyphenationLanguage = "en-US";
    if (!doc.PrepareSource()) return 0;
    doc.BuildWidthTable(&surface);
    doc.PaginateTo(0x7fffffff);
    // Every page moves forward: a later start, or the same start with less carried text.
    for (size_t i = 1; i < doc.PageStarts.size(); ++i) {
        bool forward = doc.PageStarts[i] > doc.PageStarts[i - 1] ||
                       (doc.PageStarts[i] == doc.PageStarts[i - 1] &&
                        doc.PageCarry[i].size() < doc.PageCarry[i - 1].size());
        if (!forward || uint32_t(doc.PageStarts[i]) > doc.CharCount()) __builtin_trap();
    }
    // The end is found (an empty text has no pages to find it by).
    if (doc.TextLength > 0 && doc.LastPage == kLastPageUnknown) __builtin_trap();
    doc.CurrentPage = 0;
    doc.GoToAnchor("nowhere#at-all");  // walks to the end and comes back
    for (int32_t page = 0; page < int32_t(doc.PageStarts.size()) && page < 50; ++page) {
        doc.CurrentPage = page;
        doc.LayoutPage(&surface, false);
        // Every link of the page is followed (outside addresses are declined without a host)
        // and the reader comes back to this page.
        std::vector<LinkRecord> links = doc.Links;
        for (const LinkRecord& link : links) {
            if (!link.rectValid) continue;
            TargetAction act = doc.FollowLink(Point{link.hit.left, link.hit.top});
            if (act == TargetAction::Jumped && (!doc.ReturnFromLink() || doc.CurrentPage != page))
                __builtin_trap();
            if (act == TargetAction::None && doc.CurrentPage != page) __builtin_trap();
            if (act == TargetAction::Picture) {
                doc.DrawCurrentTarget(surface, Rect{0, 0, 100, 100});
                doc.ClosePictureView();
            }
            doc.CurrentPage = page;
        }
    }
    return 0;
}
