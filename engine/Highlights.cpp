#include "engine/Highlights.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "util/Json.h"

namespace pagewick {

namespace {

constexpr const char* kColourNames[kHighlightColourCount] = {"yellow", "green", "blue", "pink"};

bool InTextOrder(const Highlight& a, const Highlight& b) {
    return a.start != b.start ? a.start < b.start : a.end < b.end;
}

}  // namespace

const char* ColourName(HighlightColour colour) {
    auto index = static_cast<size_t>(colour);
    return index < kHighlightColourCount ? kColourNames[index] : kColourNames[0];
}

std::optional<HighlightColour> ColourFromName(std::string_view name) {
    for (int i = 0; i < kHighlightColourCount; ++i)
        if (name == kColourNames[i]) return static_cast<HighlightColour>(i);
    return std::nullopt;
}

Colour ColourValue(HighlightColour colour, bool night) {
    // Paper: pale enough for black text; night: deep enough for the light text on black.
    switch (colour) {
        case HighlightColour::Green:
            return night ? RGBColour(24, 84, 32) : RGBColour(190, 240, 180);
        case HighlightColour::Blue:
            return night ? RGBColour(28, 56, 110) : RGBColour(180, 215, 255);
        case HighlightColour::Pink:
            return night ? RGBColour(104, 32, 72) : RGBColour(255, 196, 222);
        case HighlightColour::Yellow:
        default:
            return night ? RGBColour(96, 84, 16) : RGBColour(255, 240, 120);
    }
}

Colour SelectionColour(bool night) {
    return night ? RGBColour(40, 70, 140) : RGBColour(166, 202, 240);
}

size_t HighlightSet::Add(Highlight h) {
    auto it = std::lower_bound(items_.begin(), items_.end(), h, InTextOrder);
    auto index = static_cast<size_t>(it - items_.begin());
    if (it != items_.end() && it->start == h.start && it->end == h.end) {
        it->colour = h.colour;
        it->note = std::move(h.note);
        if (it->created.empty()) it->created = std::move(h.created);
        return index;
    }
    items_.insert(it, std::move(h));
    reach_.insert(reach_.begin() + static_cast<std::ptrdiff_t>(index), 0);
    // Only the prefix maxima from the new one on can change.
    int32_t reach = index > 0 ? reach_[index - 1] : INT32_MIN;
    for (size_t i = index; i < items_.size(); ++i) {
        reach = std::max(reach, items_[i].end);
        if (i > index && reach_[i] == reach) break;
        reach_[i] = reach;
    }
    return index;
}

bool HighlightSet::Remove(int32_t start, int32_t end) {
    Highlight key;
    key.start = start;
    key.end = end;
    auto it = std::lower_bound(items_.begin(), items_.end(), key, InTextOrder);
    if (it == items_.end() || it->start != start || it->end != end) return false;
    items_.erase(it);
    RebuildReach();
    return true;
}

Highlight* HighlightSet::Find(int32_t start, int32_t end) {
    return const_cast<Highlight*>(static_cast<const HighlightSet*>(this)->Find(start, end));
}

const Highlight* HighlightSet::Find(int32_t start, int32_t end) const {
    Highlight key;
    key.start = start;
    key.end = end;
    auto it = std::lower_bound(items_.begin(), items_.end(), key, InTextOrder);
    if (it == items_.end() || it->start != start || it->end != end) return nullptr;
    return &*it;
}

const Highlight* HighlightSet::At(int32_t offset) const {
    auto [first, last] = Touching(offset, offset + 1);
    for (size_t i = first; i < last; ++i)
        if (items_[i].start <= offset && offset < items_[i].end) return &items_[i];
    return nullptr;
}

std::pair<size_t, size_t> HighlightSet::Touching(int32_t from, int32_t to) const {
    // First: the first whose prefix reach passes `from` (none before it can end after it).
    auto first =
        static_cast<size_t>(std::upper_bound(reach_.begin(), reach_.end(), from) - reach_.begin());
    // Last: the first that starts at or after `to`.
    auto last = static_cast<size_t>(
        std::lower_bound(items_.begin(), items_.end(), to,
                         [](const Highlight& h, int32_t value) { return h.start < value; }) -
        items_.begin());
    if (last < first) last = first;
    return {first, last};
}

void HighlightSet::Clear() {
    items_.clear();
    reach_.clear();
}

void HighlightSet::Assign(std::vector<Highlight> items) {
    std::stable_sort(items.begin(), items.end(), InTextOrder);
    // Of equal ranges the last one given wins, as Add would have it.
    std::vector<Highlight> kept;
    kept.reserve(items.size());
    for (auto& h : items) {
        if (!kept.empty() && kept.back().start == h.start && kept.back().end == h.end) {
            std::string created = std::move(kept.back().created);
            kept.back() = std::move(h);
            if (!created.empty()) kept.back().created = std::move(created);
        } else {
            kept.push_back(std::move(h));
        }
    }
    items_ = std::move(kept);
    RebuildReach();
}

void HighlightSet::RebuildReach() {
    reach_.resize(items_.size());
    int32_t reach = INT32_MIN;
    for (size_t i = 0; i < items_.size(); ++i)
        reach_[i] = reach = std::max(reach, items_[i].end);
}

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

std::string NowIso8601() {
    std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string NotesFilePath(const std::string& paginationPath) {
    return paginationPath.empty() ? std::string() : paginationPath + ".notes";
}

}  // namespace pagewick
