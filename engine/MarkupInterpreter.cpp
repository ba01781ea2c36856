// The markup interpreter: turns the book's character stream into text, styles and breaks. Tags,
// character references, captured text (title, style, current file) and the swallowed head.
#include <algorithm>

#include "engine/Markup.h"
#include "engine/PageLayout.h"
#include "util/AsciiCase.h"
#include "util/Cp1252.h"

namespace pagewick {

std::string PageLayout::ToCodePage(const std::u16string& text) const {
    std::string out;
    out.reserve(text.size());
    // 8-bit text holds code-page bytes, and Unicode from 256 up (what references gave).
    for (char16_t c : text)
        out += char(!doc_.Wide && c < 256 ? uint8_t(c) : UnicodeToCp1252(c));
    return out;
}

std::string PageLayout::CodePageToUtf8(const std::u16string& text) const {
    std::u16string unicode;
    unicode.reserve(text.size());
    for (char16_t c : text)
        unicode += c < 256 ? Cp1252ToUnicode(uint8_t(c)) : c;
    return Utf16ToUtf8(unicode);
}

std::string PageLayout::CurrentFileName() const {
    return doc_.FileNameAt(readPos_);
}

std::optional<std::string> PageLayout::TagAttribute(const std::string& written,
                                                    std::string_view name) const {
    std::optional<std::string> value = AttributeValue(written, name);
    // A book of 16-bit characters names its files and places in Unicode: such a value is kept
    // as UTF-8, as the reader names its files, rather than in the code page.
    if (!value || !doc_.Wide ||
        std::all_of(tag_.begin(), tag_.end(), [](char16_t c) { return c < 0x80; }))
        return value;
    return AttributeValue(Utf16ToUtf8(tag_), name);
}

void PageLayout::ClassAlignment(const std::string& written, TagMeaning& m) const {
    if (m.alignCentre || m.alignRight || written.find("class") == std::string::npos) return;
    std::optional<std::string> classes = AttributeValue(written, "class");
    if (!classes || classes->empty()) return;
    TextAlign align = doc_.ClassAlignment(CurrentFileName(), *classes);
    m.alignCentre = align == TextAlign::Centre;
    m.alignRight = align == TextAlign::Right;
}

int32_t PageLayout::Markup(uint16_t c) {
    if (!rawEnd_.empty()) return SwallowRaw(c);
    if (inEntity_) {
        std::u16string_view collected = std::u16string_view(entity_).substr(1);
        if (ContinuesReference(collected, char16_t(c))) {
            entity_ += char16_t(c);
            return kNothing;
        }
        inEntity_ = false;
        ReferenceEnd r = EndReference(collected, char16_t(c), doc_.Form.exactCaseMarkup);
        // What the reference leaves is read again: the ending character (un-read from the stream
        // when it came from there), the collected characters it did not take, a second character.
        if (!r.takesEnd) ReadAgain(char16_t(c));
        carry_.insert(0, collected.substr(r.used));
        if (r.kind == ReferenceEnd::Kind::Text) {
            // "AT&T", "fish & chips": no reference after all; the "&" is text (a "<" after it
            // still opens a tag).
            lastSpace_ = false;
            return '&';
        }
        if (r.kind == ReferenceEnd::Kind::Nothing) return kNothing;
        if (r.second) carry_.insert(0, 1, r.second);
        lastSpace_ = r.code == ' ';
        return r.code;
    }
    if (inTag_) {
        if (c == '<') {
            tag_.assign(1, u'<');  // an unfinished tag is dropped and a new one begins
            tagTooLong_ = false;
            return kNothing;
        }
        if (c != '>') {
            if (tag_.size() < kTagMax - 1)
                tag_ += char16_t(c);
            else
                tagTooLong_ = true;
            if (tag_.size() == 4 && tag_ == u"<!--") {
                // A comment runs to "-->", whatever it holds.
                inTag_ = false;
                rawEnd_ = u"-->";
                rawTail_.clear();
            }
            return kNothing;
        }
        inTag_ = false;
        if (tagTooLong_) {
            // A tag too long to be one of ours is passed over.
            tagTooLong_ = false;
            closing_ = Capture::None;
            return kNothing;
        }
        tag_ += u'>';
        return HandleTag();
    }
    if (c == '<') {
        inTag_ = true;
        tag_.assign(1, u'<');
        closing_ = capture_;
        capture_ = Capture::None;
        return kNothing;
    }
    if (inHead_ || capture_ != Capture::None) {
        // Never shown; a title keeps only its beginning however long it runs.
        if (capture_ != Capture::None && captured_.size() < kTagMax) captured_ += char16_t(c);
        return kNothing;
    }
    if (c == '&') {
        inEntity_ = true;
        entity_.assign(1, u'&');
        return kNothing;
    }
    if (c == '\r' || c == '\n') c = ' ';
    if (c == '\t') {
        if (!doc_.Form.keepsTabsAndQuoteRule) return kNothing;
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

int32_t PageLayout::SwallowRaw(uint16_t c) {
    rawTail_ += char16_t(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (rawTail_.size() > rawEnd_.size()) rawTail_.erase(0, 1);
    if (rawTail_ != rawEnd_) return kNothing;
    if (rawEnd_ != u"-->") {
        // "</style" or "</script": the rest of the end tag is read as a tag.
        inTag_ = true;
        tag_.assign(rawEnd_);
        closing_ = Capture::None;
    }
    rawEnd_ = {};
    rawTail_.clear();
    return kNothing;
}

void PageLayout::ReadAgain(char16_t c) {
    if (lastFromStream_)
        --readPos_;
    else
        carry_.insert(0, 1, c);
}

bool PageLayout::EndOfTextInEntity() {
    if (!inEntity_) return false;
    // The text ended inside "&...": a number or an older name without ";" still counts; what
    // the reference did not take is text as written. It is shown as it is, past the markup.
    inEntity_ = false;
    std::u16string_view collected = std::u16string_view(entity_).substr(1);
    ReferenceEnd r = EndReference(collected, std::nullopt, doc_.Form.exactCaseMarkup);
    carry_.insert(0, collected.substr(r.used));
    inserted_.clear();
    if (r.kind == ReferenceEnd::Kind::Text) {
        inserted_ = u"&";
    } else if (r.kind == ReferenceEnd::Kind::Character) {
        inserted_ += r.code;
        if (r.second) inserted_ += r.second;
    }
    return true;
}

int32_t PageLayout::HandleTag() {
    const bool exactCase = doc_.Form.exactCaseMarkup;
    // Tags are recognised in lower case (but where the book's markup is exact-case); attribute
    // values keep their case
    // (a picture's description, a file name).
    const std::string written = ToCodePage(tag_);
    std::string tag = exactCase ? written : LowerAscii(written);
    Capture closing = closing_;
    closing_ = Capture::None;
    TagMeaning m = ClassifyTag(tag, doc_.Form.xhtmlMarkup);
    if (doc_.Form.anchorsById && m.kind != TagKind::Anchor && tag.size() > 3 && tag[1] != '/') {
        if (std::optional<std::string> id = TagAttribute(written, "id"))
            RecordAnchor(LowerAscii(CurrentFileName() + "#" + *id));
    }
    // A paragraph, division or heading may be aligned by its class in the book's style sheets.
    if (m.kind == TagKind::Paragraph || m.kind == TagKind::Division ||
        (m.heading && m.kind == TagKind::Break))
        ClassAlignment(written, m);
    auto lineBreak = [&]() {
        lastSpace_ = true;
        return kLineBreak;
    };
    // Nothing but empty lines above (the breaks a file begins with) is nothing placed: a forced
    // page break there would leave a blank page.
    auto nothingPlaced = [&]() {
        return y_ == doc_.TopEdge ||
               (pageBlank_ && lineX_ == doc_.LeftEdge && wordWidth_ == 0 && lineLen_ == 0);
    };
    switch (m.kind) {
        case TagKind::Ignore:
            if (m.heading && (style_ & kStyleParagraphAlign))  // the end of an aligned heading
                style_ &= uint8_t(~(kStyleParagraphAlign | kStyleCentred | kStyleRight));
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
            // An aligned heading is aligned as a paragraph is, up to its end tag.
            if (m.alignCentre) style_ |= kStyleCentred | kStyleParagraphAlign;
            if (m.alignRight) style_ |= kStyleRight | kStyleParagraphAlign;
            return lineBreak();
        case TagKind::QuoteOn:
            style_ |= kStyleQuote;
            return kNothing;
        case TagKind::QuoteOff:
            style_ &= uint8_t(~kStyleQuote);
            if (doc_.Form.keepsTabsAndQuoteRule) {
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
            // An aligned division begins on a line of its own: the words before it keep theirs.
            if ((m.alignCentre || m.alignRight) && (lineLen_ > 0 || wordWidth_ > 0))
                return lineBreak();
            return kNothing;
        case TagKind::BlockBreak:
            // A list item or table row begins a line unless nothing stands on this one yet.
            if (lineLen_ > 0 || wordWidth_ > 0) return lineBreak();
            return kNothing;
        case TagKind::CellGap:
            if (lastSpace_) return kNothing;
            lastSpace_ = true;
            return ' ';
        case TagKind::DivisionEnd:
            style_ &= uint8_t(~(kStyleCentred | kStyleRight));
            return lineBreak();
        case TagKind::Paragraph:
            if (m.alignCentre) style_ |= kStyleCentred | kStyleParagraphAlign;
            if (m.alignRight) style_ |= kStyleRight | kStyleParagraphAlign;
            if (m.pageBreak && !nothingPlaced()) {
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
            if (nothingPlaced()) return kNothing;
            forcedBreak_ = true;
            lastSpace_ = true;
            return kPageBreak;
        case TagKind::Title:
            capture_ = Capture::Title;
            captured_.clear();
            return kNothing;
        case TagKind::TitleEnd:
            if (closing == Capture::Title && !doc_.Form.ownTitle) {
                // A title is written as HTML too: "Caf&eacute;" is "Café".
                std::u16string written = DecodeReferences(captured_, false);
                std::string title = doc_.Wide ? Utf16ToUtf8(written) : CodePageToUtf8(written);
                // A book whose header names it prefixes that name to its chapters' titles.
                doc_.DocumentTitle =
                    !doc_.BookTitle.empty() ? doc_.BookTitle + " - " + title : title;
                doc_.SetRegistry("LastBookTitle", doc_.DocumentTitle);
            }
            captured_.clear();
            return kNothing;
        case TagKind::CurFile:
            capture_ = Capture::CurFile;
            captured_.clear();
            return kNothing;
        case TagKind::CurFileEnd:
            // A PAWK book converted from LIT carries the LIT's file marks in its text.
            if (closing == Capture::CurFile && doc_.Form.fileMarks) {
                doc_.CurrentFile = ToCodePage(captured_);
                RecordAnchor(LowerAscii(doc_.CurrentFile) + "#");  // where the file begins
            }
            captured_.clear();
            return kNothing;
        case TagKind::Style:
        case TagKind::Script:
            // Swallowed up to the end tag, whatever it holds ("if (a < b)" among it); a tag
            // closed in itself ("<script src=x />") has no content.
            if (tag.size() < 3 || tag[tag.size() - 2] != '/') {
                rawEnd_ = m.kind == TagKind::Style ? u"</style" : u"</script";
                rawTail_.clear();
            }
            return kNothing;
        case TagKind::Head:
            inHead_ = true;
            return kNothing;
        case TagKind::HeadEnd:
        case TagKind::Body:
            inHead_ = false;
            return kNothing;
        case TagKind::Link:
            // "<a name=x href=y>" is a place as well as a link.
            if (std::optional<std::string> name = TagAttribute(written, "name");
                name && !name->empty())
                RecordAnchor(LowerAscii(CurrentFileName() + "#" + *name));
            return LinkTag(written);
        case TagKind::Anchor:
            return AnchorTag(written);
        case TagKind::Picture:
            return PictureTag(written);
    }
    if (lastSpace_) return kNothing;
    lastSpace_ = true;
    return ' ';
}

int32_t PageLayout::LinkTag(const std::string& tag) {
    std::optional<std::string> href = TagAttribute(tag, "href");
    if (!href) {
        // "<a href>" links nowhere: the tag is a space.
        if (lastSpace_) return kNothing;
        lastSpace_ = true;
        return ' ';
    }
    const std::string& raw = *href;
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
    // Links record only for a drawn page: measuring a book of links keeps nothing.
    if (dc_) {
        std::string target, resolved;
        if (doc_.ResolveName(CurrentFileName(), raw, resolved)) {
            // Named by the reader, folders spelt out; one that leaves the book leads nowhere.
            target = resolved;
            if (!resolved.empty() && resolved.find('#') == std::string::npos &&
                !IsPictureTarget(resolved) && !IsMediaTarget(resolved))
                target += '#';  // a whole file of the book
        } else if (IsOutsideTarget(raw) || IsPictureTarget(raw) || IsMediaTarget(raw))
            target = raw;
        else if (raw.empty() || raw[0] == '#')
            target = CurrentFileName() + (raw.empty() ? "#" : raw);
        else if (raw.find('#') != std::string::npos)
            target = raw;
        else if (LowerAscii(raw).find(".htm") != std::string::npos ||
                 doc_.FileStartOffset(raw) >= 0)
            target = raw + "#";  // a whole file of the book
        else
            target = CurrentFileName() + "#" + raw;
        auto known = std::find_if(doc_.Links.begin(), doc_.Links.end(),
                                  [&](const LinkRecord& r) { return r.target == target; });
        currentLink_ = int32_t(known - doc_.Links.begin());
        if (known == doc_.Links.end())
            doc_.Links.push_back(LinkRecord{Rect{}, target, false, 0, 0});
    }
    linkStyle_ = true;
    if (PrintMode) {
        inserted_.clear();  // printed pages show no markers
        linkStyle_ = false;
    }
    lastSpace_ = true;
    return ' ';
}

void PageLayout::RecordAnchor(const std::string& name) {
    bool known = std::any_of(doc_.Anchors.begin(), doc_.Anchors.end(),
                             [&](const AnchorRecord& a) { return a.name == name; });
    if (!known) {
        doc_.WaitWhileBusy();
        doc_.Anchors.push_back(AnchorRecord{name, resumeOffset_});
    }
    if (!doc_.SoughtAnchor.empty() && doc_.SoughtAnchor == name) doc_.AnchorFound = 1;
}

int32_t PageLayout::AnchorTag(const std::string& tag) {
    std::optional<std::string> raw = TagAttribute(tag, "name");
    if (!raw) raw = TagAttribute(tag, "id");
    if (raw) {
        // An anchor of empty name marks the start of a file.
        std::string name =
            raw->find('#') != std::string::npos ? *raw : CurrentFileName() + "#" + *raw;
        RecordAnchor(LowerAscii(name));
    }
    if (lastSpace_) return kNothing;
    lastSpace_ = true;
    return ' ';
}

}  // namespace pagewick
