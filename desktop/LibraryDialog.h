// CSelectDlg: the Library of the desktop reader.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "library/Library.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace wickstand {

// The Library: books of the help folder and "My eBooks", grouped by folder. The scan runs on a
// worker thread, so the dialog opens at once and stays responsive.
class CSelectDlg : public QDialog {
    Q_OBJECT
public:
    // Deletes or repairs an entry (the view's job); true when it did.
    using DeleteFn = std::function<bool(const pagewick::LibraryEntry&, bool repair)>;
    CSelectDlg(std::vector<pagewick::LibraryEntry> fixed, std::string root, bool listHtml,
               bool searchZip, DeleteFn deleteFn, QWidget* parent = nullptr);
    ~CSelectDlg() override;

    // Waits until the scan has finished (tests).
    void WaitForScan();
    bool Scanning() const;
    const std::vector<pagewick::LibraryEntry>& Entries() const { return entries_; }
    // What a double-click, Enter and OK do on a row: a folder becomes the current folder and the
    // list is filled again (the dialog stays); a book closes the dialog with that book.
    void ActivateRow(int row);
    void SelectRow(int row);
    // OK opens the selected row as a double-click on it does; with nothing selected it does
    // nothing.
    void accept() override;

    pagewick::LibraryEntry chosen;
    bool rescan = false;
    // "Create New eBook" was pressed.
    bool createRequested = false;
    QListWidget* list;
    QLineEdit* info;
    QPushButton *deleteButton, *createButton, *okButton;

protected:
    // Enter on the list opens the current row; it never reaches the dialog's default button.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ScanFinished(std::vector<pagewick::LibraryEntry> found);
    // With PAGEWICK_PRINT_GEOMETRY set, the rows' and the OK button's places on the screen are
    // printed to the standard error, so that a script can click them as a person would.
    void PrintGeometry();
    void Refill();
    void SelectionChanged();
    void DeleteSelected();

    struct Scan;
    std::shared_ptr<Scan> scan_;
    std::vector<pagewick::LibraryEntry> entries_;
    std::vector<std::string> folders_;
    std::string currentFolder_;
    DeleteFn deleteFn_;
};

}  // namespace wickstand
