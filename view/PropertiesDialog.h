// CPropertiesDlg: what is known of the open book (name, position, progress, file and what its
// header says) and the line-break, repaginate and delete choices. Both readers show it.
#pragma once

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QLabel;
class QProgressBar;

namespace pagewick {
class CBookEngine;
}

namespace pwview {

class CPropertiesDlg : public QDialog {
public:
    CPropertiesDlg(pagewick::CBookEngine& doc, QWidget* parent = nullptr);
    void accept() override;
    int percent = 0;
    bool lineBreaks = false, repaginate = false, deleteFile = false;
    QCheckBox *lineBreaksBox, *repaginateBox, *deleteBox;
    QProgressBar* progress;
    QLabel *author, *publisher, *copyright, *identifier;
};

// The percentage of a book read: 64-bit, so long books do not overflow.
int ProgressPercent(int64_t offset, int64_t length);

}  // namespace pwview
