// The state of one call of LayoutPage, shared by the line and page breaking (Layout.cpp) and the
// markup interpreter (MarkupInterpreter.cpp). Private to the engine.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/BookEngine.h"
#include "engine/Markup.h"
#include "typography/Hyphenator.h"

namespace pagewick {

constexpr size_t kWordMax = 512;   // characters (and style bytes) of one word
constexpr size_t kLineMax = 1024;  // style bytes of one line
constexpr size_t kTagMax = 1023;   // longest tag or captured text kept; the rest is skipped

constexpr int32_t kNothing = -1;  // the markup consumed the character
constexpr int32_t kLineBreak = 10;
constexpr int32_t kPageBreak = 11;

enum class Capture { None, Title, CurFile };

// The state of one call of LayoutPage.
class PageLayout {
public:
    PageLayout(CBookEngine& doc, DrawingSurface* dc, bool search)
        : doc_(doc),
          dc_(dc),
          search_(search),
          hyphenator_(doc.Hyphenate ? doc.activeHyphenator_ : nullptr),
          softHyphens_(doc.SoftHyphens) {}
    bool Run();

private:
    // The page's start state: its recorded start, style and carried text.
    void Begin();
    // Lays out the page's lines (at most lineLimit_ of them when it is set).
    void Lines();
    // Where a page that keeps paragraph lines together ends: how many of the lines laid out it
    // keeps, and the line that must then not end in a split word (-1 when none).
    struct Cut {
        size_t lines = 0;
        int32_t noSplit = -1;
    };
    Cut PageCut() const;
    // The line is full while its last word is unfinished: the word is read to its end to be
    // split, when it may be on this line. False when the line simply ends.
    bool StartCompleting();
    // The line may end in a split word: not the page's last line (when whole words end pages),
    // nor the one a shortened page must end with whole.
    bool MaySplit() const;
    // Splits the word at the last of the points (increasing) whose head and hyphen fit in the
    // room; false when none does.
    bool SplitAt(const uint16_t* points, size_t count, int32_t room);
    bool SplitAtSoftHyphen();
    // The completed word of a full line: its head and a hyphen end the line when a break point
    // fits, and the rest (or the whole word) begins the next line.
    void SplitOrHold(bool whole);
    bool Loose(int32_t room) const;
    int32_t WordCharWidth(size_t i) const;
    uint32_t NextChar(bool& fromInserted, bool& fromStream);
    int32_t Markup(uint16_t c);
    int32_t SwallowRaw(uint16_t c);
    // Between tags, references and swallowed or captured text: an ordinary character is text.
    bool MarkupIdle() const {
        return !inTag_ && !inEntity_ && capture_ == Capture::None && !inHead_ && rawEnd_.empty();
    }
    bool EndOfTextInEntity();
    // The character that ended a reference is read again: from the stream when it came from
    // there, else from the carried text.
    void ReadAgain(char16_t c);
    int32_t HandleTag();
    int32_t LinkTag(const std::string& tag);
    int32_t AnchorTag(const std::string& tag);
    void RecordAnchor(const std::string& name);
    int32_t PictureTag(const std::string& tag);
    // A picture's file and size, found once per layout whatever the times its tag is read.
    struct PictureFile {
        std::string file;
        TextSize size;
        bool measured = false;
    };
    PictureFile& Picture(const std::string& src, bool measure);
    void DrawLinePictures(int32_t shift);
    std::string CurrentFileName() const;
    // An attribute of the tag being handled (written: its code-page form).
    std::optional<std::string> TagAttribute(const std::string& written,
                                            std::string_view name) const;
    // The alignment a paragraph, division or heading takes from its class, when its own tag
    // gives none.
    void ClassAlignment(const std::string& written, TagMeaning& m) const;
    std::string ToCodePage(const std::u16string& text) const;
    // UTF-8 for 8-bit text collected as 16-bit units (a reference may have given codes above 255).
    std::string CodePageToUtf8(const std::u16string& text) const;
    void AddToWord(uint16_t c);
    void PlaceWord();
    bool LineFull(int32_t indent) const;
    // Takes ordinary characters straight from the windows while nothing but the word and line
    // change; returns how many it took and sets full when the line has no room for more.
    template <bool kWide>
    size_t TakeRun(const uint8_t* bytes, size_t count, int32_t indent, bool& full);
    void LayoutLine();
    void FinishLine();

    CBookEngine& doc_;
    DrawingSurface* dc_;
    bool search_;
    bool buildText_ = false;
    bool result_ = false;
    bool ended_ = false;
    bool forcedBreak_ = false;

    // Typography
    Hyphenator* hyphenator_ = nullptr;  // null: no hyphenation
    bool softHyphens_ = false;
    bool completing_ = false;  // reading the rest of a word that did not fit, to split it
    // What ended a word held over to the next line: it is placed there first, then this.
    enum class Held : uint8_t { None, LineBreak, End };
    Held held_ = Held::None;
    bool placeFirst_ = false;         // the word is complete: it is placed first on the next line
    bool deferredPageBreak_ = false;  // a forced break read with a held word: after its line
    uint16_t wordSoft_[kWordMax];     // where soft hyphens stood in the word (break before)
    size_t softCount_ = 0;
    bool lineSplit_ = false;  // the line ends in the head of a split word
    int32_t lineSpaces_ = 0;  // the gaps between the line's words
    int32_t lineIndex_ = 0;
    int32_t lineLimit_ = -1;    // lines this page keeps (-1: as many as fit)
    int32_t noSplitLine_ = -1;  // a line that must not end in a split word
    // Each finished line: the state the next page would start from if the page ended there.
    struct LineEnd {
        int32_t offset = 0;
        std::u16string carry;
        uint8_t style = 0;
        bool hard = false, split = false;
    };
    std::vector<LineEnd> lines_;
    bool nextEndsParagraph_ = false;  // the line after the page's last one ends its paragraph
    bool pageFull_ = false;           // the page ended for want of room
    bool probe_ = false;              // measuring where the page ends, before the real layout

    int32_t y_ = 0;
    bool pageBlank_ = true;  // nothing but white space and empty lines on the page so far
    int32_t readPos_ = 0;
    int32_t resumeOffset_ = 0;
    int32_t lineStart_ = 0;       // where the text of the line being laid out begins
    std::u16string resumeCarry_;  // the carry and style in force at resumeOffset_
    uint8_t resumeStyle_ = 0;
    uint8_t style_ = 0;
    bool breakAfter_ = false;
    std::u16string carry_;
    std::u16string inserted_;
    bool linkStyle_ = false;
    // The link record the link-styled characters belong to, and where such characters stand in
    // the word and in the line (drawing only): a line may hold several links.
    int32_t currentLink_ = -1;
    std::vector<std::pair<size_t, int32_t>> wordLinks_, lineLinks_;
    int32_t pendingTabs_ = 0;

    char16_t word_[kWordMax];
    uint8_t wordStyle_[kWordMax];
    // Drawing only: the character offset each character of the word and the line was read at
    // (-1 for what the markup inserted: link markers, a picture's room), so that highlights are
    // drawn behind exactly their characters and a point finds its character.
    int32_t wordPos_[kWordMax];
    std::vector<int32_t> linePos_;
    int32_t charPos_ = 0;     // the offset of the character NextChar gave last
    int32_t lastStream_ = 0;  // the offset of the last character read from the stream
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
    // Pictures placed on the line, drawn once the line's place across the page is known.
    struct PlacedPicture {
        std::string src;
        int32_t x = 0, y = 0, width = 0, height = 0;  // x as the line is laid out, from LeftEdge
    };
    std::vector<PlacedPicture> linePictures_;
    std::map<std::string, PictureFile> pictures_;

    // Markup state
    bool inTag_ = false;
    bool tagTooLong_ = false;  // the tag outgrew kTagMax: it is skipped at its ">"
    std::u16string tag_;
    Capture capture_ = Capture::None;
    Capture closing_ = Capture::None;  // the capture that the tag being read may close
    bool inHead_ = false;
    std::u16string captured_;
    // Inside a style sheet, a script or a comment everything up to rawEnd_ is swallowed;
    // rawTail_ holds the last characters read there, lower-cased.
    std::u16string_view rawEnd_;
    std::u16string rawTail_;
    bool inEntity_ = false;
    std::u16string entity_;
    bool lastFromStream_ = false;  // the character Markup is given was read from the stream
    bool lastSpace_ = true;        // a page starts as if after a space: leading spaces collapse
};

}  // namespace pagewick
