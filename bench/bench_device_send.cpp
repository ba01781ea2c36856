// Sending a 50 MB book to a handheld mounted as a folder, through the link and the project's
// library (blocks of 10,240 bytes, written under a temporary name, flushed and renamed), against
// cp of the same file into the same folder in the same run. The folder is below the temporary
// folder ($TMPDIR); point that at the device's file system to measure a real one.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "devicelink/TolvarRapi.h"

using namespace pagewick;
namespace fs = std::filesystem;

namespace {

constexpr size_t kBookBytes = 50u << 20;

struct Folders {
    fs::path top, book, device;
    Folders() {
        top = fs::temp_directory_path() / ("pagewick-bench-send-" + std::to_string(getpid()));
        device = top / "device";
        fs::create_directories(device / "My Documents");
        book = top / "book.pawk";
        std::mt19937 random(7);
        std::string bytes(kBookBytes, '\0');
        for (char& c : bytes)
            c = char(random());
        std::ofstream(book, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        setenv("PAGEWICK_DEVICE_ROOT", device.c_str(), 1);
    }
    ~Folders() {
        std::error_code ec;
        fs::remove_all(top, ec);
    }
};

Folders& TheFolders() {
    static Folders folders;
    return folders;
}

void BM_SendToDevice(benchmark::State& state) {
    Folders& f = TheFolders();
    CTolvarRAPI link(nullptr);
    if (!link.IsLoaded()) {
        state.SkipWithError("no librapi.so");
        return;
    }
    for (auto _ : state)
        if (!link.CopyToDevice(f.book.string(), "\\My Documents\\book.pawk"))
            state.SkipWithError("copy failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBookBytes));
}
BENCHMARK(BM_SendToDevice)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CpCommand(benchmark::State& state) {
    Folders& f = TheFolders();
    const std::string command =
        "cp '" + f.book.string() + "' '" + (f.device / "My Documents" / "cp.pawk").string() + "'";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBookBytes));
}
BENCHMARK(BM_CpCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

// cp followed by sync of the file, the same promise the link makes before the rename.
void BM_CpAndSync(benchmark::State& state) {
    Folders& f = TheFolders();
    const fs::path target = f.device / "My Documents" / "cpsync.pawk";
    const std::string command =
        "cp '" + f.book.string() + "' '" + target.string() + "' && sync '" + target.string() + "'";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBookBytes));
}
BENCHMARK(BM_CpAndSync)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
