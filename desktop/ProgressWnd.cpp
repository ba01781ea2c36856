#include "desktop/ProgressWnd.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace wickstand {

namespace {
// The bar counts in int; long work is scaled down to fit.
constexpr int64_t kBarMax = 1 << 30;
}  // namespace

CProgressWnd::CProgressWnd(QWidget* parent, const QString& title)
    : QWidget(parent, Qt::Dialog), title_(title) {
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text = new QLabel);
    layout->addWidget(bar = new QProgressBar);
    layout->addWidget(cancelButton = new QPushButton(QStringLiteral(" Cancel ")), 0,
                      Qt::AlignHCenter);
    text->setMinimumWidth(300);
    bar->setTextVisible(false);
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    SetRange(0, 100);
    show();
}

void CProgressWnd::SetRange(int64_t lower, int64_t upper) {
    lower_ = lower;
    upper_ = upper;
    bar->setRange(0, int(std::clamp<int64_t>(upper - lower, 0, kBarMax)));
    SetPos(pos_);
}

void CProgressWnd::SetPos(int64_t position) {
    pos_ = position;
    const int64_t span = upper_ - lower_;
    if (span > 0)
        bar->setValue(int(std::clamp<int64_t>(pos_ - lower_, 0, std::min(span, kBarMax))));
    UpdateTitle();
}

bool CProgressWnd::StepIt() {
    SetPos(pos_ + step_);
    return PeekAndPump(true);
}

void CProgressWnd::SetText(const std::string& line) {
    text->setText(QString::fromLatin1(line.c_str()));
}

bool CProgressWnd::PeekAndPump(bool cancelOnEscape) {
    cancelOnEscape_ = cancelOnEscape;
    QCoreApplication::processEvents();
    return !cancelled_;
}

void CProgressWnd::UpdateTitle() {
    int percent = 0;
    if (upper_ > lower_) {
        // Rounded to the nearest whole number.
        percent = int(((pos_ - lower_) * 200 + (upper_ - lower_)) / (2 * (upper_ - lower_)));
        percent = std::clamp(percent, 0, 100);
    }
    if (percent == percent_) return;
    percent_ = percent;
    setWindowTitle(QStringLiteral("%1 [%2%]").arg(title_).arg(percent));
}

void CProgressWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && cancelOnEscape_) {
        cancelled_ = true;
        return;
    }
    QWidget::keyPressEvent(event);
}

void CProgressWnd::closeEvent(QCloseEvent* event) {
    // Closing the window asks the work to stop; the work closes it when it has.
    cancelled_ = true;
    event->ignore();
}

}  // namespace wickstand
