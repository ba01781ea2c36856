// Wickstand's handheld commands over the project's link library and a temporary device folder:
// the install dialog with only the Smartphone build shipped, and sending the open book.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "desktop/AskMobileInstall.h"
#include "desktop/Commands.h"
#include "desktop/DesktopHost.h"
#include "desktop/MainFrame.h"
#include "support/fixtures.h"

namespace wickstand {
namespace {
using namespace pagewick;
namespace fs = std::filesystem;

TEST(DeviceCommands, InstallDialogOffersOnlyShippedBuildsAndSendCopiesTheOpenBook) {
    const test::DeviceFolders folders(
        {"WickpadSP.exe.device", "WickpadSP.lnk.device", kHelpBookFile});
    const test::TempDir& dir = folders.dir;
    const fs::path &device = folders.device, &program = folders.program;
    test::WriteFileText(dir / "story.htm", "<p>A short story.</p>");
    setenv("XDG_DOCUMENTS_DIR", (dir / "docs").c_str(), 1);

    DesktopHost host(dir / "Pagewick.conf");
    host.answerer = [](const std::string&, MessageButtons) { return MessageAnswer::Ok; };
    CMainFrame frame(host, dir / "Wickstand.cfg");
    frame.SetProgramFolder(program);
    for (int id : {ID_SEND_MOBILE, ID_INSTALL_MOBILE, ID_UNINSTALL_MOBILE})
        EXPECT_TRUE(frame.Action(id)->isEnabled()) << id;

    bool pocketPcEnabled = true, smartphoneEnabled = false;
    QTimer::singleShot(0, [&] {
        for (int i = 0; i < 200; ++i) {
            if (auto* ask = dynamic_cast<CAskMobileInstall*>(QApplication::activeModalWidget())) {
                pocketPcEnabled = ask->pocketPcButton->isEnabled();
                smartphoneEnabled = ask->smartphoneButton->isEnabled();
                ask->grab().save(QStringLiteral("wickstand-install-dialog.png"));  // to look at
                ask->smartphoneButton->click();
                return;
            }
            QTest::qWait(10);
        }
        ADD_FAILURE() << "no install dialog";
    });
    frame.OnCommand(ID_INSTALL_MOBILE);
    EXPECT_FALSE(pocketPcEnabled);
    EXPECT_TRUE(smartphoneEnabled);
    ASSERT_FALSE(host.messagesShown.empty());
    EXPECT_EQ(host.messagesShown.back(), "Pagewick has been installed on your Smartphone device.");
    EXPECT_EQ(test::ReadFileText(device / "Windows/Start Menu/Pagewick.lnk"),
              "WickpadSP.lnk.device");

    ASSERT_TRUE(frame.View().OpenPath((dir / "story.htm").string()));
    frame.OnCommand(ID_SEND_MOBILE);
    EXPECT_EQ(host.messagesShown.back(), CDeviceTransfer::kSent);
    EXPECT_EQ(test::ReadFileText(device / "My Documents/story.htm"), "<p>A short story.</p>");

    frame.OnCommand(ID_UNINSTALL_MOBILE);
    EXPECT_EQ(host.messagesShown.back(), CDeviceTransfer::kRemoved);
    EXPECT_FALSE(fs::exists(device / "Program Files/Pagewick"));

    // Without the library the three commands are not offered.
    frame.SetLinkFactory([](Host* h) {
        return std::make_unique<CTolvarRAPI>(h, "/nonexistent/librapi.so", "librapi-none.so");
    });
    for (int id : {ID_SEND_MOBILE, ID_INSTALL_MOBILE, ID_UNINSTALL_MOBILE})
        EXPECT_FALSE(frame.Action(id)->isEnabled()) << id;
}

}  // namespace
}  // namespace wickstand
