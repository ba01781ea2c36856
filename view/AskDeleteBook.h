// CAskDeleteBookDLg: asked before a library entry goes: repair its pagination file (the
// default) or delete the book with it.
#pragma once

#include <QDialog>

class QRadioButton;

namespace pwview {

class CAskDeleteBookDLg : public QDialog {
public:
    explicit CAskDeleteBookDLg(QWidget* parent = nullptr);
    void accept() override;
    bool repair = true;
    QRadioButton *repairButton, *deleteButton;
};

}  // namespace pwview
