// The library scan over a folder tree like a well-filled reader's: 2000 books in 40 folders,
// a quarter of them LIT books (each probed for the magazine mark and its pagination title) and
// 20 ZIP archives of 10 members each.
#include <benchmark/benchmark.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "library/Library.h"

namespace {

namespace fs = std::filesystem;

struct Tree {
    fs::path root;
    Tree() {
        std::random_device seed;
        root = fs::temp_directory_path() / ("pagewick-bench-library-" + std::to_string(seed()));
        std::string litBody(40000, 'x');
        for (int folder = 0; folder < 40; ++folder) {
            fs::path dir = root / ("shelf" + std::to_string(folder));
            fs::create_directories(dir);
            for (int book = 0; book < 50; ++book) {
                std::string name = "book" + std::to_string(book);
                bool lit = book % 4 == 0;
                std::ofstream(dir / (name + (lit ? ".lit" : ".txt")), std::ios::binary)
                    << (lit ? litBody : std::string("text"));
            }
            if (folder % 2 == 0) {
                int error = 0;
                zip_t* z = zip_open((dir / "box.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
                for (int m = 0; m < 10; ++m)
                    zip_file_add(z, ("m" + std::to_string(m) + ".txt").c_str(),
                                 zip_source_buffer(z, "t", 1, 0), 0);
                zip_close(z);
            }
        }
    }
    ~Tree() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

void BM_ScanLibrary(benchmark::State& state) {
    static Tree tree;
    bool searchZip = state.range(0) != 0;
    size_t found = 0;
    for (auto _ : state) {
        std::vector<pagewick::LibraryEntry> entries;
        pagewick::ScanLibrary(tree.root.string(), true, searchZip, entries);
        found = entries.size();
        benchmark::DoNotOptimize(entries.data());
    }
    state.counters["entries"] = double(found);
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(found));
}
BENCHMARK(BM_ScanLibrary)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
