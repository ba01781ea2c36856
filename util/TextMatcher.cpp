#include "util/TextMatcher.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "util/Utf8.h"

namespace pagewick {

TextMatcher::TextMatcher(std::u16string_view pattern, MatchOptions options) : options_(options) {
    Build(pattern);
}

TextMatcher::TextMatcher(std::string_view utf8Pattern, MatchOptions options) : options_(options) {
    // Longer than this in bytes is longer in characters too, whatever it holds beyond that.
    if (utf8Pattern.size() > 4 * kMaxPatternLength) {
        status_ = PatternStatus::TooLong;
        return;
    }
    Build(Utf8ToUtf16(utf8Pattern));
}

void TextMatcher::Build(std::u16string_view pattern) {
    if (pattern.size() > kMaxPatternLength) {
        status_ = PatternStatus::TooLong;
        return;
    }
    fold_ = options_.ignoreAccents ? (options_.matchCase ? Fold::Accents : Fold::CaseAndAccents)
                                   : (options_.matchCase ? Fold::None : Fold::Case);
    dropMask_ = options_.ignoreAccents ? kDiacritic : 0;
    expandMask_ = options_.ignoreAccents ? kExpands : 0;

    // The pattern is folded exactly as the text will be, so both sides compare alike.
    CharClass firstClass = CharClass::Other, lastClass = CharClass::Other;
    bool inSpace = false, first = true;
    for (char16_t c : pattern) {
        const uint8_t props = CharProperties(c);
        const auto cls = CharClass(props & kCharClassMask);
        if (cls == CharClass::Ignorable || (props & dropMask_)) continue;
        if (cls == CharClass::Space) {
            if (!inSpace) pattern_.push_back(u' ');
            inSpace = true;
        } else {
            inSpace = false;
            const std::u16string_view expansion =
                props & expandMask_ ? AccentFreeExpansion(c) : std::u16string_view();
            if (expansion.empty())
                pattern_.push_back(FoldUnit(c));
            else
                for (char16_t unit : expansion)
                    pattern_.push_back(FoldUnit(unit));
        }
        if (first) firstClass = cls;
        first = false;
        lastClass = cls;
    }
    if (pattern_.empty() || (pattern_.size() == 1 && pattern_[0] == u' ')) {
        pattern_.clear();
        status_ = PatternStatus::Empty;
        return;
    }
    checkStart_ = options_.wholeWords && firstClass == CharClass::Word;
    checkEnd_ = options_.wholeWords && lastClass == CharClass::Word;
    length_ = uint32_t(pattern_.size());

    fallback_.assign(length_, 0);
    for (uint32_t i = 1, k = 0; i < length_; ++i) {
        while (k != 0 && pattern_[i] != pattern_[k])
            k = fallback_[k - 1];
        if (pattern_[i] == pattern_[k]) ++k;
        fallback_[i] = k;
    }
    near_.resize(kNearCharacters);
    size_t beginners = 0;
    for (char16_t c = 0; c < kNearCharacters; ++c) {
        near_[c] = MakeEntry(c);
        if (near_[c] & kMayBegin) {
            if (beginners < 4) beginners_[beginners] = c;
            ++beginners;
        }
    }
    fewBeginners_ = beginners > 0 && beginners <= 4;
    for (size_t k = beginners; fewBeginners_ && k < 4; ++k)
        beginners_[k] = beginners_[0];
    const size_t ring = std::bit_ceil(size_t(length_));
    startPositions_.assign(ring, 0);
    startFlags_.assign(ring, 0);
    ringMask_ = ring - 1;
}

size_t TextMatcher::FindMayBegin(std::u16string_view text, size_t i) const {
    const char16_t* p = text.data();
    const size_t n = text.size();
#if defined(__SSE2__)
    if (fewBeginners_) {
        const __m128i b0 = _mm_set1_epi16(short(beginners_[0]));
        const __m128i b1 = _mm_set1_epi16(short(beginners_[1]));
        const __m128i b2 = _mm_set1_epi16(short(beginners_[2]));
        const __m128i b3 = _mm_set1_epi16(short(beginners_[3]));
        const __m128i far = _mm_set1_epi16(short(0x10000 - kNearCharacters));
        const __m128i zero = _mm_setzero_si128();
        while (i + 8 <= n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i hit =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, b0), _mm_cmpeq_epi16(v, b1)),
                             _mm_or_si128(_mm_cmpeq_epi16(v, b2), _mm_cmpeq_epi16(v, b3)));
            const int nearOnly = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, far), zero));
            if (_mm_movemask_epi8(hit) == 0 && nearOnly == 0xFFFF) {
                i += 8;
                continue;
            }
            for (const size_t end = i + 8; i < end; ++i)
                if (Entry(p[i]) & kMayBegin) return i;
        }
    }
#endif
    for (; i < n; ++i)
        if (Entry(p[i]) & kMayBegin) return i;
    return n;
}

void TextMatcher::Reset() {
    state_ = 0;
    inSpace_ = false;
    afterWord_ = false;
    pending_ = false;
}

void TextMatcher::ResetAfter(char16_t previous) {
    Reset();
    afterWord_ = IsWordCharacter(previous);
}

void TextMatcher::StepExpansion(char16_t c, uint64_t position, uint64_t after) {
    const std::u16string_view units = AccentFreeExpansion(c);
    for (size_t i = 0; i < units.size(); ++i)
        Step(FoldUnit(units[i]), position, after, i == 0, i + 1 == units.size());
}

bool TextMatcher::Decide(uint8_t nextProperties) {
    pending_ = false;
    // A kept combining mark changes the letter before it; a word character goes on the word.
    if (nextProperties & kCombiningMark) return false;
    if (checkEnd_ && CharClass(nextProperties & kCharClassMask) == CharClass::Word) return false;
    match_ = pendingMatch_;
    // Matches never overlap: the search starts again after this one.
    state_ = 0;
    return true;
}

bool TextMatcher::Finish() {
    const bool found = pending_;
    if (found) match_ = pendingMatch_;
    Reset();
    return found;
}

bool TextMatcher::FinishBefore(char16_t next) {
    bool found = false;
    if (pending_) {
        const uint8_t props = CharProperties(next);
        // An ignorable character or a dropped accent says nothing of what follows it.
        if (CharClass(props & kCharClassMask) == CharClass::Ignorable || (props & dropMask_)) {
            match_ = pendingMatch_;
            found = true;
        } else {
            found = Decide(props);
        }
    }
    Reset();
    return found;
}

}  // namespace pagewick
