// What search compares, character by character, for the engine's 16-bit characters (U+0000 to
// U+FFFF): case folded (Unicode simple case folding over the whole range), accents removed
// (a precomposed letter's base letter, and the letters with a stroke), the letters that stand
// for several when accents are ignored ("ß" for "ss", "æ" for "ae", the "fi" ligature), and a
// class per character for whole words, runs of white space and characters that never count.
// The tables come from scripts/gen-text-fold.py; each lookup is two loads, nothing allocates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "util/TextFoldData.h"

namespace pagewick {

enum class CharClass : uint8_t {
    Other = 0,      // punctuation, symbols, controls, private use, unassigned
    Word = 1,       // letters, digits and combining marks
    Space = 2,      // spaces (no-break ones too), tabs, line and paragraph ends
    Ignorable = 3,  // soft hyphen, zero-width spaces and joiners, byte-order mark, ...
};

// The property bits of one character.
enum : uint8_t {
    kCharClassMask = 3,
    kCombiningMark = 4,  // general category M*
    kDiacritic = 8,      // a mark that ignoring accents drops (never kana voicing, Indic signs)
    kExpands = 16,       // stands for two or three letters when accents are ignored
};

namespace textfold_detail {

template <class Index, class Block, size_t N, size_t M>
constexpr Block Lookup(const Index (&index)[N], const Block (&blocks)[M], char16_t c) {
    using namespace textfold_data;
    return blocks[size_t(index[c >> kBlockShift]) << kBlockShift | (c & ((1u << kBlockShift) - 1))];
}

}  // namespace textfold_detail

// The Unicode version the tables were made from.
constexpr std::string_view kTextFoldUnicodeVersion = textfold_data::kUnicodeVersion;

constexpr uint8_t CharProperties(char16_t c) {
    return textfold_detail::Lookup(textfold_data::kPropsIndex, textfold_data::kPropsBlocks, c);
}

constexpr CharClass ClassOf(char16_t c) {
    return CharClass(CharProperties(c) & kCharClassMask);
}

constexpr bool IsWordCharacter(char16_t c) {
    return ClassOf(c) == CharClass::Word;
}

// Simple case folding: "É" and "é" give "é", "Σ", "σ" and "ς" give "σ", "K" (Kelvin sign)
// gives "k". The Turkish dotted capital "İ" and dotless "ı" have no simple folding and stay as
// they are, so "I" finds "i" and "ı" finds only "ı".
constexpr char16_t FoldCase(char16_t c) {
    return char16_t(
        c + textfold_detail::Lookup(textfold_data::kFoldIndex, textfold_data::kFoldBlocks, c));
}

// The base letter, case kept: "É" gives "E", "ø" gives "o", "ł" gives "l", "ı" gives "i";
// every other character (diacritics themselves included) stays as it is.
constexpr char16_t StripAccent(char16_t c) {
    return char16_t(
        c + textfold_detail::Lookup(textfold_data::kStripIndex, textfold_data::kStripBlocks, c));
}

// Both at once, until nothing changes: "É" and "İ" give "e" and "i".
constexpr char16_t FoldCaseAndAccent(char16_t c) {
    return char16_t(c + textfold_detail::Lookup(textfold_data::kFoldStripIndex,
                                                textfold_data::kFoldStripBlocks, c));
}

// The letters a character with kExpands stands for when accents are ignored, case kept ("ß" is
// "ss", "Æ" is "AE", "ǅ" is "Dz"); empty for every other character. Fold each for a search
// that ignores case.
constexpr std::u16string_view AccentFreeExpansion(char16_t c) {
    const auto& table = textfold_data::kExpansions;
    size_t low = 0, high = std::size(table);
    while (low < high) {
        const size_t mid = (low + high) / 2;
        if (table[mid].character < c)
            low = mid + 1;
        else
            high = mid;
    }
    if (low == std::size(table) || table[low].character != c) return {};
    return std::u16string_view(table[low].text);
}

}  // namespace pagewick
