// COptionsDlg2: automatic scrolling, reopening the last book at start, and the LIT file
// association.
#pragma once

#include <QDialog>
#include <string>

#include "desktop/DesktopHost.h"

class QCheckBox;
class QPushButton;

namespace wickstand {

class COptionsDlg2 : public QDialog {
public:
    COptionsDlg2(bool autoScroll, bool autoOpen, DesktopHost& host, std::string program,
                 QWidget* parent = nullptr);
    void accept() override;
    bool autoScroll, autoOpen;
    QCheckBox *autoScrollBox, *autoOpenBox;
    QPushButton* associateLit;
};

}  // namespace wickstand
