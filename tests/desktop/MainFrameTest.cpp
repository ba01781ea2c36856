// The desktop reader's main frame as a person uses it: the menus' mnemonics and keys, the title
// and the toolbar following the book, File > "Open...", a dropped file, the recent books, the
// wheel, the scrolling speed kept, and the face and labels of the option dialogs.
#include <gtest/gtest.h>

#include <zip.h>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QMimeData>
#include <QPrintDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QWheelEvent>
#include <set>

#include "desktop/Commands.h"
#include "desktop/OptionsDialog.h"
#include "desktop/RecentBooks.h"
#include "engine/PaginationFile.h"
#include "pawk/PawkWriter.h"
#include "support/DesktopFixture.h"
#include "support/fixtures.h"
#include "view/FontPreviewCombo.h"
#include "view/LayoutDialog.h"

namespace wickstand {
namespace {
using namespace pagewick;
using pwview::COptions2Dlg;
namespace fs = std::filesystem;

std::string LongHtml(const std::string& name, int paragraphs) {
    std::string html = "<html><head><title>" + name + "</title></head><body>";
    for (int i = 0; i < paragraphs; ++i)
        html += "<p>Paragraph " + std::to_string(i) + " of " + name +
                ", with words enough to fill a line or two of the page.</p>";
    return html + "</body></html>";
}

struct Frame : DesktopReader {
    Frame()
        : DesktopReader([](const fs::path& eBooks) {
              const std::string book = (eBooks / "Long.htm").string();
              test::WriteFileText(book, LongHtml("The Long Book", 900));
              return book;
          }) {}
    QAction* Act(int id) { return frame->Action(id); }
    bool ToolbarButtonEnabled(int id) {
        auto* bar = frame->findChild<QToolBar*>(QStringLiteral("Toolbar"));
        QWidget* button = bar ? bar->widgetForAction(Act(id)) : nullptr;
        EXPECT_NE(button, nullptr) << id;
        return button && button->isEnabled();
    }
    // Opens a menu of the menu bar with the mouse and clicks one of its items.
    void ClickMenuItem(const QString& menuTitle, QAction* item) {
        QMenuBar* bar = frame->menuBar();
        QMenu* menu = nullptr;
        for (QAction* top : bar->actions())
            if (top->text() == menuTitle) menu = top->menu();
        ASSERT_NE(menu, nullptr);
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          bar->actionGeometry(menu->menuAction()).center());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        QApplication::processEvents();
    }
    void Drop(const fs::path& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
        const QPoint at = View().rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame.get(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame.get(), &drop);
        QTest::qWait(20);  // opened once the drop has finished
        Paint();
    }
};

// Lets the event loop run until the condition holds, for at most three seconds.
bool WaitUntil(const std::function<bool()>& condition) {
    for (int i = 0; i < 150 && !condition(); ++i)
        QTest::qWait(20);
    return condition();
}

// A ZIP archive with the given members.
void WriteZip(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& files) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, text] : files) {
        zip_source_t* source = zip_source_buffer(archive, text.data(), text.size(), 0);
        ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE), 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

TEST(MainFrame, MnemonicsKeysTitleAndToolbarFollowTheBook) {
    Frame f;
    // Every item of every menu has its mnemonic, each letter once in its menu.
    std::function<void(QMenu*)> check = [&](QMenu* menu) {
        std::set<QChar> keys;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator() || action->text().isEmpty()) continue;
            const QString text = action->text();
            const qsizetype amp = text.indexOf(QLatin1Char('&'));
            ASSERT_TRUE(amp >= 0 && amp + 1 < text.size()) << text.toStdString();
            EXPECT_TRUE(keys.insert(text[amp + 1].toLower()).second) << text.toStdString();
            if (action->menu()) check(action->menu());
        }
    };
    for (QAction* top : f.frame->menuBar()->actions()) {
        EXPECT_TRUE(top->text().contains(QLatin1Char('&'))) << top->text().toStdString();
        check(top->menu());
    }

    // No book: the plain title, and the book's toolbar buttons off without a menu opened.
    EXPECT_EQ(f.frame->windowTitle(), QStringLiteral("Pagewick"));
    EXPECT_FALSE(f.ToolbarButtonEnabled(ID_CONTENTS));
    EXPECT_FALSE(f.ToolbarButtonEnabled(ID_PRINT));
    EXPECT_FALSE(f.ToolbarButtonEnabled(ID_SEND_PALM));

    // A PAWK book with chapters: the title names it; contents, printing and the Palm are on.
    PawkWriter w;
    w.title = "Two Chapters";
    const std::string one = "<p>Chapter one.</p>", two = "<a name=\"b\"></a><p>Chapter two.</p>";
    w.files.push_back({"one.htm", {}, std::vector<uint8_t>(one.begin(), one.end())});
    w.files.push_back({"two.htm", {}, std::vector<uint8_t>(two.begin(), two.end())});
    w.contents = {{0, "One", "one.htm#"}, {0, "Two", "two.htm#b"}};
    const fs::path pawk = f.dir / "docs" / "My eBooks" / "Chapters.pawk";
    ASSERT_TRUE(w.Write(pawk));
    ASSERT_TRUE(f.View().OpenBookFile(pawk.string()));
    f.Paint();
    EXPECT_EQ(f.frame->windowTitle(), QStringLiteral("Two Chapters - Pagewick"));
    EXPECT_TRUE(f.ToolbarButtonEnabled(ID_CONTENTS));
    EXPECT_TRUE(f.ToolbarButtonEnabled(ID_PRINT));
    EXPECT_TRUE(f.ToolbarButtonEnabled(ID_SEND_PALM));

    // An HTML book: its own title once laid out; no contents, no Palm, printing still on.
    ASSERT_TRUE(f.View().OpenBookFile(f.book));
    f.Paint();
    EXPECT_EQ(f.frame->windowTitle(), QStringLiteral("The Long Book - Pagewick"));
    EXPECT_FALSE(f.ToolbarButtonEnabled(ID_CONTENTS));
    EXPECT_TRUE(f.ToolbarButtonEnabled(ID_PRINT));
    EXPECT_FALSE(f.ToolbarButtonEnabled(ID_SEND_PALM));

    // End and Home: the last page and the first; the Part's own keys keep their meaning.
    f.Key(Qt::Key_End);
    ASSERT_NE(f.Doc().LastPage, kLastPageUnknown);
    EXPECT_EQ(f.Doc().CurrentPage, f.Doc().LastPage - 1);
    f.Key(Qt::Key_Home);
    EXPECT_EQ(f.Doc().CurrentPage, 0);
    f.Key(Qt::Key_PageDown);
    f.Key(Qt::Key_Right);
    EXPECT_EQ(f.Doc().CurrentPage, 2);

    // F11: the page alone on the screen; Escape (or F11) comes back with the bars.
    f.Key(Qt::Key_F11);
    EXPECT_TRUE(f.frame->isFullScreen());
    EXPECT_FALSE(f.frame->menuBar()->isVisible());
    f.Key(Qt::Key_Escape);
    EXPECT_FALSE(f.frame->isFullScreen());
    EXPECT_TRUE(f.frame->menuBar()->isVisible());
    EXPECT_TRUE(f.frame->findChild<QToolBar*>(QStringLiteral("Toolbar"))->isVisible());
    EXPECT_TRUE(f.Act(ID_VIEW_TOOLBAR)->isChecked());

    // Ctrl+P: the print dialog (cancelled here); Ctrl+Q: the window closes, keeping the place.
    bool printAsked = false;
    OnNextModal<QPrintDialog>([&](QDialog& d) {
        printAsked = true;
        d.reject();
    });
    QTest::keyClick(&f.View(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(printAsked);
    f.frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.frame.get()));
    QTest::keyClick(&f.View(), Qt::Key_Q, Qt::ControlModifier);
    QTest::qWait(20);
    EXPECT_FALSE(f.frame->isVisible());
    EXPECT_TRUE(fs::exists(PaginationFilePath(f.book)));
}

TEST(MainFrame, OpenDialogDropAndRecentBooks) {
    Frame f;
    // Ctrl+O and a file named in the dialog, from outside the documents folder: it is opened
    // as the command line opens it (a plain text book is kept in "My eBooks").
    const fs::path outside = f.dir / "elsewhere" / "Outside.txt";
    fs::create_directories(outside.parent_path());
    std::string text;
    for (int i = 0; i < 900; ++i)
        text += "Line " + std::to_string(i) + " of a plain book that is long enough to page.\n";
    test::WriteFileText(outside, text);
    QString filter;
    OnNextModal<QFileDialog>([&](QDialog& d) {
        auto& dialog = static_cast<QFileDialog&>(d);
        filter = dialog.nameFilters().join(QStringLiteral(";;"));
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!name) dialog.reject();
        ASSERT_NE(name, nullptr);
        // Qt's own dialog: its folder set as if walked to, the book's name typed, Open pressed.
        dialog.setDirectory(QString::fromStdString(outside.parent_path().string()));
        QTest::qWait(50);
        QTest::keyClicks(name, QStringLiteral("Outside.txt"));
        QPushButton* open = nullptr;
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            if (button->text().remove(QLatin1Char('&')) == QStringLiteral("Open")) open = button;
        if (open) QTest::mouseClick(open, Qt::LeftButton);
        if (dialog.isVisible()) {
            ADD_FAILURE() << "the dialog stayed open with " << name->text().toStdString();
            dialog.reject();
        }
    });
    QTest::keyClick(&f.View(), Qt::Key_O, Qt::ControlModifier);
    f.Paint();
    for (const char* type : {"*.pawk", "*.lit", "*.htm", "*.html", "*.txt", "*.zip"})
        EXPECT_TRUE(filter.contains(QLatin1String(type))) << type;
    ASSERT_TRUE(f.View().HasBook());
    EXPECT_EQ(fs::path(f.Doc().BookPath), f.dir / "docs" / "My eBooks" / "Outside.txt");
    EXPECT_EQ(f.frame->windowTitle(), QStringLiteral("Outside - Pagewick"));

    // A dropped archive with two books asks which; the chosen member opens.
    const fs::path zip = f.dir / "docs" / "My eBooks" / "Tales.zip";
    WriteZip(zip, {{"first.txt", "The first tale.\n"},
                   {"picture.png", "not a book"},
                   {"second.htm", LongHtml("The Second Tale", 600)}});
    // (From a polling timer: the drop opens the book from the event loop.)
    ModalCloser<QInputDialog> chooser([](QDialog& d) {
        auto* list = d.findChild<QListView*>();
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->model()->rowCount(), 2);  // the picture is not offered
        const QModelIndex second = list->model()->index(1, 0);
        list->scrollTo(second);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(second).center());
        QTest::keyClick(&d, Qt::Key_Return);
    });
    f.Drop(zip);
    EXPECT_TRUE(WaitUntil([&] { return chooser.seen == 1; }));
    ASSERT_TRUE(f.View().HasBook());
    EXPECT_EQ(f.Doc().MemberName, "second.htm");
    f.Key(Qt::Key_PageDown);
    f.Key(Qt::Key_PageDown);
    const int32_t memberPage = f.Doc().CurrentPage;
    ASSERT_EQ(memberPage, 2);

    // A dropped text book opens without a question; another file type is refused.
    f.Drop(f.book);
    EXPECT_EQ(f.Doc().BookPath, f.book);
    QMimeData picture;
    picture.setUrls({QUrl::fromLocalFile(QString::fromStdString((f.dir / "x.png").string()))});
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &picture, Qt::LeftButton, {});
    QApplication::sendEvent(f.frame.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());

    // File lists them newest first; the member chosen there opens at its place.
    std::vector<RecentBook> recent = RecentBooks(*f.host).List();
    ASSERT_EQ(recent.size(), 3u);
    EXPECT_EQ(recent[0].path, f.book);
    EXPECT_EQ(recent[1], (RecentBook{zip.string(), "second.htm"}));
    QAction* second = f.Act(ID_FILE_MRU_FILE1 + 1);
    f.ClickMenuItem(QStringLiteral("&File"), second);
    f.Paint();
    EXPECT_EQ(f.Doc().MemberName, "second.htm");
    EXPECT_EQ(f.Doc().CurrentPage, memberPage);
    EXPECT_EQ(f.Act(ID_FILE_MRU_FILE1)->text(), QStringLiteral("&1 second.htm (Tales.zip)"));

    // One that has gone: said, and gone from the list; the open book stays.
    fs::remove(f.dir / "docs" / "My eBooks" / "Outside.txt");
    f.host->messagesShown.clear();
    f.ClickMenuItem(QStringLiteral("&File"), f.Act(ID_FILE_MRU_FILE1 + 2));
    ASSERT_EQ(f.host->messagesShown.size(), 1u);
    EXPECT_NE(f.host->messagesShown[0].find("Outside.txt\" is no longer there"), std::string::npos);
    EXPECT_EQ(RecentBooks(*f.host).List().size(), 2u);
    EXPECT_EQ(f.Doc().MemberName, "second.htm");
    EXPECT_FALSE(f.Act(ID_FILE_MRU_FILE1 + 2)->isVisible());

    // Ten at most, each once; paths with tabs and ampersands survive the store.
    RecentBooks books(*f.host);
    for (int i = 0; i < 12; ++i)
        books.Add({(f.dir / ("B&" + std::to_string(i % 11) + "\t.txt")).string(), ""});
    recent = books.List();
    ASSERT_EQ(recent.size(), 10u);
    EXPECT_EQ(recent[0].path, (f.dir / "B&0\t.txt").string());
    EXPECT_EQ(recent[1].path, (f.dir / "B&10\t.txt").string());
    EXPECT_EQ(RecentBooks::MenuText(9, recent[9]), "1&0 B&&2\t.txt");
}

TEST(ReadingView, WheelStepsAddUpToWholeNotches) {
    Frame f;
    ASSERT_TRUE(f.View().OpenBookFile(f.book));
    f.Paint();
    auto wheel = [&](int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWheelEvent event(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, delta),
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&f.View(), &event);
        f.Paint();
    };
    // Four steps of 30 make one notch towards the reader: one page.
    for (int i = 0; i < 3; ++i)
        wheel(-30);
    EXPECT_EQ(f.Doc().CurrentPage, 0);
    wheel(-30);
    EXPECT_EQ(f.Doc().CurrentPage, 1);
    wheel(-240);
    EXPECT_EQ(f.Doc().CurrentPage, 3);
    // Half a notch, then a turn the other way: the half is forgotten, one page back.
    wheel(-60);
    wheel(120);
    EXPECT_EQ(f.Doc().CurrentPage, 2);
    // With Control, notches change the font, once each.
    const int size = f.View().Settings().fontSize;
    wheel(-90, Qt::ControlModifier);
    EXPECT_EQ(f.View().Settings().fontSize, size);
    wheel(-150, Qt::ControlModifier);
    EXPECT_EQ(f.View().Settings().fontSize, size + 2);
    wheel(240, Qt::ControlModifier);
    EXPECT_EQ(f.View().Settings().fontSize, size);
}

TEST(ReadingView, ScrollSpeedKeptWithTheDisplaySettings) {
    Frame f;
    f.View().Settings().autoScroll = 1;
    ASSERT_TRUE(f.View().OpenBookFile(f.book));
    f.Paint();
    f.Key(Qt::Key_Space);
    for (int i = 0; i < 3; ++i)
        f.Key(Qt::Key_Left);
    EXPECT_EQ(f.View().ScrollDelay(), 53);
    // Written a moment after the last change, or when the window closes before that.
    EXPECT_TRUE(WaitUntil(
        [&] { return DisplaySettings::Load(f.dir / "Wickstand.cfg").scrollDelay == 53; }));
    f.Key(Qt::Key_Right);
    f.Restart();
    EXPECT_EQ(f.View().ScrollDelay(), 52);
    EXPECT_EQ(f.View().Settings().autoScroll, 1);
}

TEST(Dialogs, FontStyleKeepsTheChosenFaceAndLayoutLabels) {
    // The style turns only the default face into the fixed-pitch one; a chosen face stays, and
    // the handheld always draws its stored face.
    DisplaySettings s;
    s.fontStyle = 1;
    EXPECT_EQ(s.Face(), "Courier New");
    s.faceName = "DejaVu Serif";
    EXPECT_EQ(s.Face(), "DejaVu Serif");
    DisplaySettings device = DisplaySettings::DeviceDefaults();
    device.fontStyle = 1;
    EXPECT_EQ(device.Face(), "Tahoma");

    Frame f;
    ASSERT_TRUE(f.View().OpenBookFile(f.book));
    std::string chosen;
    OnNextModal<COptions1Dlg>([&](QDialog& d) {
        auto& options = static_cast<COptions1Dlg&>(d);
        QTest::mouseClick(options.courier, Qt::LeftButton, {},
                          QPoint(4, options.courier->height() / 2));
        EXPECT_TRUE(options.courier->isChecked());
        options.face->setCurrentIndex(options.face->currentIndex() == 0 ? 1 : 0);
        chosen = options.face->currentText().toStdString();
        QTest::keyClick(&options, Qt::Key_Return);
    });
    f.frame->OnCommand(ID_DISPLAY_OPTIONS);
    ASSERT_NE(chosen, "Arial");
    EXPECT_EQ(f.View().Settings().fontStyle, 1);
    EXPECT_EQ(f.Doc().ReadingFonts[0].face, chosen);

    // The desktop's Layout dialog and the handheld's second page, each with its own labels.
    auto labels = [](const DisplaySettings& settings) {
        COptions2Dlg dlg(settings);
        QStringList texts;
        for (QLabel* label : dlg.findChildren<QLabel*>())
            texts << label->text();
        texts << dlg.justified->text();
        return texts;
    };
    const QStringList desktop = labels(DisplaySettings());
    for (const char* text : {"Paragraph spacing", "Tab size", "Leading", "Border width",
                             "Border height", "Justified text"})
        EXPECT_TRUE(desktop.contains(QLatin1String(text))) << text;
    const QStringList handheld = labels(DisplaySettings::DeviceDefaults());
    for (const char* text :
         {"Paragraph Spacing", "Leading", "Tab Size", "Border Width", "Height", "Justified Text"})
        EXPECT_TRUE(handheld.contains(QLatin1String(text))) << text;
}

}  // namespace
}  // namespace wickstand
