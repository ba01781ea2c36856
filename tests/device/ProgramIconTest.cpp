// What the installed programs rely on: the shipped files found through the prefix, and each
// program's own icon on its window and in its about box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "desktop/AboutDialog.h"
#include "desktop/Commands.h"
#include "desktop/MainFrame.h"
#include "device/DeviceDialogs.h"
#include "device/DeviceFrame.h"
#include "device/PowerKeeper.h"
#include "platform/InstallLayout.h"
#include "support/fixtures.h"
#include "view/DesktopHost.h"
#include "view/ProgramIcon.h"

namespace {
namespace fs = std::filesystem;
using pagewick::test::TempDir;

TEST(InstallLayout, ShippedFilesComeFromThePrefixOnceInstalledElseFromBesideTheProgram) {
    TempDir dir;
    fs::create_directories(dir / "bin");
    // The build tree: the help book and the reader builds lie beside the program.
    EXPECT_EQ(pagewick::ProgramDataFolder(dir / "bin"), dir / "bin");
    // Installed: PREFIX/share/pagewick for programs in PREFIX/bin, whatever the prefix.
    fs::create_directories(dir / "share" / "pagewick");
    EXPECT_EQ(pagewick::ProgramDataFolder(dir / "bin"), dir / "share" / "pagewick");
    EXPECT_STREQ(pagewick::InstalledDataFromPrograms(), "../share/pagewick");
}

QImage Picture(const QIcon& icon) {
    return icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
}
QImage Picture(const QLabel& label) {
    return label.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST(ProgramIcon, EachProgramShowsItsOwnOnItsWindowAndInItsAboutBox) {
    const QIcon wickstand = pwview::ProgramIcon(QStringLiteral("wickstand"));
    const QIcon wickpad = pwview::ProgramIcon(QStringLiteral("wickpad"));
    EXPECT_TRUE(pwview::ProgramIcon(QStringLiteral("nothing")).isNull());
    // Every size the theme installs, drawn from the SVG at that size.
    for (const QIcon* icon : {&wickstand, &wickpad}) {
        QList<QSize> sizes = icon->availableSizes();
        ASSERT_EQ(sizes.size(), 8);
        for (int side : {16, 22, 24, 32, 48, 64, 128, 256})
            EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
    }
    EXPECT_NE(Picture(wickstand), Picture(wickpad));

    TempDir dir;
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", (dir / "docs").c_str(), 1);
    pwview::DesktopHost host(dir / "Pagewick.conf");
    host.answerer = [](const std::string&, pagewick::MessageButtons) {
        return pagewick::MessageAnswer::Ok;
    };

    // Wickstand: the main window, and the about box opened from the toolbar's button.
    wickstand::CMainFrame frame(host, dir / "Wickstand.cfg");
    frame.show();
    EXPECT_EQ(Picture(frame.windowIcon()), Picture(wickstand));
    QToolBar* bar = frame.findChild<QToolBar*>();
    ASSERT_NE(bar, nullptr);
    QWidget* aboutButton = bar->widgetForAction(frame.Action(wickstand::ID_APP_ABOUT));
    ASSERT_NE(aboutButton, nullptr);
    bool seen = false;
    QTimer::singleShot(0, [&] {
        for (int i = 0; i < 300 && !seen; ++i) {
            if (auto* about =
                    dynamic_cast<wickstand::CAboutDlg*>(QApplication::activeModalWidget())) {
                bool shown = false;
                for (QLabel* label : about->findChildren<QLabel*>())
                    if (!label->pixmap().isNull()) shown = Picture(*label) == Picture(wickstand);
                EXPECT_TRUE(shown) << "the about box shows another picture";
                seen = true;
                about->accept();
            }
            QTest::qWait(10);
        }
    });
    QTest::mouseClick(aboutButton, Qt::LeftButton);
    EXPECT_TRUE(seen);

    // Wickpad: its window, and what its about box shows.
    wickpad::CDeviceFrame handheld(host, wickpad::Profile::Touch, dir / "Wickpad.cfg", false,
                                   nullptr);
    EXPECT_EQ(Picture(handheld.windowIcon()), Picture(wickpad));
    wickpad::CDeviceAboutDlg about(host, &handheld);
    bool shown = false;
    for (QLabel* label : about.findChildren<QLabel*>())
        if (!label->pixmap().isNull()) shown = Picture(*label) == Picture(wickpad);
    EXPECT_TRUE(shown);
}

}  // namespace
