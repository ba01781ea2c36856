// A page turn in the handheld reader's view on a 480 by 640 page over a 10 MB text book, drawn
// on the offscreen platform, upright and with landscape forced (the page drawn turned); and the
// Library of a documents folder holding 100,000 books: the scan with its limits and the list
// filled and shown.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QApplication>
#include <filesystem>
#include <fstream>

#include "BenchViews.h"
#include "device/Commands.h"
#include "device/DeviceDialogs.h"
#include "device/DeviceLibrary.h"
#include "device/DeviceView.h"
#include "view/DesktopHost.h"

namespace {

using namespace wickpad;
using pagewick::MessageAnswer;
using pagewick::MessageButtons;
namespace fs = std::filesystem;

QApplication& App() {
    return bench::App("wickpad_page_turn");
}

fs::path TenMegabyteBook(const fs::path& folder) {
    return bench::TenMegabyteBook(
        folder, {"the", "handheld", "turns", "a", "page", "of", "words", "quickly"});
}

struct OpenView {
    fs::path dir;
    pwview::DesktopHost host;
    CDeviceView view;

    explicit OpenView(bool landscape)
        : dir(fs::temp_directory_path() / ("wickpad-bench-turn-" + std::to_string(getpid()))),
          host(dir / "Pagewick.conf"),
          view(host, dir / "Wickpad.cfg") {
        fs::create_directories(dir);
        host.answerer = [](const std::string&, MessageButtons) { return MessageAnswer::Ok; };
        view.SetForceLandscape(landscape);
        view.resize(480, 640);
        view.show();
        QApplication::processEvents();
        if (!view.OpenPath(TenMegabyteBook(dir).string())) throw std::runtime_error("not opened");
        view.OnCommand(ID_GOTO_50);
        view.repaint();
    }
    ~OpenView() {
        view.hide();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

void Turn(benchmark::State& state, int command, bool landscape) {
    App();
    OpenView v(landscape);
    for (auto _ : state) {
        int32_t before = v.view.Document().CurrentPage;
        v.view.OnCommand(command);
        v.view.repaint();
        if (v.view.Document().CurrentPage == before) {
            state.PauseTiming();
            v.view.OnCommand(ID_GOTO_50);
            v.view.repaint();
            state.ResumeTiming();
        }
    }
}

void BM_HandheldTurnForward(benchmark::State& state) {
    Turn(state, ID_NEXT_PAGE, false);
}
void BM_HandheldTurnBack(benchmark::State& state) {
    Turn(state, ID_PREVIOUS_PAGE, false);
}
void BM_HandheldTurnForwardLandscape(benchmark::State& state) {
    Turn(state, ID_NEXT_PAGE, true);
}
// 100,000 books in one folder (arg 0) or in 100 folders of 1,000 (arg 1): the scan stops at the
// 2,000th book, so only the second reads less than the whole card.
void BM_LibraryOf100000Files(benchmark::State& state) {
    App();
    fs::path dir = fs::temp_directory_path() / ("wickpad-bench-lib-" + std::to_string(getpid()));
    const bool folders = state.range(0) != 0;
    for (int i = 0; i < 100000; ++i) {
        fs::path folder = dir / "docs";
        if (folders) folder /= "shelf" + std::to_string(1000 + i / 1000);
        if (i % 1000 == 0) fs::create_directories(folder);
        std::ofstream(folder / ("book" + std::to_string(i) + ".txt")) << "x";
    }
    pwview::DesktopHost host(dir / "Pagewick.conf");
    host.answerer = [](const std::string&, MessageButtons) { return MessageAnswer::Ok; };
    size_t rows = 0;
    const std::string docs = (dir / "docs").string();
    for (auto _ : state) {
        // The scan on the Library's worker (it stops at the 2,000th book), then the list filled.
        LibraryWarnings warned{true, true};
        CDeviceLibraryDlg dlg(
            [docs](const std::atomic<bool>& stop) {
                return BuildDeviceLibrary("", docs, {}, true, false, &stop);
            },
            0, true, host, warned, nullptr);
        dlg.show();
        dlg.WaitForScan();
        rows = size_t(dlg.BookRows());
        dlg.hide();
    }
    state.counters["rows"] = double(rows);
    std::error_code ec;
    fs::remove_all(dir, ec);
}

BENCHMARK(BM_HandheldTurnForward)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandheldTurnBack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandheldTurnForwardLandscape)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibraryOf100000Files)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
