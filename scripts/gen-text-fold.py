#!/usr/bin/env python3
"""Generates the character tables of search matching (util/TextFoldData.h) and the test table
that checks them (tests/util/TextFoldOracle.inc) from Python's unicodedata.

    python3 scripts/gen-text-fold.py

Every table covers the 16-bit characters U+0000 to U+FFFF, the engine's characters. What they
hold:

- case folding: Unicode simple case folding. Python gives full folding (str.casefold); where a
  character's full folding is one character that is its simple folding too, and where it is
  several (the F mappings), the simple one is the character's lower case when that is a single
  character other than itself (U+1E9E to U+00DF, the Greek capitals with prosgegrammeni to their
  small letters with ypogegrammeni) and the character itself otherwise (U+00DF, U+0130, U+0149).
- accents: the base letter of a precomposed letter (its canonical decomposition with diacritical
  marks dropped), and a few letters that are a base letter with a stroke (see STROKED). Only
  marks counted as diacritics (DIACRITIC_RANGES) are dropped, so that kana voicing marks, Indic
  vowel signs and nuktas keep their letters apart.
- expansions: letters that stand for two or three when accents are ignored (EXPANSIONS).
- a class per character: word (general categories L*, N*, M*), space (Zs, Zl, Zp and the
  control characters of line ends and tabs), ignorable (the default ignorable characters: soft
  hyphen, zero-width spaces and joiners, direction marks, variation selectors, ...) or other.

The tables are two-stage: a block index per 64 characters and the distinct blocks, so the data
stays small and a lookup is two loads.
"""

import os
import unicodedata

BLOCK = 64
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Default ignorable characters in U+0000 to U+FFFF.
IGNORABLE_RANGES = [
    (0x00AD, 0x00AD), (0x034F, 0x034F), (0x061C, 0x061C), (0x115F, 0x1160),
    (0x17B4, 0x17B5), (0x180B, 0x180F), (0x200B, 0x200F), (0x202A, 0x202E),
    (0x2060, 0x206F), (0x3164, 0x3164), (0xFE00, 0xFE0F), (0xFEFF, 0xFEFF),
    (0xFFA0, 0xFFA0), (0xFFF0, 0xFFF8),
]

# Marks that accent-insensitive matching drops: the combining diacritical marks of Latin, Greek
# and Cyrillic (and their supplements), the Cyrillic titlo and number marks, Hebrew points and
# cantillation, Arabic harakat and Quranic marks.
DIACRITIC_RANGES = [
    (0x0300, 0x036F), (0x0483, 0x0489), (0x0591, 0x05BD), (0x05BF, 0x05BF),
    (0x05C1, 0x05C2), (0x05C4, 0x05C5), (0x05C7, 0x05C7), (0x0610, 0x061A),
    (0x064B, 0x065F), (0x0670, 0x0670), (0x06D6, 0x06DC), (0x06DF, 0x06E4),
    (0x06E7, 0x06E8), (0x06EA, 0x06ED), (0x1AB0, 0x1AFF), (0x1DC0, 0x1DFF),
    (0x20D0, 0x20FF), (0xFE20, 0xFE2F),
]

# Letters with a stroke or without a dot, which have no decomposition: their base letters.
STROKED = {
    0x00D8: 'O', 0x00F8: 'o',  # O with stroke
    0x0141: 'L', 0x0142: 'l',  # L with stroke
    0x0110: 'D', 0x0111: 'd',  # D with stroke
    0x00D0: 'D', 0x00F0: 'd',  # eth
    0x0126: 'H', 0x0127: 'h',  # H with stroke
    0x0166: 'T', 0x0167: 't',  # T with stroke
    0x0131: 'i',               # dotless i
}

# Letters that stand for several when accents are ignored (case kept; folding applies to each).
EXPANSIONS = {
    0x00DF: 'ss', 0x1E9E: 'SS',
    0x00C6: 'AE', 0x00E6: 'ae', 0x0152: 'OE', 0x0153: 'oe',
    0x0132: 'IJ', 0x0133: 'ij',
    0x01C4: 'DZ', 0x01C5: 'Dz', 0x01C6: 'dz', 0x01F1: 'DZ', 0x01F2: 'Dz', 0x01F3: 'dz',
    0x01C7: 'LJ', 0x01C8: 'Lj', 0x01C9: 'lj', 0x01CA: 'NJ', 0x01CB: 'Nj', 0x01CC: 'nj',
    0xFB00: 'ff', 0xFB01: 'fi', 0xFB02: 'fl', 0xFB03: 'ffi', 0xFB04: 'ffl', 0xFB05: 'st',
    0xFB06: 'st',
}

SPACE_CONTROLS = {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x85}

CLASS_OTHER, CLASS_WORD, CLASS_SPACE, CLASS_IGNORABLE = 0, 1, 2, 3
PROP_MARK = 4
PROP_DIACRITIC = 8
PROP_EXPANDS = 16


def in_ranges(c, ranges):
    return any(lo <= c <= hi for lo, hi in ranges)


def category(c):
    return unicodedata.category(chr(c))


def char_class(c):
    if in_ranges(c, IGNORABLE_RANGES):
        return CLASS_IGNORABLE
    cat = category(c)
    if cat[0] in 'LNM':
        return CLASS_WORD
    if cat in ('Zs', 'Zl', 'Zp') or c in SPACE_CONTROLS:
        return CLASS_SPACE
    return CLASS_OTHER


def is_diacritic(c):
    return category(c) in ('Mn', 'Me') and in_ranges(c, DIACRITIC_RANGES)


def simple_fold(c):
    if 0xD800 <= c <= 0xDFFF:
        return c
    full = chr(c).casefold()
    if len(full) == 1:
        return ord(full)
    lower = chr(c).lower()
    if len(lower) == 1:
        return ord(lower)
    return c


def strip_accent(c):
    # A stroked letter may carry an accent too (U+01FE): strip until nothing changes.
    while True:
        base = strip_once(c)
        if base == c:
            return c
        c = base


def strip_once(c):
    if c in STROKED:
        return ord(STROKED[c])
    if 0xD800 <= c <= 0xDFFF or is_diacritic(c):
        return c
    d = unicodedata.normalize('NFD', chr(c))
    if ord(d[0]) > 0xFFFF:
        return c  # a few compatibility ideographs stand for characters beyond 16 bits
    if len(d) == 1:
        return ord(d)  # itself, or a singleton (Kelvin sign, Ohm sign, Greek question mark)
    if all(is_diacritic(ord(x)) for x in d[1:]):
        return ord(d[0])
    return c


def fold_and_strip(c):
    while True:
        mapped = simple_fold(strip_accent(simple_fold(c)))
        if mapped == c:
            return c
        c = mapped


def properties(c):
    p = char_class(c)
    if category(c)[0] == 'M':
        p |= PROP_MARK
    if is_diacritic(c):
        p |= PROP_DIACRITIC
    if c in EXPANSIONS:
        p |= PROP_EXPANDS
    return p


def two_stage(values, name, ctype):
    """Splits 65,536 values into an index of blocks and the distinct blocks."""
    blocks, index, seen = [], [], {}
    for start in range(0, 0x10000, BLOCK):
        block = tuple(values[start:start + BLOCK])
        if block not in seen:
            seen[block] = len(blocks)
            blocks.append(block)
        index.append(seen[block])
    index_type = 'uint8_t' if len(blocks) <= 256 else 'uint16_t'
    out = []
    out.append(f'inline constexpr {index_type} k{name}Index[{len(index)}] = {{')
    for i in range(0, len(index), 24):
        out.append('    ' + ', '.join(str(v) for v in index[i:i + 24]) + ',')
    out.append('};')
    out.append(f'inline constexpr {ctype} k{name}Blocks[{len(blocks) * BLOCK}] = {{')
    for b in blocks:
        for i in range(0, BLOCK, 16):
            out.append('    ' + ', '.join(str(v) for v in b[i:i + 16]) + ',')
    out.append('};')
    size = len(index) * (1 if index_type == 'uint8_t' else 2) + len(blocks) * BLOCK * (
        1 if ctype == 'uint8_t' else 2)
    return out, len(blocks), size


def delta(c, mapped):
    return (mapped - c) & 0xFFFF


def check(fold, strip, both, props):
    for c in range(0x10000):
        assert fold[fold[c]] == fold[c], hex(c)
        assert both[both[c]] == both[c], hex(c)
        if props[c] & 3 != CLASS_IGNORABLE and not props[c] & PROP_DIACRITIC:
            # What a character maps to is a character of the same kind, so the matcher may
            # take the class from the text as it stands.
            assert (props[fold[c]] & 3) == (props[c] & 3), hex(c)
            assert (props[both[c]] & 3) == (props[c] & 3), hex(c)
    for c, text in EXPANSIONS.items():
        assert 2 <= len(text) <= 3 and char_class(c) == CLASS_WORD


def oracle_rows():
    """Characters checked by the tests against Python's own answers: all of Latin, Greek and
    Cyrillic up to U+052F, Latin Extended Additional and Greek Extended, and every 97th
    character of the rest."""
    chars = list(range(0, 0x530)) + list(range(0x1E00, 0x2000))
    chars += [c for c in range(0x530, 0x10000, 97) if not 0x1E00 <= c < 0x2000]
    rows = []
    for c in chars:
        if 0xD800 <= c <= 0xDFFF:
            continue
        full = chr(c).casefold()
        # Only where full folding is one character is it the simple folding as well.
        fold = ord(full) if len(full) == 1 else 0xFFFFFFFF
        # The base letter as NFD gives it, where everything after it is a mark of the
        # Combining Diacritical Marks block (all that letters up to U+052F and in U+1E00 to
        # U+1FFF decompose to) or where it is a single character.
        d = unicodedata.normalize('NFD', chr(c))
        base = c
        if (ord(d[0]) <= 0xFFFF and unicodedata.category(d[0])[0] != 'M' and
                all(0x300 <= ord(x) <= 0x36F for x in d[1:])):
            base = ord(d[0])
        cat = unicodedata.category(chr(c))
        word = 1 if cat[0] in 'LNM' else 0
        space = 1 if cat[0] == 'Z' or c in SPACE_CONTROLS else 0
        rows.append((c, fold, base, word, space))
    return rows


def main():
    fold = [simple_fold(c) for c in range(0x10000)]
    strip = [strip_accent(c) for c in range(0x10000)]
    both = [fold_and_strip(c) for c in range(0x10000)]
    props = [properties(c) for c in range(0x10000)]
    check(fold, strip, both, props)

    lines = [
        "// Generated by scripts/gen-text-fold.py from Python's unicodedata (Unicode "
        f'{unicodedata.unidata_version}); do not edit.',
        f'// Two-stage tables over U+0000 to U+FFFF, {BLOCK} characters a block:',
        '// properties (class, mark, diacritic, expands) and three 16-bit deltas (case folded,',
        '// accent removed, both), and the expansions of letters that stand for several.',
        '#pragma once',
        '',
        '#include <cstdint>',
        '',
        '// clang-format off',
        'namespace pagewick::textfold_data {',
        '',
        f'inline constexpr int kBlockShift = {BLOCK.bit_length() - 1};',
        f'inline constexpr char kUnicodeVersion[] = "{unicodedata.unidata_version}";',
        '',
    ]
    total = 0
    for name, values, ctype in (
            ('Props', props, 'uint8_t'),
            ('Fold', [delta(c, fold[c]) for c in range(0x10000)], 'uint16_t'),
            ('Strip', [delta(c, strip[c]) for c in range(0x10000)], 'uint16_t'),
            ('FoldStrip', [delta(c, both[c]) for c in range(0x10000)], 'uint16_t')):
        out, count, size = two_stage(values, name, ctype)
        lines += [f'// {name}: {count} distinct blocks, {size} bytes.'] + out + ['']
        total += size
    lines.append('struct Expansion {')
    lines.append('    char16_t character;')
    lines.append('    char16_t text[4];')
    lines.append('};')
    lines.append(f'inline constexpr Expansion kExpansions[{len(EXPANSIONS)}] = {{')
    for c in sorted(EXPANSIONS):
        text = ', '.join(f"u'{x}'" for x in EXPANSIONS[c])
        lines.append(f'    {{0x{c:04X}, {{{text}}}}},')
    lines.append('};')
    lines.append('')
    lines.append('}  // namespace pagewick::textfold_data')
    lines.append('// clang-format on')
    with open(os.path.join(ROOT, 'util', 'TextFoldData.h'), 'w') as f:
        f.write('\n'.join(lines) + '\n')

    rows = oracle_rows()
    out = [
        "// Generated by scripts/gen-text-fold.py: Python's answers (Unicode "
        f'{unicodedata.unidata_version}) for {len(rows)} characters:',
        '// {character, str.casefold when one character (else 0xFFFFFFFF), the first character of',
        '//  its NFD form when that is no mark and the rest are U+0300 to U+036F (else itself),',
        '//  general category L/N/M, general category Z or a line-end control}.',
    ]
    for i in range(0, len(rows), 5):
        out.append(' '.join('{0x%X, 0x%X, 0x%X, %d, %d},' % r for r in rows[i:i + 5]))
    with open(os.path.join(ROOT, 'tests', 'util', 'TextFoldOracle.inc'), 'w') as f:
        f.write('\n'.join(out) + '\n')
    print(f'Unicode {unicodedata.unidata_version}: tables {total} bytes, '
          f'{len(rows)} characters in the oracle table')


if __name__ == '__main__':
    main()
