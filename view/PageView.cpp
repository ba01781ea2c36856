#include "view/PageView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

#include "engine/Contents.h"
#include "engine/PaginationFile.h"
#include "formats/BookKinds.h"
#include "platform/qt/QtSurface.h"
#include "view/ContentsDialog.h"

namespace pwview {
using namespace pagewick;

namespace fs = std::filesystem;

namespace {
constexpr int kScrollStepPixels = 2;
// The wait after the last change of the scrolling speed before the settings file is written.
constexpr int kSettingsSaveDelayMs = 700;
// A mouse moved less than this (in page units) between press and release clicked; the stylus
// may wander a little more while it rests for a selection.
constexpr int kClickSlack = 4;
constexpr int kLongPressSlack = 10;
// How long the stylus rests on the text before a selection begins.
constexpr int kLongPressMs = 500;
constexpr const char* kZipQuestion =
    "This will remove the whole compressed (ZIP) file, not just the text within.\r\nAre you sure?";
constexpr const char* kRemoveQuestion =
    "Are you sure you want to remove the file from your device?";

bool SamePath(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) return true;
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}
void RemoveQuietly(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
}
bool IsNotesFile(const std::string& name) {
    return name.ends_with(".notes");
}
}  // namespace

const char* const kDeleteNotesQuestion = "Delete the highlights and notes of this eBook too?";

CPageView::CPageView(Host& host, QWidget* parent)
    : QWidget(parent), viewHost_(host), inhibitor_(std::make_unique<IdleInhibitor>()) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    doc_.HostServices = &viewHost_;
    doc_.Pictures = &pictures_;
    settingsSave_.setSingleShot(true);
    settingsSave_.setInterval(kSettingsSaveDelayMs);
    connect(&settingsSave_, &QTimer::timeout, this, [this] { FlushSettings(); });
    longPress_.setSingleShot(true);
    longPress_.setInterval(kLongPressMs);
    connect(&longPress_, &QTimer::timeout, this, [this] {
        // The stylus rested on the text: the word under it is selected, and the drag goes on.
        if (selectPressed_ && !selecting_ && !dragging_ && !BeginSelection())
            selectPressed_ = false;
    });
}

CPageView::~CPageView() {
    FlushSettings();
}

void CPageView::SaveSettingsSoon() {
    if (settingsPath_.empty()) return;
    settingsUnsaved_ = true;
    settingsSave_.start();
}

void CPageView::FlushSettings() {
    settingsSave_.stop();
    if (!settingsUnsaved_) return;
    settingsUnsaved_ = false;
    settings_.Save(settingsPath_);
}

// --- Page images

void CPageView::DiscardImages() {
    linesKept_ = false;
    Recycle(std::move(current_));
    Recycle(std::move(next_));
    current_ = QImage();
    next_ = QImage();
}

void CPageView::Recycle(QImage&& image) {
    // An image still shared elsewhere would be copied before drawing on it: not worth keeping.
    if (image.isNull() || !image.isDetached() || spare_.size() >= 2) return;
    spare_.push_back(std::move(image));
}

QImage CPageView::PageBuffer() {
    // The image has the screen's pixels; painters on it work in page units.
    const qreal ratio = PagePixelRatio();
    const QSize size(qCeil(pageWidth_ * ratio), qCeil(pageHeight_ * ratio));
    while (!spare_.empty()) {
        QImage image = std::move(spare_.back());
        spare_.pop_back();
        if (image.size() == size && image.devicePixelRatio() == ratio && image.isDetached())
            return image;
    }
    QImage image(size, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    return image;
}

QImage& CPageView::ComposedBuffer() {
    if (composed_.size() != current_.size() || composed_.format() != QImage::Format_RGB32 ||
        composed_.devicePixelRatio() != current_.devicePixelRatio()) {
        composed_ = QImage(current_.size(), QImage::Format_RGB32);
        composed_.setDevicePixelRatio(current_.devicePixelRatio());
    }
    return composed_;
}

void CPageView::JumpToOffset(int32_t offset) {
    // The pages up to the place are measured first; the walk then finds the page holding it.
    EnsureWidths();
    doc_.PaginateToOffset(offset);
    doc_.CurrentPage = 0;
    doc_.GoToOffset(offset);
}

void CPageView::PrepareSearch() {
    EnsureWidths();
    // Settings changed since the table was made: it is made again up to the text being read,
    // as the next paint would, so that hits get the pages the person will see.
    if (doc_.PendingOffset != -1) {
        const int32_t target = doc_.PendingOffset;
        doc_.PendingOffset = -1;
        JumpToOffset(target);
    }
}

void CPageView::ShowHit(int32_t page, int32_t first, int32_t end) {
    ClosePicture();
    doc_.HighlightFirst = first;
    doc_.HighlightEnd = end;
    doc_.CurrentPage = std::clamp(page, 0, int32_t(doc_.PageStarts.size()) - 1);
    scrollSteps_ = 0;
    DiscardImages();
    update();
}

void CPageView::ApplyPageGeometry() {
    doc_.LeftEdge = settings_.borderWidth;
    doc_.TopEdge = settings_.borderHeight;
    doc_.RightEdge = pageWidth_ - settings_.borderWidth;
    doc_.PageHeight = pageHeight_;
}

void CPageView::EnsureWidths() {
    QtSurface measure(96);
    doc_.BuildWidthTable(&measure);
}

int32_t CPageView::CurrentPageStart() const {
    if (doc_.PageStarts.empty()) return 0;
    return doc_
        .PageStarts[size_t(std::clamp(doc_.CurrentPage, 0, int32_t(doc_.PageStarts.size()) - 1))];
}

QImage CPageView::RenderPage(bool following) {
    QImage image = PageBuffer();
    image.fill(settings_.nightScheme ? Qt::black : Qt::white);
    QPainter painter(&image);
    QtSurface surface(&painter);
    doc_.BuildWidthTable(&surface);
    if (following)
        doc_.LayoutFollowingPage(&surface, false);
    else
        doc_.LayoutPage(&surface, false);
    return image;
}

void CPageView::EnsurePageImages() {
    const bool drawCurrent = current_.isNull();
    if (drawCurrent) {
        const int32_t page = doc_.CurrentPage;
        current_ = RenderPage(false);
        pageLinks_ = doc_.PageHits(picturesFirst_);
        pageLines_ = doc_.DrawnLines;
        linesKept_ = false;
        // The page kept from a turn back follows this one only if laying it out left the reader
        // there (a changed layout finds the place again first).
        if (doc_.CurrentPage != page) {
            Recycle(std::move(next_));
            next_ = QImage();
        }
    }
    int32_t following = doc_.CurrentPage + 1;
    bool known = following < int32_t(doc_.PageStarts.size()) &&
                 (doc_.LastPage == kLastPageUnknown || following <= doc_.LastPage - 1);
    if (drawCurrent && !known && !next_.isNull()) {
        Recycle(std::move(next_));
        next_ = QImage();
    }
    if (!next_.isNull()) {
        if (drawCurrent) {
            doc_.Links = pageLinks_;  // as after drawing the next page: the shown page's hits
            doc_.PictureHits.clear();
        }
    } else if (known) {
        next_ = RenderPage(true);
        nextLinks_ = doc_.PageHits(picturesFirst_);
        nextLines_ = doc_.DrawnLines;
        doc_.DrawnLines = pageLines_;
        doc_.Links = pageLinks_;  // the shown page's links and pictures again
        doc_.PictureHits.clear();
    }
}

QPoint CPageView::MapToPage(QPointF widgetPoint) const {
    return widgetPoint.toPoint() - origin_;
}

void CPageView::BlitPage(QPainter& painter, const QImage& page) {
    painter.drawImage(origin_, page);
}

bool CPageView::PaintBook(QPainter& p) {
    painting_ = true;
    bool wasPaging = paging_;
    paging_ = true;
    DropStaleSelection();
    // Pages drawn for another screen (the window moved, the scale changed) are drawn again.
    if ((!current_.isNull() && current_.devicePixelRatio() != PagePixelRatio()) ||
        (!next_.isNull() && next_.devicePixelRatio() != PagePixelRatio()))
        DiscardImages();
    EnsurePageImages();
    if (doc_.SourceFailed) {
        painting_ = false;
        paging_ = wasPaging;
        DiscardImages();
        return false;
    }
    int offset = std::clamp(scrollSteps_ * kScrollStepPixels, 0, pageHeight_);
    // The book's cover is shown once, over the first page drawn after opening.
    doc_.TakeCover();
    const QImage* shown = &current_;
    if (offset != 0 && !next_.isNull()) {
        // The next page slides in from below as the book scrolls. The parts are taken in the
        // images' own pixels and placed in page units.
        QImage& composed = ComposedBuffer();
        QPainter painter(&composed);
        const qreal ratio = current_.devicePixelRatio();
        const int cut = std::min(current_.height(), int(std::lround(offset * ratio)));
        painter.drawImage(QPointF(0, 0), current_,
                          QRectF(0, cut, current_.width(), current_.height() - cut));
        painter.drawImage(QPointF(0, (current_.height() - cut) / ratio), next_,
                          QRectF(0, 0, next_.width(), cut));
        shown = &composed;
    }
    if (PictureShown()) {
        QImage& composed = ComposedBuffer();
        composed.fill(Qt::white);
        QPainter painter(&composed);
        QtSurface surface(&painter);
        doc_.DrawCurrentTarget(surface, Rect{0, 0, pageWidth_, pageHeight_});
        shown = &composed;
    }
    BlitPage(p, *shown);
    if (settings_.autoScroll) {
        if (paused_) {
            p.setPen(QPen(QColor(255, 128, 128), 2));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRect(QPoint(50, 50), QPoint(60, 80)));
            p.drawRect(QRect(QPoint(70, 50), QPoint(80, 80)));
        } else if (bannerPaints_ > 0) {
            --bannerPaints_;
            p.setPen(QColor(128, 255, 128));
            p.drawText(rect(), Qt::AlignCenter,
                       QStringLiteral("Scroll Speed: %1").arg(settings_.scrollDelay));
            p.setPen(QPen(QColor(64, 255, 64), 2));
            const QPoint play[] = {{50, 50}, {80, 65}, {50, 80}, {50, 50}};
            p.drawPolyline(play, 4);
        }
    }
    painting_ = false;
    paging_ = wasPaging;
    if (pendingPage_ >= 0) {
        int wanted = pendingPage_;
        pendingPage_ = -1;
        doc_.PaginateTo(wanted + 5);
        doc_.CurrentPage = std::min(wanted, int(doc_.PageStarts.size()) - 1);
        DiscardImages();
        update();
    }
    return true;
}

// --- Closing, deleting and repairing books

void CPageView::CloseBookSavingPlace() {
    FlushSettings();
    if (!doc_.BookPath.empty() && HasBook()) doc_.CloseBook();
}

bool CPageView::DeleteOrRepair(const LibraryEntry& entry, bool repair, bool fromProperties) {
    // The whole archive goes with a member, or with a file named as one; a book in a folder
    // whose name holds ".zip" is a book like any other.
    const bool zip =
        entry.kind == kLibraryZipMember || SourceKindReadsMembers(SourceKindOfPath(entry.path));
    if (!repair) {
        const char* question = zip ? kZipQuestion : fromProperties ? kRemoveQuestion : nullptr;
        // Asked before anything is removed: Cancel removes nothing.
        if (question && viewHost_.ShowMessage(question, "Pagewick", MessageButtons::OkCancel,
                                              MessageIcon::Question) != MessageAnswer::Ok)
            return false;
    }
    std::string pwk = PaginationFilePath(entry.path, entry.member);
    // The highlights and notes are the person's own work: they go only when the person says so,
    // once for the book (and, for a whole archive deleted, for every book in it).
    std::vector<fs::path> notes;
    std::error_code ec;
    if (fs::exists(NotesFilePath(pwk), ec)) notes.push_back(NotesFilePath(pwk));
    if (!repair && zip) {
        const fs::path archive(entry.path);
        const std::string prefix = archive.filename().string() + "#";
        for (const auto& item : fs::directory_iterator(archive.parent_path(), ec)) {
            const std::string name = item.path().filename().string();
            if (name.rfind(prefix, 0) == 0 && IsNotesFile(name) &&
                item.path() != fs::path(NotesFilePath(pwk)))
                notes.push_back(item.path());
        }
        const std::string whole = NotesFilePath(entry.path + ".pwk");
        if (fs::exists(whole, ec) && whole != NotesFilePath(pwk)) notes.push_back(whole);
    }
    const bool dropNotes =
        !notes.empty() &&
        viewHost_.ShowMessage(kDeleteNotesQuestion, "Pagewick", MessageButtons::YesNo,
                              MessageIcon::Question) == MessageAnswer::Yes;
    // The open book lets go without writing its place, or it would write its file back.
    const bool open = SamePath(doc_.BookPath, entry.path);
    if (open) {
        doc_.PaginationPath.clear();
        doc_.CloseBook();
        doc_.BookPath.clear();
        doc_.TextLength = 0;
        DiscardImages();
    }
    RemoveQuietly(pwk);
    RemoveQuietly(pwk + "2");
    if (dropNotes)
        for (const fs::path& file : notes)
            RemoveQuietly(file);
    if (!repair) {
        RemoveQuietly(entry.path + ".pwk");
        RemoveQuietly(entry.path + ".pwk2");
        if (zip) {
            // Each member of the archive keeps its own pagination file beside it.
            fs::path archive(entry.path);
            std::string prefix = archive.filename().string() + "#";
            for (const auto& item : fs::directory_iterator(archive.parent_path(), ec)) {
                std::string name = item.path().filename().string();
                if (name.rfind(prefix, 0) == 0 && !IsNotesFile(name)) RemoveQuietly(item.path());
            }
        }
        RemoveQuietly(entry.path);
        const std::string section = viewHost_.ProgramSection();
        const std::string last = viewHost_.GetSetting(section, "LastBook", "");
        if (SamePath(last, entry.path) || (zip && last == entry.path)) {
            viewHost_.SetSetting(section, "LastBook", "");
            viewHost_.SetSetting(section, "LastBookTitle", "");
            viewHost_.SetSetting(section, "LastBookMember", "");
        }
    } else if (open) {
        OpenEntry(entry);
    }
    // The book being read is gone: the Library, never an empty page.
    if (open && !repair && fromProperties) QTimer::singleShot(0, this, [this] { OfferLibrary(); });
    update();
    return true;
}

// --- Page commands

void CPageView::NextPage() {
    if (paging_ || !HasBook()) return;
    paging_ = true;
    if (PictureShown()) {
        ClosePicture();
    } else {
        int32_t before = doc_.CurrentPage;
        doc_.NextPage();
        if (doc_.CurrentPage != before) {
            Recycle(std::move(current_));
            current_ = std::move(next_);
            pageLinks_ = nextLinks_;
            pageLines_ = nextLines_;
            next_ = QImage();
            if (current_.isNull()) DiscardImages();
        }
    }
    scrollSteps_ = 0;
    update();
    paging_ = false;
}

void CPageView::PreviousPage() {
    if (paging_ || !HasBook()) return;
    paging_ = true;
    if (PictureShown()) {
        ClosePicture();
    } else {
        int32_t before = doc_.CurrentPage;
        doc_.PreviousPage();
        if (doc_.CurrentPage == before - 1 && !current_.isNull()) {
            // The page that was shown is the one after the new page: only the new one is drawn.
            Recycle(std::move(next_));
            next_ = std::move(current_);
            nextLinks_ = pageLinks_;
            nextLines_ = pageLines_;
            current_ = QImage();
        } else if (doc_.CurrentPage != before) {
            DiscardImages();
        }
    }
    scrollSteps_ = 0;
    update();
    paging_ = false;
}

void CPageView::GoToPart(int part) {
    if (paging_ || !HasBook()) return;
    paging_ = true;
    ClosePicture();
    WaitCursor wait(&viewHost_);
    const int64_t chars = doc_.CharCount();
    JumpToOffset(int32_t(part == 4 ? chars - 10 : chars * part / 4));
    if (part == 4) doc_.NextPage();
    scrollSteps_ = 0;
    DiscardImages();
    update();
    paging_ = false;
}

void CPageView::GoToBookmark(int slot) {
    if (paging_ || !HasBook()) return;
    ClosePicture();
    if (doc_.Bookmarks[size_t(slot)] < 0) {
        viewHost_.ShowMessage("Bookmark not set.", "Pagewick", MessageButtons::Ok,
                              MessageIcon::None);
        return;
    }
    JumpToOffset(doc_.Bookmarks[size_t(slot)]);
    DiscardImages();
    update();
}

void CPageView::PaginateAll() {
    if (paging_ || !HasBook()) return;
    ClosePicture();
    doc_.ResetPagination();
    WaitCursor wait(&viewHost_);
    JumpToOffset(0x7ffffff);
    doc_.NextPage();
    doc_.CurrentPage = 0;
    DiscardImages();
    update();
}

// --- Links, pictures and contents

void CPageView::ReturnFromLink() {
    if (!HasBook()) return;
    ClosePicture();
    doc_.ReturnFromLink();
    DiscardImages();
    update();
}

void CPageView::FollowLink(const std::string& target) {
    JumpToTarget(target);
}

bool CPageView::LinkAt(QPoint point) {
    for (const LinkRecord& link : pageLinks_) {
        if (!link.rectValid) continue;
        if (point.x() >= link.hit.left && point.x() < link.hit.right && point.y() >= link.hit.top &&
            point.y() < link.hit.bottom) {
            FollowLink(link.target);
            return true;
        }
    }
    return false;
}

void CPageView::JumpToTarget(const std::string& target) {
    // The engine shows pictures over the page, hands media to the shell, asks before outside
    // addresses, and jumps inside the book remembering the page for Return from Link.
    EnsureWidths();
    doc_.OpenTarget(target);
    DiscardImages();
    update();
}

void CPageView::ClosePicture() {
    if (doc_.ClosePictureView()) update();
}

void CPageView::ShowContents() {
    ContentsChooser chooser(doc_);
    if (chooser.Empty()) {
        viewHost_.ShowMessage("This eBook has no Table of Contents.", "Pagewick",
                              MessageButtons::Ok, MessageIcon::Information);
        return;
    }
    CTOCDialog dlg(chooser, QString(), this);
    if (dlg.exec() != QDialog::Accepted || dlg.Chosen < 0) return;
    // The engine shows the picture, plays the media item or jumps (remembering the page left).
    EnsureWidths();
    ClosePicture();
    chooser.Choose(dlg.Chosen);
    DiscardImages();
    update();
}

// --- The shared commands

bool CPageView::OpenLibraryBook(const LibraryEntry& entry) {
    // What is needed to open the book being read again, should the chosen one fail.
    struct BookBefore {
        std::string path, member, pagination, title;
        int32_t kind;
        bool magazine;
    };
    std::optional<BookBefore> before;
    if (HasBook() && !doc_.BookPath.empty())
        before = BookBefore{doc_.BookPath,      doc_.MemberName, doc_.PaginationPath,
                            doc_.DocumentTitle, doc_.SourceKind, doc_.Magazine};
    const std::string lastBook = viewHost_.GetSetting(kRegistrySection, "LastBook", "");
    const std::string lastTitle = viewHost_.GetSetting(kRegistrySection, "LastBookTitle", "");
    CloseBookSavingPlace();
    DiscardImages();
    settings_.ApplyTo(doc_);
    ApplyPageGeometry();
    bool ok = OpenLibraryEntry(doc_, entry);
    if (ok && !HasBook()) ok = false;  // nothing in it to show: an empty file
    if (!ok) {
        // The document says why when a file cannot be opened, its kind is unknown or its
        // reader said so itself (a protected or damaged book); a book its reader rejects
        // without a word, or one with nothing in it, is said here.
        if (!doc_.FailureSaid)
            viewHost_.ShowMessage("Pagewick cannot read this format.", "Pagewick",
                                  MessageButtons::Ok, MessageIcon::Error);
        doc_.PaginationPath.clear();
        doc_.CloseBook();
        doc_.BookPath.clear();
        doc_.MemberName.clear();
        doc_.TextLength = 0;
        doc_.SourceFailed = false;
        if (before) {
            // The book that was being read stays open, at the place its close just saved.
            doc_.BookPath = before->path;
            doc_.MemberName = before->member;
            doc_.PaginationPath = before->pagination;
            doc_.DocumentTitle = before->title;
            doc_.SourceKind = before->kind;
            doc_.Magazine = before->magazine;
            settings_.ApplyTo(doc_);
            ApplyPageGeometry();
            doc_.OpenBook();
        }
        // The book that failed is not remembered as the last one.
        viewHost_.SetSetting(kRegistrySection, "LastBook", lastBook);
        viewHost_.SetSetting(kRegistrySection, "LastBookTitle", lastTitle);
        DiscardImages();
        update();
        return false;
    }
    if (doc_.Magazine && doc_.PageStarts.size() < 2 && askPrepaginate_)
        QTimer::singleShot(0, this, [this] { askPrepaginate_(); });
    return ok;
}

void CPageView::AddPageCommands(CommandTable& table, const PageCommandIds& ids,
                                std::function<void(int)> run) {
    table[ids.nextPage] = [this] { NextPage(); };
    table[ids.previousPage] = [this] { PreviousPage(); };
    table[ids.firstPage] = [this] { GoToPart(0); };
    table[ids.goto25] = [this] { GoToPart(1); };
    table[ids.goto50] = [this] { GoToPart(2); };
    table[ids.goto75] = [this] { GoToPart(3); };
    table[ids.lastPage] = [this] { GoToPart(4); };
    for (int slot = 0; slot < 4; ++slot) {
        table[ids.gotoBookmark1 + slot] = [this, slot] { GoToBookmark(slot); };
        table[ids.setBookmark1 + slot] = [this, slot] {
            doc_.SetBookmark(slot);
            DiscardImages();
            update();
        };
    }
    table[ids.returnFromLink] = [this] { ReturnFromLink(); };
    table[ids.paginateAll] = [this] { PaginateAll(); };
    table[ids.postPaginate] = [this, run, all = ids.paginateAll] {
        DiscardImages();
        scrollSteps_ = 0;
        QTimer::singleShot(0, this, [run, all] { run(all); });
    };
    askPrepaginate_ = [run, ask = ids.askPrepaginate] { run(ask); };
    table[ids.askPrepaginate] = [this, run, post = ids.postPaginate] {
        if (viewHost_.ShowMessage("LIT files of magazines contain many links.\r\nIf this is not a "
                                  "novel, you may wish to pre-paginate this file for better "
                                  "performance.\r\nYes to paginate this file now.\r\nNo to "
                                  "paginate on demand.",
                                  "Pagewick", MessageButtons::YesNo,
                                  MessageIcon::Question) == MessageAnswer::Yes) {
            update();
            QTimer::singleShot(0, this, [run, post] { run(post); });
        }
    };
}

// --- Keys and the stylus

void CPageView::TogglePause() {
    paused_ = !paused_;
    SyncInhibit();
    ShowBanner();
}

bool CPageView::PageKey(int key) {
    const bool scrolling = settings_.autoScroll != 0;
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (scrolling)
                TogglePause();
            else
                NextPage();
            break;
        case Qt::Key_PageDown:
        case Qt::Key_Down:
            NextPage();
            break;
        case Qt::Key_PageUp:
        case Qt::Key_Up:
            PreviousPage();
            break;
        case Qt::Key_Right:
            if (scrolling) {
                settings_.scrollDelay = std::max(0, settings_.scrollDelay - 1);
                ShowBanner();
                rearm_ = true;
                SaveSettingsSoon();
            } else {
                NextPage();
            }
            break;
        case Qt::Key_Left:
            if (scrolling) {
                settings_.scrollDelay =
                    std::min(DisplaySettings::kMaxDelay, settings_.scrollDelay + 1);
                ShowBanner();
                rearm_ = true;
                SaveSettingsSoon();
            } else {
                PreviousPage();
            }
            break;
        default:
            return false;
    }
    update();
    return true;
}

int32_t CPageView::BarOffset(int x) const {
    return doc_.OffsetForBarClick(x);
}

void CPageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    swallowRelease_ = false;
    selectPressed_ = false;
    selecting_ = false;
    longPress_.stop();
    if (PictureShown()) {
        // The tap closes the picture and does nothing else: its release would otherwise follow
        // the link, or open the picture again, that lies under it on the page.
        ClosePicture();
        swallowRelease_ = true;
        return;
    }
    QPoint point = MapToPage(event->position());
    if (HasBook() && settings_.showPositionBar && PositionBarRect().contains(point)) {
        dragging_ = true;
        dragStartPage_ = doc_.CurrentPage;
        doc_.PendingOffset = BarOffset(point.x());
        DiscardImages();
        update();
        return;
    }
    if (!HasBook()) return;
    // The press may begin a selection: a drag from it (the mouse), or a rest on the text first
    // (the stylus). A mouse press lets the selection shown go, as in a word processor.
    selectPressed_ = true;
    selectPress_ = point;
    if (selectByLongPress_)
        longPress_.start();
    else
        ClearSelection();
}

void CPageView::mouseMoveEvent(QMouseEvent* event) {
    if (selectPressed_ && !dragging_) {
        const QPoint point = MapToPage(event->position());
        if (selecting_) {
            ExtendSelection(point);
        } else if (selectByLongPress_) {
            // The stylus moved on before it rested: a swipe or a tap, no selection.
            if ((point - selectPress_).manhattanLength() >= kLongPressSlack) {
                longPress_.stop();
                selectPressed_ = false;
            }
        } else if ((point - selectPress_).manhattanLength() >= kClickSlack) {
            if (BeginSelection())
                ExtendSelection(point);
            else
                selectPressed_ = false;  // pressed off the text: nothing to select
        }
        return;
    }
    if (!dragging_ || inMove_) return;
    QPoint point = MapToPage(event->position());
    QRect bar = PositionBarRect();
    if (point.x() < bar.left() || point.x() > bar.right()) return;
    inMove_ = true;
    ClosePicture();
    doc_.PendingOffset = -1;
    JumpToOffset(BarOffset(point.x()));
    DiscardImages();
    scrollSteps_ = 0;
    update();
    inMove_ = false;
}

void CPageView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    longPress_.stop();
    selectPressed_ = false;
    if (selecting_) {
        // A selection, not a click: nothing under the pointer is followed.
        selecting_ = false;
        emit selectionChanged();
        SelectionMade(event->position().toPoint());
        return;
    }
    if (swallowRelease_) {
        swallowRelease_ = false;
        return;
    }
    QPoint point = MapToPage(event->position());
    if (dragging_) {
        dragging_ = false;
        QRect bar = PositionBarRect();
        if (dragCancelsOutsideBar_ && !bar.contains(point)) {
            doc_.PendingOffset = -1;
            doc_.CurrentPage =
                std::clamp(dragStartPage_, 0, std::max(0, int(doc_.PageStarts.size()) - 1));
        } else {
            doc_.PendingOffset = BarOffset(std::clamp(point.x(), bar.left(), bar.right()));
        }
        DiscardImages();
        update();
        return;
    }
    if (!settings_.autoScroll && HasBook() && !LinkAt(point)) TapMissed(point);
}

void CPageView::mouseDoubleClickEvent(QMouseEvent* event) {
    // Anything but the text under a mouse is a second press, as before.
    if (event->button() != Qt::LeftButton || selectByLongPress_ || !HasBook() || PictureShown())
        return mousePressEvent(event);
    const QPoint point = MapToPage(event->position());
    if (settings_.showPositionBar && PositionBarRect().contains(point))
        return mousePressEvent(event);
    ClearSelection();
    swallowRelease_ = false;
    selectPress_ = point;
    selectPressed_ = BeginSelection();
    if (!selectPressed_) mousePressEvent(event);
}

// --- Automatic scrolling

void CPageView::RestartTimer() {
    if (timerId_) killTimer(timerId_);
    timerId_ = 0;
    SyncInhibit();
}

void CPageView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timerId_) ScrollTick();
}

void CPageView::ScrollTick() {
    if (rearm_) {
        rearm_ = false;
        RestartTimer();
    }
    if (!settings_.autoScroll || paused_ || !HasBook() || !scrollAllowed_) {
        SyncInhibit();  // nothing scrolls: the timer stops
        return;
    }
    if (paging_ || doc_.PendingOffset != -1 || PictureShown() || pageHeight_ <= 0) return;
    // On the last page nothing slides in; past it there is nothing to turn to.
    bool end = doc_.LastPage != kLastPageUnknown && doc_.CurrentPage >= doc_.LastPage - 1;
    if (!end && ++scrollSteps_ >= pageHeight_ / kScrollStepPixels) {
        scrollSteps_ = 0;
        end = !TurnForScrolling();
    }
    if (end) {
        // The end of the book: scrolling stops there, paused, with the last page shown whole.
        scrollSteps_ = 0;
        paused_ = true;
        SyncInhibit();
    }
    update();
}

bool CPageView::TurnForScrolling() {
    const int32_t before = doc_.CurrentPage;
    NextPage();
    return doc_.CurrentPage != before;
}

void CPageView::ShowBanner() {
    bannerPaints_ = (100 - settings_.scrollDelay) / 10 + 5;
}

void CPageView::SyncInhibit() {
    const bool scrolling = settings_.autoScroll && !paused_ && HasBook() && scrollAllowed_;
    if (scrolling)
        inhibitor_->Hold();
    else
        inhibitor_->Release();
    // No timer ticks while nothing scrolls.
    if (scrolling && !timerId_)
        timerId_ = startTimer(std::max(3, settings_.scrollDelay * 3));
    else if (!scrolling && timerId_) {
        killTimer(timerId_);
        timerId_ = 0;
    }
}

}  // namespace pwview
