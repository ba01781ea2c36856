// Runs the pagewick tool as a person would from a shell, for the command tests.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace pagewick::test {

// Standard output of "pagewick ARGUMENTS", with standard error after it when withErrors is set;
// status receives the exit status (-1 when the tool could not be run or did not exit).
inline std::string RunTool(const std::string& arguments, int& status, bool withErrors) {
    const std::string command =
        std::string(PAGEWICK_CLI) + " " + arguments + (withErrors ? " 2>&1" : " 2>/dev/null");
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    std::array<char, 4096> buffer;
    size_t n;
    while (pipe && (n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.append(buffer.data(), n);
    status = -1;
    if (pipe) {
        int result = pclose(pipe);
        if (WIFEXITED(result)) status = WEXITSTATUS(result);
    }
    return out;
}

}  // namespace pagewick::test
