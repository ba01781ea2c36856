// What the reading-view benchmarks share: the offscreen Qt application and the generated 10 MB
// text book.
#pragma once

#include <QApplication>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace bench {

inline QApplication& App(const char* programName) {
    static int argc = 1;
    static std::string name = programName;
    static char* argv[] = {name.data(), nullptr};
    static const bool offscreen = qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: at exit, Qt's own globals are gone before a static application would go,
    // and its destructor crashed the program after the figures were printed.
    static QApplication* app = new QApplication(argc, argv);
    (void)offscreen;
    return *app;
}

// "Ten.txt" in the folder: paragraphs of the given words in a fixed pseudo-random order and of
// varied length, about 10 MB.
inline std::filesystem::path TenMegabyteBook(const std::filesystem::path& folder,
                                             std::initializer_list<const char*> wordList) {
    const std::vector<const char*> words(wordList);
    std::filesystem::path path = folder / "Ten.txt";
    std::ofstream out(path, std::ios::binary);
    uint32_t seed = 12345;
    size_t written = 0;
    while (written < 10u << 20) {
        std::string paragraph;
        int count = 40 + int(seed % 80);
        for (int i = 0; i < count; ++i) {
            seed = seed * 1103515245u + 12345u;
            paragraph += words[(seed >> 16) % words.size()];
            paragraph += ' ';
        }
        paragraph += "\r\n\r\n";
        out << paragraph;
        written += paragraph.size();
    }
    return path;
}

}  // namespace bench
