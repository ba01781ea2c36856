// The book markup: named and numeric character references, and what each tag does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pagewick {

// Decodes a character reference written "&...;" (both marks included). Returns the character,
// or 0 for a name the table does not know. Names are lower-cased first unless exactCase is set
// (LIT books). References that stand for more than one character ("&hellip;", "&bdquo;",
// "&trade;") put the further characters in *more.
uint16_t DecodeEntity(std::u16string_view entity, bool exactCase, std::u16string* more);

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
};

struct TagMeaning {
    TagKind kind = TagKind::Ignore;
    bool alignCentre = false;  // "align=center" in a <div> or <p>
    bool alignRight = false;   // "align=right"
    bool pageBreak = false;    // a <p> with style=" and "page-break"
};

// tag holds the 8-bit form of the tag text ("<b>", "<p align=center>").
TagMeaning ClassifyTag(std::string_view tag);

// The value of the attribute `name` (lower case) of a tag, read inside the tag's bounds: in
// double or single quotes, or unquoted up to a space or the tag's end. Names are matched without
// regard to case. Nothing when the tag has no such attribute or the attribute has no value
// ("<a href>"); an empty string for an empty value ("name=\"\"").
std::optional<std::string> AttributeValue(std::string_view tag, std::string_view name);

}  // namespace pagewick
