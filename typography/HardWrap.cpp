#include "typography/HardWrap.h"

#include <algorithm>
#include <vector>

namespace pagewick {

namespace {

constexpr size_t kMinLines = 16;
constexpr size_t kMinParagraphs = 3;
constexpr size_t kMinBodyLines = 12;
constexpr int kMinWidth = 50, kMaxWidth = 100;
constexpr int kOvershoot = 8;  // a filled line may pass W by this much
constexpr int kSlack = 3;      // and end this much short of where the next word would go

struct Line {
    int length = 0;     // columns without trailing white space; 0: blank
    int firstWord = 0;  // characters of the first word
    bool gap = false;   // three spaces or a tab between visible characters
};

constexpr bool IsSpace(char16_t c) {
    return c == ' ' || c == '\t' || c == 0x0B || c == 0x0C || c == 0xA0;
}

std::vector<Line> MeasureLines(std::span<const char16_t> text) {
    std::vector<Line> lines;
    Line line;
    int column = 0;
    int spaces = 0;        // spaces since the last visible character
    bool sawTab = false;   // a tab since the last visible character
    bool inFirst = false;  // inside the first word
    bool started = false;  // a visible character met
    for (char16_t c : text.first(std::min(text.size(), kSampleChars))) {
        if (c == '\n') {
            lines.push_back(line);
            line = {};
            column = spaces = 0;
            sawTab = inFirst = started = false;
            continue;
        }
        if (c == '\r') continue;
        if (IsSpace(c)) {
            if (c == '\t') {
                column = (column / 8 + 1) * 8;
                sawTab = true;
            } else if (c == ' ' || c == 0xA0) {
                ++column;
                ++spaces;
            }
            inFirst = false;
            continue;
        }
        if (started && (spaces >= 3 || sawTab)) line.gap = true;
        if (!started) inFirst = true;
        started = true;
        spaces = 0;
        sawTab = false;
        ++column;
        line.length = column;
        if (inFirst) ++line.firstWord;
    }
    return lines;  // the unfinished last line stays out
}

}  // namespace

HardWrapVerdict JudgeHardWrap(std::span<const char16_t> text) {
    HardWrapVerdict v;
    const std::vector<Line> lines = MeasureLines(text);
    v.lines = size_t(
        std::count_if(lines.begin(), lines.end(), [](const Line& l) { return l.length > 0; }));
    if (v.lines < kMinLines) return v;

    // Body lines: every line whose next line belongs to the same paragraph.
    std::vector<size_t> body;
    size_t largest = 0, run = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].length == 0) continue;
        bool next = i + 1 < lines.size() && lines[i + 1].length > 0;
        if (next) {
            body.push_back(i);
            ++run;
        } else {
            if (run > 0) ++v.paragraphs;
            largest = std::max(largest, run);
            run = 0;
        }
    }
    v.bodyLines = body.size();
    v.reason = HardWrapReason::NoParagraphs;
    if (v.paragraphs < kMinParagraphs || v.bodyLines < kMinBodyLines || largest * 2 > v.bodyLines)
        return v;

    std::vector<int> lengths;
    lengths.reserve(body.size());
    for (size_t i : body)
        lengths.push_back(lines[i].length);
    const size_t rank = (lengths.size() * 9 + 9) / 10 - 1;  // the 90th percentile
    std::nth_element(lengths.begin(), lengths.begin() + ptrdiff_t(rank), lengths.end());
    v.width = lengths[rank];
    v.reason = HardWrapReason::Width;
    if (v.width < kMinWidth || v.width > kMaxWidth) return v;

    for (size_t i : body) {
        const Line& line = lines[i];
        if (line.gap) ++v.tabularLines;
        if (line.length <= v.width + kOvershoot &&
            line.length + 1 + lines[i + 1].firstWord > v.width - kSlack)
            ++v.filledLines;
    }
    v.reason = HardWrapReason::Tabular;
    if (v.tabularLines * 10 > v.bodyLines) return v;
    v.reason = HardWrapReason::NotFilled;
    if (v.filledLines * 10 < v.bodyLines * 7) return v;
    v.reason = HardWrapReason::Wrapped;
    v.wrapped = true;
    return v;
}

}  // namespace pagewick
