// Highlights and notes: ranges of the book's character offsets, each with a colour, an optional
// note and the time it was made. Offsets, like bookmarks, do not depend on fonts or page sizes, so
// highlights survive a change of either. The set is kept per book in a notes file beside the
// pagination file (see HighlightsFile.h for its reading and writing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/DrawingSurface.h"

namespace pagewick {

enum class HighlightColour : uint8_t { Yellow = 0, Green = 1, Blue = 2, Pink = 3 };
constexpr int kHighlightColourCount = 4;

// "yellow", "green", "blue", "pink".
const char* ColourName(HighlightColour colour);
// The colour of one of those names (exactly, in lower case); none for anything else.
std::optional<HighlightColour> ColourFromName(std::string_view name);
// The band drawn behind the highlighted characters (0x00BBGGRR): light shades on paper, dark
// ones under the night scheme so that its light text stays readable.
Colour ColourValue(HighlightColour colour, bool night);
// The band of the mouse selection: a light blue, a dark blue at night.
Colour SelectionColour(bool night);

struct Highlight {
    int32_t start = 0, end = 0;  // character offsets, end exclusive, start < end
    HighlightColour colour = HighlightColour::Yellow;
    std::string note;     // UTF-8, any length ("" none)
    std::string created;  // ISO 8601 UTC, "2026-12-09T15:40:00Z"
    bool operator==(const Highlight&) const = default;
};

// The highlights of one book, kept in text order: by start, then end. One range is one highlight.
class HighlightSet {
public:
    const std::vector<Highlight>& All() const { return items_; }
    bool Empty() const { return items_.empty(); }
    size_t Size() const { return items_.size(); }
    // Adds one; the same range is one highlight (its colour and note replaced, created kept).
    // Returns its index after the insertion.
    size_t Add(Highlight h);
    bool Remove(int32_t start, int32_t end);
    // The highlight of exactly that range, or null.
    Highlight* Find(int32_t start, int32_t end);
    const Highlight* Find(int32_t start, int32_t end) const;
    // The first highlight (in text order) whose range holds the offset, or null.
    const Highlight* At(int32_t offset) const;
    // Indices [first, last) into All() of every highlight that may touch [from, to): found by
    // binary search, so that a page of a book with 100,000 highlights costs only its own.
    std::pair<size_t, size_t> Touching(int32_t from, int32_t to) const;
    void Clear();
    // Replaces the whole set at once (sorted, and of equal ranges the last one kept): what a
    // reader of many highlights uses, since adding them one by one out of order costs more.
    void Assign(std::vector<Highlight> items);

private:
    void RebuildReach();
    std::vector<Highlight> items_;
    // reach_[i]: the largest end among items_[0..i], so that the first highlight that can reach
    // an offset is found by binary search although highlights may nest and overlap.
    std::vector<int32_t> reach_;
};

// The notes file's form, read and written alike: a JSON array of objects
//   {"start": N, "end": M, "colour": "yellow", "note": "...", "created": "2026-12-09T15:40:00Z"}
// one per line, in text order. `extra` may append members of its own to the object of item i
// (each beginning with ", ").
std::string HighlightsToJson(const std::vector<Highlight>& items,
                             const std::function<void(size_t, std::string&)>& extra = {});
struct ParsedHighlights {
    std::vector<Highlight> items;  // as the file gives them (not yet in text order)
    size_t dropped = 0;            // ranges left out: negative, empty, or past the book's end
};
// Reads the array form. Missing "colour" means yellow, missing "note" none, missing "created"
// "" (members of other names, such as an export's "page" and "text", are passed over). None,
// with the reason in *error, when the text is not that form: not JSON, nested too deeply, not an
// array of objects, offsets that are no integers of 32 bits, an unknown colour, a string that
// is not UTF-8. Ranges ending past `length` characters are dropped.
std::optional<ParsedHighlights> ParseHighlights(std::string_view text, std::string* error,
                                                int64_t length = INT32_MAX);

// The current UTC time as "2026-12-09T15:40:00Z".
std::string NowIso8601();
// The notes file beside a book's pagination file: PAGINATIONPATH + ".notes" ("BOOK.pwk.notes").
std::string NotesFilePath(const std::string& paginationPath);

}  // namespace pagewick
