// COptions1Dlg: the desktop reader's display options, with the Layout and Behavior dialogs
// behind its buttons.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "desktop/DesktopHost.h"
#include "desktop/DisplaySettings.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace pwview {
class CFontPreviewCombo;
}

namespace wickstand {

class COptions1Dlg : public QDialog {
public:
    COptions1Dlg(const DisplaySettings& settings, bool autoOpen, DesktopHost& host,
                 std::string program, QWidget* parent = nullptr);
    void accept() override;
    DisplaySettings settings;
    bool autoOpen;
    QSpinBox* fontSize;
    pwview::CFontPreviewCombo* face;
    QCheckBox *bold, *listHtml;
    // Typography: hyphenation with its limits and language, paragraph lines kept together.
    QCheckBox *hyphenate, *keepLines;
    QSpinBox *minWord, *minLeft, *minRight;
    QLineEdit* language;
    QRadioButton *tahoma, *courier;
    QPushButton *layoutButton, *behaviorButton;
    // The inner dialogs, while one is open (tests close them).
    std::function<void(QDialog&)> beforeInner;

private:
    DesktopHost& host_;
    std::string program_;
};

}  // namespace wickstand
