// Acting on the readers' modal windows as a person does, for the Qt tests of both programs: a
// script of steps played on the windows as they come up, and the mouse's clicks. Header only, so
// that the Qt-free test programs never link Qt through the support library.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QMenu>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

namespace pagewick::test {

// Plays a person's part on the modal windows as they come up: each step acts on the window in
// front and says whether it is done (false: not ready yet, asked again). It polls from a timer
// and never waits inside the event loop, so windows opened from nested loops are seen too. An
// About box (a window titled "About ...") is counted and closed: the flows tested with this
// never show one.
struct Person {
    using Step = std::function<bool(QWidget&)>;
    QTimer timer;
    std::deque<Step> steps;
    int aboutBoxes = 0;
    Person() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget* window = QApplication::activeModalWidget();
            if (!window || !window->isVisible()) return;
            if (window->windowTitle().startsWith(QStringLiteral("About "))) {
                ++aboutBoxes;
                if (auto* dialog = qobject_cast<QDialog*>(window)) dialog->reject();
                return;
            }
            if (steps.empty()) return;
            // Taken off before it runs: a window it opens in a nested loop gets the next step.
            Step step = std::move(steps.front());
            steps.pop_front();
            if (!step(*window)) steps.push_front(std::move(step));
        });
        timer.start(10);
    }
    Person& Then(Step step) {
        steps.push_back(std::move(step));
        return *this;
    }
    void WaitUntilDone() {
        for (int i = 0; i < 500 && !steps.empty(); ++i)
            QTest::qWait(10);
        EXPECT_TRUE(steps.empty()) << steps.size() << " steps were never taken";
    }
};

// A left click in the middle of the widget.
inline void Click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

// A click on the box's mark (the box stretches across its layout, past its text).
inline void ClickCheckBox(QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    QRect mark = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, mark.center());
}

// What a mouse sends for a double-click: press, release, the double-click, release.
inline void DoubleClick(QWidget* widget, QPoint at) {
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, at);
}

// Chooses from the next popup menu as a person does: the item named (its text without the
// mnemonic and the keys shown after a tab), through submenus for "Submenu>Item", clicked with the
// mouse. An item missing or greyed closes the menu unchosen; `seen` keeps what the last menu
// offered and whether each item could be chosen ("-" before a greyed one).
struct MenuChoice {
    QTimer timer;
    QStringList path;
    QStringList seen;
    bool chosen = false, done = false;
    int misses = 0;
    explicit MenuChoice(const QString& item) : path(item.split(QLatin1Char('>'))) {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu || !menu->isVisible() || done || path.isEmpty()) return;
            seen.clear();
            QAction* wanted = nullptr;
            for (QAction* action : menu->actions()) {
                if (action->isSeparator()) continue;
                const QString text =
                    action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
                seen << (action->isEnabled() ? text : QStringLiteral("-") + text);
                if (text == path.front()) wanted = action;
            }
            if (!wanted || !wanted->isEnabled()) {
                // A submenu just asked for may take a moment to come to the front.
                if (!wanted && ++misses < 20) return;
                done = true;
                menu->close();
                return;
            }
            misses = 0;
            path.pop_front();
            if (wanted->menu() && !path.isEmpty()) {
                // The submenu opens as the arrow key opens it; the next tick finds it in front.
                menu->setActiveAction(wanted);
                QTest::keyClick(menu, Qt::Key_Right);
                return;
            }
            done = chosen = path.isEmpty();
            timer.stop();
            QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                              menu->actionGeometry(wanted).center());
        });
        timer.start(10);
    }
};

// A step that cancels the window in front.
inline bool CancelWindow(QWidget& window) {
    if (auto* dialog = qobject_cast<QDialog*>(&window)) dialog->reject();
    return true;
}

}  // namespace pagewick::test
