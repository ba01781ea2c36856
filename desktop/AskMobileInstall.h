// CAskMobileInstall: asks which kind of handheld the reader goes to. A build whose program or
// shortcut file is missing beside the desktop program cannot be chosen.
#pragma once

#include <QDialog>

#include "devicelink/DeviceTransfer.h"

class QPushButton;

namespace wickstand {

class CAskMobileInstall : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Windows Mobile Install";
    static constexpr const char* kConnectText = "Please connect your device via Active Sync";
    static constexpr const char* kChooseText = "Choose the button that best describes your device.";
    static constexpr const char* kPocketPcText =
        "My device has a touchscren and sytlus or is a PocketPC";
    static constexpr const char* kSmartphoneText =
        "My device has a regular screen or is a Mobile Smartphone";

    CAskMobileInstall(pagewick::CDeviceTransfer& transfer,
                      const std::filesystem::path& programFolder, QWidget* parent = nullptr);

    QPushButton* pocketPcButton;
    QPushButton* smartphoneButton;
    QPushButton* cancelButton;
    // Whether the install that ran (if one did) completed.
    bool installed = false;

private:
    void Run(pagewick::HandheldBuild build);
    pagewick::CDeviceTransfer& transfer_;
};

}  // namespace wickstand
