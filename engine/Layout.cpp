// Line and page breaking: LayoutPage lays out the current page from its recorded start, measures
// every character with the width table, and records where the following page starts.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/PageLayout.h"
#include "util/AsciiCase.h"

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
            if (c == 0 || c == '\t' || c == '\n' || c == 11 || c == '\r' || c == 151 || c == 160)
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

}  // namespace

uint32_t PageLayout::NextChar(bool& fromInserted, bool& fromStream) {
    fromInserted = fromStream = false;
    if (!inserted_.empty()) {
        uint16_t c = inserted_.front();
        inserted_.erase(0, 1);
        fromInserted = true;
        return c;
    }
    linkStyle_ = false;
    if (pendingTabs_ > 0) {
        --pendingTabs_;
        fromInserted = true;  // the spaces of a tab are shown as they are, never collapsed
        return ' ';
    }
    if (!carry_.empty()) {
        uint16_t c = carry_.front();
        carry_.erase(0, 1);
        return c;
    }
    fromStream = true;
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
    ++wordLen_;
    wordWidth_ += width;
}

inline void PageLayout::PlaceWord() {
    if (buildText_) lineText_.append(word_, wordLen_);
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
    const int32_t left = doc_.LeftEdge, right = doc_.RightEdge;
    const int32_t lineRoom = right - left;
    const uint8_t charStyle = style_ & (kStyleBold | kStyleItalic | kStyleUnderline);
    const int32_t extra = (charStyle & 1) + (charStyle >> 1 & 1) + (charStyle >> 2 & 1);
    const int32_t firstOffset = readPos_;
    linkStyle_ = false;

    const bool measureOnly = !buildText_ && !dc_;
    int32_t lineWidth = lineWidth_, lineX = lineX_;
    size_t lineLen = lineLen_;
    size_t len = wordLen_;
    int32_t width = wordWidth_;
    bool lastSpace = lastSpace_;
    int32_t lastAdded = -1;  // the last character added to the word, for BreakAfter
    size_t used = 0;
    full = false;
    while (used < count) {
        uint16_t c = kWide ? uint16_t(bytes[2 * used] | bytes[2 * used + 1] << 8) : bytes[used];
        RunClass kind;
        if (!kWide || c < 256)
            kind = classes[c];
        else
            kind = c >= 9703 || c == 8211 ? kSlow : kWordChar;
        if (kind == kSlow) break;
        ++used;
        if (markup) {
            if (kind == kSpace && lastSpace) continue;  // runs of spaces collapse
            lastSpace = kind == kSpace;
        }
        lastAdded = c;
        if (!measureOnly) {  // only the line's text and drawing read the word's characters
            word_[len] = char16_t(c);
            wordStyle_[len] = charStyle;
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
    lineX_ = doc_.LeftEdge;
    const int32_t lineRoom = doc_.RightEdge - doc_.LeftEdge;
    for (;;) {
        int32_t indent = lineQuote_ ? 5 * doc_.CharWidth(' ') : 0;
        if (LineFull(indent)) return;
        if (style_ & kStyleQuote) lineQuote_ = true;
        if (style_ & kStyleCentred) lineCentre_ = true;
        if (style_ & kStyleRight) lineRight_ = true;

        // Ordinary characters of the stream are taken in runs straight from the windows. The
        // first character of the text goes the long way (it may be a byte-order mark).
        if (inserted_.empty() && pendingTabs_ == 0 && carry_.empty() && readPos_ > 0 &&
            (!doc_.MarkupMode || MarkupIdle())) {
            const uint8_t* bytes = nullptr;
            if (size_t count = doc_.WindowRun(readPos_, bytes)) {
                // The line flags are set; a run changes no style, so they stay right.
                int32_t runIndent = lineQuote_ ? 5 * doc_.CharWidth(' ') : 0;
                bool full = false;
                size_t used = doc_.Wide ? TakeRun<true>(bytes, count, runIndent, full)
                                        : TakeRun<false>(bytes, count, runIndent, full);
                if (full) return;
                if (used > 0) continue;
            }
        }

        bool fromInserted, fromStream;
        uint32_t next = NextChar(fromInserted, fromStream);
        if (next == kEndOfText) {
            if (EndOfTextInEntity()) continue;
            // The end of the text is not consumed: every later read meets it again.
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
        }
        bool joined = false;
        if (!fromInserted && (c == kLineBreak || c == kPageBreak)) {
            if (doc_.JoinLines && !breakAfter_) {
                c = ' ';
                joined = true;
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
        PlaceWord();
    }
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
        int32_t shift = doc_.DrawLine(*dc_, line);
        DrawLinePictures(shift);
        lineLinks_.clear();
    }
    lineWidth_ = 0;
    lineText_.clear();
    y_ += doc_.LineHeight;
    lineExtra_ = 0;
    if (hardBreak_) y_ += doc_.ParagraphSpacing;
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
    }
    if (doc_.TextLength == 0) return false;
    if (dc_) {
        dc_->SetTransparentBackground(true);
        dc_->SetTextColour(doc_.TextColour);
    }
    if (doc_.CurrentPage >= int32_t(doc_.PageStarts.size())) return false;

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
    const size_t startCarry = carry_.size();
    buildText_ = dc_ || (search_ && !doc_.SearchText.empty()) || !doc_.SoughtAnchor.empty();

    while (y_ + doc_.LineHeight < doc_.BottomLimit && !forcedBreak_) {
        LayoutLine();
        FinishLine();
        if (ended_) break;  // every further line would end at once
    }

    if (dc_) doc_.DrawPageDecorations(*dc_);

    // Every page moves forward: the next one starts later, or at the same place with less text
    // carried over. A page that cannot (nothing fits on it) is where the book ends.
    const bool forward =
        resumeOffset_ > doc_.PageStarts[page] ||
        (resumeOffset_ == doc_.PageStarts[page] && resumeCarry_.size() < startCarry);
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
    if (SourceKind == kSourcePawk && reader_ && CurrentFile.empty())
        return reader_->FileAt(position);
    return CurrentFile;
}

bool CBookEngine::ExtractMedia(const std::string& path, const std::string& nameInBook) {
    return reader_ && reader_->ExtractMedia(nameInBook, path);
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
    if (SourceKind != kSourceLit) first = std::max(first, int32_t(PageStarts.size()) - 1);
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
