// pagewick toc: the book's table of contents, one entry a line: title, a tab, target.
#include <cstdio>

#include "cli/BookArgs.h"
#include "cli/commands.h"

namespace pagewick::cli {
namespace {

constexpr const char* kUsage = "toc BOOK";

int RunToc(const std::vector<std::string>& args) {
    Options options(args);
    if (options.Flag("--help")) {
        std::printf(
            "usage: pagewick %s\n\nPrints the book's table of contents, one entry a line: its "
            "title, a tab and its\ntarget. A book without contents prints nothing.\n",
            kUsage);
        return 0;
    }
    if (std::string problem = options.Problem(); !problem.empty()) return Fail("toc: " + problem);
    if (options.Rest().size() != 1) return Fail("usage: pagewick toc BOOK");
    CommandLineHost host;
    CBookEngine doc;
    doc.HostServices = &host;
    std::string error;
    if (!OpenBookArgument(doc, options.Rest()[0], error)) return Fail(error);
    doc.GetChar(0);  // some books make their contents when their text is first read
    for (const ContentsEntry& entry : doc.Contents)
        std::printf("%s\t%s\n", entry.title.c_str(), entry.target.c_str());
    doc.CloseBook();
    return 0;
}

CommandRegistrar registrar("toc", kUsage, RunToc);

}  // namespace
}  // namespace pagewick::cli
