// CPageView: what the reading views of both programs share. It owns the open book's document,
// draws its pages off-screen through the Qt surface (the current page and the next one, which
// slides in while the book scrolls by itself), turns pages, follows links and returns from
// them, shows pictures over the page, drags along the position bar, runs the automatic
// scrolling timer with its pause sign and speed banner, keeps the screen awake while the book
// scrolls, and selects text on the page and marks it with highlights and notes
// (PageHighlights.cpp). Each program's view adds its page size, its commands and its dialogs.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/BookEngine.h"
#include "library/Library.h"
#include "platform/qt/QtPictureDecoder.h"
#include "view/DisplaySettings.h"
#include "view/IdleInhibitor.h"

class QPainter;

namespace pwview {

// Asked (Yes or No) when a book deleted or repaired has a notes file: No keeps it.
extern const char* const kDeleteNotesQuestion;

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

    // --- The selection and the highlights (PageHighlights.cpp)
    // The characters selected on the page shown, [SelectionFirst, SelectionEnd) of the document.
    bool HasSelection() const {
        return doc_.SelectionFirst >= 0 && doc_.SelectionEnd > doc_.SelectionFirst;
    }
    void ClearSelection();
    // The selected characters as the page shows them (UTF-8), and the same put on the clipboard.
    std::string SelectedText();
    void CopySelection();
    // The character under a point of the page shown (page coordinates); -1 off the text.
    int32_t OffsetAt(QPoint pagePoint);
    // The colour a new highlight takes: the one chosen last (yellow at first).
    pagewick::HighlightColour NewColour() const { return newColour_; }
    // Marks the selection: in the colour given (which becomes the one new highlights take), else
    // in that one. A highlight of exactly that range keeps its note; the selection goes, so that
    // the highlight shows. False when nothing is selected.
    bool HighlightSelection(std::optional<pagewick::HighlightColour> colour = std::nullopt);
    // Asks for a note on the selection (a highlight of it keeps its colour; otherwise it becomes
    // one in the colour new highlights take). False when nothing is selected or it was cancelled.
    bool AddNoteToSelection();
    // The highlight of exactly that range: its note asked for and stored, its colour changed,
    // or removed. Every change is written to the notes file at once and the pages are drawn
    // again; false when there is no such highlight (or the note was cancelled).
    bool EditHighlightNote(int32_t start, int32_t end, QWidget* dialogParent = nullptr);
    bool SetHighlightNote(int32_t start, int32_t end, std::string note);
    bool SetHighlightColour(int32_t start, int32_t end, pagewick::HighlightColour colour);
    bool DeleteHighlight(int32_t start, int32_t end);
    // The highlight under a point of the page shown, or the one holding the selection's first
    // character when the point is none; its range (start < end) or none.
    std::optional<std::pair<int32_t, int32_t>> HighlightAt(std::optional<QPoint> pagePoint);
    // Turns to the page holding an offset and shows it.
    void ShowOffset(int32_t offset);
    // The Highlights list of the book (modal, of the size given when one is); a row chosen in
    // it is turned to.
    void ShowHighlightsList(QSize size = QSize());
    // A selection is being made with the mouse or the stylus (tests).
    bool Selecting() const { return selecting_; }

    // The identifiers each program gives the page commands both share.
    struct PageCommandIds {
        int nextPage, previousPage, firstPage, goto25, goto50, goto75, lastPage;
        int gotoBookmark1, setBookmark1;  // each followed by #2 to #4
        int returnFromLink, paginateAll, postPaginate, askPrepaginate;
    };
    using CommandTable = std::map<int, std::function<void()>>;

signals:
    // The selection was made, changed or let go (the programs' commands follow it).
    void selectionChanged();
    // A highlight was added, changed or removed.
    void highlightsChanged();

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
    // A double-click selects the word under it (a drag from there goes on by whole words).
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void timerEvent(QTimerEvent*) override;
    // A tap or click that hit no link or picture of the page (page coordinates).
    virtual void TapMissed(QPoint) {}
    // A selection made with the mouse or the stylus is complete (the point where it ended, in
    // widget coordinates).
    virtual void SelectionMade(QPoint) {}

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
    // The selection: the button went down at selectPress_ on the text (the stylus must rest
    // there a moment first when selectByLongPress_); while selecting_ the drag extends the
    // selection by whole words from the word pressed on (anchor_).
    bool selectByLongPress_ = false;
    bool selectPressed_ = false;
    bool selecting_ = false;
    QPoint selectPress_;
    std::pair<int32_t, int32_t> anchor_{-1, -1};
    QTimer longPress_;
    // Where the selection was made: it goes when the page or the book changes.
    int32_t selectionPageStart_ = -1;
    std::string selectionBook_;
    pagewick::HighlightColour newColour_ = pagewick::HighlightColour::Yellow;
    // The characters of the page shown and of the next one (as pageLinks_, nextLinks_), for
    // turning points into offsets.
    std::vector<pagewick::CBookEngine::DrawnLine> pageLines_, nextLines_;
    // The page shown is being drawn again with other marks: its lines stand as they were.
    bool linesKept_ = false;
    // Starts a selection at the word under the press; false when the press was off the text.
    bool BeginSelection();
    void ExtendSelection(QPoint pagePoint);
    // The selection goes when its page is no longer shown; the images showing it are redrawn.
    void DropStaleSelection();
    std::string BookKey() const;
    // Draws the page shown again (its marks changed); the next page keeps its image.
    void RedrawCurrent();
    // Writes the notes file after a change and draws both pages again.
    void HighlightsChangedNow();

    pagewick::QtPictureDecoder pictures_;   // pictures of the page and of the picture view
    std::function<void()> askPrepaginate_;  // posts the program's pre-pagination question
};

}  // namespace pwview
