// pagewick library: lists the books under a folder as the Library lists show them, one line per
// entry: kind, folder label, title, path and member, separated by tabs. Titles are printed in
// UTF-8; a tab, line end or backslash inside a field is written as "\t", "\n", "\r" or "\\" so
// that every entry stays one line of five fields.
#include <cstdio>
#include <filesystem>

#include "cli/commands.h"
#include "formats/Library.h"
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

class LibraryCommand : public Command {
public:
    void Declare(CLI::App& app) override {
        app.add_flag("--html", listHtml_, "list HTML files too");
        app.add_flag("--zip", searchZip_, "list the text and HTML members of ZIP archives");
        app.add_option("FOLDER", folders_, "the folder to scan");
    }
    int Run() override;

private:
    bool listHtml_ = false, searchZip_ = false;
    std::vector<std::string> folders_;
};

int LibraryCommand::Run() {
    const bool listHtml = listHtml_;
    const bool searchZip = searchZip_;
    if (folders_.size() != 1) return Fail("usage: pagewick library FOLDER [--html] [--zip]");
    const std::string& folder = folders_[0];
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

CommandRegistrar registrar({"library", "library FOLDER [--html] [--zip]", nullptr,
                            Make<LibraryCommand>});

}  // namespace
}  // namespace pagewick::cli
