// Lower case of one 16-bit character, for looking words up in hyphenation patterns (which are all
// lower case). It covers the scripts that have case and for which pattern dictionaries exist:
// Latin (Basic, Latin-1, Extended-A and -B, Extended Additional), Greek, Cyrillic and Armenian.
// Every other character is its own lower case. It is the simple one-to-one mapping: "İ" gives
// "i" and "ẞ" gives "ß", never two characters, so positions in a word never move.
#pragma once

namespace pagewick {

constexpr char16_t LowerCase(char16_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? char16_t(c + 32) : c;
    // In several blocks upper and lower case alternate: the upper one is at an even or an odd
    // code, the lower one right after it.
    auto pair = [c](bool upperEven) { return (c % 2 == 0) == upperEven ? char16_t(c + 1) : c; };
    if (c < 0x100) return (c >= 0xC0 && c <= 0xDE && c != 0xD7) ? char16_t(c + 32) : c;
    if (c < 0x180) {
        if (c == 0x130) return u'i';
        if (c == 0x178) return 0xFF;
        if (c <= 0x137 || (c >= 0x14A && c <= 0x177)) return pair(true);
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return pair(false);
        return c;
    }
    if (c < 0x250) {
        if (c == 0x1F6) return 0x195;
        if (c == 0x1F7) return 0x1BF;
        if (c == 0x220) return 0x19E;
        if (c >= 0x1CD && c <= 0x1DC) return pair(false);
        if ((c >= 0x1DE && c <= 0x1EF) || c == 0x1F4 || (c >= 0x1F8 && c <= 0x21F) ||
            (c >= 0x222 && c <= 0x233) || (c >= 0x246 && c <= 0x24F))
            return pair(true);
        // The letters with three forms (DŽ Dž dž and the like): both capital forms give the small.
        if (c == 0x1C4 || c == 0x1C7 || c == 0x1CA || c == 0x1F1) return char16_t(c + 2);
        if (c == 0x1C5 || c == 0x1C8 || c == 0x1CB || c == 0x1F2) return char16_t(c + 1);
        return c;
    }
    if (c >= 0x370 && c < 0x400) {
        if (c == 0x386) return 0x3AC;
        if (c >= 0x388 && c <= 0x38A) return char16_t(c + 37);
        if (c == 0x38C) return 0x3CC;
        if (c == 0x38E || c == 0x38F) return char16_t(c + 63);
        if ((c >= 0x391 && c <= 0x3A1) || (c >= 0x3A3 && c <= 0x3AB)) return char16_t(c + 32);
        if (c == 0x3CF) return 0x3D7;
        if (c >= 0x3D8 && c <= 0x3EF) return pair(true);
        return c;
    }
    if (c >= 0x400 && c < 0x530) {
        if (c <= 0x40F) return char16_t(c + 80);
        if (c <= 0x42F) return char16_t(c + 32);
        if (c == 0x4C0) return 0x4CF;
        if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || c >= 0x4D0)
            return pair(true);
        if (c >= 0x4C1 && c <= 0x4CE) return pair(false);
        return c;
    }
    if (c >= 0x531 && c <= 0x556) return char16_t(c + 48);
    if (c >= 0x1E00 && c <= 0x1EFF) {
        if (c == 0x1E9E) return 0xDF;
        if (c <= 0x1E95 || c >= 0x1EA0) return pair(true);
        return c;
    }
    return c;
}

}  // namespace pagewick
