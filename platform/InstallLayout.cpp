#include "platform/InstallLayout.h"

#include <system_error>

#ifndef PAGEWICK_DATA_FROM_PROGRAMS
#define PAGEWICK_DATA_FROM_PROGRAMS "../share/pagewick"
#endif

namespace pagewick {

const char* InstalledDataFromPrograms() {
    return PAGEWICK_DATA_FROM_PROGRAMS;
}

std::filesystem::path ProgramDataFolder(const std::filesystem::path& programFolder) {
    std::error_code ec;
    std::filesystem::path data = (programFolder / InstalledDataFromPrograms()).lexically_normal();
    if (std::filesystem::is_directory(data, ec)) return data;
    return programFolder;
}

}  // namespace pagewick
