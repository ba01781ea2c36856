// Start-up of the handheld reader: which profile it runs (the touch-and-stylus build or the
// keys-only build), its command line, the registry flags it starts with, and its association.
#pragma once

#include <string>
#include <vector>

#include "util/Host.h"
#include "view/Startup.h"

namespace wickpad {

enum class Profile { Touch, Keys };

struct DeviceStart {
    Profile profile = Profile::Touch;
    bool regServer = false;
    std::string bookPath;   // as given: this file system keeps case
    std::string bookTitle;  // its file name without folder and extension
    bool forceLandscape = false;
    pwview::PendingBook pending;  // the book the view opens first
    std::string programFolder;    // "--program-folder": where the reader was installed
};

// The profile from the name the program was started under: a name ending in "sp" (any case,
// "WickpadSP", "wickpad-sp") runs the keys profile, everything else the touch profile.
Profile ProfileFromProgramName(const std::string& argv0);

// "--profile touch|keys" (or "--profile=keys") overrides the name; "--program-folder DIR" (or
// "--program-folder=DIR") names the folder the reader was installed in, as the launcher on a
// handheld gives it. The other arguments are read as the desktop reads them: a book by its
// extension (kept as given), "regserver" only as a whole word. The words that install onto a
// handheld mean nothing here.
DeviceStart ParseDeviceCommandLine(const std::string& argv0, const std::vector<std::string>& args);

// Reads "ForceLandScape" and, with "AutoOpen" "1" and no book given, the last book, from the
// host's section (the frame's: the handheld's own).
void ReadStartSettings(DeviceStart& start, pagewick::Host& host);

// The folders of a reader installed onto a handheld mounted as a folder: the help book the
// install put beside the program, and the handheld's documents folder, "My Documents" at its
// root, when the program folder is the install's "<root>/Program Files/Pagewick" (names matched
// without regard to case, as the handheld's are). documents is empty for any other folder.
struct InstalledFolders {
    std::string helpBook;
    std::string documents;
};
InstalledFolders FoldersOfInstall(const std::string& programFolder);

// The PAWK association (every start) and, on request, the LIT one, for this program.
bool RegisterDevicePawkType(const std::string& program);
bool RegisterDeviceLitType(const std::string& program);
extern const char* const kDeviceAssociateLitQuestion;

}  // namespace wickpad
