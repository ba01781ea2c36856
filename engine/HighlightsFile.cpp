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
#include "util/TextFold.h"

namespace pagewick {

namespace {

// Past this a notes file is not read (100,000 highlights with long notes stay far below).
constexpr uintmax_t kMaxNotesFile = uintmax_t(1) << 30;

}  // namespace

std::string CBookEngine::NotesPath() const {
    return PaginationPath.empty() ? NotesPathWithoutPlace : NotesFilePath(PaginationPath);
}

bool CBookEngine::SaveHighlights() {
    const std::string path = NotesPath();
    if (path.empty()) return false;
    std::error_code ec;
    // A notes file that is there but cannot be read was never loaded: replacing it would lose
    // the highlights it holds.
    if (std::filesystem::is_regular_file(path, ec) && !std::ifstream(path, std::ios::binary)) {
        ShowMessage("The highlights file \"" + path +
                        "\" cannot be read, so it is not replaced; the changes are not kept.",
                    MessageIcon::Error);
        return false;
    }
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
        if (!in) {
            // Unreadable now (its permissions): left as it is, and never replaced by a save.
            ShowMessage("The highlights file \"" + path +
                            "\" cannot be read; the book opens without highlights.",
                        MessageIcon::Warning);
            return;
        }
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
