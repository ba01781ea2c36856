// File > "Save as EPUB..." as a person uses it: greyed until a book is open, the save dialog
// offering the book's title as the name, the EPUB written and readable, and a book that can no
// longer be read said as such, with nothing written.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include "desktop/Commands.h"
#include "formats/epub/EpubPackage.h"
#include "support/DesktopFixture.h"
#include "support/fixtures.h"

namespace wickstand {
namespace {
using namespace pagewick;
namespace fs = std::filesystem;

struct Reader : DesktopReader {
    Reader()
        : DesktopReader([](const fs::path& eBooks) {
              std::string html = "<html><head><title>Harbour Notes</title></head><body>";
              for (int i = 0; i < 300; ++i)
                  html += "<p>Note " + std::to_string(i) + " of the harbour master.</p>";
              const std::string book = (eBooks / "notes.htm").string();
              test::WriteFileText(book, html + "</body></html>");
              return book;
          }) {}

    QAction* SaveItem() { return frame->Action(ID_SAVE_EPUB); }

    // Opens the File menu with the mouse; clicks the item when it is enabled.
    bool ClickSaveAsEpub() {
        QMenuBar* bar = frame->menuBar();
        QMenu* menu = nullptr;
        for (QAction* top : bar->actions())
            if (top->text() == QStringLiteral("&File")) menu = top->menu();
        EXPECT_NE(menu, nullptr);
        if (!menu) return false;
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          bar->actionGeometry(menu->menuAction()).center());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(menu));
        const bool enabled = SaveItem()->isEnabled();
        if (enabled)
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(SaveItem()).center());
        else
            menu->close();
        QApplication::processEvents();
        return enabled;
    }
};

// Answers the save dialog while it lives: the name it offers is kept in `offered`; `name` typed
// over it unless empty; then Save. (From a polling timer: the dialog opens from the menu's loop.)
std::unique_ptr<ModalCloser<QFileDialog>> AnswerSaveDialog(QString& offered,
                                                           const QString& name = QString()) {
    return std::make_unique<ModalCloser<QFileDialog>>([&offered, name](QFileDialog& d) {
        auto* edit = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!edit) d.reject();
        ASSERT_NE(edit, nullptr);
        offered = edit->text();
        if (!name.isEmpty()) {
            // Clicked into, everything selected and typed over, as a person renames.
            QTest::mouseClick(edit, Qt::LeftButton);
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(edit, name);
        }
        QPushButton* save = nullptr;
        for (QPushButton* button : d.findChildren<QPushButton*>())
            if (button->text().remove(QLatin1Char('&')) == QStringLiteral("Save")) save = button;
        ASSERT_NE(save, nullptr);
        QTest::mouseClick(save, Qt::LeftButton);
        if (d.isVisible()) {
            ADD_FAILURE() << "the dialog stayed open with " << edit->text().toStdString();
            d.reject();
        }
    });
}

TEST(SaveAsEpub, WritesTheOpenBookWhereThePersonChooses) {
    Reader r;
    EXPECT_EQ(r.SaveItem()->text(), QStringLiteral("&Save as EPUB..."));
    EXPECT_FALSE(r.ClickSaveAsEpub());  // greyed without a book

    ASSERT_TRUE(r.View().OpenBookFile(r.book));
    r.Paint();
    // A name typed without its suffix gets it.
    QString offered;
    auto person = AnswerSaveDialog(offered, QStringLiteral("Elsewhere"));
    ASSERT_TRUE(r.ClickSaveAsEpub());
    EXPECT_EQ(person->seen, 1);
    EXPECT_TRUE(fs::exists(fs::path(r.book).parent_path() / "Elsewhere.epub"));

    // The name offered is the book's title.
    person = AnswerSaveDialog(offered);
    ASSERT_TRUE(r.ClickSaveAsEpub());
    EXPECT_EQ(person->seen, 1);
    EXPECT_EQ(offered, QStringLiteral("Harbour Notes.epub"));
    const fs::path saved = fs::path(r.book).parent_path() / "Harbour Notes.epub";
    ASSERT_TRUE(fs::exists(saved));
    EXPECT_TRUE(r.host->messagesShown.empty());
    {
        EpubPackage epub;
        ASSERT_EQ(epub.Open(saved.string()), EpubResult::kOk);
        EXPECT_EQ(epub.Metadata().title, "Harbour Notes");
        EXPECT_EQ(epub.Spine().size(), 1u);
    }
    // The page shown stays where it was, in the book it was.
    EXPECT_EQ(r.Doc().BookPath, r.book);
    fs::remove(saved);  // so that the dialog below offers a name that is free

    // A book gone from under the reader is said to be unreadable, and nothing is written.
    fs::remove(r.book);
    person = AnswerSaveDialog(offered, QStringLiteral("Third.epub"));
    ASSERT_TRUE(r.ClickSaveAsEpub());
    EXPECT_EQ(person->seen, 1);
    person.reset();
    EXPECT_FALSE(fs::exists(fs::path(r.book).parent_path() / "Third.epub"));
    ASSERT_FALSE(r.host->messagesShown.empty());
    EXPECT_EQ(r.host->messagesShown.back(),
              "The eBook could not be saved as EPUB:\r\nthe book cannot be read.");
}

}  // namespace
}  // namespace wickstand
