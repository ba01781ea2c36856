// The PAWK book layout shared by the reader and the writer: sizes, limits, name rules and the
// list records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pagewick {

// "KPW-PAWK" opens every book.
inline constexpr char kPawkMagic[8] = {'K', 'P', 'W', '-', 'P', 'A', 'W', 'K'};
// The version written; readers accept anything up to it.
inline constexpr int32_t kPawkVersion = 2;
// Raw bytes per chunk, the 4-byte lead included: version 2 (zlib) and version 1 or less (bzip2).
inline constexpr int32_t kPawkChunkSizeV2 = 32771;
inline constexpr int32_t kPawkChunkSizeV1 = 65539;
// The chunk buffer holds the largest chunk of any version, stored or decoded.
inline constexpr int32_t kPawkMaxChunk = 65539;
inline constexpr int32_t kPawkLeadSize = 4;
// Longest string the reader keeps; longer strings in a file are cut to this many bytes.
inline constexpr int32_t kPawkStringLimit = 10267;
// Header strings (title, author, publisher, identifier, rights) are written cut to this.
inline constexpr int32_t kPawkHeaderStringLimit = 127;
// Contents kinds with a meaning: 1 for the cover entry the reader makes itself, 4 for an entry
// whose target names the cover picture.
inline constexpr int32_t kPawkContentsCover = 1;
inline constexpr int32_t kPawkContentsCoverTarget = 4;
// Chunk flag: the stored bytes are a compressed stream.
inline constexpr uint8_t kPawkChunkCompressed = 1;

// Chunk size of a version: 65,539 below 2, 32,771 for 2.
constexpr int32_t PawkChunkSize(int32_t version) {
    return version < 2 ? kPawkChunkSizeV1 : kPawkChunkSizeV2;
}

struct PawkOrderEntry {
    std::string name;
    int32_t start = 0;   // first book position of the file
    int32_t length = 0;  // sum of the decoded lengths of its chunks
};

struct PawkContentsEntry {
    int32_t kind = 0;
    std::string title;
    std::string target;
    bool operator==(const PawkContentsEntry&) const = default;
};

struct PawkChunkEntry {
    int32_t decodedLength = 0;
    int32_t storedLength = 0;
    std::string name;
    int32_t offset = 0;
    uint8_t flags = 0;  // only the lowest byte of the field is kept
};

// Pictures and media are stored as they are and never listed in the order section: decided by
// the last four characters of the name in lower case.
bool PawkIsPictureOrMedia(std::string_view name);

// Names in a book are compared without regard to case: ASCII and the Windows-1252 letters.
std::string PawkFoldCase(std::string_view name);

// "name:d", the chunk d of a file.
std::string PawkChunkName(std::string_view fileName, int64_t index);

}  // namespace pagewick
