#include "device/DeviceDialogs.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>
#include <QtConcurrent>
#include <algorithm>

#include "device/DeviceLibrary.h"
#include "device/DeviceStartup.h"
#include "engine/BookEngine.h"
#include "view/AskDeleteBook.h"
#include "view/ContentsDialog.h"
#include "view/DialogParts.h"
#include "view/FontPreviewCombo.h"
#include "view/LayoutDialog.h"

namespace wickpad {
using namespace pagewick;

const char* const kToolbarChangeNotice =
    "Toolbar change takes place next time reader is restarted.";
const char* const kBooksAddress = "https://www.gutenberg.org/ebooks/";

namespace {
using pwview::BookText;
using pwview::Check;
using pwview::Utf8;
constexpr int kFolderRow = -1;
}  // namespace

// --- Options

COptions3Dlg::COptions3Dlg(const DisplaySettings& s, bool landscapeOn, bool open, Host& host,
                           std::string program, QWidget* parent)
    : QDialog(parent), settings(s), forceLandscape(landscapeOn), autoOpen(open), host_(host) {
    setWindowTitle(QStringLiteral("Options"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(autoScroll = Check("Auto Scroll", s.autoScroll));
    layout->addWidget(landscape = Check("Landscape Mode", landscapeOn));
    layout->addWidget(showMenus = Check("Show Menu && Toolbars", s.ShowMenuAndToolbars()));
    showMenus->setText(QStringLiteral("Show Menu && Toolbars"));
    layout->addWidget(autoOpenBox = Check("Start program with last eBook", open));
    layout->addWidget(associateLit = new QPushButton(QStringLiteral("Associate with LIT files")));
    connect(associateLit, &QPushButton::clicked, this, [this, program] {
        if (host_.ShowMessage(kDeviceAssociateLitQuestion, "Pagewick", MessageButtons::YesNo,
                              MessageIcon::Question) == MessageAnswer::Yes)
            RegisterDeviceLitType(program);
    });
    pwview::AddOkCancel(this, layout);
}

void COptions3Dlg::accept() {
    const int32_t menus = showMenus->isChecked() ? 1 : 0;
    if (menus != settings.furtherWordOne)
        host_.ShowMessage(kToolbarChangeNotice, "Pagewick", MessageButtons::Ok, MessageIcon::None);
    settings.furtherWordOne = menus;
    settings.autoScroll = autoScroll->isChecked() ? 1 : 0;
    forceLandscape = landscape->isChecked();
    autoOpen = autoOpenBox->isChecked();
    QDialog::accept();
}

CDeviceOptionsDlg::CDeviceOptionsDlg(const DisplaySettings& s, bool landscapeOn, bool open,
                                     Host& host, std::string program, QWidget* parent)
    : QDialog(parent),
      settings(s),
      forceLandscape(landscapeOn),
      autoOpen(open),
      host_(host),
      program_(std::move(program)) {
    setWindowTitle(QStringLiteral("Options"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    fontSize = new QSpinBox;
    fontSize->setRange(DisplaySettings::kMinFont, DisplaySettings::kMaxDeviceFont);
    fontSize->setValue(s.fontSize);
    form->addRow(QStringLiteral("Font Size:"), fontSize);
    layout->addLayout(form);
    auto* styles = new QHBoxLayout;
    styles->addWidget(new QLabel(QStringLiteral("Font Style:")));
    styles->addWidget(tahoma = new QRadioButton(QStringLiteral("Tahoma")));
    styles->addWidget(courier = new QRadioButton(QStringLiteral("Courier")));
    (s.fontStyle ? courier : tahoma)->setChecked(true);
    layout->addLayout(styles);
    auto* grid = new QGridLayout;
    grid->addWidget(bold = Check("Bold", s.bold), 0, 0);
    grid->addWidget(clearType = Check("Clear Type", s.clearType), 0, 1);
    grid->addWidget(positionBar = Check("Position Bar", s.showPositionBar), 1, 0);
    grid->addWidget(pageNumber = Check("Page Number", s.showPageNumber), 1, 1);
    grid->addWidget(listHtml = Check("List HTML", s.listHtml), 2, 0);
    grid->addWidget(listZip = Check("List inside ZIP", s.searchZip), 2, 1);
    grid->addWidget(showImages = Check("Show Images", s.showImages), 3, 0);
    grid->addWidget(hyphenate = Check("Hyphenate", s.hyphenate), 3, 1);
    grid->addWidget(keepLines = Check("Keep paragraph lines together", s.keepLinesTogether), 4, 0,
                    1, 2);
    layout->addLayout(grid);
    layout->addWidget(face = new pwview::CFontPreviewCombo(Utf8(s.faceName)));
    layout->addWidget(more = new QPushButton(QStringLiteral("More>>")));
    connect(more, &QPushButton::clicked, this, [this] { RunSecondPage(); });
    pwview::AddOkCancel(this, layout);
}

void CDeviceOptionsDlg::RunSecondPage() {
    pwview::COptions2Dlg second(settings, this);
    second.setWindowTitle(QStringLiteral("Options"));
    // The desktop's layout page, with the way on to the third page.
    auto* onward = new QPushButton(QStringLiteral("More >>"), &second);
    if (auto* box = qobject_cast<QBoxLayout*>(second.layout()))
        box->insertWidget(box->count() - 1, onward);
    bool landscape = forceLandscape, open = autoOpen;
    connect(onward, &QPushButton::clicked, &second, [&] {
        COptions3Dlg third(second.settings, landscape, open, host_, program_, &second);
        if (beforeInner) beforeInner(third);
        if (third.exec() != QDialog::Accepted) return;
        second.settings.autoScroll = third.settings.autoScroll;
        second.settings.furtherWordOne = third.settings.furtherWordOne;
        landscape = third.forceLandscape;
        open = third.autoOpen;
    });
    if (beforeInner) beforeInner(second);
    if (second.exec() != QDialog::Accepted) return;
    // The page's own values and what the third page gave it; the first page's stay.
    settings.paragraphSpacing = second.settings.paragraphSpacing;
    settings.leading = second.settings.leading;
    settings.tabSize = second.settings.tabSize;
    settings.borderWidth = second.settings.borderWidth;
    settings.borderHeight = second.settings.borderHeight;
    settings.justified = second.settings.justified;
    settings.autoScroll = second.settings.autoScroll;
    settings.furtherWordOne = second.settings.furtherWordOne;
    forceLandscape = landscape;
    autoOpen = open;
}

void CDeviceOptionsDlg::accept() {
    const int size = fontSize->value();
    if (size < DisplaySettings::kMinFont || size > DisplaySettings::kMaxDeviceFont) return;
    settings.fontSize = size;
    settings.fontStyle = courier->isChecked() ? 1 : 0;
    settings.bold = bold->isChecked() ? 1 : 0;
    settings.clearType = clearType->isChecked() ? 1 : 0;
    settings.showPositionBar = positionBar->isChecked() ? 1 : 0;
    settings.showPageNumber = pageNumber->isChecked() ? 1 : 0;
    settings.listHtml = listHtml->isChecked() ? 1 : 0;
    settings.searchZip = listZip->isChecked() ? 1 : 0;
    settings.showImages = showImages->isChecked() ? 1 : 0;
    settings.hyphenate = hyphenate->isChecked() ? 1 : 0;
    settings.keepLinesTogether = keepLines->isChecked() ? 1 : 0;
    if (!face->currentText().isEmpty()) settings.faceName = face->currentText().toStdString();
    QDialog::accept();
}

// --- About, More Properties, loading

CDeviceAboutDlg::CDeviceAboutDlg(Host& host, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Wickpad"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel;
    // The program's icon, as its main window shows it.
    icon->setPixmap(windowIcon().isNull()
                        ? style()->standardIcon(QStyle::SP_FileDialogContentsView).pixmap(32, 32)
                        : windowIcon().pixmap(32, 32));
    top->addWidget(icon);
    top->addWidget(new QLabel(QStringLiteral("Pagewick - 5.01")));
    layout->addLayout(top);
    link = new QPushButton(QStringLiteral("Tap here to find links to eBooks at:\n%1")
                               .arg(QString::fromLatin1(kBooksAddress)));
    layout->addWidget(link);
    connect(link, &QPushButton::clicked, this, [&host] { host.OpenWithShell(kBooksAddress); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

CMorePropertiesDlg::CMorePropertiesDlg(const CBookEngine& doc, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("More Properties"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Title"),
                 BookText(doc.BookTitle.empty() ? doc.DocumentTitle : doc.BookTitle));
    form->addRow(QStringLiteral("Author"), BookText(doc.BookAuthor));
    form->addRow(QStringLiteral("Publisher"), BookText(doc.BookPublisher));
    form->addRow(QStringLiteral("Copyright"), BookText(doc.BookRights));
    form->addRow(QStringLiteral("ISBN / EISBN"), new QLabel(Utf8(doc.BookIdentifier)));
    if (!doc.BookLanguage.empty())
        form->addRow(QStringLiteral("Language"), new QLabel(Utf8(doc.BookLanguage)));
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

CLoadingDlg::CLoadingDlg(const std::string& title, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Pagewick"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Pagewick - 5.01 937")));
    layout->addWidget(new QLabel(QStringLiteral("Loading eBook:")));
    layout->addWidget(new QLabel(Utf8(title)));
}

// --- Library

int ShapeClass(int width, int height) {
    if (width * 3 > height * 4) return 1;
    if (width + width / 3 < height) return 0;
    return 2;
}

struct CDeviceLibraryDlg::Scan {
    QFutureWatcher<DeviceLibrary> watcher;
    std::atomic<bool> stop{false};
};

CDeviceLibraryDlg::ScanFn CDeviceLibraryDlg::Listed(DeviceLibrary library) {
    return [library](const std::atomic<bool>&) { return library; };
}

CDeviceLibraryDlg::CDeviceLibraryDlg(ScanFn scanFn, int shape, bool largeScreen, Host& host,
                                     LibraryWarnings& warnings, DeleteFn deleteFn, QWidget* parent)
    : QDialog(parent),
      host_(host),
      warnings_(warnings),
      deleteFn_(std::move(deleteFn)),
      iconSize_(largeScreen ? 32 : 16) {
    setWindowTitle(QStringLiteral("Library"));
    list = new QListWidget;
    list->setIconSize(QSize(iconSize_, iconSize_));
    info = new QLineEdit;
    info->setReadOnly(true);
    openButton = new QPushButton(QStringLiteral("Open"));
    openButton->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    deleteButton =
        new QPushButton(shape == 0 ? QStringLiteral("Delete Selected") : QStringLiteral("Delete"));
    // Three layouts for the screen's shape: tall and near-square screens put the buttons under
    // the list, wide ones beside it.
    if (shape == 1) {
        auto* layout = new QHBoxLayout(this);
        auto* left = new QVBoxLayout;
        left->addWidget(list);
        left->addWidget(info);
        layout->addLayout(left, 1);
        auto* right = new QVBoxLayout;
        right->addWidget(openButton);
        right->addWidget(cancel);
        right->addStretch();
        right->addWidget(deleteButton);
        layout->addLayout(right);
    } else {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(list, 1);
        layout->addWidget(info);
        auto* row = new QHBoxLayout;
        row->addWidget(openButton);
        row->addWidget(cancel);
        row->addWidget(deleteButton);
        layout->addLayout(row);
    }
    if (parent) resize(parent->window()->size());
    connect(openButton, &QPushButton::clicked, this, [this] { ActivateRow(list->currentRow()); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(deleteButton, &QPushButton::clicked, this, [this] { DeleteSelected(); });
    connect(list, &QListWidget::currentRowChanged, this, [this] { SelectionChanged(); });
    connect(list, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { ActivateRow(list->row(item)); });
    Refill();
    info->setText(QStringLiteral("Scanning..."));
    openButton->setEnabled(false);
    scan_ = std::make_shared<Scan>();
    connect(&scan_->watcher, &QFutureWatcherBase::finished, this,
            [this] { ScanFinished(scan_->watcher.result()); });
    // The worker holds the scan's state, never the dialog.
    scan_->watcher.setFuture(QtConcurrent::run(
        [scanFn = std::move(scanFn), scan = scan_] { return scanFn(scan->stop); }));
}

CDeviceLibraryDlg::~CDeviceLibraryDlg() {
    // A scan still running is told to stop and waited for, so that no thread outlives the list.
    scan_->stop = true;
    scan_->watcher.disconnect(this);
    scan_->watcher.waitForFinished();
}

bool CDeviceLibraryDlg::Scanning() const {
    return !scanned_;
}

void CDeviceLibraryDlg::WaitForScan() {
    scan_->watcher.waitForFinished();
    for (int i = 0; i < 100 && Scanning(); ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

void CDeviceLibraryDlg::ScanFinished(DeviceLibrary found) {
    scanned_ = true;
    entries_ = std::move(found.entries);
    folders_ = LibraryFolders(entries_);
    currentFolder_ = folders_.empty() ? std::string() : folders_.front();
    info->clear();
    openButton->setEnabled(true);
    if (entries_.empty()) {
        // Nothing to list at all: the dialog gives way to the "No eBooks" message of its caller.
        nothingFound_ = true;
        accept();
        return;
    }
    if (found.overLimit && !warnings_.total) {
        warnings_.total = true;
        host_.ShowMessage(kTooManyBooks, "Pagewick", MessageButtons::Ok, MessageIcon::Warning);
    }
    Refill();
}

void CDeviceLibraryDlg::Refill() {
    list->clear();
    for (size_t i = 0; i < folders_.size(); ++i) {
        auto* item = new QListWidgetItem(pwview::LibraryKindIcon(7, iconSize_), Utf8(folders_[i]));
        item->setData(Qt::UserRole, kFolderRow - int(i));
        list->addItem(item);
    }
    size_t shown = 0;
    for (size_t i = 0; i < entries_.size(); ++i) {
        LibraryEntry& entry = entries_[i];
        if (entry.folderLabel != currentFolder_) continue;
        if (shown == kMaxFolderBooks) {
            if (!warnings_.folder) {
                warnings_.folder = true;
                host_.ShowMessage(kTooManyInFolder, "Pagewick", MessageButtons::Ok,
                                  MessageIcon::Warning);
            }
            break;
        }
        ++shown;
        // Titles are read for the folder shown only, when it is first shown.
        ReadLibraryTitle(entry);
        auto* item =
            new QListWidgetItem(pwview::LibraryKindIcon(entry.kind, iconSize_), Utf8(entry.title));
        item->setData(Qt::UserRole, int(i));
        list->addItem(item);
    }
    if (list->count() > 0) {
        list->setCurrentRow(0);
        list->scrollToItem(list->item(0));
    }
    SelectionChanged();
}

const LibraryEntry* CDeviceLibraryDlg::EntryAt(int row) const {
    QListWidgetItem* item = list->item(row);
    if (!item) return nullptr;
    int index = item->data(Qt::UserRole).toInt();
    return index >= 0 && size_t(index) < entries_.size() ? &entries_[size_t(index)] : nullptr;
}

int CDeviceLibraryDlg::BookRows() const {
    int rows = 0;
    for (int i = 0; i < list->count(); ++i)
        if (EntryAt(i)) ++rows;
    return rows;
}

void CDeviceLibraryDlg::SelectionChanged() {
    const int row = list->currentRow();
    QListWidgetItem* item = list->item(row);
    if (!item) {
        info->clear();
        deleteButton->setEnabled(false);
        return;
    }
    if (const LibraryEntry* entry = EntryAt(row)) {
        info->setText(Utf8(entry->path));
        deleteButton->setEnabled(true);
    } else {
        info->setText(QStringLiteral("Filter: ") + item->text());
        deleteButton->setEnabled(false);
    }
}

void CDeviceLibraryDlg::ActivateRow(int row) {
    QListWidgetItem* item = list->item(row);
    if (!item) return;
    list->setCurrentRow(row);
    if (const LibraryEntry* entry = EntryAt(row)) {
        chosen = *entry;
        accept();
        return;
    }
    int folder = kFolderRow - item->data(Qt::UserRole).toInt();
    if (folder >= 0 && size_t(folder) < folders_.size()) {
        currentFolder_ = folders_[size_t(folder)];
        Refill();
    }
}

void CDeviceLibraryDlg::DeleteSelected() {
    const LibraryEntry* entry = EntryAt(list->currentRow());
    if (!entry || !deleteFn_) return;
    pwview::CAskDeleteBookDLg ask(this);
    if (ask.exec() != QDialog::Accepted) return;
    LibraryEntry target = *entry;
    if (!deleteFn_(target, ask.repair)) return;
    if (!ask.repair) {
        rescan = true;
        reject();
    }
}

}  // namespace wickpad
