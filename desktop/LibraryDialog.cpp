#include "desktop/LibraryDialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cstdio>

#include "view/AskDeleteBook.h"
#include "view/ContentsDialog.h"
#include "view/DialogParts.h"

namespace wickstand {
using namespace pagewick;
using pwview::CAskDeleteBookDLg;
using pwview::OkCancel;
using pwview::Utf8;

namespace {
// A small icon for each kind of library entry: a coloured page with the kind's letter.
QIcon KindIcon(int kind) {
    return pwview::LibraryKindIcon(kind, 16);
}
}  // namespace

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
