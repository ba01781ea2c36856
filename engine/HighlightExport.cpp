#include "engine/HighlightExport.h"

#include <filesystem>

#include "engine/BookEngine.h"
#include "util/Json.h"

namespace pagewick {

namespace {

// "2026-12-09T15:40:00Z" as "2026-12-09 15:40"; another form as it is.
std::string ShownTime(const std::string& iso) {
    if (iso.size() >= 16 && iso[4] == '-' && iso[7] == '-' && iso[10] == 'T' && iso[13] == ':')
        return iso.substr(0, 10) + " " + iso.substr(11, 5);
    return iso;
}

std::string TitleOf(const CBookEngine& doc) {
    if (!doc.DocumentTitle.empty()) return doc.DocumentTitle;
    if (!doc.BookTitle.empty()) return doc.BookTitle;
    if (!doc.MemberName.empty()) return doc.MemberName;
    return std::filesystem::path(doc.BookPath).filename().string();
}

}  // namespace

std::string HighlightsMarkdown(CBookEngine& doc) {
    // The blocks first: laying out their pages may find the book's title.
    std::string out;
    for (const Highlight& h : doc.Highlights.All()) {
        out += "\n## Page " + std::to_string(doc.PageOfOffset(h.start) + 1) + " (" +
               ColourName(h.colour);
        if (!h.created.empty()) out += ", " + ShownTime(h.created);
        out += ")\n\n";
        const std::string text = doc.ShownText(h.start, h.end);
        size_t from = 0;
        for (;;) {
            const size_t stop = text.find('\n', from);
            const std::string_view line = std::string_view(text).substr(
                from, stop == std::string::npos ? std::string::npos : stop - from);
            out += line.empty() ? ">" : "> ";
            out += line;
            out += '\n';
            if (stop == std::string::npos) break;
            from = stop + 1;
        }
        if (!h.note.empty()) {
            out += '\n';
            out += h.note;
            if (h.note.back() != '\n') out += '\n';
        }
    }
    if (doc.DocumentTitle.empty()) doc.PageOfOffset(0);  // a title tag is read by the layout
    return "# " + TitleOf(doc) + "\n" + out;
}

std::string HighlightsJson(CBookEngine& doc, bool withPageAndText) {
    const auto& all = doc.Highlights.All();
    if (!withPageAndText) return HighlightsToJson(all);
    return HighlightsToJson(all, [&](size_t i, std::string& out) {
        out += ", \"page\": " + std::to_string(doc.PageOfOffset(all[i].start) + 1) + ", \"text\": ";
        json::AppendString(out, doc.ShownText(all[i].start, all[i].end));
    });
}

}  // namespace pagewick
