#include "cli/BookArgs.h"

#include "engine/PaginationFile.h"
#include "formats/BookKinds.h"
#include "util/AsciiCase.h"

#include <filesystem>

namespace pagewick::cli {

void SplitBookArgument(const std::string& argument, std::string& path, std::string& member) {
    // The archive's ending in any letter case, as the programs detect it.
    const size_t zip = LowerAscii(argument).find(".zip:");
    if (zip == std::string::npos) {
        path = argument;
        member.clear();
        return;
    }
    path = argument.substr(0, zip + 4);
    member = argument.substr(zip + 5);
}

bool OpenBookArgument(CBookEngine& doc, const std::string& argument, std::string& error,
                      bool keepPlace, bool withHighlights) {
    std::string path;
    SplitBookArgument(argument, path, doc.MemberName);
    const int32_t kind = SourceKindOfBook(path, doc.MemberName);
    if (kind < 0) {
        error = "unsupported book type: " + argument +
                " (expected .txt, .htm, .html, .lit, .pawk, .epub or ARCHIVE.zip:MEMBER)";
        return false;
    }
    doc.SourceKind = kind;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "cannot open " + path + ": no such file";
        return false;
    }
    doc.BookPath = path;
    doc.PaginationPath = keepPlace ? PaginationFilePath(path, doc.MemberName) : "";
    doc.NotesPathWithoutPlace =
        withHighlights ? NotesFilePath(PaginationFilePath(path, doc.MemberName)) : "";
    if (!doc.OpenBook()) {
        if (!doc.MemberName.empty())
            error = "cannot read member \"" + doc.MemberName + "\" of " + path;
        else if (doc.LastOpen == OpenResult::Rejected && doc.FailureSaid)
            error.clear();  // the reader has said why (a damaged or protected book)
        else if (doc.LastOpen == OpenResult::Rejected)
            error = "Pagewick cannot read this format: " + path;
        else
            error = "cannot read " + path;
        return false;
    }
    return true;
}

void AddEncoding(CLI::App& app, std::string& value) {
    app.add_option("--encoding", value, "how a text or HTML file is read: auto, utf-8 or cp1252")
        ->type_name("E");
}

bool ApplyEncoding(const std::string& value, CBookEngine& doc, std::string& error) {
    if (value.empty()) return true;
    if (value == "auto")
        doc.EncodingOverride = TextEncoding::Auto;
    else if (value == "utf-8" || value == "utf8")
        doc.EncodingOverride = TextEncoding::Utf8;
    else if (value == "cp1252" || value == "windows-1252")
        doc.EncodingOverride = TextEncoding::Cp1252;
    else {
        error = "--encoding takes auto, utf-8 or cp1252";
        return false;
    }
    return true;
}

void AddTypography(CLI::App& app, TypographyArgs& args) {
    app.add_option("--hyphenate", args.language,
                   "split words by the dictionary of the book's language, else LANG")
        ->type_name("LANG");
    app.add_flag("--no-hyphenate", args.noHyphenate, "never split words by a dictionary");
    app.add_flag("--widows", args.widows, "keep a paragraph's single lines off page ends");
    app.add_option("--join-lines", args.joinLines, "single line breaks as spaces: auto, on or off")
        ->type_name("auto|on|off");
}

bool ApplyTypography(const TypographyArgs& args, CBookEngine& doc, int& joinLines,
                     std::string& error) {
    joinLines = -1;
    const std::string& language = args.language;
    const bool off = args.noHyphenate, widows = args.widows;
    const std::string& join = args.joinLines;
    if (!language.empty() && off) {
        error = "--hyphenate and --no-hyphenate exclude each other";
        return false;
    }
    if (!join.empty() && join != "auto" && join != "on" && join != "off") {
        error = "--join-lines takes auto, on or off";
        return false;
    }
    if (language.empty() && !off && !widows && join.empty()) return true;
    doc.SoftHyphens = true;
    doc.KeepPageEndWhole = true;
    doc.Hyphenate = !language.empty();
    doc.HyphenationLanguage = language == "system" ? "" : language;
    doc.KeepLinesTogether = widows;
    // The book's own choice, if it has one, is kept by its pagination file; the tool opens books
    // without theirs, so the choice made here is the one in force.
    doc.DetectHardWrap = join == "auto";
    joinLines = join == "on" ? 1 : join == "off" ? 0 : -1;
    return true;
}

const char* const kTypographyHelp =
    "--hyphenate LANG splits words that do not fit where the dictionary of the book's own\n"
    "language (else LANG, \"system\" for the locale's) allows, when the line would otherwise\n"
    "be loose; --no-hyphenate never does. --widows keeps a paragraph's single first or last\n"
    "line from standing alone at a page's foot or head. --join-lines on reads single line\n"
    "breaks as spaces, off keeps them, auto decides from the text whether it is hard-wrapped.\n"
    "With any of these, soft hyphens are break points and no page ends in a split word.\n";

const char* const kEncodingHelp =
    "Text and HTML files are read as UTF-8 when they are UTF-8 (a UTF-8 mark; or valid UTF-8\n"
    "with at least one character beyond ASCII; or an HTML file declaring charset=utf-8 in its\n"
    "first 4096 bytes), else as Windows-1252; UTF-16 files with their mark as UTF-16.\n"
    "--encoding auto|utf-8|cp1252 overrides that, and the book's pagination file remembers it.\n";

void ApplyDesktopLayout(CBookEngine& doc, int32_t width, int32_t height, const std::string& face,
                        int pointSize) {
    doc.LeftEdge = kDesktopBorderWidth;
    doc.TopEdge = kDesktopBorderHeight;
    doc.RightEdge = width - kDesktopBorderWidth;
    doc.PageHeight = height;
    doc.Leading = kDesktopLeading;
    doc.ParagraphSpacing = kDesktopParagraphSpacing;
    doc.TabSize = kDesktopTabSize;
    doc.Justified = 1;
    doc.ShowPositionBar = 1;
    doc.ShowPageNumber = 1;
    doc.SetReadingFont(face, pointSize);
}

const char* const kPageSetupHelp =
    "The page is the desktop reader's with its default display settings: face \"Arial\" at 14\n"
    "points (--face, --font-size), a border of 8 pixels on every side, leading 2, paragraph\n"
    "spacing 3, tab size 4, justified text, position bar and page number shown; the page is\n"
    "480 by 640 pixels unless --width and --height say otherwise.\n";

const char* const kFixedMetricsHelp =
    "paginate --fixed-metrics measures with fixed metrics instead of the fonts, the same on every\n"
    "machine: every character, \"0\" included, is 12 pixels high; a character whose byte\n"
    "(for 16-bit text, whose low byte) is b is 4 + (b mod 5) pixels wide; bold, italic and\n"
    "underlined text measures the same. 16-bit codes from 1168 up measure as \"X\" (the fonts\n"
    "measure every character with its own width), and a line is the character height plus the\n"
    "leading less 1 (13 pixels).\n";

}  // namespace pagewick::cli
