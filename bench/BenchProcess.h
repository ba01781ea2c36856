// Timing a whole process, for the benchmarks that compare the tool's run from start to end.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace pagewick::bench {

// Runs a program with its output thrown away and returns the wall-clock seconds it took, or -1
// when it could not run or did not succeed; peakKb, when given, receives its peak resident
// memory in kilobytes. A child's peak counts this process's memory until it runs its program,
// so a peak is taken through the small starter peak_of (its own start adds about a millisecond
// to the time).
inline double RunProcess(std::vector<std::string> argv, long* peakKb = nullptr) {
#ifdef PAGEWICK_PEAK_OF
    char peakFile[] = "/tmp/pagewick-peak-XXXXXX";
    if (peakKb) {
        const int fd = mkstemp(peakFile);
        if (fd < 0) return -1;
        close(fd);
        argv.insert(argv.begin(), {PAGEWICK_PEAK_OF, peakFile});
    }
#endif
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
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (peakKb) {
#ifdef PAGEWICK_PEAK_OF
        *peakKb = -1;
        if (FILE* in = std::fopen(peakFile, "r")) {
            if (std::fscanf(in, "%ld", peakKb) != 1) *peakKb = -1;
            std::fclose(in);
        }
        std::remove(peakFile);
#else
        *peakKb = usage.ru_maxrss;
#endif
    }
    if (status != 0) return -1;
    return seconds;
}

}  // namespace pagewick::bench
