// Edit > "Search..." as a person uses it: Ctrl+F and the words typed, Enter, F3 and Shift+F3,
// the toolbar's Search Again, going round the end of the book, a word not found, and the
// Find All list.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include "desktop/Commands.h"
#include "support/DesktopFixture.h"
#include "support/fixtures.h"
#include "view/BookFinder.h"
#include "view/SearchDialog.h"

namespace wickstand {
namespace {
using namespace pagewick;
namespace fs = std::filesystem;

// Paragraphs 40, 160 and 300 hold the word sought, each many pages from the others.
struct SearchReader : DesktopReader {
    std::vector<std::string> questions;
    MessageAnswer answer = MessageAnswer::Yes;
    SearchReader()
        : DesktopReader([](const fs::path& eBooks) {
              std::string html = "<html><head><title>Needles</title></head><body>";
              for (int i = 0; i < 400; ++i)
                  html += "<p>Paragraph " + std::to_string(i) +
                          (i == 40 || i == 160 || i == 300 ? " hides a ne<i>ed</i>le" : "") +
                          ", with words enough to fill a line or two of the page.</p>";
              const std::string book = (eBooks / "Needles.htm").string();
              test::WriteFileText(book, html + "</body></html>");
              return book;
          }) {
        host->answerer = [this](const std::string& text, MessageButtons buttons) {
            if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
            questions.push_back(text);
            return answer;
        };
        EXPECT_TRUE(View().OpenBookFile(book));
        Paint();
    }
    int Page() { return Doc().CurrentPage; }
    // Back to the page from the dialog, as a click on it does: the frame's keys work there.
    void Activate() {
        frame->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        Activate();
        QTest::keyClick(&View(), key, modifiers);
    }
    // Rows of the page shown that the highlight band crosses: grey at both ends of the text
    // area, where no letter is drawn.
    int BandRows() {
        Paint();
        const QImage& image = View().CurrentPageImage();
        const QColor grey(192, 192, 192);
        int rows = 0;
        for (int y = Doc().TopEdge; y < Doc().BottomLimit; ++y)
            if (image.pixelColor(Doc().LeftEdge, y) == grey &&
                image.pixelColor(Doc().RightEdge - 1, y) == grey)
                ++rows;
        return rows;
    }
};

TEST(SearchDialog, KeysTurnToEachHitAndGoRoundTheEnd) {
    SearchReader r;
    EXPECT_EQ(r.BandRows(), 0);
    r.Key(Qt::Key_F, Qt::ControlModifier);
    pwview::CSearchDialog* dialog = r.frame->SearchDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->findNext->isEnabled());  // nothing typed, nothing to find
    QTest::keyClicks(dialog->pattern, "NEEDLE");
    QTest::keyClick(dialog->pattern, Qt::Key_Return);
    const int first = r.Page();
    EXPECT_GT(first, 0);
    EXPECT_GE(r.BandRows(), r.Doc().LineHeight);
    EXPECT_TRUE(r.host->messagesShown.empty());

    // F3 goes on, in the dialog as on the page; the dialog closed, the toolbar button goes on
    // too and Shift+F3 comes back.
    QTest::keyClick(dialog->pattern, Qt::Key_F3);
    const int second = r.Page();
    EXPECT_GT(second, first);
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close),
                      Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    auto* bar = r.frame->findChild<QToolBar*>(QStringLiteral("Toolbar"));
    QTest::mouseClick(bar->widgetForAction(r.frame->Action(ID_SEARCH_AGAIN)), Qt::LeftButton);
    const int third = r.Page();
    EXPECT_GT(third, second);
    r.Key(Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(r.Page(), second);
    r.Key(Qt::Key_F3);
    EXPECT_EQ(r.Page(), third);

    // Past the last hit: asked, and from the beginning again; declined, the page stays.
    r.Key(Qt::Key_F3);
    EXPECT_EQ(r.questions, std::vector<std::string>{pwview::BookFinder::kPassedEnd});
    EXPECT_EQ(r.Page(), first);
    r.Key(Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(r.questions.back(), pwview::BookFinder::kPassedBeginning);
    EXPECT_EQ(r.Page(), third);
    r.answer = MessageAnswer::No;
    r.Key(Qt::Key_F3);
    EXPECT_EQ(r.questions.size(), 3u);
    EXPECT_EQ(r.Page(), third);
    EXPECT_TRUE(r.host->messagesShown.size() == r.questions.size());

    // Whole words: "needl" is no word of the book, from here to the end nor from the start.
    r.answer = MessageAnswer::Yes;
    r.Key(Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(dialog->isVisible());
    dialog->wholeWords->click();
    dialog->pattern->setText("needl");
    QTest::keyClick(dialog->pattern, Qt::Key_Return);
    EXPECT_EQ(r.host->messagesShown.back(), "Cannot find \"needl\".");
    EXPECT_EQ(r.Page(), third);
}

TEST(SearchDialog, FindAllListsEveryHitAndARowTurnsToIt) {
    SearchReader r;
    r.frame->OnCommand(ID_SEARCH_AGAIN);  // no words yet: the dialog opens for them
    pwview::CSearchDialog* dialog = r.frame->SearchDialog();
    ASSERT_TRUE(dialog && dialog->isVisible());
    QTest::keyClicks(dialog->pattern, "paragraph 16");
    QTest::mouseClick(dialog->findAll, Qt::LeftButton);
    QTreeWidget* list = dialog->results;
    ASSERT_TRUE(list->isVisible());
    // Paragraphs 16 and 160 to 169.
    ASSERT_EQ(list->topLevelItemCount(), 11);
    QTreeWidgetItem* row = list->topLevelItem(5);
    EXPECT_TRUE(row->text(1).contains(QStringLiteral("Paragraph 164,")))
        << row->text(1).toStdString();
    const int page = row->text(0).toInt();
    list->scrollToItem(row);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(row).center());
    EXPECT_EQ(r.Page() + 1, page);
    EXPECT_GE(r.BandRows(), r.Doc().LineHeight);
    EXPECT_GE(list->topLevelItem(0)->text(0).toInt(), 1);
    EXPECT_LT(list->topLevelItem(0)->text(0).toInt(), page);
}

}  // namespace
}  // namespace wickstand
