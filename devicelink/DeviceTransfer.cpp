#include "devicelink/DeviceTransfer.h"

#include <system_error>
#include <vector>

namespace pagewick {

namespace {
const HandheldBuildFiles kPocketPC = {"WickpadPPC.exe.device", "WickpadPPC.lnk.device",
                                      "\\Program Files\\Pagewick\\WickpadPPC.exe",
                                      "\\Windows\\Start Menu\\Programs\\Pagewick.lnk", "PocketPC"};
const HandheldBuildFiles kSmartphone = {"WickpadSP.exe.device", "WickpadSP.lnk.device",
                                        "\\Program Files\\Pagewick\\WickpadSP.exe",
                                        "\\Windows\\Start Menu\\Pagewick.lnk", "Smartphone"};

bool IsFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// The folders above a device path, outermost first ("\A\B\c" gives "\A", "\A\B").
std::vector<std::string> FoldersAbove(const std::string& devicePath) {
    std::vector<std::string> folders;
    for (size_t at = devicePath.find('\\', 1); at != std::string::npos;
         at = devicePath.find('\\', at + 1))
        folders.push_back(devicePath.substr(0, at));
    return folders;
}
}  // namespace

const HandheldBuildFiles& FilesOf(HandheldBuild build) {
    return build == HandheldBuild::PocketPC ? kPocketPC : kSmartphone;
}

const char* const CDeviceTransfer::kMissingFiles =
    "The required files are missing from this installation.\r\n"
    "Please get an updated version from the Ambervale web site, www.ambervale.com.";
const char* const CDeviceTransfer::kUninstallQuestion =
    "Connect your device via ActiveSync.\r\nClick OK to uninstall from your Windows Mobile device.";
const char* const CDeviceTransfer::kRemoved = "Pagewick has been removed from your device.";
const char* const CDeviceTransfer::kRemovedPartly =
    "Pagewick could not be removed completely from your device.\r\n"
    "Some of its files are read-only or in use.";
const char* const CDeviceTransfer::kSent =
    "Your eBook is now copied on to your Windows Mobile device.";

CDeviceTransfer::CDeviceTransfer(Host& host, std::filesystem::path programFolder,
                                 LinkFactory makeLink)
    : host_(host), folder_(std::move(programFolder)), makeLink_(std::move(makeLink)) {}

std::unique_ptr<CTolvarRAPI> CDeviceTransfer::MakeLink() const {
    if (makeLink_) return makeLink_(&host_);
    return std::make_unique<CTolvarRAPI>(&host_);
}

bool CDeviceTransfer::LinkAvailable() const {
    return MakeLink()->IsLoaded();
}

bool CDeviceTransfer::BuildFilesPresent(const std::filesystem::path& programFolder,
                                        HandheldBuild build) {
    const HandheldBuildFiles& files = FilesOf(build);
    return IsFile(programFolder / files.programFile) && IsFile(programFolder / files.shortcutFile);
}

void CDeviceTransfer::Say(const std::string& text, MessageIcon icon) {
    host_.ShowMessage(text, "Pagewick", MessageButtons::Ok, icon);
}

std::string CDeviceTransfer::InstalledMessage(HandheldBuild build, int failed, int total) {
    const std::string device = FilesOf(build).deviceName;
    if (failed == 0) return "Pagewick has been installed on your " + device + " device.";
    if (failed >= total) return "Pagewick could not be installed on your " + device + " device.";
    return "Pagewick was only partly installed on your " + device +
           " device: " + std::to_string(failed) + " of " + std::to_string(total) +
           " files could not be copied.";
}

bool CDeviceTransfer::Install(HandheldBuild build) {
    WaitCursor wait(&host_);
    const HandheldBuildFiles& files = FilesOf(build);
    const std::filesystem::path program = folder_ / files.programFile;
    const std::filesystem::path shortcut = folder_ / files.shortcutFile;
    const std::filesystem::path help = folder_ / kHelpBookFile;
    if (!IsFile(program) || !IsFile(shortcut)) {
        Say(kMissingFiles, MessageIcon::Error);
        return false;
    }
    std::unique_ptr<CTolvarRAPI> link = MakeLink();
    // The program's folder, and the folders above it and above the shortcut: a device that is a
    // plain folder may lack those a handheld always has, and an existing folder counts as made.
    // A device that cannot be reached has said so already at the first one.
    std::vector<std::string> folders = FoldersAbove(files.deviceProgram);
    for (const std::string& folder : FoldersAbove(files.deviceShortcut))
        folders.push_back(folder);
    for (const std::string& folder : folders)
        if (!link->CreateDeviceFolder(folder)) return false;

    // Every file is tried whatever became of the one before; each failure has said so itself.
    int failed = 0;
    const int total = 3;
    if (!link->CopyToDevice(program.string(), files.deviceProgram)) ++failed;
    if (!link->CopyToDevice(help.string(), kDeviceHelpBook)) ++failed;
    if (!link->CopyToDevice(shortcut.string(), files.deviceShortcut)) ++failed;
    link.reset();
    Say(InstalledMessage(build, failed, total),
        failed ? MessageIcon::Error : MessageIcon::Information);
    return failed == 0;
}

bool CDeviceTransfer::UninstallFromDevice() {
    if (host_.ShowMessage(kUninstallQuestion, "Pagewick", MessageButtons::OkCancel,
                          MessageIcon::Question) != MessageAnswer::Ok)
        return true;
    WaitCursor wait(&host_);
    std::unique_ptr<CTolvarRAPI> link = MakeLink();
    if (!link->DeleteDeviceFile(kPocketPC.deviceProgram)) return false;
    int failed = link->LastOutcome() == DeviceOutcome::Done ? 0 : 1;
    // Files that are not there are no error, so one command removes either build.
    for (const char* path : {kDeviceHelpBook, kPocketPC.deviceShortcut, kSmartphone.deviceProgram,
                             kSmartphone.deviceShortcut}) {
        link->DeleteDeviceFileQuietly(path);
        if (link->LastOutcome() != DeviceOutcome::Done) ++failed;
    }
    link->RemoveDeviceFolder(kDeviceProgramFolder);
    bool folderGone = link->LastOutcome() == DeviceOutcome::Done;
    link->RemoveDeviceFolder(std::string(kDeviceProgramFolder) + "\\");
    if (!folderGone && link->LastOutcome() != DeviceOutcome::Done) ++failed;
    link.reset();
    Say(failed ? kRemovedPartly : kRemoved, failed ? MessageIcon::Error : MessageIcon::Information);
    return failed == 0;
}

std::string CDeviceTransfer::DeviceBookPath(const std::string& bookPath) {
    std::string name = bookPath.substr(bookPath.find_last_of('/') + 1);
    if (name.empty() || name == "." || name == "..") return "";
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
            c == '>' || c == '|')
            c = '_';
    }
    return kDeviceDocuments + name;
}

bool CDeviceTransfer::SendBookToDevice(const std::string& bookPath) {
    WaitCursor wait(&host_);
    const std::string devicePath = DeviceBookPath(bookPath);
    if (devicePath.empty()) {
        Say(CTolvarRAPI::kCopyFailed, MessageIcon::Error);
        return false;
    }
    std::unique_ptr<CTolvarRAPI> link = MakeLink();
    // The documents folder is made when the device lacks it (an existing one counts as made).
    if (!link->CreateDeviceFolder(FoldersAbove(devicePath).front())) return false;
    bool copied = link->CopyToDevice(bookPath, devicePath);
    if (copied) Say(kSent, MessageIcon::Information);
    return copied;
}

}  // namespace pagewick
