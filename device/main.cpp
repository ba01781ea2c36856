// wickpad: the handheld reader. Started as "wickpad --profile touch|keys" or under a name that
// gives the profile ("WickpadPPC", "WickpadSP").
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "device/DeviceFrame.h"
#include "device/DeviceStartup.h"
#include "device/PowerKeeper.h"
#include "device/SignalWatcher.h"
#include "platform/InstallLayout.h"
#include "view/DesktopHost.h"

namespace {
const char* const kUsage =
    "usage: wickpad [--profile touch|keys] [BOOK]\n"
    "       wickpad regserver\n"
    "       wickpad --help | --version\n"
    "\n"
    "Reads BOOK (.pawk, .lit, .htm, .html or .txt) in the handheld reader; without one it opens\n"
    "the last book (\"Start program with last eBook\") or lists the books of the documents\n"
    "folder and of the mounted removable volumes.\n"
    "  --profile touch|keys  a touch screen and stylus, or keys only (by default from the\n"
    "                        program's name: a name ending in \"SP\" runs the keys profile)\n"
    "  regserver             register the PAWK book type with the desktop, then end\n"
    "  -h, --help            show this, then end\n"
    "  --version             show the version, then end\n"
    "See wickpad(1).\n";
}  // namespace

int main(int argc, char** argv) {
    using namespace wickpad;
    // Answered before any window is made, so they need no display.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("wickpad (Pagewick) %s\n", PAGEWICK_VERSION);
        return 0;
    }
    QElapsedTimer started;
    started.start();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pagewick"));
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    DeviceStart start = ParseDeviceCommandLine(argc > 0 ? argv[0] : "wickpad", args);

    pwview::DesktopHost host;
    // The handheld keeps its own "AutoOpen", "LastBook" and "LastBookTitle" beside the desktop's.
    host.SetProgramSection(pagewick::kHandheldSection);
    const std::string program = QCoreApplication::applicationFilePath().toStdString();
    RegisterDevicePawkType(program);
    if (start.regServer) return 0;
    ReadStartSettings(start, host);

    CDeviceFrame frame(host, start.profile, pwview::DisplaySettings::DeviceDefaultPath(),
                       start.forceLandscape, std::make_unique<DBusPowerKeeper>());
    frame.View().SetPendingBook(start.pending);
    frame.View().SetProgramPath(program);
    // Started from where an install put it (a handheld mounted as a folder, or the prefix's data
    // folder), the reader finds the help book there and lists that handheld's documents.
    const InstalledFolders installed = FoldersOfInstall(
        pagewick::ProgramDataFolder(start.programFolder.empty()
                                        ? QCoreApplication::applicationDirPath().toStdString()
                                        : start.programFolder)
            .string());
    frame.View().SetHelpBook(installed.helpBook);
    if (!installed.documents.empty()) frame.View().SetDocumentsFolder(installed.documents);
    // Asked to end by the system: the same as "Close Reader".
    SignalWatcher endWatcher([&frame](int) {
        frame.close();
        QApplication::quit();
    });
    // The session ending asks for the reader's data first.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &frame,
                     [&frame](QSessionManager&) { frame.SaveForSessionEnd(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &frame,
                     [&frame] { frame.EndReading(); });
    frame.ShowHandheldSized();
    // WICKPAD_TIME_FIRST_PAGE=1: print the time to the first page drawn and end (measuring).
    const bool timeFirstPage = qEnvironmentVariableIsSet("WICKPAD_TIME_FIRST_PAGE");
    QTimer::singleShot(0, &frame, [&frame, &started, timeFirstPage] {
        frame.View().OpenFirstBook();
        if (!timeFirstPage) return;
        frame.View().repaint();
        std::printf("first page drawn after %lld ms\n", static_cast<long long>(started.elapsed()));
        frame.close();
    });
    return app.exec();
}
