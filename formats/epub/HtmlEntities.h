// HTML's named character references ("&eacute;", "&mdash;", "&alpha;", ...): the whole set
// HTML 4 defined, which is what books written by hand and by older tools use, plus "&apos;"
// and the system's own "&s;" (a space). Shared by the XML reader (references a document uses
// without defining them) and the markup converter.
#pragma once

#include <string>
#include <string_view>

namespace pagewick {

// The character a reference names, matched exactly ("Eacute" and "eacute" differ); 0 when the
// name is not one of them.
char32_t HtmlNamedCharacter(std::string_view name);

// The character in UTF-8 appended to out. Code points that are no characters (surrogates,
// values past U+10FFFF) are appended as U+FFFD.
void AppendUtf8(std::string& out, char32_t c);

// The UTF-8 character at text[i], i moved past it. A malformed or cut sequence gives U+FFFD
// for its first bytes, so nothing after it is lost; overlong forms, surrogates and values past
// U+10FFFF count as malformed.
char32_t NextUtf8(std::string_view text, size_t& i);

// A character XML and HTML both accept in text: no controls but tab, line feed and carriage
// return, no surrogates, no noncharacters.
bool IsXmlTextCharacter(char32_t c);

// UTF-8 text (from anywhere: malformed bytes become U+FFFD) appended as XML text or, with
// attribute, as an attribute value: "&", "<", ">" (and '"') escaped, what XML refuses left out.
void AppendXmlText(std::string& out, std::string_view text, bool attribute = false);

// Windows-1252's bytes 0x80 to 0x9F as Unicode; the five unassigned ones stand for themselves
// (C1 controls).
char32_t Cp1252HighCharacter(unsigned char byte);

}  // namespace pagewick
