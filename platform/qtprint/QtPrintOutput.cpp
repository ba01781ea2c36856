#include "platform/qtprint/QtPrintOutput.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryFile>
#include <filesystem>
#ifndef _WIN32
#include <sys/stat.h>
#endif
#include <optional>

namespace pagewick {

QtPrintOutput::QtPrintOutput(QPrinter& printer) : printer_(printer) {}

QtPrintOutput::~QtPrintOutput() {
    if (open_) AbortDocument();
}

PrinterSheet QtPrintOutput::Sheet() const {
    PrinterSheet sheet;
    sheet.dpi = printer_.resolution();
    // The painter's origin is the printable rectangle's top-left corner.
    QRect paint = printer_.pageLayout().paintRectPixels(sheet.dpi);
    sheet.width = paint.width();
    sheet.height = paint.height();
    return sheet;
}

bool QtPrintOutput::StartDocument(const std::string& title) {
    error_.clear();
    pages_ = 0;
    printer_.setDocName(QString::fromStdString(title));
    finalName_ =
        printer_.outputFormat() == QPrinter::PdfFormat ? printer_.outputFileName() : QString();
    partName_.clear();
    if (!finalName_.isEmpty()) {
        QTemporaryFile part(finalName_ + QStringLiteral(".part-XXXXXX"));
        part.setAutoRemove(false);
        if (!part.open()) {
            error_ = "Cannot write " + finalName_.toStdString() + ": " +
                     part.errorString().toStdString();
            return false;
        }
        partName_ = part.fileName();
        part.close();
        printer_.setOutputFileName(partName_);
    }
    if (!painter_.begin(&printer_)) {
        error_ = finalName_.isEmpty() ? "The printer cannot be opened."
                                      : "Cannot write " + finalName_.toStdString() + ".";
        RemovePartFile();
        return false;
    }
    surface_ = std::make_unique<QtSurface>(&painter_);
    open_ = true;
    return true;
}

DrawingSurface& QtPrintOutput::Surface() {
    if (surface_) return *surface_;
    return idle_;
}

bool QtPrintOutput::StartPage() {
    if (!open_) return false;
    // The first page begins with the document.
    if (pages_ > 0 && !printer_.newPage()) {
        error_ = "The printer refused a new page.";
        return false;
    }
    return true;
}

bool QtPrintOutput::EndPage() {
    ++pages_;
    return printer_.printerState() != QPrinter::Error;
}

bool QtPrintOutput::EndDocument() {
    if (!open_) return false;
    open_ = false;
    surface_.reset();
    const bool ended = painter_.end() && printer_.printerState() != QPrinter::Error;
    if (finalName_.isEmpty()) {
        if (!ended) error_ = "The printer did not take the document.";
        return ended;
    }
    printer_.setOutputFileName(finalName_);
    if (!ended || QFileInfo(partName_).size() == 0) {
        error_ = "Cannot write " + finalName_.toStdString() + ".";
        RemovePartFile();
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(partName_.toStdString(), finalName_.toStdString(), ec);
    if (ec) {
        error_ = "Cannot write " + finalName_.toStdString() + ": " + ec.message();
        RemovePartFile();
        return false;
    }
    partName_.clear();
    // The temporary file was private; the finished one gets the usual permissions.
#ifndef _WIN32
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(finalName_.toLocal8Bit().constData(), 0666 & ~mask);
#endif
    return true;
}

void QtPrintOutput::AbortDocument() {
    if (open_) {
        open_ = false;
        surface_.reset();
        printer_.abort();
        if (painter_.isActive()) painter_.end();
    }
    if (!finalName_.isEmpty()) printer_.setOutputFileName(finalName_);
    RemovePartFile();
}

void QtPrintOutput::RemovePartFile() {
    if (partName_.isEmpty()) return;
    std::error_code ec;
    std::filesystem::remove(partName_.toStdString(), ec);
    partName_.clear();
}

bool SetUpPdfPrinter(QPrinter& printer, const std::string& file, const std::string& paper, int dpi,
                     std::string& error) {
    const QString wanted = QString::fromStdString(paper);
    std::optional<QPageSize> size;
    for (int id = 0; id <= int(QPageSize::LastPageSize); ++id) {
        QPageSize candidate{QPageSize::PageSizeId(id)};
        if (candidate.key().compare(wanted, Qt::CaseInsensitive) == 0 ||
            candidate.name().compare(wanted, Qt::CaseInsensitive) == 0) {
            size = candidate;
            break;
        }
    }
    if (!size) {
        error = "unknown paper \"" + paper + "\" (A4, A5, Letter, Legal, ...)";
        return false;
    }
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(dpi);
    printer.setPageSize(*size);
    printer.setOutputFileName(QString::fromStdString(file));
    return true;
}

}  // namespace pagewick
