// The desktop reader's Library as a person uses it: rows clicked, double-clicked and entered,
// OK pressed, books that cannot be read, the builder opened from the Library, a book deleted
// from its properties, and an HTML book from elsewhere read with its pictures.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "desktop/ChildView.h"
#include "desktop/Commands.h"
#include "desktop/ConvertDialog.h"
#include "desktop/LibraryDialog.h"
#include "formats/epub/EpubResult.h"
#include "support/DesktopFixture.h"
#include "support/ModalScript.h"
#include "support/QtPng.h"
#include "view/PropertiesDialog.h"

namespace wickstand {
namespace {
using namespace pagewick;
using pagewick::test::CancelWindow;
using pagewick::test::Click;
using pagewick::test::ClickCheckBox;
using pagewick::test::DoubleClick;
using pagewick::test::Person;
using pwview::CPropertiesDlg;
namespace fs = std::filesystem;

// The row of the Library showing a book whose path ends so, or a folder of that label.
int RowOf(CSelectDlg& lib, const std::string& ending) {
    for (int row = 0; row < lib.list->count(); ++row) {
        const int index = lib.list->item(row)->data(Qt::UserRole).toInt();
        if (index >= 0 ? lib.Entries()[size_t(index)].path.ends_with(ending)
                       : lib.list->item(row)->text().toStdString().ends_with(ending))
            return row;
    }
    return -1;
}
QPoint RowPoint(CSelectDlg& lib, int row) {
    return lib.list->visualItemRect(lib.list->item(row)).center();
}

enum class Gesture { ClickAndOk, ClickAndEnter, DoubleClick };

// A step choosing a row of the Library by the mouse and the OK button, by the mouse and Enter,
// or by a double-click.
Person::Step Choose(std::string ending, Gesture gesture = Gesture::ClickAndOk) {
    return [ending, gesture](QWidget& window) {
        auto* lib = dynamic_cast<CSelectDlg*>(&window);
        if (!lib) {
            ADD_FAILURE() << "the Library was expected to choose " << ending << ", not "
                          << window.windowTitle().toStdString();
            static_cast<QDialog&>(window).reject();
            return true;
        }
        if (lib->Scanning()) return false;
        QApplication::processEvents();  // the scan's result reaches the list
        const int row = RowOf(*lib, ending);
        if (row < 0) {
            ADD_FAILURE() << ending << " is not listed";
            lib->reject();
            return true;
        }
        QWidget* rows = lib->list->viewport();
        if (gesture == Gesture::DoubleClick) {
            DoubleClick(rows, RowPoint(*lib, row));
            return true;
        }
        QTest::mouseClick(rows, Qt::LeftButton, Qt::NoModifier, RowPoint(*lib, row));
        if (gesture == Gesture::ClickAndOk)
            Click(lib->okButton);
        else
            QTest::keyClick(lib->list, Qt::Key_Return);
        return true;
    };
}

// "My eBooks" holds the long book and, in the folder "Shelf", a short one and a LIT file that
// is not a LIT book.
struct Library : DesktopReader {
    std::string other;
    Library()
        : DesktopReader([](const fs::path& eBooks) {
              std::string html = "<html><body>";
              for (int i = 0; i < 1200; ++i)
                  html += "<p>Paragraph " + std::to_string(i) +
                          " of the long book, with words enough to fill a line or two.</p>";
              test::WriteFileText(eBooks / "Long.htm", html + "</body></html>");
              fs::create_directories(eBooks / "Shelf");
              test::WriteFileText(eBooks / "Shelf" / "Other.txt", "A short book on the shelf.");
              test::WriteFileText(eBooks / "Shelf" / "Broken.lit", "ITOLITLS, or so it says.");
              return (eBooks / "Long.htm").string();
          }) {
        other = (dir / "docs" / "My eBooks" / "Shelf" / "Other.txt").string();
        host->answerer = [](const std::string&, MessageButtons buttons) {
            return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
        };
    }
    // Turns pages by the keys until the page index is reached.
    void TurnTo(int page) {
        for (int i = 0; i < 2 * page + 5 && Doc().CurrentPage < page; ++i)
            Key(Qt::Key_PageDown);
        ASSERT_EQ(Doc().CurrentPage, page);
    }
    size_t Said(const std::string& text) const {
        return size_t(std::count(host->messagesShown.begin(), host->messagesShown.end(), text));
    }
};

TEST(LibraryFlow, OkEnterAndDoubleClickOpenTheRowAndAFolderRowNeverClosesTheLibrary) {
    Library r;
    // At start-up: the row clicked, then OK. The book opens; no About box, no end.
    bool closing = false;
    QObject::connect(&r.View(), &CChildView::closeRequested, [&] { closing = true; });
    Person person;
    person.Then(Choose("Long.htm"));
    ASSERT_TRUE(r.View().OpenFirstBook());
    EXPECT_EQ(r.Doc().BookPath, r.book);
    EXPECT_FALSE(closing);
    r.TurnTo(3);

    // Enter and OK on the folder row each fill the list with the folder, and the Library stays
    // open; Enter on a book opens it.
    int booksShown = -1;
    person.Then([&](QWidget& window) {
        auto& lib = static_cast<CSelectDlg&>(window);
        if (lib.Scanning()) return false;
        QApplication::processEvents();
        const int shelf = RowOf(lib, "Shelf");
        EXPECT_GE(shelf, 0);
        QTest::mouseClick(lib.list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          RowPoint(lib, shelf));
        QTest::keyClick(lib.list, Qt::Key_Return);
        EXPECT_TRUE(lib.isVisible());
        EXPECT_GE(RowOf(lib, "Other.txt"), 0);
        EXPECT_LT(RowOf(lib, "Long.htm"), 0);
        // Back to the first folder with OK on its row.
        QTest::mouseClick(lib.list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          RowPoint(lib, RowOf(lib, "eBooks/")));
        Click(lib.okButton);
        EXPECT_TRUE(lib.isVisible());
        EXPECT_GE(RowOf(lib, "Long.htm"), 0);
        // Then the shelf again by a double-click, and its book by Enter.
        DoubleClick(lib.list->viewport(), RowPoint(lib, RowOf(lib, "Shelf")));
        EXPECT_TRUE(lib.isVisible());
        booksShown = 0;
        for (int row = 0; row < lib.list->count(); ++row)
            booksShown += lib.list->item(row)->data(Qt::UserRole).toInt() >= 0;
        return Choose("Other.txt", Gesture::ClickAndEnter)(window);
    });
    r.frame->OnCommand(ID_LIBRARY);
    EXPECT_EQ(booksShown, 2);
    EXPECT_EQ(r.Doc().BookPath, r.other);

    // A double-click on the long book opens it again at the page it was left on.
    person.Then(Choose("Long.htm", Gesture::DoubleClick));
    r.frame->OnCommand(ID_LIBRARY);
    r.Paint();
    EXPECT_EQ(r.Doc().BookPath, r.book);
    EXPECT_EQ(r.Doc().CurrentPage, 3);

    // OK with nothing chosen is not a way out: the button waits for a row.
    person.Then([](QWidget& window) {
        auto& lib = static_cast<CSelectDlg&>(window);
        if (lib.Scanning()) return false;
        QApplication::processEvents();
        EXPECT_FALSE(lib.okButton->isEnabled());
        lib.reject();
        return true;
    });
    r.frame->OnCommand(ID_LIBRARY);
    person.WaitUntilDone();
    EXPECT_EQ(r.Doc().BookPath, r.book);
    EXPECT_EQ(person.aboutBoxes, 0);
}

TEST(LibraryFlow, ABookThatCannotBeReadIsSaidAndTheLibraryComesBack) {
    Library r;
    // At start-up: the message, the Library again, and the book chosen then is read.
    Person person;
    person
        .Then(Choose("Shelf"))  // a folder: OK enters it and the dialog stays for the next
        .Then(Choose("Broken.lit"))
        .Then(Choose("Long.htm"));
    ASSERT_TRUE(r.View().OpenFirstBook());
    person.WaitUntilDone();
    EXPECT_EQ(r.Said("Pagewick cannot read this format."), 1u);
    EXPECT_EQ(r.Doc().BookPath, r.book);
    EXPECT_EQ(person.aboutBoxes, 0);
    EXPECT_EQ(r.host->GetSetting(kRegistrySection, "LastBook"), r.book);

    // In a session: the book being read stays open at its page; a book gone from the disk since
    // the Library listed it is said once by the document.
    r.TurnTo(4);
    person.Then(Choose("Shelf")).Then(Choose("Broken.lit")).Then(Choose("Shelf"));
    person.Then([&](QWidget& window) {
        fs::remove(r.other);
        return Choose("Other.txt")(window);
    });
    person.Then(CancelWindow);
    r.frame->OnCommand(ID_LIBRARY);
    person.WaitUntilDone();
    r.Paint();
    EXPECT_EQ(r.Said("Pagewick cannot read this format."), 2u);
    EXPECT_EQ(r.Said("Cannot open ebook file."), 1u);
    EXPECT_EQ(r.Doc().BookPath, r.book);
    EXPECT_TRUE(r.View().HasBook());
    EXPECT_EQ(r.Doc().CurrentPage, 4);
    EXPECT_EQ(r.host->GetSetting(kRegistrySection, "LastBook"), r.book);
    r.Key(Qt::Key_PageDown);
    EXPECT_EQ(r.Doc().CurrentPage, 5);
    EXPECT_EQ(person.aboutBoxes, 0);
}

TEST(LibraryFlow, ABookWhoseReaderSaidWhyIsSaidOnlyOnce) {
    Library r;
    const fs::path broken = r.dir / "docs" / "My eBooks" / "Shelf" / "Broken.epub";
    test::WriteFileText(broken, "PK, or so it says: no archive at all.");
    // Named on the command line: the reader's own message, then the Library, where another
    // book is chosen; then chosen in the Library itself: its message again, and the Library.
    Person person;
    person.Then(Choose("Long.htm"));
    r.View().SetPendingBook(PendingBook{broken.string(), "", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    person.WaitUntilDone();
    r.Paint();
    EXPECT_EQ(r.Doc().BookPath, r.book);
    person.Then(Choose("Shelf")).Then(Choose("Broken.epub")).Then(CancelWindow);
    r.frame->OnCommand(ID_LIBRARY);
    person.WaitUntilDone();
    r.Paint();
    EXPECT_EQ(r.host->messagesShown,
              (std::vector<std::string>{kEpubDamagedMessage, kEpubDamagedMessage}));
    EXPECT_EQ(r.Doc().BookPath, r.book);
    EXPECT_TRUE(r.View().HasBook());
}

TEST(LibraryFlow, CreateNewEBookReturnsToTheLibraryOrOpensTheBookBuilt) {
    Library r;
    const fs::path source = r.dir / "elsewhere" / "Story.txt";
    fs::create_directories(source.parent_path());
    test::WriteFileText(source, "Once upon a time there was a book built from the Library.");
    auto create = [](QWidget& window) {
        auto* lib = dynamic_cast<CSelectDlg*>(&window);
        EXPECT_NE(lib, nullptr);
        if (lib) Click(lib->createButton);
        return true;
    };
    auto builder = [](bool build) {
        return [build](QWidget& window) {
            auto* dlg = dynamic_cast<CConvHTMLDlg*>(&window);
            EXPECT_NE(dlg, nullptr) << window.windowTitle().toStdString();
            if (!dlg) return true;
            if (!build) {
                Click(dlg->closeButton);
                return true;
            }
            dlg->titleBox->clear();
            QTest::keyClicks(dlg->titleBox, QStringLiteral("Built Story"));
            Click(dlg->buildButton);
            return true;
        };
    };
    // At start-up: the file chooser cancelled and the builder closed each lead back to the
    // Library; a book built there is opened.
    std::vector<std::string> sources{"", source.string(), source.string()};
    r.View().chooseSource = [&sources] {
        std::string next = sources.empty() ? std::string() : sources.front();
        if (!sources.empty()) sources.erase(sources.begin());
        return next;
    };
    Person person;
    person.Then(create);  // the file chooser cancelled
    person.Then(create).Then(builder(false));
    person.Then(create).Then(builder(true));
    ASSERT_TRUE(r.View().OpenFirstBook());
    person.WaitUntilDone();
    const fs::path built = r.dir / "docs" / "My eBooks" / "built story.pawk";
    EXPECT_TRUE(fs::exists(built));
    EXPECT_EQ(r.Doc().BookPath, built.string());
    EXPECT_EQ(r.Doc().SourceKind, kSourcePawk);
    EXPECT_TRUE(r.View().HasBook());
    EXPECT_EQ(person.aboutBoxes, 0);
}

TEST(LibraryFlow, DeletingTheBookInItsPropertiesLeadsToTheLibrary) {
    Library r;
    r.View().SetPendingBook(PendingBook{r.book, "Long", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    r.TurnTo(2);
    auto deleteBook = [](QWidget& window) {
        auto* props = dynamic_cast<CPropertiesDlg*>(&window);
        EXPECT_NE(props, nullptr) << window.windowTitle().toStdString();
        if (!props) return true;
        ClickCheckBox(props->deleteBox);
        EXPECT_TRUE(props->deleteBox->isChecked());
        Click(props->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok));
        return true;
    };
    // Delete Book File, then OK to the question: the Library, listing what is left.
    Person person;
    person.Then(deleteBook).Then(Choose("Shelf")).Then(Choose("Other.txt"));
    r.frame->OnCommand(ID_ABOUT_EBOOK);
    person.WaitUntilDone();
    EXPECT_FALSE(fs::exists(r.book));
    EXPECT_EQ(r.Said("Are you sure you want to remove the file from your device?"), 1u);
    EXPECT_EQ(r.Doc().BookPath, r.other);
    EXPECT_TRUE(r.View().HasBook());

    // The Library cancelled after a deletion: the window stays, and its page says how to open a
    // book instead of being blank.
    bool closing = false;
    QObject::connect(&r.View(), &CChildView::closeRequested, [&] { closing = true; });
    person.Then(deleteBook).Then(CancelWindow);
    r.frame->OnCommand(ID_ABOUT_EBOOK);
    person.WaitUntilDone();
    r.Paint();
    EXPECT_FALSE(fs::exists(r.other));
    EXPECT_FALSE(r.View().HasBook());
    EXPECT_FALSE(closing);
    QImage shot =
        r.View().grab().toImage().copy(QRect(r.View().PageOrigin(), r.View().PageRect().size()));
    int dark = 0;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2)
            dark += qGray(shot.pixel(x, y)) < 128;
    EXPECT_GT(dark, 20);
    EXPECT_EQ(person.aboutBoxes, 0);

    // A book in a folder whose name holds ".zip" is asked about as the file it is: no archive
    // goes with it.
    const fs::path boxed = r.dir / "docs" / "My eBooks" / "old.zip.d" / "Boxed.txt";
    fs::create_directories(boxed.parent_path());
    test::WriteFileText(boxed, "A book in a folder named like an archive.");
    r.View().SetPendingBook(PendingBook{boxed.string(), "Boxed", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    ASSERT_EQ(r.Doc().BookPath, boxed.string());
    person.Then(deleteBook).Then(CancelWindow);
    r.frame->OnCommand(ID_ABOUT_EBOOK);
    person.WaitUntilDone();
    EXPECT_FALSE(fs::exists(boxed));
    EXPECT_EQ(r.Said("Are you sure you want to remove the file from your device?"), 3u);
    EXPECT_EQ(std::count_if(r.host->messagesShown.begin(), r.host->messagesShown.end(),
                            [](const std::string& m) { return m.find("(ZIP)") != m.npos; }),
              0);
}

TEST(LibraryFlow, AnHtmlBookFromElsewhereIsReadInPlaceWithItsPictures) {
    Library r;
    const fs::path folder = r.dir / "elsewhere";
    fs::create_directories(folder);
    const std::vector<uint8_t> png = test::SolidPng(120, 90, Qt::darkBlue);
    test::WriteFileBytes(folder / "picture.png", png.data(), png.size());
    test::WriteFileText(folder / "Pictured.htm",
                        "<html><body><p>A page with a picture.</p><p><img src=\"picture.png\"></p>"
                        "</body></html>");
    r.View().SetPendingBook(PendingBook{(folder / "Pictured.htm").string(), "Pictured", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    r.Paint();
    EXPECT_EQ(r.Doc().BookPath, (folder / "Pictured.htm").string());
    EXPECT_FALSE(fs::exists(r.dir / "docs" / "My eBooks" / "Pictured.htm"));
    QImage shot = r.View().grab().toImage();
    int blue = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            blue += shot.pixel(x, y) == QColor(Qt::darkBlue).rgb();
    EXPECT_GT(blue, 120 * 90 / 2);
}

}  // namespace
}  // namespace wickstand
