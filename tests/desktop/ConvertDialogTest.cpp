// The eBook builder's dialog and progress window, and "Send to Palm OS Device", on the offscreen
// platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include "desktop/ChildView.h"
#include "desktop/Commands.h"
#include "desktop/ConvertDialog.h"
#include "desktop/DesktopHost.h"
#include "desktop/MainFrame.h"
#include "desktop/ProgressWnd.h"
#include "pawk/PawkFile.h"
#include "pawk/PawkReader.h"
#include "support/DesktopFixture.h"
#include "support/ScriptedHost.h"
#include "support/fixtures.h"

namespace wickstand {
namespace {

using namespace pagewick;
using pagewick::test::TempDir;
namespace fs = std::filesystem;

struct Converter {
    TempDir dir;
    test::ScriptedHost host;
    CConvHTMLDlg dlg;
    std::vector<std::string> chosen;  // what the next file dialogs answer, in order
    Converter() : dlg(Prepare()) {
        dlg.chooseFile = [this](const QString&, const QString&, const QString&) {
            std::string next = chosen.empty() ? "" : chosen.front();
            if (!chosen.empty()) chosen.erase(chosen.begin());
            return next;
        };
    }
    test::ScriptedHost& Prepare() {
        host.Documents = (dir / "docs").string();
        host.Temp = (dir / "tmp").string();
        fs::create_directories(host.Temp);
        return host;
    }
    std::string File(const std::string& name, const std::string& text) {
        test::WriteFileText(dir / name, text);
        return (dir / name).string();
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const auto& p : dlg.Paths())
            out.push_back(fs::path(p).filename().string());
        return out;
    }
};

TEST(ConvertDialog, AddOrderRemoveCoverArtAndDrops) {
    Converter c;
    c.dlg.AddInitialFile(c.File("ch1.htm", "<p>one"));
    EXPECT_TRUE(fs::is_directory(c.dir / "docs" / "My eBooks"));
    c.chosen = {c.File("ch2.htm", "<p>two"), c.File("story.lit", "x"), ""};
    c.dlg.AddFile();
    c.dlg.AddFile();
    c.dlg.AddFile();
    EXPECT_EQ(c.Names(), (std::vector<std::string>{"ch1.htm", "ch2.htm"}));
    EXPECT_EQ(c.host.MessageTexts(),
              (std::vector<std::string>{"Sorry, cannot create compound eBook including LIT "
                                        "files.\r\nPlease choose this file as your first entry."}));
    EXPECT_EQ(c.dlg.list->topLevelItemCount(), 2);

    // Files dropped from the shell are appended in the order given, checked as Add File checks
    // them: a LIT book is refused.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(c.File("pic.gif", "g"))),
                  QUrl::fromLocalFile(QString::fromStdString(c.File("other.lit", "l")))});
    RDragDropFiles dropped(&data);
    EXPECT_EQ(dropped.Count(), 2u);
    c.dlg.DropFiles(dropped);
    EXPECT_EQ(dropped.NextFile(), "");
    EXPECT_EQ(c.Names(), (std::vector<std::string>{"ch1.htm", "ch2.htm", "pic.gif"}));
    EXPECT_EQ(c.host.MessageTexts().size(), 2u);
    EXPECT_EQ(c.host.MessageTexts().back(), c.host.MessageTexts().front());

    // Up keeps the mark on the row number; down follows the row.
    c.dlg.SelectRow(1);
    c.dlg.MoveUp();
    EXPECT_EQ(c.Names()[0], "ch2.htm");
    EXPECT_EQ(c.dlg.SelectedRow(), 1);
    c.dlg.SelectRow(0);
    c.dlg.MoveUp();
    EXPECT_EQ(c.Names()[0], "ch2.htm");
    c.dlg.MoveDown();
    EXPECT_EQ(c.Names()[1], "ch2.htm");
    EXPECT_EQ(c.dlg.SelectedRow(), 1);
    c.dlg.SelectRow(2);
    c.dlg.MoveDown();
    c.dlg.RemoveFile();
    EXPECT_EQ(c.Names(), (std::vector<std::string>{"ch1.htm", "ch2.htm"}));

    c.host.Messages.clear();
    c.chosen = {c.File("art.png", "p"), c.File("better.JPG", "j")};
    c.dlg.AddCoverArt();
    EXPECT_EQ(c.Names()[0], "art.png");
    c.dlg.AddCoverArt();
    EXPECT_EQ(c.Names(), (std::vector<std::string>{"better.JPG", "ch1.htm", "ch2.htm"}));
    EXPECT_EQ(c.host.MessageTexts(),
              (std::vector<std::string>{"Cover Art added.", "Cover Art updated."}));
}

// Drops the files on a widget as the shell does: enter, move, then drop.
bool DropOn(QWidget* target, const std::vector<std::string>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& p : paths)
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(p)));
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

TEST(ConvertDialog, DropsAreCheckedAsAddFileChecksAndAnErrorKeepsTheList) {
    // A host whose temporary folder fails in a way nothing expects.
    struct FailingHost : test::ScriptedHost {
        std::string TempFolder() override { throw std::runtime_error("the folder went away"); }
    } host;
    TempDir dir;
    host.Documents = (dir / "docs").string();
    auto file = [&](const std::string& name, const std::string& text) {
        test::WriteFileText(dir / name, text);
        return (dir / name).string();
    };
    CConvHTMLDlg dlg(host);
    dlg.AddInitialFile(file("one.htm", "<p>one"));
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    const std::string bad = file("bad.txt", std::string("a\0b", 3));
    ASSERT_TRUE(
        DropOn(dlg.list->viewport(), {file("two.htm", "<p>two"), file("other.lit", "ITOLITLS"),
                                      file("pic.webp", "RIFF"), bad, file("art.gif", "GIF89a")}));
    std::vector<std::string> names;
    for (int row = 0; row < dlg.list->topLevelItemCount(); ++row)
        names.push_back(fs::path(dlg.list->topLevelItem(row)->text(0).toStdString()).filename());
    EXPECT_EQ(names, (std::vector<std::string>{"one.htm", "two.htm", "art.gif"}));
    std::vector<std::string> texts = host.MessageTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0],
              "Sorry, cannot create compound eBook including LIT files.\r\nPlease choose this "
              "file as your first entry.");
    EXPECT_NE(texts[1].find("pic.webp"), std::string::npos);
    EXPECT_EQ(texts[2].rfind("Sorry, an eBook cannot include this file:\r\n" + bad, 0), 0u);

    // The build meets an error: it is shown, the program goes on, the dialog and list stay.
    host.Messages.clear();
    host.DefaultAnswer = MessageAnswer::Yes;
    QTest::keyClicks(dlg.titleBox, "Broken");
    QTest::mouseClick(dlg.buildButton, Qt::LeftButton);
    ASSERT_FALSE(host.MessageTexts().empty());
    EXPECT_EQ(host.MessageTexts().back(), "Error processing eBook.\r\nthe folder went away");
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Paths().size(), 3u);
    EXPECT_EQ(dlg.list->topLevelItemCount(), 3);
}

TEST(ConvertDialog, AJpegCoverArtIsTheCoverTheReaderShows) {
    DesktopReader reader([](const fs::path& shelf) {
        test::ScriptedHost host;
        host.Documents = shelf.parent_path().string();
        host.Temp = shelf.parent_path().string();
        host.DefaultAnswer = MessageAnswer::Yes;
        const fs::path source = shelf.parent_path() / "harbour.jpg";
        QImage picture(120, 160, QImage::Format_RGB32);
        picture.fill(QColor(20, 140, 40));
        EXPECT_TRUE(picture.save(QString::fromStdString(source.string()), "JPEG"));
        test::WriteFileText(shelf.parent_path() / "ch1.htm", "<p>The harbour at dawn.");
        CConvHTMLDlg dlg(host);
        dlg.chooseFile = [&](const QString&, const QString&, const QString&) {
            return source.string();
        };
        dlg.AddInitialFile((shelf.parent_path() / "ch1.htm").string());
        dlg.show();
        QTest::mouseClick(dlg.coverButton, Qt::LeftButton);
        QTest::keyClicks(dlg.titleBox, "Harbour");
        QTest::mouseClick(dlg.buildButton, Qt::LeftButton);
        std::vector<std::string> texts = host.MessageTexts();
        EXPECT_EQ(texts.front(), "Cover Art added.");
        EXPECT_EQ(texts.back(), "Book converted.\r\nEnjoy.");
        return dlg.builtPath;
    });
    ASSERT_FALSE(reader.book.empty());
    reader.View().SetPendingBook(PendingBook{reader.book, "Harbour", false});
    ASSERT_TRUE(reader.View().OpenFirstBook());
    reader.Paint();
    // The picture is over the first page, as a PNG cover is.
    EXPECT_TRUE(reader.View().PictureShown());
    QImage shot = reader.View().grab().toImage();
    QColor seen = shot.pixelColor(reader.View().PageOrigin() + QPoint(100, 100));
    EXPECT_NEAR(seen.red(), 20, 12);
    EXPECT_NEAR(seen.green(), 140, 12);
    EXPECT_NEAR(seen.blue(), 40, 12);
    ASSERT_FALSE(reader.Doc().Contents.empty());
    EXPECT_EQ(reader.Doc().Contents[0].title, "Cover Image");
}

TEST(ConvertDialog, BuildAsksForATitleAndAgreementThenWritesTheBook) {
    Converter c;
    c.dlg.AddInitialFile(c.File("a.txt", "Some text\nmore"));
    // Enter in the title box presses Build, not the first file button.
    c.dlg.show();
    QTest::keyClick(c.dlg.titleBox, Qt::Key_Return);
    EXPECT_EQ(c.dlg.titleBox->text(), "eBook Title");
    c.dlg.titleBox->setText(QString::fromUtf8("Caf\xC3\xA9 Book"));
    c.host.Answers = {MessageAnswer::No};
    c.dlg.Build();
    c.host.Answers = {MessageAnswer::Yes};
    c.dlg.Build();
    std::vector<std::string> texts = c.host.MessageTexts();
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0], "Please enter a Title.");
    EXPECT_NE(texts[1].find("Do you agree to these conditions?"), std::string::npos);
    EXPECT_EQ(texts[2],
              "You must agree that copyright adherence is your responsibility.\r\nConversion "
              "cannot proceed. Sorry.");
    EXPECT_EQ(texts[4], "Book converted.\r\nEnjoy.");
    EXPECT_EQ(c.dlg.result(), QDialog::Accepted);
    PawkDiskFile file(c.dlg.builtPath);
    PawkReader reader;
    ASSERT_TRUE(reader.Open(file));
    EXPECT_EQ(reader.Title(), "Caf\xE9 Book");
    EXPECT_EQ(fs::path(c.dlg.builtPath).filename(), fs::path("caf\xC3\xA9 book.pawk"));
}

TEST(ConvertDialog, CancelAndFailureKeepTheDialogOpen) {
    Converter c;
    c.dlg.AddInitialFile(c.File("a.htm", "<p>text"));
    c.dlg.titleBox->setText("Stopped");
    c.host.DefaultAnswer = MessageAnswer::Yes;
    // The user presses Cancel as soon as the progress window shows.
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<CProgressWnd*>(w)) {
                EXPECT_EQ(p->windowTitle(), "Building your eBook [0%]");
                QTest::mouseClick(p->cancelButton, Qt::LeftButton);
            }
    });
    c.dlg.Build();
    EXPECT_FALSE(fs::exists(c.dir / "docs" / "My eBooks" / "stopped.pawk"));
    EXPECT_EQ(c.dlg.Paths().size(), 1u);
    EXPECT_NE(c.dlg.result(), QDialog::Accepted);

    c.dlg.AddInitialFile((c.dir / "gone.htm").string());
    c.host.Messages.clear();
    c.dlg.Build();
    EXPECT_EQ(c.host.MessageTexts().back(), "Book creation failed.");
    EXPECT_TRUE(c.dlg.Paths().empty());
    EXPECT_EQ(c.dlg.list->topLevelItemCount(), 0);
}

TEST(ConvertDialog, LitModeFixesTheListAndBuildsTheBook) {
    Converter c;
    c.dlg.AddInitialFile(c.File("bad.lit", "not a lit book at all"));
    EXPECT_EQ(c.host.MessageTexts(),
              (std::vector<std::string>{"There were errors processing the LIT file."}));
    EXPECT_TRUE(c.dlg.Paths().empty());
    EXPECT_FALSE(c.dlg.LitMode());

    Converter l;
    l.dlg.AddInitialFile((test::FixturesDir() / "lit" / "almanac.lit").string());
    ASSERT_TRUE(l.dlg.LitMode());
    EXPECT_FALSE(l.dlg.addButton->isEnabled());
    // Shown, the one column fits the list: no sideways scrolling for one short path.
    l.dlg.show();
    QApplication::processEvents();
    EXPECT_LE(l.dlg.list->columnWidth(0), l.dlg.list->viewport()->width());
    EXPECT_FALSE(l.dlg.titleBox->isEnabled());
    EXPECT_EQ(l.dlg.titleBox->text(), QString("The Lantern Keeper's Almanac"));
    RDragDropFiles none(nullptr);
    l.dlg.DropFiles(none);
    EXPECT_EQ(l.dlg.Paths().size(), 1u);
    l.host.DefaultAnswer = MessageAnswer::Yes;
    l.dlg.Build();
    ASSERT_EQ(l.dlg.result(), QDialog::Accepted) << l.host.MessageTexts().back();
    PawkDiskFile file(l.dlg.builtPath);
    PawkReader reader;
    ASSERT_TRUE(reader.Open(file));
    EXPECT_EQ(reader.CoverName(), "cover.png");
    EXPECT_EQ(reader.Author(), "Ione Marsh");
}

TEST(ConvertDialog, ProgressWindowTitleAndEscape) {
    CProgressWnd p(nullptr, "Work");
    p.SetRange(0, 200);
    p.SetPos(1);
    EXPECT_EQ(p.windowTitle(), "Work [1%]");
    p.SetPos(100);
    EXPECT_EQ(p.windowTitle(), "Work [50%]");
    p.SetRange(5, 5);
    EXPECT_EQ(p.windowTitle(), "Work [0%]");
    EXPECT_TRUE(p.StepIt());
    QTest::keyClick(&p, Qt::Key_Escape);
    EXPECT_FALSE(p.PeekAndPump(true));
}

TEST(ConvertDialog, SendToPalmWritesTheDatabaseBesideThePawkBook) {
    TempDir dir;
    setenv("XDG_DOCUMENTS_DIR", (dir / "docs").c_str(), 1);
    fs::create_directories(dir / "docs" / "My eBooks");
    test::ScriptedHost scripted;
    scripted.Documents = (dir / "docs").string();
    scripted.Temp = dir.path().string();
    std::string txt = (dir / "novel.txt").string();
    test::WriteFileText(txt, "A short novel.");
    BookRequest request{{txt}, "Novel", "",
                        false, nullptr, dir / "docs" / "My eBooks" / "Novel.pawk"};
    ASSERT_EQ(WriteBook(request, scripted).status, BuildStatus::Ok);

    // A desktop that may have no program for Palm databases.
    struct PalmHost : DesktopHost {
        using DesktopHost::DesktopHost;
        bool palmSoftware = true;
        bool OpenWithShell(const std::string& target) override {
            return palmSoftware && DesktopHost::OpenWithShell(target);
        }
    } host(dir / "Pagewick.conf");
    host.answerer = [](const std::string&, MessageButtons) { return MessageAnswer::Ok; };
    CMainFrame frame(host, dir / "Wickstand.cfg");
    frame.resize(600, 800);
    frame.show();
    QApplication::processEvents();
    EXPECT_FALSE(frame.View().IsCommandEnabled(ID_SEND_PALM));
    EXPECT_TRUE(frame.View().IsCommandEnabled(ID_CONVERT));
    ASSERT_TRUE(frame.View().OpenPath(request.output.string()));
    ASSERT_TRUE(frame.View().IsCommandEnabled(ID_SEND_PALM));
    // The shell's open request lands here instead of in a Palm program.
    QTextBrowser shell;
    QDesktopServices::setUrlHandler("file", &shell, "setSource");
    frame.OnCommand(ID_SEND_PALM);
    QDesktopServices::unsetUrlHandler("file");
    fs::path pdb = dir / "docs" / "My eBooks" / "Novel.pawk.pdb";
    ASSERT_TRUE(fs::exists(pdb));
    EXPECT_EQ(shell.source().toLocalFile().toStdString(), pdb.string());
    auto bytes = test::ReadFileBytes(pdb);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), std::string("Novel\0", 6));
    EXPECT_TRUE(host.messagesShown.empty());

    // With nothing to take the database the command still says where it went.
    host.palmSoftware = false;
    fs::remove(pdb);
    frame.OnCommand(ID_SEND_PALM);
    EXPECT_TRUE(fs::exists(pdb));
    ASSERT_EQ(host.messagesShown.size(), 1u);
    EXPECT_NE(host.messagesShown[0].find(pdb.string()), std::string::npos);
}

}  // namespace
}  // namespace wickstand
