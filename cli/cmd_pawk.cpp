// pagewick pawk: the low-level PAWK packer and inspector, for tests and scripting.
//   pawk pack -o OUT.pawk --title T [--author A] [--publisher P] [--identifier I] [--rights R]
//   FILE... pawk ls BOOK.pawk pawk extract BOOK.pawk NAME -o FILE
// Packing takes the files as they are: no text preparation, one contents entry "name#" per
// text file.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "pawk/PawkReader.h"
#include "pawk/PawkWriter.h"

namespace pagewick::cli {
namespace {

// What the three tools are given: their words and their options.
struct PawkArgs {
    std::vector<std::string> words;
    std::string out;
    PawkWriter writer;
};

int Pack(PawkArgs& args) {
    PawkWriter& writer = args.writer;
    const std::string& out = args.out;
    if (out.empty()) return Fail("pawk pack: no output book (-o OUT.pawk)");
    if (writer.title.empty()) return Fail("pawk pack: no title (--title T)");
    if (args.words.empty()) return Fail("pawk pack: no files to pack");
    for (const auto& path : args.words) {
        std::string name = std::filesystem::path(path).filename().string();
        writer.files.push_back({name, path, std::nullopt});
        if (!PawkIsPictureOrMedia(name)) {
            std::string stored = PawkWriter::StoredName(name, writer.files.size() == 1);
            writer.contents.push_back({0, stored, stored + "#"});
        }
    }
    PawkWriteResult result = writer.Write(out);
    if (!result) {
        std::string message = std::string("pawk pack: ") + PawkWriteStatusText(result.status);
        if (!result.detail.empty()) message += ": " + result.detail;
        return Fail(message);
    }
    return 0;
}

bool OpenBook(const std::string& path, PawkDiskFile& file, PawkReader& reader) {
    if (!file.Open(path)) {
        Fail("cannot open " + path);
        return false;
    }
    if (!reader.Open(file)) {
        Fail(path + " is not a readable PAWK book");
        return false;
    }
    return true;
}

int List(PawkArgs& args) {
    if (args.words.size() != 1) return Fail("pawk ls: give one book");
    PawkDiskFile file;
    PawkReader r;
    if (!OpenBook(args.words[0], file, r)) return 1;
    std::printf("version\t%d\n", r.Version());
    std::printf("chunk size\t%d\n", r.ChunkSize());
    std::printf("title\t%s\n", r.Title().c_str());
    std::printf("author\t%s\n", r.Author().c_str());
    std::printf("publisher\t%s\n", r.Publisher().c_str());
    std::printf("identifier\t%s\n", r.Identifier().c_str());
    std::printf("rights\t%s\n", r.Rights().c_str());
    std::printf("cover\t%s\n", r.CoverName().c_str());
    std::printf("book length\t%d\n", r.BookLength());
    std::printf("order\t%zu\n", r.Order().size());
    for (const auto& e : r.Order())
        std::printf("  %d\t%d\t%s\n", e.start, e.length, e.name.c_str());
    std::printf("contents\t%zu\n", r.Contents().size());
    for (const auto& e : r.Contents())
        std::printf("  %d\t%s\t%s\n", e.kind, e.title.c_str(), e.target.c_str());
    std::printf("chunks\t%zu\n", r.Chunks().size());
    for (const auto& c : r.Chunks())
        std::printf("  %s\t%d\t%d\t%d\t%d\n", c.name.c_str(), c.storedLength, c.decodedLength,
                    c.offset, c.flags);
    return 0;
}

int Extract(PawkArgs& args) {
    const std::string& out = args.out;
    if (args.words.size() != 2 || out.empty())
        return Fail("pawk extract: usage: pawk extract BOOK.pawk NAME -o FILE");
    const std::string& name = args.words[1];
    PawkDiskFile file;
    PawkReader r;
    if (!OpenBook(args.words[0], file, r)) return 1;
    bool listed = false;
    for (const auto& e : r.Order())
        listed = listed || PawkFoldCase(e.name) == PawkFoldCase(name);
    if (!listed && !r.FindChunk(PawkChunkName(name, 0)))
        return Fail("pawk extract: the book holds no file " + name);
    if (!r.ExtractFile(file, name, std::filesystem::path(out)))
        return Fail("pawk extract: cannot extract " + name + " to " + out);
    return 0;
}

class PawkCommand : public Command {
public:
    void Declare(CLI::App& app) override {
        app_ = &app;
        PawkWriter& w = args_.writer;
        CLI::App* pack = Tool(app, "pack",
                              "pawk pack -o OUT.pawk --title T [--author A] [--publisher P] "
                              "[--identifier I] [--rights R] FILE...",
                              "the files, as they are");
        pack->add_option("-o", args_.out, "the book to write")->type_name("OUT.pawk");
        pack->add_option("--title", w.title, "the book's title")->type_name("T");
        pack->add_option("--author", w.author, "its author")->type_name("A");
        pack->add_option("--publisher", w.publisher, "its publisher")->type_name("P");
        pack->add_option("--identifier", w.identifier, "its identifier")->type_name("I");
        pack->add_option("--rights", w.rights, "its rights")->type_name("R");
        Tool(app, "ls", "pawk ls BOOK.pawk", "the book");
        CLI::App* extract = Tool(app, "extract", "pawk extract BOOK.pawk NAME -o FILE",
                                 "the book and the stored file's name");
        extract->add_option("-o", args_.out, "where the file goes")->type_name("FILE");
    }
    int Run() override {
        if (app_->got_subcommand("pack")) return Pack(args_);
        if (app_->got_subcommand("ls")) return List(args_);
        if (app_->got_subcommand("extract")) return Extract(args_);
        const std::vector<std::string> words = app_->remaining();
        if (words.empty()) return Fail("pawk: give pack, ls or extract");
        return Fail("pawk: unknown word \"" + words[0] + "\" (give pack, ls or extract)");
    }

private:
    CLI::App* Tool(CLI::App& app, const char* name, const char* usage, const char* words) {
        CLI::App* tool = app.add_subcommand(name, usage);
        SetUpCommandApp(*tool, usage);
        tool->add_option("ARGS", args_.words, words);
        return tool;
    }

    CLI::App* app_ = nullptr;
    PawkArgs args_;
};

CommandRegistrar registrar(
    {"pawk",
     "pawk pack -o OUT.pawk --title T [--author A] FILE... | pawk ls BOOK.pawk | "
     "pawk extract BOOK.pawk NAME -o FILE",
     nullptr, Make<PawkCommand>});

}  // namespace
}  // namespace pagewick::cli
