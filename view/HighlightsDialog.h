// The Highlights list both reading programs show: every highlight of the book in text order with
// its page (counted from 1), its colour, its first words and its note. Choosing a row (a
// double-click, Enter or "Go To") turns to it; "Edit Note...", the colour box and "Delete" change
// the highlight chosen, written to the notes file at once.
//
// A book may hold 100,000 highlights: the list's model works out words and pages only for the
// rows shown. A page not yet counted shows "…" while the pages are counted a few at a time
// whenever the program is idle, as far as the rows shown need.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

#include "engine/BookEngine.h"

class QComboBox;
class QPushButton;
class QTableView;

namespace pwview {

class CPageView;

// "Yellow", "Green", "Blue", "Pink", and a swatch of the colour as drawn on paper.
QString ColourLabel(pagewick::HighlightColour colour);
QIcon ColourIcon(pagewick::HighlightColour colour);

class HighlightsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { PageColumn, ColourColumn, TextColumn, NoteColumn, kColumns };
    HighlightsModel(pagewick::CBookEngine& doc, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const pagewick::Highlight* At(int row) const;
    // The row changed (its note or colour).
    void RowChanged(int row);
    // Removes the row with `remove`, which takes the highlight out of the book; false when it
    // did not.
    bool RemoveRow(int row, const std::function<bool()>& remove);
    // The page (0-based) of an offset when the pages counted so far say it; -1 otherwise.
    int KnownPage(int32_t offset) const;
    // The rows whose words have been worked out, and whether pages are still being counted
    // (what the tests look at).
    size_t TextsComputed() const { return computed_; }
    bool Counting() const { return counting_.isActive(); }

private:
    void CountSomePages();

    pagewick::CBookEngine& doc_;
    mutable std::vector<std::optional<QString>> texts_;
    mutable size_t computed_ = 0;
    // The furthest offset a row shown needs the page of; -1 when none is waiting.
    mutable int32_t wanted_ = -1;
    mutable QTimer counting_;
};

class CHighlightsDialog : public QDialog {
    Q_OBJECT
public:
    CHighlightsDialog(CPageView& view, QWidget* parent = nullptr);

    HighlightsModel& Model() { return *model_; }

    QTableView* table;
    QPushButton *goTo, *editNote, *remove;
    QComboBox* colour;

private:
    int CurrentRow() const;
    void Follow();
    void GoTo();
    void EditNote();
    void Delete();
    void ColourChosen(int index);

    CPageView& view_;
    HighlightsModel* model_;
};

}  // namespace pwview
