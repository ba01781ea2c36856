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

int Pack(const std::vector<std::string>& args) {
    Options options(args);
    PawkWriter writer;
    std::string out = options.Take("-o");
    writer.title = options.Take("--title");
    writer.author = options.Take("--author");
    writer.publisher = options.Take("--publisher");
    writer.identifier = options.Take("--identifier");
    writer.rights = options.Take("--rights");
    if (std::string problem = options.Problem(); !problem.empty())
        return Fail("pawk pack: " + problem);
    if (out.empty()) return Fail("pawk pack: no output book (-o OUT.pawk)");
    if (writer.title.empty()) return Fail("pawk pack: no title (--title T)");
    if (options.Rest().empty()) return Fail("pawk pack: no files to pack");
    for (const auto& path : options.Rest()) {
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

int List(const std::vector<std::string>& args) {
    Options options(args);
    if (std::string problem = options.Problem(); !problem.empty())
        return Fail("pawk ls: " + problem);
    if (options.Rest().size() != 1) return Fail("pawk ls: give one book");
    PawkDiskFile file;
    PawkReader r;
    if (!OpenBook(options.Rest()[0], file, r)) return 1;
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

int Extract(const std::vector<std::string>& args) {
    Options options(args);
    std::string out = options.Take("-o");
    if (std::string problem = options.Problem(); !problem.empty())
        return Fail("pawk extract: " + problem);
    if (options.Rest().size() != 2 || out.empty())
        return Fail("pawk extract: usage: pawk extract BOOK.pawk NAME -o FILE");
    const std::string& name = options.Rest()[1];
    PawkDiskFile file;
    PawkReader r;
    if (!OpenBook(options.Rest()[0], file, r)) return 1;
    bool listed = false;
    for (const auto& e : r.Order())
        listed = listed || PawkFoldCase(e.name) == PawkFoldCase(name);
    if (!listed && !r.FindChunk(PawkChunkName(name, 0)))
        return Fail("pawk extract: the book holds no file " + name);
    if (!r.ExtractFile(file, name, std::filesystem::path(out)))
        return Fail("pawk extract: cannot extract " + name + " to " + out);
    return 0;
}

int Run(const std::vector<std::string>& args) {
    if (args.empty()) return Fail("pawk: give pack, ls or extract");
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "pack") return Pack(rest);
    if (args[0] == "ls") return List(rest);
    if (args[0] == "extract") return Extract(rest);
    return Fail("pawk: unknown word \"" + args[0] + "\" (give pack, ls or extract)");
}

CommandRegistrar registrar(
    "pawk",
    "pawk pack -o OUT.pawk --title T [--author A] FILE... | pawk ls BOOK.pawk | "
    "pawk extract BOOK.pawk NAME -o FILE",
    Run);

}  // namespace
}  // namespace pagewick::cli
