// The part of the tool that draws with Qt: the fonts' metrics, page images, PDF printing and Qt's
// picture readers. It lives in its own library, libpagewick-draw.so, which the tool loads only
// when a command needs it, so the commands that draw nothing start without loading Qt at all.
// The tool and the library meet only through the abstract classes below and the core's seams
// (DrawingSurface, PictureDecoder, PrintOutput), whose code is all in their headers.
#pragma once

#include <memory>
#include <string>

#include "engine/DrawingSurface.h"
#include "engine/FixedSurface.h"
#include "engine/PictureDecoder.h"
#include "engine/PrintJob.h"

namespace pagewick::cli {

// A page image of a given size, white, with a surface drawing on it.
class PageImage {
public:
    virtual ~PageImage() = default;
    virtual DrawingSurface& Surface() = 0;
    // Ends the drawing and writes the image as PNG; false when the file cannot be written.
    virtual bool SavePng(const std::string& path) = 0;
};

// A PDF file written through the print job's output.
class PdfPrinter {
public:
    virtual ~PdfPrinter() = default;
    virtual PrintOutput& Output() = 0;
};

class DrawPart {
public:
    virtual ~DrawPart() = default;
    // Qt's picture readers: sizes and drawing. Needs no application.
    virtual std::unique_ptr<PictureDecoder> MakePictureDecoder() = 0;
    // The rest need Qt's GUI application (on the offscreen platform unless QT_QPA_PLATFORM
    // names another), which the part starts on first use and ends when it is destroyed: what
    // these make must go before the part does.
    // A surface that measures with the fonts at the given resolution, with no device behind it.
    virtual std::unique_ptr<DrawingSurface> MakeMeasuringSurface(int dpi) = 0;
    virtual std::unique_ptr<PageImage> MakePageImage(int width, int height) = 0;
    // Null with a message when the paper is not known.
    virtual std::unique_ptr<PdfPrinter> MakePdfPrinter(const std::string& file,
                                                       const std::string& paper, int dpi,
                                                       std::string& error) = 0;
};

// The library's one entry point: a new part when the tool's version is the library's, else null
// (a library of another build found first on the search path).
constexpr int kDrawPartVersion = 1;
constexpr const char* kDrawPartLibrary = "libpagewick-draw.so";
constexpr const char* kDrawPartEntry = "pagewick_draw_part";
using DrawPartEntry = DrawPart* (*)(int version);

// Loads the library (through the program's run path: lib/ of the build folder, the library
// folder once installed) and makes a part; null with a one-line message when it cannot.
std::unique_ptr<DrawPart> LoadDrawPart(std::string& error);

// Loads the part or ends the process with the message: for the commands that cannot work
// without it.
std::unique_ptr<DrawPart> RequireDrawPart();

// Pictures take their room as they do when drawn, so their sizes come from Qt's readers; the
// drawing part is loaded at the first picture met, not before (paginate and search with fixed
// metrics).
class PicturesOnDemand : public PictureDecoder {
public:
    bool PictureSize(const std::string& path, TextSize& size) override {
        return Decoder().PictureSize(path, size);
    }
    bool DrawPicture(DrawingSurface& dc, const std::string& path, const Rect& rect) override {
        return Decoder().DrawPicture(dc, path, rect);
    }

private:
    PictureDecoder& Decoder() {
        if (!decoder_) {
            part_ = RequireDrawPart();
            decoder_ = part_->MakePictureDecoder();
        }
        return *decoder_;
    }
    std::unique_ptr<DrawPart> part_;
    std::unique_ptr<PictureDecoder> decoder_;  // made by the part: goes before it
};

// What measures pages for a command that numbers them: the fixed rule (no Qt, pictures sized
// through the part loaded at the first one), or real fonts at 96 dots an inch through the part.
struct PageMeasuring {
    explicit PageMeasuring(bool fixed) {
        if (fixed) {
            surface = std::make_unique<FixedSurface>();
            pictures = std::make_unique<PicturesOnDemand>();
        } else {
            qt = RequireDrawPart();
            surface = qt->MakeMeasuringSurface(96);
            pictures = qt->MakePictureDecoder();
        }
    }
    std::unique_ptr<DrawPart> qt;  // first, so that what it made goes before it
    std::unique_ptr<DrawingSurface> surface;
    std::unique_ptr<PictureDecoder> pictures;
};

}  // namespace pagewick::cli
