// The engine's side of highlights: the notes file beside the pagination file, the page as a map
// from points to character offsets, and the text of a range as shown.
#include <algorithm>

#include "engine/BookEngine.h"
#include "engine/Search.h"

namespace pagewick {

std::string CBookEngine::NotesPath() const {
    return NotesFilePath(PaginationPath);
}

bool CBookEngine::SaveHighlights() {
    return false;
}

void CBookEngine::LoadHighlights() {
    Highlights.Clear();
}

int32_t CBookEngine::OffsetAtPoint(Point p) const {
    const DrawnLine* best = nullptr;
    int32_t bestDistance = 0;
    for (const auto& line : DrawnLines) {
        if (line.offsets.empty()) continue;
        int32_t distance = p.y < line.top       ? line.top - p.y
                           : p.y >= line.bottom ? p.y - line.bottom + 1
                                                : 0;
        if (!best || distance < bestDistance) {
            best = &line;
            bestDistance = distance;
        }
    }
    if (!best) return -1;
    size_t i = 0;
    while (i + 1 < best->offsets.size() && p.x >= best->xs[i + 1])
        ++i;
    return best->offsets[i];
}

std::pair<int32_t, int32_t> CBookEngine::WordAt(int32_t offset) {
    return {offset, offset + 1};
}

std::string CBookEngine::ShownText(int32_t first, int32_t end) {
    (void)first;
    (void)end;
    return {};
}

int32_t CBookEngine::PageOfOffset(int32_t offset) {
    return BookSearch::PageOf(*this, offset);
}

}  // namespace pagewick
