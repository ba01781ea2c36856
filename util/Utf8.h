// UTF-8, the encoding of this platform's files, settings and terminals, beside the 16-bit
// characters the engine keeps text in (one unit per character, no surrogate pairs).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace pagewick {

constexpr char16_t kReplacementCharacter = 0xFFFD;

// Decodes the character at p (n bytes there, n > 0) into out and returns the bytes it takes.
// Returns 0 when the bytes end inside a sequence that may still be valid and more may follow
// (atEnd false). A malformed sequence gives one U+FFFD for its longest valid-looking start (at
// least one byte) and sets *malformed; a character beyond 16 bits gives one U+FFFD (it is valid).
inline size_t DecodeUtf8Character(const uint8_t* p, size_t n, bool atEnd, char16_t& out,
                                  bool* malformed = nullptr) {
    const uint8_t lead = p[0];
    if (lead < 0x80) {
        out = lead;
        return 1;
    }
    // Two-byte characters (accented Latin, Greek, Cyrillic) are the common case after ASCII.
    if (lead >= 0xC2 && lead <= 0xDF && n >= 2 && (p[1] & 0xC0) == 0x80) {
        out = char16_t((lead & 0x1F) << 6 | (p[1] & 0x3F));
        return 2;
    }
    // The second byte's range depends on the lead byte: that refuses overlong forms, encoded
    // surrogates and values past U+10FFFF at the first byte that shows them.
    size_t need;
    uint8_t low = 0x80, high = 0xBF;
    uint32_t code;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        code = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        code = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        out = kReplacementCharacter;
        if (malformed) *malformed = true;
        return 1;
    }
    for (size_t i = 1; i <= need; ++i) {
        if (i >= n) {
            if (!atEnd) return 0;
            out = kReplacementCharacter;
            if (malformed) *malformed = true;
            return i;
        }
        if (p[i] < low || p[i] > high) {
            out = kReplacementCharacter;
            if (malformed) *malformed = true;
            return i;
        }
        low = 0x80;
        high = 0xBF;
        code = code << 6 | (p[i] & 0x3F);
    }
    // Characters beyond 16 bits stand as one replacement character, so offsets stay whole.
    out = code > 0xFFFF ? kReplacementCharacter : char16_t(code);
    return need + 1;
}

// How many bytes from p on, at most `most`, are ASCII: eight at a time to the first that is not.
inline size_t Utf8AsciiRun(const uint8_t* p, size_t most) {
    size_t k = 0;
    for (; k + 8 <= most; k += 8) {
        uint64_t v;
        std::memcpy(&v, p + k, sizeof v);
        if (const uint64_t high = v & 0x8080808080808080ull) {
            // The first byte in memory order is the lowest on a little-endian machine.
            const int bit = std::endian::native == std::endian::little ? std::countr_zero(high)
                                                                       : std::countl_zero(high);
            return k + size_t(bit >> 3);
        }
    }
    while (k < most && p[k] < 0x80)
        ++k;
    return k;
}

// Decodes the n bytes at p, which end where the text ends, into at most `room` 16-bit characters
// at out, as DecodeUtf8Character would one by one (U+FFFD for what is malformed or beyond 16
// bits), ASCII a block at a time. Returns the characters written and sets used to the bytes
// they took; out's units past the characters written may have been changed.
size_t DecodeUtf8Text(const uint8_t* p, size_t n, char16_t* out, size_t room, size_t& used);

// Decodes the whole character at p (n bytes there, n > 0), characters beyond 16 bits included,
// and returns the bytes it takes; a malformed sequence gives U+FFFD for its longest
// valid-looking start, as DecodeUtf8Character does.
size_t DecodeUtf8CodePoint(const uint8_t* p, size_t n, uint32_t& code);

// Appends the UTF-8 form of one character. Code points that are no characters (surrogates,
// values past U+10FFFF) are appended as U+FFFD, so the result is always UTF-8.
void AppendUtf8(std::string& out, uint32_t code);

// 16-bit characters of a UTF-8 text, with U+FFFD for what is not UTF-8.
std::u16string Utf8ToUtf16(std::string_view text);

// UTF-8 for 16-bit text, unit by unit.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace pagewick
