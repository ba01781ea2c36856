// wickstand: the desktop reader.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "desktop/DesktopHost.h"
#include "desktop/MainFrame.h"
#include "desktop/Startup.h"
#include "devicelink/DeviceTransfer.h"
#include "platform/InstallLayout.h"

namespace {
const char* const kUsage =
    "usage: wickstand [BOOK]\n"
    "       wickstand regserver | installpocketpc | installsmartphone\n"
    "       wickstand --help | --version\n"
    "\n"
    "Reads BOOK (.pawk, .lit, .htm, .html or .txt) in the desktop reader; without one it opens\n"
    "the last book (\"Start with Last Opened eBook\") or the eBook Library.\n"
    "  regserver          register the PAWK book type with the desktop, then end\n"
    "  installpocketpc    install Wickpad for a touch screen on the handheld, then end\n"
    "  installsmartphone  install Wickpad for a handheld with keys, then end\n"
    "  -h, --help         show this, then end\n"
    "  --version          show the version, then end\n"
    "The handheld is the folder named by PAGEWICK_DEVICE_ROOT. See wickstand(1).\n";
}  // namespace

int main(int argc, char** argv) {
    using namespace wickstand;
    // Answered before any window is made, so they need no display.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("wickstand (Pagewick) %s\n", PAGEWICK_VERSION);
        return 0;
    }
    QElapsedTimer started;
    started.start();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pagewick"));
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    StartRequest request = ParseCommandLine(args);

    DesktopHost host;
    // Every start registers the PAWK type, so moving the program keeps the association right.
    RegisterPawkType(QCoreApplication::applicationFilePath().toStdString());
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(host.DocumentsFolder()) / "My eBooks",
                                        ec);

    switch (request.action) {
        case StartAction::RegServer:
            return 0;
        case StartAction::InstallPocketPc:
        case StartAction::InstallSmartphone: {
            // The same install as the dialog's buttons, without the dialog; a failed or partial
            // install ends with status 1.
            pagewick::CDeviceTransfer transfer(
                host,
                pagewick::ProgramDataFolder(QCoreApplication::applicationDirPath().toStdString()));
            if (!transfer.LinkAvailable()) {
                std::fprintf(stderr, "Pagewick: %s\n", CMainFrame::kNoHandheldLink);
                return 1;
            }
            const bool installed = request.action == StartAction::InstallPocketPc
                                       ? transfer.InstallPocketPC()
                                       : transfer.InstallSmartphone();
            return installed ? 0 : 1;
        }
        case StartAction::Run:
            break;
    }

    CMainFrame frame(host, DisplaySettings::DefaultPath());
    frame.View().SetPendingBook(ChooseFirstBook(request, host));
    frame.ShowAtStoredPlacement();
    // WICKSTAND_TIME_FIRST_PAGE=1: print the time to the first page drawn and end (measuring).
    const bool timeFirstPage = qEnvironmentVariableIsSet("WICKSTAND_TIME_FIRST_PAGE");
    QTimer::singleShot(0, &frame, [&frame, &started, timeFirstPage] {
        frame.View().OpenFirstBook();
        if (!timeFirstPage) return;
        frame.View().repaint();
        std::printf("first page drawn after %lld ms\n", static_cast<long long>(started.elapsed()));
        frame.close();
    });
    return app.exec();
}
