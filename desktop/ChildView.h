// CChildView: the reading view. It owns the open book's document, chooses the page size from
// the window size, draws the current page off-screen through the Qt surface and copies it to
// the window, and turns pages on commands, keys, the wheel, clicks and the scrolling timer.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "desktop/DisplaySettings.h"
#include "desktop/Startup.h"
#include "engine/BookEngine.h"
#include "formats/Library.h"
#include "platform/qt/QtPictureDecoder.h"

class QPrinter;
namespace pagewick {
class PrintJob;
}

namespace wickstand {

class DesktopHost;
class IdleInhibitor;

// Page sizes by size class: every usable page is 3 by 4; class 0 means too small.
struct PageSize {
    int width, height;
};
extern const PageSize kPageSizes[14];
// The largest class whose page fits strictly inside the client area.
int SizeClassFor(int clientWidth, int clientHeight);

class CChildView : public QWidget {
    Q_OBJECT
public:
    CChildView(DesktopHost& host, std::filesystem::path settingsFile, QWidget* parent = nullptr);
    ~CChildView() override;

    pagewick::CBookEngine& Document() { return doc_; }
    DisplaySettings& Settings() { return settings_; }
    void SetPendingBook(PendingBook pending) { pending_ = std::move(pending); }

    // The command table: true when the view handled the command.
    bool OnCommand(int id);
    bool IsCommandEnabled(int id) const;

    // Opening a book: the pending one, else the Library. False when nothing was opened.
    bool OpenFirstBook();
    bool OpenPath(const std::string& path);
    bool OpenEntry(const pagewick::LibraryEntry& entry);
    bool HasBook() const { return doc_.TextLength != 0 && !doc_.SourceFailed; }

    // Applying settings after a change of the display settings.
    void ApplySettings();
    // Saves the reading position (the whole pagination file) and lets the book go.
    void CloseBookSavingPlace();
    // Removes a book's pagination files, or the book as well; the open book is let go first
    // without writing its place. True when something was removed.
    bool DeleteOrRepair(const pagewick::LibraryEntry& entry, bool repair, bool fromProperties);

    // State the tests look at.
    QRect PageRect() const { return QRect(QPoint(0, 0), QSize(pageWidth_, pageHeight_)); }
    QPoint PageOrigin() const { return origin_; }
    int SizeClass() const { return sizeClass_; }
    bool Paused() const { return paused_; }
    int ScrollDelay() const { return settings_.scrollDelay; }
    int BannerPaints() const { return bannerPaints_; }
    int LinkReturnPage() const { return doc_.LinkReturnPage; }
    const std::vector<pagewick::LinkRecord>& PageLinks() const { return pageLinks_; }
    bool PictureShown() const { return !doc_.CurrentTarget.empty(); }
    bool IdleInhibited() const;
    // The bar's hit area in page coordinates.
    QRect PositionBarRect() const;
    // Runs one tick of the scrolling timer.
    void ScrollTick();
    // Follows the link whose target is given, as a click on it does.
    void FollowLink(const std::string& target);

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
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void timerEvent(QTimerEvent*) override;

private:
    void BuildCommandTable();
    void NextPage();
    void PreviousPage();
    void GoToPart(int part);
    void GoToBookmark(int slot);
    void ChangeFont(int delta);
    void ReturnFromLink();
    void ShowContents();
    void ShowLibrary();
    void ShowOptions();
    void ShowProperties();
    void PaginateAll();
    // The eBook builder and the Palm wrapper (BuilderCommands.cpp).
    void ConvertFile();
    void SendToPalm();
    void DiscardImages();
    void ClosePicture();
    void ApplyPageGeometry();
    void RestartTimer();
    void ShowBanner();
    void SyncInhibit();
    void EnsureWidths();
    void JumpToOffset(int32_t offset);
    bool LinkAt(QPoint pagePoint);
    void JumpToTarget(const std::string& target);
    QImage RenderPage(bool following);
    void EnsurePageImages();
    bool OpenDocument(const std::string& path, int32_t kind, const std::string& member);
    int32_t BarOffset(int x) const;

    DesktopHost& host_;
    std::filesystem::path settingsFile_;
    DisplaySettings settings_;
    pagewick::CBookEngine doc_;
    PendingBook pending_;
    std::map<int, std::function<void()>> commands_;

    int pageWidth_ = 0, pageHeight_ = 0, sizeClass_ = -1;
    QPoint origin_;
    QImage current_, next_;
    std::vector<pagewick::LinkRecord> pageLinks_, nextLinks_;
    bool everOpened_ = false;

    int timerId_ = 0;
    bool paused_ = true;
    int scrollSteps_ = 0;
    int bannerPaints_ = 0;
    bool rearm_ = false;
    int ticks_ = 0;
    std::unique_ptr<IdleInhibitor> inhibitor_;

    bool dragging_ = false;
    int dragStartPage_ = 0;
    bool paging_ = false;
    bool painting_ = false;
    bool inMove_ = false;
    int pendingPage_ = -1;
    int linkReturnPage_ = 0;
    pagewick::QtPictureDecoder pictures_;  // pictures of the page and of the picture view
    bool failedShown_ = false;

    // Printing (Printing.cpp).
    void BuildPrintCommands();
    bool ShowPrintDialog(QPrinter& printer, bool pageNumbers);
    bool RunPrintJob(QPrinter& printer, const std::function<bool(pagewick::PrintJob&)>& run);
    bool printing_ = false;
    int lastPagesPrinted_ = 0;
};

}  // namespace wickstand
