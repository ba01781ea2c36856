#include "desktop/Dialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "desktop/DesktopHost.h"
#include "desktop/Startup.h"
#include "view/ContentsDialog.h"

namespace wickstand {
using namespace pagewick;

namespace {
QDialogButtonBox* OkCancel(QDialog* dialog, QBoxLayout* layout) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    return buttons;
}
QSpinBox* Spin(int low, int high, int value) {
    auto* spin = new QSpinBox;
    spin->setRange(low, high);
    spin->setValue(value);
    return spin;
}
QCheckBox* Check(const char* text, bool on, bool enabled = true) {
    auto* box = new QCheckBox(QString::fromUtf8(text));
    box->setChecked(on);
    box->setEnabled(enabled);
    return box;
}
QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// A small icon for each kind of library entry: a coloured page with the kind's letter.
QIcon KindIcon(int kind) {
    return pwview::LibraryKindIcon(kind, 16);
}
}  // namespace

int ProgressPercent(int64_t offset, int64_t length) {
    if (length <= 0) return 0;
    return int(std::clamp<int64_t>(offset * 100 / length, 0, 100));
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Pagewick"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel;
    // The program's icon, as its main window shows it.
    icon->setPixmap(windowIcon().isNull() ? style()->standardIcon(QStyle::SP_FileIcon).pixmap(32)
                                          : windowIcon().pixmap(32));
    row->addWidget(icon);
    row->addWidget(new QLabel(QStringLiteral("Pagewick Version 5.01 937")));
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

COptions2Dlg::COptions2Dlg(const DisplaySettings& s, QWidget* parent)
    : QDialog(parent), settings(s) {
    setWindowTitle(QStringLiteral("Layout"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const int top = DisplaySettings::kMaxLayoutValue;
    // The handheld's second options page shows the same values under its own labels.
    const bool device = s.variant == DisplaySettings::Variant::Device;
    form->addRow(device ? QStringLiteral("Paragraph Spacing") : QStringLiteral("Paragraph spacing"),
                 paragraphSpacing = Spin(0, top, s.paragraphSpacing));
    form->addRow(QStringLiteral("Leading"), leading = Spin(0, top, s.leading));
    form->addRow(device ? QStringLiteral("Tab Size") : QStringLiteral("Tab size"),
                 tabSize = Spin(0, top, s.tabSize));
    form->addRow(device ? QStringLiteral("Border Width") : QStringLiteral("Border width"),
                 borderWidth = Spin(0, top, s.borderWidth));
    form->addRow(device ? QStringLiteral("Height") : QStringLiteral("Border height"),
                 borderHeight = Spin(0, top, s.borderHeight));
    layout->addLayout(form);
    layout->addWidget(justified = Check(device ? "Justified Text" : "Justified text", s.justified));
    OkCancel(this, layout);
}

void COptions2Dlg::accept() {
    settings.paragraphSpacing = paragraphSpacing->value();
    settings.leading = leading->value();
    settings.tabSize = tabSize->value();
    settings.borderWidth = borderWidth->value();
    settings.borderHeight = borderHeight->value();
    settings.justified = justified->isChecked() ? 1 : 0;
    QDialog::accept();
}

COptionsDlg2::COptionsDlg2(bool scroll, bool open, DesktopHost& host, std::string program,
                           QWidget* parent)
    : QDialog(parent), autoScroll(scroll), autoOpen(open) {
    setWindowTitle(QStringLiteral("Behavior"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(autoScrollBox = Check("Auto Scroll", scroll));
    layout->addWidget(autoOpenBox = Check("Start with Last Opened eBook", open));
    layout->addWidget(associateLit = new QPushButton(QStringLiteral("Associate with LIT files")));
    connect(associateLit, &QPushButton::clicked, this, [&host, program] {
        if (host.ShowMessage(kAssociateLitQuestion, "Pagewick", MessageButtons::YesNo,
                             MessageIcon::Question) == MessageAnswer::Yes)
            RegisterLitType(program);
    });
    OkCancel(this, layout);
}

void COptionsDlg2::accept() {
    autoScroll = autoScrollBox->isChecked();
    autoOpen = autoOpenBox->isChecked();
    QDialog::accept();
}

namespace {

constexpr int kMarkWidth = 16, kGap = 6;
const QString kSample = QStringLiteral("Sample Text");

QFont PreviewFont(const QString& family) {
    QFont font(family);
    font.setPixelSize(CFontPreviewCombo::kItemFontHeight);
    return font;
}

// Draws one face: the scalable mark, the name in the list's font, the sample in the face itself.
class FontPreviewDelegate : public QStyledItemDelegate {
public:
    FontPreviewDelegate(int nameWidth, QObject* parent)
        : QStyledItemDelegate(parent), nameWidth_(nameWidth) {}
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem plain = option;
        initStyleOption(&plain, index);
        plain.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &plain, p, widget);
        QString family = index.data(Qt::DisplayRole).toString();
        p->save();
        p->setPen(option.palette.color(
            option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        QRect r = option.rect.adjusted(2, 0, 0, 0);
        if (QFontDatabase::isScalable(family)) {
            QFont mark = option.font;
            mark.setBold(true);
            p->setFont(mark);
            p->drawText(QRect(r.left(), r.top(), kMarkWidth, r.height()), Qt::AlignCenter,
                        QStringLiteral("T"));
        }
        r.setLeft(r.left() + kMarkWidth + kGap);
        p->setFont(option.font);
        p->drawText(r, Qt::AlignVCenter | Qt::AlignLeft, family);
        r.setLeft(r.left() + nameWidth_ + kGap);
        p->setFont(PreviewFont(family));
        p->drawText(r, Qt::AlignVCenter | Qt::AlignLeft, kSample);
        p->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        QFontMetrics sample(PreviewFont(index.data(Qt::DisplayRole).toString()));
        return {size.width(), std::max(size.height(), sample.height() + 2)};
    }

private:
    int nameWidth_;
};

}  // namespace

CFontPreviewCombo::CFontPreviewCombo(const QString& current, QWidget* parent) : QComboBox(parent) {
    QStringList families = QFontDatabase::families();
    // A face the settings name but this machine lacks stays choosable, so OK does not lose it.
    if (!current.isEmpty() && !families.contains(current)) families.prepend(current);
    QFontMetrics names(font());
    for (const QString& family : families) {
        addItem(family);
        nameWidth_ = std::max(nameWidth_, names.horizontalAdvance(family));
        sampleWidth_ =
            std::max(sampleWidth_, QFontMetrics(PreviewFont(family)).horizontalAdvance(kSample));
    }
    setItemDelegate(new FontPreviewDelegate(nameWidth_, this));
    setCurrentIndex(std::max(0, findText(current)));
}

void CFontPreviewCombo::showPopup() {
    int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    view()->setMinimumWidth(scrollBar + nameWidth_ + sampleWidth_ + 35);
    QComboBox::showPopup();
}

COptions1Dlg::COptions1Dlg(const DisplaySettings& s, bool open, DesktopHost& host,
                           std::string program, QWidget* parent)
    : QDialog(parent), settings(s), autoOpen(open), host_(host), program_(std::move(program)) {
    setWindowTitle(QStringLiteral("Options"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Font"), face = new CFontPreviewCombo(Utf8(s.faceName)));
    form->addRow(QStringLiteral("Font Size"),
                 fontSize = Spin(DisplaySettings::kMinFont, DisplaySettings::kMaxFont, s.fontSize));
    layout->addLayout(form);
    auto* styles = new QHBoxLayout;
    // The font style: the proportional face or the fixed-pitch one.
    styles->addWidget(tahoma = new QRadioButton(QStringLiteral("Tahoma")));
    styles->addWidget(courier = new QRadioButton(QStringLiteral("Courier")));
    (s.fontStyle ? courier : tahoma)->setChecked(true);
    layout->addLayout(styles);
    layout->addWidget(bold = Check("Bold", s.bold));
    layout->addWidget(Check("Clear Type", s.clearType, false));
    layout->addWidget(Check("Show Position Bar", s.showPositionBar, false));
    layout->addWidget(Check("Show Page Number", s.showPageNumber, false));
    layout->addWidget(listHtml = Check("Include HTML file in eBook Library Listing", s.listHtml));
    layout->addWidget(
        Check("Search for files inside ZIP for eBook Library Listing", s.searchZip, false));
    layout->addWidget(Check("Show Images Inline (slower)", s.showImages, false));
    layout->addWidget(hyphenate = Check("Hyphenate", s.hyphenate));
    auto* limits = new QFormLayout;
    limits->addRow(QStringLiteral("Shortest word hyphenated"),
                   minWord = Spin(1, DisplaySettings::kMaxHyphenWord, s.hyphenMinWord));
    limits->addRow(QStringLiteral("Letters before a break"),
                   minLeft = Spin(1, DisplaySettings::kMaxHyphenFragment, s.hyphenMinLeft));
    limits->addRow(QStringLiteral("Letters after a break"),
                   minRight = Spin(1, DisplaySettings::kMaxHyphenFragment, s.hyphenMinRight));
    limits->addRow(QStringLiteral("Hyphenation language"),
                   language = new QLineEdit(Utf8(s.hyphenationLanguage)));
    // Empty: the system's language, for books that do not declare theirs.
    language->setPlaceholderText(QStringLiteral("System"));
    language->setMaxLength(35);
    layout->addLayout(limits);
    layout->addWidget(keepLines = Check("Keep paragraph lines together", s.keepLinesTogether));
    auto* row = new QHBoxLayout;
    row->addWidget(layoutButton = new QPushButton(QStringLiteral("Layout")));
    row->addWidget(behaviorButton = new QPushButton(QStringLiteral("Behavior")));
    layout->addLayout(row);
    connect(layoutButton, &QPushButton::clicked, this, [this] {
        COptions2Dlg inner(settings, this);
        if (beforeInner) beforeInner(inner);
        if (inner.exec() == QDialog::Accepted) {
            int size = settings.fontSize;
            settings = inner.settings;
            settings.fontSize = size;
        }
    });
    connect(behaviorButton, &QPushButton::clicked, this, [this] {
        COptionsDlg2 inner(settings.autoScroll != 0, autoOpen, host_, program_, this);
        if (beforeInner) beforeInner(inner);
        if (inner.exec() == QDialog::Accepted) {
            settings.autoScroll = inner.autoScroll ? 1 : 0;
            autoOpen = inner.autoOpen;
        }
    });
    OkCancel(this, layout);
}

void COptions1Dlg::accept() {
    int size = fontSize->value();
    if (size < DisplaySettings::kMinFont || size > DisplaySettings::kMaxFont) return;
    settings.fontSize = size;
    settings.bold = bold->isChecked() ? 1 : 0;
    settings.fontStyle = courier->isChecked() ? 1 : 0;
    if (!face->currentText().isEmpty()) settings.faceName = face->currentText().toStdString();
    settings.listHtml = listHtml->isChecked() ? 1 : 0;
    settings.hyphenate = hyphenate->isChecked() ? 1 : 0;
    settings.hyphenMinWord = minWord->value();
    settings.hyphenMinLeft = minLeft->value();
    settings.hyphenMinRight = minRight->value();
    settings.keepLinesTogether = keepLines->isChecked() ? 1 : 0;
    std::string tag = language->text().trimmed().toStdString();
    if (!std::all_of(tag.begin(), tag.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
        })) {
        language->setFocus();
        language->selectAll();
        return;  // not a language tag
    }
    settings.hyphenationLanguage = tag;
    QDialog::accept();
}

CPropertiesDlg::CPropertiesDlg(CBookEngine& doc, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("eBook Properties"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    std::string file = std::filesystem::path(doc.BookPath).filename().string();
    if (!doc.MemberName.empty()) file += ":" + doc.MemberName;
    form->addRow(QStringLiteral("Name"),
                 new QLabel(Utf8(doc.DocumentTitle.empty() ? file : doc.DocumentTitle)));
    form->addRow(QStringLiteral("Position"), new QLabel(Utf8(doc.PositionText())));
    int64_t start = doc.CurrentPage >= 0 && doc.CurrentPage < int32_t(doc.PageStarts.size())
                        ? doc.PageStarts[size_t(doc.CurrentPage)]
                        : 0;
    percent = ProgressPercent(start, int64_t(doc.CharCount()));
    progress = new QProgressBar;
    progress->setRange(0, 100);
    progress->setValue(percent);
    form->addRow(QStringLiteral("Progress"), progress);
    form->addRow(QStringLiteral("File"), new QLabel(Utf8(file)));
    // What the book's header says of it; empty for books that carry nothing of the kind.
    form->addRow(QStringLiteral("Author"), author = new QLabel(Utf8(doc.BookAuthor)));
    form->addRow(QStringLiteral("Publisher"), publisher = new QLabel(Utf8(doc.BookPublisher)));
    form->addRow(QStringLiteral("Copyright"), copyright = new QLabel(Utf8(doc.BookRights)));
    form->addRow(QStringLiteral("ISBN / EISBN"), identifier = new QLabel(Utf8(doc.BookIdentifier)));
    layout->addLayout(form);
    lineBreaks = doc.JoinLines != 0;
    layout->addWidget(lineBreaksBox = Check("Book contains line breaks", lineBreaks));
    layout->addWidget(repaginateBox = Check("Repaginate", false));
    layout->addWidget(deleteBox = Check("Delete Book File", false));
    OkCancel(this, layout);
}

void CPropertiesDlg::accept() {
    lineBreaks = lineBreaksBox->isChecked();
    repaginate = repaginateBox->isChecked();
    deleteFile = deleteBox->isChecked();
    QDialog::accept();
}

CAskDeleteBookDLg::CAskDeleteBookDLg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Delete eBook"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(repairButton =
                          new QRadioButton(QStringLiteral("Repair book pagination file.")));
    layout->addWidget(deleteButton =
                          new QRadioButton(QStringLiteral("Delete book and pagination file")));
    repairButton->setChecked(true);
    OkCancel(this, layout);
}

void CAskDeleteBookDLg::accept() {
    repair = repairButton->isChecked();
    QDialog::accept();
}

// --- Library

struct CSelectDlg::Scan {
    QFutureWatcher<std::vector<LibraryEntry>> watcher;
};

CSelectDlg::CSelectDlg(std::vector<LibraryEntry> fixed, std::string root, bool listHtml,
                       bool searchZip, DeleteFn deleteFn, QWidget* parent)
    : QDialog(parent), entries_(std::move(fixed)), deleteFn_(std::move(deleteFn)) {
    setWindowTitle(QStringLiteral("Library"));
    resize(480, 400);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list = new QListWidget);
    layout->addWidget(info = new QLineEdit);
    info->setReadOnly(true);
    auto* row = new QHBoxLayout;
    row->addWidget(deleteButton = new QPushButton(QStringLiteral("Delete/Repair Selected")));
    row->addWidget(createButton = new QPushButton(QStringLiteral("Create New eBook")));
    // The view opens the builder once the library has closed.
    connect(createButton, &QPushButton::clicked, this, [this] {
        createRequested = true;
        reject();
    });
    deleteButton->setEnabled(false);
    layout->addLayout(row);
    okButton = OkCancel(this, layout)->button(QDialogButtonBox::Ok);
    okButton->setEnabled(false);
    connect(list, &QListWidget::itemSelectionChanged, this, &CSelectDlg::SelectionChanged);
    // Double-click, Enter and OK open a row through ActivateRow alone.
    connect(list, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { ActivateRow(list->row(item)); });
    list->installEventFilter(this);
    connect(deleteButton, &QPushButton::clicked, this, &CSelectDlg::DeleteSelected);
    Refill();
    // The scan runs on a worker: a large library neither delays nor freezes the dialog.
    scan_ = std::make_shared<Scan>();
    connect(&scan_->watcher, &QFutureWatcherBase::finished, this,
            [this] { ScanFinished(scan_->watcher.result()); });
    scan_->watcher.setFuture(QtConcurrent::run([root, listHtml, searchZip] {
        std::vector<LibraryEntry> found;
        ScanLibrary(root, listHtml, searchZip, found);
        return found;
    }));
    info->setText(QStringLiteral("Scanning..."));
}

CSelectDlg::~CSelectDlg() {
    // The scan holds nothing of the dialog; it is waited for so that no thread outlives it.
    scan_->watcher.disconnect(this);
    scan_->watcher.waitForFinished();
}

bool CSelectDlg::Scanning() const {
    return !scan_->watcher.isFinished();
}

void CSelectDlg::WaitForScan() {
    scan_->watcher.waitForFinished();
    QCoreApplication::processEvents();
    if (Scanning() || info->text() == QStringLiteral("Scanning...")) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

void CSelectDlg::ScanFinished(std::vector<LibraryEntry> found) {
    for (auto& entry : found)
        entries_.push_back(std::move(entry));
    info->clear();
    Refill();
    // Nothing to list at all: the dialog gives way to the "No eBooks" message of its caller.
    if (entries_.empty() && isVisible()) QDialog::accept();
}

bool CSelectDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (list->currentItem()) ActivateRow(list->currentRow());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CSelectDlg::accept() {
    if (list->currentItem()) ActivateRow(list->currentRow());
}

void CSelectDlg::PrintGeometry() {
    if (!qEnvironmentVariableIsSet("PAGEWICK_PRINT_GEOMETRY") || !isVisible()) return;
    // Once the rows are laid out and the window is placed.
    QTimer::singleShot(200, this, [this] {
        auto place = [](const QWidget* widget, QRect r) {
            QPoint at = widget->mapToGlobal(r.topLeft());
            return QStringLiteral("%1 %2 %3 %4")
                .arg(at.x())
                .arg(at.y())
                .arg(r.width())
                .arg(r.height());
        };
        QString out;
        for (int row = 0; row < list->count(); ++row) {
            QListWidgetItem* item = list->item(row);
            out += QStringLiteral("geometry library-row %1 %2 %3\n")
                       .arg(row)
                       .arg(place(list->viewport(), list->visualItemRect(item)))
                       .arg(item->text());
        }
        out += QStringLiteral("geometry library-ok %1\n").arg(place(okButton, okButton->rect()));
        std::fputs(out.toUtf8().constData(), stderr);
        std::fflush(stderr);
    });
}

void CSelectDlg::Refill() {
    folders_.clear();
    for (const LibraryEntry& e : entries_)
        if (std::find(folders_.begin(), folders_.end(), e.folderLabel) == folders_.end())
            folders_.push_back(e.folderLabel);
    if (currentFolder_.empty() && !folders_.empty()) currentFolder_ = folders_.front();
    list->clear();
    for (const std::string& folder : folders_) {
        auto* item = new QListWidgetItem(style()->standardIcon(QStyle::SP_DirIcon), Utf8(folder));
        item->setData(Qt::UserRole, -1);
        list->addItem(item);
    }
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].folderLabel != currentFolder_) continue;
        auto* item = new QListWidgetItem(KindIcon(entries_[i].kind), Utf8(entries_[i].title));
        item->setData(Qt::UserRole, int(i));
        list->addItem(item);
    }
    deleteButton->setEnabled(false);
    okButton->setEnabled(list->currentItem() != nullptr);
    PrintGeometry();
}

void CSelectDlg::SelectRow(int row) {
    list->setCurrentRow(row);
}

void CSelectDlg::SelectionChanged() {
    QListWidgetItem* item = list->currentItem();
    okButton->setEnabled(item != nullptr);
    if (!item) return;
    int index = item->data(Qt::UserRole).toInt();
    if (index < 0) {
        info->setText(QStringLiteral("Filter: ") + item->text());
        deleteButton->setEnabled(false);
    } else {
        info->setText(Utf8(entries_[size_t(index)].path));
        deleteButton->setEnabled(true);
    }
}

void CSelectDlg::ActivateRow(int row) {
    QListWidgetItem* item = list->item(row);
    if (!item) return;
    int index = item->data(Qt::UserRole).toInt();
    if (index < 0) {
        currentFolder_ = item->text().toStdString();
        Refill();
        // The folder's first book is selected, so that the keys go on from there.
        for (int r = 0; r < list->count(); ++r)
            if (list->item(r)->data(Qt::UserRole).toInt() >= 0) {
                list->setCurrentRow(r);
                break;
            }
        return;
    }
    chosen = entries_[size_t(index)];
    QDialog::accept();
}

void CSelectDlg::DeleteSelected() {
    QListWidgetItem* item = list->currentItem();
    if (!item || item->data(Qt::UserRole).toInt() < 0) return;
    const LibraryEntry entry = entries_[size_t(item->data(Qt::UserRole).toInt())];
    CAskDeleteBookDLg ask(this);
    if (ask.exec() != QDialog::Accepted) return;
    if (deleteFn_ && deleteFn_(entry, ask.repair)) {
        rescan = true;
        reject();
    }
}

}  // namespace wickstand
