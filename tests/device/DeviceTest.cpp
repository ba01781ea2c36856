// The handheld reader on the offscreen platform: its settings file, start-up and profiles, the
// book list of a documents folder and two cards, and the reading window walked through keys,
// taps, scrolling, focus, landscape, a removed card and a request to end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <csignal>
#include <set>

#include "desktop/DesktopHost.h"
#include "desktop/Dialogs.h"
#include "device/Commands.h"
#include "device/DeviceDialogs.h"
#include "device/DeviceFrame.h"
#include "device/DeviceLibrary.h"
#include "device/DeviceStartup.h"
#include "device/PowerKeeper.h"
#include "device/SignalWatcher.h"
#include "engine/PaginationFile.h"
#include "support/fixtures.h"

namespace wickpad {
namespace {
using namespace pagewick;
using pagewick::test::TempDir;
namespace fs = std::filesystem;

DisplaySettings DeviceDefaults() {
    return DisplaySettings::DeviceDefaults();
}

std::vector<uint8_t> Words(std::initializer_list<int32_t> words) {
    std::vector<uint8_t> out;
    for (int32_t w : words)
        for (int s = 0; s < 32; s += 8)
            out.push_back(uint8_t(uint32_t(w) >> s));
    return out;
}

TEST(DeviceSettingsFile, RoundTripRangesAndADamagedFaceLength) {
    DisplaySettings s = DisplaySettings::DeviceDefaults();
    EXPECT_EQ(s.fontSize, 11);
    EXPECT_EQ(s.faceName, "Tahoma");
    EXPECT_TRUE(s.ShowMenuAndToolbars());
    s.fontSize = 26;
    s.faceName = "Dčjà Vu";
    s.autoScroll = 1;
    s.scrollDelay = 7;
    s.furtherWordOne = 0;
    TempDir dir;
    ASSERT_TRUE(s.Save(dir / "Ambervale" / "Wickpad.cfg"));
    EXPECT_EQ(DisplaySettings::Load(dir / "Ambervale" / "Wickpad.cfg", DeviceDefaults()), s);
    // Version 6; the face as a count of UTF-16 units and the units; three words end the file.
    std::vector<uint8_t> bytes = s.Serialize();
    EXPECT_EQ(bytes[0], 6);
    const size_t face = 19 * 4;
    EXPECT_EQ(bytes[face], 7);
    EXPECT_EQ(bytes[face + 4 + 2], 0x0d);  // 'č' is U+010D
    EXPECT_EQ(bytes[face + 4 + 3], 0x01);
    EXPECT_EQ(bytes.size(), face + 4 + 7 * 2 + 3 * 4);
    // The face counts in the signature by its UTF-16 units.
    DisplaySettings ascii = DeviceDefaults();
    DisplaySettings accented = ascii;
    accented.faceName = "Tahomá";
    EXPECT_EQ(accented.LayoutSignature() - ascii.LayoutSignature(), uint32_t(u'á') - u'a');

    // Out of range: font 27, a negative leading (an endless line loop), a face length of 128
    // (past its buffer). Each keeps its default; what follows is still read.
    std::vector<uint8_t> damaged =
        Words({6, 1, 27, 0, 0, 1, 0, 1, -5, 3, 0, 1, 0, 0, 0, 1, 0, 0, 1, 128});
    damaged.resize(damaged.size() + 256, 'A');
    auto tail = Words({0, 1, 33});
    damaged.insert(damaged.end(), tail.begin(), tail.end());
    DisplaySettings read = DisplaySettings::Parse(damaged, DeviceDefaults());
    EXPECT_EQ(read.bold, 1);
    EXPECT_EQ(read.fontSize, 11);
    EXPECT_EQ(read.leading, 0);
    EXPECT_EQ(read.faceName, "Tahoma");
    EXPECT_EQ(read.scrollDelay, 33);
    EXPECT_FALSE(read.ShowMenuAndToolbars());
    // A length that runs past the file, and garbage: defaults where nothing could be read.
    EXPECT_EQ(DisplaySettings::Parse(
                  Words({6, 0, 12, 0, 0, 1, 0, 1, 0, 3, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0x7fffffff}),
                  DeviceDefaults())
                  .faceName,
              "Tahoma");
    EXPECT_EQ(DisplaySettings::Parse({0xff, 0x13}, DeviceDefaults()), DeviceDefaults());
    // A lone surrogate in the face (no font is named so) reads as the replacement character, so
    // the name writes back as it was read.
    std::vector<uint8_t> surrogate =
        Words({6, 0, 12, 0, 0, 1, 0, 1, 0, 3, 0, 1, 0, 0, 0, 1, 0, 0, 1, 2});
    for (uint8_t b : {0x41, 0x00, 0x00, 0xd8})
        surrogate.push_back(b);
    DisplaySettings odd = DisplaySettings::Parse(surrogate, DeviceDefaults());
    EXPECT_EQ(odd.faceName, "A\xef\xbf\xbd");
    EXPECT_EQ(DisplaySettings::Parse(odd.Serialize(), DeviceDefaults()), odd);
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

    TempDir dir;
    wickstand::DesktopHost host(dir / "Pagewick.conf");
    host.SetSetting(kRegistrySection, "ForceLandScape", "1");
    host.SetSetting(kRegistrySection, "AutoOpen", "1");
    host.SetSetting(kRegistrySection, "LastBook", "/b/Last.txt");
    DeviceStart c = ParseDeviceCommandLine("wickpad", {});
    ReadStartSettings(c, host);
    EXPECT_TRUE(c.forceLandscape);
    EXPECT_EQ(c.pending.path, "/b/Last.txt");
    ReadStartSettings(a, host);  // a book given wins over the last one
    EXPECT_EQ(a.pending.path, "/Books/My Book.PaWK");
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
    std::vector<StorageCard> cards{{"card1", (dir / "card1").string()},
                                   {"card2", (dir / "card2").string()},
                                   {"gone", (dir / "gone").string()}};
    DeviceLibrary lib = BuildDeviceLibrary((dir / "help" / "Pagewick Help.pawk").string(),
                                           (dir / "docs").string(), cards, true, false);
    ASSERT_EQ(lib.entries.size(), 1 + 3 + 300 + 1u);
    EXPECT_FALSE(lib.overLimit);
    EXPECT_EQ(lib.entries[0].kind, kLibraryHelp);
    EXPECT_EQ(lib.entries[0].title, "Pagewick Help");
    EXPECT_EQ(LibraryFolders(lib.entries),
              (std::vector<std::string>{"/my documents", "/card1", "/card2"}));
    EXPECT_TRUE(IsRemovableMountPoint("/media/user/CARD"));
    EXPECT_FALSE(IsRemovableMountPoint("/home/user"));
    EXPECT_FALSE(IsRemovableMountPoint("/mnt/"));

    // The dialog: folder rows first, then the current folder's books; 255 of a folder, warned
    // about once in the run.
    wickstand::DesktopHost host(dir / "Pagewick.conf");
    host.answerer = [](const std::string&, MessageButtons) { return MessageAnswer::Ok; };
    bool warned = false;
    CDeviceLibraryDlg dlg(lib.entries, 0, false, host, warned, nullptr);
    EXPECT_EQ(dlg.list->count(), 3 + 4);
    EXPECT_EQ(dlg.info->text(), QStringLiteral("Filter: /my documents"));
    EXPECT_FALSE(dlg.deleteButton->isEnabled());
    dlg.list->setCurrentRow(3);
    EXPECT_TRUE(dlg.deleteButton->isEnabled());
    dlg.ActivateRow(1);
    EXPECT_EQ(dlg.BookRows(), 255);
    EXPECT_TRUE(warned);
    EXPECT_EQ(host.messagesShown, std::vector<std::string>{kTooManyInFolder});
    CDeviceLibraryDlg again(lib.entries, 1, true, host, warned, nullptr);
    again.ActivateRow(1);
    EXPECT_EQ(again.BookRows(), 255);
    EXPECT_EQ(host.messagesShown.size(), 1u);
    again.ActivateRow(2);
    EXPECT_EQ(again.BookRows(), 1);
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

void OnNextModal(std::function<void(QDialog&)> act) {
    QTimer::singleShot(0, [act] {
        for (int i = 0; i < 200; ++i) {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                act(*d);
                return;
            }
            QTest::qWait(10);
        }
        ADD_FAILURE() << "no dialog appeared";
    });
}

// A handheld reader over a documents folder holding a long book, and one storage card.
struct Handheld {
    TempDir dir;
    std::unique_ptr<wickstand::DesktopHost> host;
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
        host = std::make_unique<wickstand::DesktopHost>(dir / "Pagewick.conf");
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
    }
}

TEST(Wickpad, AutomaticScrollingSpeedKeysPauseAndNighttime) {
    Handheld h;
    h.View().Settings().autoScroll = 1;
    h.View().SetPendingBook({h.book, "Long", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.Paint();
    ASSERT_TRUE(h.View().Paused());
    h.Key(Qt::Key_Return);  // only pauses or resumes while scrolling
    EXPECT_FALSE(h.View().Paused());
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
    h.Key(Qt::Key_F2);
    EXPECT_FALSE(h.View().Paused());

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

TEST(Wickpad, FocusSavesThePlaceAndTheKeeperHoldsOnlyWhileReading) {
    Handheld h;
    h.View().SetPendingBook({h.book, "Long", false});
    ASSERT_TRUE(h.View().OpenFirstBook());
    h.frame->OnCommand(ID_GOTO_50);
    h.Paint();
    QTest::qWait(20);  // the loading note has come and gone
    const int32_t place = h.Doc().CurrentPage;
    h.Focus(true);
    EXPECT_TRUE(h.keeper->active);
    const int enables = h.keeper->enables;
    const fs::path pwk = PaginationFilePath(h.book, "");
    fs::remove(pwk);
    h.Focus(false);
    EXPECT_FALSE(h.keeper->active);
    EXPECT_TRUE(fs::exists(pwk));
    h.Focus(true);
    EXPECT_EQ(h.keeper->enables, enables + 1);
    // Close Reader: the place is saved and the keeper let go, once.
    h.frame->OnCommand(ID_APP_EXIT);
    QApplication::processEvents();
    EXPECT_FALSE(h.keeper->active);
    EXPECT_EQ(h.keeper->disables, h.keeper->enables);
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
    ASSERT_EQ(h.host->GetSetting(kRegistrySection, "LastBook"), h.book);
    DeviceLibrary lib = BuildDeviceLibrary("", (h.dir / "docs").string(), {}, true, false);
    bool warned = false;
    CDeviceLibraryDlg dlg(
        lib.entries, 0, false, *h.host, warned,
        [&](const LibraryEntry& e, bool repair) {
            return h.View().DeleteOrRepair(e, repair, false);
        },
        nullptr);
    dlg.list->setCurrentRow(1);
    // "Repair book pagination file." keeps the book and the list; the book is let go first so
    // its pagination file is not written back.
    OnNextModal([](QDialog& d) { d.accept(); });
    dlg.deleteButton->click();
    EXPECT_TRUE(fs::exists(h.book));
    EXPECT_FALSE(fs::exists(h.book + ".pwk"));
    EXPECT_FALSE(dlg.rescan);
    OnNextModal([](QDialog& d) {
        static_cast<wickstand::CAskDeleteBookDLg&>(d).deleteButton->setChecked(true);
        d.accept();
    });
    dlg.deleteButton->click();
    EXPECT_FALSE(fs::exists(h.book));
    EXPECT_FALSE(fs::exists(h.book + ".pwk"));
    EXPECT_TRUE(dlg.rescan);
    EXPECT_FALSE(h.View().HasBook());
    EXPECT_EQ(h.host->GetSetting(kRegistrySection, "LastBook", "kept"), "");
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
        h.host->SetSetting(kRegistrySection, "AutoOpen", "1");
        h.host->SetSetting(kRegistrySection, "LastBook", h.cardBook);
        DeviceStart start = ParseDeviceCommandLine("WickpadSP", {});
        ReadStartSettings(start, *h.host);
        h.View().SetPendingBook(start.pending);
        ASSERT_TRUE(h.View().OpenFirstBook());
        EXPECT_EQ(h.Doc().BookPath, h.cardBook);
    }
    Handheld empty(Profile::Keys, false);
    bool closing = false;
    QObject::connect(&empty.View(), &CDeviceView::closeRequested, [&] { closing = true; });
    OnNextModal([](QDialog& d) { d.accept(); });  // the about box
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
    EXPECT_EQ(h.host->GetSetting(kRegistrySection, "ForceLandScape"), "1");
    EXPECT_EQ(h.host->GetSetting(kRegistrySection, "AutoOpen"), "1");
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

}  // namespace
}  // namespace wickpad

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
