// The manifest of a LIT book ("/manifest"): the files of its four groups by name and path.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/lit/LitContainer.h"

namespace pagewick {

// One entry of "/manifest": the name under "/data/", the path the book's author gave the file,
// its media type and a 32-bit value kept as read.
struct LitManifestEntry {
    std::string id;
    std::string path;
    std::string mediaType;
    uint32_t value = 0;
};

// Groups 0 (linear content files), 1 (non-linear content files), 2 (style sheets), 3 (pictures
// and other media).
using LitManifest = std::array<std::vector<LitManifestEntry>, 4>;

// A manifest listing more entries than this is refused as out of memory: real books list a few
// thousand, and every entry costs a lookup when the book is measured.
constexpr size_t kLitMaxManifestEntries = 1u << 18;

// Parses "/manifest": directory names, each followed by four groups; the groups of the last
// directory are kept. 0, kLitMalformed for a stray byte after the closing 0, kLitBadSectionData
// (-1) for a manifest cut short, kLitNoMemory for too many entries.
int ParseLitManifest(std::span<const uint8_t> bytes, LitManifest& out);

}  // namespace pagewick
