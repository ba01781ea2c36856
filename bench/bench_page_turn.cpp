// A page turn in the reading view over a 10 MB text book, drawn on the offscreen platform: the
// turn forward shows the page drawn ahead and draws the next one; the turn back draws both the
// page and the one after it, the most a single turn draws.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QApplication>
#include <filesystem>
#include <fstream>

#include "BenchViews.h"
#include "desktop/ChildView.h"
#include "desktop/Commands.h"
#include "desktop/DesktopHost.h"
#include "desktop/LibraryDialog.h"

namespace {

using namespace wickstand;
using pagewick::MessageAnswer;
using pagewick::MessageButtons;
namespace fs = std::filesystem;

QApplication& App() {
    return bench::App("bench_page_turn");
}

fs::path TenMegabyteBook(const fs::path& folder) {
    return bench::TenMegabyteBook(
        folder, {"the", "reading", "view", "turns", "a", "page", "of", "words", "quickly", "enough",
                 "for", "anyone", "holding", "this", "book"});
}

struct OpenView {
    fs::path dir;
    DesktopHost host;
    CChildView view;

    OpenView()
        : dir(fs::temp_directory_path() / ("pagewick-bench-turn-" + std::to_string(getpid()))),
          host(dir / "Pagewick.conf"),
          view(host, dir / "Wickstand.cfg") {
        fs::create_directories(dir);
        host.answerer = [](const std::string&, MessageButtons) { return MessageAnswer::Ok; };
        view.resize(700, 900);
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

void Turn(benchmark::State& state, int command, int restart, bool clearType = false,
          int32_t highlights = 0) {
    App();
    OpenView v;
    if (highlights > 0) {
        // Spread evenly over the book, a few on every page, some of them long.
        pagewick::CBookEngine& doc = v.view.Document();
        const int32_t step = int32_t(doc.CharCount() / uint32_t(highlights));
        std::vector<pagewick::Highlight> all(size_t(highlights));
        for (int32_t i = 0; i < highlights; ++i) {
            all[size_t(i)].start = i * step;
            all[size_t(i)].end = i * step + (i % 10 == 0 ? 3 * step : step / 3);
            all[size_t(i)].colour = pagewick::HighlightColour(i % 4);
        }
        doc.Highlights.Assign(std::move(all));
        v.view.repaint();
    }
    if (clearType) {
        v.view.Settings().clearType = 1;
        v.view.ApplySettings();
        v.view.repaint();
    }
    for (auto _ : state) {
        int32_t before = v.view.Document().CurrentPage;
        v.view.OnCommand(command);
        v.view.repaint();
        if (v.view.Document().CurrentPage == before) {
            state.PauseTiming();
            v.view.OnCommand(restart);
            v.view.repaint();
            state.ResumeTiming();
        }
    }
    state.counters["page"] = v.view.Document().CurrentPage;
}

void BM_PageTurnForward(benchmark::State& state) {
    Turn(state, ID_NEXT_PAGE, ID_GOTO_50);
}
void BM_PageTurnBack(benchmark::State& state) {
    Turn(state, ID_PREVIOUS_PAGE, ID_GOTO_50);
}
// The same with ClearType: each run of text drawn at three times the width and filtered.
void BM_PageTurnForwardClearType(benchmark::State& state) {
    Turn(state, ID_NEXT_PAGE, ID_GOTO_50, true);
}
// The same over a book holding 100,000 highlights.
void BM_PageTurnForward100000Highlights(benchmark::State& state) {
    Turn(state, ID_NEXT_PAGE, ID_GOTO_50, false, 100000);
}
BENCHMARK(BM_PageTurnForward)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageTurnForward100000Highlights)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageTurnForwardClearType)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageTurnBack)->Unit(benchmark::kMillisecond);

// The Library over 100,000 books in 100 folders: the time until the dialog is shown and
// answering, the scan still running behind it (the destructor's wait for the scan is not timed).
void BM_LibraryShownOver100000Books(benchmark::State& state) {
    App();
    static const fs::path root = [] {
        fs::path r =
            fs::temp_directory_path() / ("pagewick-bench-shelves-" + std::to_string(getpid()));
        for (int folder = 0; folder < 100; ++folder) {
            fs::path dir = r / ("shelf" + std::to_string(folder));
            fs::create_directories(dir);
            for (int book = 0; book < 1000; ++book)
                std::ofstream(dir / ("book" + std::to_string(book) + ".txt")) << "text";
        }
        return r;
    }();
    for (auto _ : state) {
        auto dlg = std::make_unique<CSelectDlg>(std::vector<pagewick::LibraryEntry>{},
                                                root.string(), true, true, nullptr);
        dlg->show();
        QApplication::processEvents();
        state.PauseTiming();
        dlg.reset();
        state.ResumeTiming();
    }
    std::error_code ignored;
    if (state.thread_index() == 0) fs::remove_all(root, ignored);
}
BENCHMARK(BM_LibraryShownOver100000Books)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
