#include "desktop/BehaviorDialog.h"

#include <QCheckBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/DesktopHost.h"
#include "desktop/Startup.h"
#include "view/DialogParts.h"

namespace wickstand {
using namespace pagewick;
using pwview::Check;
using pwview::OkCancel;

COptionsDlg2::COptionsDlg2(bool scroll, bool open, DesktopHost& host, std::string program,
                           QWidget* parent)
    : QDialog(parent), autoScroll(scroll), autoOpen(open) {
    setWindowTitle(QStringLiteral("Behavior"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(autoScrollBox = Check("Auto Scroll", scroll));
    layout->addWidget(autoOpenBox = Check("Start with Last Opened eBook", open));
    layout->addWidget(associateLit = new QPushButton(QStringLiteral("Associate with LIT files")));
    connect(associateLit, &QPushButton::clicked, this, [&host, program] {
        if (host.ShowMessage(kAssociateLitQuestion, "Pagewick", MessageButtons::YesNo,
                             MessageIcon::Question) == MessageAnswer::Yes)
            RegisterLitType(program);
    });
    OkCancel(this, layout);
}

void COptionsDlg2::accept() {
    autoScroll = autoScrollBox->isChecked();
    autoOpen = autoOpenBox->isChecked();
    QDialog::accept();
}

}  // namespace wickstand
