// Small pieces the dialogs are built from: the OK and Cancel row, spin boxes, check boxes and
// text taken from UTF-8.
#pragma once

#include <QString>
#include <string>

class QBoxLayout;
class QCheckBox;
class QDialog;
class QDialogButtonBox;
class QLabel;
class QSpinBox;

namespace pwview {

// OK and Cancel at the foot of the layout, wired to the dialog's accept and reject.
QDialogButtonBox* OkCancel(QDialog* dialog, QBoxLayout* layout);
QSpinBox* Spin(int low, int high, int value);
QCheckBox* Check(const char* text, bool on, bool enabled = true);
QString Utf8(const std::string& text);
// A book's own words (its title, its rights, its author), folded onto more lines rather than
// widening the dialog: a publisher's copyright paragraph would otherwise run past a handheld's
// screen.
QLabel* BookText(const std::string& text);

}  // namespace pwview
