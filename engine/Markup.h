// The book markup: named and numeric character references, and what each tag does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pagewick {

// Decodes a character reference written "&...;" (both marks included): any name of HTML5, the
// engine's own "&s;" (a space), or a number ("&#8212;", "&#x2014;"). Returns the character, or 0
// for a reference that names nothing. Names are matched as written and then, unless exactCase is
// set (LIT books), lower-cased. References that stand for two characters put the second in *more.
uint16_t DecodeEntity(std::u16string_view entity, bool exactCase, std::u16string* more);

// Character references read one character at a time, as the layout and the text writer meet
// them. After "&", a reference collects a name of letters and digits, or "#" and a decimal
// number, or "#x" and a hexadecimal one.
constexpr size_t kReferenceMax = 32;  // characters collected after "&": the longest name is 31

// Whether c goes on the reference whose characters after "&" so far are `collected`.
bool ContinuesReference(std::u16string_view collected, char16_t c);

// What a reference gives once the character that ended it is known (none at the end of the text).
struct ReferenceEnd {
    enum class Kind {
        Character,  // code, and second when not 0
        Nothing,    // a name or number that gives nothing ("&bogus;"): it is dropped
        Text,       // no reference at all ("AT&T"): the "&" is text as written
    };
    Kind kind = Kind::Text;
    char16_t code = 0;
    char16_t second = 0;
    // How many of the collected characters the reference took; the rest, and the ending character
    // unless takesEnd, are read again as text ("&copy2024" takes "copy" and leaves "2024").
    size_t used = 0;
    bool takesEnd = false;
};
// HTML5's rules: a name must end with ";", except the 106 older names that HTML still reads
// without it (the longest of them that begins the collected text: "&amp chips", "&notit;"). A
// number ends at its last digit, with or without ";". What the engine does besides: a reference
// ended by ";" that names nothing is dropped, as the engine always did, and a name unknown as
// written is looked up again in lower case (but in LIT books).
ReferenceEnd EndReference(std::u16string_view collected, std::optional<char16_t> end,
                          bool exactCase);

// The character a numeric reference stands for, as HTML5 reads numbers: 0, surrogates and
// numbers past U+10FFFF give U+FFFD; 128 to 159 are read as Windows-1252, as browsers do; a
// character past U+FFFF, which 16-bit text cannot hold, is U+FFFD too. White space controls
// give a space, other control characters nothing (0 here).
char16_t NumericReferenceCharacter(uint32_t number);

// Text with every character reference in it decoded (a title, a contents label).
std::u16string DecodeReferences(std::u16string_view text, bool exactCase);

// What a tag does to the text. The tag text is matched as the layout collected it: from "<" to
// ">" inclusive, lower-cased unless the book is a LIT book.
enum class TagKind {
    Ignore,
    BoldOn,
    BoldOff,
    ItalicOn,
    ItalicOff,
    UnderlineOn,
    UnderlineOff,
    Break,  // <br>, headings, </body>
    QuoteOn,
    QuoteOff,  // also a break (a space in PAWK books)
    CentreOn,
    CentreOff,  // also a break
    RightOn,
    RightOff,  // also a break
    Division,  // <div ...>: align flags below
    DivisionEnd,
    Paragraph,  // <p ...>: a break, align and page-break flags below
    ParagraphEnd,
    NewPage,
    Title,
    TitleEnd,
    CurFile,
    CurFileEnd,
    Style,   // <style ...>
    Script,  // <script ...>
    Head,
    HeadEnd,
    Body,  // <body ...>: also ends a head whose end tag was left out
    Link,
    Anchor,
    Picture,
    BlockBreak,  // list items, table rows, the end of a list or table: a break after text
    CellGap,     // a table cell: a space from the cell before
};

struct TagMeaning {
    TagKind kind = TagKind::Ignore;
    bool alignCentre = false;  // "align=center" in a <div> or <p>
    bool alignRight = false;   // "align=right"
    bool pageBreak = false;    // a <p> with style=" and "page-break"
    // <h1> to <h6>: a break, aligned like a paragraph by its style or class (the align flags),
    // until its end tag (an ignored tag with this flag too, which ends that alignment).
    bool heading = false;
};

// tag holds the 8-bit form of the tag text ("<b>", "<p align=center>"). With xhtml, the tags only
// XHTML books give a meaning (ClassifyXhtmlTag) are classified too.
TagMeaning ClassifyTag(std::string_view tag, bool xhtml = false);
// What XHTML adds for the tags ClassifyTag otherwise ignores (lower case): "<b ...>", "<strong
// ...>",
// "<em>" and "<u ...>" with their ends, "<blockquote ...>", list items, definition terms and
// table rows (BlockBreak, also the end of a list or table), table cells (CellGap).
TagMeaning ClassifyXhtmlTag(std::string_view tag);

// The value of the attribute `name` (lower case) of a tag, read inside the tag's bounds: in
// double or single quotes, or unquoted up to a space or the tag's end. Names are matched without
// regard to case. Nothing when the tag has no such attribute or the attribute has no value
// ("<a href>"); an empty string for an empty value ("name=\"\"").
std::optional<std::string> AttributeValue(std::string_view tag, std::string_view name);

}  // namespace pagewick
