#include "desktop/ConvertDialog.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <new>

#include "desktop/ProgressWnd.h"
#include "util/AsciiCase.h"
#include "util/Cp1252.h"

namespace wickstand {

using namespace pagewick;

namespace {

constexpr const char* kCaption = "Pagewick";

// The book keeps its title and author in the code page, with references for what it lacks.
std::string ToCodePage(const QString& text) {
    return Utf8ToCodePageLabel(text.toStdString());
}

QString FromCodePage(const std::string& text) {
    return QString::fromStdString(CodePageLabelToUtf8(text));
}

constexpr const char* kLitNotFirst =
    "Sorry, cannot create compound eBook including LIT files.\r\nPlease choose this file as your "
    "first entry.";

bool EndsWith(const std::string& path, const char* tail) {
    std::string lower = LowerAscii(path);
    std::string t(tail);
    return lower.size() >= t.size() && lower.compare(lower.size() - t.size(), t.size(), t) == 0;
}

bool IsLitPath(const std::string& path) {
    return EndsWith(path, ".lit");
}

bool IsEpubPath(const std::string& path) {
    return EndsWith(path, ".epub");
}

}  // namespace

RDragDropFiles::RDragDropFiles(const QMimeData* data) {
    if (!data) return;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths_.push_back(url.toLocalFile().toStdString());
}

std::string RDragDropFiles::NextFile() {
    return next_ < paths_.size() ? paths_[next_++] : std::string();
}

CConvHTMLDlg::CConvHTMLDlg(Host& host, QWidget* parent) : QDialog(parent), host_(host) {
    setWindowTitle(QStringLiteral("Create eBook"));
    setAcceptDrops(true);
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral(
        "This screen allows you to convert a single LIT, or a combination of HTML and TXT "
        "documents into an eBook optimized for reading on your device.  Please adhere to local "
        "copyright law."));
    intro->setWordWrap(true);
    layout->addWidget(intro);
    layout->addWidget(new QLabel(QStringLiteral("Add HTML and TXT files in reading order.")));
    auto* images = new QLabel(QStringLiteral(
        "Also, include any images referenced in the html. Your image link should not include "
        "folder names."));
    images->setWordWrap(true);
    layout->addWidget(images);

    auto* middle = new QHBoxLayout;
    list = new QTreeWidget;
    list->setColumnCount(1);
    list->setHeaderLabels({QStringLiteral("File Name")});
    list->setRootIsDecorated(false);
    // The one column is always as wide as the list: a width set from the list before the dialog
    // is laid out would be a placeholder's, wider than the list, and scroll sideways.
    list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    middle->addWidget(list, 1);
    auto* buttons = new QVBoxLayout;
    for (auto [button, label] : {std::pair{&addButton, "Add File"},
                                 {&upButton, "Move Up"},
                                 {&downButton, "Move Down"},
                                 {&removeButton, "Remove"},
                                 {&coverButton, "Cover Art"}})
        buttons->addWidget(*button = new QPushButton(QString::fromLatin1(label)));
    buttons->addStretch();
    middle->addLayout(buttons);
    layout->addLayout(middle);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Composition Title:"), titleBox = new QLineEdit);
    form->addRow(QStringLiteral("Author:"), authorBox = new QLineEdit);
    layout->addLayout(form);
    layout->addWidget(reflowBox = new QCheckBox(QStringLiteral("Reflow paragraphs")));
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(buildButton = new QPushButton(QStringLiteral("Build")));
    bottom->addWidget(closeButton = new QPushButton(QStringLiteral("Close")));
    // Enter in the title or author box builds; it must not open a file dialog.
    buildButton->setDefault(true);
    layout->addLayout(bottom);

    connect(addButton, &QPushButton::clicked, this, &CConvHTMLDlg::AddFile);
    connect(upButton, &QPushButton::clicked, this, &CConvHTMLDlg::MoveUp);
    connect(downButton, &QPushButton::clicked, this, &CConvHTMLDlg::MoveDown);
    connect(removeButton, &QPushButton::clicked, this, &CConvHTMLDlg::RemoveFile);
    connect(coverButton, &QPushButton::clicked, this, &CConvHTMLDlg::AddCoverArt);
    connect(buildButton, &QPushButton::clicked, this, &CConvHTMLDlg::Build);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    chooseFile = [this](const QString& caption, const QString& extension, const QString& filter) {
        QFileDialog dialog(this, caption, QString(), filter);
        dialog.setDefaultSuffix(extension);
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::string();
        return dialog.selectedFiles().front().toStdString();
    };

    // "My eBooks" is where every book goes; made now so the user can find it.
    std::string documents = host_.DocumentsFolder();
    if (!documents.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(documents) / "My eBooks", ec);
    }
    resize(560, 460);
}

CConvHTMLDlg::~CConvHTMLDlg() = default;

bool CConvHTMLDlg::Guarded(const std::function<void()>& command) {
    // An error raised by a command is shown, never let out into the event loop, which would end
    // the program; the list stays as the command left it.
    std::string message;
    try {
        command();
        return true;
    } catch (const std::bad_alloc&) {
        message = "There is not enough memory to do this.";
    } catch (const std::exception& e) {
        message = std::string("Error processing eBook.\r\n") + e.what();
    }
    host_.ShowMessage(message, kCaption, MessageButtons::Ok, MessageIcon::Error);
    Refresh();
    return false;
}

bool CConvHTMLDlg::Admit(const std::string& path) {
    if (IsLitPath(path)) {
        host_.ShowMessage(kLitNotFirst, kCaption, MessageButtons::Ok, MessageIcon::Warning);
        return false;
    }
    std::string refused = CheckSourceFile(path);
    if (!refused.empty()) {
        host_.ShowMessage(refused, kCaption, MessageButtons::Ok, MessageIcon::Warning);
        return false;
    }
    return true;
}

void CConvHTMLDlg::AddInitialFile(const std::string& path) {
    Guarded([&] { TakeInitialFile(path); });
}

void CConvHTMLDlg::TakeInitialFile(const std::string& path) {
    if (IsLitPath(path)) {
        auto lit = std::make_unique<LitSource>();
        LitSourceStatus status = OpenLitSource(path, *lit);
        if (status != LitSourceStatus::Ok) {
            // Nothing of a book that cannot be converted is kept: Build then has nothing to do.
            host_.ShowMessage(LitSourceMessage(status), kCaption, MessageButtons::Ok,
                              MessageIcon::Error);
            Refresh();
            return;
        }
        lit_ = std::move(lit);
        paths_.push_back(path);
        EnterLitMode();
    } else if (IsEpubPath(path)) {
        // An EPUB book is taken apart as a LIT book is: the list holds it alone.
        auto epub = std::make_unique<LitSource>();
        if (EpubResult result = OpenEpubSource(path, *epub); result != EpubResult::kOk) {
            host_.ShowMessage(EpubSourceMessage(result), kCaption, MessageButtons::Ok,
                              MessageIcon::Error);
            Refresh();
            return;
        }
        lit_ = std::move(epub);
        paths_.push_back(path);
        EnterLitMode();
    } else if (std::string refused = CheckSourceFile(path); !refused.empty()) {
        host_.ShowMessage(refused, kCaption, MessageButtons::Ok, MessageIcon::Warning);
    } else {
        paths_.push_back(path);
    }
    Refresh();
}

void CConvHTMLDlg::EnterLitMode() {
    litMode_ = true;
    titleBox->setText(FromCodePage(lit_->title));
    authorBox->setText(FromCodePage(lit_->author));
    for (QWidget* w : std::initializer_list<QWidget*>{
             list, titleBox, authorBox, addButton, upButton, downButton, removeButton, coverButton})
        w->setEnabled(false);
}

void CConvHTMLDlg::AddFile() {
    if (litMode_) return;
    Guarded([this] {
        std::string path = chooseFile(
            QStringLiteral("Add File"), QStringLiteral("html"),
            QStringLiteral("Hypertext Files (*.htm *.html);;Plain Text Files (*.txt);;Image Files "
                           "(*.png *.jp* *.gif);;Media Files (*.wav *.mp* *.mw? *.avi);;All Files "
                           "(*)"));
        if (!path.empty() && Admit(path)) paths_.push_back(path);
        Refresh();
    });
}

int CConvHTMLDlg::SelectedRow() const {
    QTreeWidgetItem* item = list->currentItem();
    return item && item->isSelected() ? list->indexOfTopLevelItem(item) : -1;
}

void CConvHTMLDlg::SelectRow(int row) {
    if (row < 0 || row >= list->topLevelItemCount()) {
        list->clearSelection();
        return;
    }
    list->setCurrentItem(list->topLevelItem(row));
    list->topLevelItem(row)->setSelected(true);
}

void CConvHTMLDlg::MoveUp() {
    int row = SelectedRow();
    if (litMode_ || row <= 0) return;
    std::swap(paths_[size_t(row)], paths_[size_t(row) - 1]);
    Refresh();
    // The mark stays on the same row number.
    SelectRow(row);
}

void CConvHTMLDlg::MoveDown() {
    int row = SelectedRow();
    if (litMode_ || row < 0 || row + 1 >= int(paths_.size())) return;
    std::swap(paths_[size_t(row)], paths_[size_t(row) + 1]);
    Refresh();
    SelectRow(row + 1);
}

void CConvHTMLDlg::RemoveFile() {
    int row = SelectedRow();
    if (litMode_ || row < 0) return;
    paths_.erase(paths_.begin() + row);
    Refresh();
}

void CConvHTMLDlg::AddCoverArt() {
    if (litMode_) return;
    Guarded([this] { TakeCoverArt(); });
}

void CConvHTMLDlg::TakeCoverArt() {
    std::string path = chooseFile(QStringLiteral("Cover Art"), QStringLiteral("png"),
                                  QStringLiteral("Image Files (*.png *.jp* *.gif)"));
    if (path.empty() || !Admit(path)) return;
    // A GIF makes a cover as a PNG or JPEG does, so a second Cover Art replaces it too.
    if (!paths_.empty() && (EndsWith(paths_[0], ".png") || EndsWith(paths_[0], ".jpg") ||
                            EndsWith(paths_[0], ".jpeg") || EndsWith(paths_[0], ".gif"))) {
        paths_[0] = path;
        host_.ShowMessage("Cover Art updated.", kCaption, MessageButtons::Ok,
                          MessageIcon::Information);
    } else {
        paths_.insert(paths_.begin(), path);
        host_.ShowMessage("Cover Art added.", kCaption, MessageButtons::Ok,
                          MessageIcon::Information);
    }
    Refresh();
}

void CConvHTMLDlg::DropFiles(RDragDropFiles& files) {
    if (litMode_) return;
    // Each dropped file is checked as Add File checks a chosen one.
    Guarded([&] {
        for (std::string path = files.NextFile(); !path.empty(); path = files.NextFile())
            if (Admit(path)) paths_.push_back(path);
        Refresh();
    });
}

void CConvHTMLDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!litMode_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CConvHTMLDlg::dropEvent(QDropEvent* event) {
    RDragDropFiles files(event->mimeData());
    DropFiles(files);
    event->acceptProposedAction();
}

void CConvHTMLDlg::Refresh() {
    list->clear();
    for (const auto& path : paths_)
        list->addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromStdString(path)}));
}

void CConvHTMLDlg::Build() {
    if (titleBox->text().isEmpty()) {
        titleBox->setText(QStringLiteral("eBook Title"));
        host_.ShowMessage("Please enter a Title.", kCaption, MessageButtons::Ok,
                          MessageIcon::Warning);
        return;
    }
    if (paths_.empty()) {
        host_.ShowMessage("There are no file to create a book from.", kCaption, MessageButtons::Ok,
                          MessageIcon::Warning);
        return;
    }
    if (host_.ShowMessage(
            "This software is meant only for the lawful duplication and conversion of material "
            "as the copyright law of your country allows. You are liable for any misuse.\r\n"
            "Do you agree to these conditions?",
            kCaption, MessageButtons::YesNo, MessageIcon::Question) != MessageAnswer::Yes) {
        host_.ShowMessage(
            "You must agree that copyright adherence is your "
            "responsibility.\r\nConversion cannot proceed. Sorry.",
            kCaption, MessageButtons::Ok, MessageIcon::Warning);
        return;
    }

    BuildOutcome outcome;
    bool done = Guarded([&] {
        BookRequest request;
        request.title = ToCodePage(titleBox->text());
        request.author = ToCodePage(authorBox->text());
        request.reflow = reflowBox->isChecked();
        if (litMode_)
            request.lit = lit_.get();
        else
            request.paths = paths_;
        CProgressWnd progress(this, QStringLiteral("Building your eBook"));
        progress.SetRange(0, 100 * int64_t(paths_.size()));
        progress.SetStep(1);
        progress.SetText("Processing...");
        progress.PeekAndPump(true);
        WaitCursor wait(&host_);
        outcome = WriteBook(request, host_, &progress);
    });
    if (!done) {
        // The build took the LIT body: take it out of the book again for the next Build.
        if (litMode_ && !paths_.empty() && lit_)
            Guarded([this] {
                if (OpenLitSource(paths_.front(), *lit_) != LitSourceStatus::Ok) {
                    paths_.clear();
                    lit_.reset();
                    Refresh();
                }
            });
        return;
    }
    switch (outcome.status) {
        case BuildStatus::Ok:
            builtPath = outcome.path.string();
            host_.ShowMessage("Book converted.\r\nEnjoy.", kCaption, MessageButtons::Ok,
                              MessageIcon::Information);
            accept();
            return;
        case BuildStatus::Declined:
            return;
        case BuildStatus::Cancelled:
            // The LIT body went into the cancelled build; take it out of the book again so the
            // user can build once more.
            if (litMode_ && OpenLitSource(paths_.front(), *lit_) != LitSourceStatus::Ok) break;
            return;
        case BuildStatus::Failed:
            break;
    }
    host_.ShowMessage("Book creation failed.", kCaption, MessageButtons::Ok, MessageIcon::Error);
    paths_.clear();
    lit_.reset();
    Refresh();
}

}  // namespace wickstand
