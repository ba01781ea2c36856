// Line and page breaking: LayoutPage lays out the current page from its recorded start, measures
// every character with the width table, and records where the following page starts.
#include <algorithm>
#include <cstring>

#include "engine/BookEngine.h"
#include "engine/Cp1252.h"
#include "engine/Markup.h"

namespace pagewick {

namespace {

constexpr size_t kWordMax = 512;      // characters (and style bytes) of one word
constexpr size_t kLineMax = 1024;     // style bytes of one line
constexpr size_t kTagMax = 1023;      // longest tag or captured text
constexpr size_t kHeadRestart = 250;  // the head collector starts again past this length
constexpr size_t kEntityKeep = 64;    // an entity is absorbed to its ";" but only this much is kept

constexpr int32_t kNothing = -1;  // the markup consumed the character
constexpr int32_t kTooLong = -2;  // a tag or captured text overflowed: stop the page
constexpr int32_t kLineBreak = 10;
constexpr int32_t kPageBreak = 11;

enum class Capture { None, Title, Style, CurFile };

bool IsSentenceEnd(uint16_t c, bool wide) {
    switch (c) {
        case '!':
        case '"':
        case '\'':
        case '.':
        case ':':
        case '?':
            return true;
        default:
            return !wide && (c == 133 || (c >= 145 && c <= 148));
    }
}

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

bool IsMediaTarget(const std::string& name) {
    std::string lower = LowerAscii(name);
    if (lower.find(".htm") != std::string::npos) return false;
    for (const char* ending : {".wav", ".mp", ".wm", ".avi", ".mid"})
        if (lower.find(ending) != std::string::npos) return true;
    return false;
}

}  // namespace

// The state of one call of LayoutPage.
class PageLayout {
public:
    PageLayout(CBookEngine& doc, DrawingSurface* dc, bool search)
        : doc_(doc), dc_(dc), search_(search) {}
    bool Run();

private:
    uint16_t NextChar(bool& fromInserted, bool& fromStream);
    int32_t Markup(uint16_t c);
    int32_t HandleTag();
    int32_t LinkTag(const std::string& tag);
    int32_t AnchorTag(const std::string& tag);
    std::string CurrentFileName() const;
    std::string ToCodePage(const std::u16string& text) const;
    void AddToWord(uint16_t c);
    void PlaceWord();
    void LayoutLine();
    void FinishLine();

    CBookEngine& doc_;
    DrawingSurface* dc_;
    bool search_;
    bool buildText_ = false;
    bool result_ = false;
    bool failed_ = false;
    bool ended_ = false;
    bool forcedBreak_ = false;

    int32_t y_ = 0;
    int32_t readPos_ = 0;
    int32_t resumeOffset_ = 0;
    uint8_t style_ = 0;
    bool breakAfter_ = false;
    std::u16string carry_;
    std::u16string inserted_;
    bool linkStyle_ = false;
    int32_t pendingTabs_ = 0;

    char16_t word_[kWordMax];
    uint8_t wordStyle_[kWordMax];
    size_t wordLen_ = 0;
    int32_t wordWidth_ = 0;

    std::u16string lineText_;
    uint8_t lineStyle_[kLineMax];
    size_t lineLen_ = 0;
    int32_t lineWidth_ = 0;
    int32_t lineX_ = 0;
    int32_t lineExtra_ = 0;
    bool lineStyled_ = false;
    bool hardBreak_ = false;
    bool lineQuote_ = false, lineCentre_ = false, lineRight_ = false;

    // Markup state
    bool inTag_ = false;
    std::u16string tag_;
    Capture capture_ = Capture::None;
    Capture closing_ = Capture::None;  // the capture that the tag being read may close
    bool inHead_ = false;
    std::u16string captured_;
    bool inEntity_ = false;
    std::u16string entity_;
    bool lastSpace_ = true;  // a page starts as if after a space: leading spaces collapse
};

uint16_t PageLayout::NextChar(bool& fromInserted, bool& fromStream) {
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

std::string PageLayout::ToCodePage(const std::u16string& text) const {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text)
        out += char(doc_.Wide ? UnicodeToCp1252(c) : uint8_t(c));
    return out;
}

std::string PageLayout::CurrentFileName() const {
    return doc_.FileNameAt(readPos_);
}

int32_t PageLayout::Markup(uint16_t c) {
    if (inEntity_) {
        if (entity_.size() < kEntityKeep) entity_ += char16_t(c);
        if (c != ';') return kNothing;
        inEntity_ = false;
        std::u16string more;
        uint16_t code = DecodeEntity(entity_, doc_.SourceKind == kSourceLit, &more);
        if (!more.empty()) carry_.insert(0, more);
        if (code == 0) return kNothing;
        lastSpace_ = code == ' ';
        return code;
    }
    if (inTag_) {
        if (c == '<') {
            tag_.assign(1, u'<');  // an unfinished tag is dropped and a new one begins
            return kNothing;
        }
        tag_ += char16_t(c);
        if (tag_.size() > kTagMax) return kTooLong;
        if (c != '>') return kNothing;
        inTag_ = false;
        return HandleTag();
    }
    if (c == '<') {
        inTag_ = true;
        tag_.assign(1, u'<');
        closing_ = capture_;
        capture_ = Capture::None;
        return kNothing;
    }
    if (capture_ != Capture::None || inHead_) {
        captured_ += char16_t(c);
        if (capture_ == Capture::None && captured_.size() > kHeadRestart) captured_.clear();
        if (captured_.size() > kTagMax) return kTooLong;
        return kNothing;
    }
    if (c == '&') {
        inEntity_ = true;
        entity_.assign(1, u'&');
        return kNothing;
    }
    if (c == '\r' || c == '\n') c = ' ';
    if (c == '\t') {
        if (doc_.SourceKind != kSourcePawk) return kNothing;
        lastSpace_ = true;
        return '\t';
    }
    if (c == ' ') {
        if (lastSpace_) return kNothing;
        lastSpace_ = true;
        return ' ';
    }
    lastSpace_ = false;
    return c;
}

int32_t PageLayout::HandleTag() {
    bool exactCase = doc_.SourceKind == kSourceLit;
    std::string tag = ToCodePage(tag_);
    if (!exactCase) tag = LowerAscii(tag);
    Capture closing = closing_;
    closing_ = Capture::None;
    TagMeaning m = ClassifyTag(tag);
    auto lineBreak = [&]() {
        lastSpace_ = true;
        return kLineBreak;
    };
    switch (m.kind) {
        case TagKind::Ignore:
            return kNothing;
        case TagKind::BoldOn:
            style_ |= kStyleBold;
            return kNothing;
        case TagKind::BoldOff:
            style_ &= uint8_t(~kStyleBold);
            return kNothing;
        case TagKind::ItalicOn:
            style_ |= kStyleItalic;
            return kNothing;
        case TagKind::ItalicOff:
            style_ &= uint8_t(~kStyleItalic);
            return kNothing;
        case TagKind::UnderlineOn:
            style_ |= kStyleUnderline;
            return kNothing;
        case TagKind::UnderlineOff:
            style_ &= uint8_t(~kStyleUnderline);
            return kNothing;
        case TagKind::Break:
            return lineBreak();
        case TagKind::QuoteOn:
            style_ |= kStyleQuote;
            return kNothing;
        case TagKind::QuoteOff:
            style_ &= uint8_t(~kStyleQuote);
            if (doc_.SourceKind == kSourcePawk) {
                if (lastSpace_) return kNothing;
                lastSpace_ = true;
                return ' ';
            }
            return lineBreak();
        case TagKind::CentreOn:
            style_ |= kStyleCentred;
            return kNothing;
        case TagKind::CentreOff:
            style_ &= uint8_t(~kStyleCentred);
            return lineBreak();
        case TagKind::RightOn:
            style_ |= kStyleRight;
            return kNothing;
        case TagKind::RightOff:
            style_ &= uint8_t(~kStyleRight);
            return lineBreak();
        case TagKind::Division:
            if (m.alignCentre) style_ |= kStyleCentred;
            if (m.alignRight) style_ |= kStyleRight;
            return kNothing;
        case TagKind::DivisionEnd:
            style_ &= uint8_t(~(kStyleCentred | kStyleRight));
            return lineBreak();
        case TagKind::Paragraph:
            if (m.alignCentre) style_ |= kStyleCentred | kStyleParagraphAlign;
            if (m.alignRight) style_ |= kStyleRight | kStyleParagraphAlign;
            if (m.pageBreak && y_ != doc_.TopEdge) {
                forcedBreak_ = true;
                lastSpace_ = true;
                return kPageBreak;
            }
            return lineBreak();
        case TagKind::ParagraphEnd:
            if (style_ & kStyleParagraphAlign)
                style_ &= uint8_t(~(kStyleParagraphAlign | kStyleCentred | kStyleRight));
            return kNothing;
        case TagKind::NewPage:
            // At the top of a page the marker is ignored, so it never makes an empty page.
            if (y_ == doc_.TopEdge) return kNothing;
            forcedBreak_ = true;
            lastSpace_ = true;
            return kPageBreak;
        case TagKind::Title:
            capture_ = Capture::Title;
            captured_.clear();
            return kNothing;
        case TagKind::TitleEnd:
            if (closing == Capture::Title && doc_.SourceKind != kSourceLit) {
                std::string title = ToCodePage(captured_);
                doc_.DocumentTitle = doc_.SourceKind == kSourcePawk && !doc_.BookTitle.empty()
                                         ? doc_.BookTitle + " - " + title
                                         : title;
                doc_.SetRegistry("LastBookTitle", doc_.DocumentTitle);
            }
            captured_.clear();
            return kNothing;
        case TagKind::CurFile:
            capture_ = Capture::CurFile;
            captured_.clear();
            return kNothing;
        case TagKind::CurFileEnd:
            if (closing == Capture::CurFile && doc_.SourceKind == kSourceLit)
                doc_.CurrentFile = ToCodePage(captured_);
            captured_.clear();
            return kNothing;
        case TagKind::Style:
            capture_ = Capture::Style;
            captured_.clear();
            return kNothing;
        case TagKind::Head:
            inHead_ = true;
            captured_.clear();
            return kNothing;
        case TagKind::HeadEnd:
            inHead_ = false;
            captured_.clear();
            return kNothing;
        case TagKind::Link:
            return LinkTag(tag);
        case TagKind::Anchor:
            return AnchorTag(tag);
        case TagKind::Picture:
            // Pictures take their place on the line once the picture decoder is wired in; until
            // then the tag stands as a space, as a picture that cannot be decoded does.
            break;
    }
    if (lastSpace_) return kNothing;
    lastSpace_ = true;
    return ' ';
}

int32_t PageLayout::LinkTag(const std::string& tag) {
    std::string raw = QuotedValue(tag);
    const char* marker = "<<LINK";
    if (raw.find("mailto:") != std::string::npos)
        marker = "<<EMAIL";
    else if (raw.find("tel:") != std::string::npos)
        marker = "<<CALL";
    else if (IsMediaTarget(raw))
        marker = "<<MEDIA";
    inserted_.clear();
    for (const char* p = marker; *p; ++p)
        inserted_ += char16_t(*p);
    inserted_ += u">> ";
    std::string target;
    if (raw.find("http:") != std::string::npos || raw.find("mailto:") != std::string::npos ||
        (!raw.empty() && raw.find('#') != std::string::npos) ||
        raw.find(".htm") != std::string::npos)
        target = raw;
    else
        target = CurrentFileName() + "#" + raw;
    bool known = std::any_of(doc_.Links.begin(), doc_.Links.end(),
                             [&](const LinkRecord& r) { return r.target == target; });
    if (!known) doc_.Links.push_back(LinkRecord{Rect{}, target, false, 0, 0});
    linkStyle_ = true;
    if (PrintMode) {
        inserted_.clear();  // printed pages show no markers
        linkStyle_ = false;
    }
    lastSpace_ = true;
    return ' ';
}

int32_t PageLayout::AnchorTag(const std::string& tag) {
    std::string raw = QuotedValue(tag);
    if (!raw.empty()) {
        std::string name =
            LowerAscii(raw.find('#') != std::string::npos ? raw : CurrentFileName() + "#" + raw);
        bool known = std::any_of(doc_.Anchors.begin(), doc_.Anchors.end(),
                                 [&](const AnchorRecord& a) { return a.name == name; });
        if (!known) {
            doc_.WaitWhileBusy();
            doc_.Anchors.push_back(AnchorRecord{name, resumeOffset_});
        }
        if (!doc_.SoughtAnchor.empty() && doc_.SoughtAnchor == name) doc_.AnchorFound = 1;
    }
    if (lastSpace_) return kNothing;
    lastSpace_ = true;
    return ' ';
}

void PageLayout::AddToWord(uint16_t c) {
    breakAfter_ = IsSentenceEnd(c, doc_.Wide);
    if (c >= 9703)
        c = 9633;
    else if (c == 160)
        c = ' ';
    else if (c == 151)
        c = '-';
    int32_t width = doc_.CharWidth(c);
    if (c == 8211) width += doc_.CharWidth('X');
    uint8_t charStyle = style_ & (kStyleBold | kStyleItalic | kStyleUnderline);
    if (linkStyle_) charStyle |= kCharLink;
    for (uint8_t bit :
         {uint8_t(kStyleBold), uint8_t(kStyleItalic), uint8_t(kStyleUnderline), kCharLink})
        if (charStyle & bit) ++width;
    if (charStyle) lineStyled_ = true;
    word_[wordLen_] = char16_t(c);
    wordStyle_[wordLen_] = charStyle;
    ++wordLen_;
    wordWidth_ += width;
}

void PageLayout::PlaceWord() {
    if (buildText_) lineText_.append(word_, wordLen_);
    lineWidth_ += wordWidth_;
    lineX_ += wordWidth_;
    size_t room = kLineMax - lineLen_;
    size_t copy = std::min(room, wordLen_);
    std::memcpy(lineStyle_ + lineLen_, wordStyle_, copy);
    lineLen_ += copy;
    resumeOffset_ = readPos_;
    wordLen_ = 0;
    wordWidth_ = 0;
}

void PageLayout::LayoutLine() {
    lineLen_ = 0;
    lineStyled_ = false;
    hardBreak_ = false;
    lineQuote_ = lineCentre_ = lineRight_ = false;
    lineX_ = doc_.LeftEdge;
    const int32_t lineRoom = doc_.RightEdge - doc_.LeftEdge;
    for (;;) {
        int32_t indent = lineQuote_ ? 5 * doc_.CharWidth(' ') : 0;
        bool lineEmpty = lineX_ == doc_.LeftEdge;
        // The unfinished word stays and begins the next line. The style buffer's bound ends a
        // line early too (characters of no width never move LineX), so that it never overflows.
        if ((!lineEmpty && indent + lineX_ + wordWidth_ >= doc_.RightEdge) ||
            (lineLen_ > 0 && lineLen_ + wordLen_ >= kLineMax))
            return;
        if (style_ & kStyleQuote) lineQuote_ = true;
        if (style_ & kStyleCentred) lineCentre_ = true;
        if (style_ & kStyleRight) lineRight_ = true;

        bool fromInserted, fromStream;
        uint16_t c = NextChar(fromInserted, fromStream);
        if (!fromInserted) {
            if (c == kEndOfText) {
                // The end of the text is not consumed: every later read meets it again.
                if (wordLen_ > 0) PlaceWord();
                ended_ = true;
                return;
            }
            if (fromStream) ++readPos_;
            if (c == 0) continue;
            if (c == 0xFEFF && fromStream && readPos_ == 1) continue;  // byte-order mark
            if (doc_.MarkupMode) {
                int32_t m = Markup(c);
                if (m == kTooLong) {
                    failed_ = true;
                    return;
                }
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
    if (search_ && !doc_.SearchText.empty()) {
        std::string text = LowerAscii(ToCodePage(lineText_));
        if (text.find(doc_.SearchText) != std::string::npos) {
            result_ = true;
            if (dc_)
                dc_->FillRect(Rect{doc_.LeftEdge, y_, doc_.RightEdge, y_ + doc_.LineHeight},
                              RGBColour(192, 192, 192));
        }
    }
    if (dc_) {
        y_ += lineExtra_;
        FinishedLine line;
        line.text = lineText_.data();
        line.styles = lineStyle_;
        line.length = std::min(lineText_.size(), lineLen_);
        line.width = lineWidth_;
        line.y = y_;
        line.styled = lineStyled_;
        line.hardBreak = hardBreak_;
        line.centred = lineCentre_;
        line.right = lineRight_;
        line.quote = lineQuote_;
        doc_.DrawLine(*dc_, line);
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
    if (dc_) doc_.Links.clear();
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
    buildText_ = dc_ || (search_ && !doc_.SearchText.empty()) || !doc_.SoughtAnchor.empty();

    while (y_ + doc_.LineHeight < doc_.BottomLimit && !forcedBreak_) {
        LayoutLine();
        if (failed_) return false;
        FinishLine();
        if (ended_) break;  // every further line would end at once
    }

    if (dc_) doc_.DrawPageDecorations(*dc_);

    if (resumeOffset_ == doc_.PageStarts[page] && doc_.PageCarry[page].empty()) {
        doc_.LastPage = doc_.CurrentPage;
    } else {
        if (doc_.PageStarts.size() < page + 2) {
            doc_.PageStarts.resize(page + 2, 0);
            doc_.PageStates.resize(page + 2, 0);
            doc_.PageCarry.resize(page + 2);
        }
        doc_.PageStates[page + 1] = style_;
        doc_.PageStarts[page + 1] = resumeOffset_;
        doc_.PageCarry[page + 1] = carry_;
    }
    return result_;
}

bool CBookEngine::LayoutPage(DrawingSurface* dc, bool search) {
    PageLayout layout(*this, dc, search);
    return layout.Run();
}

std::string CBookEngine::FileNameAt(int32_t position) const {
    if (SourceKind == kSourcePawk && reader_) return reader_->FileAt(position);
    return CurrentFile;
}

bool CBookEngine::LayoutFollowingPage(DrawingSurface* dc, bool search) {
    ++CurrentPage;
    bool result = LayoutPage(dc, search);
    --CurrentPage;
    return result;
}

void CBookEngine::PaginateToOffset(int32_t target) {
    int32_t saved = CurrentPage;
    while (LastPage == kLastPageUnknown && PageStarts.back() <= target) {
        size_t before = PageStarts.size();
        CurrentPage = int32_t(before) - 1;
        LayoutPage(nullptr, false);
        if (PageStarts.size() == before) break;
    }
    CurrentPage = saved;
}

}  // namespace pagewick
