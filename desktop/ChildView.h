// CChildView: the reading view. It owns the open book's document, chooses the page size from
// the window size, draws the current page off-screen through the Qt surface and copies it to
// the window, and turns pages on commands, keys, the wheel, clicks and the scrolling timer.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "desktop/DisplaySettings.h"
#include "desktop/Startup.h"
#include "engine/BookEngine.h"
#include "formats/Library.h"
#include "view/PageView.h"

class QPrinter;
namespace pagewick {
class PrintJob;
}

namespace wickstand {

class DesktopHost;

// Page sizes by size class: every usable page is 3 by 4; class 0 means too small.
struct PageSize {
    int width, height;
};
extern const PageSize kPageSizes[14];
// The largest class whose page fits strictly inside the client area.
int SizeClassFor(int clientWidth, int clientHeight);
// What the page says while no book is open.
extern const char* const kNoBookOpen;

class CChildView : public pwview::CPageView {
    Q_OBJECT
public:
    CChildView(DesktopHost& host, std::filesystem::path settingsFile, QWidget* parent = nullptr);
    ~CChildView() override;

    void SetPendingBook(PendingBook pending) { pending_ = std::move(pending); }

    // The command table: true when the view handled the command.
    bool OnCommand(int id);
    bool IsCommandEnabled(int id) const;

    // Opening a book: the pending one, else the Library. False when nothing was opened.
    bool OpenFirstBook();
    bool OpenPath(const std::string& path);
    bool OpenEntry(const pagewick::LibraryEntry& entry) override;
    // The Library until a book is opened from it (true) or it is cancelled or finds no book.
    // A book that cannot be read, and the builder closed without a book, lead back to it.
    bool ShowLibrary();
    void OfferLibrary() override { ShowLibrary(); }

    // Asks for the file a new eBook is built from ("" when none was chosen): a file dialog
    // unless a test puts something else here.
    std::function<std::string()> chooseSource;

    // Applying settings after a change of the display settings.
    void ApplySettings();
    // State the tests look at.
    int SizeClass() const { return sizeClass_; }
    // The bar's hit area in page coordinates.
    QRect PositionBarRect() const override;

    // Printing (Printing.cpp): the "&Print..." and "Print C&hapter(s)..." commands.
    void PrintPages();
    void PrintChapters();
    bool PrintCommandEnabled(int id) const;
    // A print job is running: the window shows "Printing" instead of the page.
    bool Printing() const { return printing_; }
    // Pages the last completed print job printed.
    int LastPagesPrinted() const { return lastPagesPrinted_; }

signals:
    void aboutRequested();
    void closeRequested();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    void focusOutEvent(QFocusEvent*) override;

private:
    void BuildCommandTable();
    void ChangeFont(int delta);
    void ShowOptions();
    void ShowProperties();
    // The eBook builder and the Palm wrapper (BuilderCommands.cpp). ConvertFile returns the book
    // built, or "" when none was.
    std::string ConvertFile();
    void SendToPalm();
    bool OpenDocument(const std::string& path, int32_t kind, const std::string& member);

    DesktopHost& host_;
    std::filesystem::path settingsFile_;
    PendingBook pending_;
    std::map<int, std::function<void()>> commands_;

    int sizeClass_ = -1;
    bool everOpened_ = false;
    bool failedShown_ = false;
    // The first book was opened or offered: from then on an empty page says how to open one.
    bool started_ = false;

    // Printing (Printing.cpp).
    void BuildPrintCommands();
    bool ShowPrintDialog(QPrinter& printer, bool pageNumbers);
    bool RunPrintJob(QPrinter& printer, const std::function<bool(pagewick::PrintJob&)>& run);
    bool printing_ = false;
    int lastPagesPrinted_ = 0;
};

}  // namespace wickstand
