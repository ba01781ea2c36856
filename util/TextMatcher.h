// Finding a pattern in a stream of characters as a page shows them, fed one at a time with the
// caller's position of each (opaque 64-bit values, ascending). What counts as equal:
// - case is folded unless "Match case" is on ("É" finds "é"); with accents ignored, "cafe"
//   finds "café" (precomposed or as "e" and a combining accent) and "strasse" finds "Straße";
// - any run of white space (spaces, tabs, line ends, no-break spaces) in the text is one space
//   in the pattern, and a run of spaces in the pattern is one space;
// - ignorable characters (soft hyphen, zero-width spaces and joiners, U+FEFF, ...) never match
//   and never break a match: "hyphen" finds "hy\u00ADphen";
// - a match never ends before a combining mark the comparison keeps: "e" does not find the "e"
//   of "e\u0301" unless accents are ignored, and then the mark belongs to the match;
// - with "Whole words", a pattern that begins with a word character (letter, digit or mark)
//   only matches where the character before is not one, and likewise at its end; an end of the
//   pattern that is punctuation or a space is a boundary of its own ("C++" finds "C++x").
// Matches are reported left to right and never overlap: after one, the search starts again
// after its last character, as pressing "Search Again" does ("aa" in "aaaa" is found twice).
// The work is linear in the text whatever the pattern (a string-matching automaton over the
// folded characters) and the memory is a few bytes per pattern character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "util/TextFold.h"

namespace pagewick {

struct MatchOptions {
    bool matchCase = false;
    bool wholeWords = false;
    bool ignoreAccents = false;
};

// Why a pattern was refused.
enum class PatternStatus {
    Ok,
    Empty,    // nothing to find: no characters, or only spaces and ignorable ones
    TooLong,  // more than TextMatcher::kMaxPatternLength characters
};

// From the position of the first character to the position after the last one.
struct TextMatch {
    uint64_t first = 0;
    uint64_t end = 0;
    bool operator==(const TextMatch&) const = default;
};

class TextMatcher {
public:
    static constexpr size_t kMaxPatternLength = 65536;

    explicit TextMatcher(std::u16string_view pattern, MatchOptions options = {});
    // A UTF-8 pattern, decoded as the engine decodes UTF-8 books (a character beyond 16 bits is
    // one U+FFFD).
    explicit TextMatcher(std::string_view utf8Pattern, MatchOptions options = {});

    PatternStatus Status() const { return status_; }
    bool Ready() const { return status_ == PatternStatus::Ok; }
    const MatchOptions& Options() const { return options_; }
    // What the pattern became: folded, spaces collapsed, ignorable characters left out.
    std::u16string_view FoldedPattern() const { return {pattern_.data(), pattern_.size()}; }

    // Starts a new stream; nothing of the pattern is rebuilt, so a search backwards may run the
    // matcher over stretch after stretch cheaply.
    void Reset();
    // A new stream that continues after `previous`, whose class counts for "Whole words".
    void ResetAfter(char16_t previous);

    // Feeds the character at `position`; `after` is where the next one would be (a character
    // may stand for several of the caller's units: an entity, a UTF-8 sequence). True when a
    // match is complete: Match() gives it. A match is known one character after its last, when
    // it is clear that it does not go on into a word or a combining mark.
    bool Feed(char16_t c, uint64_t position) { return Feed(c, position, position + 1); }
    inline bool Feed(char16_t c, uint64_t position, uint64_t after);
    // The end of the stream: a match that waited for the next character is complete. The
    // matcher then starts a new stream.
    bool Finish();
    // The stream stops before `next`, which is not fed but decides a match that ends here.
    bool FinishBefore(char16_t next);
    const TextMatch& Match() const { return match_; }

    // Feeds consecutive characters, the first at firstPosition; onMatch(const TextMatch&) is
    // called for each match completed. Between matches it runs over the characters that cannot
    // begin one without the automaton.
    template <class OnMatch>
    void FeedRun(std::u16string_view text, uint64_t firstPosition, OnMatch&& onMatch) {
        if (status_ != PatternStatus::Ok) return;
        for (size_t i = 0; i < text.size(); ++i) {
            if (state_ == 0 && !pending_) {
                i = SkipToCandidate(text, i);
                if (i == text.size()) break;
            }
            if (Feed(text[i], firstPosition + i)) onMatch(match_);
        }
    }

    // Automaton steps taken since construction: one per folded character it looked at plus
    // one per fall-back; never more than twice the folded characters fed.
    uint64_t Steps() const { return units_ + fallbacks_; }

private:
    enum class Fold : uint8_t { None, Case, Accents, CaseAndAccents };
    // Flags kept for each folded character that may begin a match.
    enum : uint8_t { kFirstOfCharacter = 1, kAfterWord = 2 };

    // What the matcher needs of one character: its folded form (low 16 bits), its properties
    // (the next 8) and the flags below; kept in a table for the first kNearCharacters, where
    // nearly every book's text is, and looked up in the shared tables for the rest.
    static constexpr char16_t kNearCharacters = 0x800;
    enum : uint32_t {
        kCounts = 1u << 24,    // neither ignorable nor a dropped accent
        kIsWord = 1u << 25,    // a word character that counts
        kIsSpace = 1u << 26,   // white space
        kMayBegin = 1u << 27,  // may begin a match: the automaton must see it
    };

    void Build(std::u16string_view pattern);
    char16_t FoldUnit(char16_t c) const {
        switch (fold_) {
            case Fold::None:
                return c;
            case Fold::Case:
                return FoldCase(c);
            case Fold::Accents:
                return StripAccent(c);
            default:
                return FoldCaseAndAccent(c);
        }
    }
    inline uint32_t MakeEntry(char16_t c) const;
    uint32_t Entry(char16_t c) const { return c < kNearCharacters ? near_[c] : MakeEntry(c); }
    // The first character from `i` on that may begin a match, with
    // what the ones before it leave for whole words and white space runs: the last of them that
    // counts decides both.
    size_t SkipToCandidate(std::u16string_view text, size_t i) {
        const size_t from = i;
        i = FindMayBegin(text, i);
        for (size_t k = i; k > from; --k) {
            const uint32_t entry = Entry(text[k - 1]);
            if (entry & kCounts) {
                afterWord_ = entry & kIsWord;
                inSpace_ = entry & kIsSpace;
                break;
            }
        }
        return i;
    }
    size_t FindMayBegin(std::u16string_view text, size_t i) const;
    inline void Step(char16_t unit, uint64_t position, uint64_t after, bool first, bool last);
    void StepExpansion(char16_t c, uint64_t position, uint64_t after);
    bool Decide(uint8_t nextProperties);

    MatchOptions options_;
    PatternStatus status_ = PatternStatus::Ok;
    Fold fold_ = Fold::Case;
    uint8_t dropMask_ = 0;    // kDiacritic when accents are ignored
    uint8_t expandMask_ = 0;  // kExpands when accents are ignored
    bool checkStart_ = false, checkEnd_ = false;
    std::vector<char16_t> pattern_;
    std::vector<uint32_t> fallback_;  // longest proper prefix that is also a suffix, per prefix
    uint32_t length_ = 0;
    // Where each of the last folded characters began, in a ring of a power of two >= length_.
    std::vector<uint64_t> startPositions_;
    std::vector<uint8_t> startFlags_;
    uint64_t ringMask_ = 0;
    std::vector<uint32_t> near_;
    // The near characters that may begin a match, when they are few (else none): a stretch
    // holding none of them and no character past the near ones is passed over at once.
    char16_t beginners_[4] = {};
    bool fewBeginners_ = false;

    uint32_t state_ = 0;  // characters of the pattern matched so far
    uint64_t units_ = 0, fallbacks_ = 0;
    bool inSpace_ = false, afterWord_ = false, pending_ = false;
    TextMatch pendingMatch_, match_;
};

inline uint32_t TextMatcher::MakeEntry(char16_t c) const {
    const uint8_t props = CharProperties(c);
    const auto cls = CharClass(props & kCharClassMask);
    uint32_t entry = uint32_t(props) << 16;
    if (cls == CharClass::Ignorable || (props & dropMask_)) return entry;
    entry |= kCounts;
    if (cls == CharClass::Word) entry |= kIsWord;
    if (cls == CharClass::Space) {
        entry |= kIsSpace | u' ';
    } else if (props & expandMask_) {
        // Its first letter: a match may begin only there, never inside it.
        entry |= FoldUnit(AccentFreeExpansion(c)[0]);
    } else {
        entry |= FoldUnit(c);
    }
    if (!pattern_.empty() && char16_t(entry) == pattern_[0]) entry |= kMayBegin;
    return entry;
}

inline void TextMatcher::Step(char16_t unit, uint64_t position, uint64_t after, bool first,
                              bool last) {
    uint32_t k = state_;
    const char16_t* pattern = pattern_.data();
    const uint64_t index = units_++;
    if (k == 0 && pattern[0] != unit) return;  // the common case: nothing begins here
    while (k != 0 && pattern[k] != unit) {
        k = fallback_[k - 1];
        ++fallbacks_;
    }
    if (pattern[k] == unit) ++k;
    if (k != 0) {
        // Only a character after which part of the pattern stands matched can begin a match.
        startPositions_[index & ringMask_] = position;
        startFlags_[index & ringMask_] =
            uint8_t(first ? kFirstOfCharacter | (afterWord_ ? kAfterWord : 0) : 0);
    }
    if (k == length_) {
        k = fallback_[length_ - 1];
        const uint64_t start = (index + 1 - length_) & ringMask_;
        const uint8_t flags = startFlags_[start];
        // Whole characters only: not the second "s" of "ß" nor the first.
        if (last && (flags & kFirstOfCharacter) && !(checkStart_ && (flags & kAfterWord))) {
            pending_ = true;
            pendingMatch_ = {startPositions_[start], after};
        }
    }
    state_ = k;
}

inline bool TextMatcher::Feed(char16_t c, uint64_t position, uint64_t after) {
    if (status_ != PatternStatus::Ok) return false;
    const uint32_t entry = Entry(c);
    if (!(entry & kCounts)) {
        // A dropped accent belongs to the letter before it, and so to a match ending there.
        if (pending_ && !inSpace_ && (entry >> 16 & dropMask_)) pendingMatch_.end = after;
        return false;
    }
    const auto props = uint8_t(entry >> 16);
    const bool found = pending_ && Decide(props);
    if (entry & kIsSpace) {
        if (!inSpace_) {
            inSpace_ = true;
            Step(u' ', position, after, true, true);
            afterWord_ = false;
        }
        return found;
    }
    inSpace_ = false;
    if (props & expandMask_)
        StepExpansion(c, position, after);
    else
        Step(char16_t(entry), position, after, true, true);
    afterWord_ = entry & kIsWord;
    return found;
}

}  // namespace pagewick
