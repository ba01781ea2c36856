#include "view/LayoutDialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

#include "view/DialogParts.h"

namespace pwview {

COptions2Dlg::COptions2Dlg(const DisplaySettings& s, QWidget* parent)
    : QDialog(parent), settings(s) {
    setWindowTitle(QStringLiteral("Layout"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const int top = DisplaySettings::kMaxLayoutValue;
    // The handheld's second options page shows the same values under its own labels.
    const bool device = s.variant == DisplaySettings::Variant::Device;
    form->addRow(device ? QStringLiteral("Paragraph Spacing") : QStringLiteral("Paragraph spacing"),
                 paragraphSpacing = Spin(0, top, s.paragraphSpacing));
    form->addRow(QStringLiteral("Leading"), leading = Spin(0, top, s.leading));
    form->addRow(device ? QStringLiteral("Tab Size") : QStringLiteral("Tab size"),
                 tabSize = Spin(0, top, s.tabSize));
    form->addRow(device ? QStringLiteral("Border Width") : QStringLiteral("Border width"),
                 borderWidth = Spin(0, top, s.borderWidth));
    form->addRow(device ? QStringLiteral("Height") : QStringLiteral("Border height"),
                 borderHeight = Spin(0, top, s.borderHeight));
    layout->addLayout(form);
    layout->addWidget(justified = Check(device ? "Justified Text" : "Justified text", s.justified));
    OkCancel(this, layout);
}

void COptions2Dlg::accept() {
    settings.paragraphSpacing = paragraphSpacing->value();
    settings.leading = leading->value();
    settings.tabSize = tabSize->value();
    settings.borderWidth = borderWidth->value();
    settings.borderHeight = borderHeight->value();
    settings.justified = justified->isChecked() ? 1 : 0;
    QDialog::accept();
}

}  // namespace pwview
