#include "view/SearchDialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>

#include "util/Utf8.h"

namespace pwview {

CSearchDialog::CSearchDialog(BookFinder& finder, QWidget* parent)
    : QDialog(parent), finder_(finder) {
    setWindowTitle(QStringLiteral("Search"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("Fi&nd:"), this);
    pattern = new QLineEdit(this);
    pattern->setObjectName(QStringLiteral("pattern"));
    label->setBuddy(pattern);
    layout->addWidget(label);
    layout->addWidget(pattern);
    auto* options = new QHBoxLayout;
    matchCase = new QCheckBox(QStringLiteral("Match &case"), this);
    wholeWords = new QCheckBox(QStringLiteral("&Whole words"), this);
    ignoreAccents = new QCheckBox(QStringLiteral("Ignore &accents"), this);
    for (QCheckBox* box : {matchCase, wholeWords, ignoreAccents})
        options->addWidget(box);
    options->addStretch();
    layout->addLayout(options);

    auto* buttons = new QDialogButtonBox(this);
    findNext = buttons->addButton(QStringLiteral("Find &Next"), QDialogButtonBox::ActionRole);
    findPrevious =
        buttons->addButton(QStringLiteral("Find &Previous"), QDialogButtonBox::ActionRole);
    findAll = buttons->addButton(QStringLiteral("Find A&ll"), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    // Enter finds the next hit, whichever button was pressed last.
    for (QAbstractButton* b : buttons->buttons())
        if (auto* push = qobject_cast<QPushButton*>(b)) push->setAutoDefault(false);
    findNext->setDefault(true);
    layout->addWidget(buttons);

    results = new QTreeWidget(this);
    results->setColumnCount(2);
    results->setHeaderLabels({QStringLiteral("Page"), QStringLiteral("Text")});
    results->setRootIsDecorated(false);
    results->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    results->setMinimumHeight(120);
    results->hide();
    layout->addWidget(results, 1);

    // Nothing to find, nothing offered: an empty pattern is never searched for.
    auto follow = [this] {
        const bool any = !pattern->text().trimmed().isEmpty();
        for (QPushButton* b : {findNext, findPrevious, findAll})
            b->setEnabled(any);
    };
    follow();
    connect(pattern, &QLineEdit::textChanged, this, follow);
    connect(findNext, &QPushButton::clicked, this, [this] {
        TakeWords();
        finder_.FindNext();
    });
    connect(findPrevious, &QPushButton::clicked, this, [this] {
        TakeWords();
        finder_.FindPrevious();
    });
    connect(findAll, &QPushButton::clicked, this, &CSearchDialog::ListAll);
    // The programs' keys for the next and the previous hit work here too.
    connect(new QShortcut(QKeySequence(Qt::Key_F3), this), &QShortcut::activated, findNext,
            &QPushButton::click);
    connect(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this), &QShortcut::activated,
            findPrevious, &QPushButton::click);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(results, &QTreeWidget::itemActivated, this, &CSearchDialog::Choose);
    connect(results, &QTreeWidget::itemClicked, this, &CSearchDialog::Choose);
}

void CSearchDialog::Open() {
    show();
    raise();
    activateWindow();
    pattern->setFocus();
    pattern->selectAll();
}

void CSearchDialog::TakeWords() {
    pagewick::MatchOptions options;
    options.matchCase = matchCase->isChecked();
    options.wholeWords = wholeWords->isChecked();
    options.ignoreAccents = ignoreAccents->isChecked();
    finder_.SetPattern(pattern->text().toStdString(), options);
}

void CSearchDialog::ListAll() {
    TakeWords();
    hits_ = finder_.FindAll();
    results->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(qsizetype(hits_.size()));
    for (size_t i = 0; i < hits_.size(); ++i) {
        auto* row =
            new QTreeWidgetItem({QString::number(hits_[i].page + 1),
                                 QString::fromStdString(pagewick::Utf16ToUtf8(hits_[i].context))});
        row->setData(0, Qt::UserRole, qulonglong(i));
        rows.push_back(row);
    }
    results->addTopLevelItems(rows);
    if (!hits_.empty() && results->isHidden()) {
        results->show();
        adjustSize();  // room for the list below the words
    }
    if (!hits_.empty()) results->setCurrentItem(rows.front());
}

void CSearchDialog::Choose(QTreeWidgetItem* item) {
    if (!item) return;
    const size_t i = size_t(item->data(0, Qt::UserRole).toULongLong());
    if (i < hits_.size()) finder_.Show(hits_[i]);
}

}  // namespace pwview
