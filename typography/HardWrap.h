// Whether a plain text is hard-wrapped prose: lines broken at a nearly fixed width, with blank
// lines between paragraphs (etexts wrap at about 70 to 75 characters, RFCs at 72, READMEs at 72
// to 80). Such a text reads best with its single line breaks taken as spaces; poems, lists,
// code, tables and texts whose every line is a paragraph do not.
//
// The rule, over the first characters of the text (the first kSampleChars at most):
// - Lines end at line feeds; carriage returns are ignored, as the layout ignores them (CRLF and
//   LF read alike). A last line without a line feed is left out: the sample may have cut it.
// - A line's length is its column count without trailing white space, a tab reaching the next
//   multiple of 8. A blank line has length 0 (white space and form feeds only).
// - A paragraph is a run of non-blank lines between blank lines. Its body lines are all its
//   lines but the last (a paragraph's last line is short by nature).
// 1. Evidence: at least 16 non-blank lines, else TooLittle.
// 2. Paragraphs: at least 3 paragraphs of two or more lines and at least 12 body lines, and no
//    paragraph holding more than half of all body lines, else NoParagraphs (every line its own
//    paragraph, or lines that blank lines do not divide: poems, lists, texts of one-line
//    paragraphs).
// 3. Width: W, the length that 90% of the body lines do not exceed, is between 50 and 100,
//    else Width (short lines: verse, lists; or longer than any wrapping).
// 4. Tables: at most one body line in ten holds a run of three spaces or a tab between its first
//    and last visible characters, else Tabular (tables, aligned code, boxes).
// 5. Filling: at least 70% of the body lines are filled, else NotFilled. A body line is filled
//    when it is at most W + 8 long and the next line's first word would not have fitted after
//    it: length + 1 + first word > W - 3 (the 3 allow for double spaces after full stops and a
//    hand-kept margin).
// All five hold: Wrapped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pagewick {

enum class HardWrapReason : uint8_t { Wrapped, TooLittle, NoParagraphs, Width, Tabular, NotFilled };

struct HardWrapVerdict {
    bool wrapped = false;
    HardWrapReason reason = HardWrapReason::TooLittle;
    int width = 0;          // W (0 before step 3)
    size_t lines = 0;       // non-blank lines
    size_t paragraphs = 0;  // of two or more lines
    size_t bodyLines = 0;
    size_t tabularLines = 0;  // body lines with a gap
    size_t filledLines = 0;
};

constexpr size_t kSampleChars = 65536;

// The text's first characters (8-bit, UTF-8 or UTF-16 already decoded to 16-bit characters).
HardWrapVerdict JudgeHardWrap(std::span<const char16_t> text);

inline bool IsHardWrapped(std::span<const char16_t> text) {
    return JudgeHardWrap(text).wrapped;
}

}  // namespace pagewick
