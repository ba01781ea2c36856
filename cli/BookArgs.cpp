#include "cli/BookArgs.h"

#include "engine/PaginationFile.h"
#include "formats/Library.h"

#include <filesystem>

namespace pagewick::cli {

bool OpenBookArgument(CBookEngine& doc, const std::string& argument, std::string& error,
                      bool keepPlace) {
    std::string path = argument;
    doc.MemberName.clear();
    size_t zip = argument.find(".zip:");
    if (zip != std::string::npos) {
        path = argument.substr(0, zip + 4);
        doc.MemberName = argument.substr(zip + 5);
    }
    int32_t kind = FormatCodeFromPath(path, -1);
    if (kind < 0 || (kind == kSourceZip && doc.MemberName.empty())) {
        error = "unsupported book type: " + argument +
                " (expected .txt, .htm, .html, .lit, .pawk or ARCHIVE.zip:MEMBER)";
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
    if (!doc.OpenBook()) {
        if (doc.SourceKind == kSourceZip)
            error = "cannot read member \"" + doc.MemberName + "\" of " + path;
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
