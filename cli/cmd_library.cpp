// pagewick library: lists the books under a folder as the Library lists show them, one line per
// entry: kind, folder label, title, path and member, separated by tabs. Titles are printed in
// UTF-8; a tab, line end or backslash inside a field is written as "\t", "\n", "\r" or "\\" so
// that every entry stays one line of five fields.
#include <cstdio>
#include <filesystem>

#include "cli/commands.h"
#include "library/Library.h"
#include "util/Cp1252.h"

namespace pagewick::cli {
namespace {

std::string Field(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
    return out;
}

int RunLibrary(const std::vector<std::string>& args) {
    Options options(args);
    bool listHtml = options.Flag("--html");
    bool searchZip = options.Flag("--zip");
    if (std::string problem = options.Problem(); !problem.empty())
        return Fail("library: " + problem);
    if (options.Rest().size() != 1) return Fail("usage: pagewick library FOLDER [--html] [--zip]");
    const std::string& folder = options.Rest()[0];
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) return Fail("library: no folder " + folder);

    std::vector<LibraryEntry> entries;
    ScanLibrary(folder, listHtml, searchZip, entries);
    for (const LibraryEntry& e : entries) {
        std::printf("%d\t%s\t%s\t%s\t%s\n", e.kind, Field(e.folderLabel).c_str(),
                    Field(e.title).c_str(), Field(e.path).c_str(), Field(e.member).c_str());
    }
    return 0;
}

CommandRegistrar registrar("library", "library FOLDER [--html] [--zip]", RunLibrary);

}  // namespace
}  // namespace pagewick::cli
