// Line and page breaking: LayoutPage lays out the current page from its recorded start, measures
// every character with the width table, and records where the following page starts.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/PageLayout.h"
#include "util/AsciiCase.h"
#include "util/Cp1252.h"
#include "util/LittleEndian.h"
#include "util/Utf8.h"

namespace pagewick {

namespace {

constexpr bool IsSentenceEnd(uint16_t c, bool wide) {
    switch (c) {
        case '!':
        case '"':
        case '\'':
        case '.':
        case ':':
        case '?':
            return true;
        default:
            // 8-bit text: the code page's ellipsis and quotes, and the same characters where
            // references gave them as Unicode.
            return !wide && (c == 133 || (c >= 145 && c <= 148) || c == 0x2026 || c == 0x2018 ||
                             c == 0x2019 || c == 0x201C || c == 0x201D);
    }
}

// How a character of a run read straight from the windows is handled: kSlow characters (breaks,
// tabs, markup, substituted codes, code 0) go the long way through NextChar and Markup.
enum RunClass : uint8_t { kSlow, kWordChar, kSpace };

struct RunClasses {
    RunClass plain[256];
    RunClass markup[256];
    bool sentenceEnd[256];  // 8-bit text; 16-bit text ends sentences with ASCII marks only
    constexpr RunClasses() : plain(), markup(), sentenceEnd() {
        for (int c = 0; c < 256; ++c) {
            RunClass k = kWordChar;
            // 173, the soft hyphen, is a break point when soft hyphens are honoured.
            if (c == 0 || c == '\t' || c == '\n' || c == 11 || c == '\r' || c == 151 || c == 160 ||
                c == 173)
                k = kSlow;
            else if (c == ' ')
                k = kSpace;
            plain[c] = k;
            markup[c] = c == '<' || c == '&' ? kSlow : k;
            sentenceEnd[c] = IsSentenceEnd(uint16_t(c), false);
        }
    }
};
constexpr RunClasses kRunClasses;

// What a letter table holds for codes the letter loop leaves to the long way: more than any line
// (the loop's room stays below half of it, so that no sum of widths reaches it).
constexpr int32_t kNotALetter = 1 << 28;

}  // namespace

// The codes a letter table covers: those of the width table, and with the fixed rule every
// 16-bit code (the table then holds them all, those past WidthCount as "X").
inline size_t LetterCount(const CBookEngine& doc) {
    return !doc.OwnWidths && doc.Widths.size() == 65536
               ? size_t(65536)
               : std::min(size_t(std::max(doc.WidthCount, 0)), doc.Widths.size());
}

void CBookEngine::MakeLetterWidths() const {
    const size_t count = LetterCount(*this);
    letterWidthsGeneration_ = widthsGeneration_;
    letterWidthsOf_ = Widths.data();
    letterWidthsCount_ = count;
    const size_t low = std::min<size_t>(count, 256);
    for (int m = 0; m < 2; ++m) {
        const RunClass* classes = m ? kRunClasses.markup : kRunClasses.plain;
        std::vector<int32_t>& table = letterWidths_[m];
        table.resize(count);
        for (size_t c = 0; c < low; ++c)
            table[c] = classes[c] == kWordChar ? Widths[c] : kNotALetter;
        // 16-bit codes from 256 on are letters, but for U+2013 and from U+25E7 on: copied and
        // filled in whole ranges, as the fixed rule's table holds every code. A width of
        // kNotALetter / 2 or more never fits the letter loop's room, so it needs no check.
        if (count > low) {
            std::copy(Widths.begin() + std::ptrdiff_t(low), Widths.begin() + std::ptrdiff_t(count),
                      table.begin() + std::ptrdiff_t(low));
            if (count > 8211) table[8211] = kNotALetter;
            if (count > 9703)
                std::fill(table.begin() + 9703, table.begin() + std::ptrdiff_t(count), kNotALetter);
        }
    }
}

const int32_t* CBookEngine::LetterWidths(bool markup, size_t& count) const {
    if (letterWidthsGeneration_ != widthsGeneration_ || letterWidthsOf_ != Widths.data() ||
        letterWidthsCount_ != LetterCount(*this))
        MakeLetterWidths();
    count = letterWidthsCount_;
    return letterWidths_[markup ? 1 : 0].data();
}

uint32_t PageLayout::NextChar(bool& fromInserted, bool& fromStream) {
    fromInserted = fromStream = false;
    if (!inserted_.empty()) {
        uint16_t c = inserted_.front();
        inserted_.erase(0, 1);
        fromInserted = true;
        charPos_ = -1;  // markers and a picture's room are no characters of the book
        return c;
    }
    linkStyle_ = false;
    if (pendingTabs_ > 0) {
        --pendingTabs_;
        fromInserted = true;  // the spaces of a tab are shown as they are, never collapsed
        charPos_ = lastStream_;
        return ' ';
    }
    if (!carry_.empty()) {
        uint16_t c = carry_.front();
        carry_.erase(0, 1);
        charPos_ = lastStream_;
        return c;
    }
    fromStream = true;
    charPos_ = lastStream_ = readPos_;
    return doc_.GetChar(readPos_);
}

void PageLayout::AddToWord(uint16_t c) {
    breakAfter_ = IsSentenceEnd(c, doc_.Wide);
    if (c >= 9703)
        c = 9633;
    else if (c == 160)
        c = ' ';
    else if (c == 151)
        c = '-';
    int32_t width = doc_.LayoutWidth(c);
    uint8_t charStyle = style_ & (kStyleBold | kStyleItalic | kStyleUnderline);
    if (linkStyle_) charStyle |= kCharLink;
    for (uint8_t bit :
         {uint8_t(kStyleBold), uint8_t(kStyleItalic), uint8_t(kStyleUnderline), kCharLink})
        if (charStyle & bit) ++width;
    if (charStyle) lineStyled_ = true;
    if ((charStyle & kCharLink) && dc_) wordLinks_.emplace_back(wordLen_, currentLink_);
    word_[wordLen_] = char16_t(c);
    wordStyle_[wordLen_] = charStyle;
    if (dc_) wordPos_[wordLen_] = charPos_;
    ++wordLen_;
    wordWidth_ += width;
}

inline void PageLayout::PlaceWord() {
    if (pageBlank_)
        pageBlank_ = std::all_of(word_, word_ + wordLen_, [](char16_t c) { return c == ' '; });
    if (buildText_) lineText_.append(word_, wordLen_);
    if (dc_) linePos_.insert(linePos_.end(), wordPos_, wordPos_ + wordLen_);
    lineWidth_ += wordWidth_;
    lineX_ += wordWidth_;
    size_t room = kLineMax - lineLen_;
    size_t copy = std::min(room, wordLen_);
    if (dc_) std::memcpy(lineStyle_ + lineLen_, wordStyle_, copy);  // only drawing reads them
    if (!wordLinks_.empty()) {
        for (const auto& [at, link] : wordLinks_)
            if (at < copy) lineLinks_.emplace_back(lineLen_ + at, link);
        wordLinks_.clear();
    }
    lineLen_ += copy;
    if (wordLen_ > 0 && word_[wordLen_ - 1] == ' ') ++lineSpaces_;
    softCount_ = 0;
    resumeOffset_ = readPos_;
    resumeCarry_ = carry_;
    resumeStyle_ = style_;
    wordLen_ = 0;
    wordWidth_ = 0;
}

bool PageLayout::LineFull(int32_t indent) const {
    // The unfinished word stays and begins the next line. The style buffer's bound ends a line
    // early too (characters of no width never move LineX), so that it never overflows.
    return (lineX_ != doc_.LeftEdge && indent + lineX_ + wordWidth_ >= doc_.RightEdge) ||
           (lineLen_ > 0 && lineLen_ + wordLen_ >= kLineMax);
}

template <bool kWide>
size_t PageLayout::TakeRun(const uint8_t* bytes, size_t count, int32_t indent, bool& full) {
    // Exactly what NextChar, Markup and AddToWord do for these characters, without the calls;
    // the word, line and markup state live in locals while the run lasts.
    const bool markup = doc_.MarkupMode;
    const RunClass* classes = markup ? kRunClasses.markup : kRunClasses.plain;
    const int32_t* widths = doc_.Widths.data();
    const size_t widthCount = std::min(size_t(std::max(doc_.WidthCount, 0)), doc_.Widths.size());
    // Own widths of the codes past the table, once measured (every 16-bit code has its entry).
    const int32_t* late = doc_.lateWidths_.size() == 65536 ? doc_.lateWidths_.data() : nullptr;
    size_t letterCount = 0;
    const int32_t* letters = doc_.LetterWidths(markup, letterCount);
    const int32_t left = doc_.LeftEdge, right = doc_.RightEdge;
    const int32_t lineRoom = right - left;
    const uint8_t charStyle = style_ & (kStyleBold | kStyleItalic | kStyleUnderline);
    const int32_t extra = (charStyle & 1) + (charStyle >> 1 & 1) + (charStyle >> 2 & 1);
    const int32_t firstOffset = readPos_;
    linkStyle_ = false;

    const bool measureOnly = !buildText_ && !dc_;
    // Splitting a word needs its characters, measuring or not.
    const bool keepChars = !measureOnly || hyphenator_ || softHyphens_;
    int32_t lineWidth = lineWidth_, lineX = lineX_;
    size_t lineLen = lineLen_;
    size_t len = wordLen_;
    int32_t width = wordWidth_;
    bool lastSpace = lastSpace_;
    int32_t lastAdded = -1;  // the last character added to the word, for BreakAfter
    size_t used = 0;
    full = false;
    while (used < count) {
        // Letters of a word that neither end it nor fill the line: nothing to decide but the
        // width. The first one that might goes the whole way below.
        {
            int32_t safeWidth = lineRoom;
            if (lineX != left) safeWidth = std::min(safeWidth, right - indent - lineX - 1);
            safeWidth = std::min(safeWidth, kNotALetter / 2 - 1);  // nor a code that is none
            ptrdiff_t safeLen = ptrdiff_t(kWordMax) - 1;
            if (lineLen > 0) safeLen = std::min(safeLen, ptrdiff_t(kLineMax - lineLen) - 1);
            // First how many such letters follow (nothing stored while they are counted), then
            // they are stored in one go: the counting loop is all the per-letter work.
            const size_t most =
                ptrdiff_t(len) < safeLen ? std::min(count - used, size_t(safeLen) - len) : 0;
            const uint8_t* run = kWide ? bytes + 2 * used : bytes + used;
            size_t k = 0;
            int32_t w = width;
            if (!kWide && letterCount >= 256) {
                for (; k < most; ++k) {
                    const int32_t next = w + letters[run[k]] + extra;
                    if (next > safeWidth) break;
                    w = next;
                }
            } else if (kWide && letterCount == 65536) {
                for (; k < most; ++k) {
                    const int32_t next = w + letters[Le16At(run + 2 * k)] + extra;
                    if (next > safeWidth) break;
                    w = next;
                }
            } else {
                for (; k < most; ++k) {
                    const uint16_t c = kWide ? Le16At(run + 2 * k) : run[k];
                    if (c >= letterCount) break;
                    const int32_t next = w + letters[c] + extra;
                    if (next > safeWidth) break;
                    w = next;
                }
            }
            if (k > 0) {
                if (keepChars) {
                    char16_t* to = word_ + len;
                    for (size_t i = 0; i < k; ++i)
                        to[i] = kWide ? char16_t(Le16At(run + 2 * i)) : run[i];
                    std::memset(wordStyle_ + len, charStyle, k);
                    if (dc_)
                        for (size_t i = 0; i < k; ++i)
                            wordPos_[len + i] = firstOffset + int32_t(used + i);
                }
                lastAdded = kWide ? int32_t(Le16At(run + 2 * (k - 1))) : int32_t(run[k - 1]);
                if (markup) lastSpace = false;
                width = w;
                len += k;
                used += k;
            }
            if (used >= count) break;
        }
        uint16_t c = kWide ? Le16At(bytes + 2 * used) : bytes[used];
        RunClass kind;
        if (!kWide || c < 256)
            kind = classes[c];
        else
            kind = c >= 9703 || c == 8211 ? kSlow : kWordChar;
        if (kind == kSlow) break;
        // A word with soft hyphens about to grow wider than a line is left to the long way,
        // which may break it at one of them.
        if (softCount_ > 0 && kind == kWordChar &&
            width + (c < widthCount ? widths[c] : doc_.CharWidth(c)) + extra > lineRoom)
            break;
        ++used;
        if (markup) {
            if (kind == kSpace && lastSpace) continue;  // runs of spaces collapse
            lastSpace = kind == kSpace;
        }
        lastAdded = c;
        if (keepChars) {  // only the line's text, drawing and splitting read the characters
            word_[len] = char16_t(c);
            wordStyle_[len] = charStyle;
            if (dc_) wordPos_[len] = firstOffset + int32_t(used) - 1;
        }
        ++len;
        int32_t w = c < widthCount ? widths[c] : late && late[c] >= 0 ? late[c] : doc_.CharWidth(c);
        width += w + extra;
        if (kind == kSpace || width > lineRoom || len >= kWordMax) {
            if (measureOnly) {
                // PlaceWord when neither the line's text nor its styles are wanted.
                lineWidth += width;
                lineX += width;
                lineLen += std::min(kLineMax - lineLen, len);
                if (kind == kSpace) ++lineSpaces_;
                softCount_ = 0;
                resumeOffset_ = firstOffset + int32_t(used);
            } else {
                wordLen_ = len;
                wordWidth_ = width;
                readPos_ = firstOffset + int32_t(used);
                PlaceWord();
                lineWidth = lineWidth_;
                lineX = lineX_;
                lineLen = lineLen_;
            }
            len = 0;
            width = 0;
        }
        if ((lineX != left && indent + lineX + width >= right) ||
            (lineLen > 0 && lineLen + len >= kLineMax)) {
            full = true;
            break;
        }
    }
    lineWidth_ = lineWidth;
    lineX_ = lineX;
    lineLen_ = lineLen;
    wordLen_ = len;
    wordWidth_ = width;
    readPos_ = firstOffset + int32_t(used);
    if (used > 0) charPos_ = lastStream_ = readPos_ - 1;
    if (markup) lastSpace_ = lastSpace;
    if (lastAdded >= 0) {
        breakAfter_ = (!kWide || lastAdded < 256) && kRunClasses.sentenceEnd[lastAdded];
        if (charStyle) lineStyled_ = true;
    }
    return used;
}

void PageLayout::LayoutLine() {
    lineLen_ = 0;
    lineStart_ = resumeOffset_;  // a word carried over from the line before begins there
    // A styled word carried over from the line before is drawn with its styles here.
    lineStyled_ = std::any_of(wordStyle_, wordStyle_ + wordLen_, [](uint8_t b) { return b; });
    hardBreak_ = false;
    lineQuote_ = lineCentre_ = lineRight_ = false;
    lineSplit_ = false;
    lineSpaces_ = 0;
    lineX_ = doc_.LeftEdge;
    const int32_t lineRoom = doc_.RightEdge - doc_.LeftEdge;
    // A word read to its end on the line before begins this one whole (the rest of a split
    // word fits, being part of a word no wider than a line), then whatever ended it.
    if (placeFirst_) {
        placeFirst_ = false;
        if (style_ & kStyleQuote) lineQuote_ = true;
        if (style_ & kStyleCentred) lineCentre_ = true;
        if (style_ & kStyleRight) lineRight_ = true;
        // Wider than a line (its end not read yet): it breaks at a soft hyphen if it can.
        if (wordWidth_ > lineRoom && SplitAtSoftHyphen()) {
            // The rest goes on as the unfinished word, unless its end was read already.
            placeFirst_ = held_ != Held::None || word_[wordLen_ - 1] == ' ';
            return;
        }
        PlaceWord();
        if (deferredPageBreak_) {
            deferredPageBreak_ = false;
            forcedBreak_ = true;
        }
        Held held = held_;
        held_ = Held::None;
        if (held == Held::LineBreak) {
            hardBreak_ = true;
            return;
        }
        if (held == Held::End) {
            ended_ = true;
            return;
        }
    }
    for (;;) {
        int32_t indent = lineQuote_ ? 5 * doc_.CharWidth(' ') : 0;
        if (!completing_ && LineFull(indent) && !StartCompleting()) return;
        if (style_ & kStyleQuote) lineQuote_ = true;
        if (style_ & kStyleCentred) lineCentre_ = true;
        if (style_ & kStyleRight) lineRight_ = true;

        // Ordinary characters of the stream are taken in runs straight from the windows. The
        // first character of the text goes the long way (it may be a byte-order mark).
        if (!completing_ && inserted_.empty() && pendingTabs_ == 0 && carry_.empty() &&
            readPos_ > 0 && (!doc_.MarkupMode || MarkupIdle())) {
            const uint8_t* bytes = nullptr;
            if (size_t count = doc_.WindowRun(readPos_, bytes)) {
                // The line flags are set; a run changes no style, so they stay right.
                int32_t runIndent = lineQuote_ ? 5 * doc_.CharWidth(' ') : 0;
                bool full = false;
                size_t used = doc_.Wide ? TakeRun<true>(bytes, count, runIndent, full)
                                        : TakeRun<false>(bytes, count, runIndent, full);
                if (full) {
                    if (!StartCompleting()) return;
                    continue;
                }
                if (used > 0) continue;
            }
        }

        bool fromInserted, fromStream;
        uint32_t next = NextChar(fromInserted, fromStream);
        if (next == kEndOfText) {
            if (EndOfTextInEntity()) continue;
            // The end of the text is not consumed: every later read meets it again.
            if (completing_) {
                held_ = Held::End;
                SplitOrHold(true);
                return;
            }
            if (wordLen_ > 0) PlaceWord();
            ended_ = true;
            return;
        }
        uint16_t c = uint16_t(next);
        if (!fromInserted) {
            if (fromStream) ++readPos_;
            if (c == 0) continue;
            if (c == 0xFEFF && fromStream && readPos_ == 1) continue;  // byte-order mark
            if (doc_.MarkupMode) {
                lastFromStream_ = fromStream;
                int32_t m = Markup(c);
                if (m == kNothing) continue;
                c = uint16_t(m);
            } else if (c == '\r') {
                continue;
            }
            if (c == 173 && softHyphens_) {
                // Invisible: it only marks where the word may break.
                if (wordLen_ > 0 && softCount_ < kWordMax) wordSoft_[softCount_++] = wordLen_;
                continue;
            }
        }
        bool joined = false;
        if (!fromInserted && (c == kLineBreak || c == kPageBreak)) {
            if (doc_.JoinLines && !breakAfter_) {
                c = ' ';
                joined = true;
            } else if (completing_) {
                held_ = Held::LineBreak;
                SplitOrHold(true);
                return;
            } else {
                PlaceWord();
                hardBreak_ = true;
                return;
            }
        }
        if (!fromInserted && c == '\t') {
            pendingTabs_ = doc_.TabSize;
            c = ' ';
        }
        AddToWord(c);
        if (joined) breakAfter_ = true;
        if (c != ' ' && wordWidth_ <= lineRoom && wordLen_ < kWordMax) continue;
        if (completing_) {
            // A word wider than a line was cut at the line's width: it is not split by points
            // of a word it is only the beginning of, and is placed broken as ever.
            SplitOrHold(c == ' ');
            return;
        }
        if (c != ' ' && SplitAtSoftHyphen()) return;
        PlaceWord();
    }
}

bool PageLayout::MaySplit() const {
    if (wordLen_ == 0 || lineIndex_ == noSplitLine_ || lineLen_ + wordLen_ >= kLineMax)
        return false;
    // The last line of a page keeps its last word whole: the page turn never splits one.
    return !doc_.KeepPageEndWhole ||
           (!forcedBreak_ && y_ + lineExtra_ + 2 * doc_.LineHeight < doc_.BottomLimit);
}

bool PageLayout::StartCompleting() {
    if ((!hyphenator_ && !softHyphens_) || !MaySplit()) return false;
    completing_ = true;
    return true;
}

bool PageLayout::SplitAtSoftHyphen() {
    // A word wider than a line breaks at its last soft hyphen that fits, if any.
    if (softCount_ == 0 || !MaySplit()) return false;
    uint16_t points[kWordMax];
    size_t count = 0;
    for (size_t i = 0; i < softCount_; ++i)
        if (wordSoft_[i] > 0 && wordSoft_[i] < wordLen_) points[count++] = wordSoft_[i];
    const int32_t indent = lineQuote_ ? 5 * doc_.CharWidth(' ') : 0;
    return SplitAt(points, count, doc_.RightEdge - indent - lineX_);
}

int32_t PageLayout::WordCharWidth(size_t i) const {
    int32_t width = doc_.LayoutWidth(word_[i]);
    for (uint8_t bit :
         {uint8_t(kStyleBold), uint8_t(kStyleItalic), uint8_t(kStyleUnderline), kCharLink})
        if (wordStyle_[i] & bit) ++width;
    return width;
}

bool PageLayout::Loose(int32_t room) const {
    // Loose: spreading the room over the line's gaps would widen each by more than half a
    // space (a line of one word by more than half a space in all).
    return 2 * room > std::max(lineSpaces_, 1) * doc_.CharWidth(' ');
}

void PageLayout::SplitOrHold(bool whole) {
    completing_ = false;
    placeFirst_ = true;
    // A forced break read with the word waits for the line the word's end goes to.
    if (forcedBreak_) {
        forcedBreak_ = false;
        deferredPageBreak_ = true;
    }
    size_t length = wordLen_;
    if (length > 0 && word_[length - 1] == ' ') --length;
    const int32_t indent = lineQuote_ ? 5 * doc_.CharWidth(' ') : 0;
    const int32_t room = doc_.RightEdge - indent - lineX_;

    // The author's soft hyphens, else the dictionary's points when the line would be loose.
    uint16_t points[kWordMax];
    size_t count = 0;
    if (whole && softCount_ > 0) {
        for (size_t i = 0; i < softCount_; ++i)
            if (wordSoft_[i] > 0 && wordSoft_[i] < length) points[count++] = wordSoft_[i];
    } else if (whole && hyphenator_ && Loose(room) && length <= Hyphenator::kMaxWord) {
        char16_t text[Hyphenator::kMaxWord];
        for (size_t i = 0; i < length; ++i)
            text[i] = !doc_.Wide && word_[i] < 256 ? Cp1252ToUnicode(uint8_t(word_[i])) : word_[i];
        for (uint16_t k : hyphenator_->Breaks(std::u16string_view(text, length)))
            points[count++] = k;
    }
    SplitAt(points, count, room);
}

bool PageLayout::SplitAt(const uint16_t* points, size_t count, int32_t room) {
    // The last point whose head and hyphen fit in the room left.
    const int32_t hyphen = doc_.LayoutWidth('-');
    size_t best = 0;
    int32_t headWidth = 0, bestWidth = 0;
    size_t measured = 0;
    for (size_t p = 0; p < count; ++p) {
        size_t k = points[p];
        if (k <= best || lineLen_ + k + 1 > kLineMax) continue;
        while (measured < k)
            headWidth += WordCharWidth(measured++);
        int32_t extra = 0;
        for (uint8_t bit : {uint8_t(kStyleBold), uint8_t(kStyleItalic), uint8_t(kStyleUnderline)})
            if (wordStyle_[k - 1] & bit) ++extra;
        if (headWidth + hyphen + extra > room) break;
        best = k;
        bestWidth = headWidth + hyphen + extra;
    }
    if (best == 0) return false;

    // The head and its hyphen (in the style of the head's last character) end this line.
    const uint8_t hyphenStyle = wordStyle_[best - 1] & uint8_t(~kCharLink);
    if (buildText_) {
        lineText_.append(word_, best);
        lineText_ += u'-';
    }
    if (dc_) {
        linePos_.insert(linePos_.end(), wordPos_, wordPos_ + best);
        linePos_.push_back(wordPos_[best - 1]);  // the hyphen goes with the head
    }
    if (dc_) {
        std::memcpy(lineStyle_ + lineLen_, wordStyle_, best);
        lineStyle_[lineLen_ + best] = hyphenStyle;
    }
    std::vector<std::pair<size_t, int32_t>> rest;
    for (const auto& [at, link] : wordLinks_) {
        if (at < best)
            lineLinks_.emplace_back(lineLen_ + at, link);
        else
            rest.emplace_back(at - best, link);
    }
    wordLinks_ = std::move(rest);
    lineLen_ += best + 1;
    lineWidth_ += bestWidth;
    lineX_ += bestWidth;
    lineSplit_ = true;

    // The rest stays as the word, with its soft hyphens.
    std::memmove(word_, word_ + best, (wordLen_ - best) * sizeof(char16_t));
    std::memmove(wordStyle_, wordStyle_ + best, wordLen_ - best);
    if (dc_) std::memmove(wordPos_, wordPos_ + best, (wordLen_ - best) * sizeof(int32_t));
    wordLen_ -= best;
    wordWidth_ = 0;
    for (size_t i = 0; i < wordLen_; ++i)
        wordWidth_ += WordCharWidth(i);
    size_t kept = 0;
    for (size_t i = 0; i < softCount_; ++i)
        if (wordSoft_[i] > best) wordSoft_[kept++] = uint16_t(wordSoft_[i] - best);
    softCount_ = kept;
    return true;
}

void PageLayout::FinishLine() {
    bool band = false;
    if (search_ && !doc_.SearchText.empty()) {
        std::string text = LowerAscii(ToCodePage(lineText_));
        if (text.find(doc_.SearchText) != std::string::npos) {
            result_ = true;
            band = true;
        }
    }
    // The line holds part of the hit a search shows.
    if (doc_.HighlightFirst >= 0 && doc_.HighlightFirst < resumeOffset_ &&
        doc_.HighlightEnd > lineStart_)
        band = true;
    if (dc_ && band)
        dc_->FillRect(Rect{doc_.LeftEdge, y_, doc_.RightEdge, y_ + doc_.LineHeight},
                      RGBColour(192, 192, 192));
    // A picture taller than the line pushes the line's text, and the lines after it, down:
    // in measuring as in drawing, so that both break the page at the same place.
    y_ += lineExtra_;
    if (dc_) {
        FinishedLine line;
        line.text = lineText_.data();
        line.styles = lineStyle_;
        line.length = std::min(lineText_.size(), lineLen_);
        line.width = lineWidth_;
        line.y = y_;
        line.styled = lineStyled_;
        line.endsParagraph = hardBreak_ || ended_;
        line.centred = lineCentre_;
        line.right = lineRight_;
        line.quote = lineQuote_;
        line.picture = !linePictures_.empty();
        line.links = &lineLinks_;
        line.offsets = linePos_.size() >= line.length ? linePos_.data() : nullptr;
        int32_t shift = doc_.DrawLine(*dc_, line);
        DrawLinePictures(shift);
        lineLinks_.clear();
        linePos_.clear();
    }
    if (doc_.LineSink && !probe_ && !(ended_ && lineLen_ == 0)) {
        // The line as drawn (the text's end alone on a line is no line): without its last space,
        // 8-bit text in Unicode.
        std::u16string text = lineText_;
        if (!text.empty() && text.back() == u' ') text.pop_back();
        if (!doc_.Wide)
            for (char16_t& c : text)
                if (c < 256) c = Cp1252ToUnicode(uint8_t(c));
        doc_.LineSink(doc_.CurrentPage, lineIndex_, Utf16ToUtf8(text));
    }
    if (doc_.KeepLinesTogether)
        lines_.push_back(
            LineEnd{resumeOffset_, resumeCarry_, resumeStyle_, hardBreak_, lineSplit_});
    ++lineIndex_;
    lineWidth_ = 0;
    lineText_.clear();
    y_ += doc_.LineHeight;
    lineExtra_ = 0;
    if (hardBreak_) y_ += doc_.ParagraphSpacing;
}

void PageLayout::Begin() {
    size_t page = size_t(doc_.CurrentPage);
    y_ = doc_.TopEdge;
    readPos_ = doc_.PageStarts[page];
    if (page > 0) {
        style_ = doc_.PageStates[page];
        carry_ = doc_.PageCarry[page];
    }
    resumeOffset_ = readPos_;
    resumeCarry_ = carry_;
    resumeStyle_ = style_;
    charPos_ = lastStream_ = readPos_;
    buildText_ =
        dc_ || (search_ && !doc_.SearchText.empty()) || !doc_.SoughtAnchor.empty() || doc_.LineSink;
}

void PageLayout::Lines() {
    while (y_ + doc_.LineHeight < doc_.BottomLimit && !forcedBreak_) {
        if (lineLimit_ >= 0 && lineIndex_ >= lineLimit_) return;
        LayoutLine();
        FinishLine();
        if (ended_) return;  // every further line would end at once
    }
    if (forcedBreak_ || !doc_.KeepLinesTogether || lineLimit_ >= 0) return;
    // The page is full: whether the line after it ends its paragraph.
    pageFull_ = true;
    LayoutLine();
    nextEndsParagraph_ = hardBreak_ || ended_;
}

PageLayout::Cut PageLayout::PageCut() const {
    const size_t n = lines_.size();
    Cut cut{n, -1};
    if (!pageFull_ || n < 2 || lines_[n - 1].hard) return cut;
    // A line begins a paragraph when the line before it ended one.
    auto first = [&](size_t i) { return i > 0 && lines_[i - 1].hard; };
    size_t keep = n;
    if (nextEndsParagraph_) {
        // The paragraph's last line would stand alone on the next page: it takes one more, and
        // the whole paragraph when that would leave its first line alone here.
        keep = n - 1;
        if (first(keep - 1) && !lines_[keep - 1].hard) keep -= 1;
    } else if (first(n - 1)) {
        keep = n - 1;  // the paragraph's first line alone at the foot
    }
    if (keep < 1) return cut;
    cut.lines = keep;
    if (keep < n && lines_[keep - 1].split) cut.noSplit = int32_t(keep - 1);
    return cut;
}

bool PageLayout::Run() {
    if (doc_.CurrentPage < 0) doc_.CurrentPage = 0;
    if (dc_ && doc_.PendingOffset != -1) {
        // The layout changed since the page table was saved: measure afresh up to the text that
        // was being read and show it again.
        int32_t target = doc_.PendingOffset;
        doc_.PendingOffset = -1;
        doc_.BuildWidthTable(dc_);
        doc_.PaginateToOffset(target);
        doc_.GoToOffset(target);
    }
    if (doc_.CurrentPage >= int32_t(doc_.PageStarts.size()) || doc_.SourceFailed) return false;
    doc_.BuildWidthTable(dc_);
    if (!doc_.WidthsBuilt) return false;  // nothing to measure with yet
    doc_.ComputeBottomLimit();
    doc_.DeleteTempFiles();

    static bool guard = false;
    if (guard) return false;
    guard = true;
    struct Release {
        ~Release() { guard = false; }
    } release;
    if (dc_) {
        doc_.Links.clear();
        doc_.PictureHits.clear();
        doc_.DrawnLines.clear();
    }
    if (doc_.TextLength == 0) return false;
    if (dc_) {
        dc_->SetTransparentBackground(true);
        dc_->SetTextColour(doc_.TextColour);
    }
    if (doc_.CurrentPage >= int32_t(doc_.PageStarts.size())) return false;

    size_t page = size_t(doc_.CurrentPage);
    const int32_t pageStart = doc_.PageStarts[page];
    const size_t startCarry = page > 0 ? doc_.PageCarry[page].size() : 0;
    if (doc_.Hyphenate && (!doc_.hyphenPrepared_ || doc_.hyphenFor_ != doc_.HyphenationLanguage))
        doc_.PrepareHyphenation();
    hyphenator_ = doc_.Hyphenate ? doc_.activeHyphenator_ : nullptr;
    if (hyphenator_) hyphenator_->SetLimits(doc_.HyphenLimits);

    // Keeping paragraph lines together decides where the page ends from one line past it. A
    // page measured only is cut afterwards; one drawn, searched or listed is measured first.
    const bool keep = doc_.KeepLinesTogether;
    const bool cutAfter = !dc_ && !search_ && doc_.SoughtAnchor.empty() && !doc_.LineSink;
    if (keep && !cutAfter) {
        PageLayout probe(doc_, nullptr, false);
        probe.probe_ = true;
        probe.hyphenator_ = hyphenator_;
        probe.Begin();
        probe.Lines();
        Cut cut = probe.PageCut();
        lineLimit_ = int32_t(cut.lines);
        noSplitLine_ = cut.noSplit;
    }
    Begin();
    Lines();
    if (keep && cutAfter) {
        Cut cut = PageCut();
        if (cut.lines < lines_.size() && cut.noSplit >= 0) {
            // The line the page now ends with was split: it is laid out again whole.
            PageLayout again(doc_, nullptr, false);
            again.hyphenator_ = hyphenator_;
            again.lineLimit_ = int32_t(cut.lines);
            again.noSplitLine_ = cut.noSplit;
            again.Begin();
            again.Lines();
            lines_ = std::move(again.lines_);
        } else {
            lines_.resize(cut.lines);
        }
    }
    if (keep && !lines_.empty()) {
        const LineEnd& last = lines_.back();
        resumeOffset_ = last.offset;
        resumeCarry_ = last.carry;
        resumeStyle_ = last.style;
    }

    if (dc_) doc_.DrawPageDecorations(*dc_);

    // Every page moves forward: the next one starts later, or at the same place with less text
    // carried over. A page that cannot (nothing fits on it) is where the book ends.
    const bool forward = resumeOffset_ > pageStart ||
                         (resumeOffset_ == pageStart && resumeCarry_.size() < startCarry);
    if (!forward) {
        doc_.LastPage = doc_.CurrentPage;
    } else {
        if (doc_.PageStarts.size() < page + 2) {
            doc_.PageStarts.resize(page + 2, 0);
            doc_.PageStates.resize(page + 2, 0);
            doc_.PageCarry.resize(page + 2);
        }
        // The next page reads again whatever was read after the last word placed here.
        doc_.PageStates[page + 1] = resumeStyle_;
        doc_.PageStarts[page + 1] = resumeOffset_;
        doc_.PageCarry[page + 1] = resumeCarry_;
    }
    return result_;
}

bool CBookEngine::LayoutPage(DrawingSurface* dc, bool search) {
    ++LayoutCount;
    PageLayout layout(*this, dc, search);
    return layout.Run();
}

std::string CBookEngine::FileNameAt(int32_t position) const {
    // Within a PAWK book's text that carries file marks (converted from LIT), the last mark
    // names the file, as in the LIT book itself.
    if (reader_ && CurrentFile.empty()) return reader_->FileAt(position);
    return CurrentFile;
}

bool CBookEngine::ExtractMedia(const std::string& path, const std::string& nameInBook) {
    return reader_ && reader_->ExtractMedia(nameInBook, path);
}

bool CBookEngine::ResolveName(const std::string& fromFile, const std::string& written,
                              std::string& name) {
    return reader_ && reader_->ResolveName(fromFile, written, name);
}

TextAlign CBookEngine::ClassAlignment(const std::string& fromFile, const std::string& classes) {
    return reader_ ? reader_->ClassAlignment(fromFile, classes) : TextAlign::None;
}

bool CBookEngine::LayoutFollowingPage(DrawingSurface* dc, bool search) {
    // The page drawn ahead is current only for its layout: a window read meanwhile must not
    // write it into the snapshot as the page being read.
    bool held = holdSnapshot_;
    holdSnapshot_ = true;
    ++CurrentPage;
    bool result = LayoutPage(dc, search);
    --CurrentPage;
    holdSnapshot_ = held;
    return result;
}

void CBookEngine::PaginateTo(int32_t n) {
    if (LastPage != kLastPageUnknown) return;
    WaitCursor wait(HostServices);
    int32_t saved = CurrentPage;
    bool held = holdSnapshot_;
    holdSnapshot_ = true;
    int32_t first = n < 0 ? CurrentPage : 0;
    int32_t target = n >= 0 ? n : n == INT32_MIN ? INT32_MAX : -n;
    // A page whose following start the table holds was measured before, in this run or in the
    // one that left the pagination file, and would give the same start again: measuring begins
    // at the table's last page. LIT books name their anchors after the internal file the layout
    // passed last, which only measuring from the start finds again.
    if (!Form.measuresFromStart) first = std::max(first, int32_t(PageStarts.size()) - 1);
    for (int32_t page = first; page <= target && page <= LastPage; ++page) {
        // Only pages whose start is known can be measured; a page that failed leaves the table
        // short, and nothing after it can be reached.
        if (page >= int32_t(PageStarts.size())) break;
        CurrentPage = page;
        LayoutPage(nullptr, false);
    }
    CurrentPage = saved;
    holdSnapshot_ = held;
    if (!held) SavePosition(false);
}

void CBookEngine::PaginateToOffset(int32_t target) {
    int32_t saved = CurrentPage;
    bool held = holdSnapshot_;
    holdSnapshot_ = true;
    while (LastPage == kLastPageUnknown && PageStarts.back() <= target) {
        size_t before = PageStarts.size();
        CurrentPage = int32_t(before) - 1;
        LayoutPage(nullptr, false);
        if (PageStarts.size() == before) break;
    }
    CurrentPage = saved;
    holdSnapshot_ = held;
    if (!held) SavePosition(false);
}

}  // namespace pagewick
