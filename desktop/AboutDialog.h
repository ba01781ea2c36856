// CAboutDlg: the program's name and version beside its icon.
#pragma once

#include <QDialog>

namespace wickstand {

class CAboutDlg : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace wickstand
