// A print job's output over QPrinter: the desktop's printers (CUPS) or a PDF file. A PDF file is
// written under a temporary name beside it and takes its name only when complete, so that a
// failed or cancelled job leaves nothing half-written under the name asked for.
#pragma once

#include <QPainter>
#include <QString>
#include <memory>
#include <string>

#include "engine/PrintJob.h"
#include "platform/qt/QtSurface.h"

class QPrinter;

namespace pagewick {

class QtPrintOutput : public PrintOutput {
public:
    explicit QtPrintOutput(QPrinter& printer);
    ~QtPrintOutput() override;

    PrinterSheet Sheet() const override;
    bool StartDocument(const std::string& title) override;
    DrawingSurface& Surface() override;
    bool StartPage() override;
    bool EndPage() override;
    bool EndDocument() override;
    void AbortDocument() override;
    std::string Error() const override { return error_; }

private:
    void RemovePartFile();

    QPrinter& printer_;
    QPainter painter_;
    std::unique_ptr<QtSurface> surface_;
    QtSurface idle_{300};  // measures before the document starts
    QString finalName_, partName_;
    int pages_ = 0;
    bool open_ = false;
    std::string error_;
};

// A QPrinter writing a PDF file: the paper by name ("A4", "Letter", ...) at the resolution
// given. False with a message when the paper is not known.
bool SetUpPdfPrinter(QPrinter& printer, const std::string& file, const std::string& paper, int dpi,
                     std::string& error);

}  // namespace pagewick
