// CDeviceView: the handheld's reading view. The shared view draws and turns the pages; this one
// takes the whole window as its page (turned on its side when landscape is forced and the window
// stands upright), opens books from the pending path or the Library of the documents folder and
// the storage cards, and maps the handheld keys and stylus: tap zones and swipes turn pages.
#pragma once

#include <QPointer>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "device/DeviceDialogs.h"
#include "platform/qt/StorageCards.h"
#include "view/PageView.h"
#include "view/Startup.h"

namespace pwview {
class DesktopHost;
}

namespace wickpad {

class CDeviceView : public pwview::CPageView {
    Q_OBJECT
public:
    CDeviceView(pwview::DesktopHost& host, std::filesystem::path settingsFile,
                QWidget* parent = nullptr);
    ~CDeviceView() override;

    void SetPendingBook(pwview::PendingBook pending) { pending_ = std::move(pending); }
    void SetForceLandscape(bool on);
    bool ForceLandscape() const { return forceLandscape_; }
    void SetStorageCards(pagewick::StorageCardLister lister) { cards_ = std::move(lister); }
    void SetHelpBook(std::string path) { helpBook_ = std::move(path); }
    // The documents folder the Library lists (the host's unless set: a handheld mounted as a
    // folder has its own).
    void SetDocumentsFolder(std::string path) { documents_ = std::move(path); }
    void SetProgramPath(std::string path) { program_ = std::move(path); }

    bool OnCommand(int id);
    bool IsCommandEnabled(int id) const;

    // The first book: the pending one, else the Library; with neither the about box and the
    // end of the program are asked for. False when nothing was opened.
    bool OpenFirstBook();
    // Opening a book: the pending one when its file opens, else the Library (scanned again every
    // time). False when nothing was handed to the document.
    bool OpenBookOrLibrary();
    bool OpenPath(const std::string& path);
    bool OpenEntry(const pagewick::LibraryEntry& entry) override;
    void OfferLibrary() override { ShowLibraryCommand(); }

    // State the tests look at.
    bool SizeAccepted() const { return sizeAccepted_; }
    bool PageTurned() const { return turned_; }
    bool Focused() const { return focused_; }
    QRect PositionBarRect() const override;
    // Lets the book go as a removed card does (tests).
    bool BookWentAway() const;

signals:
    // Show (true) or hide the menus, toolbar and taskbar: leaves or sets full-screen mode.
    void fullScreenRequested(bool showMenus);
    // The view has gained the focus (the frame takes the power keeper at the first).
    void focusGained();
    void aboutRequested();
    void closeRequested();
    void contextMenuRequested(QPoint globalPosition);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void keyReleaseEvent(QKeyEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void hideEvent(QHideEvent*) override;
    QPoint MapToPage(QPointF widgetPoint) const override;
    void BlitPage(QPainter& painter, const QImage& page) override;
    // A tap on no link or picture: the left third of the page goes back, the rest forward.
    void TapMissed(QPoint pagePoint) override;
    // The stylus rested on the text and was lifted: Highlight, Add Note... and Copy offered.
    void SelectionMade(QPoint at) override;

private:
    void BuildCommandTable();
    void ApplySize();
    void Relayout(int32_t start);
    void ShowLibraryCommand();
    void ShowOptions();
    void ShowProperties();
    void ToggleNighttime();
    void StepSection(bool forward);
    void LetBookGo();
    // A horizontal stroke from the press to this point turns the page; false when it is none.
    bool Swipe(QPoint pagePoint);
    // Dialogs run with the menus shown; full-screen mode is set again afterwards.
    void BeforeDialog();
    void AfterDialog();

    pwview::DesktopHost& host_;
    std::filesystem::path settingsFile_;
    pwview::PendingBook pending_;
    std::map<int, std::function<void()>> commands_;
    pagewick::StorageCardLister cards_;
    std::string helpBook_, program_, documents_;

    bool forceLandscape_ = false;
    bool turned_ = false;
    bool sizeAccepted_ = false;
    bool resizing_ = false;
    bool focused_ = false;
    bool firstPaint_ = true;
    bool everOpened_ = false;
    bool goneHandled_ = false;
    bool bookShown_ = false;  // a page of the open book has been drawn
    // The performance warnings are shown once per run.
    LibraryWarnings warnings_;
    // Where the stylus went down (page coordinates), for swipes; the turn the last tap made
    // (1 forward, -1 back), undone when that tap turns out to begin a double tap.
    QPoint pressPoint_;
    bool pressed_ = false;
    int tapTurn_ = 0;
};

extern const char* const kBookWentAway;
// Said when a book picked in the Library cannot be read and nothing said why.
extern const char* const kCannotReadBook;

}  // namespace wickpad
