// wickstand: the desktop reader.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "desktop/DesktopHost.h"
#include "desktop/MainFrame.h"
#include "desktop/Startup.h"
#include "devicelink/DeviceTransfer.h"

int main(int argc, char** argv) {
    using namespace wickstand;
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
                host, QCoreApplication::applicationDirPath().toStdString());
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
