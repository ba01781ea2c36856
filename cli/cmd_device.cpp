// pagewick device: install the handheld reader, remove it, send a book, through the same link
// and with the same messages as Wickstand (on standard error); status 1 when anything failed.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "devicelink/DeviceTransfer.h"
#include "platform/ConsoleHost.h"
#include "platform/InstallLayout.h"

namespace pagewick::cli {
namespace {

namespace fs = std::filesystem;

fs::path ProgramFolder() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : self.parent_path();
}

// Where the reader builds ship: given with --from, else in the installation's data folder (or
// beside this program); run from its build folder, the desktop program's build folder holds them.
fs::path ShippedFolder(const std::string& given) {
    if (!given.empty()) return given;
    fs::path folder = ProgramFolder();
#if defined(PAGEWICK_CLI_BUILD_DIR) && defined(PAGEWICK_DEVICE_FILES_DIR)
    std::error_code ec;
    if (fs::equivalent(folder, PAGEWICK_CLI_BUILD_DIR, ec)) return PAGEWICK_DEVICE_FILES_DIR;
#endif
    return ProgramDataFolder(folder);
}

int Usage() {
    return Fail(
        "usage: pagewick device install pocketpc|smartphone [--from DIR] | device uninstall | "
        "device send BOOK");
}

class DeviceCommand : public Command {
public:
    void Declare(CLI::App& app) override {
        app.add_option("--from", from_, "the folder holding the reader builds")->type_name("DIR");
        app.add_option("WORDS", words_, "install pocketpc|smartphone, uninstall or send BOOK");
    }
    int Run() override;

private:
    std::string from_;
    std::vector<std::string> words_;
};

int DeviceCommand::Run() {
    const std::string& from = from_;
    const std::vector<std::string>& rest = words_;
    if (rest.empty()) return Usage();
    const std::string& word = rest[0];

    ConsoleHost host;
    // Naming the command is the person's answer to its question.
    host.SetAnswer(MessageAnswer::Ok);
    CDeviceTransfer transfer(host, ShippedFolder(from));
    if (!transfer.LinkAvailable())
        return Fail(std::string("the handheld link is not available: no ") +
                    CTolvarRAPI::kLibraryName + " was found");

    bool done;
    if (word == "install" && rest.size() == 2 && (rest[1] == "pocketpc" || rest[1] == "smartphone"))
        done = rest[1] == "pocketpc" ? transfer.InstallPocketPC() : transfer.InstallSmartphone();
    else if (word == "uninstall" && rest.size() == 1)
        done = transfer.UninstallFromDevice();
    else if (word == "send" && rest.size() == 2) {
        // A book missing here is not the device's fault: say so before the link is used.
        std::error_code ec;
        if (!fs::is_regular_file(rest[1], ec))
            return Fail("device: cannot open " + rest[1] + ": no such file");
        done = transfer.SendBookToDevice(rest[1]);
    } else
        return Usage();
    return done ? 0 : 1;
}

CommandRegistrar registrar({"device", "device install pocketpc|smartphone | uninstall | send BOOK",
                            nullptr, Make<DeviceCommand>});

}  // namespace
}  // namespace pagewick::cli
