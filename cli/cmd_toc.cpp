// pagewick toc: the book's table of contents, one entry a line: title, a tab, target.
#include <cstdio>

#include "cli/BookArgs.h"
#include "cli/commands.h"

namespace pagewick::cli {
namespace {

constexpr const char* kUsage = "toc BOOK";

std::string Help() {
    return "Prints the book's table of contents, one entry a line: its title, a tab and its\n"
           "target. A book without contents prints nothing.\n";
}

class TocCommand : public Command {
public:
    void Declare(CLI::App& app) override { app.add_option("BOOK", books_, "the book"); }
    int Run() override;

private:
    std::vector<std::string> books_;
};

int TocCommand::Run() {
    if (books_.size() != 1) return Fail("usage: pagewick toc BOOK");
    CommandLineHost host;
    CBookEngine doc;
    doc.HostServices = &host;
    std::string error;
    if (!OpenBookArgument(doc, books_[0], error)) return Fail(error);
    doc.GetChar(0);  // some books make their contents when their text is first read
    for (const ContentsEntry& entry : doc.Contents)
        std::printf("%s\t%s\n", entry.title.c_str(), entry.target.c_str());
    doc.CloseBook();
    return 0;
}

CommandRegistrar registrar({"toc", kUsage, Help, Make<TocCommand>});

}  // namespace
}  // namespace pagewick::cli
