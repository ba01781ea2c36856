#include "device/DeviceStartup.h"

#include <filesystem>
#include <system_error>

#include "util/AsciiCase.h"

namespace wickpad {
using pagewick::kRegistrySection;
using pagewick::LowerAscii;
namespace fs = std::filesystem;

Profile ProfileFromProgramName(const std::string& argv0) {
    std::string name = LowerAscii(std::filesystem::path(argv0).filename().string());
    if (name.size() > 4 && name.ends_with(".exe")) name.resize(name.size() - 4);
    return name.size() >= 2 && name.ends_with("sp") ? Profile::Keys : Profile::Touch;
}

DeviceStart ParseDeviceCommandLine(const std::string& argv0, const std::vector<std::string>& args) {
    DeviceStart start;
    start.profile = ProfileFromProgramName(argv0);
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string value;
        if (args[i] == "--program-folder" && i + 1 < args.size()) {
            start.programFolder = args[++i];
            continue;
        }
        if (args[i].rfind("--program-folder=", 0) == 0) {
            start.programFolder = args[i].substr(17);
            continue;
        }
        if (args[i] == "--profile" && i + 1 < args.size())
            value = args[++i];
        else if (args[i].rfind("--profile=", 0) == 0)
            value = args[i].substr(10);
        else {
            rest.push_back(args[i]);
            continue;
        }
        value = LowerAscii(value);
        if (value == "keys")
            start.profile = Profile::Keys;
        else if (value == "touch")
            start.profile = Profile::Touch;
    }
    pwview::StartRequest request = pwview::ParseCommandLine(rest);
    start.regServer = request.action == pwview::StartAction::RegServer;
    start.bookPath = request.bookPath;
    start.bookTitle = request.bookTitle;
    return start;
}

void ReadStartSettings(DeviceStart& start, pagewick::Host& host) {
    // "ForceLandScape" is the handheld's alone: a value stored before it had its own section is
    // still taken.
    std::string landscape = host.GetSetting(host.ProgramSection(), "ForceLandScape", "");
    if (landscape.empty()) landscape = host.GetSetting(kRegistrySection, "ForceLandScape", "");
    start.forceLandscape = landscape.starts_with("1");
    pwview::StartRequest request;
    request.bookPath = start.bookPath;
    request.bookTitle = start.bookTitle;
    start.pending = pwview::ChooseFirstBook(request, host);
}

namespace {
// The entry of a folder whose name is `name` without regard to case; the exact name first.
fs::path FindIgnoringCase(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    if (fs::exists(folder / name, ec)) return folder / name;
    const std::string wanted = LowerAscii(name);
    for (const auto& item : fs::directory_iterator(folder, ec))
        if (LowerAscii(item.path().filename().string()) == wanted) return item.path();
    return folder / name;
}
}  // namespace

InstalledFolders FoldersOfInstall(const std::string& programFolder) {
    InstalledFolders folders;
    std::error_code ec;
    fs::path program = fs::weakly_canonical(programFolder, ec);
    if (ec || program.empty()) program = programFolder;
    folders.helpBook = FindIgnoringCase(program, "Pagewick Help.pawk").string();
    const fs::path programFiles = program.parent_path();
    if (LowerAscii(program.filename().string()) == "pagewick" &&
        LowerAscii(programFiles.filename().string()) == "program files")
        folders.documents = FindIgnoringCase(programFiles.parent_path(), "My Documents").string();
    return folders;
}

bool RegisterDevicePawkType(const std::string& program) {
    return pwview::RegisterTypeForProgram(program, "PaWK", "KPW-PAWK", "wickpad", "Wickpad");
}

bool RegisterDeviceLitType(const std::string& program) {
    return pwview::RegisterTypeForProgram(program, "LIT", "", "wickpad", "Wickpad");
}

const char* const kDeviceAssociateLitQuestion =
    "Associate this reader with LIT files in File Explorer?\r\nIf you have Rights Protected (DRM) "
    "eBooks, you may wish Microsoft Reader\r\nto maintain this association.";

}  // namespace wickpad
