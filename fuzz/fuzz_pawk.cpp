// Fuzz target for the PAWK reader: Open on any bytes, then windows across the whole position
// space, chunk reads by name, FileAt and extraction of the listed files and the cover.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pawk/PawkReader.h"

using namespace pagewick;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PawkMemoryFile file(data, size);
    PawkReader reader;
    if (!reader.Open(file)) return 0;
    std::vector<uint8_t> buffer(kPawkMaxChunk);

    // Windows: every chunk start of every file (and one byte in), a bounded number of reads.
    int budget = 512;
    const int32_t c = reader.ChunkSize();
    for (const auto& entry : reader.Order()) {
        for (int64_t pos = entry.start; pos < int64_t(entry.start) + entry.length && budget > 0;
             pos += c, --budget) {
            PawkReader::Window w;
            bool ok = reader.ReadWindow(file, int32_t(pos), buffer, w);
            if (ok) {
                // Every position of a window read is in the buffer; touch the first and last.
                if (w.length < 0 || w.length > kPawkMaxChunk) __builtin_trap();
                volatile uint8_t first = buffer[0],
                                 last = buffer[size_t(std::max(w.length, 1) - 1)];
                (void)first;
                (void)last;
            }
            reader.ReadWindow(file, int32_t(pos + 1 < INT32_MAX ? pos + 1 : pos), buffer, w);
            (void)reader.FileAt(int32_t(pos));
        }
    }
    PawkReader::Window w;
    reader.ReadWindow(file, reader.BookLength(), buffer, w);
    reader.ReadWindow(file, -1, buffer, w);
    reader.ReadWindow(file, INT32_MAX, buffer, w);

    // Chunk reads by name, and extraction of a few files through a counting sink.
    int chunkBudget = 256;
    for (const auto& chunk : reader.Chunks()) {
        if (chunkBudget-- <= 0) break;
        int32_t length = 0;
        reader.ReadChunk(file, chunk.name, buffer, length);
    }
    size_t extracted = 0;
    auto sink = [&extracted](const uint8_t*, size_t n) {
        extracted += n;
        return extracted < (size_t(16) << 20);
    };
    int files = 8;
    for (const auto& entry : reader.Order())
        if (files-- > 0) reader.ExtractFile(file, entry.name, sink);
    if (!reader.CoverName().empty()) reader.ExtractFile(file, reader.CoverName(), sink);
    (void)reader.FileLength("cover.png");
    return 0;
}
