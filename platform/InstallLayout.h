// Where the programs find what ships with them: the help book and the handheld reader's builds.
// Installed, they live in the data folder of the installation prefix (PREFIX/share/pagewick for
// programs in PREFIX/bin); in the build tree, and in a folder that holds the programs and their
// files together, they lie beside the program.
#pragma once

#include <filesystem>

namespace pagewick {

// The data folder as seen from the programs' folder ("../share/pagewick" as built).
const char* InstalledDataFromPrograms();

// The folder holding the shipped files of a program in programFolder: the installation's data
// folder when there is one, else the program's own folder.
std::filesystem::path ProgramDataFolder(const std::filesystem::path& programFolder);

}  // namespace pagewick
