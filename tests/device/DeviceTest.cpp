// The handheld reader on the offscreen platform: its settings file, start-up and profiles, the
// book list of a documents folder and two cards, and the reading window walked through keys,
// taps, scrolling, focus, landscape, a removed card and a request to end.
#include <gtest/gtest.h>

#include <zip.h>
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <csignal>
#include <cstdlib>
#include <set>
#include <sstream>
#include <type_traits>

#include "device/Commands.h"
#include "device/DeviceDialogs.h"
#include "device/DeviceFrame.h"
#include "device/DeviceLibrary.h"
#include "device/DeviceStartup.h"
#include "device/PowerKeeper.h"
#include "device/SignalWatcher.h"
#include "devicelink/DeviceTransfer.h"
#include "engine/PaginationFile.h"
#include "pawk/PawkWriter.h"
#include "support/QtPng.h"
#include "support/fixtures.h"
#include "view/AskDeleteBook.h"
#include "view/DesktopHost.h"
#include "view/SearchDialog.h"

namespace wickpad {
namespace {
using namespace pagewick;
using pagewick::test::TempDir;
namespace fs = std::filesystem;

DisplaySettings DeviceDefaults() {
    return DisplaySettings::DeviceDefaults();
}

TEST(DeviceStartUp, ProfilesCommandLineAndStartSettings) {
    EXPECT_EQ(ProfileFromProgramName("/opt/WickpadSP"), Profile::Keys);
    EXPECT_EQ(ProfileFromProgramName("WickpadPPC"), Profile::Touch);
    EXPECT_EQ(ProfileFromProgramName("wickpad"), Profile::Touch);
    DeviceStart a = ParseDeviceCommandLine("wickpad", {"--profile", "keys", "/Books/My Book.PaWK"});
    EXPECT_EQ(a.profile, Profile::Keys);
    EXPECT_EQ(a.bookPath, "/Books/My Book.PaWK");  // the case kept
    EXPECT_EQ(a.bookTitle, "My Book");
    EXPECT_FALSE(a.regServer);
    EXPECT_EQ(ParseDeviceCommandLine("WickpadSP", {"--profile=touch"}).profile, Profile::Touch);
    EXPECT_TRUE(ParseDeviceCommandLine("wickpad", {"REGSERVER"}).regServer);
    // Action words count only whole: a book whose name holds one is a book.
    DeviceStart b = ParseDeviceCommandLine("wickpad", {"/b/unregserver.txt", "installpocketpc"});
    EXPECT_FALSE(b.regServer);
    EXPECT_EQ(b.bookPath, "/b/unregserver.txt");

    EXPECT_EQ(ParseDeviceCommandLine("wickpad", {"--program-folder", "/d/P F"}).programFolder,
              "/d/P F");
    EXPECT_EQ(ParseDeviceCommandLine("wickpad", {"--program-folder=/e"}).programFolder, "/e");

    // The handheld reads its own section: the desktop's last book is not its own, but a landscape
    // flag stored before the handheld had a section of its own is still taken.
    TempDir dir;
    pwview::DesktopHost host(dir / "Pagewick.conf");
    host.SetProgramSection(kHandheldSection);
    host.SetSetting(kRegistrySection, "ForceLandScape", "1");
    host.SetSetting(kRegistrySection, "AutoOpen", "1");
    host.SetSetting(kRegistrySection, "LastBook", "/b/Desktop.txt");
    DeviceStart c = ParseDeviceCommandLine("wickpad", {});
    ReadStartSettings(c, host);
    EXPECT_TRUE(c.forceLandscape);
    EXPECT_EQ(c.pending.path, "");
    host.SetSetting(kHandheldSection, "AutoOpen", "1");
    host.SetSetting(kHandheldSection, "LastBook", "/b/Last.zip");
    host.SetSetting(kHandheldSection, "LastBookMember", "in/Story.txt");
    host.SetSetting(kHandheldSection, "ForceLandScape", "0");
    ReadStartSettings(c, host);
    EXPECT_FALSE(c.forceLandscape);
    EXPECT_EQ(c.pending.path, "/b/Last.zip");
    EXPECT_EQ(c.pending.member, "in/Story.txt");
    ReadStartSettings(a, host);  // a book given wins over the last one
    EXPECT_EQ(a.pending.path, "/Books/My Book.PaWK");
    EXPECT_EQ(a.pending.member, "");
}

void Touch(const fs::path& path, const std::string& text = "Some text.\n") {
    fs::create_directories(path.parent_path());
    test::WriteFileText(path, text);
}

TEST(DeviceLibrary, DocumentsAndTwoCardsWithTheLimits) {
    TempDir dir;
    Touch(dir / "help" / "Pagewick Help.pawk");
    Touch(dir / "docs" / "A.txt");
    Touch(dir / "docs" / "sub" / "B.txt");
    Touch(dir / "docs" / "caf\xe9-\xff.txt");  // bytes that are not UTF-8
    for (int i = 0; i < 300; ++i)
        Touch(dir / "card1" / ("book" + std::to_string(1000 + i) + ".txt"));
    Touch(dir / "card2" / "C.txt");
    PawkWriter titled;
    titled.title = "Header Title";
    titled.files.push_back({"t.htm", {}, std::vector<uint8_t>{'h', 'i'}});
    ASSERT_TRUE(titled.Write(dir / "card2" / "D.pawk"));
    std::vector<StorageCard> cards{{"card1", (dir / "card1").string()},
                                   {"card2", (dir / "card2").string()},
                                   {"gone", (dir / "gone").string()}};
    DeviceLibrary lib = BuildDeviceLibrary((dir / "help" / "Pagewick Help.pawk").string(),
                                           (dir / "docs").string(), cards, true, false);
    ASSERT_EQ(lib.entries.size(), 1 + 3 + 300 + 2u);
    EXPECT_FALSE(lib.overLimit);
    EXPECT_EQ(lib.entries[0].kind, kLibraryHelp);
    EXPECT_EQ(lib.entries[0].title, "Pagewick Help");
    // The scan reads no book: titles wait until their folder is shown.
    EXPECT_EQ(lib.entries.back().title, "");
    EXPECT_EQ(LibraryFolders(lib.entries),
              (std::vector<std::string>{"/my documents", "/card1", "/card2"}));
    EXPECT_TRUE(IsRemovableMountPoint("/media/user/CARD"));
    EXPECT_FALSE(IsRemovableMountPoint("/home/user"));
    EXPECT_FALSE(IsRemovableMountPoint("/mnt/"));

    // The dialog: folder rows first, then the current folder's books; 255 of a folder, warned
    // about once in the run.
    pwview::DesktopHost host(dir / "Pagewick.conf");
    host.answerer = [](const std::string&, MessageButtons) { return MessageAnswer::Ok; };
    LibraryWarnings warned;
    CDeviceLibraryDlg dlg(CDeviceLibraryDlg::Listed(lib), 0, false, host, warned, nullptr);
    dlg.WaitForScan();
    EXPECT_EQ(dlg.list->count(), 3 + 4);
    EXPECT_EQ(dlg.info->text(), QStringLiteral("Filter: /my documents"));
    EXPECT_FALSE(dlg.deleteButton->isEnabled());
    dlg.list->setCurrentRow(3);
    EXPECT_TRUE(dlg.deleteButton->isEnabled());
    dlg.ActivateRow(1);
    EXPECT_EQ(dlg.BookRows(), 255);
    EXPECT_TRUE(warned.folder);
    EXPECT_EQ(host.messagesShown, std::vector<std::string>{kTooManyInFolder});
    CDeviceLibraryDlg again(CDeviceLibraryDlg::Listed(lib), 1, true, host, warned, nullptr);
    again.WaitForScan();
    again.ActivateRow(1);
    EXPECT_EQ(again.BookRows(), 255);
    EXPECT_EQ(host.messagesShown.size(), 1u);
    again.ActivateRow(2);
    EXPECT_EQ(again.BookRows(), 2);
    EXPECT_EQ(again.list->item(4)->text(), QStringLiteral("Header Title"));
    again.ActivateRow(3);
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_EQ(again.chosen.path, (dir / "card2" / "C.txt").string());

    // 2,000 books at most in one scan.
    for (int i = 0; i < 1800; ++i)
        Touch(dir / "card2" / ("more" + std::to_string(10000 + i) + ".txt"), "x");
    lib = BuildDeviceLibrary("", (dir / "docs").string(), cards, true, false);
    EXPECT_EQ(lib.entries.size(), kMaxLibraryBooks);
    EXPECT_TRUE(lib.overLimit);
}

// What the reader asked of its power keeper, kept past the frame's end.
struct KeeperLog {
    int enables = 0, disables = 0;
    bool active = false;
};
class RecordingKeeper : public PowerKeeper {
public:
    explicit RecordingKeeper(std::shared_ptr<KeeperLog> log) : log_(std::move(log)) {}
    bool Enable() override {
        ++log_->enables;
        log_->active = true;
        return true;
    }
    void Disable() override {
        if (log_->active) ++log_->disables;
        log_->active = false;
    }
    bool Active() const override { return log_->active; }

private:
    std::shared_ptr<KeeperLog> log_;
};

// Acts once on the next modal dialog of that class not acted on before, from a polling timer:
// it never waits inside the event loop, so a dialog that closes by itself (a Library that found
// nothing) is not held open by the wait for another.
template <class Dialog = QDialog>
void OnNextModal(std::type_identity_t<std::function<void(Dialog&)>> act) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, act] {
        auto* d = dynamic_cast<Dialog*>(QApplication::activeModalWidget());
        if (d && d->isVisible() && !d->property("acted").toBool()) {
            d->setProperty("acted", true);
            timer->deleteLater();
            timer->stop();
            act(*d);
        } else if (++*tries > 500) {
            timer->deleteLater();
            timer->stop();
            ADD_FAILURE() << "no dialog appeared";
        }
    });
    timer->start(10);
}

// The next Library, once its scan is done.
void OnNextLibrary(std::function<void(CDeviceLibraryDlg&)> act) {
    OnNextModal<CDeviceLibraryDlg>([act](CDeviceLibraryDlg& d) {
        d.WaitForScan();
        act(d);
    });
}

// The row showing the entry whose path (and member) ends as given; -1 when none does.
int RowOf(CDeviceLibraryDlg& lib, const std::string& ending, const std::string& member = {}) {
    for (int row = 0; row < lib.list->count(); ++row)
        if (const LibraryEntry* e = lib.EntryAt(row))
            if (e->path.ends_with(ending) && e->member == member) return row;
    return -1;
}

// A handheld reader over a documents folder holding a long book, and one storage card.
struct Handheld {
    TempDir dir;
    std::unique_ptr<pwview::DesktopHost> host;
    std::unique_ptr<CDeviceFrame> frame;
    std::shared_ptr<KeeperLog> keeper = std::make_shared<KeeperLog>();
    std::string book, cardBook;

    explicit Handheld(Profile profile = Profile::Touch, bool withBooks = true) {
        setenv("XDG_DOCUMENTS_DIR", (dir / "docs").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        fs::create_directories(dir / "docs");
        fs::create_directories(dir / "card");
        book = (dir / "docs" / "Long.htm").string();
        cardBook = (dir / "card" / "Card.htm").string();
        std::string html = "<html><body><p><a href=\"#far\">Jump far</a></p>";
        for (int i = 0; i < 800; ++i)
            html += "<p>Paragraph " + std::to_string(i) +
                    " of the long book, with words enough to fill a line or two.</p>";
        html += "<p><a name=\"far\">Far away</a> is here.</p></body></html>";
        if (withBooks) {
            test::WriteFileText(book, html);
            test::WriteFileText(cardBook, html);
        }
        Start(profile);
    }
    void Start(Profile profile, bool landscape = false) {
        host = std::make_unique<pwview::DesktopHost>(dir / "Pagewick.conf");
        host->answerer = [](const std::string&, MessageButtons) { return MessageAnswer::Ok; };
        frame = std::make_unique<CDeviceFrame>(*host, profile, dir / "Wickpad.cfg", landscape,
                                               std::make_unique<RecordingKeeper>(keeper));
        View().SetStorageCards([this] {
            return std::vector<StorageCard>{{"card", (dir / "card").string()}};
        });
        frame->resize(480, 640);
        frame->show();
        QApplication::processEvents();
    }
    CDeviceView& View() { return frame->View(); }
    CBookEngine& Doc() { return View().Document(); }
    void Paint() {
        View().repaint();
        QApplication::processEvents();
    }
    void Key(Qt::Key key) {
        QTest::keyClick(&View(), key);
        Paint();
    }
    void Focus(bool in) {
        QFocusEvent event(in ? QEvent::FocusIn : QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(&View(), &event);
    }
    // Saved to look at, and checked to show text: the page is not one or two colours.
    void Screenshot(const QString& name) {
        QImage shot = frame->grab().toImage();
        fs::create_directories("artifacts");
        shot.save(QStringLiteral("artifacts/") + name);
        QRect page(View().mapTo(frame.get(), QPoint(0, 0)), View().size());
        QImage image = shot.copy(page);
        std::set<QRgb> colours;
        int dark = 0;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2) {
                colours.insert(image.pixel(x, y));
                if (qGray(image.pixel(x, y)) < 100) ++dark;
            }
        EXPECT_GT(colours.size(), 2u) << name.toStdString();
        EXPECT_GT(dark, 200) << name.toStdString();
    }
};

TEST(Wickpad, BothProfilesStartWithABookAndTurnPagesByKeysAndTaps) {
    for (Profile profile : {Profile::Touch, Profile::Keys}) {
        Handheld h(profile);
        h.View().SetPendingBook({h.book, "Long", false});
        ASSERT_TRUE(h.View().OpenFirstBook());
        h.Paint();
        EXPECT_TRUE(h.View().SizeAccepted());
        EXPECT_EQ(h.View().PageRect().size(), h.View().size());
        h.Screenshot(profile == Profile::Touch ? "wickpad-touch.png" : "wickpad-keys.png");
        // The touch build has its toolbar and two menus; the keys build one soft-key menu.
        EXPECT_EQ(h.frame->Toolbar() != nullptr, profile == Profile::Touch);
        EXPECT_EQ(h.frame->Action(ID_LIBRARY)->text(), QStringLiteral("Library..."));

        h.Key(Qt::Key_Down);
        h.Key(Qt::Key_Right);
        h.Key(Qt::Key_Return);
        h.Key(Qt::Key_PageDown);
        EXPECT_EQ(h.Doc().CurrentPage, 4);
        h.Key(Qt::Key_Up);
        h.Key(Qt::Key_Left);
        EXPECT_EQ(h.Doc().CurrentPage, 2);
        h.Key(Qt::Key_F1);  // turns on release
        h.Key(Qt::Key_VolumeDown);
        EXPECT_EQ(h.Doc().CurrentPage, 4);
        if (QToolBar* bar = h.frame->Toolbar()) {
            // Taps on the toolbar's page buttons.
            QTest::mouseClick(bar->widgetForAction(h.frame->Action(ID_PREVIOUS_PAGE)),
                              Qt::LeftButton);
            h.Paint();
            EXPECT_EQ(h.Doc().CurrentPage, 3);
            QTest::mouseClick(bar->widgetForAction(h.frame->Action(ID_NEXT_PAGE)), Qt::LeftButton);
            h.Paint();
            EXPECT_EQ(h.Doc().CurrentPage, 4);
        }

        // A tap on the link, and back; a drag along the bar lifted outside it returns to the
        // page it began on; lifted inside, it goes to the place under the stylus.
        h.frame->OnCommand(ID_FIRST_PAGE);
        h.Paint();
        const LinkRecord* link = nullptr;
        for (const LinkRecord& l : h.View().PageLinks())
            if (l.rectValid) link = &l;
        ASSERT_NE(link, nullptr);
        QTest::mouseClick(
            &h.View(), Qt::LeftButton, Qt::NoModifier,
            QPoint((link->hit.left + link->hit.right) / 2, (link->hit.top + link->hit.bottom) / 2));
        h.Paint();
        EXPECT_GT(h.Doc().CurrentPage, 5);
        h.frame->OnCommand(ID_RETURN_FROM_LINK);
        h.Paint();
        EXPECT_EQ(h.Doc().CurrentPage, 0);
        QRect bar = h.View().PositionBarRect();
        QTest::mousePress(&h.View(), Qt::LeftButton, Qt::NoModifier, bar.center());
        QTest::mouseMove(&h.View(), QPoint(bar.left() + bar.width() * 3 / 4, bar.center().y()));
        h.Paint();
        EXPECT_GT(h.Doc().CurrentPage, 5);
        QTest::mouseRelease(&h.View(), Qt::LeftButton, Qt::NoModifier, QPoint(bar.center().x(), 5));
        h.Paint();
        EXPECT_EQ(h.Doc().CurrentPage, 0);
        QTest::mouseClick(&h.View(), Qt::LeftButton, Qt::NoModifier, bar.center());
        h.Paint();
        EXPECT_NEAR(double(h.Doc().PageStarts[size_t(h.Doc().CurrentPage)]) / h.Doc().CharCount(),
                    0.5, 0.05);
        // The bar's right end, as drawn, is the end of the book: a tap there reaches the last
        // page, and so does a drag lifted there.
        for (bool drag : {false, true}) {
            h.frame->OnCommand(ID_FIRST_PAGE);
            h.Paint();
            const QPoint end(h.Doc().BarRightEnd() - 1, bar.center().y());
            ASSERT_TRUE(bar.contains(end));
            QTest::mousePress(&h.View(), Qt::LeftButton, Qt::NoModifier, drag ? bar.center() : end);
            if (drag) QTest::mouseMove(&h.View(), end);
            QTest::mouseRelease(&h.View(), Qt::LeftButton, Qt::NoModifier, end);
            h.Paint();
            const int32_t page = h.Doc().CurrentPage;
            h.Key(Qt::Key_Down);
            EXPECT_EQ(h.Doc().CurrentPage, page) << "not on the last page, drag " << drag;
        }
    }
}

// Scrolling by itself: the keys pause it and change its speed, it stops paused at the end of the
// book, and its timer runs only while the book scrolls (with the focus, not paused).
TEST(Wickpad, AutomaticScrollingSpeedKeysPauseEndAndNighttime) {
    Handheld h;
    h.View().Settings().autoScroll = 1;
    h.View().SetPendingBook({h.book, "Long", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.Paint();
    ASSERT_TRUE(h.View().Paused());
    EXPECT_FALSE(h.View().TimerRunning());
    h.Focus(true);
    EXPECT_FALSE(h.View().TimerRunning());  // paused: nothing ticks
    h.Key(Qt::Key_Return);                  // only pauses or resumes while scrolling
    EXPECT_FALSE(h.View().Paused());
    EXPECT_TRUE(h.View().TimerRunning());
    EXPECT_EQ(h.Doc().CurrentPage, 0);
    const int delay = h.View().ScrollDelay();
    h.Key(Qt::Key_Right);
    h.Key(Qt::Key_Right);
    EXPECT_EQ(h.View().ScrollDelay(), delay - 2);
    EXPECT_EQ(h.View().BannerPaints(), (100 - (delay - 2)) / 10 + 5 - 1);  // one paint since
    h.Key(Qt::Key_Left);
    EXPECT_EQ(h.View().ScrollDelay(), delay - 1);
    EXPECT_EQ(h.Doc().CurrentPage, 0);
    for (int i = 0; i < 400; ++i)
        h.View().ScrollTick();
    EXPECT_GT(h.Doc().CurrentPage, 0);
    h.Key(Qt::Key_F2);  // the fourth button pauses on release, and resumes
    EXPECT_TRUE(h.View().Paused());
    EXPECT_FALSE(h.View().TimerRunning());
    h.Key(Qt::Key_F2);
    EXPECT_FALSE(h.View().Paused());

    // From the page before the last, the book scrolls onto the last page and stops there.
    h.frame->OnCommand(ID_LAST_PAGE);
    h.Paint();
    const int32_t last = h.Doc().CurrentPage;
    ASSERT_GT(last, 5);
    h.Key(Qt::Key_Up);
    ASSERT_FALSE(h.View().Paused());
    for (int i = 0; i < 2000 && !h.View().Paused(); ++i)
        h.View().ScrollTick();
    EXPECT_TRUE(h.View().Paused());
    EXPECT_EQ(h.Doc().CurrentPage, last);
    EXPECT_FALSE(h.View().TimerRunning());
    EXPECT_FALSE(h.View().IdleInhibited());
    h.Key(Qt::Key_Return);  // resumed on the last page: it stops again at once
    h.View().ScrollTick();
    EXPECT_TRUE(h.View().Paused());
    EXPECT_EQ(h.Doc().CurrentPage, last);
    h.Focus(false);  // losing the focus stops the timer
    EXPECT_FALSE(h.View().TimerRunning());

    h.frame->OnCommand(ID_NIGHTTIME);
    h.Paint();
    EXPECT_EQ(h.Doc().NightScheme, 1);
    EXPECT_EQ(DisplaySettings::Load(h.dir / "Wickpad.cfg", DeviceDefaults()).nightScheme, 1);
    // Mostly black paper now.
    QImage night = h.View().grab().toImage();
    int dark = 0, all = 0;
    for (int y = 0; y < night.height(); y += 4)
        for (int x = 0; x < night.width(); x += 4, ++all)
            if (qGray(night.pixel(x, y)) < 64) ++dark;
    EXPECT_GT(dark, all * 3 / 4);
}

// The power keeper is held from the frame's first focus until the reader ends, the reader in
// the background included; losing the focus saves the place.
TEST(Wickpad, FocusSavesThePlaceAndTheKeeperHoldsFromTheFirstFocusToTheEnd) {
    Handheld h;
    h.View().SetPendingBook({h.book, "Long", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.frame->OnCommand(ID_GOTO_50);
    h.Paint();
    QTest::qWait(20);  // the loading note has come and gone
    const int32_t place = h.Doc().CurrentPage;
    h.Focus(false);  // a focus lost before the first one is gained takes nothing
    h.Focus(true);
    EXPECT_TRUE(h.keeper->active);
    EXPECT_EQ(h.keeper->enables, 1);
    const fs::path pwk = PaginationFilePath(h.book, "");
    fs::remove(pwk);
    h.Focus(false);
    EXPECT_TRUE(h.keeper->active);
    EXPECT_TRUE(fs::exists(pwk));
    h.Focus(true);
    EXPECT_EQ(h.keeper->enables, 1);
    EXPECT_EQ(h.keeper->disables, 0);
    // Close Reader: the place is saved and the keeper let go, once.
    h.frame->OnCommand(ID_APP_EXIT);
    QApplication::processEvents();
    EXPECT_FALSE(h.keeper->active);
    EXPECT_EQ(h.keeper->disables, 1);
    h.frame.reset();
    h.Start(Profile::Touch);
    h.View().SetPendingBook({h.book, "Long", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.Paint();
    EXPECT_EQ(h.Doc().CurrentPage, place);
}

TEST(Wickpad, ChoosingInTheLibraryKeepsThePlaceOfTheBookBeingRead) {
    Handheld h;
    h.View().SetPendingBook({h.book, "Long", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.Paint();
    QTest::qWait(20);
    for (int i = 0; i < 5; ++i)
        h.Key(Qt::Key_Down);
    const int32_t page = h.Doc().CurrentPage;
    ASSERT_GE(page, 4);
    // The Library lists the documents folder and the card; the card's book is chosen.
    OnNextModal([&](QDialog& d) {
        auto& lib = static_cast<CDeviceLibraryDlg&>(d);
        lib.WaitForScan();
        lib.ActivateRow(1);  // the card's folder
        lib.ActivateRow(2);
    });
    h.frame->OnCommand(ID_LIBRARY);
    EXPECT_EQ(h.Doc().BookPath, h.cardBook);
    EXPECT_EQ(h.Doc().CurrentPage, 0);
    h.View().SetPendingBook({h.book, "Long", false});
    ASSERT_TRUE(h.View().OpenBookOrLibrary());
    h.Paint();
    EXPECT_EQ(h.Doc().CurrentPage, page);
}

TEST(Wickpad, DeletingTheOpenBookFromTheLibrary) {
    Handheld h;
    h.View().SetPendingBook({h.book, "Long", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.Key(Qt::Key_Down);
    ASSERT_EQ(h.host->GetSetting(kHandheldSection, "LastBook"), h.book);
    DeviceLibrary lib = BuildDeviceLibrary("", (h.dir / "docs").string(), {}, true, false);
    LibraryWarnings warned;
    CDeviceLibraryDlg dlg(
        CDeviceLibraryDlg::Listed(lib), 0, false, *h.host, warned,
        [&](const LibraryEntry& e, bool repair) {
            return h.View().DeleteOrRepair(e, repair, false);
        },
        nullptr);
    dlg.WaitForScan();
    dlg.list->setCurrentRow(1);
    // "Repair book pagination file." keeps the book and the list; the book is let go first so
    // its pagination file is not written back.
    OnNextModal([](QDialog& d) { d.accept(); });
    dlg.deleteButton->click();
    EXPECT_TRUE(fs::exists(h.book));
    EXPECT_FALSE(fs::exists(h.book + ".pwk"));
    EXPECT_FALSE(dlg.rescan);
    OnNextModal([](QDialog& d) {
        static_cast<pwview::CAskDeleteBookDLg&>(d).deleteButton->setChecked(true);
        d.accept();
    });
    dlg.deleteButton->click();
    EXPECT_FALSE(fs::exists(h.book));
    EXPECT_FALSE(fs::exists(h.book + ".pwk"));
    EXPECT_TRUE(dlg.rescan);
    EXPECT_FALSE(h.View().HasBook());
    EXPECT_EQ(h.host->GetSetting(kHandheldSection, "LastBook", "kept"), "");
}

TEST(Wickpad, ARemovedCardSaysSoAndShowsTheLibrary) {
    Handheld h;
    h.View().SetPendingBook({h.cardBook, "Card", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.Key(Qt::Key_Down);
    fs::remove_all(h.dir / "card");
    h.View().repaint();  // finds the book gone; the message and the Library follow
    OnNextModal([](QDialog& d) { d.reject(); });
    QTest::qWait(50);
    EXPECT_EQ(h.host->messagesShown, std::vector<std::string>{kBookWentAway});
    EXPECT_FALSE(h.View().HasBook());
    EXPECT_FALSE(fs::exists(h.dir / "card"));  // nothing written where the card was

    // A read that fails while the book is shown: the document has said why, so the reader adds
    // nothing and shows the Library.
    Handheld g;
    g.View().SetPendingBook({g.book, "Long", false});
    ASSERT_TRUE(g.View().OpenFirstBook());
    g.Paint();
    g.Doc().SourceFailed = true;
    g.View().repaint();
    bool libraryShown = false;
    OnNextModal([&](QDialog& d) {
        libraryShown = dynamic_cast<CDeviceLibraryDlg*>(&d) != nullptr;
        d.reject();
    });
    QTest::qWait(50);
    EXPECT_TRUE(libraryShown);
    EXPECT_TRUE(g.host->messagesShown.empty());
    EXPECT_FALSE(g.View().HasBook());
}

TEST(Wickpad, StartsWithTheLastBookOrWithNothingSaysNoEBooks) {
    {
        Handheld h;
        h.host->SetSetting(kHandheldSection, "AutoOpen", "1");
        h.host->SetSetting(kHandheldSection, "LastBook", h.cardBook);
        DeviceStart start = ParseDeviceCommandLine("WickpadSP", {});
        ReadStartSettings(start, *h.host);
        h.View().SetPendingBook(start.pending);
        ASSERT_TRUE(h.View().OpenFirstBook());
        EXPECT_EQ(h.Doc().BookPath, h.cardBook);
    }
    Handheld empty(Profile::Keys, false);
    bool closing = false;
    QObject::connect(&empty.View(), &CDeviceView::closeRequested, [&] { closing = true; });
    OnNextModal<CDeviceAboutDlg>([](CDeviceAboutDlg& d) { d.accept(); });  // the about box
    EXPECT_FALSE(empty.View().OpenFirstBook());
    ASSERT_EQ(empty.host->messagesShown.size(), 1u);
    EXPECT_EQ(empty.host->messagesShown[0], kNoBooksTall);
    EXPECT_TRUE(closing);
}

TEST(Wickpad, ForcedLandscapeTurnsThePageOnAnUprightWindow) {
    Handheld h;
    h.frame.reset();
    h.Start(Profile::Touch, true);
    h.View().SetPendingBook({h.book, "Long", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.Paint();
    ASSERT_GT(h.View().height(), h.View().width());
    EXPECT_TRUE(h.View().PageTurned());
    EXPECT_EQ(h.View().PageRect().size(), QSize(h.View().height(), h.View().width()));
    h.Screenshot("wickpad-landscape.png");
    // Text lines run down the window: rows of the grab change colour less than columns do.
    QImage shot = h.View().grab().toImage();
    auto changes = [&](bool alongRows) {
        int n = 0;
        for (int a = 0; a < (alongRows ? shot.height() : shot.width()); a += 4)
            for (int b = 1; b < (alongRows ? shot.width() : shot.height()); ++b) {
                QRgb p = alongRows ? shot.pixel(b, a) : shot.pixel(a, b);
                QRgb q = alongRows ? shot.pixel(b - 1, a) : shot.pixel(a, b - 1);
                if (p != q) ++n;
            }
        return n;
    };
    EXPECT_GT(changes(false), changes(true));
    // A tap where the turned bar is drawn (down the left side) lands on the bar.
    QRect bar = h.View().PositionBarRect();
    QPoint onScreen(h.View().width() - bar.center().y(), bar.left() + bar.width() / 2);
    QTest::mouseClick(&h.View(), Qt::LeftButton, Qt::NoModifier, onScreen);
    h.Paint();
    EXPECT_GT(h.Doc().CurrentPage, 3);
    // A size report in the wrong orientation is ignored once the page has a size.
    h.View().SetForceLandscape(false);
    EXPECT_FALSE(h.View().PageTurned());
    const QSize upright = h.View().PageRect().size();
    EXPECT_GT(upright.height(), upright.width());
    h.frame->resize(700, 400);
    QApplication::processEvents();
    EXPECT_FALSE(h.View().SizeAccepted());
    EXPECT_EQ(h.View().PageRect().size(), upright);
}

TEST(Wickpad, OptionsThreePagesWriteTheFlagsAndTheSettingsFile) {
    Handheld h;
    h.View().SetPendingBook({h.book, "Long", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.Paint();
    OnNextModal([](QDialog& d) {
        auto& first = static_cast<CDeviceOptionsDlg&>(d);
        first.fontSize->setValue(27);  // past the handheld's largest size: not taken
        EXPECT_EQ(first.fontSize->value(), 26);
        first.fontSize->setValue(14);
        // Hyphenation is off by default on the ragged small screen; the person turns it on and
        // lets single paragraph lines stand at page ends.
        EXPECT_FALSE(first.hyphenate->isChecked());
        QTest::mouseClick(first.hyphenate, Qt::LeftButton);
        QTest::mouseClick(first.keepLines, Qt::LeftButton);
        first.beforeInner = [](QDialog& page) {
            QTimer::singleShot(0, &page, [&page] {
                if (auto* third = dynamic_cast<COptions3Dlg*>(&page)) {
                    third->showMenus->setChecked(false);
                    third->landscape->setChecked(true);
                    third->autoOpenBox->setChecked(true);
                    third->accept();
                    return;
                }
                for (QPushButton* button : page.findChildren<QPushButton*>())
                    if (button->text() == QStringLiteral("More >>")) button->click();
                page.accept();
            });
        };
        first.more->click();
        first.accept();
    });
    h.frame->OnCommand(ID_READER_OPTIONS);
    EXPECT_EQ(h.host->messagesShown, std::vector<std::string>{kToolbarChangeNotice});
    EXPECT_EQ(h.host->GetSetting(kHandheldSection, "ForceLandScape"), "1");
    EXPECT_EQ(h.host->GetSetting(kHandheldSection, "AutoOpen"), "1");
    EXPECT_EQ(h.host->GetSetting(kHandheldSection, "Hyphenate"), "1");
    EXPECT_EQ(h.host->GetSetting(kHandheldSection, "KeepLinesTogether"), "0");
    DisplaySettings saved = DisplaySettings::Load(h.dir / "Wickpad.cfg", DeviceDefaults());
    EXPECT_EQ(saved.fontSize, 14);
    EXPECT_FALSE(saved.ShowMenuAndToolbars());
    h.Paint();
    EXPECT_TRUE(h.View().PageTurned());
    EXPECT_TRUE(h.frame->FullScreenMode());
}

TEST(Wickpad, AskedToEndItSavesThePlaceAndLetsTheKeeperGo) {
    Handheld h;
    h.View().SetPendingBook({h.book, "Long", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.Focus(true);
    h.Key(Qt::Key_Down);
    const fs::path pwk = PaginationFilePath(h.book, "");
    fs::remove(pwk);
    int received = 0;
    SignalWatcher watcher([&](int signal) {
        received = signal;
        h.frame->close();
    });
    ::raise(SIGTERM);
    for (int i = 0; i < 50 && !received; ++i)
        QTest::qWait(10);
    EXPECT_EQ(received, SIGTERM);
    EXPECT_FALSE(h.keeper->active);
    EXPECT_TRUE(fs::exists(pwk));
}

// Page images are drawn again on buffers earlier pages used, and a turn back shows the page it
// left as the next one: each page, reached forward or back, by day or by night, shows exactly
// what it showed when first drawn, and a turn lays out no more than the page shown and the one
// after it (a turn back only the page shown).
TEST(Wickpad, TurnsBackAndForthShowEachPageAsFirstDrawn) {
    Handheld h;
    h.View().SetPendingBook({h.book, "Long", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.Paint();
    auto shot = [&] { return h.View().grab().toImage(); };
    std::vector<QImage> pages{shot()};
    std::vector<size_t> links{h.View().PageLinks().size()};
    ASSERT_EQ(links[0], 1u);  // "Jump far"
    for (int i = 1; i < 3; ++i) {
        h.Key(Qt::Key_Down);
        ASSERT_EQ(h.Doc().CurrentPage, i);
        pages.push_back(shot());
        links.push_back(h.View().PageLinks().size());
        EXPECT_NE(pages[size_t(i)], pages[size_t(i) - 1]);
    }
    for (int page : {1, 0, 1, 2, 1}) {
        const uint64_t before = h.Doc().LayoutCount;
        const bool back = page < h.Doc().CurrentPage;
        h.Key(back ? Qt::Key_Up : Qt::Key_Down);
        ASSERT_EQ(h.Doc().CurrentPage, page);
        EXPECT_LE(h.Doc().LayoutCount - before, back ? 1u : 2u) << "to page " << page;
        EXPECT_EQ(shot(), pages[size_t(page)]) << "page " << page;
        EXPECT_EQ(h.View().PageLinks().size(), links[size_t(page)]) << "page " << page;
    }
    h.frame->OnCommand(ID_NIGHTTIME);
    h.Paint();
    const QImage night = shot();
    h.Key(Qt::Key_Up);
    h.Key(Qt::Key_Down);
    EXPECT_EQ(shot(), night);
    EXPECT_EQ(qGray(night.pixel(night.width() - 1, 1)), 0);  // the paper is black by night
}

// The speed set with the arrow keys while the book scrolls is the handheld's to keep too, and its
// second options page carries its own labels.
TEST(Wickpad, ScrollSpeedKeptAndTheSecondOptionsPageLabels) {
    Handheld h;
    h.View().Settings().autoScroll = 1;
    h.View().SetPendingBook({h.book, "Long", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.Paint();
    h.Key(Qt::Key_Return);
    const int delay = h.View().ScrollDelay();
    h.Key(Qt::Key_Right);
    h.Key(Qt::Key_Right);
    h.frame.reset();  // before the wait is over: written as the reader ends
    EXPECT_EQ(DisplaySettings::Load(h.dir / "Wickpad.cfg", DeviceDefaults()).scrollDelay,
              delay - 2);
    h.Start(Profile::Touch);
    EXPECT_EQ(h.View().ScrollDelay(), delay - 2);

    QStringList labels;
    OnNextModal([&](QDialog& d) {
        auto& first = static_cast<CDeviceOptionsDlg&>(d);
        first.beforeInner = [&](QDialog& page) {
            QTimer::singleShot(0, &page, [&] {
                for (QLabel* label : page.findChildren<QLabel*>())
                    labels << label->text();
                for (QCheckBox* box : page.findChildren<QCheckBox*>())
                    labels << box->text();
                page.reject();
            });
        };
        first.more->click();
        first.reject();
    });
    h.frame->OnCommand(ID_READER_OPTIONS);
    for (const char* text :
         {"Paragraph Spacing", "Leading", "Tab Size", "Border Width", "Height", "Justified Text"})
        EXPECT_TRUE(labels.contains(QLatin1String(text))) << text;
}

// A finger on the page: a tap tries the picture before the link, the tap that closes a picture
// does nothing else, taps off links turn by zone (the left third back), swipes turn the way the
// finger goes, and a double tap opens the menu over the page the first tap had turned.
TEST(Wickpad, TapZonesSwipesAndPicturesUnderTheFinger) {
    Handheld h;
    const std::vector<uint8_t> png = test::SolidPng(120, 80, Qt::blue);
    test::WriteFileBytes(h.dir / "docs" / "pic.png", png.data(), png.size());
    std::string html = "<html><body><p><a href=\"#far\">Far</a> <img src=\"pic.png\"></p>";
    for (int i = 0; i < 600; ++i)
        html += "<p>Paragraph " + std::to_string(i) + " with words enough for a line or two.</p>";
    html += "<p><a name=\"far\">Far away</a></p></body></html>";
    const std::string book = (h.dir / "docs" / "Pictures.htm").string();
    test::WriteFileText(book, html);
    h.View().SetPendingBook({book, "Pictures", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.Paint();
    QTest::qWait(20);
    // What a tap may hit, in the order it is tried: the picture, then the link.
    const std::vector<LinkRecord>& hits = h.View().PageLinks();
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[1].target, "#far");
    const LinkRecord* picture = &hits[0];
    ASSERT_EQ(picture->target, "pic.png");
    const QPoint onPicture((picture->hit.left + picture->hit.right) / 2,
                           (picture->hit.top + picture->hit.bottom) / 2);
    auto tap = [&](QPoint at) {
        QTest::mouseClick(&h.View(), Qt::LeftButton, Qt::NoModifier, at);
        h.Paint();
    };
    tap(onPicture);
    EXPECT_TRUE(h.View().PictureShown());
    EXPECT_EQ(h.Doc().CurrentPage, 0);
    tap(onPicture);
    EXPECT_FALSE(h.View().PictureShown());
    EXPECT_EQ(h.Doc().CurrentPage, 0);
    EXPECT_EQ(h.View().LinkReturnPage(), -1);

    const int w = h.View().width(), mid = h.View().height() / 2;
    tap({w * 5 / 6, mid});
    EXPECT_EQ(h.Doc().CurrentPage, 1);
    tap({w / 2, mid});
    EXPECT_EQ(h.Doc().CurrentPage, 2);
    tap({w / 6, mid});
    EXPECT_EQ(h.Doc().CurrentPage, 1);
    auto stroke = [&](QPoint from, QPoint to) {
        QTest::mousePress(&h.View(), Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseRelease(&h.View(), Qt::LeftButton, Qt::NoModifier, to);
        h.Paint();
    };
    stroke({w * 3 / 4, mid}, {w / 4, mid + 20});
    EXPECT_EQ(h.Doc().CurrentPage, 2);
    stroke({w / 4, mid}, {w * 3 / 4, mid - 20});
    EXPECT_EQ(h.Doc().CurrentPage, 1);
    stroke({w / 2, mid - 150}, {w / 2 + 40, mid + 150});  // down the page: a tap, forward
    EXPECT_EQ(h.Doc().CurrentPage, 2);

    QObject::disconnect(&h.View(), &CDeviceView::contextMenuRequested, h.frame.get(), nullptr);
    int menus = 0;
    QObject::connect(&h.View(), &CDeviceView::contextMenuRequested, [&](QPoint) { ++menus; });
    tap({w * 5 / 6, mid});
    EXPECT_EQ(h.Doc().CurrentPage, 3);
    QTest::mouseDClick(&h.View(), Qt::LeftButton, Qt::NoModifier, {w * 5 / 6, mid});
    QTest::mouseRelease(&h.View(), Qt::LeftButton, Qt::NoModifier, {w * 5 / 6, mid});
    h.Paint();
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(h.Doc().CurrentPage, 2);
}

// A book picked in the Library that cannot be read is said so, and the Library comes back
// instead of the reader ending; a book picked then opens.
TEST(Wickpad, AnUnreadableBookFromTheLibraryGivesItsMessageAndTheLibrary) {
    Handheld h;
    test::WriteFileText(h.dir / "docs" / "Broken.pawk", "not a book at all");
    bool closing = false;
    QObject::connect(&h.View(), &CDeviceView::closeRequested, [&] { closing = true; });
    int libraries = 0;
    OnNextLibrary([&](CDeviceLibraryDlg& first) {
        ++libraries;
        OnNextLibrary([&](CDeviceLibraryDlg& again) {
            ++libraries;
            again.ActivateRow(RowOf(again, "/Long.htm"));
        });
        first.ActivateRow(RowOf(first, "/Broken.pawk"));
    });
    EXPECT_TRUE(h.View().OpenFirstBook());
    EXPECT_EQ(libraries, 2);
    EXPECT_EQ(h.host->messagesShown, std::vector<std::string>{kCannotReadBook});
    EXPECT_EQ(h.Doc().BookPath, h.book);
    EXPECT_TRUE(h.View().HasBook());
    QApplication::processEvents();
    EXPECT_FALSE(closing);
}

// One settings store, two programs: each keeps its own last book, so neither opens the other's,
// and Wickpad's last book, a member of an archive, comes back at its page.
TEST(Wickpad, EachProgramKeepsItsOwnLastBookAndAnArchiveMemberComesBack) {
    Handheld h;
    const std::string archive = (h.dir / "docs" / "Shelf.zip").string();
    std::string story;
    for (int i = 0; i < 3000; ++i)
        story += "Line " + std::to_string(i) + " of the story in the archive.\n";
    {
        int error = 0;
        zip_t* z = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        ASSERT_NE(z, nullptr);
        zip_file_add(z, "in/Story.txt", zip_source_buffer(z, story.data(), story.size(), 0), 0);
        ASSERT_EQ(zip_close(z), 0);
    }
    h.View().Settings().searchZip = 1;
    h.host->SetSetting(kHandheldSection, "AutoOpen", "1");
    OnNextLibrary(
        [](CDeviceLibraryDlg& lib) { lib.ActivateRow(RowOf(lib, "/Shelf.zip", "in/Story.txt")); });
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.Paint();
    QTest::qWait(20);
    for (int i = 0; i < 3; ++i)
        h.Key(Qt::Key_Down);
    const int32_t page = h.Doc().CurrentPage;
    ASSERT_EQ(page, 3);
    h.frame.reset();

    // Wickstand, on the same store, reads another book and starts with its own last book.
    pwview::DesktopHost desk(h.dir / "Pagewick.conf");
    desk.SetSetting(kRegistrySection, "AutoOpen", "1");
    CBookEngine doc;
    doc.HostServices = &desk;
    ASSERT_TRUE(OpenLibraryEntry(doc, LibraryEntry{kLibraryHtml, h.cardBook, "", "Card", ""}));
    doc.CloseBook();
    EXPECT_EQ(pwview::ChooseFirstBook({}, desk).path, h.cardBook);

    h.Start(Profile::Touch);
    DeviceStart start = ParseDeviceCommandLine("wickpad", {});
    ReadStartSettings(start, *h.host);
    EXPECT_EQ(start.pending.path, archive);
    h.View().SetPendingBook(start.pending);
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.Paint();
    EXPECT_EQ(h.Doc().BookPath, archive);
    EXPECT_EQ(h.Doc().MemberName, "in/Story.txt");
    EXPECT_EQ(h.Doc().CurrentPage, page);
}

// Installed onto a handheld mounted as a folder, the launcher is a program there; started from
// the device folder the reader is told where it was installed, finds the help book the install
// put beside it and lists the books sent into the device's "My Documents".
TEST(Wickpad, StartedFromAFolderDeviceItFindsItsHelpBookAndTheBooksSent) {
    test::DeviceFolders device({"WickpadPPC.lnk.device"});
    fs::copy_file(fs::path(PAGEWICK_DEVICE_FILES_DIR) / "WickpadPPC.exe.device",
                  device.program / "WickpadPPC.exe.device");
    PawkWriter help;
    help.title = "Pagewick Help";
    help.files.push_back({"help.htm", {}, std::vector<uint8_t>{'H', 'e', 'l', 'p'}});
    ASSERT_TRUE(help.Write(device.program / "Pagewick Help.pawk"));
    Handheld h(Profile::Touch, false);
    test::WriteFileText(h.dir / "Sent Story.htm", "<html><title>Sent</title><p>A story.</p>");
    CDeviceTransfer transfer(*h.host, device.program);
    ASSERT_TRUE(transfer.InstallPocketPC());
    ASSERT_TRUE(transfer.SendBookToDevice((h.dir / "Sent Story.htm").string()));

    const fs::path installed = device.device / "Program Files" / "Pagewick";
    const fs::perms perms = fs::status(installed / "WickpadPPC.exe").permissions();
    EXPECT_NE(perms & fs::perms::owner_exec, fs::perms::none);
    // A stand-in reader beside the launcher writes down how it was started.
    test::WriteFileText(
        installed / "wickpad",
        "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$(dirname \"$0\")/args\"\n");
    fs::permissions(installed / "wickpad", fs::perms::owner_all);
    ASSERT_EQ(std::system(("'" + (installed / "WickpadPPC.exe").string() + "'").c_str()), 0);
    std::vector<std::string> args;
    std::istringstream lines(test::ReadFileText(installed / "args"));
    for (std::string line; std::getline(lines, line);)
        args.push_back(line);
    ASSERT_EQ(args.size(), 4u);
    EXPECT_EQ(args[1], "touch");
    DeviceStart start = ParseDeviceCommandLine("wickpad", args);
    EXPECT_EQ(start.profile, Profile::Touch);
    EXPECT_EQ(fs::canonical(start.programFolder), fs::canonical(installed));

    const InstalledFolders folders = FoldersOfInstall(start.programFolder);
    h.View().SetHelpBook(folders.helpBook);
    h.View().SetDocumentsFolder(folders.documents);
    std::vector<std::string> titles;
    OnNextLibrary([&](CDeviceLibraryDlg& lib) {
        for (int row = 0; row < lib.list->count(); ++row)
            if (lib.EntryAt(row)) titles.push_back(lib.list->item(row)->text().toStdString());
        lib.ActivateRow(RowOf(lib, "/Sent Story.htm"));
    });
    ASSERT_TRUE(h.View().OpenFirstBook());
    EXPECT_EQ(titles, (std::vector<std::string>{"Pagewick Help", "Sent Story"}));
    EXPECT_EQ(fs::canonical(h.Doc().BookPath),
              fs::canonical(device.device / "My Documents" / "Sent Story.htm"));
}

TEST(Wickpad, SearchFindsTheWordsFromTheSoftKeyAndTheToolbar) {
    for (Profile profile : {Profile::Keys, Profile::Touch}) {
        Handheld h(profile);
        std::vector<std::string> questions;
        h.host->answerer = [&](const std::string& text, MessageButtons buttons) {
            if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
            questions.push_back(text);
            return MessageAnswer::Yes;
        };
        h.View().SetPendingBook({h.book, "Long", false});
        ASSERT_TRUE(h.View().OpenFirstBook());
        h.Paint();
        // "Search Again" before any words were given opens the search for them.
        auto again = [&] {
            if (QToolBar* bar = h.frame->Toolbar()) {
                QAction* button = nullptr;
                for (QAction* a : bar->actions())
                    if (a->text() == QStringLiteral("Search again")) button = a;
                ASSERT_NE(button, nullptr);
                QTest::mouseClick(bar->widgetForAction(button), Qt::LeftButton);
            } else {
                QMenuBar* menus = h.frame->menuBar();
                auto* key = menus->findChild<QAction*>(QStringLiteral("softKeySearchAgain"));
                ASSERT_NE(key, nullptr);
                QTest::mouseClick(menus, Qt::LeftButton, {}, menus->actionGeometry(key).center());
            }
            h.Paint();
        };
        again();
        pwview::CSearchDialog* dialog = h.frame->SearchDialog();
        ASSERT_TRUE(dialog && dialog->isVisible());
        EXPECT_FALSE(h.frame->FullScreenMode());
        EXPECT_LE(dialog->width(), h.frame->width());
        QTest::keyClicks(dialog->pattern, "far AWAY");
        QTest::keyClick(dialog->pattern, Qt::Key_Return);
        h.Paint();
        const int page = h.Doc().CurrentPage;
        EXPECT_GT(page, 10);
        EXPECT_GE(h.Doc().HighlightFirst, h.Doc().PageStarts[size_t(page)]);
        dialog->reject();
        // The only hit: past it the search asks, goes round and comes back to it.
        h.frame->OnCommand(ID_FIRST_PAGE);
        h.Paint();
        again();
        EXPECT_EQ(h.Doc().CurrentPage, page);
        EXPECT_TRUE(questions.empty());
        again();
        EXPECT_EQ(questions, std::vector<std::string>{pwview::BookFinder::kPassedEnd});
        EXPECT_EQ(h.Doc().CurrentPage, page);
    }
}

TEST(Wickpad, SectionCommandsServeEveryBookThatHasSections) {
    Handheld h(Profile::Touch);
    PawkWriter book;
    book.title = "Two Parts";
    for (const char* name : {"one.htm", "two.htm"}) {
        std::string html = "<p>";
        for (int i = 0; i < 400; ++i)
            html += "Words enough to fill the pages of a part. ";
        book.files.push_back({name, {}, std::vector<uint8_t>(html.begin(), html.end() - 1)});
    }
    const fs::path parts = h.dir / "docs" / "Two Parts.pawk";
    ASSERT_TRUE(book.Write(parts));
    QAction* next = h.frame->Action(ID_NEXT_SECTION);
    auto enabledInItsMenu = [&] {
        QMenu* menu = nullptr;
        for (QObject* o : next->associatedObjects())
            if (auto* m = qobject_cast<QMenu*>(o)) menu = m;
        if (!menu) return false;
        menu->popup(QPoint(0, 0));  // as a tap on the menu shows it
        const bool enabled = next->isEnabled();
        menu->hide();
        return enabled;
    };
    h.View().SetPendingBook({h.book, "Long", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    EXPECT_FALSE(enabledInItsMenu());  // an HTML file has no sections
    h.View().SetPendingBook({parts.string(), "Two Parts", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.Paint();
    ASSERT_TRUE(enabledInItsMenu());
    next->trigger();
    h.Paint();
    EXPECT_GT(h.Doc().CurrentPage, 0);
    EXPECT_TRUE(h.Doc().PageStartsSection(h.Doc().CurrentPage));
}

}  // namespace
}  // namespace wickpad

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
