#include "view/AskDeleteBook.h"

#include <QRadioButton>
#include <QVBoxLayout>

#include "view/DialogParts.h"

namespace pwview {

CAskDeleteBookDLg::CAskDeleteBookDLg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Delete eBook"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(repairButton =
                          new QRadioButton(QStringLiteral("Repair book pagination file.")));
    layout->addWidget(deleteButton =
                          new QRadioButton(QStringLiteral("Delete book and pagination file")));
    repairButton->setChecked(true);
    OkCancel(this, layout);
}

void CAskDeleteBookDLg::accept() {
    repair = repairButton->isChecked();
    QDialog::accept();
}

}  // namespace pwview
