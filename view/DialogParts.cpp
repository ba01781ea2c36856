#include "view/DialogParts.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSpinBox>
#include <algorithm>

namespace pwview {

QDialogButtonBox* OkCancel(QDialog* dialog, QBoxLayout* layout) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    return buttons;
}
QSpinBox* Spin(int low, int high, int value) {
    auto* spin = new QSpinBox;
    spin->setRange(low, high);
    spin->setValue(value);
    return spin;
}
QCheckBox* Check(const char* text, bool on, bool enabled) {
    auto* box = new QCheckBox(QString::fromUtf8(text));
    box->setChecked(on);
    box->setEnabled(enabled);
    return box;
}
QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}
QLabel* BookText(const std::string& text) {
    auto* label = new QLabel(Utf8(text));
    label->setWordWrap(true);
    // Folded at about fifty characters, or two thirds of a small screen's width.
    int width = label->fontMetrics().averageCharWidth() * 50;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        width = std::min(width, screen->availableGeometry().width() * 2 / 3);
    label->setMinimumWidth(width);
    return label;
}

}  // namespace pwview
