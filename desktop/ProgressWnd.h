// CProgressWnd: the small window a long piece of work shows: a title with the percentage done, a
// text line, a bar and a Cancel button. The work calls StepIt or SetPos and PeekAndPump, which
// keeps the program responsive and says whether the user asked to stop.
#pragma once

#include <QWidget>
#include <cstdint>

#include "builder/SourcePrep.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace wickstand {

class CProgressWnd : public QWidget, public pagewick::BuildProgress {
    Q_OBJECT
public:
    explicit CProgressWnd(QWidget* parent = nullptr,
                          const QString& title = QStringLiteral("Progress"));

    void SetRange(int64_t lower, int64_t upper) override;
    void SetStep(int64_t step) { step_ = step; }
    void SetPos(int64_t position) override;
    // Moves on by the step, gives the program a turn (Escape cancels) and says whether to go on.
    bool StepIt() override;
    void SetText(const std::string& text) override;
    // Dispatches pending events; false once the user cancelled (with cancelOnEscape, the Escape
    // key cancels too).
    bool PeekAndPump(bool cancelOnEscape = true);
    bool Cancelled() const { return cancelled_; }
    // The percentage the title shows.
    int Percent() const { return percent_; }

    QProgressBar* bar;
    QLabel* text;
    QPushButton* cancelButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void UpdateTitle();
    QString title_;
    int64_t lower_ = 0, upper_ = 100, step_ = 1, pos_ = 0;
    int percent_ = -1;
    bool cancelOnEscape_ = true;
    bool cancelled_ = false;
};

}  // namespace wickstand
