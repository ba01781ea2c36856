// The handheld reader's Library as a person uses it through the reading view both programs
// share: a book that cannot be read is said and the Library comes back, and deleting the book
// from "About this eBook" leads to the Library.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "device/Commands.h"
#include "device/DeviceDialogs.h"
#include "device/DeviceFrame.h"
#include "device/PowerKeeper.h"
#include "formats/epub/EpubResult.h"
#include "support/ModalScript.h"
#include "support/fixtures.h"
#include "view/DesktopHost.h"
#include "view/PropertiesDialog.h"

namespace wickpad {
namespace {
using namespace pagewick;
using pagewick::test::Click;
using pagewick::test::Person;
namespace fs = std::filesystem;

class IdleKeeper : public PowerKeeper {
public:
    bool Enable() override { return active_ = true; }
    void Disable() override { active_ = false; }
    bool Active() const override { return active_; }

private:
    bool active_ = false;
};

// The documents folder holds a long book, a short one and a LIT file that is not a LIT book.
struct Reader {
    test::TempDir dir;
    std::string book = (dir / "docs" / "Long.htm").string();
    std::string other = (dir / "docs" / "Other.txt").string();
    std::unique_ptr<pwview::DesktopHost> host;
    std::unique_ptr<CDeviceFrame> frame;
    Reader() {
        setenv("XDG_DOCUMENTS_DIR", (dir / "docs").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        fs::create_directories(dir / "docs");
        std::string html = "<html><body>";
        for (int i = 0; i < 800; ++i)
            html += "<p>Paragraph " + std::to_string(i) + " of the long book, long enough.</p>";
        test::WriteFileText(book, html + "</body></html>");
        test::WriteFileText(other, "A short book.");
        test::WriteFileText(dir / "docs" / "Broken.lit", "ITOLITLS, or so it says.");
        host = std::make_unique<pwview::DesktopHost>(dir / "Pagewick.conf");
        host->answerer = [](const std::string&, MessageButtons) { return MessageAnswer::Ok; };
        frame = std::make_unique<CDeviceFrame>(*host, Profile::Touch, dir / "Wickpad.cfg", false,
                                               std::make_unique<IdleKeeper>());
        frame->View().SetStorageCards([] { return std::vector<StorageCard>{}; });
        frame->resize(480, 640);
        frame->show();
        QApplication::processEvents();
    }
    CDeviceView& View() { return frame->View(); }
    CBookEngine& Doc() { return View().Document(); }
    void Key(Qt::Key key) {
        QTest::keyClick(&View(), key);
        View().repaint();
        QApplication::processEvents();
    }
    size_t Said(const std::string& text) const {
        return size_t(std::count(host->messagesShown.begin(), host->messagesShown.end(), text));
    }
};

// A step tapping the book's row of the Library, then Open.
Person::Step Choose(std::string ending) {
    return [ending](QWidget& window) {
        auto* lib = dynamic_cast<CDeviceLibraryDlg*>(&window);
        if (!lib) {
            ADD_FAILURE() << "the Library was expected, not " << window.windowTitle().toStdString();
            return pagewick::test::CancelWindow(window);
        }
        lib->WaitForScan();  // the books are listed once the scan behind the dialog has ended
        for (int row = 0; row < lib->list->count(); ++row) {
            const LibraryEntry* entry = lib->EntryAt(row);
            if (!entry || !entry->path.ends_with(ending)) continue;
            QTest::mouseClick(lib->list->viewport(), Qt::LeftButton, Qt::NoModifier,
                              lib->list->visualItemRect(lib->list->item(row)).center());
            Click(lib->openButton);
            return true;
        }
        ADD_FAILURE() << ending << " is not listed";
        return pagewick::test::CancelWindow(window);
    };
}

TEST(WickpadLibrary, ABookThatCannotBeReadIsSaidAndTheLibraryComesBack) {
    Reader r;
    // At start-up: the message, the Library again, and the book chosen then is read.
    Person person;
    person.Then(Choose("Broken.lit")).Then(Choose("Long.htm"));
    ASSERT_TRUE(r.View().OpenFirstBook());
    person.WaitUntilDone();
    EXPECT_EQ(r.Said("Pagewick cannot read this format."), 1u);
    EXPECT_EQ(r.Doc().BookPath, r.book);
    for (int i = 0; i < 10 && r.Doc().CurrentPage < 3; ++i)
        r.Key(Qt::Key_Down);
    ASSERT_EQ(r.Doc().CurrentPage, 3);

    // In a session: the book being read stays open at its page.
    person.Then(Choose("Broken.lit")).Then(pagewick::test::CancelWindow);
    r.frame->OnCommand(ID_LIBRARY);
    person.WaitUntilDone();
    EXPECT_EQ(r.Said("Pagewick cannot read this format."), 2u);
    EXPECT_EQ(r.Doc().BookPath, r.book);
    EXPECT_TRUE(r.View().HasBook());
    EXPECT_EQ(r.Doc().CurrentPage, 3);
    EXPECT_EQ(r.host->GetSetting(r.host->ProgramSection(), "LastBook"), r.book);
    EXPECT_EQ(person.aboutBoxes, 0);
}

TEST(WickpadLibrary, ABookWhoseReaderSaidWhyIsSaidOnlyOnce) {
    Reader r;
    const fs::path broken = r.dir / "docs" / "Broken.epub";
    test::WriteFileText(broken, "PK, or so it says: no archive at all.");
    // The last book, opened at start: its reader's message, then the Library; chosen there
    // again: the message once more, and the Library comes back.
    Person person;
    person.Then(Choose("Broken.epub")).Then(Choose("Long.htm"));
    r.View().SetPendingBook(pwview::PendingBook{broken.string(), "", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    person.WaitUntilDone();
    EXPECT_EQ(r.host->messagesShown,
              (std::vector<std::string>{kEpubDamagedMessage, kEpubDamagedMessage}));
    EXPECT_EQ(r.Doc().BookPath, r.book);
    EXPECT_EQ(person.aboutBoxes, 0);
}

TEST(WickpadLibrary, DeletingTheBookFromAboutThisEBookLeadsToTheLibrary) {
    Reader r;
    r.View().SetPendingBook({r.book, "Long", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    r.Key(Qt::Key_Down);
    Person person;
    person.Then([](QWidget& window) {
        auto* props = dynamic_cast<pwview::CPropertiesDlg*>(&window);
        EXPECT_NE(props, nullptr) << window.windowTitle().toStdString();
        if (!props) return pagewick::test::CancelWindow(window);
        pagewick::test::ClickCheckBox(props->deleteBox);
        Click(props->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok));
        return true;
    });
    person.Then(Choose("Other.txt"));
    r.frame->OnCommand(ID_ABOUT_EBOOK);
    person.WaitUntilDone();
    EXPECT_FALSE(fs::exists(r.book));
    EXPECT_EQ(r.Doc().BookPath, r.other);
    EXPECT_TRUE(r.View().HasBook());
}

}  // namespace
}  // namespace wickpad
