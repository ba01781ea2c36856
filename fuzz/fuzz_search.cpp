// Arbitrary bytes as a text or HTML book, searched for a pattern taken from the input's first
// bytes (with options from its first byte): every hit lies inside the text, hits come in
// order without overlapping, the pages given are those of the table, and stepping forwards or
// backwards from a hit never lands on the wrong side of it.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/BookEngine.h"
#include "engine/FixedSurface.h"
#include "engine/Search.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t patternLength = std::min<size_t>(data[1] % 12 + 1, size - 2);
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("pagewick-fuzz-search-" + std::to_string(getpid()) + ".htm"))
                                        .string();
    const std::string pattern(reinterpret_cast<const char*>(data + 2), patternLength);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 2 + patternLength),
                  std::streamsize(size - 2 - patternLength));
    }
    using namespace pagewick;
    FixedSurface surface;
    CBookEngine doc;
    doc.BookPath = path;
    doc.LeftEdge = doc.TopEdge = 4;
    doc.RightEdge = 60 + (data[0] & 63);
    doc.PageHeight = 100;
    if (!doc.PrepareSource()) return 0;
    doc.GetChar(0);
    doc.BuildWidthTable(&surface);
    MatchOptions options;
    options.matchCase = data[0] & 1;
    options.wholeWords = data[0] & 2;
    options.ignoreAccents = data[0] & 4;
    BookSearch search(doc, std::string_view(pattern), options);
    if (!search.Ready()) return 0;

    std::vector<BookHit> hits;
    search.All([&](const BookHit& hit) {
        if (hit.first < 0 || hit.end <= hit.first || uint32_t(hit.end) > doc.CharCount() + 1)
            __builtin_trap();
        if (!hits.empty() && hit.first < hits.back().end) __builtin_trap();
        if (hit.page < 0 || size_t(hit.page) >= doc.PageStarts.size() ||
            doc.PageStarts[size_t(hit.page)] > hit.first)
            __builtin_trap();
        hits.push_back(hit);
        return hits.size() < 200;
    });
    for (size_t i = 0; i < hits.size() && i < 20; ++i) {
        std::optional<BookHit> next = search.Next(hits[i].first);
        if (next && next->first < hits[i].first) __builtin_trap();
        std::optional<BookHit> previous = search.Previous(hits[i].first + 1);
        if (previous && previous->first > hits[i].first) __builtin_trap();
    }
    return 0;
}
