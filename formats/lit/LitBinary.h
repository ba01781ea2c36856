// The decoder of compiled LIT markup: content files and the package description of a LIT book are
// stored as a stream of UTF-8 characters in which tags and attributes are numeric codes, elements
// are nested by flag characters and attribute values are counted strings. DecodeLitBinary writes
// such a stream back as markup text, piece by piece, into an output sink.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace pagewick {

enum class LitDecodeMode {
    Html,     // a content file: the HTML tag tables, line feeds after flagged elements
    Package,  // "/meta": the package tag and attribute tables, every opening tag on a new line
};

// One entry of the book's manifest as the decoder needs it for links: the name under "/data/"
// and the path the book's author gave the file.
struct LitLinkTarget {
    std::string id;
    std::string path;
};

// The four manifest groups (0 and 1 content files, 2 style sheets, 3 pictures and other media),
// searched in this order for the target of "href" and "src" values.
using LitManifestGroups = std::array<std::vector<LitLinkTarget>, 4>;

// Receives every piece of markup in order. Answers the length taken, or a negative value, which
// stops the decoding; DecodeLitBinary then returns kLitBinaryStopped.
using LitOutputSink = std::function<long(const char* text, size_t length)>;

// Result codes (negative; a result of 0 or more is the number of bytes consumed).
// Broken structure, a count beyond the input, elements nested too deep.
inline constexpr long kLitBinaryMalformed = -1;
// An invalid UTF-8 sequence.
inline constexpr long kLitBinaryBadUtf8 = -2140;
// The sink answered a negative value, whatever it was: the decoding stopped there, and nothing
// after that point (not even a fault in the input) was looked at.
inline constexpr long kLitBinaryStopped = -2141;

// Elements nested deeper than this are refused with kLitBinaryMalformed. Real books nest a few
// dozen levels; the bound only keeps a hostile file from growing the element stack without end.
inline constexpr size_t kLitBinaryMaxDepth = 1024;

// Decodes bytes[start, end) and writes the markup to the sink, ending with "<a name=\"\"></a>".
// Returns the number of bytes consumed (end - start) or a negative code: kLitBinaryBadUtf8,
// kLitBinaryMalformed, or kLitBinaryStopped. manifest may be nullptr (no link is resolved).
// Markup produced before a failure has been handed to the sink.
long DecodeLitBinary(std::span<const uint8_t> bytes, size_t start, size_t end, LitDecodeMode mode,
                     const LitManifestGroups* manifest, const LitOutputSink& sink);

}  // namespace pagewick
