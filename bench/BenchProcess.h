// Timing a whole process, for the benchmarks that compare the tool's run from start to end.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <vector>

namespace pagewick::bench {

// Runs a program with its output thrown away and returns the wall-clock seconds it took, or -1
// when it could not run or did not succeed; peakKb, when given, receives its peak resident
// memory in kilobytes.
inline double RunProcess(std::vector<std::string> argv, long* peakKb = nullptr) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (std::string& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    auto begin = std::chrono::steady_clock::now();
    pid_t child = 0;
    struct rusage usage {};
    int status = -1;
    if (posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ) == 0)
        wait4(child, &status, 0, &usage);
    posix_spawn_file_actions_destroy(&actions);
    if (status != 0) return -1;
    if (peakKb) *peakKb = usage.ru_maxrss;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

}  // namespace pagewick::bench
