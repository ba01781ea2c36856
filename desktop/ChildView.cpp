#include "desktop/ChildView.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>
#include <filesystem>

#include "desktop/Commands.h"
#include "desktop/DesktopHost.h"
#include "desktop/Dialogs.h"
#include "desktop/IdleInhibitor.h"
#include "engine/Contents.h"
#include "engine/PaginationFile.h"
#include "platform/qt/QtSurface.h"
#include "util/AsciiCase.h"

namespace wickstand {
using namespace pagewick;
namespace fs = std::filesystem;

const PageSize kPageSizes[14] = {{0, 0},      {240, 320},  {300, 400},  {360, 480},  {420, 560},
                                 {480, 640},  {540, 720},  {600, 800},  {660, 880},  {720, 960},
                                 {810, 1080}, {900, 1200}, {990, 1320}, {1080, 1440}};

namespace {
const QColor kGrey(196, 196, 196);
constexpr int kScrollStepPixels = 2;
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
}  // namespace

int SizeClassFor(int cx, int cy) {
    for (int i = 13; i > 0; --i)
        if (kPageSizes[i].width < cx && kPageSizes[i].height < cy) return i;
    return 0;
}

CChildView::CChildView(DesktopHost& host, fs::path settingsFile, QWidget* parent)
    : QWidget(parent),
      host_(host),
      settingsFile_(std::move(settingsFile)),
      inhibitor_(std::make_unique<IdleInhibitor>()) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    doc_.HostServices = &host_;
    settings_ = DisplaySettings::Load(settingsFile_);
    settings_.ApplyTo(doc_);
    doc_.Pictures = &pictures_;
    BuildCommandTable();
    RestartTimer();
}

CChildView::~CChildView() {
    CloseBookSavingPlace();
}

void CChildView::BuildCommandTable() {
    commands_[ID_NEXT_PAGE] = [this] { NextPage(); };
    commands_[ID_PREVIOUS_PAGE] = [this] { PreviousPage(); };
    commands_[ID_FIRST_PAGE] = [this] { GoToPart(0); };
    commands_[ID_GOTO_25] = [this] { GoToPart(1); };
    commands_[ID_GOTO_50] = [this] { GoToPart(2); };
    commands_[ID_GOTO_75] = [this] { GoToPart(3); };
    commands_[ID_LAST_PAGE] = [this] { GoToPart(4); };
    for (int slot = 0; slot < 4; ++slot) {
        commands_[ID_GOTO_BOOKMARK1 + slot] = [this, slot] { GoToBookmark(slot); };
        commands_[ID_SET_BOOKMARK1 + slot] = [this, slot] {
            doc_.SetBookmark(slot);
            DiscardImages();
            update();
        };
    }
    commands_[ID_RETURN_FROM_LINK] = [this] { ReturnFromLink(); };
    commands_[ID_CONTENTS] = [this] { ShowContents(); };
    commands_[ID_LARGER_FONT] = [this] { ChangeFont(+1); };
    commands_[ID_SMALLER_FONT] = [this] { ChangeFont(-1); };
    commands_[ID_LIBRARY] = [this] { ShowLibrary(); };
    commands_[ID_DISPLAY_OPTIONS] = [this] { ShowOptions(); };
    commands_[ID_ABOUT_EBOOK] = [this] { ShowProperties(); };
    commands_[ID_PAGINATE_ALL] = [this] { PaginateAll(); };
    commands_[ID_CONVERT] = [this] { ConvertFile(); };
    commands_[ID_SEND_PALM] = [this] { SendToPalm(); };
    BuildPrintCommands();
    commands_[ID_POST_PAGINATE] = [this] {
        QTimer::singleShot(0, this, [this] { OnCommand(ID_PAGINATE_ALL); });
    };
    commands_[ID_ASK_PREPAGINATE] = [this] {
        if (host_.ShowMessage("LIT files of magazines contain many links.\r\nIf this is not a "
                              "novel, you may wish to pre-paginate this file for better "
                              "performance.\r\nYes to paginate this file now.\r\nNo to paginate "
                              "on demand.",
                              "Pagewick", MessageButtons::YesNo,
                              MessageIcon::Question) == MessageAnswer::Yes) {
            update();
            QTimer::singleShot(0, this, [this] { OnCommand(ID_POST_PAGINATE); });
        }
    };
}

bool CChildView::OnCommand(int id) {
    auto it = commands_.find(id);
    if (it == commands_.end()) return false;
    if (IsCommandEnabled(id)) it->second();
    return true;
}

bool CChildView::IsCommandEnabled(int id) const {
    switch (id) {
        case ID_CONTENTS:
            return HasBook() && (doc_.SourceKind == kSourceLit || doc_.SourceKind == kSourcePawk);
        case ID_PRINT:
        case ID_PRINT_CHAPTERS:
            return PrintCommandEnabled(id);
        case ID_LIBRARY:
        case ID_DISPLAY_OPTIONS:
        case ID_LARGER_FONT:
        case ID_SMALLER_FONT:
            return true;
        case ID_CONVERT:
            return true;
        case ID_SEND_PALM:
            return HasBook() && doc_.SourceKind == kSourcePawk;
        default:
            return HasBook();
    }
}

// --- Page size, images and painting

void CChildView::ApplyPageGeometry() {
    doc_.LeftEdge = settings_.borderWidth;
    doc_.TopEdge = settings_.borderHeight;
    doc_.RightEdge = pageWidth_ - settings_.borderWidth;
    doc_.PageHeight = pageHeight_;
}

void CChildView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    paused_ = true;
    SyncInhibit();
    ClosePicture();
    int index = SizeClassFor(width(), height());
    if (index != sizeClass_ || pageWidth_ == 0) {
        pageWidth_ = kPageSizes[index].width;
        pageHeight_ = kPageSizes[index].height;
        sizeClass_ = index;
        if (index != 0) {
            ApplyPageGeometry();
            if (HasBook()) {
                int32_t start = doc_.CurrentPage < int32_t(doc_.PageStarts.size())
                                    ? doc_.PageStarts[size_t(std::max(0, doc_.CurrentPage))]
                                    : 0;
                doc_.ResetPagination();
                doc_.PendingOffset = start;
            }
        }
    }
    DiscardImages();
    scrollSteps_ = 0;
    origin_ = QPoint((width() - pageWidth_) / 2, (height() - pageHeight_) / 2);
}

void CChildView::DiscardImages() {
    current_ = QImage();
    next_ = QImage();
}

void CChildView::JumpToOffset(int32_t offset) {
    // The pages up to the place are measured first; the walk then finds the page holding it.
    EnsureWidths();
    doc_.PaginateToOffset(offset);
    doc_.CurrentPage = 0;
    doc_.GoToOffset(offset);
}

void CChildView::EnsureWidths() {
    QtSurface measure(96);
    doc_.BuildWidthTable(&measure);
}

QImage CChildView::RenderPage(bool following) {
    QImage image(pageWidth_, pageHeight_, QImage::Format_RGB32);
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

void CChildView::EnsurePageImages() {
    if (current_.isNull()) {
        next_ = QImage();
        current_ = RenderPage(false);
        pageLinks_ = doc_.PageHits();
    }
    int32_t following = doc_.CurrentPage + 1;
    bool known = following < int32_t(doc_.PageStarts.size()) &&
                 (doc_.LastPage == kLastPageUnknown || following <= doc_.LastPage - 1);
    if (next_.isNull() && known) {
        next_ = RenderPage(true);
        nextLinks_ = doc_.PageHits();
        doc_.Links = pageLinks_;  // the shown page's links and pictures again
        doc_.PictureHits.clear();
    }
}

void CChildView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect page(origin_, QSize(pageWidth_, pageHeight_));
    if (painting_) {
        p.fillRect(rect(), Qt::white);
        return;
    }
    if (printing_) {
        // The document is laid out for the printer until the job ends.
        p.fillRect(rect(), Qt::white);
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("Printing"));
        return;
    }
    if (sizeClass_ <= 0 || pageWidth_ < 240) {
        p.fillRect(rect(), Qt::white);
        p.drawText(rect().adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("Small: Please enlarge window or maximize"));
        return;
    }
    // Only the margins around the page are filled, so turning pages does not flicker.
    QRegion margins = QRegion(rect()) - QRegion(page);
    for (const QRect& r : margins)
        p.fillRect(r, kGrey);
    if (!HasBook()) {
        p.fillRect(page, Qt::white);
        if (doc_.SourceFailed)
            p.drawText(page.adjusted(4, 4, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                       QStringLiteral("Pagewick cannot read this format."));
        if (doc_.SourceLost && !failedShown_) {
            // The book went away while open: said once by the document, then the Library.
            failedShown_ = true;
            QTimer::singleShot(0, this, [this] { ShowLibrary(); });
        }
        return;
    }
    painting_ = true;
    bool wasPaging = paging_;
    paging_ = true;
    EnsurePageImages();
    if (doc_.SourceFailed) {
        // The book went away while open (deleted, unreadable): said once, then the Library.
        painting_ = false;
        paging_ = wasPaging;
        DiscardImages();
        p.fillRect(page, Qt::white);
        p.drawText(page.adjusted(4, 4, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("Pagewick cannot read this format."));
        if (!failedShown_) {
            failedShown_ = true;
            QTimer::singleShot(0, this, [this] { ShowLibrary(); });
        }
        return;
    }
    int offset = std::clamp(scrollSteps_ * kScrollStepPixels, 0, pageHeight_);
    if (offset == 0 || next_.isNull()) {
        p.drawImage(origin_, current_);
    } else {
        p.drawImage(origin_, current_, QRect(0, offset, pageWidth_, pageHeight_ - offset));
        p.drawImage(origin_ + QPoint(0, pageHeight_ - offset), next_,
                    QRect(0, 0, pageWidth_, offset));
    }
    // The book's cover is shown once, over the first page drawn after opening.
    doc_.TakeCover();
    if (PictureShown()) {
        QImage view(page.size(), QImage::Format_RGB32);
        view.fill(Qt::white);
        QPainter painter(&view);
        QtSurface surface(&painter);
        doc_.DrawCurrentTarget(surface, Rect{0, 0, view.width(), view.height()});
        painter.end();
        p.drawImage(page.topLeft(), view);
    }
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
}

// --- Opening books

bool CChildView::OpenDocument(const std::string& path, int32_t kind, const std::string& member) {
    CloseBookSavingPlace();
    DiscardImages();
    doc_.BookPath = path;
    doc_.MemberName = member;
    doc_.SourceKind = kind;
    doc_.PaginationPath = PaginationFilePath(path, member);
    settings_.ApplyTo(doc_);
    ApplyPageGeometry();
    failedShown_ = false;
    bool ok = doc_.OpenBook();
    if (ok) everOpened_ = true;
    update();
    return ok;
}

bool CChildView::OpenPath(const std::string& path) {
    return OpenDocument(path, FormatCodeFromPath(LowerAscii(path), kSourceText), "");
}

bool CChildView::OpenEntry(const LibraryEntry& entry) {
    CloseBookSavingPlace();
    DiscardImages();
    settings_.ApplyTo(doc_);
    ApplyPageGeometry();
    failedShown_ = false;
    bool ok = OpenLibraryEntry(doc_, entry);
    if (ok) {
        everOpened_ = true;
        if (doc_.SourceKind == kSourceLit && doc_.Magazine && doc_.PageStarts.size() < 2)
            QTimer::singleShot(0, this, [this] { OnCommand(ID_ASK_PREPAGINATE); });
    }
    update();
    return ok;
}

bool CChildView::OpenFirstBook() {
    DiscardImages();
    paging_ = false;
    paused_ = true;
    SyncInhibit();
    pendingPage_ = -1;
    ClosePicture();
    if (!pending_.path.empty()) {
        std::string path = CopyIntoLibrary(pending_.path, host_);
        pending_.path.clear();
        if (OpenPath(path)) return true;
    }
    ShowLibrary();
    if (!HasBook() && !everOpened_) {
        emit aboutRequested();
        emit closeRequested();
        return false;
    }
    return HasBook();
}

void CChildView::ShowLibrary() {
    paused_ = true;
    SyncInhibit();
    for (;;) {
        std::vector<LibraryEntry> fixed;
        fs::path help =
            fs::path(QCoreApplication::applicationDirPath().toStdString()) / "Pagewick Help.pawk";
        std::error_code ec;
        if (fs::is_regular_file(help, ec))
            fixed.push_back(
                LibraryEntry{kLibraryHelp, help.string(), "", "Pagewick Help", "eBooks/"});
        std::string root = (fs::path(host_.DocumentsFolder()) / "My eBooks").string();
        CSelectDlg dlg(
            std::move(fixed), root, settings_.listHtml != 0, settings_.searchZip != 0,
            [this](const LibraryEntry& e, bool repair) { return DeleteOrRepair(e, repair, false); },
            this);
        int result = dlg.exec();
        if (dlg.rescan) continue;
        if (dlg.createRequested) {
            ConvertFile();
            return;
        }
        if (result != QDialog::Accepted) return;
        if (dlg.Entries().empty() && dlg.chosen.path.empty()) {
            host_.ShowMessage(
                "No .txt, .lit or .zip (containing .txt) files found on device or "
                "external storage (if installed.)\r\nFind free eBooks on the web.",
                "No eBooks", MessageButtons::Ok, MessageIcon::Information);
            return;
        }
        if (!dlg.chosen.path.empty()) OpenEntry(dlg.chosen);
        return;
    }
}

void CChildView::CloseBookSavingPlace() {
    if (!doc_.BookPath.empty() && HasBook()) doc_.CloseBook();
}

bool CChildView::DeleteOrRepair(const LibraryEntry& entry, bool repair, bool fromProperties) {
    const bool zip =
        entry.kind == kLibraryZipMember || LowerAscii(entry.path).find(".zip") != std::string::npos;
    if (!repair) {
        const char* question = zip ? kZipQuestion : fromProperties ? kRemoveQuestion : nullptr;
        // Asked before anything is removed: Cancel removes nothing.
        if (question && host_.ShowMessage(question, "Pagewick", MessageButtons::OkCancel,
                                          MessageIcon::Question) != MessageAnswer::Ok)
            return false;
    }
    // The open book lets go without writing its place, or it would write its file back.
    const bool open = SamePath(doc_.BookPath, entry.path);
    if (open) {
        doc_.PaginationPath.clear();
        doc_.CloseBook();
        doc_.BookPath.clear();
        doc_.TextLength = 0;
        DiscardImages();
    }
    std::string pwk = PaginationFilePath(entry.path, entry.member);
    RemoveQuietly(pwk);
    RemoveQuietly(pwk + "2");
    if (!repair) {
        RemoveQuietly(entry.path + ".pwk");
        RemoveQuietly(entry.path + ".pwk2");
        if (zip) {
            // Each member of the archive keeps its own pagination file beside it.
            fs::path archive(entry.path);
            std::string prefix = archive.filename().string() + "#";
            std::error_code ec;
            for (const auto& item : fs::directory_iterator(archive.parent_path(), ec)) {
                std::string name = item.path().filename().string();
                if (name.rfind(prefix, 0) == 0) RemoveQuietly(item.path());
            }
        }
        RemoveQuietly(entry.path);
        if (SamePath(host_.GetSetting(kRegistrySection, "LastBook", ""), entry.path) ||
            (zip && host_.GetSetting(kRegistrySection, "LastBook", "") == entry.path)) {
            host_.SetSetting(kRegistrySection, "LastBook", "");
            host_.SetSetting(kRegistrySection, "LastBookTitle", "");
        }
    } else if (open) {
        OpenEntry(entry);
    }
    update();
    return true;
}

// --- Page commands

void CChildView::NextPage() {
    if (paging_ || !HasBook()) return;
    paging_ = true;
    if (PictureShown()) {
        ClosePicture();
    } else {
        int32_t before = doc_.CurrentPage;
        doc_.NextPage();
        if (doc_.CurrentPage != before) {
            current_ = next_;
            pageLinks_ = nextLinks_;
            next_ = QImage();
            if (current_.isNull()) DiscardImages();
        }
    }
    scrollSteps_ = 0;
    update();
    paging_ = false;
}

void CChildView::PreviousPage() {
    if (paging_ || !HasBook()) return;
    paging_ = true;
    if (PictureShown()) {
        ClosePicture();
    } else {
        doc_.PreviousPage();
        DiscardImages();
    }
    scrollSteps_ = 0;
    update();
    paging_ = false;
}

void CChildView::GoToPart(int part) {
    if (paging_ || !HasBook()) return;
    paging_ = true;
    ClosePicture();
    WaitCursor wait(&host_);
    const int64_t chars = doc_.CharCount();
    JumpToOffset(int32_t(part == 4 ? chars - 10 : chars * part / 4));
    if (part == 4) doc_.NextPage();
    scrollSteps_ = 0;
    DiscardImages();
    update();
    paging_ = false;
}

void CChildView::GoToBookmark(int slot) {
    if (paging_ || !HasBook()) return;
    ClosePicture();
    if (doc_.Bookmarks[size_t(slot)] < 0) {
        host_.ShowMessage("Bookmark not set.", "Pagewick", MessageButtons::Ok, MessageIcon::None);
        return;
    }
    JumpToOffset(doc_.Bookmarks[size_t(slot)]);
    DiscardImages();
    update();
}

void CChildView::ChangeFont(int delta) {
    settings_.fontSize = std::clamp(settings_.fontSize + delta, DisplaySettings::kMinFont,
                                    DisplaySettings::kMaxFont);
    ApplySettings();
}

void CChildView::ApplySettings() {
    paused_ = true;
    SyncInhibit();
    settings_.ApplyTo(doc_);
    if (sizeClass_ > 0) ApplyPageGeometry();
    settings_.Save(settingsFile_);
    RestartTimer();
    DiscardImages();
    if (HasBook() && sizeClass_ > 0) {
        int32_t start = doc_.CurrentPage < int32_t(doc_.PageStarts.size())
                            ? doc_.PageStarts[size_t(std::max(0, doc_.CurrentPage))]
                            : 0;
        doc_.ResetPagination();
        JumpToOffset(start);
    }
    update();
}

void CChildView::PaginateAll() {
    if (paging_ || !HasBook()) return;
    ClosePicture();
    doc_.ResetPagination();
    WaitCursor wait(&host_);
    JumpToOffset(0x7ffffff);
    doc_.NextPage();
    doc_.CurrentPage = 0;
    DiscardImages();
    update();
}

// --- Links, pictures and contents

void CChildView::ReturnFromLink() {
    if (!HasBook()) return;
    ClosePicture();
    doc_.ReturnFromLink();
    DiscardImages();
    update();
}

void CChildView::FollowLink(const std::string& target) {
    JumpToTarget(target);
}

bool CChildView::LinkAt(QPoint point) {
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

void CChildView::JumpToTarget(const std::string& target) {
    // The engine shows pictures over the page, hands media to the shell, asks before outside
    // addresses, and jumps inside the book remembering the page for Return from Link.
    EnsureWidths();
    doc_.OpenTarget(target);
    DiscardImages();
    update();
}

void CChildView::ClosePicture() {
    if (doc_.ClosePictureView()) update();
}

void CChildView::ShowContents() {
    ContentsChooser chooser(doc_);
    if (chooser.Empty()) {
        host_.ShowMessage("This eBook has no Table of Contents.", "Pagewick", MessageButtons::Ok,
                          MessageIcon::Information);
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

// --- Dialogs

void CChildView::ShowOptions() {
    bool autoOpen = host_.GetSetting(kRegistrySection, "AutoOpen", "0").starts_with("1");
    COptions1Dlg dlg(settings_, autoOpen, host_,
                     QCoreApplication::applicationFilePath().toStdString(), this);
    if (dlg.exec() != QDialog::Accepted) return;
    settings_ = dlg.settings;
    update();
    ApplySettings();
    host_.SetSetting(kRegistrySection, "AutoOpen", dlg.autoOpen ? "1" : "0");
}

void CChildView::ShowProperties() {
    if (!HasBook()) return;
    paused_ = true;
    SyncInhibit();
    CPropertiesDlg dlg(doc_, this);
    if (dlg.exec() == QDialog::Accepted) {
        if (dlg.deleteFile) {
            LibraryEntry entry;
            entry.kind = doc_.SourceKind == kSourceZip ? kLibraryZipMember : kLibraryText;
            entry.path = doc_.BookPath;
            entry.member = doc_.MemberName;
            DeleteOrRepair(entry, false, true);
        } else if (dlg.lineBreaks != (doc_.JoinLines != 0) || dlg.repaginate) {
            doc_.JoinLines = dlg.lineBreaks ? 1 : 0;
            int32_t start = doc_.PageStarts[size_t(
                std::clamp(doc_.CurrentPage, 0, int(doc_.PageStarts.size()) - 1))];
            doc_.ResetPagination();
            JumpToOffset(int32_t(doc_.CharCount()) - 10);
            JumpToOffset(start);
            DiscardImages();
        }
    }
    update();
}

// --- Keys, wheel and mouse

void CChildView::keyPressEvent(QKeyEvent* event) {
    const bool scrolling = settings_.autoScroll != 0;
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (scrolling) {
                paused_ = !paused_;
                SyncInhibit();
                ShowBanner();
            } else {
                NextPage();
            }
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
            } else {
                PreviousPage();
            }
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    update();
}

void CChildView::wheelEvent(QWheelEvent* event) {
    const bool towardsUser = event->angleDelta().y() < 0;
    if (event->angleDelta().y() == 0) return;
    if (event->modifiers() & Qt::ControlModifier)
        ChangeFont(towardsUser ? +1 : -1);
    else if (towardsUser)
        NextPage();
    else
        PreviousPage();
}

QRect CChildView::PositionBarRect() const {
    int bottom = pageHeight_ - settings_.borderHeight + 4;
    int right = pageWidth_ - (settings_.showPageNumber ? 25 : 0);
    return QRect(QPoint(0, bottom - 20), QPoint(right - 1, bottom - 1));
}

int32_t CChildView::BarOffset(int x) const {
    return doc_.OffsetForBarClick(x);
}

void CChildView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (PictureShown()) {
        ClosePicture();
        return;
    }
    QPoint point = event->position().toPoint() - origin_;
    if (HasBook() && settings_.showPositionBar && PositionBarRect().contains(point)) {
        dragging_ = true;
        dragStartPage_ = doc_.CurrentPage;
        doc_.PendingOffset = BarOffset(point.x());
        DiscardImages();
        update();
    }
}

void CChildView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || inMove_) return;
    QPoint point = event->position().toPoint() - origin_;
    QRect bar = PositionBarRect();
    if (point.x() < bar.left() || point.x() > bar.right()) return;
    inMove_ = true;
    ClosePicture();
    doc_.PendingOffset = -1;
    JumpToOffset(BarOffset(point.x()));
    DiscardImages();
    update();
    inMove_ = false;
}

void CChildView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    QPoint point = event->position().toPoint() - origin_;
    if (dragging_) {
        dragging_ = false;
        QRect bar = PositionBarRect();
        doc_.PendingOffset = BarOffset(std::clamp(point.x(), bar.left(), bar.right()));
        DiscardImages();
        update();
        return;
    }
    if (!settings_.autoScroll && HasBook()) LinkAt(point);
}

void CChildView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QMenu* marks = menu.addMenu(QStringLiteral("Bookmark"));
    for (int slot = 0; slot < 4; ++slot)
        marks->addAction(QStringLiteral("Goto #&%1").arg(slot + 1), this,
                         [this, slot] { OnCommand(ID_GOTO_BOOKMARK1 + slot); });
    marks->addSeparator();
    for (int slot = 0; slot < 4; ++slot)
        marks->addAction(QStringLiteral("Set #%1").arg(slot + 1), this,
                         [this, slot] { OnCommand(ID_SET_BOOKMARK1 + slot); });
    menu.addAction(QStringLiteral("&Return from Link"), this,
                   [this] { OnCommand(ID_RETURN_FROM_LINK); });
    menu.addAction(QStringLiteral("Table of Contents"), this, [this] { OnCommand(ID_CONTENTS); })
        ->setEnabled(IsCommandEnabled(ID_CONTENTS));
    menu.addAction(QStringLiteral("Larger Font"), this, [this] { OnCommand(ID_LARGER_FONT); });
    menu.addAction(QStringLiteral("Smaller Font"), this, [this] { OnCommand(ID_SMALLER_FONT); });
    menu.exec(event->globalPos());
}

void CChildView::focusOutEvent(QFocusEvent* event) {
    paused_ = true;
    SyncInhibit();
    if (HasBook()) doc_.SavePosition(true);
    QWidget::focusOutEvent(event);
}

// --- Automatic scrolling

void CChildView::RestartTimer() {
    if (timerId_) killTimer(timerId_);
    timerId_ = startTimer(std::max(3, settings_.scrollDelay * 3));
}

void CChildView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timerId_) ScrollTick();
}

void CChildView::ScrollTick() {
    if (rearm_) {
        rearm_ = false;
        RestartTimer();
    }
    if (!settings_.autoScroll || paused_ || doc_.PendingOffset != -1 || PictureShown() ||
        !HasBook() || pageHeight_ <= 0)
        return;
    if (++scrollSteps_ >= pageHeight_ / kScrollStepPixels) {
        scrollSteps_ = 0;
        NextPage();
    }
    update();
}

void CChildView::ShowBanner() {
    bannerPaints_ = (100 - settings_.scrollDelay) / 10 + 5;
}

void CChildView::SyncInhibit() {
    if (settings_.autoScroll && !paused_)
        inhibitor_->Hold();
    else
        inhibitor_->Release();
}

bool CChildView::IdleInhibited() const {
    return inhibitor_->Held();
}

}  // namespace wickstand
