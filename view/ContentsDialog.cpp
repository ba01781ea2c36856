#include "view/ContentsDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

namespace pwview {
using namespace pagewick;

namespace {
QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}
}  // namespace

QDialogButtonBox* AddOkCancel(QDialog* dialog, QBoxLayout* layout) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    return buttons;
}

QIcon LibraryKindIcon(int kind, int size) {
    static const struct {
        char letter;
        QColor colour;
    } looks[] = {{'T', QColor(80, 80, 80)}, {'Z', QColor(160, 110, 0)}, {'?', QColor(0, 120, 200)},
                 {'L', QColor(0, 128, 0)},  {'H', QColor(200, 60, 0)},  {'M', QColor(128, 0, 128)},
                 {'P', QColor(0, 70, 160)}, {'F', QColor(200, 160, 0)}};
    int index = std::clamp(kind, 0, 7);
    const double scale = size / 16.0;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.scale(scale, scale);
    p.fillRect(QRect(2, 0, 12, 16), Qt::white);
    p.setPen(looks[index].colour);
    p.drawRect(QRect(2, 0, 11, 15));
    QFont font = p.font();
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(2, 0, 12, 16), Qt::AlignCenter, QString(QChar(looks[index].letter)));
    return QIcon(pixmap);
}

CTOCDialog::CTOCDialog(const ContentsChooser& chooser, const QString& prompt, QWidget* parent)
    : QDialog(parent), chooser_(chooser) {
    setWindowTitle(QStringLiteral("Table of Contents"));
    auto* layout = new QVBoxLayout(this);
    if (!prompt.isEmpty()) layout->addWidget(new QLabel(prompt));
    layout->addWidget(list = new QListWidget);
    layout->addWidget(title = new QLineEdit);
    title->setReadOnly(true);
    for (const std::string& row : chooser_.Titles())
        list->addItem(new QListWidgetItem(style()->standardIcon(QStyle::SP_FileIcon), Utf8(row)));
    connect(list, &QListWidget::currentRowChanged, this,
            [this](int row) { title->setText(Utf8(chooser_.TitleOf(row))); });
    connect(list, &QListWidget::itemActivated, this, [this] { accept(); });
    if (list->count() > 0) {
        list->setCurrentRow(0);
        list->scrollToItem(list->item(0));
    }
    AddOkCancel(this, layout);
}

void CTOCDialog::accept() {
    Chosen = list->currentRow();
    QDialog::accept();
}

}  // namespace pwview
