#include "view/NoteDialog.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "view/DialogParts.h"

namespace pwview {

namespace {
// The words quoted above the note: enough to know the passage.
constexpr int kQuotedCharacters = 160;
}  // namespace

QString Shortened(const QString& text, int limit, bool cut) {
    QString flat = text.simplified();
    if (flat.size() > limit) {
        qsizetype at = flat.lastIndexOf(QLatin1Char(' '), limit);
        if (at < limit / 2) at = limit;  // one long word: cut inside it
        flat.truncate(at);
        cut = true;
    }
    if (cut) flat += QChar(0x2026);
    return flat;
}

CNoteDialog::CNoteDialog(const QString& title, const std::string& quoted, const std::string& note,
                         QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    quote = new QLabel(
        QStringLiteral("\u201c%1\u201d").arg(Shortened(Utf8(quoted), kQuotedCharacters)), this);
    quote->setWordWrap(true);
    quote->setTextFormat(Qt::PlainText);
    layout->addWidget(quote);
    auto* label = new QLabel(QStringLiteral("&Note:"), this);
    text = new QPlainTextEdit(this);
    text->setObjectName(QStringLiteral("note"));
    text->setPlainText(Utf8(note));
    text->moveCursor(QTextCursor::End);
    label->setBuddy(text);
    layout->addWidget(label);
    layout->addWidget(text, 1);
    OkCancel(this, layout);
    resize(420, 280);
    text->setFocus();
}

std::string CNoteDialog::Note() const {
    return text->toPlainText().toStdString();
}

bool CNoteDialog::Ask(const QString& title, const std::string& quoted, std::string& note,
                      QWidget* parent) {
    CNoteDialog dialog(title, quoted, note, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    note = dialog.Note();
    return true;
}

}  // namespace pwview
