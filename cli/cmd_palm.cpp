// pagewick palm: wraps a PAWK book into a Palm OS database for the Palm synchronisation software.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "pawk/PalmExport.h"
#include "pawk/PawkFile.h"
#include "pawk/PawkReader.h"

namespace pagewick::cli {
namespace {

class PalmCommand : public Command {
public:
    void Declare(CLI::App& app) override {
        app.add_option("-o", out_, "the database to write (default: the book's path and .pdb)")
            ->type_name("FILE.pdb");
        app.add_option("BOOK", books_, "the PAWK book");
    }
    int Run() override;

private:
    std::string out_;
    std::vector<std::string> books_;
};

int PalmCommand::Run() {
    std::string out = out_;
    if (books_.size() != 1) return Fail("palm: one book expected (palm BOOK.pawk)");
    const std::string book = books_[0];
    std::error_code ec;
    if (!std::filesystem::is_regular_file(book, ec))
        return Fail("palm: cannot open " + book + ": no such file");
    PawkDiskFile file;
    PawkReader reader;
    if (!file.Open(book) || !reader.Open(file))
        return Fail("palm: " + book + " is not a PAWK book");
    file.Close();
    // The title the reading view shows: the book's own, or its file name without extension.
    std::string title = reader.Title();
    if (title.empty()) title = std::filesystem::path(book).stem().string();
    if (out.empty()) out = PalmOutputPath(book).string();
    PalmExportResult result = WritePalmDatabase(book, title, out, PalmTimeNow());
    if (!result) return Fail("palm: " + result.message);
    std::printf("%s\n", out.c_str());
    return 0;
}

CommandRegistrar registrar({"palm", "palm BOOK.pawk [-o FILE.pdb]", nullptr, Make<PalmCommand>});

}  // namespace
}  // namespace pagewick::cli
