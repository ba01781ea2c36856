// COptions2Dlg: the layout values (paragraph spacing, leading, tab size, borders, justified
// text). Both readers show it; the handheld's labels are its own.
#pragma once

#include <QDialog>

#include "view/DisplaySettings.h"

class QCheckBox;
class QSpinBox;

namespace pwview {

class COptions2Dlg : public QDialog {
public:
    COptions2Dlg(const DisplaySettings& settings, QWidget* parent = nullptr);
    void accept() override;
    DisplaySettings settings;
    QSpinBox *paragraphSpacing, *leading, *tabSize, *borderWidth, *borderHeight;
    QCheckBox* justified;
};

}  // namespace pwview
