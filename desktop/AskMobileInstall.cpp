#include "desktop/AskMobileInstall.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace wickstand {
using namespace pagewick;

CAskMobileInstall::CAskMobileInstall(CDeviceTransfer& transfer,
                                     const std::filesystem::path& programFolder, QWidget* parent)
    : QDialog(parent), transfer_(transfer) {
    setWindowTitle(QString::fromUtf8(kTitle));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromUtf8(kConnectText), this));
    layout->addWidget(new QLabel(QString::fromUtf8(kChooseText), this));
    pocketPcButton = new QPushButton(QString::fromUtf8(kPocketPcText), this);
    smartphoneButton = new QPushButton(QString::fromUtf8(kSmartphoneText), this);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    layout->addWidget(pocketPcButton);
    layout->addWidget(smartphoneButton);
    layout->addWidget(cancelButton, 0, Qt::AlignRight);
    pocketPcButton->setEnabled(
        CDeviceTransfer::BuildFilesPresent(programFolder, HandheldBuild::PocketPC));
    smartphoneButton->setEnabled(
        CDeviceTransfer::BuildFilesPresent(programFolder, HandheldBuild::Smartphone));
    connect(pocketPcButton, &QPushButton::clicked, this, [this] { Run(HandheldBuild::PocketPC); });
    connect(smartphoneButton, &QPushButton::clicked, this,
            [this] { Run(HandheldBuild::Smartphone); });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void CAskMobileInstall::Run(HandheldBuild build) {
    installed = transfer_.Install(build);
    accept();
}

}  // namespace wickstand
