// The reading view's printing: "&Print..." prints a range of pages and "Print C&hapter(s)..." a
// run of chapters chosen from the contents, on one of the desktop's printers or into a PDF file,
// through the same print job as "pagewick print".
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <filesystem>

#include "desktop/ChildView.h"
#include "desktop/Commands.h"
#include "desktop/DesktopHost.h"
#include "engine/Contents.h"
#include "engine/PrintJob.h"
#include "platform/qt/QtSurface.h"
#include "platform/qtprint/QtPrintOutput.h"
#include "view/ContentsDialog.h"

namespace wickstand {
using namespace pagewick;
using pwview::CTOCDialog;
namespace fs = std::filesystem;

namespace {
constexpr int kHighestPage = 3000;
}

void CChildView::BuildPrintCommands() {
    commands_[ID_PRINT] = [this] { PrintPages(); };
    commands_[ID_PRINT_CHAPTERS] = [this] { PrintChapters(); };
}

bool CChildView::PrintCommandEnabled(int id) const {
    if (!HasBook() || printing_) return false;
    if (id == ID_PRINT_CHAPTERS) return doc_.Form.printsChapters && !doc_.Contents.empty();
    return doc_.Form.printsPages;
}

bool CChildView::ShowPrintDialog(QPrinter& printer, bool pageNumbers) {
    paused_ = true;
    SyncInhibit();
    // The dialog takes its fields from the printer: it is set up first.
    printer.setFromTo(1, 1);
    const bool noPrinter = QPrinterInfo::availablePrinterNames().isEmpty();
    if (noPrinter) {
        // Without a printer the pages can still go to a PDF file, proposed in the documents
        // folder under the book's name.
        fs::path book(doc_.BookPath);
        fs::path pdf = fs::path(host_.DocumentsFolder()) / book.stem().concat(".pdf");
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf.string()));
    }
    QPrintDialog dialog(&printer, this);
    // Unlike a printer-language file, a PDF file is something people keep and share: Qt's
    // "Print to File (PDF)" stays in the dialog.
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, pageNumbers);
    dialog.setMinMax(1, kHighestPage);
    if (noPrinter)
        dialog.setWindowTitle(
            QStringLiteral("Print - no printer is installed: the pages go to a PDF file"));
    return dialog.exec() == QDialog::Accepted;
}

bool CChildView::RunPrintJob(QPrinter& printer, const std::function<bool(PrintJob&)>& run) {
    printing_ = true;
    repaint();  // "Printing" while the job runs
    std::string message;
    bool ok = false;
    {
        WaitCursor wait(&host_);
        QtSurface screen(96);
        QtPrintOutput output(printer);
        PrintJob job(doc_, output,
                     ScreenLayout{&screen, settings_.borderWidth, settings_.borderHeight});
        ok = run(job);
        lastPagesPrinted_ = ok ? job.PagesPrinted() : 0;
        message = job.Message();
    }
    printing_ = false;
    DiscardImages();
    update();
    if (!ok && !message.empty())
        host_.ShowMessage(message, "Pagewick", MessageButtons::Ok, MessageIcon::Warning);
    return ok;
}

void CChildView::PrintPages() {
    if (!PrintCommandEnabled(ID_PRINT) || paging_) return;
    ClosePicture();
    QPrinter printer(QPrinter::HighResolution);
    if (!ShowPrintDialog(printer, true)) return;
    int32_t first = 1, last = kPrintToEnd;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage();
        last = std::max(printer.fromPage(), printer.toPage());
    }
    RunPrintJob(printer, [&](PrintJob& job) { return job.PrintPages(first, last); });
}

void CChildView::PrintChapters() {
    if (!PrintCommandEnabled(ID_PRINT_CHAPTERS) || paging_) return;
    ClosePicture();
    paused_ = true;
    SyncInhibit();
    auto refuse = [this](const std::string& why) {
        host_.ShowMessage(why, "Pagewick", MessageButtons::Ok, MessageIcon::Information);
    };
    ContentsChooser all(doc_);
    CTOCDialog firstDialog(all, QStringLiteral("Choose the first chapter of the series to print."),
                           this);
    if (firstDialog.exec() != QDialog::Accepted || all.EntryOf(firstDialog.Chosen) < 0) return;
    const size_t firstEntry = size_t(all.EntryOf(firstDialog.Chosen));
    if (std::string why = PrintJob::UnprintableEntry(doc_.Contents[firstEntry].target);
        !why.empty()) {
        refuse(why);
        return;
    }
    size_t lastEntry = firstEntry;
    for (;;) {
        ContentsChooser rest(doc_, firstEntry);
        CTOCDialog lastDialog(
            rest, QStringLiteral("Choose the last chapter of the series to print."), this);
        if (lastDialog.exec() != QDialog::Accepted || rest.EntryOf(lastDialog.Chosen) < 0) return;
        lastEntry = size_t(rest.EntryOf(lastDialog.Chosen));
        std::string why = PrintJob::UnprintableEntry(doc_.Contents[lastEntry].target);
        if (why.empty()) break;
        refuse(why);  // and the last chapter is asked for again
    }
    QPrinter printer(QPrinter::HighResolution);
    if (!ShowPrintDialog(printer, false)) return;
    RunPrintJob(printer, [&](PrintJob& job) { return job.PrintChapters(firstEntry, lastEntry); });
}

}  // namespace wickstand
