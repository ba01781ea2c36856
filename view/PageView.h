// CPageView: what the reading views of both programs share. It owns the open book's document,
// draws its pages off-screen through the Qt surface (the current page and the next one, which
// slides in while the book scrolls by itself), turns pages, follows links and returns from
// them, shows pictures over the page, drags along the position bar, runs the automatic
// scrolling timer with its pause sign and speed banner, and keeps the screen awake while the
// book scrolls. Each program's view adds its page size, its commands and its dialogs.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "engine/BookEngine.h"
#include "library/Library.h"
#include "platform/qt/QtPictureDecoder.h"
#include "view/DisplaySettings.h"
#include "view/IdleInhibitor.h"

class QPainter;

namespace pwview {

class CPageView : public QWidget {
    Q_OBJECT
public:
    CPageView(pagewick::Host& host, QWidget* parent = nullptr);
    ~CPageView() override;

    pagewick::CBookEngine& Document() { return doc_; }
    DisplaySettings& Settings() { return settings_; }
    bool HasBook() const { return doc_.TextLength != 0 && !doc_.SourceFailed; }
    // Opens a library entry (closing the open book first, saving its place).
    virtual bool OpenEntry(const pagewick::LibraryEntry& entry) = 0;

    // Saves the reading position (the whole pagination file) and lets the book go; a scrolling
    // speed not yet written goes to the display-settings file first.
    void CloseBookSavingPlace();
    // Removes a book's pagination files, or the book as well; the open book is let go first
    // without writing its place. True when something was removed. The open book deleted from
    // its properties leaves nothing to read: the Library follows once the view is idle.
    bool DeleteOrRepair(const pagewick::LibraryEntry& entry, bool repair, bool fromProperties);
    // Shows the program's Library and opens the book chosen there.
    virtual void OfferLibrary() = 0;

    // State the tests look at.
    QRect PageRect() const { return QRect(QPoint(0, 0), QSize(pageWidth_, pageHeight_)); }
    QPoint PageOrigin() const { return origin_; }
    bool Paused() const { return paused_; }
    int ScrollDelay() const { return settings_.scrollDelay; }
    int BannerPaints() const { return bannerPaints_; }
    int LinkReturnPage() const { return doc_.LinkReturnPage; }
    const std::vector<pagewick::LinkRecord>& PageLinks() const { return pageLinks_; }
    bool PictureShown() const { return !doc_.CurrentTarget.empty(); }
    bool IdleInhibited() const { return inhibitor_->Held(); }
    // The bar's hit area in page coordinates.
    virtual QRect PositionBarRect() const = 0;
    // Runs one tick of the scrolling timer.
    void ScrollTick();
    // The pixels of the page images per page unit: the screen's device pixel ratio, so that text
    // is drawn sharp on high-resolution screens while the layout stays in page units.
    qreal PagePixelRatio() const { return devicePixelRatioF(); }
    // The current page image as drawn (tests).
    const QImage& CurrentPageImage() const { return current_; }
    // Writes a scrolling speed changed by the keys now rather than after the short wait.
    void FlushSettings();
    // The scrolling timer runs only while the book scrolls by itself (tests).
    bool TimerRunning() const { return timerId_ != 0; }
    // Follows the link whose target is given, as a click on it does.
    void FollowLink(const std::string& target);

    // The search (BookFinder): the page table measured for the settings in force, the start of
    // the page being read, and a hit shown on its page on the highlight band.
    void PrepareSearch();
    int32_t PageStartOffset() const { return CurrentPageStart(); }
    void ShowHit(int32_t page, int32_t first, int32_t end);

    // The identifiers each program gives the page commands both share.
    struct PageCommandIds {
        int nextPage, previousPage, firstPage, goto25, goto50, goto75, lastPage;
        int gotoBookmark1, setBookmark1;  // each followed by #2 to #4
        int returnFromLink, paginateAll, postPaginate, askPrepaginate;
    };
    using CommandTable = std::map<int, std::function<void()>>;

protected:
    // Fills the shared page commands into a program's command table; `run` runs a command as
    // the menus do (posted commands go through it).
    void AddPageCommands(CommandTable& table, const PageCommandIds& ids,
                         std::function<void(int)> run);
    // Closes the open book (saving its place), lays the page out for the settings and opens the
    // entry; a LIT magazine not yet paginated is offered pre-pagination once the view is idle.
    // A book that cannot be read is said (when the document has not said it already) and the
    // book that was open before is opened again at its place; false then, and the caller shows
    // its Library again.
    bool OpenLibraryBook(const pagewick::LibraryEntry& entry);
    // Pauses or resumes automatic scrolling and shows the speed banner.
    void TogglePause();
    // The display-settings file the program keeps its settings in; the scrolling speed the
    // arrow keys change is written there too, a moment after the last change.
    void SetSettingsFile(std::filesystem::path file) { settingsPath_ = std::move(file); }
    void SaveSettingsSoon();

    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void timerEvent(QTimerEvent*) override;
    // A tap or click that hit no link or picture of the page (page coordinates).
    virtual void TapMissed(QPoint) {}

    // A widget point in page coordinates (the page may be drawn turned).
    virtual QPoint MapToPage(QPointF widgetPoint) const;
    // Copies the finished page image to the window.
    virtual void BlitPage(QPainter& painter, const QImage& page);

    // The page keys both programs share: Enter (and Space) turns the page or, while the book
    // scrolls by itself, pauses it; Right and Left turn pages or change the scrolling speed;
    // Up, Down, Page Up and Page Down turn pages. False for other keys.
    bool PageKey(int key);
    // Draws the current page, the picture shown over it and the scrolling signs. False when the
    // book's source failed while it was read: nothing is drawn then.
    bool PaintBook(QPainter& painter);

    void NextPage();
    void PreviousPage();
    // The turn automatic scrolling makes when the next page has slid in; false at the end.
    bool TurnForScrolling();
    void GoToPart(int part);
    void GoToBookmark(int slot);
    void ReturnFromLink();
    void ShowContents();
    void PaginateAll();
    void DiscardImages();
    void ClosePicture();
    // Starts the scrolling timer again at the current delay, when the book scrolls.
    void RestartTimer();
    void ShowBanner();
    // Holds the screen awake and runs the timer exactly while the book scrolls by itself: the
    // option on, not paused, a book open and scrolling allowed; stops both otherwise.
    void SyncInhibit();
    void EnsureWidths();
    // The document's text area: the page less the borders of the settings.
    void ApplyPageGeometry();
    void JumpToOffset(int32_t offset);
    // Follows the link or opens the picture under the point; false when there is none.
    bool LinkAt(QPoint pagePoint);
    void JumpToTarget(const std::string& target);
    QImage RenderPage(bool following);
    // Keeps a page image let go for the next page drawn.
    void Recycle(QImage&& image);
    // A page-sized image to draw on, the spare one when there is one.
    QImage PageBuffer();
    // The reused image the shown page is composed on.
    QImage& ComposedBuffer();
    void EnsurePageImages();
    int32_t BarOffset(int x) const;
    // The start of the current page, for laying the book out again from the same place.
    int32_t CurrentPageStart() const;

    pagewick::Host& viewHost_;
    DisplaySettings settings_;
    pagewick::CBookEngine doc_;

    int pageWidth_ = 0, pageHeight_ = 0;
    QPoint origin_;
    QImage current_, next_;
    // Page buffers let go by a turn or a change, painted over by the next pages drawn: a fresh
    // page-sized image would have its memory handed back and faulted in again on every turn.
    std::vector<QImage> spare_;
    // The page as shown while the next one slides in, or the picture shown over it.
    QImage composed_;
    std::vector<pagewick::LinkRecord> pageLinks_, nextLinks_;

    int timerId_ = 0;
    bool paused_ = true;
    int scrollSteps_ = 0;
    int bannerPaints_ = 0;
    bool rearm_ = false;
    std::unique_ptr<IdleInhibitor> inhibitor_;
    std::filesystem::path settingsPath_;
    QTimer settingsSave_;  // single shot: a held arrow key writes the file once
    bool settingsUnsaved_ = false;

    // Lifting the stylus outside the bar gives the drag up and goes back to the page it began
    // on (the handheld); otherwise the place nearest the lift point is taken.
    bool dragCancelsOutsideBar_ = false;
    // The handheld's tap tries the page's pictures before its links.
    bool picturesFirst_ = false;
    // False while the view may not scroll (the handheld's view without the focus).
    bool scrollAllowed_ = true;
    // The press closed the picture view: its release acts on nothing under it.
    bool swallowRelease_ = false;
    bool dragging_ = false;
    int dragStartPage_ = 0;
    bool paging_ = false;
    bool painting_ = false;
    bool inMove_ = false;
    int pendingPage_ = -1;
    pagewick::QtPictureDecoder pictures_;   // pictures of the page and of the picture view
    std::function<void()> askPrepaginate_;  // posts the program's pre-pagination question
};

}  // namespace pwview
