// The reading view's Convert command, which opens the eBook builder, "Save as EPUB...", which
// writes the open book as an EPUB book, and "Send to Palm OS Device", which wraps the open PAWK
// book for the Palm synchronisation software.
#include <QFileDialog>
#include <system_error>

#include "builder/EpubExport.h"
#include "desktop/ChildView.h"
#include "desktop/ConvertDialog.h"
#include "desktop/DesktopHost.h"
#include "desktop/ProgressWnd.h"
#include "pawk/PalmExport.h"
#include "util/Cp1252.h"
#include "util/Utf8.h"

namespace wickstand {

using namespace pagewick;

std::string CChildView::ConvertFile() {
    const std::string path =
        chooseSource ? chooseSource()
                     : QFileDialog::getOpenFileName(
                           this, QStringLiteral("Convert file to eBook"), QString(),
                           QStringLiteral("eDocuments (*.txt *.htm *.html *.lit *.epub);;Text "
                                          "Files (*.txt);;HTML Files (*.htm *.html);;LIT Files "
                                          "(*.lit);;EPUB Files (*.epub)"))
                           .toStdString();
    if (path.empty()) return {};
    CConvHTMLDlg dlg(host_, this);
    dlg.AddInitialFile(path);
    if (dlg.exec() != QDialog::Accepted) return {};
    return dlg.builtPath;
}

std::string CChildView::SaveAsEpub() {
    if (!HasBook()) return {};
    paused_ = true;
    SyncInhibit();
    namespace fs = std::filesystem;
    // Beside the book, named after its title (or its file, for a book that names no title).
    const fs::path book(doc_.BookPath);
    const std::string title =
        !doc_.DocumentTitle.empty()
            ? doc_.DocumentTitle
            : fs::path(doc_.MemberName.empty() ? doc_.BookPath : doc_.MemberName).stem().string();
    const fs::path suggested = book.parent_path() / EpubFileName(title);
    QFileDialog dialog(this, QStringLiteral("Save as EPUB"),
                       QString::fromStdString(suggested.string()),
                       QStringLiteral("EPUB Books (*.epub)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("epub"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    fs::path target = dialog.selectedFiles().front().toStdString();
    if (!HasEpubSuffix(target)) target += ".epub";

    auto failed = [this](const std::string& why) {
        host_.ShowMessage("The eBook could not be saved as EPUB:\r\n" + why, "Pagewick",
                          MessageButtons::Ok, MessageIcon::Error);
        return std::string();
    };
    std::error_code ec;
    if (fs::equivalent(book, target, ec))
        return failed("the book cannot be saved over itself; choose another name.");
    // A reading of its own, so the page shown keeps its windows and place.
    CBookEngine copy;
    if (!OpenSameBook(copy, doc_)) return failed("the book cannot be read.");
    EpubExportOutcome outcome;
    {
        CProgressWnd progress(this, QStringLiteral("Saving as EPUB"));
        progress.SetRange(0, 100);
        progress.SetText("Converting...");
        progress.PeekAndPump(true);
        WaitCursor wait(&host_);
        EpubExportOptions options;
        options.progress = [&progress](double done) {
            progress.SetPos(int64_t(done * 100));
            return progress.PeekAndPump(true);
        };
        outcome = ExportEpub(copy, target, options);
    }
    if (outcome.result == EpubWriteResult::kCancelled) return {};
    if (!outcome) return failed(EpubExportMessage(outcome, target) + ".");
    return target.string();
}

void CChildView::SendToPalm() {
    if (!doc_.Form.palmExport || doc_.BookPath.empty()) return;
    // The displayed title, in the 8-bit code page a Palm database name holds.
    std::string name;
    for (char16_t c : Utf8ToUtf16(doc_.DocumentTitle))
        name += char(UnicodeToCp1252(c));
    const std::filesystem::path pdb = PalmOutputPath(doc_.BookPath);
    PalmExportResult result = WritePalmDatabase(doc_.BookPath, name, pdb, PalmTimeNow());
    if (!result) {
        host_.ShowMessage(result.message, "Pagewick", MessageButtons::Ok, MessageIcon::Error);
        return;
    }
    // The Palm synchronisation software queues the database when the shell opens it. Without a
    // program for ".pdb" files nothing would happen at all: say where the database is instead.
    if (!host_.OpenWithShell(pdb.string()))
        host_.ShowMessage("Your eBook is ready for your Palm OS device in\r\n" + pdb.string() +
                              "\r\nNo program on this computer opens Palm databases: add it "
                              "with your Palm synchronisation software.",
                          "Pagewick", MessageButtons::Ok, MessageIcon::Information);
}

}  // namespace wickstand
