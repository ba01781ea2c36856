// The search dialog both reading programs show: the words to find with "Match case", "Whole
// words" and "Ignore accents", "Find Next" (Enter), "Find Previous" and "Find All", whose list
// shows every hit with its page and a line of context; choosing a row turns to it. It stays
// open beside the page (not modal), F3 and Shift+F3 work in it as on the page, and the
// programs' "Search Again" goes on from its words.
#pragma once

#include <QDialog>
#include <vector>

#include "view/BookFinder.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace pwview {

class CSearchDialog : public QDialog {
    Q_OBJECT
public:
    CSearchDialog(BookFinder& finder, QWidget* parent = nullptr);

    // Shows the dialog with the words selected, ready for new ones.
    void Open();

    QLineEdit* pattern;
    QCheckBox *matchCase, *wholeWords, *ignoreAccents;
    QPushButton *findNext, *findPrevious, *findAll;
    QTreeWidget* results;

private:
    void TakeWords();
    void ListAll();
    void Choose(QTreeWidgetItem* item);

    BookFinder& finder_;
    std::vector<pagewick::BookHit> hits_;
};

}  // namespace pwview
