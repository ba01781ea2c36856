#include "device/DeviceStartup.h"

#include <filesystem>

#include "util/AsciiCase.h"

namespace wickpad {
using pagewick::kRegistrySection;
using pagewick::LowerAscii;

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
    wickstand::StartRequest request = wickstand::ParseCommandLine(rest);
    start.regServer = request.action == wickstand::StartAction::RegServer;
    start.bookPath = request.bookPath;
    start.bookTitle = request.bookTitle;
    return start;
}

void ReadStartSettings(DeviceStart& start, pagewick::Host& host) {
    start.forceLandscape = host.GetSetting(kRegistrySection, "ForceLandScape", "").starts_with("1");
    wickstand::StartRequest request;
    request.bookPath = start.bookPath;
    request.bookTitle = start.bookTitle;
    start.pending = wickstand::ChooseFirstBook(request, host);
}

bool RegisterDevicePawkType(const std::string& program) {
    return wickstand::RegisterTypeForProgram(program, "PaWK", "KPW-PAWK", "wickpad", "Wickpad");
}

bool RegisterDeviceLitType(const std::string& program) {
    return wickstand::RegisterTypeForProgram(program, "LIT", "", "wickpad", "Wickpad");
}

const char* const kDeviceAssociateLitQuestion =
    "Associate this reader with LIT files in File Explorer?\r\nIf you have Rights Protected (DRM) "
    "eBooks, you may wish Microsoft Reader\r\nto maintain this association.";

}  // namespace wickpad
