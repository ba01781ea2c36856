// CChildView: the reading view. It owns the open book's document, chooses the page size from
// the window size, draws the current page off-screen through the Qt surface and copies it to
// the window, and turns pages on commands, keys, the wheel, clicks and the scrolling timer.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "desktop/DesktopHost.h"
#include "desktop/DisplaySettings.h"
#include "desktop/Startup.h"
#include "engine/BookEngine.h"
#include "library/Library.h"
#include "view/PageView.h"

class QMenu;
class QPrinter;
namespace pagewick {
class PrintJob;
}

namespace wickstand {

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
    bool HandlesCommand(int id) const { return commands_.count(id) != 0; }

    // Opening a book: the pending one, else the Library. False when nothing was opened.
    bool OpenFirstBook();
    bool OpenPath(const std::string& path);
    // A book named by its path, as the command line names it: File > "Open...", a file dropped
    // on the window and the recent books open through here too. A book from outside the
    // documents folder goes into the library first (CopyIntoLibrary); a ZIP archive opens the
    // text or HTML member the person picks (the only one, without asking).
    bool OpenBookFile(const std::string& path);
    // The file types File > "Open..." offers, and whether a dropped file is one of them.
    static const char* const kOpenFilter;
    static bool IsBookFile(const std::string& path);
    // The recent book at index (0 to 9), at its place; one no longer there is said and forgotten.
    bool OpenRecent(size_t index);
    // "TITLE - Pagewick" with a book open, else "Pagewick".
    QString WindowTitle() const;
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

    // The book's title, or its file name when it names none.
    std::string BookName() const;

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
    // The open book, its title or what it offers (contents, printing) changed: the frame's
    // title and the commands' states follow.
    void bookChanged();

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
    void ShowOpenDialog();
    // The member of an archive to open: the only book in it, or the one the person picks.
    bool ChooseZipMember(const std::string& archive, std::string& member);
    void RememberRecent();
    void NotifyBookChanged();
    // Deletes or repairs through the shared view; a deleted book leaves the recent list.
    bool DeleteOrRepairBook(const pagewick::LibraryEntry& entry, bool repair, bool fromProperties);
    void ShowOptions();
    void ShowProperties();
    // The eBook builder and the Palm wrapper (BuilderCommands.cpp). ConvertFile returns the book
    // built, or "" when none was.
    std::string ConvertFile();
    void SendToPalm();
    // File > "Save as EPUB...": the open book written as an EPUB book where the person chooses;
    // returns the book written, or "" when none was.
    std::string SaveAsEpub();
    bool OpenDocument(const std::string& path, int32_t kind, const std::string& member);

    DesktopHost& host_;
    std::filesystem::path settingsFile_;
    PendingBook pending_;
    std::map<int, std::function<void()>> commands_;

    int sizeClass_ = -1;
    // Wheel units not yet used: a page turns (or the font changes) once per notch of 120.
    int wheelRest_ = 0;
    bool wheelControl_ = false;
    std::string bookState_;  // what bookChanged was last sent for
    bool everOpened_ = false;
    bool failedShown_ = false;
    // The first book was opened or offered: from then on an empty page says how to open one.
    bool started_ = false;

    // Highlights and notes (HighlightCommands.cpp).
    void BuildHighlightCommands();
    bool HighlightCommandEnabled(int id) const;
    // The page menu's highlight items: the selection's, and those of the highlight under the
    // point when there is one.
    void AddHighlightItems(QMenu& menu, std::optional<QPoint> pagePoint);
    void ExportHighlights();

    // Printing (Printing.cpp).
    void BuildPrintCommands();
    bool ShowPrintDialog(QPrinter& printer, bool pageNumbers);
    bool RunPrintJob(QPrinter& printer, const std::function<bool(pagewick::PrintJob&)>& run);
    bool printing_ = false;
    int lastPagesPrinted_ = 0;
};

}  // namespace wickstand
