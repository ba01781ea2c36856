#include "device/DeviceView.h"

#include <QApplication>
#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdlib>
#include <fstream>

#include "device/Commands.h"
#include "device/DeviceDialogs.h"
#include "device/DeviceLibrary.h"
#include "engine/PaginationFile.h"
#include "formats/BookKinds.h"
#include "util/AsciiCase.h"
#include "view/DesktopHost.h"
#include "view/PropertiesDialog.h"

namespace wickpad {
using namespace pagewick;
namespace fs = std::filesystem;

const char* const kBookWentAway = "This eBook can no longer be read: its storage card was removed.";

const char* const kCannotReadBook = "Pagewick cannot read this format.";

namespace {
// The strip of the position bar a stylus can hit, above the bottom border.
constexpr int kBarHitHeight = 12;
// A stylus lifted a little past the bar's right end still means the end of the book.
constexpr int kBarEndSlack = 4;
// A stroke this long (or an eighth of the page, when more), and more across than down, is a
// swipe rather than a tap.
constexpr int kSwipeMinimum = 30;
}  // namespace

CDeviceView::CDeviceView(pwview::DesktopHost& host, fs::path settingsFile, QWidget* parent)
    : CPageView(host, parent),
      host_(host),
      settingsFile_(std::move(settingsFile)),
      cards_(MountedStorageCards) {
    // A stylus drag that leaves the bar is given up, the page it began on shown again.
    dragCancelsOutsideBar_ = true;
    // A tap tries the pictures of the page before its links.
    picturesFirst_ = true;
    // The book scrolls by itself only while the reader has the focus.
    scrollAllowed_ = false;
    // The stylus selects text after resting on it a moment: a quick tap still turns the page.
    selectByLongPress_ = true;
    settings_ = DisplaySettings::Load(settingsFile_, DisplaySettings::DeviceDefaults());
    settings_.LoadTypography(host_);
    settings_.ApplyTo(doc_);
    SetSettingsFile(settingsFile_);
    BuildCommandTable();
}

CDeviceView::~CDeviceView() {
    CloseBookSavingPlace();
}

void CDeviceView::SetForceLandscape(bool on) {
    if (on == forceLandscape_) return;
    const int32_t start = doc_.PendingOffset != -1 ? doc_.PendingOffset : CurrentPageStart();
    forceLandscape_ = on;
    ApplySize();
    if (HasBook()) Relayout(start);
}

void CDeviceView::BuildCommandTable() {
    AddPageCommands(commands_,
                    {ID_NEXT_PAGE, ID_PREVIOUS_PAGE, ID_FIRST_PAGE, ID_GOTO_25, ID_GOTO_50,
                     ID_GOTO_75, ID_LAST_PAGE, ID_GOTO_BOOKMARK1, ID_SET_BOOKMARK1,
                     ID_RETURN_FROM_LINK, ID_PAGINATE_ALL, ID_POST_PAGINATE, ID_ASK_PREPAGINATE},
                    [this](int id) { OnCommand(id); });
    commands_[ID_PREV_SECTION] = [this] { StepSection(false); };
    commands_[ID_NEXT_SECTION] = [this] { StepSection(true); };
    commands_[ID_CONTENTS] = [this] {
        BeforeDialog();
        ShowContents();
        AfterDialog();
    };
    commands_[ID_READER_OPTIONS] = [this] { ShowOptions(); };
    commands_[ID_NIGHTTIME] = [this] { ToggleNighttime(); };
    commands_[ID_ABOUT_EBOOK] = [this] { ShowProperties(); };
    commands_[ID_LIBRARY] = [this] { ShowLibraryCommand(); };
    commands_[ID_HIGHLIGHTS] = [this] {
        BeforeDialog();
        // The small screen: the list as large as the reader.
        ShowHighlightsList(window()->size());
        AfterDialog();
    };
}

bool CDeviceView::OnCommand(int id) {
    auto it = commands_.find(id);
    if (it == commands_.end()) return false;
    if (IsCommandEnabled(id)) it->second();
    return true;
}

bool CDeviceView::IsCommandEnabled(int id) const {
    switch (id) {
        case ID_PREV_SECTION:
        case ID_NEXT_SECTION:
            return HasBook() && doc_.Form.sections;
        case ID_CONTENTS:
            return HasBook() && doc_.Form.contents;
        case ID_LIBRARY:
        case ID_READER_OPTIONS:
        case ID_NIGHTTIME:
            return true;
        case ID_HIGHLIGHTS:
            return HasBook() && !doc_.Highlights.Empty();
        default:
            return HasBook();
    }
}

// --- The page: the accepted size, turned when landscape is forced

void CDeviceView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplySize();
}

void CDeviceView::ApplySize() {
    const int w = width(), h = height();
    if (w <= 0 || h <= 0) return;
    // This platform cannot turn the screen: with landscape forced and the window upright, the
    // page is laid out for the turned size and drawn on its side.
    const bool turn = forceLandscape_ && h > w;
    const int pw = turn ? h : w, ph = turn ? w : h;
    const bool accepted = forceLandscape_ ? pw > ph : ph > pw;
    if (!accepted && pageWidth_ > 0) {
        // A size in the wrong orientation keeps the page as it was.
        sizeAccepted_ = false;
        return;
    }
    sizeAccepted_ = true;
    turned_ = turn;
    if ((pw == pageWidth_ && ph == pageHeight_) || resizing_) return;
    resizing_ = true;
    paused_ = true;
    SyncInhibit();
    ClosePicture();
    pageWidth_ = pw;
    pageHeight_ = ph;
    origin_ = QPoint(0, 0);
    ApplyPageGeometry();
    if (HasBook() && doc_.PendingOffset == -1) {
        const int32_t start = CurrentPageStart();
        doc_.ResetPagination();
        doc_.PendingOffset = start;
    }
    DiscardImages();
    scrollSteps_ = 0;
    resizing_ = false;
    update();
}

void CDeviceView::Relayout(int32_t start) {
    paused_ = true;
    SyncInhibit();
    settings_.ApplyTo(doc_);
    ApplyPageGeometry();
    DiscardImages();
    scrollSteps_ = 0;
    if (HasBook() && pageWidth_ > 0) {
        doc_.PendingOffset = -1;
        doc_.ResetPagination();
        JumpToOffset(start);
    }
    update();
}

QPoint CDeviceView::MapToPage(QPointF widgetPoint) const {
    const QPoint p = widgetPoint.toPoint();
    if (!turned_) return p - origin_;
    // The page is drawn turned a quarter clockwise: its top runs down the window's right side.
    return QPoint(p.y(), width() - p.x());
}

void CDeviceView::BlitPage(QPainter& painter, const QImage& page) {
    if (!turned_) {
        painter.drawImage(origin_, page);
        return;
    }
    painter.save();
    painter.translate(width(), 0);
    painter.rotate(90);
    painter.drawImage(QPoint(0, 0), page);
    painter.restore();
}

QRect CDeviceView::PositionBarRect() const {
    // The page less its borders; the bar is its bottom strip, as wide as the bar is drawn (short
    // of the page number when that is shown): every point of it maps to a place, its right end
    // to the end of the book.
    const int left = doc_.LeftEdge;
    const int bottom = pageHeight_ - settings_.borderHeight;
    return QRect(QPoint(left, bottom - kBarHitHeight),
                 QPoint(doc_.BarRightEnd() - 1 + kBarEndSlack, bottom - 1));
}

bool CDeviceView::BookWentAway() const {
    if (doc_.BookPath.empty() || doc_.TextLength == 0) return false;
    std::error_code ec;
    return !fs::exists(doc_.BookPath, ec);
}

void CDeviceView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (firstPaint_) {
        // The first paint after the settings were read sets full-screen mode from them.
        firstPaint_ = false;
        QTimer::singleShot(0, this,
                           [this] { emit fullScreenRequested(settings_.ShowMenuAndToolbars()); });
    }
    const QColor paper = settings_.nightScheme ? Qt::black : Qt::white;
    // A book shown before that can no longer be read (its card taken out while a page was being
    // read): the document has said so; the Library follows.
    const bool failedAfterShown = bookShown_ && doc_.SourceFailed;
    if (painting_ || pageWidth_ <= 0 || (!HasBook() && !failedAfterShown)) {
        p.fillRect(rect(), paper);
        return;
    }
    if (failedAfterShown || BookWentAway() || !PaintBook(p)) {
        // The card holding the book was taken out (or the file went away): said once, then the
        // Library. The book is let go without writing its place where it can no longer be.
        p.fillRect(rect(), paper);
        if (!goneHandled_) {
            goneHandled_ = true;
            const bool said = doc_.SourceFailed;
            QTimer::singleShot(0, this, [this, said] {
                LetBookGo();
                if (!said)
                    viewHost_.ShowMessage(kBookWentAway, "Pagewick", MessageButtons::Ok,
                                          MessageIcon::Warning);
                ShowLibraryCommand();
            });
        }
        return;
    }
    bookShown_ = true;
    if (turned_ || width() > pageWidth_ || height() > pageHeight_) {
        // A size that was not accepted leaves the old page; the rest is paper.
        QRegion rest =
            QRegion(rect()) - QRegion(turned_ ? QRect(0, 0, pageHeight_, pageWidth_)
                                              : QRect(origin_, QSize(pageWidth_, pageHeight_)));
        for (const QRect& r : rest)
            p.fillRect(r, paper);
    }
}

// --- Opening books

void CDeviceView::LetBookGo() {
    bookShown_ = false;
    doc_.PaginationPath.clear();
    doc_.CloseBook();
    doc_.BookPath.clear();
    doc_.TextLength = 0;
    DiscardImages();
    SyncInhibit();
    update();
}

bool CDeviceView::OpenPath(const std::string& path) {
    CloseBookSavingPlace();
    DiscardImages();
    doc_.BookPath = path;
    doc_.MemberName.clear();
    doc_.SourceKind = SourceKindOfPath(path);
    doc_.Magazine = false;  // only a library entry says a LIT book is a magazine
    doc_.PaginationPath = PaginationFilePath(path, "");
    settings_.ApplyTo(doc_);
    ApplyPageGeometry();
    goneHandled_ = false;
    bookShown_ = false;
    bool ok = doc_.OpenBook();
    if (ok) everOpened_ = true;
    update();
    return ok;
}

bool CDeviceView::OpenEntry(const LibraryEntry& entry) {
    // The book being read is closed, and its place saved, before anything is reset: the new
    // book alone starts from its own saved place.
    goneHandled_ = false;
    bookShown_ = false;
    bool ok = OpenLibraryBook(entry);
    if (ok) everOpened_ = true;
    update();
    return ok;
}

bool CDeviceView::OpenFirstBook() {
    if (OpenBookOrLibrary()) return true;
    if (!HasBook()) {
        emit aboutRequested();
        emit closeRequested();
    }
    return false;
}

bool CDeviceView::OpenBookOrLibrary() {
    DiscardImages();
    scrollSteps_ = 0;
    doc_.LinkReturnPage = -1;
    pendingPage_ = -1;
    ClosePicture();
    if (HasBook()) doc_.SavePosition(true);
    if (!pending_.path.empty()) {
        const std::string path = pending_.path;
        const std::string member = pending_.member;
        std::string title = pending_.title;
        pending_.path.clear();
        pending_.member.clear();
        pending_.title.clear();
        // A book that cannot be read (a card taken out, a file gone) falls back to the list.
        if (std::ifstream(path, std::ios::binary)) {
            if (title.empty()) title = fs::path(path).stem().string();
            BeforeDialog();
            CLoadingDlg loading(title, this);
            loading.show();
            loading.repaint();
            loading.close();
            AfterDialog();
            // The last book may be a member of an archive: the archive is opened at it.
            if (member.empty()
                    ? OpenPath(path)
                    : OpenEntry(LibraryEntry{kLibraryZipMember, path, member, title, ""}))
                return true;
        }
    }
    for (;;) {
        const int shape = ShapeClass(window()->width(), window()->height());
        paused_ = true;
        SyncInhibit();
        BeforeDialog();
        const QSize screen = window()->screen() ? window()->screen()->size() : QSize(480, 640);
        const bool large = screen.width() > 320 || screen.height() > 320;
        // The cards are asked for here; the folders are read on the Library's worker.
        const std::vector<StorageCard> cards = cards_ ? cards_() : std::vector<StorageCard>();
        const std::string documents = documents_.empty() ? viewHost_.DocumentsFolder() : documents_;
        const bool listHtml = settings_.listHtml != 0, searchZip = settings_.searchZip != 0;
        CDeviceLibraryDlg dlg(
            [help = helpBook_, documents, cards, listHtml,
             searchZip](const std::atomic<bool>& stop) {
                return BuildDeviceLibrary(help, documents, cards, listHtml, searchZip, &stop);
            },
            shape, large, viewHost_, warnings_,
            [this](const LibraryEntry& e, bool repair) { return DeleteOrRepair(e, repair, false); },
            this);
        const int result = dlg.exec();
        AfterDialog();
        if (dlg.NothingFound()) {
            viewHost_.ShowMessage(shape == 1 ? kNoBooksWide : kNoBooksTall, "No eBooks",
                                  MessageButtons::Ok, MessageIcon::Information);
            return false;
        }
        if (result != QDialog::Accepted) {
            if (dlg.rescan) continue;
            return false;
        }
        if (dlg.chosen.path.empty()) return false;
        const size_t said = host_.messagesShown.size();
        if (OpenEntry(dlg.chosen)) return true;
        // A book that cannot be read is said so (once: the document may have said why) and the
        // Library comes back, so another can be picked.
        if (host_.messagesShown.size() == said)
            viewHost_.ShowMessage(kCannotReadBook, "Pagewick", MessageButtons::Ok,
                                  MessageIcon::Error);
    }
}

void CDeviceView::ShowLibraryCommand() {
    // With nothing left to show, the reader ends, as the desktop's does.
    if (!OpenBookOrLibrary() && !HasBook()) emit closeRequested();
    update();
}

// --- Dialogs and settings

void CDeviceView::BeforeDialog() {
    paused_ = true;
    SyncInhibit();
    emit fullScreenRequested(true);
}

void CDeviceView::AfterDialog() {
    emit fullScreenRequested(settings_.ShowMenuAndToolbars());
    // The keys go back to the page: without a window manager to hand the focus back (a
    // handheld's own session), the keys build would otherwise have nothing to turn pages with.
    if (isVisible()) {
        window()->activateWindow();
        setFocus(Qt::OtherFocusReason);
    }
}

void CDeviceView::ShowOptions() {
    const std::string section = viewHost_.ProgramSection();
    const bool autoOpen = viewHost_.GetSetting(section, "AutoOpen", "0").starts_with("1");
    BeforeDialog();
    CDeviceOptionsDlg dlg(
        settings_, forceLandscape_, autoOpen, viewHost_,
        program_.empty() ? QCoreApplication::applicationFilePath().toStdString() : program_, this);
    if (dlg.exec() == QDialog::Accepted) {
        const int32_t start = doc_.PendingOffset != -1 ? doc_.PendingOffset : CurrentPageStart();
        viewHost_.SetSetting(section, "ForceLandScape", dlg.forceLandscape ? "1" : "0");
        viewHost_.SetSetting(section, "AutoOpen", dlg.autoOpen ? "1" : "0");
        settings_ = dlg.settings;
        settings_.Save(settingsFile_);
        settings_.SaveTypography(host_);
        forceLandscape_ = dlg.forceLandscape;
        ApplySize();
        Relayout(start);
        RestartTimer();
    }
    AfterDialog();
}

void CDeviceView::ToggleNighttime() {
    settings_.nightScheme = settings_.nightScheme ? 0 : 1;
    settings_.ApplyTo(doc_);
    DiscardImages();
    settings_.Save(settingsFile_);
    update();
}

void CDeviceView::StepSection(bool forward) {
    if (paging_ || !HasBook()) return;
    ClosePicture();
    DiscardImages();
    EnsureWidths();
    if (forward)
        doc_.NextSection();
    else
        doc_.PreviousSection();
    scrollSteps_ = 0;
    update();
}

void CDeviceView::ShowProperties() {
    if (!HasBook()) return;
    BeforeDialog();
    pwview::CPropertiesDlg dlg(doc_, this);
    // The handheld's dialog has one more button: the book's own description.
    auto* more = new QPushButton(QStringLiteral("More Info"), &dlg);
    if (auto* box = qobject_cast<QBoxLayout*>(dlg.layout()))
        box->insertWidget(box->count() - 1, more);
    connect(more, &QPushButton::clicked, &dlg, [this, &dlg] {
        CMorePropertiesDlg details(doc_, &dlg);
        details.exec();
    });
    if (dlg.exec() == QDialog::Accepted) {
        if (dlg.deleteFile) {
            LibraryEntry entry;
            entry.kind = LibraryKindOf(doc_);
            entry.path = doc_.BookPath;
            entry.member = doc_.MemberName;
            DeleteOrRepair(entry, false, true);
            SyncInhibit();
        } else if (dlg.lineBreaks != (doc_.JoinLines != 0) || dlg.repaginate) {
            // The person's word about line breaks stands from now on for this book.
            if (dlg.lineBreaks != (doc_.JoinLines != 0)) doc_.JoinLinesChosen = true;
            doc_.JoinLines = dlg.lineBreaks ? 1 : 0;
            const int32_t start = CurrentPageStart();
            doc_.ResetPagination();
            JumpToOffset(int32_t(doc_.CharCount()) - 10);
            JumpToOffset(start);
            DiscardImages();
        }
    }
    AfterDialog();
    update();
}

// --- Keys and the stylus

void CDeviceView::keyPressEvent(QKeyEvent* event) {
    if (PageKey(event->key())) return;
    switch (event->key()) {
        case Qt::Key_VolumeDown:
            NextPage();
            break;
        case Qt::Key_VolumeUp:
            PreviousPage();
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    update();
}

void CDeviceView::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) return;
    switch (event->key()) {
        case Qt::Key_F1:
            NextPage();
            break;
        case Qt::Key_F2:
            if (settings_.autoScroll)
                TogglePause();
            else
                NextPage();
            break;
        default:
            QWidget::keyReleaseEvent(event);
            return;
    }
    update();
}

void CDeviceView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressPoint_ = MapToPage(event->position());
        pressed_ = true;
        tapTurn_ = 0;
    }
    CPageView::mousePressEvent(event);
}

void CDeviceView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        emit contextMenuRequested(event->globalPosition().toPoint());
        return;
    }
    const bool stroke = event->button() == Qt::LeftButton && pressed_;
    pressed_ = false;
    // A stroke across the page turns it (not one along the position bar, nor the release of a
    // tap that closed a picture).
    if (stroke && !dragging_ && !swallowRelease_ && !Selecting() && HasBook() &&
        Swipe(MapToPage(event->position())))
        return;
    CPageView::mouseReleaseEvent(event);
}

bool CDeviceView::Swipe(QPoint point) {
    const int dx = point.x() - pressPoint_.x(), dy = point.y() - pressPoint_.y();
    if (std::abs(dx) < std::max(kSwipeMinimum, pageWidth_ / 8) || std::abs(dx) <= 2 * std::abs(dy))
        return false;
    // The page follows the finger: drawn to the left, the next page comes in.
    if (dx < 0)
        NextPage();
    else
        PreviousPage();
    update();
    return true;
}

void CDeviceView::TapMissed(QPoint point) {
    if (point.x() < pageWidth_ / 3) {
        PreviousPage();
        tapTurn_ = -1;
    } else {
        NextPage();
        tapTurn_ = 1;
    }
    update();
}

void CDeviceView::SelectionMade(QPoint at) {
    if (!HasSelection()) return;
    QMenu menu(this);
    menu.addAction(QStringLiteral("Highlight"), this, [this] { HighlightSelection(); });
    menu.addAction(QStringLiteral("Add Note..."), this, [this] {
        BeforeDialog();
        AddNoteToSelection();
        AfterDialog();
    });
    menu.addAction(QStringLiteral("Copy"), this, [this] { CopySelection(); });
    menu.exec(mapToGlobal(at));
}

void CDeviceView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // The second tap opens the menu: it does not rest for a selection.
    longPress_.stop();
    selectPressed_ = false;
    // The first tap of a double tap turned the page: the menu opens over the page it began on.
    if (tapTurn_ > 0)
        PreviousPage();
    else if (tapTurn_ < 0)
        NextPage();
    tapTurn_ = 0;
    pressed_ = false;
    swallowRelease_ = true;  // the second release acts on nothing
    emit contextMenuRequested(event->globalPosition().toPoint());
}

void CDeviceView::contextMenuEvent(QContextMenuEvent* event) {
    // The mouse's menu opens when the button is released; the keyboard's menu key opens it here.
    if (event->reason() == QContextMenuEvent::Keyboard)
        emit contextMenuRequested(mapToGlobal(rect().center()));
}

// --- Focus

void CDeviceView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (focused_) return;
    focused_ = true;
    scrollAllowed_ = true;
    emit focusGained();
    emit fullScreenRequested(settings_.ShowMenuAndToolbars());
    RestartTimer();
}

void CDeviceView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    // A menu opening over the view does not take the reader away.
    if (!focused_ || event->reason() == Qt::PopupFocusReason) return;
    focused_ = false;
    scrollAllowed_ = false;
    paused_ = true;
    SyncInhibit();  // the timer stops
    if (HasBook()) doc_.SavePosition(true);
    emit fullScreenRequested(true);
}

void CDeviceView::hideEvent(QHideEvent* event) {
    if (HasBook()) doc_.SavePosition(true);
    QWidget::hideEvent(event);
}

}  // namespace wickpad
