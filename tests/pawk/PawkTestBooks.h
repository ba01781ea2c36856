// Books put together byte by byte in the tests, independent of the writer: any version, any
// table, chunks compressed with zlib or libbz2 or stored, and fields that lie.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pawk/PawkFormat.h"

namespace pagewick::test {

struct RawChunk {
    std::string name;
    std::vector<uint8_t> stored;
    int32_t decoded = 0;
    int32_t flags = 0;
    std::optional<int32_t> storedLengthOverride;
    std::optional<int32_t> offsetOverride;
};

struct RawBook {
    int32_t version = 2;
    std::string title, author, publisher, identifier, rights;
    int32_t reservedBlocks = 4;  // written as the count from version 1 on
    std::vector<std::string> order;
    std::vector<PawkContentsEntry> contents;
    std::vector<RawChunk> chunks;
};

std::vector<uint8_t> Serialize(const RawBook& book);

// Chunks for a file as a writer of that version makes them: C - 4 content bytes each behind a
// lead of four 0xEE bytes, zlib for version 2 and bzip2 below, or stored when compress is false.
std::vector<RawChunk> MakeChunks(const std::string& name, const std::vector<uint8_t>& content,
                                 int32_t version, bool compress);

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw);
std::vector<uint8_t> Bzip2(const std::vector<uint8_t>& raw);

// Text that compresses like prose but differs everywhere (deterministic).
std::vector<uint8_t> SampleText(size_t size, uint32_t seed = 1);
std::vector<uint8_t> ToBytes(const std::string& s);

// A book holding a few text files of the given sizes, with contents entries "name#".
RawBook TextBook(int32_t version, const std::vector<size_t>& sizes, bool compress = true);

}  // namespace pagewick::test
