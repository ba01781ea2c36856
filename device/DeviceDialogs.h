// The handheld reader's dialogs: the three Options pages, the about box, "More Properties", the
// loading note and the Library. Each holds copies of what it shows; the view takes them back
// when the dialog closes with OK. Dialogs the desktop has as well (the layout page, eBook
// Properties, Delete eBook, the font list) are the desktop's own.
#pragma once

#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/DeviceLibrary.h"
#include "library/Library.h"
#include "util/Host.h"
#include "view/DisplaySettings.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace pwview {
class CFontPreviewCombo;
}

namespace wickpad {

using pwview::DisplaySettings;

// The third page: behaviour, orientation, menus, start-up and the LIT association.
class COptions3Dlg : public QDialog {
public:
    COptions3Dlg(const DisplaySettings& settings, bool forceLandscape, bool autoOpen,
                 pagewick::Host& host, std::string program, QWidget* parent = nullptr);
    void accept() override;
    DisplaySettings settings;
    bool forceLandscape, autoOpen;
    QCheckBox *autoScroll, *landscape, *showMenus, *autoOpenBox;
    QPushButton* associateLit;

private:
    pagewick::Host& host_;
};

// The first page; "More>>" opens the second (the layout page), whose "More >>" opens the third.
class CDeviceOptionsDlg : public QDialog {
public:
    CDeviceOptionsDlg(const DisplaySettings& settings, bool forceLandscape, bool autoOpen,
                      pagewick::Host& host, std::string program, QWidget* parent = nullptr);
    void accept() override;
    DisplaySettings settings;
    bool forceLandscape, autoOpen;
    QSpinBox* fontSize;
    pwview::CFontPreviewCombo* face;
    QRadioButton *tahoma, *courier;
    QCheckBox *bold, *clearType, *positionBar, *pageNumber, *listHtml, *listZip, *showImages;
    // Typography on the small screen: hyphenation on or off and paragraph lines kept together;
    // the limits and the language stay as the settings store holds them.
    QCheckBox *hyphenate, *keepLines;
    QPushButton* more;
    // Called with each inner page before it runs (tests answer it).
    std::function<void(QDialog&)> beforeInner;

private:
    void RunSecondPage();
    pagewick::Host& host_;
    std::string program_;
};

extern const char* const kToolbarChangeNotice;

class CDeviceAboutDlg : public QDialog {
public:
    explicit CDeviceAboutDlg(pagewick::Host& host, QWidget* parent = nullptr);
    QPushButton* link;
};
extern const char* const kBooksAddress;

// "More Properties": title, author, publisher, copyright and ISBN of the open book.
class CMorePropertiesDlg : public QDialog {
public:
    CMorePropertiesDlg(const pagewick::CBookEngine& doc, QWidget* parent = nullptr);
};

// Shown while a book opens; closes itself once it has been painted.
class CLoadingDlg : public QDialog {
public:
    CLoadingDlg(const std::string& title, QWidget* parent = nullptr);
};

// Which of the three Library layouts: 0 taller than wide, 1 wider than tall, 2 near square.
int ShapeClass(int width, int height);

// The two performance warnings, each shown once in a run.
struct LibraryWarnings {
    bool total = false;   // more than 2,000 books found
    bool folder = false;  // more than 255 in one folder
};

class CDeviceLibraryDlg : public QDialog {
public:
    // Deletes or repairs an entry (the view's job); true when it did.
    using DeleteFn = std::function<bool(const pagewick::LibraryEntry&, bool repair)>;
    // Builds the list; run on a worker thread, it gives up when `stop` is set.
    using ScanFn = std::function<DeviceLibrary(const std::atomic<bool>& stop)>;
    // The dialog opens at once and the scan runs off the window's thread, so that a large card
    // neither delays nor freezes it; the books appear when the scan is done.
    CDeviceLibraryDlg(ScanFn scan, int shape, bool largeScreen, pagewick::Host& host,
                      LibraryWarnings& warnings, DeleteFn deleteFn, QWidget* parent = nullptr);
    ~CDeviceLibraryDlg() override;
    // A scan that lists what is given (tests).
    static ScanFn Listed(DeviceLibrary library);

    // Waits until the scan has finished and its books are listed (tests).
    void WaitForScan();
    bool Scanning() const;
    // The scan found nothing at all: the dialog has closed itself for the "No eBooks" message.
    bool NothingFound() const { return nothingFound_; }
    // Acts as a double tap on the row.
    void ActivateRow(int row);
    // The entry shown on a row, or null for a folder row.
    const pagewick::LibraryEntry* EntryAt(int row) const;
    int BookRows() const;

    pagewick::LibraryEntry chosen;
    bool rescan = false;
    QListWidget* list;
    QLineEdit* info;
    QPushButton *openButton, *deleteButton;

private:
    void ScanFinished(DeviceLibrary found);
    void Refill();
    void SelectionChanged();
    void DeleteSelected();

    struct Scan;
    std::shared_ptr<Scan> scan_;
    std::vector<pagewick::LibraryEntry> entries_;
    std::vector<std::string> folders_;
    std::string currentFolder_;
    pagewick::Host& host_;
    LibraryWarnings& warnings_;
    DeleteFn deleteFn_;
    int iconSize_;
    bool nothingFound_ = false;
    bool scanned_ = false;
};

}  // namespace wickpad
