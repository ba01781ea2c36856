// pagewick notes BOOK: the book's highlights in text order, each with its page, the text it
// marks and its note, as Markdown (what the desktop's "Export Highlights..." saves) or as the
// notes file's JSON with "page" and "text"; --import merges a JSON file of highlights into the
// book's notes file. With --fixed-metrics it needs no fonts, and Qt is loaded only if the book
// holds a picture.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include "cli/BookArgs.h"
#include "cli/DrawPart.h"
#include "cli/commands.h"
#include "engine/FixedSurface.h"
#include "engine/HighlightExport.h"
#include "engine/PaginationFile.h"

namespace pagewick::cli {
namespace {

constexpr const char* kUsage =
    "notes BOOK [--format markdown|json] [--import FILE.json] [--fixed-metrics] [--encoding E]";

std::string Help() {
    return std::string(
               "Prints the book's highlights in text order with their pages (counted from 1\n"
               "as render --page counts), the text they mark and their notes. They are kept in\n"
               "the notes file beside the book's pagination file (BOOK.pwk.notes).\n\n"
               "--format markdown (the default) prints a title line, \"# TITLE\", then for\n"
               "each highlight:\n"
               "  ## Page P (COLOUR, YYYY-MM-DD HH:MM)\n"
               "  (a blank line)\n"
               "  > the marked text, each of its lines after \"> \"\n"
               "  (a blank line and the note, when it has one)\n"
               "with a blank line between highlights; the time is when it was made (UTC).\n"
               "--format json prints a JSON array of objects {\"start\": N, \"end\": M,\n"
               "\"colour\": \"yellow|green|blue|pink\", \"note\": \"...\", \"created\": \"ISO "
               "8601\",\n"
               "\"page\": P, \"text\": \"...\"}, N and M character offsets of the book's text\n"
               "(end exclusive).\n\n"
               "--import FILE.json merges the highlights of a file of that form into the book's\n"
               "notes file (\"page\" and \"text\" are not needed; a missing \"colour\" is yellow,\n"
               "a missing \"note\" none): a highlight of the same range takes the imported\n"
               "colour and note. It prints how many were added and updated. A file not of\n"
               "that form leaves the book's notes file untouched, and the status is 1.\n\n"
               "The pages are those paginate gives with its defaults: the desktop reader's\n"
               "page of 480 by 640 pixels with its default display settings.\n\n") +
           kFixedMetricsHelp + "\n" + kEncodingHelp;
}

class NotesCommand : public Command {
public:
    void Declare(CLI::App& app) override {
        app.add_option("--format", format_, "markdown (the default) or json")->type_name("FORMAT");
        app.add_option("--import", import_, "merge the highlights of a JSON file")
            ->type_name("FILE.json");
        app.add_flag("--fixed-metrics", fixed_, "measure with fixed metrics, not the fonts");
        AddEncoding(app, encoding_);
        app.add_option("BOOK", books_, "the book");
    }
    int Run() override;

private:
    int Import(CBookEngine& doc);
    std::string format_ = "markdown", import_, encoding_;
    bool fixed_ = false;
    std::vector<std::string> books_;
};

int NotesCommand::Import(CBookEngine& doc) {
    std::ifstream in(import_, std::ios::binary);
    if (!in) return Fail("notes: cannot read " + import_);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string why;
    std::optional<ParsedHighlights> parsed = ParseHighlights(bytes, &why, int64_t(doc.CharCount()));
    if (!parsed) return Fail("notes: " + import_ + " is not a file of highlights: " + why);
    size_t added = 0, updated = 0;
    for (Highlight& h : parsed->items) {
        if (h.created.empty()) h.created = NowIso8601();
        if (Highlight* known = doc.Highlights.Find(h.start, h.end)) {
            known->colour = h.colour;
            known->note = std::move(h.note);
            ++updated;
        } else {
            doc.Highlights.Add(std::move(h));
            ++added;
        }
    }
    if ((added > 0 || updated > 0) && !doc.SaveHighlights()) return 1;  // the engine said why
    std::printf("%zu added, %zu updated", added, updated);
    if (parsed->dropped > 0) std::printf(", %zu outside the book's text left out", parsed->dropped);
    std::printf("\n");
    return 0;
}

int NotesCommand::Run() {
    if (format_ != "markdown" && format_ != "json")
        return Fail("notes: --format takes markdown or json");
    CommandLineHost host;
    CBookEngine doc;
    std::string error;
    if (!ApplyEncoding(encoding_, doc, error)) return Fail("notes: " + error);
    if (books_.size() != 1) return Fail(std::string("usage: pagewick ") + kUsage);

    // Importing needs no pages; printing numbers them under the default display settings.
    const bool pages = import_.empty();
    PageMeasuring measuring(!pages || fixed_);
    doc.HostServices = &host;
    doc.Pictures = measuring.pictures.get();
    ApplyDesktopLayout(doc, 480, 640, kDesktopFace, kDesktopFontSize);
    if (!OpenBookArgument(doc, books_[0], error, false, true)) return Fail(error);
    doc.GetChar(0);  // the first window decides the character width and the text's length
    if (!import_.empty()) return Import(doc);

    doc.BuildWidthTable(measuring.surface.get());
    const std::string out = format_ == "json" ? HighlightsJson(doc, true) : HighlightsMarkdown(doc);
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
        return Fail("notes: cannot write the highlights");
    return 0;
}

CommandRegistrar registrar({"notes", kUsage, Help, Make<NotesCommand>});

}  // namespace
}  // namespace pagewick::cli
