// Highlights in Wickpad: the stylus rests on a word and is drawn on, the small menu marks the
// words, a quick tap still turns the page, and Tools > "Highlights..." goes to a row.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTableView>
#include <QTest>

#include "device/Commands.h"
#include "device/DeviceFrame.h"
#include "device/PowerKeeper.h"
#include "support/ModalScript.h"
#include "support/fixtures.h"
#include "view/DesktopHost.h"
#include "view/HighlightsDialog.h"

namespace wickpad {
namespace {
using namespace pagewick;
using pagewick::test::MenuChoice;
using pagewick::test::Person;
namespace fs = std::filesystem;

struct QuietKeeper : PowerKeeper {
    bool on = false;
    bool Enable() override { return on = true; }
    void Disable() override { on = false; }
    bool Active() const override { return on; }
};

TEST(WickpadHighlights, ALongPressSelectsWordsAndATapStillTurnsThePage) {
    test::TempDir dir;
    setenv("XDG_DOCUMENTS_DIR", (dir / "docs").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    fs::create_directories(dir / "docs");
    // "w0000" to "w2999": the word at offset o is o / 6.
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        char word[8];
        std::snprintf(word, sizeof word, "w%04d", i);
        text += std::string(i ? " " : "") + word;
    }
    const std::string book = (dir / "docs" / "Words.txt").string();
    test::WriteFileText(book, text + "\n");
    pwview::DesktopHost host(dir / "Pagewick.conf");
    host.answerer = [](const std::string&, MessageButtons) { return MessageAnswer::Ok; };
    CDeviceFrame frame(host, Profile::Touch, dir / "Wickpad.cfg", false,
                       std::make_unique<QuietKeeper>());
    frame.resize(480, 640);
    frame.show();
    CDeviceView& view = frame.View();
    CBookEngine& doc = view.Document();
    view.SetPendingBook({book, "Words", false});
    ASSERT_TRUE(view.OpenFirstBook());
    auto paint = [&] {
        view.repaint();
        QApplication::processEvents();
    };
    paint();
    ASSERT_GE(doc.DrawnLines.size(), 6u);
    auto at = [&](size_t line, size_t ch) {
        const auto& l = doc.DrawnLines.at(line);
        return QPoint((l.xs.at(ch) + l.xs.at(ch + 1)) / 2, (l.top + l.bottom) / 2);
    };
    const int32_t first = doc.DrawnLines[3].offsets[8] / 6, last = doc.DrawnLines[4].offsets[3] / 6;
    const QPoint from = at(3, 8), to = at(4, 3);

    // Resting, then drawn to the next line and lifted: the menu, and Highlight marks the words
    // on the page still shown.
    {
        MenuChoice choice(QStringLiteral("Highlight"));
        QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, from);
        QTest::qWait(700);
        EXPECT_TRUE(view.Selecting());
        QTest::mouseMove(&view, to);
        QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, to);
        paint();
        EXPECT_TRUE(choice.chosen) << choice.seen.join(QStringLiteral(", ")).toStdString();
        EXPECT_EQ(choice.seen, QStringList({"Highlight", "Add Note...", "Copy"}));
    }
    EXPECT_EQ(doc.CurrentPage, 0);
    ASSERT_EQ(doc.Highlights.Size(), 1u);
    EXPECT_EQ(doc.Highlights.All()[0].start, first * 6);
    EXPECT_EQ(doc.Highlights.All()[0].end, last * 6 + 5);
    EXPECT_TRUE(fs::exists(NotesFilePath(doc.PaginationPath)));

    // A quick tap on the right of the page turns it, on the words or not.
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, at(3, 30));
    paint();
    EXPECT_EQ(doc.CurrentPage, 1);
    EXPECT_FALSE(view.HasSelection());

    // Tools > "Highlights...": Enter on the row goes back to its page.
    EXPECT_TRUE(view.IsCommandEnabled(ID_HIGHLIGHTS));
    Person person;
    person.Then([&](QWidget& window) {
        auto* dialog = qobject_cast<pwview::CHighlightsDialog*>(&window);
        if (!dialog) return false;
        EXPECT_LE(dialog->width(), frame.width());
        QTest::keyClick(dialog->table, Qt::Key_Return);
        return true;
    });
    frame.OnCommand(ID_HIGHLIGHTS);
    person.WaitUntilDone();
    paint();
    EXPECT_EQ(doc.CurrentPage, 0);
}

}  // namespace
}  // namespace wickpad
