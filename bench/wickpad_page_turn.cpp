// A page turn in the handheld reader's view on a 480 by 640 page over a 10 MB text book, drawn
// on the offscreen platform, upright and with landscape forced (the page drawn turned).
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QApplication>
#include <filesystem>
#include <fstream>

#include "desktop/DesktopHost.h"
#include "device/Commands.h"
#include "device/DeviceView.h"

namespace {

using namespace wickpad;
using pagewick::MessageAnswer;
using pagewick::MessageButtons;
namespace fs = std::filesystem;

QApplication& App() {
    static int argc = 1;
    static char name[] = "wickpad_page_turn";
    static char* argv[] = {name, nullptr};
    static const bool offscreen = qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    (void)offscreen;
    return app;
}

fs::path TenMegabyteBook(const fs::path& folder) {
    fs::path path = folder / "Ten.txt";
    std::ofstream out(path, std::ios::binary);
    const char* words[] = {"the", "handheld", "turns", "a", "page", "of", "words", "quickly"};
    uint32_t seed = 12345;
    size_t written = 0;
    while (written < 10u << 20) {
        std::string paragraph;
        int count = 40 + int(seed % 80);
        for (int i = 0; i < count; ++i) {
            seed = seed * 1103515245u + 12345u;
            paragraph += words[(seed >> 16) % std::size(words)];
            paragraph += ' ';
        }
        paragraph += "\r\n\r\n";
        out << paragraph;
        written += paragraph.size();
    }
    return path;
}

struct OpenView {
    fs::path dir;
    wickstand::DesktopHost host;
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
BENCHMARK(BM_HandheldTurnForward)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandheldTurnBack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandheldTurnForwardLandscape)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
