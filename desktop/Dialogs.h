// The reader's dialogs: About, the three option dialogs, eBook Properties, the Library, Delete
// eBook and the table of contents. Each holds copies of what it shows; the view takes them back
// when the dialog closes with OK.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/DisplaySettings.h"
#include "engine/BookEngine.h"
#include "engine/Contents.h"
#include "formats/Library.h"
#include "view/ContentsDialog.h"

class QCheckBox;
class QSpinBox;
class QListWidget;
class QLineEdit;
class QPushButton;
class QProgressBar;
class QRadioButton;
class QLabel;

namespace wickstand {

class DesktopHost;

class CAboutDlg : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// The installed font faces, each item drawn as a type mark for scalable faces, the face's name,
// then "Sample Text" in that face; the list opens wide enough for the widest name and sample.
class CFontPreviewCombo : public QComboBox {
public:
    static constexpr int kItemFontHeight = 18;
    explicit CFontPreviewCombo(const QString& current, QWidget* parent = nullptr);
    void showPopup() override;
    // The widths the list needs beside the scroll bar: the widest name and the widest sample.
    int NameWidth() const { return nameWidth_; }
    int SampleWidth() const { return sampleWidth_; }

private:
    int nameWidth_ = 0, sampleWidth_ = 0;
};

class COptions2Dlg : public QDialog {
public:
    COptions2Dlg(const DisplaySettings& settings, QWidget* parent = nullptr);
    void accept() override;
    DisplaySettings settings;
    QSpinBox *paragraphSpacing, *leading, *tabSize, *borderWidth, *borderHeight;
    QCheckBox* justified;
};

class COptionsDlg2 : public QDialog {
public:
    COptionsDlg2(bool autoScroll, bool autoOpen, DesktopHost& host, std::string program,
                 QWidget* parent = nullptr);
    void accept() override;
    bool autoScroll, autoOpen;
    QCheckBox *autoScrollBox, *autoOpenBox;
    QPushButton* associateLit;
};

class COptions1Dlg : public QDialog {
public:
    COptions1Dlg(const DisplaySettings& settings, bool autoOpen, DesktopHost& host,
                 std::string program, QWidget* parent = nullptr);
    void accept() override;
    DisplaySettings settings;
    bool autoOpen;
    QSpinBox* fontSize;
    CFontPreviewCombo* face;
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

class CAskDeleteBookDLg : public QDialog {
public:
    explicit CAskDeleteBookDLg(QWidget* parent = nullptr);
    void accept() override;
    bool repair = true;
    QRadioButton *repairButton, *deleteButton;
};

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

using pwview::CTOCDialog;

}  // namespace wickstand
