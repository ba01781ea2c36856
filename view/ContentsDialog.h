// Dialog pieces both reading programs use: the contents dialog and the library's entry icons.
#pragma once

#include <QDialog>
#include <QIcon>

#include "engine/Contents.h"

class QListWidget;
class QLineEdit;
class QBoxLayout;
class QDialogButtonBox;

namespace pwview {

// The contents dialog: the chooser's rows; OK leaves the selected row in Chosen (-1 for none).
class CTOCDialog : public QDialog {
public:
    CTOCDialog(const pagewick::ContentsChooser& chooser, const QString& prompt,
               QWidget* parent = nullptr);
    void accept() override;
    int Chosen = -1;
    QListWidget* list;
    QLineEdit* title;

private:
    const pagewick::ContentsChooser& chooser_;
};

// A small icon for each kind of library entry, and for a folder (kind 7): a coloured page with
// the kind's letter, `size` pixels square.
QIcon LibraryKindIcon(int kind, int size = 16);

// OK and Cancel buttons at the end of a dialog's layout.
QDialogButtonBox* AddOkCancel(QDialog* dialog, QBoxLayout* layout);

}  // namespace pwview
