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
}  // namespace

int SizeClassFor(int cx, int cy) {
    for (int i = 13; i > 0; --i)
        if (kPageSizes[i].width < cx && kPageSizes[i].height < cy) return i;
    return 0;
}

CChildView::CChildView(DesktopHost& host, fs::path settingsFile, QWidget* parent)
    : CPageView(host, parent), host_(host), settingsFile_(std::move(settingsFile)) {
    settings_ = DisplaySettings::Load(settingsFile_);
    settings_.ApplyTo(doc_);
    BuildCommandTable();
    RestartTimer();
}

CChildView::~CChildView() {
    CloseBookSavingPlace();
}

void CChildView::BuildCommandTable() {
    AddPageCommands(commands_,
                    {ID_NEXT_PAGE, ID_PREVIOUS_PAGE, ID_FIRST_PAGE, ID_GOTO_25, ID_GOTO_50,
                     ID_GOTO_75, ID_LAST_PAGE, ID_GOTO_BOOKMARK1, ID_SET_BOOKMARK1,
                     ID_RETURN_FROM_LINK, ID_PAGINATE_ALL, ID_POST_PAGINATE, ID_ASK_PREPAGINATE},
                    [this](int id) { OnCommand(id); });
    commands_[ID_CONTENTS] = [this] { ShowContents(); };
    commands_[ID_LARGER_FONT] = [this] { ChangeFont(+1); };
    commands_[ID_SMALLER_FONT] = [this] { ChangeFont(-1); };
    commands_[ID_LIBRARY] = [this] { ShowLibrary(); };
    commands_[ID_DISPLAY_OPTIONS] = [this] { ShowOptions(); };
    commands_[ID_ABOUT_EBOOK] = [this] { ShowProperties(); };
    commands_[ID_CONVERT] = [this] { ConvertFile(); };
    commands_[ID_SEND_PALM] = [this] { SendToPalm(); };
    BuildPrintCommands();
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
    const bool hadBook = HasBook();
    if (hadBook && PaintBook(p)) return;
    p.fillRect(page, Qt::white);
    if (doc_.SourceFailed)
        p.drawText(page.adjusted(4, 4, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("Pagewick cannot read this format."));
    // A book that went away while open (deleted, unreadable), found now or earlier: said once
    // by the document, then the Library.
    if ((hadBook || doc_.SourceLost) && !failedShown_) {
        failedShown_ = true;
        QTimer::singleShot(0, this, [this] { ShowLibrary(); });
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
    failedShown_ = false;
    bool ok = OpenLibraryBook(entry);
    if (ok) everOpened_ = true;
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
        const std::string member = pending_.member;
        pending_.path.clear();
        pending_.member.clear();
        // The last book may be a member of an archive: the archive is opened at that member.
        if (member.empty() ? OpenPath(path) : OpenDocument(path, kSourceZip, member)) return true;
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
    if (!PageKey(event->key())) QWidget::keyPressEvent(event);
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

}  // namespace wickstand
