// HTML's named character references ("&eacute;", "&mdash;", "&alpha;", ...) as one character:
// the names of HTML5's table (util/HtmlEntities.h) that stand for one character, and the
// system's own "&s;" (a space). Shared by the XML reader (references a document uses without
// defining them) and the markup converter; with UTF-8 and XML text helpers.
#pragma once

#include <string>
#include <string_view>

#include "util/Utf8.h"  // AppendUtf8

namespace pagewick {

// The character a reference names (the name without ";"), matched exactly ("Eacute" and
// "eacute" differ); 0 when the name is not one of them.
char32_t HtmlNamedCharacter(std::string_view name);

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
