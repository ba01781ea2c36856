// A LIT book's package description: its metadata, its contents tour and its labels made plain.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/ContentsEntry.h"

namespace pagewick {

// The five fields cut out of the package description, 8-bit as the description holds them;
// empty when the book lacks them.
struct LitMetadata {
    std::optional<std::string> title, author, publisher, isbn, rights, language;
};
LitMetadata CutLitMetadata(std::string_view package);

// Fills contents from the package description: the cover entry ("Cover Image") when there is a
// cover, then one entry per site from the chapter tour on, every title made plain text and UTF-8.
// coverTarget receives the cover's path ("" when there is none).
void BuildLitContents(std::string_view package, std::vector<ContentsEntry>& contents,
                      std::string& coverTarget);

// A 8-bit label as the book's description writes it, made plain and turned into UTF-8: line ends
// become "-", the common references their characters, numeric references the code page's.
std::string LitLabelToUtf8(std::string label);

}  // namespace pagewick
