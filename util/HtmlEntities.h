// HTML's named character references: every name HTML5 defines (2,231 of them, the older ones
// also without ";"), the one table of the program. The engine's markup and the EPUB codec read
// references through it.
#pragma once

#include <string_view>

namespace pagewick {

struct HtmlEntity {
    std::string_view name;  // after "&", ";" included where the name has one
    char32_t first;
    char32_t second;  // 0 for the names of one character
};

// The entry of a name exactly as written after "&" ("eacute;", or "eacute" in the older form
// without ";"); null when HTML has no such name.
const HtmlEntity* FindHtmlEntity(std::string_view name);

}  // namespace pagewick
