// Test helpers for compiled LIT markup: a builder of hand-made streams, a decoding call that
// collects the markup, the word comparison with a book's plain-text rendering, and the fixture
// listings.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "formats/lit/LitBinary.h"

namespace pagewick::test {

// Builds a compiled stream: text, element starts, attributes, element ends.
class LitStream {
public:
    LitStream& Text(std::string_view utf8);
    LitStream& Char(uint32_t code);                              // one character, UTF-8 encoded
    LitStream& Open(uint32_t flags, uint32_t tag);               // 0, flags, tag code
    LitStream& Attr(uint32_t code, std::string_view utf8Value);  // counted text value
    LitStream& NumberAttr(uint32_t code, uint32_t n);            // 0xffff, n
    LitStream& EndAttrs() { return Char(0); }
    LitStream& Close() { return Char(0).Char(2).Char(0); }  // the children end
    LitStream& Raw(std::initializer_list<uint8_t> bytes);
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// Number of UTF-8 characters in a text.
size_t Utf8Length(std::string_view utf8);

struct LitDecoded {
    long result;
    std::string markup;
};

LitDecoded DecodeAll(const std::vector<uint8_t>& bytes, LitDecodeMode mode = LitDecodeMode::Html,
                     const LitManifestGroups* manifest = nullptr);

// The words of decoded markup (head section and tags dropped, references decoded): runs of
// letters and digits, in order.
std::vector<std::string> MarkupWords(std::string_view markup);

// The letters and digits of UTF-8 plain text, without the spaces and punctuation between them
// (a plain-text rendering joins or splits words at tags differently).
std::string TextLetters(std::string_view utf8);
// The words (runs of letters and digits) of UTF-8 plain text.
std::vector<std::string> TextWords(std::string_view utf8);

// Checks that `words` appear in `letters` in order, each within `window` bytes of where the last
// one ended, starting at letters[cursor]; advances the cursor. Returns "" or a description of the
// first word not found.
std::string FindInOrder(const std::vector<std::string>& words, const std::string& letters,
                        size_t& cursor, size_t window);

// The rows of a fixture listing (tab-separated, "#" lines left out).
std::vector<std::vector<std::string>> ReadTsv(const std::filesystem::path& path);

// A fixture book's manifest as its listing gives it (NAME.manifest.tsv): id and path per group.
LitManifestGroups ReadLitManifest(const std::string& book);

}  // namespace pagewick::test
