// The highlights of the open book written out with their pages and the text they mark: the
// Markdown that `pagewick notes` prints and the desktop's "Export Highlights..." saves, and the
// JSON form that `pagewick notes --format json` prints and `--import` reads back.
#pragma once

#include <string>

namespace pagewick {

class CBookEngine;

// A title line with the book's title, then one block per highlight in text order:
//   ## Page 12 (yellow, 2026-12-09 15:40)
//
//   > the quoted text, each line prefixed "> "
//
//   the note
// Pages count from 1 under the document's current layout (the table grows as needed). A
// highlight without a time of making leaves it out of its heading; one without a note has no
// note paragraph.
std::string HighlightsMarkdown(CBookEngine& doc);
// The notes file's array; with withPageAndText each object also has "page" (from 1) and "text"
// (the characters of the range as shown).
std::string HighlightsJson(CBookEngine& doc, bool withPageAndText);

}  // namespace pagewick
