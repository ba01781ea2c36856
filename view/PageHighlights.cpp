// CPageView's selection and highlights: text selected on the page by whole words, copied as
// shown, marked in four colours with an optional note, and the list of a book's highlights. Every
// change is written to the book's notes file at once (the engine says when it cannot be).
#include <QClipboard>
#include <QGuiApplication>
#include <algorithm>

#include "view/HighlightsDialog.h"
#include "view/NoteDialog.h"
#include "view/PageView.h"

namespace pwview {
using namespace pagewick;

std::string CPageView::BookKey() const {
    return doc_.BookPath + '\n' + doc_.MemberName;
}

int32_t CPageView::OffsetAt(QPoint point) {
    // The page shown, or the one being drawn again for a change of its marks alone.
    if (!HasBook() || (current_.isNull() && !linesKept_) || PictureShown()) return -1;
    // The document's map is that of the page drawn last, which may be the next one.
    std::swap(doc_.DrawnLines, pageLines_);
    const int32_t offset = doc_.OffsetAtPoint(Point{point.x(), point.y()});
    std::swap(doc_.DrawnLines, pageLines_);
    return offset;
}

void CPageView::RedrawCurrent() {
    if (!current_.isNull()) linesKept_ = true;
    Recycle(std::move(current_));
    current_ = QImage();
    update();
}

bool CPageView::BeginSelection() {
    // A page sliding in, or a picture over it, has no text where the pointer is.
    if (!HasBook() || PictureShown() || scrollSteps_ != 0) return false;
    const int32_t at = OffsetAt(selectPress_);
    if (at < 0) return false;
    if (!paused_) {
        paused_ = true;
        SyncInhibit();
    }
    anchor_ = doc_.WordAt(at);
    selecting_ = true;
    selectionPageStart_ = CurrentPageStart();
    selectionBook_ = BookKey();
    doc_.SelectionFirst = anchor_.first;
    doc_.SelectionEnd = anchor_.second;
    RedrawCurrent();
    return true;
}

void CPageView::ExtendSelection(QPoint point) {
    const int32_t at = OffsetAt(point);
    if (at < 0) return;
    // From the word pressed on to the word under the pointer, whichever way the drag went.
    const std::pair<int32_t, int32_t> word = doc_.WordAt(at);
    const int32_t first = std::min(anchor_.first, word.first);
    const int32_t end = std::max(anchor_.second, word.second);
    if (first == doc_.SelectionFirst && end == doc_.SelectionEnd) return;
    doc_.SelectionFirst = first;
    doc_.SelectionEnd = end;
    RedrawCurrent();
}

void CPageView::ClearSelection() {
    selecting_ = false;
    if (doc_.SelectionFirst < 0 && doc_.SelectionEnd < 0) return;
    const bool samePage = CurrentPageStart() == selectionPageStart_ && BookKey() == selectionBook_;
    doc_.SelectionFirst = doc_.SelectionEnd = -1;
    // Only the page it was made on shows it, unless the page has changed since.
    if (samePage)
        RedrawCurrent();
    else
        DiscardImages();
    emit selectionChanged();
}

void CPageView::DropStaleSelection() {
    if (selecting_ || (doc_.SelectionFirst < 0 && doc_.SelectionEnd < 0)) return;
    if (CurrentPageStart() == selectionPageStart_ && BookKey() == selectionBook_ &&
        doc_.PendingOffset == -1)
        return;
    ClearSelection();
}

std::string CPageView::SelectedText() {
    if (!HasSelection()) return {};
    return doc_.ShownText(doc_.SelectionFirst, doc_.SelectionEnd);
}

void CPageView::CopySelection() {
    if (!HasSelection()) return;
    const std::string text = SelectedText();
    QGuiApplication::clipboard()->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

void CPageView::HighlightsChangedNow() {
    doc_.SaveHighlights();
    DiscardImages();
    update();
    emit highlightsChanged();
}

bool CPageView::HighlightSelection(std::optional<HighlightColour> colour) {
    if (!HasSelection()) return false;
    if (colour) newColour_ = *colour;
    Highlight mark{doc_.SelectionFirst, doc_.SelectionEnd, newColour_, "", NowIso8601()};
    if (const Highlight* old = doc_.Highlights.Find(mark.start, mark.end)) mark.note = old->note;
    doc_.Highlights.Add(std::move(mark));
    // The selection's band would hide the colour just given.
    doc_.SelectionFirst = doc_.SelectionEnd = -1;
    emit selectionChanged();
    HighlightsChangedNow();
    return true;
}

bool CPageView::AddNoteToSelection() {
    if (!HasSelection()) return false;
    const int32_t first = doc_.SelectionFirst, end = doc_.SelectionEnd;
    Highlight mark{first, end, newColour_, "", NowIso8601()};
    if (const Highlight* old = doc_.Highlights.Find(first, end)) mark = *old;
    std::string note = mark.note;
    if (!CNoteDialog::Ask(QStringLiteral("Add Note"), doc_.ShownText(first, end), note, this))
        return false;
    mark.note = std::move(note);
    doc_.Highlights.Add(std::move(mark));
    doc_.SelectionFirst = doc_.SelectionEnd = -1;
    emit selectionChanged();
    HighlightsChangedNow();
    return true;
}

bool CPageView::EditHighlightNote(int32_t start, int32_t end, QWidget* parent) {
    const Highlight* mark = doc_.Highlights.Find(start, end);
    if (!mark) return false;
    std::string note = mark->note;
    if (!CNoteDialog::Ask(QStringLiteral("Edit Note"), doc_.ShownText(start, end), note,
                          parent ? parent : this))
        return false;
    return SetHighlightNote(start, end, std::move(note));
}

bool CPageView::SetHighlightNote(int32_t start, int32_t end, std::string note) {
    Highlight* mark = doc_.Highlights.Find(start, end);
    if (!mark) return false;
    mark->note = std::move(note);
    HighlightsChangedNow();
    return true;
}

bool CPageView::SetHighlightColour(int32_t start, int32_t end, HighlightColour colour) {
    Highlight* mark = doc_.Highlights.Find(start, end);
    if (!mark) return false;
    mark->colour = colour;
    HighlightsChangedNow();
    return true;
}

bool CPageView::DeleteHighlight(int32_t start, int32_t end) {
    if (!doc_.Highlights.Remove(start, end)) return false;
    HighlightsChangedNow();
    return true;
}

std::optional<std::pair<int32_t, int32_t>> CPageView::HighlightAt(std::optional<QPoint> point) {
    const Highlight* mark = nullptr;
    if (point) {
        const int32_t at = OffsetAt(*point);
        if (at >= 0) mark = doc_.Highlights.At(at);
    } else if (HasSelection()) {
        mark = doc_.Highlights.At(doc_.SelectionFirst);
    }
    if (!mark) return std::nullopt;
    return std::make_pair(mark->start, mark->end);
}

void CPageView::ShowOffset(int32_t offset) {
    if (!HasBook()) return;
    ClosePicture();
    // Laid out for the settings in force first, so that the page found is the one shown.
    doc_.PendingOffset = -1;
    JumpToOffset(std::clamp(offset, 0, std::max(0, int32_t(doc_.CharCount()) - 1)));
    scrollSteps_ = 0;
    DiscardImages();
    update();
}

void CPageView::ShowHighlightsList(QSize size) {
    if (!HasBook()) return;
    paused_ = true;
    SyncInhibit();
    // Pages are counted for the settings in force.
    PrepareSearch();
    CHighlightsDialog dialog(*this, this);
    if (size.isValid()) dialog.resize(size);
    dialog.exec();
}

}  // namespace pwview
