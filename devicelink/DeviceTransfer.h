// Installing the handheld reader, removing it again and sending a book, built from the link's
// device operations. Each command makes its own link, uses it and lets it go before it returns;
// everything is reported through the host's message boxes.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "devicelink/TolvarRapi.h"
#include "util/Host.h"

namespace pagewick {

enum class HandheldBuild { PocketPC, Smartphone };

// The files of one reader build beside the desktop program, and where they go on the device.
struct HandheldBuildFiles {
    const char* programFile;     // "WickpadPPC.exe.device"
    const char* shortcutFile;    // "WickpadPPC.lnk.device"
    const char* deviceProgram;   // "\Program Files\Pagewick\WickpadPPC.exe"
    const char* deviceShortcut;  // "\Windows\Start Menu\Programs\Pagewick.lnk"
    const char* deviceName;      // "PocketPC" or "Smartphone", as the messages say it
};
const HandheldBuildFiles& FilesOf(HandheldBuild build);

inline constexpr const char* kHelpBookFile = "Pagewick Help.pawk";
inline constexpr const char* kDeviceProgramFolder = "\\Program Files\\Pagewick";
inline constexpr const char* kDeviceHelpBook = "\\Program Files\\Pagewick\\Pagewick Help.pawk";
inline constexpr const char* kDeviceDocuments = "\\My Documents\\";

class CDeviceTransfer {
public:
    using LinkFactory = std::function<std::unique_ptr<CTolvarRAPI>(Host*)>;

    static const char* const kMissingFiles;
    static const char* const kUninstallQuestion;
    static const char* const kRemoved;
    static const char* const kRemovedPartly;
    static const char* const kSent;

    // programFolder: the folder of the desktop program, where the reader builds ship. Without a
    // factory each command loads the library from its usual places.
    CDeviceTransfer(Host& host, std::filesystem::path programFolder, LinkFactory makeLink = {});

    // True when both the program and the shortcut file of the build are beside the program.
    static bool BuildFilesPresent(const std::filesystem::path& programFolder, HandheldBuild build);
    // True while the link library can be loaded (the device commands are offered).
    bool LinkAvailable() const;

    // Each returns true when everything it set out to do was done (a cancelled uninstall too);
    // a device that was not reached, or a file that could not be copied or removed, gives false.
    bool InstallPocketPC() { return Install(HandheldBuild::PocketPC); }
    bool InstallSmartphone() { return Install(HandheldBuild::Smartphone); }
    bool Install(HandheldBuild build);
    bool UninstallFromDevice();
    bool SendBookToDevice(const std::string& bookPath);

    // "\My Documents\" and the book's file name without its folder; characters the device takes
    // for separators or cannot hold in a name become "_", so the name stays one entry in that
    // folder. Empty when the path names no file.
    static std::string DeviceBookPath(const std::string& bookPath);
    // The messages of an install that ended: complete, or with `failed` of `total` steps failed.
    static std::string InstalledMessage(HandheldBuild build, int failed, int total);

private:
    std::unique_ptr<CTolvarRAPI> MakeLink() const;
    void Say(const std::string& text, MessageIcon icon);

    Host& host_;
    std::filesystem::path folder_;
    LinkFactory makeLink_;
};

}  // namespace pagewick
