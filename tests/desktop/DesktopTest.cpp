// The desktop reader on the offscreen platform: settings file, start-up, association files, the
// reading view walked through its actions, the dialogs and the main window's placement.
#include <gtest/gtest.h>

#include <zip.h>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <fstream>

#include "desktop/AboutDialog.h"
#include "desktop/BehaviorDialog.h"
#include "desktop/ChildView.h"
#include "desktop/Commands.h"
#include "desktop/DesktopHost.h"
#include "desktop/LibraryDialog.h"
#include "desktop/MainFrame.h"
#include "desktop/OptionsDialog.h"
#include "desktop/Startup.h"
#include "engine/PaginationFile.h"
#include "pawk/PawkWriter.h"
#include "support/DesktopFixture.h"
#include "support/QtPng.h"
#include "support/fixtures.h"
#include "view/ContentsDialog.h"
#include "view/FontPreviewCombo.h"
#include "view/LayoutDialog.h"
#include "view/PropertiesDialog.h"

namespace wickstand {
namespace {
using namespace pagewick;
using pagewick::test::TempDir;
using pwview::COptions2Dlg;
using pwview::CPropertiesDlg;
using pwview::CTOCDialog;
using pwview::ProgressPercent;
namespace fs = std::filesystem;

TEST(StartUp, CommandLineKeepsThePathAndActionsNeedTheWholeWord) {
    StartRequest r = ParseCommandLine({"/home/Ann/Dune.PaWK"});
    EXPECT_EQ(r.bookPath, "/home/Ann/Dune.PaWK");
    EXPECT_EQ(r.bookTitle, "Dune");
    EXPECT_EQ(r.action, StartAction::Run);
    r = ParseCommandLine({"/home/Ann/regserver-notes.txt"});
    EXPECT_EQ(r.action, StartAction::Run);
    EXPECT_EQ(r.bookPath, "/home/Ann/regserver-notes.txt");
    EXPECT_EQ(ParseCommandLine({"RegServer"}).action, StartAction::RegServer);
    EXPECT_EQ(ParseCommandLine({"installpocketpc"}).action, StartAction::InstallPocketPc);
    EXPECT_EQ(ParseCommandLine({"installsmartphone"}).action, StartAction::InstallSmartphone);
    EXPECT_EQ(ParseCommandLine({"a.txt", "b.htm"}).bookPath, "b.htm");

    TempDir dir;
    DesktopHost host(dir / "Pagewick.conf");
    host.SetSetting(kRegistrySection, "LastBook", "/books/Last.txt");
    host.SetSetting(kRegistrySection, "LastBookTitle", "Last");
    EXPECT_TRUE(ChooseFirstBook(StartRequest{}, host).path.empty());  // AutoOpen absent
    host.SetSetting(kRegistrySection, "AutoOpen", "1");
    PendingBook last = ChooseFirstBook(StartRequest{}, host);
    EXPECT_EQ(last.path, "/books/Last.txt");
    EXPECT_TRUE(last.autoOpen);
    EXPECT_EQ(ChooseFirstBook(ParseCommandLine({"/x/Given.txt"}), host).path, "/x/Given.txt");
}

TEST(StartUp, CopyIntoLibraryComparesResolvedPathsAndNeverLosesABook) {
    TempDir dir;
    setenv("XDG_DOCUMENTS_DIR", (dir / "docs").c_str(), 1);
    DesktopHost host(dir / "Pagewick.conf");
    fs::create_directories(dir / "docs" / "My eBooks");
    fs::create_directories(dir / "elsewhere");
    test::WriteFileText(dir / "docs" / "My eBooks" / "Book.txt", "the library's own book");
    // The same book by a link from outside: opened in place, never deleted.
    fs::create_directory_symlink(dir / "docs", dir / "link");
    std::string viaLink = (dir / "link" / "My eBooks" / "Book.txt").string();
    EXPECT_EQ(CopyIntoLibrary(viaLink, host), viaLink);
    EXPECT_EQ(test::ReadFileText(dir / "docs" / "My eBooks" / "Book.txt"),
              "the library's own book");
    // A different book of the same name: asked, and No keeps both.
    test::WriteFileText(dir / "elsewhere" / "Book.txt", "another book");
    host.answerer = [](const std::string&, MessageButtons) { return MessageAnswer::No; };
    std::string other = (dir / "elsewhere" / "Book.txt").string();
    EXPECT_EQ(CopyIntoLibrary(other, host), other);
    EXPECT_EQ(host.messagesShown.size(), 1u);
    EXPECT_EQ(test::ReadFileText(dir / "docs" / "My eBooks" / "Book.txt"),
              "the library's own book");
    host.answerer = [](const std::string&, MessageButtons) { return MessageAnswer::Yes; };
    EXPECT_EQ(CopyIntoLibrary(other, host), (dir / "docs" / "My eBooks" / "Book.txt").string());
    EXPECT_EQ(test::ReadFileText(dir / "docs" / "My eBooks" / "Book.txt"), "another book");
    EXPECT_TRUE(fs::exists(other));
    EXPECT_FALSE(fs::exists(dir / "docs" / "My eBooks" / "Book.txt.copying"));
}

TEST(StartUp, AssociationFilesInTheDataFolder) {
    TempDir dir;
    setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    ASSERT_TRUE(RegisterPawkType("/opt/my programs/wickstand"));
    std::string xml = test::ReadFileText(dir / "mime" / "packages" / "pagewick-pawk.xml");
    EXPECT_NE(xml.find("type=\"application/x-pawk\""), std::string::npos);
    EXPECT_NE(xml.find("pattern=\"*.pawk\""), std::string::npos);
    EXPECT_NE(xml.find("pattern=\"*.PaWK\""), std::string::npos);
    EXPECT_NE(xml.find("value=\"KPW-PAWK\""), std::string::npos);
    ASSERT_TRUE(RegisterLitType("/opt/my programs/wickstand"));
    ASSERT_TRUE(RegisterPawkType("/opt/my programs/wickstand"));
    std::string entry = test::ReadFileText(dir / "applications" / "wickstand.desktop");
    EXPECT_NE(entry.find("Exec=\"/opt/my programs/wickstand\" %f\n"), std::string::npos);
    EXPECT_NE(entry.find("MimeType=application/x-lit;application/x-pawk;"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "mime" / "packages" / "pagewick-lit.xml"));

    // Registering again at the next start leaves files that already say it alone.
    const fs::path desktop = dir / "applications" / "wickstand.desktop";
    const auto before = fs::last_write_time(desktop);
    fs::last_write_time(desktop, before - std::chrono::hours(1));
    ASSERT_TRUE(RegisterLitType("/opt/my programs/wickstand"));
    ASSERT_TRUE(RegisterPawkType("/opt/my programs/wickstand"));
    EXPECT_EQ(fs::last_write_time(desktop), before - std::chrono::hours(1));
}

// A reader over a long book in the documents folder (so it is opened in place).
struct Reader : DesktopReader {
    Reader()
        : DesktopReader([](const fs::path& eBooks) {
              std::string book = (eBooks / "Long.htm").string();
              std::string html = "<html><body><p><a href=\"#far\">Jump far</a></p>";
              for (int i = 0; i < 1500; ++i)
                  html += "<p>Paragraph " + std::to_string(i) +
                          " of the long book, with words enough to fill a line or two.</p>";
              html += "<p><a name=\"far\">Far away</a> is here.</p></body></html>";
              test::WriteFileText(book, html);
              return book;
          }) {}
};

TEST(ReadingView, PagesByKeysWheelBarBookmarksLinksAndFont) {
    Reader r;
    r.View().SetPendingBook(PendingBook{r.book, "Long", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    r.Paint();
    EXPECT_EQ(r.View().SizeClass(), SizeClassFor(r.View().width(), r.View().height()));
    EXPECT_EQ(r.Doc().CurrentPage, 0);

    // The first page shows text: a grab is not one colour. Saved to look at.
    QImage shot = r.frame->grab().toImage();
    shot.save(QStringLiteral("wickstand-main-window.png"));
    QRect page(r.View().mapTo(r.frame.get(), r.View().PageOrigin()), r.View().PageRect().size());
    QImage pageImage = shot.copy(page);
    std::set<QRgb> colours;
    for (int y = 0; y < pageImage.height(); y += 3)
        for (int x = 0; x < pageImage.width(); x += 3)
            colours.insert(pageImage.pixel(x, y));
    EXPECT_GT(colours.size(), 2u);

    r.Key(Qt::Key_PageDown);
    r.Key(Qt::Key_Down);
    r.Key(Qt::Key_Space);
    EXPECT_EQ(r.Doc().CurrentPage, 3);
    r.Key(Qt::Key_Up);
    r.Key(Qt::Key_Left);
    EXPECT_EQ(r.Doc().CurrentPage, 1);
    QWheelEvent towards(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, -120), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&r.View(), &towards);
    r.Paint();
    EXPECT_EQ(r.Doc().CurrentPage, 2);

    // A bookmark set here and gone to from elsewhere; an unset one says so and stays.
    r.frame->OnCommand(ID_SET_BOOKMARK1);
    r.frame->OnCommand(ID_FIRST_PAGE);
    r.Paint();
    EXPECT_EQ(r.Doc().CurrentPage, 0);
    r.frame->OnCommand(ID_GOTO_BOOKMARK1 + 1);
    EXPECT_EQ(r.host->messagesShown.back(), "Bookmark not set.");
    r.frame->OnCommand(ID_GOTO_BOOKMARK1);
    r.Paint();
    EXPECT_EQ(r.Doc().CurrentPage, 2);

    // The position bar: a click at its middle goes near half the book.
    QRect bar = r.View().PositionBarRect();
    QPoint middle = r.View().PageOrigin() + QPoint(bar.center().x(), bar.center().y());
    QTest::mouseClick(&r.View(), Qt::LeftButton, Qt::NoModifier, middle);
    r.Paint();
    int32_t start = r.Doc().PageStarts[size_t(r.Doc().CurrentPage)];
    EXPECT_NEAR(double(start) / r.Doc().CharCount(), 0.5, 0.05);

    // Larger Font keeps the reading position: the new page holds the old page's start.
    int size = r.View().Settings().fontSize;
    r.frame->OnCommand(ID_LARGER_FONT);
    r.Paint();
    EXPECT_EQ(r.View().Settings().fontSize, size + 1);
    int32_t now = r.Doc().PageStarts[size_t(r.Doc().CurrentPage)];
    int32_t after = r.Doc().CurrentPage + 1 < int32_t(r.Doc().PageStarts.size())
                        ? r.Doc().PageStarts[size_t(r.Doc().CurrentPage + 1)]
                        : INT32_MAX;
    EXPECT_LE(now, start) << r.Doc().CurrentPage << " of " << r.Doc().PageStarts.size();
    EXPECT_GT(after, start);
    EXPECT_EQ(DisplaySettings::Load(r.dir / "Wickstand.cfg").fontSize, size + 1);

    // A link clicked on the first page and the return from it.
    r.frame->OnCommand(ID_FIRST_PAGE);
    r.Paint();
    const LinkRecord* link = nullptr;
    for (const LinkRecord& l : r.View().PageLinks())
        if (l.rectValid) link = &l;
    ASSERT_NE(link, nullptr);
    QPoint at = r.View().PageOrigin() + QPoint((link->hit.left + link->hit.right) / 2,
                                               (link->hit.top + link->hit.bottom) / 2);
    QTest::mouseClick(&r.View(), Qt::LeftButton, Qt::NoModifier, at);
    r.Paint();
    EXPECT_GT(r.Doc().CurrentPage, 10);
    r.frame->OnCommand(ID_RETURN_FROM_LINK);
    r.Paint();
    EXPECT_EQ(r.Doc().CurrentPage, 0);

    // The place is kept when the window closes and restored when it opens again.
    r.frame->OnCommand(ID_GOTO_75);
    r.Paint();
    int32_t place = r.Doc().CurrentPage;
    r.Restart();
    r.View().SetPendingBook(PendingBook{r.book, "Long", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    r.Paint();
    EXPECT_EQ(r.Doc().CurrentPage, place);
}

TEST(ReadingView, ClearTypeSmoothsThePageAndKeepsItsPages) {
    Reader r;
    r.View().SetPendingBook(PendingBook{r.book, "Long", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    r.frame->OnCommand(ID_GOTO_50);
    r.Paint();
    auto fringes = [&r] {
        QImage shot = r.View().grab().toImage();
        QRect text(r.View().PageOrigin(), QSize(r.View().PageRect().width(), r.Doc().BottomLimit));
        int count = 0;
        for (int y = text.top(); y < text.bottom(); ++y)
            for (int x = text.left(); x < text.right(); ++x) {
                QColor c = shot.pixelColor(x, y);
                count += c.red() != c.green() || c.green() != c.blue();
            }
        return count;
    };
    const int plain = fringes();
    const int32_t start = r.Doc().PageStarts[size_t(r.Doc().CurrentPage)];
    const std::vector<int32_t> widths = r.Doc().Widths;
    // The setting as the Options dialog hands it back: colour stripes, the same place and widths.
    r.View().Settings().clearType = 1;
    r.View().ApplySettings();
    r.Paint();
    EXPECT_GT(fringes(), plain + 500);
    EXPECT_TRUE(r.Doc().ReadingFonts[0].clearType);
    EXPECT_EQ(r.Doc().Widths, widths);
    EXPECT_EQ(r.Doc().PageStarts[size_t(r.Doc().CurrentPage)], start);
}

TEST(ReadingView, AutomaticScrollingSpeedKeysAndBanner) {
    Reader r;
    r.View().Settings().autoScroll = 1;
    r.View().SetPendingBook(PendingBook{r.book, "Long", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    r.Paint();
    EXPECT_TRUE(r.View().Paused());
    EXPECT_FALSE(r.View().TimerRunning());  // nothing ticks while nothing scrolls
    r.Key(Qt::Key_Space);
    EXPECT_FALSE(r.View().Paused());
    EXPECT_TRUE(r.View().IdleInhibited());
    EXPECT_TRUE(r.View().TimerRunning());
    for (int i = 0; i < 51; ++i)
        r.Key(Qt::Key_Left);
    EXPECT_EQ(r.View().ScrollDelay(), 100);
    EXPECT_EQ(r.View().BannerPaints(), 5 - 1);
    for (int i = 0; i < 120; ++i)
        QTest::keyClick(&r.View(), Qt::Key_Right);
    EXPECT_EQ(r.View().ScrollDelay(), 0);
    EXPECT_EQ(r.Doc().CurrentPage, 0);  // the arrows changed the speed, not the page
    for (int i = 0; i < r.View().PageRect().height() / 2; ++i)
        r.View().ScrollTick();
    EXPECT_EQ(r.Doc().CurrentPage, 1);
    r.Key(Qt::Key_Return);
    EXPECT_TRUE(r.View().Paused());
    EXPECT_FALSE(r.View().IdleInhibited());
    EXPECT_FALSE(r.View().TimerRunning());
}

// "Start with Last Opened eBook" brings back a member of an archive, at its page; the last book
// the handheld reader keeps in its own section is never Wickstand's.
TEST(StartUp, TheLastBookIsTheProgramsOwnAndMayBeAnArchiveMember) {
    Reader r;
    const std::string archive = (r.dir / "docs" / "My eBooks" / "Shelf.zip").string();
    std::string story;
    for (int i = 0; i < 3000; ++i)
        story += "Line " + std::to_string(i) + " of the story in the archive.\n";
    int error = 0;
    zip_t* z = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(z, nullptr);
    zip_file_add(z, "in/Story.txt", zip_source_buffer(z, story.data(), story.size(), 0), 0);
    ASSERT_EQ(zip_close(z), 0);
    r.host->SetSetting(kRegistrySection, "AutoOpen", "1");
    r.host->SetSetting(kHandheldSection, "AutoOpen", "1");
    r.host->SetSetting(kHandheldSection, "LastBook", r.book);
    ASSERT_TRUE(
        r.View().OpenEntry(LibraryEntry{kLibraryZipMember, archive, "in/Story.txt", "", ""}));
    r.Paint();
    for (int i = 0; i < 3; ++i)
        r.Key(Qt::Key_PageDown);
    ASSERT_EQ(r.Doc().CurrentPage, 3);
    r.Restart();
    r.View().SetPendingBook(ChooseFirstBook(StartRequest{}, *r.host));
    ASSERT_TRUE(r.View().OpenFirstBook());
    r.Paint();
    EXPECT_EQ(r.Doc().BookPath, archive);
    EXPECT_EQ(r.Doc().MemberName, "in/Story.txt");
    EXPECT_EQ(r.Doc().CurrentPage, 3);
    EXPECT_EQ(r.host->GetSetting(kHandheldSection, "LastBook"), r.book);
}

TEST(ReadingView, StartsWithNoBookOnTheLibraryAndSurvivesBadBooks) {
    Reader r;
    // No book pending: the Library. Choosing the book opens it.
    OnNextModal([](QDialog& d) {
        auto& lib = static_cast<CSelectDlg&>(d);
        lib.WaitForScan();
        for (int row = 0; row < lib.list->count(); ++row) {
            int index = lib.list->item(row)->data(Qt::UserRole).toInt();
            if (index >= 0 && lib.Entries()[size_t(index)].path.ends_with("Long.htm")) {
                lib.ActivateRow(row);
                return;
            }
        }
        ADD_FAILURE() << "the book is not listed";
        lib.reject();
    });
    ASSERT_TRUE(r.View().OpenFirstBook());
    EXPECT_EQ(fs::path(r.Doc().BookPath).filename(), "Long.htm");

    // A book that cannot be read: its message, and the window stays usable.
    std::string bad = (r.dir / "docs" / "Bad.txt").string();
    test::WriteFileText(bad, "");
    r.View().OpenPath((r.dir / "docs" / "Missing.txt").string());
    EXPECT_FALSE(r.View().HasBook());
    r.Paint();
    r.Key(Qt::Key_PageDown);
    r.frame->OnCommand(ID_LARGER_FONT);
    EXPECT_FALSE(r.host->messagesShown.empty());

    // Cancelling the Library at start with nothing chosen: about box, then the window closes.
    Reader cancelled;
    bool about = false, closing = false;
    QObject::connect(&cancelled.View(), &CChildView::aboutRequested, [&] { about = true; });
    QObject::connect(&cancelled.View(), &CChildView::closeRequested, [&] { closing = true; });
    OnNextModal<CSelectDlg>([](QDialog& d) {
        d.reject();
        OnNextModal<CAboutDlg>([](QDialog& about) { about.accept(); });
    });
    EXPECT_FALSE(cancelled.View().OpenFirstBook());
    EXPECT_TRUE(about && closing);

    // No book anywhere: the Library gives way to "No eBooks" by itself, then the about box.
    Reader empty;
    fs::remove(empty.book);
    about = closing = false;
    QObject::connect(&empty.View(), &CChildView::aboutRequested, [&] { about = true; });
    QObject::connect(&empty.View(), &CChildView::closeRequested, [&] { closing = true; });
    ModalCloser<CAboutDlg> aboutBox([](CAboutDlg& d) { d.accept(); });
    EXPECT_FALSE(empty.View().OpenFirstBook());
    EXPECT_EQ(aboutBox.seen, 1);
    ASSERT_FALSE(empty.host->messagesShown.empty());
    EXPECT_TRUE(empty.host->messagesShown.back().starts_with("No .txt, .lit or .zip"));
    EXPECT_TRUE(about && closing);
}

// A PAWK book with a real cover picture and two chapters in the documents folder.
std::string WritePawkBook(const fs::path& folder) {
    const std::vector<uint8_t> png = test::SolidPng(60, 80, Qt::darkBlue);
    EXPECT_FALSE(png.empty());
    PawkWriter w;
    w.title = "Chapters";
    w.author =
        "Ann \xe9"
        "crit";
    w.publisher = "Ambervale";
    w.rights = "(c) 2026";
    w.identifier = "ISBN 0-00";
    std::string one = "<p>Chapter one.</p>",
                two = "<a name=\"two\"></a><p>Chapter two.</p><p><img src=\"cover.png\"></p>";
    for (int i = 0; i < 400; ++i)
        one += "<p>Line " + std::to_string(i) + " of the first chapter, long enough to wrap.</p>";
    w.files.push_back({"cover.png", {}, png});
    w.files.push_back({"one.htm", {}, std::vector<uint8_t>(one.begin(), one.end())});
    w.files.push_back({"two.htm", {}, std::vector<uint8_t>(two.begin(), two.end())});
    w.contents = {{0, "One", "one.htm#"}, {0, "Two", "two.htm#two"}};
    fs::path path = folder / "Chapters.pawk";
    EXPECT_TRUE(w.Write(path));
    return path.string();
}

TEST(ReadingView, CoverShownOnceAndContentsChosenAndReturnedFrom) {
    Reader r;
    std::string book = WritePawkBook(r.dir / "docs" / "My eBooks");
    r.View().SetPendingBook(PendingBook{book, "Chapters", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    r.Paint();
    // The cover is over the first page; a page turn closes it and stays on the page.
    EXPECT_TRUE(r.View().PictureShown());
    QImage shot = r.View().grab().toImage();
    EXPECT_EQ(shot.pixel(r.View().PageOrigin() + QPoint(100, 100)), QColor(Qt::darkBlue).rgb());
    r.Key(Qt::Key_PageDown);
    EXPECT_FALSE(r.View().PictureShown());
    EXPECT_EQ(r.Doc().CurrentPage, 0);
    r.Key(Qt::Key_PageDown);
    EXPECT_EQ(r.Doc().CurrentPage, 1);
    EXPECT_FALSE(r.View().PictureShown());

    // eBook Properties shows the header's details, the author turned into UTF-8.
    OnNextModal<CPropertiesDlg>([](QDialog& d) {
        auto& props = static_cast<CPropertiesDlg&>(d);
        EXPECT_EQ(props.author->text(), QString::fromUtf8("Ann \xc3\xa9"
                                                          "crit"));
        EXPECT_EQ(props.publisher->text(), "Ambervale");
        EXPECT_EQ(props.copyright->text(), "(c) 2026");
        EXPECT_EQ(props.identifier->text(), "ISBN 0-00");
        d.reject();
    });
    r.frame->OnCommand(ID_ABOUT_EBOOK);

    // Contents: Cancel stays; a chapter chosen jumps to it and Return from Link comes back.
    OnNextModal<CTOCDialog>([](QDialog& d) { d.reject(); });
    r.frame->OnCommand(ID_CONTENTS);
    EXPECT_EQ(r.Doc().CurrentPage, 1);
    QString shownTitle;
    OnNextModal<CTOCDialog>([&](QDialog& d) {
        auto& toc = static_cast<CTOCDialog&>(d);
        ASSERT_EQ(toc.list->count(), 3);  // the cover, One, Two
        toc.list->setCurrentRow(2);
        shownTitle = toc.title->text();
        toc.accept();
    });
    r.frame->OnCommand(ID_CONTENTS);
    r.Paint();
    EXPECT_EQ(shownTitle, "Two");
    EXPECT_GT(r.Doc().CurrentPage, 5);
    // A click on the picture drawn on the page shows it over the page; a page turn closes it.
    const auto& hits = r.View().PageLinks();
    auto picture = std::find_if(hits.begin(), hits.end(),
                                [](const LinkRecord& h) { return h.target == "cover.png"; });
    ASSERT_NE(picture, hits.end());
    QPoint inside = r.View().PageOrigin() +
                    QPoint((picture->hit.left + picture->hit.right) / 2, picture->hit.top + 5);
    QTest::mouseClick(&r.View(), Qt::LeftButton, Qt::NoModifier, inside);
    EXPECT_TRUE(r.View().PictureShown());
    const int32_t chapterPage = r.Doc().CurrentPage;
    r.Key(Qt::Key_PageDown);
    EXPECT_FALSE(r.View().PictureShown());
    EXPECT_EQ(r.Doc().CurrentPage, chapterPage);
    EXPECT_EQ(r.View().LinkReturnPage(), 1);
    r.frame->OnCommand(ID_RETURN_FROM_LINK);
    r.Paint();
    EXPECT_EQ(r.Doc().CurrentPage, 1);

    // The cover's row shows the picture again, over the same page.
    OnNextModal<CTOCDialog>([](QDialog& d) {
        static_cast<CTOCDialog&>(d).list->setCurrentRow(0);
        d.accept();
    });
    r.frame->OnCommand(ID_CONTENTS);
    EXPECT_TRUE(r.View().PictureShown());
    EXPECT_EQ(r.Doc().CurrentPage, 1);
}

TEST(Dialogs, OptionsTypographyIsClickedTypedAndKeptInTheSettingsStore) {
    Reader r;
    r.View().SetPendingBook(PendingBook{r.book, "Long", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    EXPECT_TRUE(r.Doc().Hyphenate);  // justified by default, so hyphenated
    EXPECT_TRUE(r.Doc().KeepLinesTogether);
    const uint32_t before = r.Doc().LayoutSignature;
    bool refused = false;
    OnNextModal([&](QDialog& d) {
        auto& options = static_cast<COptions1Dlg&>(d);
        QPushButton* ok = d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        QTest::mouseClick(options.keepLines, Qt::LeftButton);
        options.minRight->selectAll();
        QTest::keyClicks(options.minRight, "4");
        // A language that is no tag is refused, and the dialog stays.
        QTest::keyClicks(options.language, "fr ch!");
        QTest::mouseClick(ok, Qt::LeftButton);
        refused = d.isVisible();
        options.language->clear();
        QTest::keyClicks(options.language, "fr-CH");
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    r.frame->OnCommand(ID_DISPLAY_OPTIONS);
    EXPECT_TRUE(refused);
    EXPECT_FALSE(r.Doc().KeepLinesTogether);
    EXPECT_EQ(r.Doc().HyphenLimits.minRight, 4);
    EXPECT_EQ(r.Doc().HyphenationLanguage, "fr-CH");
    EXPECT_NE(r.Doc().LayoutSignature, before) << "pages are measured again";
    EXPECT_EQ(r.host->GetSetting(kRegistrySection, "KeepLinesTogether"), "0");
    EXPECT_EQ(r.host->GetSetting(kRegistrySection, "HyphenationLanguage"), "fr-CH");
    // The next start reads them back; a damaged value keeps its default.
    r.host->SetSetting(kRegistrySection, "HyphenMinWord", "-3");
    DisplaySettings again;
    again.LoadTypography(*r.host);
    EXPECT_EQ(again.keepLinesTogether, 0);
    EXPECT_EQ(again.hyphenMinRight, 4);
    EXPECT_EQ(again.hyphenMinWord, 6);
    EXPECT_NE(again.LayoutSignature(), DisplaySettings().LayoutSignature());
}

TEST(Dialogs, OptionsChainOkAndCancel) {
    Reader r;
    r.View().SetPendingBook(PendingBook{r.book, "Long", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    // Layout accepted inside Options, then Options cancelled: nothing changes.
    OnNextModal([](QDialog& d) {
        auto& options = static_cast<COptions1Dlg&>(d);
        options.beforeInner = [](QDialog& inner) {
            QTimer::singleShot(0, [&inner] {
                static_cast<COptions2Dlg&>(inner).leading->setValue(9);
                inner.accept();
            });
        };
        options.layoutButton->click();
        EXPECT_EQ(options.settings.leading, 9);
        options.reject();
    });
    r.frame->OnCommand(ID_DISPLAY_OPTIONS);
    EXPECT_EQ(r.View().Settings().leading, 2);
    // Behavior cancelled keeps the values; Options OK applies the rest and writes AutoOpen.
    OnNextModal([](QDialog& d) {
        auto& options = static_cast<COptions1Dlg&>(d);
        options.beforeInner = [](QDialog& inner) {
            QTimer::singleShot(0, [&inner] {
                static_cast<COptionsDlg2&>(inner).autoOpenBox->setChecked(true);
                inner.reject();
            });
        };
        options.behaviorButton->click();
        options.fontSize->setValue(22);
        EXPECT_TRUE(options.tahoma->isChecked());
        options.courier->setChecked(true);
        options.accept();
    });
    r.frame->OnCommand(ID_DISPLAY_OPTIONS);
    EXPECT_EQ(r.View().Settings().fontSize, 22);
    EXPECT_EQ(r.View().Settings().fontStyle, 1);
    EXPECT_EQ(r.Doc().ReadingFonts[0].face, "Courier New");
    EXPECT_EQ(r.host->GetSetting(kRegistrySection, "AutoOpen"), "0");
    EXPECT_EQ(DisplaySettings::Load(r.dir / "Wickstand.cfg").fontSize, 22);

    // A face chosen in the combo (back on the proportional style) becomes the reading font and
    // is written with the settings.
    std::string chosen;
    OnNextModal([&](QDialog& d) {
        auto& options = static_cast<COptions1Dlg&>(d);
        EXPECT_EQ(options.face->currentText(), "Arial");
        ASSERT_GT(options.face->count(), 1);
        options.face->showPopup();  // the list opens wide enough for name and sample
        QApplication::processEvents();
        EXPECT_GT(options.face->view()->width(),
                  options.face->NameWidth() + options.face->SampleWidth());
        options.face->hidePopup();
        int other = options.face->currentIndex() == 0 ? 1 : 0;
        options.face->setCurrentIndex(other);
        chosen = options.face->currentText().toStdString();
        options.tahoma->setChecked(true);
        options.accept();
    });
    r.frame->OnCommand(ID_DISPLAY_OPTIONS);
    EXPECT_EQ(r.Doc().ReadingFonts[0].face, chosen);
    EXPECT_EQ(DisplaySettings::Load(r.dir / "Wickstand.cfg").faceName, chosen);

    // eBook Properties: the percentage in 64 bits, Cancel changes nothing, Repaginate keeps
    // the place.
    EXPECT_EQ(ProgressPercent(30'000'000, 40'000'000), 75);
    r.frame->OnCommand(ID_GOTO_50);
    int32_t start = r.Doc().PageStarts[size_t(r.Doc().CurrentPage)];
    OnNextModal([](QDialog& d) {
        EXPECT_EQ(static_cast<CPropertiesDlg&>(d).percent / 10, 4);
        d.reject();
    });
    r.frame->OnCommand(ID_ABOUT_EBOOK);
    OnNextModal([](QDialog& d) {
        static_cast<CPropertiesDlg&>(d).repaginateBox->setChecked(true);
        d.accept();
    });
    r.frame->OnCommand(ID_ABOUT_EBOOK);
    EXPECT_NE(r.Doc().LastPage, kLastPageUnknown);
    EXPECT_LE(r.Doc().PageStarts[size_t(r.Doc().CurrentPage)], start);
}

TEST(Dialogs, PropertiesOfALitBookFromItsPackage) {
    Reader r;
    fs::path book = r.dir / "docs" / "My eBooks" / "almanac.lit";
    fs::copy_file(test::FixturesDir() / "lit" / "almanac.lit", book);
    r.View().SetPendingBook(PendingBook{book.string(), "", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    // The package's Windows-1252 bytes come out as UTF-8 (the copyright sign).
    OnNextModal<CPropertiesDlg>([](QDialog& d) {
        auto& props = static_cast<CPropertiesDlg&>(d);
        EXPECT_EQ(props.author->text(), "Ione Marsh");
        EXPECT_EQ(props.publisher->text(), "Harbourside Press");
        EXPECT_EQ(props.copyright->text(),
                  QString::fromUtf8("Copyright \xc2\xa9 2024 Harbourside Press. Free to copy "
                                    "for testing."));
        EXPECT_EQ(props.identifier->text(), "9780306406157");
        d.reject();
    });
    r.frame->OnCommand(ID_ABOUT_EBOOK);
    // A plain book opened next carries none of them.
    r.View().SetPendingBook(PendingBook{r.book, "Long", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    EXPECT_EQ(r.Doc().BookAuthor, "");
    EXPECT_EQ(r.Doc().BookRights, "");
}

// A book's long copyright line folds onto more lines: eBook Properties stays within the screen.
TEST(Dialogs, PropertiesFoldALongCopyrightWithinTheScreen) {
    Reader r;
    fs::path book = r.dir / "docs" / "My eBooks" / "gpl3-chapters.epub";
    fs::copy_file(test::FixturesDir() / "epub" / "gpl3-chapters.epub", book);
    r.View().SetPendingBook(PendingBook{book.string(), "", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    ASSERT_GT(r.Doc().BookRights.size(), 90u);
    OnNextModal<CPropertiesDlg>([](QDialog& d) {
        auto& props = static_cast<CPropertiesDlg&>(d);
        EXPECT_EQ(props.copyright->text().toStdString().substr(0, 22), "Everyone is permitted ");
        EXPECT_GT(props.copyright->height(), 2 * props.copyright->fontMetrics().height());
        EXPECT_LE(d.frameGeometry().width(), d.screen()->availableGeometry().width());
        for (QPushButton* button : d.findChildren<QPushButton*>())
            if (button->text() == "Cancel") QTest::mouseClick(button, Qt::LeftButton);
    });
    // The toolbar's "About the eBook", clicked.
    auto* bar = r.frame->findChild<QToolBar*>(QStringLiteral("Toolbar"));
    ASSERT_NE(bar, nullptr);
    QTest::mouseClick(bar->widgetForAction(r.frame->Action(ID_ABOUT_EBOOK)), Qt::LeftButton);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // Cancel closed it
}

TEST(ReadingView, BookDeletedWhileOpenSaysSoOnce) {
    Reader r;
    r.View().SetPendingBook(PendingBook{r.book, "Long", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    r.Paint();
    fs::remove(r.book);
    // The next window cannot be read: one message, the Library once, and the window still
    // answers every command.
    const size_t before = r.host->messagesShown.size();
    r.frame->OnCommand(ID_LAST_PAGE);
    for (int i = 0; i < 5; ++i) {
        r.Key(Qt::Key_PageUp);
        r.Key(Qt::Key_PageDown);
    }
    QTest::qWait(50);
    r.Paint();
    // Said once; the Library that follows has nothing left to list, so it says "No eBooks".
    const std::vector<std::string> said(r.host->messagesShown.begin() + long(before),
                                        r.host->messagesShown.end());
    EXPECT_EQ(std::count(said.begin(), said.end(), "Cannot open ebook file."), 1);
    ASSERT_EQ(said.size(), 2u);
    EXPECT_TRUE(said[1].starts_with("No .txt, .lit or .zip"));
    r.frame->OnCommand(ID_LARGER_FONT);
    // Its place is not written back beside a book that has gone.
    r.frame->close();
    r.frame.reset();
    EXPECT_FALSE(fs::exists(PaginationFilePath(r.book)));
}

TEST(Dialogs, LibraryDeleteAndRepairOfTheOpenBook) {
    Reader r;
    std::string other = (r.dir / "docs" / "My eBooks" / "Other.txt").string();
    test::WriteFileText(other, "Another book.");
    r.View().SetPendingBook(PendingBook{r.book, "Long", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    r.Key(Qt::Key_PageDown);
    r.host->SetSetting(kRegistrySection, "LastBook", other);
    std::string pwk = PaginationFilePath(r.book);

    // Repair of the open book: its pagination file goes and is not written back.
    r.View().CloseBookSavingPlace();
    ASSERT_TRUE(fs::exists(pwk));
    r.View().OpenPath(r.book);
    r.host->SetSetting(kRegistrySection, "LastBook", other);
    LibraryEntry entry{kLibraryHtml, r.book, "", "Long", "My eBooks/"};
    ASSERT_TRUE(r.View().DeleteOrRepair(entry, true, false));
    EXPECT_TRUE(fs::exists(r.book));
    r.View().CloseBookSavingPlace();
    EXPECT_EQ(r.Doc().CurrentPage, 0);

    // Delete from eBook Properties, Cancel first: nothing goes.
    r.View().OpenPath(r.book);
    r.host->SetSetting(kRegistrySection, "LastBook", other);
    r.host->answerer = [](const std::string&, MessageButtons) { return MessageAnswer::Cancel; };
    EXPECT_FALSE(r.View().DeleteOrRepair(entry, false, true));
    EXPECT_TRUE(fs::exists(r.book));
    // OK: the book and its files go; "LastBook" naming another book stays. The Library follows.
    r.host->answerer = [](const std::string&, MessageButtons) { return MessageAnswer::Ok; };
    {
        ModalCloser<CSelectDlg> library([](CSelectDlg& d) { d.reject(); });
        EXPECT_TRUE(r.View().DeleteOrRepair(entry, false, true));
        EXPECT_FALSE(fs::exists(r.book));
        EXPECT_FALSE(fs::exists(pwk));
        EXPECT_EQ(r.host->GetSetting(kRegistrySection, "LastBook"), other);
        QTest::qWait(100);
        EXPECT_EQ(library.seen, 1);
    }
    r.View().CloseBookSavingPlace();
    EXPECT_FALSE(fs::exists(pwk));

    // The Library: a folder item disables the button and shows the filter; Delete eBook with
    // Repair closes it with a rescan request.
    CSelectDlg lib({}, (r.dir / "docs" / "My eBooks").string(), true, true,
                   [&](const LibraryEntry& e, bool repair) {
                       return r.View().DeleteOrRepair(e, repair, false);
                   });
    lib.WaitForScan();
    ASSERT_EQ(lib.Entries().size(), 1u);
    lib.SelectRow(0);
    EXPECT_TRUE(lib.info->text().startsWith(QStringLiteral("Filter: ")));
    EXPECT_FALSE(lib.deleteButton->isEnabled());
    lib.SelectRow(1);
    EXPECT_TRUE(lib.deleteButton->isEnabled());
    OnNextModal([](QDialog& d) { d.accept(); });  // "Repair book pagination file."
    lib.deleteButton->click();
    EXPECT_TRUE(lib.rescan);
    EXPECT_TRUE(fs::exists(other));
}

TEST(MainFrame, PlacementRestoredAndDamagedOnesShownOnAScreen) {
    Reader r;
    r.frame->showNormal();
    r.frame->setGeometry(40, 50, 640, 700);
    QApplication::processEvents();
    r.frame->close();
    std::string stored = r.host->GetSetting(kProfileSection, "WindowPos");
    WindowPlacement p;
    ASSERT_TRUE(WindowPlacement::Parse(stored, p));
    EXPECT_EQ(p.showCommand, 1u);
    auto frame = std::make_unique<CMainFrame>(*r.host, r.dir / "Wickstand.cfg");
    frame->ShowAtStoredPlacement();
    EXPECT_EQ(frame->geometry().size(), QSize(640, 700));
    EXPECT_TRUE(frame->isVisible());
    frame.reset();
    // Show command 0 and a rectangle off every screen: shown, on a screen.
    r.host->SetSetting(kProfileSection, "WindowPos", "0,0,0,0,0,0,90000,90000,90640,90700");
    frame = std::make_unique<CMainFrame>(*r.host, r.dir / "Wickstand.cfg");
    frame->ShowAtStoredPlacement();
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(
        QGuiApplication::primaryScreen()->availableGeometry().intersects(frame->geometry()));
    // The menus carry the commands by their identifiers and texts.
    EXPECT_EQ(frame->Action(ID_LIBRARY)->text(), QStringLiteral("eBook &Library"));
    EXPECT_EQ(frame->Action(ID_APP_ABOUT)->text(), QStringLiteral("&About Reader..."));
    QString asked;
    OnNextModal([&asked](QDialog& d) {
        asked = d.windowTitle();
        d.reject();
    });
    frame->OnCommand(ID_INSTALL_MOBILE);
    EXPECT_EQ(asked, QStringLiteral("Windows Mobile Install"));
}

}  // namespace
}  // namespace wickstand

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
