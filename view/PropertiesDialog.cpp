#include "view/PropertiesDialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "engine/BookEngine.h"

#include "view/DialogParts.h"

namespace pwview {
using namespace pagewick;

int ProgressPercent(int64_t offset, int64_t length) {
    if (length <= 0) return 0;
    return int(std::clamp<int64_t>(offset * 100 / length, 0, 100));
}

CPropertiesDlg::CPropertiesDlg(CBookEngine& doc, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("eBook Properties"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    std::string file = std::filesystem::path(doc.BookPath).filename().string();
    if (!doc.MemberName.empty()) file += ":" + doc.MemberName;
    form->addRow(QStringLiteral("Name"),
                 BookText(doc.DocumentTitle.empty() ? file : doc.DocumentTitle));
    form->addRow(QStringLiteral("Position"), new QLabel(Utf8(doc.PositionText())));
    int64_t start = doc.CurrentPage >= 0 && doc.CurrentPage < int32_t(doc.PageStarts.size())
                        ? doc.PageStarts[size_t(doc.CurrentPage)]
                        : 0;
    percent = ProgressPercent(start, int64_t(doc.CharCount()));
    progress = new QProgressBar;
    progress->setRange(0, 100);
    progress->setValue(percent);
    form->addRow(QStringLiteral("Progress"), progress);
    form->addRow(QStringLiteral("File"), new QLabel(Utf8(file)));
    // What the book's header says of it; empty for books that carry nothing of the kind.
    form->addRow(QStringLiteral("Author"), author = BookText(doc.BookAuthor));
    form->addRow(QStringLiteral("Publisher"), publisher = BookText(doc.BookPublisher));
    form->addRow(QStringLiteral("Copyright"), copyright = BookText(doc.BookRights));
    form->addRow(QStringLiteral("ISBN / EISBN"), identifier = new QLabel(Utf8(doc.BookIdentifier)));
    if (!doc.BookLanguage.empty())
        form->addRow(QStringLiteral("Language"), new QLabel(Utf8(doc.BookLanguage)));
    layout->addLayout(form);
    lineBreaks = doc.JoinLines != 0;
    layout->addWidget(lineBreaksBox = Check("Book contains line breaks", lineBreaks));
    layout->addWidget(repaginateBox = Check("Repaginate", false));
    layout->addWidget(deleteBox = Check("Delete Book File", false));
    OkCancel(this, layout);
}

void CPropertiesDlg::accept() {
    lineBreaks = lineBreaksBox->isChecked();
    repaginate = repaginateBox->isChecked();
    deleteFile = deleteBox->isChecked();
    QDialog::accept();
}

}  // namespace pwview
