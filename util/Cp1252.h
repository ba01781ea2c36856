// 8-bit book text is Windows-1252; it stays 8-bit in the engine and becomes Unicode only when it is
// measured or drawn.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "util/Utf8.h"

namespace pagewick {

// Unicode for one Windows-1252 byte. The five bytes the code page leaves undefined map to the
// control code of the same value, as the system's converter does.
char16_t Cp1252ToUnicode(uint8_t byte);

// Best 8-bit form of a 16-bit character for texts kept in the code page (titles, labels):
// codes up to 255 stay, the code page's own characters map back, anything else becomes "?".
uint8_t UnicodeToCp1252(char16_t code);

// UTF-8 for an 8-bit code-page string (for printing on a terminal).
std::string Cp1252ToUtf8(const std::string& text);

// Labels kept in the code page (PAWK titles and contents, LIT metadata) carry the characters the
// code page lacks as numeric references ("&#937;"). These two turn such a label into UTF-8 and
// back: the references become their characters, and characters beyond the code page become
// references again.
std::string CodePageLabelToUtf8(std::string_view label);

// Rewrites a title or contents label into plain text: line ends become "-" and the common
// character references their characters (8-bit code page).
void PlainTitleText(std::string& text);
std::string Utf8ToCodePageLabel(std::string_view utf8);

}  // namespace pagewick
