// A book written out as plain UTF-8 text, as a reader would want it: paragraphs and headings on
// lines of their own with a blank line between them, character references decoded, no markup,
// no pictures. It reads the document's character stream a window at a time, so memory stays
// bounded whatever the book's length.
#pragma once

#include <functional>
#include <string_view>

namespace pagewick {

class CBookEngine;

// Receives the text piece by piece; answers false to stop (a write failed).
using TextSink = std::function<bool(std::string_view piece)>;

// Writes the open book's text to the sink. False when the sink stopped it.
bool WriteBookText(CBookEngine& doc, const TextSink& sink);

}  // namespace pagewick
