// The engine's side of highlights: the notes file beside the pagination file, the page as a map
// from points to character offsets, words and the text of a range as shown.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/BookEngine.h"
#include "engine/Search.h"
#include "engine/ShownText.h"
#include "util/AtomicFile.h"
#include "util/Cp1252.h"
#include "util/Json.h"
#include "util/TextFold.h"

namespace pagewick {

namespace {

// Past this a notes file is not read (100,000 highlights with long notes stay far below).
constexpr uintmax_t kMaxNotesFile = uintmax_t(1) << 30;

}  // namespace

std::string HighlightsToJson(const std::vector<Highlight>& items,
                             const std::function<void(size_t, std::string&)>& extra) {
    if (items.empty()) return "[]\n";
    std::string out = "[\n";
    for (size_t i = 0; i < items.size(); ++i) {
        const Highlight& h = items[i];
        out += "  {\"start\": " + std::to_string(h.start) + ", \"end\": " + std::to_string(h.end) +
               ", \"colour\": \"" + ColourName(h.colour) + "\", \"note\": ";
        json::AppendString(out, h.note);
        out += ", \"created\": ";
        json::AppendString(out, h.created);
        if (extra) extra(i, out);
        out += i + 1 < items.size() ? "},\n" : "}\n";
    }
    out += "]\n";
    return out;
}

std::optional<ParsedHighlights> ParseHighlights(std::string_view text, std::string* error,
                                                int64_t length) {
    json::Limits limits;
    limits.maxDepth = 8;
    std::string why;
    std::optional<json::Value> root = json::Parse(text, &why, limits);
    auto fail = [&](std::string reason) -> std::optional<ParsedHighlights> {
        if (error) *error = std::move(reason);
        return std::nullopt;
    };
    if (!root) return fail(why);
    if (root->kind != json::Kind::Array) return fail("not an array of highlights");
    ParsedHighlights parsed;
    parsed.items.reserve(root->items.size());
    for (size_t i = 0; i < root->items.size(); ++i) {
        const json::Value& item = root->items[i];
        const std::string where = "highlight " + std::to_string(i + 1) + ": ";
        if (item.kind != json::Kind::Object) return fail(where + "not an object");
        const json::Value* start = item.Get("start");
        const json::Value* end = item.Get("end");
        if (!start || !end) return fail(where + "no \"start\" or \"end\"");
        std::optional<int64_t> first = start->Integer(INT32_MIN, INT32_MAX);
        std::optional<int64_t> last = end->Integer(INT32_MIN, INT32_MAX);
        if (!first || !last) return fail(where + "\"start\" and \"end\" must be offsets");
        Highlight h;
        h.start = int32_t(*first);
        h.end = int32_t(*last);
        if (const json::Value* colour = item.Get("colour")) {
            std::optional<HighlightColour> c;
            if (colour->kind == json::Kind::String) c = ColourFromName(colour->text);
            if (!c) return fail(where + "\"colour\" must be yellow, green, blue or pink");
            h.colour = *c;
        }
        if (const json::Value* note = item.Get("note")) {
            if (note->kind != json::Kind::String && note->kind != json::Kind::Null)
                return fail(where + "\"note\" must be a string");
            h.note = note->text;
        }
        if (const json::Value* created = item.Get("created")) {
            if (created->kind != json::Kind::String && created->kind != json::Kind::Null)
                return fail(where + "\"created\" must be a string");
            h.created = created->text;
        }
        if (h.start < 0 || h.start >= h.end || h.end > length) {
            ++parsed.dropped;
            continue;
        }
        parsed.items.push_back(std::move(h));
    }
    return parsed;
}

std::string CBookEngine::NotesPath() const {
    return PaginationPath.empty() ? NotesPathWithoutPlace : NotesFilePath(PaginationPath);
}

bool CBookEngine::SaveHighlights() {
    const std::string path = NotesPath();
    if (path.empty()) return false;
    std::error_code ec;
    bool ok;
    if (Highlights.Empty()) {
        // No highlights, no file: a book never marked keeps none beside it.
        std::filesystem::remove(path, ec);
        ok = !ec;
    } else {
        ok = WriteFileAtomically(path, HighlightsToJson(Highlights.All()));
    }
    if (!ok) ShowMessage("Cannot write the highlights file \"" + path + "\".", MessageIcon::Error);
    return ok;
}

void CBookEngine::LoadHighlights() {
    Highlights.Clear();
    const std::string path = NotesPath();
    if (path.empty()) return;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return;
    std::string bytes, why;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    std::optional<ParsedHighlights> parsed;
    if (ec || size > kMaxNotesFile) {
        why = "too large to be a notes file";
    } else {
        std::ifstream in(path, std::ios::binary);
        if (!in) return;  // unreadable now: left as it is, for another time
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (TextLength == kLengthUnknown) GetChar(0);
        const int64_t length = TextLength == kLengthUnknown ? INT32_MAX : int64_t(CharCount());
        parsed = ParseHighlights(bytes, &why, length);
    }
    if (!parsed) {
        // Set aside under a name of its own, never deleted nor written over.
        std::string aside = path + ".damaged";
        for (int n = 2; std::filesystem::exists(aside, ec) && n < 10000; ++n)
            aside = path + ".damaged-" + std::to_string(n);
        std::filesystem::rename(path, aside, ec);
        ShowMessage(ec ? "The highlights file \"" + path + "\" is damaged (" + why +
                             "); the book opens without highlights."
                       : "The highlights file of this book was damaged (" + why +
                             "); it was set aside as \"" + aside +
                             "\" and the book opens without highlights.",
                    MessageIcon::Warning);
        return;
    }
    const size_t dropped = parsed->dropped;
    Highlights.Assign(std::move(parsed->items));
    if (dropped > 0)
        ShowMessage(std::to_string(dropped) +
                        (dropped == 1 ? " highlight lies" : " highlights lie") +
                        " outside the book's text (the book has changed) and " +
                        (dropped == 1 ? "was" : "were") + " left out.",
                    MessageIcon::Warning);
}

int32_t CBookEngine::OffsetAtPoint(Point p) const {
    if (DrawnLines.empty() || p.x < LeftEdge || p.x >= RightEdge) return -1;
    for (const LinkRecord& picture : PictureHits)
        if (p.x >= picture.hit.left && p.x < picture.hit.right && p.y >= picture.hit.top &&
            p.y < picture.hit.bottom)
            return -1;
    // Above the first line or below the last one is the margin; between lines, the nearest.
    if (p.y < DrawnLines.front().top || p.y >= DrawnLines.back().bottom) return -1;
    const DrawnLine* best = nullptr;
    int32_t bestDistance = 0;
    for (const auto& line : DrawnLines) {
        const int32_t distance = p.y < line.top       ? line.top - p.y
                                 : p.y >= line.bottom ? p.y - line.bottom + 1
                                                      : 0;
        if (!best || distance < bestDistance) {
            best = &line;
            bestDistance = distance;
        }
    }
    const size_t n = best->offsets.size();
    if (n == 0) return -1;
    // The character whose box holds x; before the line's first, the first; past its end, the
    // last.
    size_t i = size_t(std::upper_bound(best->xs.begin(), best->xs.begin() + ptrdiff_t(n), p.x) -
                      best->xs.begin());
    i = i == 0 ? 0 : i - 1;
    if (best->offsets[i] >= 0) return best->offsets[i];
    return -1;  // a picture's room or a marker
}

std::pair<int32_t, int32_t> CBookEngine::WordAt(int32_t offset) {
    if (offset < 0) return {offset, offset};
    auto isWord = [&](int32_t at) {
        const uint32_t c = GetChar(at);
        if (c == kEndOfText) return false;
        const char16_t u = Wide || c > 0xFF ? char16_t(c) : Cp1252ToUnicode(uint8_t(c));
        return IsWordCharacter(u);
    };
    if (!isWord(offset)) return {offset, offset + 1};
    // A word longer than this is no word to select by.
    constexpr int32_t kMaxWord = 1000;
    int32_t first = offset, end = offset + 1;
    while (first > 0 && offset - first < kMaxWord && isWord(first - 1))
        --first;
    while (end - offset < kMaxWord && isWord(end))
        ++end;
    return {first, end};
}

std::string CBookEngine::ShownText(int32_t first, int32_t end) {
    std::string out;
    if (first < 0 || end <= first) return out;
    WriteShownText(*this, first, end, [&out](std::string_view piece) {
        out += piece;
        return true;
    });
    return out;
}

int32_t CBookEngine::PageOfOffset(int32_t offset) {
    return BookSearch::PageOf(*this, offset);
}

}  // namespace pagewick
