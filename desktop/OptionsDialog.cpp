#include "desktop/OptionsDialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>

#include "desktop/BehaviorDialog.h"
#include "view/DialogParts.h"
#include "view/FontPreviewCombo.h"
#include "view/LayoutDialog.h"

namespace wickstand {
using namespace pagewick;
using pwview::CFontPreviewCombo;
using pwview::Check;
using pwview::COptions2Dlg;
using pwview::OkCancel;
using pwview::Spin;
using pwview::Utf8;

COptions1Dlg::COptions1Dlg(const DisplaySettings& s, bool open, DesktopHost& host,
                           std::string program, QWidget* parent)
    : QDialog(parent), settings(s), autoOpen(open), host_(host), program_(std::move(program)) {
    setWindowTitle(QStringLiteral("Options"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Font"), face = new CFontPreviewCombo(Utf8(s.faceName)));
    form->addRow(QStringLiteral("Font Size"),
                 fontSize = Spin(DisplaySettings::kMinFont, DisplaySettings::kMaxFont, s.fontSize));
    layout->addLayout(form);
    auto* styles = new QHBoxLayout;
    // The font style: the proportional face or the fixed-pitch one.
    styles->addWidget(tahoma = new QRadioButton(QStringLiteral("Tahoma")));
    styles->addWidget(courier = new QRadioButton(QStringLiteral("Courier")));
    (s.fontStyle ? courier : tahoma)->setChecked(true);
    layout->addLayout(styles);
    layout->addWidget(bold = Check("Bold", s.bold));
    layout->addWidget(Check("Clear Type", s.clearType, false));
    layout->addWidget(Check("Show Position Bar", s.showPositionBar, false));
    layout->addWidget(Check("Show Page Number", s.showPageNumber, false));
    layout->addWidget(listHtml = Check("Include HTML file in eBook Library Listing", s.listHtml));
    layout->addWidget(
        Check("Search for files inside ZIP for eBook Library Listing", s.searchZip, false));
    layout->addWidget(Check("Show Images Inline (slower)", s.showImages, false));
    layout->addWidget(hyphenate = Check("Hyphenate", s.hyphenate));
    auto* limits = new QFormLayout;
    limits->addRow(QStringLiteral("Shortest word hyphenated"),
                   minWord = Spin(1, DisplaySettings::kMaxHyphenWord, s.hyphenMinWord));
    limits->addRow(QStringLiteral("Letters before a break"),
                   minLeft = Spin(1, DisplaySettings::kMaxHyphenFragment, s.hyphenMinLeft));
    limits->addRow(QStringLiteral("Letters after a break"),
                   minRight = Spin(1, DisplaySettings::kMaxHyphenFragment, s.hyphenMinRight));
    limits->addRow(QStringLiteral("Hyphenation language"),
                   language = new QLineEdit(Utf8(s.hyphenationLanguage)));
    // Empty: the system's language, for books that do not declare theirs.
    language->setPlaceholderText(QStringLiteral("System"));
    language->setMaxLength(35);
    layout->addLayout(limits);
    layout->addWidget(keepLines = Check("Keep paragraph lines together", s.keepLinesTogether));
    auto* row = new QHBoxLayout;
    row->addWidget(layoutButton = new QPushButton(QStringLiteral("Layout")));
    row->addWidget(behaviorButton = new QPushButton(QStringLiteral("Behavior")));
    layout->addLayout(row);
    connect(layoutButton, &QPushButton::clicked, this, [this] {
        COptions2Dlg inner(settings, this);
        if (beforeInner) beforeInner(inner);
        if (inner.exec() == QDialog::Accepted) {
            int size = settings.fontSize;
            settings = inner.settings;
            settings.fontSize = size;
        }
    });
    connect(behaviorButton, &QPushButton::clicked, this, [this] {
        COptionsDlg2 inner(settings.autoScroll != 0, autoOpen, host_, program_, this);
        if (beforeInner) beforeInner(inner);
        if (inner.exec() == QDialog::Accepted) {
            settings.autoScroll = inner.autoScroll ? 1 : 0;
            autoOpen = inner.autoOpen;
        }
    });
    OkCancel(this, layout);
}

void COptions1Dlg::accept() {
    int size = fontSize->value();
    if (size < DisplaySettings::kMinFont || size > DisplaySettings::kMaxFont) return;
    settings.fontSize = size;
    settings.bold = bold->isChecked() ? 1 : 0;
    settings.fontStyle = courier->isChecked() ? 1 : 0;
    if (!face->currentText().isEmpty()) settings.faceName = face->currentText().toStdString();
    settings.listHtml = listHtml->isChecked() ? 1 : 0;
    settings.hyphenate = hyphenate->isChecked() ? 1 : 0;
    settings.hyphenMinWord = minWord->value();
    settings.hyphenMinLeft = minLeft->value();
    settings.hyphenMinRight = minRight->value();
    settings.keepLinesTogether = keepLines->isChecked() ? 1 : 0;
    std::string tag = language->text().trimmed().toStdString();
    if (!std::all_of(tag.begin(), tag.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
        })) {
        language->setFocus();
        language->selectAll();
        return;  // not a language tag
    }
    settings.hyphenationLanguage = tag;
    QDialog::accept();
}

}  // namespace wickstand
