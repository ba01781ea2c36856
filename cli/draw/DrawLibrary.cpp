// libpagewick-draw.so: the tool's drawing part over Qt (see cli/DrawPart.h).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPrinter>

#include "cli/DrawPart.h"
#include "platform/qt/QtPictureDecoder.h"
#include "platform/qt/QtSurface.h"
#include "platform/qtprint/QtPrintOutput.h"

namespace pagewick::cli {
namespace {

class QtPageImage : public PageImage {
public:
    QtPageImage(int width, int height) : image_(width, height, QImage::Format_RGB32) {
        image_.fill(Qt::white);
        painter_.begin(&image_);
        surface_ = std::make_unique<QtSurface>(&painter_);
    }
    DrawingSurface& Surface() override { return *surface_; }
    bool SavePng(const std::string& path) override {
        if (painter_.isActive()) painter_.end();
        return image_.save(QString::fromStdString(path), "PNG");
    }

private:
    QImage image_;
    QPainter painter_;
    std::unique_ptr<QtSurface> surface_;
};

class QtPdfPrinter : public PdfPrinter {
public:
    QtPdfPrinter() : printer_(QPrinter::HighResolution), output_(printer_) {}
    bool SetUp(const std::string& file, const std::string& paper, int dpi, std::string& error) {
        return SetUpPdfPrinter(printer_, file, paper, dpi, error);
    }
    PrintOutput& Output() override { return output_; }

private:
    QPrinter printer_;
    QtPrintOutput output_;
};

class QtDrawPart : public DrawPart {
public:
    std::unique_ptr<PictureDecoder> MakePictureDecoder() override {
        return std::make_unique<QtPictureDecoder>();
    }
    std::unique_ptr<DrawingSurface> MakeMeasuringSurface(int dpi) override {
        StartApplication();
        return std::make_unique<QtSurface>(dpi);
    }
    std::unique_ptr<PageImage> MakePageImage(int width, int height) override {
        StartApplication();
        return std::make_unique<QtPageImage>(width, height);
    }
    std::unique_ptr<PdfPrinter> MakePdfPrinter(const std::string& file, const std::string& paper,
                                               int dpi, std::string& error) override {
        StartApplication();
        auto printer = std::make_unique<QtPdfPrinter>();
        if (!printer->SetUp(file, paper, dpi, error)) return nullptr;
        return printer;
    }

private:
    void StartApplication() {
        if (app_) return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "pagewick";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QGuiApplication>(argc, argv);
    }

    std::unique_ptr<QGuiApplication> app_;
};

}  // namespace
}  // namespace pagewick::cli

extern "C" __attribute__((visibility("default"))) pagewick::cli::DrawPart* pagewick_draw_part(
    int version) {
    if (version != pagewick::cli::kDrawPartVersion) return nullptr;
    return std::make_unique<pagewick::cli::QtDrawPart>().release();  // owned by the tool
}
