// The reading view's Convert command, which opens the eBook builder, and "Send to Palm OS
// Device", which wraps the open PAWK book for the Palm synchronisation software.
#include <QFileDialog>

#include "desktop/ChildView.h"
#include "desktop/ConvertDialog.h"
#include "desktop/DesktopHost.h"
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
