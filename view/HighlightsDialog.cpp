#include "view/HighlightsDialog.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTableView>
#include <algorithm>

#include "view/DialogParts.h"
#include "view/NoteDialog.h"
#include "view/PageView.h"

namespace pwview {
using namespace pagewick;

namespace {
// The words of a row are taken from this many characters of its range.
constexpr int32_t kQuotedCharacters = 240;
constexpr int kWordsShown = 70;
constexpr size_t kNoteBytesShown = 400;
constexpr size_t kNoteBytesTip = 2000;
// Characters of the book counted into pages per idle step: a few pages, so that the list
// answers between steps.
constexpr int32_t kCountStep = 12000;
// How far past the pages counted the words of a row are read without waiting.
constexpr int32_t kFarReading = 100000;

QColor ToQColor(Colour value) {
    return QColor(int(value & 255), int(value >> 8 & 255), int(value >> 16 & 255));
}

// The first bytes of a UTF-8 text, never cutting a character.
QString Start(const std::string& text, size_t bytes, bool& cut) {
    cut = text.size() > bytes;
    size_t n = std::min(bytes, text.size());
    while (cut && n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return QString::fromUtf8(text.data(), qsizetype(n));
}
}  // namespace

QString ColourLabel(HighlightColour colour) {
    QString name = QString::fromLatin1(ColourName(colour));
    if (!name.isEmpty()) name[0] = name[0].toUpper();
    return name;
}

QIcon ColourIcon(HighlightColour colour) {
    QPixmap swatch(14, 14);
    swatch.fill(ToQColor(ColourValue(colour, false)));
    QPainter painter(&swatch);
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(0, 0, 13, 13);
    return QIcon(swatch);
}

// --- The model

HighlightsModel::HighlightsModel(CBookEngine& doc, QObject* parent)
    : QAbstractTableModel(parent), doc_(doc), texts_(doc.Highlights.Size()) {
    counting_.setInterval(0);
    connect(&counting_, &QTimer::timeout, this, &HighlightsModel::CountSomePages);
}

int HighlightsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(doc_.Highlights.Size());
}

int HighlightsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

const Highlight* HighlightsModel::At(int row) const {
    const auto& all = doc_.Highlights.All();
    return row >= 0 && size_t(row) < all.size() ? &all[size_t(row)] : nullptr;
}

int HighlightsModel::KnownPage(int32_t offset) const {
    const std::vector<int32_t>& starts = doc_.PageStarts;
    if (starts.empty()) return -1;
    const bool ended = doc_.LastPage != kLastPageUnknown;
    // The table's last start begins a page not yet measured: what lies past it is unknown.
    if (!ended && offset >= starts.back()) return -1;
    int page = int(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin()) - 1;
    if (ended) page = std::min(page, doc_.LastPage - 1);
    return std::max(page, 0);
}

void HighlightsModel::CountSomePages() {
    const size_t before = doc_.PageStarts.size();
    if (wanted_ >= 0 && doc_.LastPage == kLastPageUnknown && doc_.PageStarts.back() <= wanted_)
        doc_.PaginateToOffset(std::min(wanted_, doc_.PageStarts.back() + kCountStep));
    const bool done = wanted_ < 0 || doc_.LastPage != kLastPageUnknown ||
                      doc_.PageStarts.back() > wanted_ || doc_.PageStarts.size() == before;
    if (done) {
        wanted_ = -1;
        counting_.stop();
    }
    // The rows shown ask again; those still past the pages counted keep the counting going.
    if (rowCount() > 0)
        emit dataChanged(index(0, PageColumn), index(rowCount() - 1, TextColumn),
                         {Qt::DisplayRole});
}

QVariant HighlightsModel::data(const QModelIndex& index, int role) const {
    const Highlight* mark = At(index.row());
    if (!mark || !index.isValid()) return {};
    const int column = index.column();
    if (role == Qt::TextAlignmentRole && column == PageColumn)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::DecorationRole && column == ColourColumn) return ColourIcon(mark->colour);
    if (role == Qt::ToolTipRole && column == NoteColumn && !mark->note.empty()) {
        bool cut = false;
        QString tip = Start(mark->note, kNoteBytesTip, cut);
        return cut ? tip + QChar(0x2026) : tip;
    }
    if (role != Qt::DisplayRole) return {};
    switch (column) {
        case PageColumn: {
            const int page = KnownPage(mark->start);
            if (page >= 0) return QString::number(page + 1);
            // Counted when the program is idle, only as far as the rows shown need.
            if (mark->start > wanted_) wanted_ = mark->start;
            if (!counting_.isActive()) counting_.start();
            return QString(QChar(0x2026));
        }
        case ColourColumn:
            return ColourLabel(mark->colour);
        case TextColumn: {
            std::optional<QString>& text = texts_[size_t(index.row())];
            // The words are read from the start of their page: far past the pages counted, they
            // wait for the counting rather than read the book all the way there.
            if (!text && KnownPage(mark->start) < 0 &&
                mark->start - doc_.PageStarts.back() > kFarReading) {
                if (mark->start > wanted_) wanted_ = mark->start;
                if (!counting_.isActive()) counting_.start();
                return QString(QChar(0x2026));
            }
            if (!text) {
                const int32_t end = std::min(mark->end, mark->start + kQuotedCharacters);
                text =
                    Shortened(Utf8(doc_.ShownText(mark->start, end)), kWordsShown, end < mark->end);
                ++computed_;
            }
            return *text;
        }
        case NoteColumn: {
            bool cut = false;
            const QString start = Start(mark->note, kNoteBytesShown, cut);
            return Shortened(start, kWordsShown, cut);
        }
    }
    return {};
}

QVariant HighlightsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case PageColumn:
            return QStringLiteral("Page");
        case ColourColumn:
            return QStringLiteral("Colour");
        case TextColumn:
            return QStringLiteral("Text");
        case NoteColumn:
            return QStringLiteral("Note");
    }
    return {};
}

void HighlightsModel::RowChanged(int row) {
    if (row < 0 || row >= rowCount()) return;
    texts_[size_t(row)].reset();
    emit dataChanged(index(row, 0), index(row, kColumns - 1));
}

bool HighlightsModel::RemoveRow(int row, const std::function<bool()>& remove) {
    if (row < 0 || row >= rowCount()) return false;
    beginRemoveRows(QModelIndex(), row, row);
    const bool removed = remove();
    if (removed) texts_.erase(texts_.begin() + row);
    endRemoveRows();
    if (!removed) {
        // Nothing went: the rows are told again as they are.
        beginResetModel();
        texts_.assign(doc_.Highlights.Size(), std::nullopt);
        endResetModel();
    }
    return removed;
}

// --- The dialog

CHighlightsDialog::CHighlightsDialog(CPageView& view, QWidget* parent)
    : QDialog(parent), view_(view) {
    setWindowTitle(QStringLiteral("Highlights"));
    CBookEngine& doc = view.Document();
    model_ = new HighlightsModel(doc, this);
    auto* layout = new QVBoxLayout(this);
    table = new QTableView(this);
    table->setModel(model_);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->setShowGrid(false);
    table->setAlternatingRowColors(true);
    // Rows of one height and columns of set widths: nothing is measured over all the rows.
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* columns = table->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->resizeSection(HighlightsModel::PageColumn,
                           fontMetrics().horizontalAdvance("00000") + 16);
    columns->resizeSection(HighlightsModel::ColourColumn,
                           fontMetrics().horizontalAdvance("Yellow") + 40);
    columns->resizeSection(HighlightsModel::TextColumn, 280);
    columns->setStretchLastSection(true);
    layout->addWidget(table, 1);

    auto* row = new QHBoxLayout;
    goTo = new QPushButton(QStringLiteral("&Go To"), this);
    editNote = new QPushButton(QStringLiteral("&Edit Note..."), this);
    auto* colourLabel = new QLabel(QStringLiteral("Co&lour:"), this);
    colour = new QComboBox(this);
    for (int c = 0; c < kHighlightColourCount; ++c)
        colour->addItem(ColourIcon(HighlightColour(c)), ColourLabel(HighlightColour(c)));
    colourLabel->setBuddy(colour);
    remove = new QPushButton(QStringLiteral("&Delete"), this);
    row->addWidget(goTo);
    row->addWidget(editNote);
    row->addWidget(colourLabel);
    row->addWidget(colour);
    row->addWidget(remove);
    row->addStretch();
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    layout->addWidget(buttons);
    // Enter on a row goes there (the list's own activation), never a button's default.
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(goTo, &QPushButton::clicked, this, &CHighlightsDialog::GoTo);
    connect(editNote, &QPushButton::clicked, this, &CHighlightsDialog::EditNote);
    connect(remove, &QPushButton::clicked, this, &CHighlightsDialog::Delete);
    connect(colour, &QComboBox::activated, this, &CHighlightsDialog::ColourChosen);
    connect(table, &QAbstractItemView::activated, this, &CHighlightsDialog::GoTo);
    connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &CHighlightsDialog::Follow);

    // The list opens at the first highlight from the page being read on.
    const auto& all = doc.Highlights.All();
    const int32_t from = view.PageStartOffset();
    const auto first = std::lower_bound(
        all.begin(), all.end(), from, [](const Highlight& h, int32_t at) { return h.start < at; });
    if (!all.empty()) {
        const int start = int(std::min<ptrdiff_t>(first - all.begin(), ptrdiff_t(all.size()) - 1));
        table->setCurrentIndex(model_->index(start, HighlightsModel::TextColumn));
        table->scrollTo(model_->index(start, 0), QAbstractItemView::PositionAtCenter);
    }
    Follow();
    resize(680, 420);
    table->setFocus();
}

int CHighlightsDialog::CurrentRow() const {
    const QModelIndex current = table->currentIndex();
    return current.isValid() && model_->At(current.row()) ? current.row() : -1;
}

void CHighlightsDialog::Follow() {
    const Highlight* mark = model_->At(CurrentRow());
    for (QWidget* w : std::initializer_list<QWidget*>{goTo, editNote, colour, remove})
        w->setEnabled(mark != nullptr);
    if (mark) {
        const QSignalBlocker quiet(colour);
        colour->setCurrentIndex(int(mark->colour));
    }
}

void CHighlightsDialog::GoTo() {
    const Highlight* mark = model_->At(CurrentRow());
    if (!mark) return;
    const int32_t start = mark->start;
    accept();
    view_.ShowOffset(start);
}

void CHighlightsDialog::EditNote() {
    const int row = CurrentRow();
    const Highlight* mark = model_->At(row);
    if (!mark) return;
    if (view_.EditHighlightNote(mark->start, mark->end, this)) model_->RowChanged(row);
}

void CHighlightsDialog::Delete() {
    const int row = CurrentRow();
    const Highlight* mark = model_->At(row);
    if (!mark) return;
    const int32_t start = mark->start, end = mark->end;
    model_->RemoveRow(row, [&] { return view_.DeleteHighlight(start, end); });
    // The next row (or the last) is the one chosen now.
    const int next = std::min(row, model_->rowCount() - 1);
    if (next >= 0) table->setCurrentIndex(model_->index(next, HighlightsModel::TextColumn));
    Follow();
}

void CHighlightsDialog::ColourChosen(int index) {
    const int row = CurrentRow();
    const Highlight* mark = model_->At(row);
    if (!mark || index < 0 || index >= kHighlightColourCount) return;
    if (view_.SetHighlightColour(mark->start, mark->end, HighlightColour(index)))
        model_->RowChanged(row);
}

}  // namespace pwview
