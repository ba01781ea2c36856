#include "desktop/ChildView.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>
#include <filesystem>

#include "desktop/Commands.h"
#include "desktop/DesktopHost.h"
#include "desktop/LibraryDialog.h"
#include "desktop/OptionsDialog.h"
#include "desktop/RecentBooks.h"
#include "engine/PaginationFile.h"
#include "formats/BookKinds.h"
#include "formats/ZipArchive.h"
#include "platform/InstallLayout.h"
#include "platform/qt/QtSurface.h"
#include "util/AsciiCase.h"
#include "view/PropertiesDialog.h"

namespace wickstand {
using namespace pagewick;
using pwview::CPropertiesDlg;
namespace fs = std::filesystem;

const PageSize kPageSizes[14] = {{0, 0},      {240, 320},  {300, 400},  {360, 480},  {420, 560},
                                 {480, 640},  {540, 720},  {600, 800},  {660, 880},  {720, 960},
                                 {810, 1080}, {900, 1200}, {990, 1320}, {1080, 1440}};

namespace {
const QColor kGrey(196, 196, 196);
// One notch of a mouse wheel, in the units wheel events count.
constexpr int kWheelNotch = 120;

// The members of an archive the reader opens as books.
bool IsMemberBook(const std::string& name) {
    const std::string lower = LowerAscii(name);
    return lower.ends_with(".txt") || lower.ends_with(".htm") || lower.ends_with(".html");
}
QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}
}  // namespace

const char* const CChildView::kOpenFilter =
    "eBooks (*.pawk *.lit *.epub *.htm *.html *.txt *.zip);;PAWK eBooks (*.pawk);;LIT eBooks "
    "(*.lit);;EPUB eBooks (*.epub);;"
    "HTML Files (*.htm *.html);;Text Files (*.txt);;ZIP Archives (*.zip);;All Files (*)";

bool CChildView::IsBookFile(const std::string& path) {
    const std::string lower = LowerAscii(path);
    for (const char* ending : {".pawk", ".lit", ".epub", ".htm", ".html", ".txt", ".zip"})
        if (lower.ends_with(ending)) return true;
    return false;
}

const char* const kNoBookOpen =
    "No eBook is open.\nFile > Open... or File > eBook Library opens one.";

int SizeClassFor(int cx, int cy) {
    for (int i = 13; i > 0; --i)
        if (kPageSizes[i].width < cx && kPageSizes[i].height < cy) return i;
    return 0;
}

CChildView::CChildView(DesktopHost& host, fs::path settingsFile, QWidget* parent)
    : CPageView(host, parent), host_(host), settingsFile_(std::move(settingsFile)) {
    settings_ = DisplaySettings::Load(settingsFile_);
    settings_.LoadTypography(host_);
    settings_.ApplyTo(doc_);
    SetSettingsFile(settingsFile_);
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
    commands_[ID_FILE_OPEN] = [this] { ShowOpenDialog(); };
    for (size_t i = 0; i < RecentBooks::kMaxBooks; ++i)
        commands_[ID_FILE_MRU_FILE1 + int(i)] = [this, i] { OpenRecent(i); };
    commands_[ID_DISPLAY_OPTIONS] = [this] { ShowOptions(); };
    commands_[ID_ABOUT_EBOOK] = [this] { ShowProperties(); };
    commands_[ID_CONVERT] = [this] { ConvertFile(); };
    commands_[ID_SEND_PALM] = [this] { SendToPalm(); };
    commands_[ID_SAVE_EPUB] = [this] { SaveAsEpub(); };
    BuildPrintCommands();
    BuildHighlightCommands();
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
            return HasBook() && doc_.Form.contents;
        case ID_PRINT:
        case ID_PRINT_CHAPTERS:
            return PrintCommandEnabled(id);
        case ID_LIBRARY:
        case ID_FILE_OPEN:
        case ID_DISPLAY_OPTIONS:
        case ID_LARGER_FONT:
        case ID_SMALLER_FONT:
            return true;
        case ID_CONVERT:
            return true;
        case ID_SEND_PALM:
            return HasBook() && doc_.Form.palmExport;
        case ID_EDIT_COPY:
        case ID_HIGHLIGHT:
        case ID_ADD_NOTE:
        case ID_EDIT_NOTE:
        case ID_DELETE_HIGHLIGHT:
        case ID_HIGHLIGHTS:
        case ID_EXPORT_HIGHLIGHTS:
            return HighlightCommandEnabled(id);
        default:
            if (id >= ID_FILE_MRU_FILE1 && id < ID_FILE_MRU_FILE1 + int(RecentBooks::kMaxBooks))
                return true;
            if (id >= ID_HIGHLIGHT_YELLOW && id < ID_HIGHLIGHT_YELLOW + kHighlightColourCount)
                return HighlightCommandEnabled(id);
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
    if (hadBook && PaintBook(p)) {
        // A title met while the page was laid out names the window.
        NotifyBookChanged();
        return;
    }
    p.fillRect(page, Qt::white);
    // A book whose open step or reader said why it cannot be read is not said again here.
    if (doc_.SourceFailed && !doc_.FailureSaid)
        p.drawText(page.adjusted(4, 4, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("Pagewick cannot read this format."));
    else if (!hadBook && started_)
        p.drawText(page, Qt::AlignCenter | Qt::TextWordWrap, QString::fromUtf8(kNoBookOpen));
    // A book that went away while open (deleted, unreadable), found now or earlier: said once
    // by the document, then the Library.
    if ((hadBook || doc_.SourceLost) && !failedShown_) {
        failedShown_ = true;
        QTimer::singleShot(0, this, [this] { ShowLibrary(); });
    }
    NotifyBookChanged();
}

// --- Opening books

bool CChildView::OpenDocument(const std::string& path, int32_t kind, const std::string& member) {
    CloseBookSavingPlace();
    DiscardImages();
    doc_.BookPath = path;
    doc_.MemberName = member;
    doc_.SourceKind = kind;
    doc_.Magazine = false;  // only a library entry says a LIT book is a magazine
    doc_.PaginationPath = PaginationFilePath(path, member);
    settings_.ApplyTo(doc_);
    ApplyPageGeometry();
    failedShown_ = false;
    bool ok = doc_.OpenBook();
    if (ok) {
        everOpened_ = true;
        RememberRecent();
    }
    update();
    NotifyBookChanged();
    return ok;
}

bool CChildView::OpenPath(const std::string& path) {
    return OpenDocument(path, SourceKindOfPath(path), "");
}

bool CChildView::OpenEntry(const LibraryEntry& entry) {
    failedShown_ = false;
    bool ok = OpenLibraryBook(entry);
    if (ok) {
        everOpened_ = true;
        RememberRecent();
    }
    update();
    NotifyBookChanged();
    return ok;
}

bool CChildView::OpenBookFile(const std::string& given) {
    std::string path = CopyIntoLibrary(given, host_);
    if (SourceKindReadsMembers(SourceKindOfPath(path))) {
        std::string member;
        if (!ChooseZipMember(path, member)) return false;
        return OpenEntry(
            LibraryEntry{kLibraryZipMember, path, member, fs::path(member).stem().string(), ""});
    }
    return OpenPath(path);
}

bool CChildView::ChooseZipMember(const std::string& archive, std::string& member) {
    std::vector<std::string> names;
    if (!ListZipMembers(archive, names)) {
        host_.ShowMessage("Cannot open ebook file.", "Pagewick", MessageButtons::Ok,
                          MessageIcon::Error);
        return false;
    }
    std::erase_if(names, [](const std::string& name) { return !IsMemberBook(name); });
    const std::string file = fs::path(archive).filename().string();
    if (names.empty()) {
        host_.ShowMessage("\"" + file + "\" holds no text or HTML file to read.", "Pagewick",
                          MessageButtons::Ok, MessageIcon::Information);
        return false;
    }
    if (names.size() == 1) {
        member = names.front();
        return true;
    }
    QInputDialog ask(this);
    ask.setWindowTitle(QStringLiteral("Open"));
    ask.setLabelText(QStringLiteral("Choose the book inside \"%1\":").arg(Utf8(file)));
    QStringList items;
    for (const std::string& name : names)
        items << Utf8(name);
    ask.setComboBoxItems(items);
    ask.setOption(QInputDialog::UseListViewForComboBoxItems);
    if (ask.exec() != QDialog::Accepted) return false;
    member = names[size_t(std::max<qsizetype>(0, items.indexOf(ask.textValue())))];
    return true;
}

void CChildView::ShowOpenDialog() {
    paused_ = true;
    SyncInhibit();
    // The dialog starts in the folder of the book open now, else in the library.
    QString start = Utf8((fs::path(host_.DocumentsFolder()) / "My eBooks").string());
    if (HasBook()) start = Utf8(fs::path(doc_.BookPath).parent_path().string());
    QFileDialog dialog(this, QStringLiteral("Open"), start, QString::fromLatin1(kOpenFilter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    OpenBookFile(dialog.selectedFiles().front().toStdString());
}

bool CChildView::OpenRecent(size_t index) {
    RecentBooks recent(host_);
    const std::vector<RecentBook> books = recent.List();
    if (index >= books.size()) return false;
    const RecentBook book = books[index];
    if (!RecentBooks::StillThere(book)) {
        const std::string name =
            book.member.empty() ? book.path : book.path + " (" + book.member + ")";
        recent.Remove(book);
        host_.ShowMessage("\"" + name +
                              "\" is no longer there.\r\nIt has been removed from the list "
                              "of recent books.",
                          "Pagewick", MessageButtons::Ok, MessageIcon::Warning);
        NotifyBookChanged();
        return false;
    }
    if (book.member.empty()) return OpenBookFile(book.path);
    return OpenEntry(LibraryEntry{kLibraryZipMember, book.path, book.member,
                                  fs::path(book.member).stem().string(), ""});
}

void CChildView::RememberRecent() {
    if (!doc_.BookPath.empty()) RecentBooks(host_).Add(RecentBook{doc_.BookPath, doc_.MemberName});
}

QString CChildView::WindowTitle() const {
    if (!HasBook()) return QStringLiteral("Pagewick");
    // A book that names no title is called by its file name, as the Library calls it.
    return Utf8(BookName()) + QStringLiteral(" - Pagewick");
}

void CChildView::NotifyBookChanged() {
    // Everything the frame shows of the book, in one text: a change of any part is sent once.
    std::string state = HasBook() ? "1" : "0";
    state += std::to_string(doc_.SourceKind) + (doc_.Contents.empty() ? "0" : "1") +
             (printing_ ? "1" : "0") + doc_.BookPath + '\n' + doc_.MemberName + '\n' +
             doc_.DocumentTitle;
    if (state == bookState_) return;
    bookState_ = std::move(state);
    emit bookChanged();
}

bool CChildView::DeleteOrRepairBook(const LibraryEntry& entry, bool repair, bool fromProperties) {
    const bool done = DeleteOrRepair(entry, repair, fromProperties);
    if (done && !repair) RecentBooks(host_).RemovePath(entry.path);
    NotifyBookChanged();
    return done;
}

bool CChildView::OpenFirstBook() {
    DiscardImages();
    paging_ = false;
    paused_ = true;
    SyncInhibit();
    pendingPage_ = -1;
    ClosePicture();
    started_ = true;
    if (!pending_.path.empty()) {
        const std::string path = pending_.path;
        const std::string member = pending_.member;
        pending_.path.clear();
        pending_.member.clear();
        // The last book may be a member of an archive: the archive is opened at that member.
        if (member.empty() ? OpenBookFile(path)
                           : OpenDocument(path, SourceKindOfLibraryKind(kLibraryZipMember), member))
            return true;
    }
    ShowLibrary();
    if (!HasBook() && !everOpened_) {
        emit aboutRequested();
        emit closeRequested();
        return false;
    }
    return HasBook();
}

bool CChildView::ShowLibrary() {
    paused_ = true;
    SyncInhibit();
    started_ = true;
    for (;;) {
        std::vector<LibraryEntry> fixed;
        fs::path help =
            pagewick::ProgramDataFolder(QCoreApplication::applicationDirPath().toStdString()) /
            "Pagewick Help.pawk";
        std::error_code ec;
        if (fs::is_regular_file(help, ec))
            fixed.push_back(
                LibraryEntry{kLibraryHelp, help.string(), "", "Pagewick Help", "eBooks/"});
        std::string root = (fs::path(host_.DocumentsFolder()) / "My eBooks").string();
        CSelectDlg dlg(
            std::move(fixed), root, settings_.listHtml != 0, settings_.searchZip != 0,
            [this](const LibraryEntry& e, bool repair) {
                return DeleteOrRepairBook(e, repair, false);
            },
            this);
        int result = dlg.exec();
        if (dlg.rescan) continue;
        if (dlg.createRequested) {
            // The book built is opened; the builder closed without one returns to the Library,
            // scanned again.
            std::string built = ConvertFile();
            if (!built.empty()) {
                std::string title = fs::path(built).stem().string();
                if (OpenEntry(LibraryEntry{kLibraryPawk, built, "", title, ""})) return true;
            }
            continue;
        }
        if (result != QDialog::Accepted) return false;
        if (dlg.Entries().empty() && dlg.chosen.path.empty()) {
            host_.ShowMessage(
                "No .txt, .lit or .zip (containing .txt) files found on device or "
                "external storage (if installed.)\r\nFind free eBooks on the web.",
                "No eBooks", MessageButtons::Ok, MessageIcon::Information);
            return false;
        }
        // A book that cannot be read has been said; the Library comes back to choose another.
        if (!dlg.chosen.path.empty() && OpenEntry(dlg.chosen)) return true;
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
    settings_.SaveTypography(host_);
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
            entry.kind = LibraryKindOf(doc_);
            entry.path = doc_.BookPath;
            entry.member = doc_.MemberName;
            DeleteOrRepairBook(entry, false, true);
        } else if (dlg.lineBreaks != (doc_.JoinLines != 0) || dlg.repaginate) {
            // The person's word about line breaks stands from now on for this book.
            if (dlg.lineBreaks != (doc_.JoinLines != 0)) doc_.JoinLinesChosen = true;
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
    // High-resolution wheels and touchpads send small steps: they add up, and each full notch
    // turns one page (or changes the font by one point with Control held). A turn the other way,
    // a change of Control, or the start of a touchpad gesture begins the count afresh.
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    event->accept();
    const bool control = event->modifiers() & Qt::ControlModifier;
    if (control != wheelControl_ || (wheelRest_ != 0 && (delta < 0) != (wheelRest_ < 0)) ||
        event->phase() == Qt::ScrollBegin)
        wheelRest_ = 0;
    wheelControl_ = control;
    wheelRest_ += delta;
    const int notches = wheelRest_ / kWheelNotch;  // negative: towards the user
    if (notches == 0) return;
    wheelRest_ -= notches * kWheelNotch;
    if (control) {
        ChangeFont(-notches);
        return;
    }
    for (int i = 0; i < std::abs(notches); ++i) {
        if (notches < 0)
            NextPage();
        else
            PreviousPage();
    }
}

QRect CChildView::PositionBarRect() const {
    int bottom = pageHeight_ - settings_.borderHeight + 4;
    int right = pageWidth_ - (settings_.showPageNumber ? 25 : 0);
    return QRect(QPoint(0, bottom - 20), QPoint(right - 1, bottom - 1));
}

void CChildView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    if (HasBook()) {
        // The selection's commands first, then the highlight right clicked.
        std::optional<QPoint> at;
        if (event->reason() == QContextMenuEvent::Mouse) at = MapToPage(event->pos());
        AddHighlightItems(menu, at);
        menu.addSeparator();
    }
    // Going to a bookmark and setting one are two popups, so that each item has its own key.
    QMenu* go = menu.addMenu(QStringLiteral("&Go to Bookmark"));
    for (int slot = 0; slot < 4; ++slot)
        go->addAction(QStringLiteral("Goto #&%1").arg(slot + 1), this,
                      [this, slot] { OnCommand(ID_GOTO_BOOKMARK1 + slot); });
    QMenu* set = menu.addMenu(QStringLiteral("&Set Bookmark"));
    for (int slot = 0; slot < 4; ++slot)
        set->addAction(QStringLiteral("Set #&%1").arg(slot + 1), this,
                       [this, slot] { OnCommand(ID_SET_BOOKMARK1 + slot); });
    menu.addAction(QStringLiteral("&Return from Link"), this,
                   [this] { OnCommand(ID_RETURN_FROM_LINK); });
    menu.addAction(QStringLiteral("Table of &Contents"), this, [this] { OnCommand(ID_CONTENTS); })
        ->setEnabled(IsCommandEnabled(ID_CONTENTS));
    menu.addAction(QStringLiteral("Larger F&ont"), this, [this] { OnCommand(ID_LARGER_FONT); });
    menu.addAction(QStringLiteral("S&maller Font"), this, [this] { OnCommand(ID_SMALLER_FONT); });
    menu.exec(event->globalPos());
}

void CChildView::focusOutEvent(QFocusEvent* event) {
    paused_ = true;
    SyncInhibit();
    if (HasBook()) doc_.SavePosition(true);
    QWidget::focusOutEvent(event);
}

}  // namespace wickstand
