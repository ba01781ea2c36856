// What an EPUB may make us hold or do. A book from anywhere is untrusted: every bound here is
// checked against what really happens (bytes inflated, items seen, depth reached), never against
// what the archive's directory or a document claims.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pagewick {

struct EpubLimits {
    // A member inflating to more than memberBytes, or to more than memberRatio times the bytes
    // it is stored in, is a ZIP bomb and is refused as soon as inflating passes the bound.
    uint64_t memberBytes = 256u << 20;
    uint64_t memberRatio = 1000;
    // The container, the package, the contents document and the encryption list are read whole
    // before they are parsed; real ones are a few kilobytes, the largest packages a megabyte.
    size_t documentBytes = 16u << 20;
    // Manifest items, spine items and contents entries each: real books list a few thousand.
    size_t items = 100000;
    // Element nesting in any XML document: contents nest a handful of levels.
    int xmlDepth = 256;
    // Inflated content files kept for the reader, most recently used first. A file larger than
    // the budget is handed out but not kept.
    size_t cacheBytes = 8u << 20;
};

}  // namespace pagewick
