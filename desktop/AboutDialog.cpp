#include "desktop/AboutDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

namespace wickstand {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Pagewick"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel;
    // The program's icon, as its main window shows it.
    icon->setPixmap(windowIcon().isNull() ? style()->standardIcon(QStyle::SP_FileIcon).pixmap(32)
                                          : windowIcon().pixmap(32));
    row->addWidget(icon);
    row->addWidget(new QLabel(QStringLiteral("Pagewick Version 5.01 937")));
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace wickstand
