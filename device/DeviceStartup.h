// Start-up of the handheld reader: which profile it runs (the touch-and-stylus build or the
// keys-only build), its command line, the registry flags it starts with, and its association.
#pragma once

#include <string>
#include <vector>

#include "desktop/Startup.h"
#include "engine/Host.h"

namespace wickpad {

enum class Profile { Touch, Keys };

struct DeviceStart {
    Profile profile = Profile::Touch;
    bool regServer = false;
    std::string bookPath;   // as given: this file system keeps case
    std::string bookTitle;  // its file name without folder and extension
    bool forceLandscape = false;
    wickstand::PendingBook pending;  // the book the view opens first
};

// The profile from the name the program was started under: a name ending in "sp" (any case,
// "WickpadSP", "wickpad-sp") runs the keys profile, everything else the touch profile.
Profile ProfileFromProgramName(const std::string& argv0);

// "--profile touch|keys" (or "--profile=keys") overrides the name; the other arguments are read
// as the desktop reads them: a book by its extension (kept as given), "regserver" only as a whole
// word. The words that install onto a handheld mean nothing here.
DeviceStart ParseDeviceCommandLine(const std::string& argv0, const std::vector<std::string>& args);

// Reads "ForceLandScape" and, with "AutoOpen" "1" and no book given, the last book.
void ReadStartSettings(DeviceStart& start, pagewick::Host& host);

// The PAWK association (every start) and, on request, the LIT one, for this program.
bool RegisterDevicePawkType(const std::string& program);
bool RegisterDeviceLitType(const std::string& program);
extern const char* const kDeviceAssociateLitQuestion;

}  // namespace wickpad
