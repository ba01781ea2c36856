// pagewick convert BOOK -o OUT.epub: any book the reader opens written as an EPUB 3 book (with
// an NCX for EPUB 2 readers), with the same code as Wickstand's "Save as EPUB...".
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "builder/EpubExport.h"
#include "cli/BookArgs.h"
#include "cli/commands.h"

namespace pagewick::cli {
namespace {

constexpr const char* kUsage = "convert BOOK -o OUT.epub [--encoding auto|utf-8|cp1252]";

std::string Help() {
    return "Writes the book as an EPUB 3 book that EPUB 2 readers can also read: its text split\n"
           "at its files (or, for a single text or HTML file, about every 200 KB at a\n"
           "paragraph), its pictures, contents, cover and metadata. The book is written under\n"
           "a temporary name and renamed to OUT.epub once complete.\n\n";
}

class ConvertCommand : public Command {
public:
    void Declare(CLI::App& app) override {
        app.add_option("-o", output_, "the EPUB book to write")->type_name("OUT.epub");
        AddEncoding(app, encoding_);
        app.add_option("BOOK", books_, "the book");
    }
    int Run() override;

private:
    std::string output_, encoding_;
    std::vector<std::string> books_;
};

int ConvertCommand::Run() {
    const std::string usage = std::string("usage: pagewick ") + kUsage;
    if (books_.size() != 1 || output_.empty()) return Fail(usage);
    const std::filesystem::path target = output_;
    if (!HasEpubSuffix(target))
        return Fail("convert: " + output_ + ": the output must end in .epub");

    CommandLineHost host;
    CBookEngine doc;
    doc.HostServices = &host;
    std::string error;
    if (!ApplyEncoding(encoding_, doc, error)) return Fail("convert: " + error);
    if (!OpenBookArgument(doc, books_[0], error)) return Fail(error);
    // Written over itself, the book would be read while its replacement is made; refused, so
    // that a mistyped name never costs the book.
    std::error_code ec;
    if (std::filesystem::equivalent(doc.BookPath, target, ec))
        return Fail("convert: " + output_ + " is the book itself");

    EpubExportOptions options;
    int shown = -1;
    const bool terminal = isatty(2);
    if (terminal)
        options.progress = [&shown](double done) {
            const int percent = int(done * 100);
            if (percent != shown) {
                shown = percent;
                std::fprintf(stderr, "\rconverting %3d%%", percent);
                std::fflush(stderr);
            }
            return true;
        };
    const EpubExportOutcome outcome = ExportEpub(doc, target, options);
    if (terminal && shown >= 0) std::fprintf(stderr, "\r%-20s\r", "");
    if (!outcome) return Fail("convert: " + EpubExportMessage(outcome, target));
    return 0;
}

CommandRegistrar registrar({"convert", kUsage, Help, Make<ConvertCommand>});

}  // namespace
}  // namespace pagewick::cli
