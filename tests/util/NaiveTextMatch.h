// The matching rules written the slow, obvious way over a whole text (positions are indexes),
// against which the streaming matcher is checked by the tests and the fuzzer. It shares only
// the character tables with the matcher.
#pragma once

#include <string_view>
#include <vector>

#include "util/TextFold.h"
#include "util/TextMatcher.h"

namespace pagewick::test {

struct NaiveUnit {
    char16_t unit;
    size_t index;  // of the character it comes from
    bool first, last;
};

inline bool NaiveDropped(char16_t c, const MatchOptions& options) {
    return ClassOf(c) == CharClass::Ignorable ||
           (options.ignoreAccents && (CharProperties(c) & kDiacritic));
}

inline std::vector<NaiveUnit> NaiveUnits(std::u16string_view text, const MatchOptions& options) {
    auto fold = [&](char16_t c) -> char16_t {
        if (options.ignoreAccents) return options.matchCase ? StripAccent(c) : FoldCaseAndAccent(c);
        return options.matchCase ? c : FoldCase(c);
    };
    std::vector<NaiveUnit> units;
    bool space = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (NaiveDropped(c, options)) continue;
        if (ClassOf(c) == CharClass::Space) {
            if (!space) units.push_back({u' ', i, true, true});
            space = true;
            continue;
        }
        space = false;
        std::u16string_view expansion =
            options.ignoreAccents ? AccentFreeExpansion(c) : std::u16string_view();
        if (expansion.empty()) {
            units.push_back({fold(c), i, true, true});
        } else {
            for (size_t k = 0; k < expansion.size(); ++k)
                units.push_back({fold(expansion[k]), i, k == 0, k + 1 == expansion.size()});
        }
    }
    return units;
}

// Every match, left to right, none overlapping; empty for a pattern the matcher refuses.
inline std::vector<TextMatch> NaiveFind(std::u16string_view pattern, std::u16string_view text,
                                        const MatchOptions& options) {
    const std::vector<NaiveUnit> p = NaiveUnits(pattern, options);
    const std::vector<NaiveUnit> t = NaiveUnits(text, options);
    std::vector<TextMatch> found;
    if (p.empty() || (p.size() == 1 && p[0].unit == u' ')) return found;
    const bool startsWord = IsWordCharacter(pattern[p.front().index]) && p.front().unit != u' ';
    const bool endsWord = IsWordCharacter(pattern[p.back().index]) && p.back().unit != u' ';
    for (size_t s = 0; s + p.size() <= t.size();) {
        bool equal = true;
        for (size_t k = 0; k < p.size() && equal; ++k)
            equal = t[s + k].unit == p[k].unit;
        const NaiveUnit& head = t[s];
        const NaiveUnit& tail = t[s + p.size() - 1];
        bool accepted = equal && head.first && tail.last;
        // The characters that count on each side: not ignorable, not a dropped accent.
        size_t before = head.index;
        while (before > 0 && NaiveDropped(text[before - 1], options))
            --before;
        size_t after = tail.index + 1, end = tail.index + 1;
        while (after < text.size() && NaiveDropped(text[after], options)) {
            if (tail.unit != u' ' && options.ignoreAccents &&
                (CharProperties(text[after]) & kDiacritic))
                end = after + 1;
            ++after;
        }
        if (accepted && after < text.size()) {
            if (CharProperties(text[after]) & kCombiningMark) accepted = false;
            if (options.wholeWords && endsWord && IsWordCharacter(text[after])) accepted = false;
        }
        if (accepted && options.wholeWords && startsWord && before > 0 &&
            IsWordCharacter(text[before - 1]))
            accepted = false;
        if (accepted) {
            found.push_back({head.index, end});
            s += p.size();
        } else {
            ++s;
        }
    }
    return found;
}

}  // namespace pagewick::test
