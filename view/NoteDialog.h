// CNoteDialog: the note of a highlight, written or changed: the highlighted words above (their
// start, shortened), the note below in a box of any length. OK keeps it; an empty note is none.
#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;
class QLabel;

namespace pwview {

class CNoteDialog : public QDialog {
    Q_OBJECT
public:
    CNoteDialog(const QString& title, const std::string& quoted, const std::string& note,
                QWidget* parent = nullptr);
    // The note as typed (UTF-8).
    std::string Note() const;

    // Shows the dialog; true (and the note replaced) on OK.
    static bool Ask(const QString& title, const std::string& quoted, std::string& note,
                    QWidget* parent);

    QLabel* quote;
    QPlainTextEdit* text;
};

// A text shortened to about `limit` characters at a word's end, with "…" where it was cut; runs
// of white space (line breaks too) become one space.
QString Shortened(const QString& text, int limit, bool cut = false);

}  // namespace pwview
