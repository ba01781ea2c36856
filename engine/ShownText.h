// The book's text as a reader would want it, plain UTF-8: paragraphs and headings on lines of
// their own with a blank line between them, character references decoded, no markup, no
// pictures. It reads the document's character stream a window at a time, so memory stays bounded
// whatever the book's length. What `pagewick text` writes, and what Copy and the highlights'
// export quote of a range.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace pagewick {

class CBookEngine;

// Receives the text piece by piece; answers false to stop (a write failed).
using TextSink = std::function<bool(std::string_view piece)>;

// Writes the characters read at offsets [first, end) of the open book's text to the sink, with
// the breaks and spaces between them (none before the first or after the last). The reading
// begins at the start of the laid-out page holding `first`, where no tag or reference is open.
// The whole book is [0, INT32_MAX). False when the sink stopped it.
bool WriteShownText(CBookEngine& doc, int32_t first, int32_t end, const TextSink& sink);

}  // namespace pagewick
