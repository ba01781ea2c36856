// pagewick info BOOK: what a book says about itself, in UTF-8. LIT, EPUB and PAWK books give
// their title, author, publisher, isbn and rights (EPUB books their language too; a field the
// book lacks is left out), then the number of contents entries and, for LIT and EPUB books, of
// content files in reading order; other books their
// title (an HTML book's from its title element, else the file name), format and length.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/BookArgs.h"
#include "cli/commands.h"
#include "engine/FixedSurface.h"
#include "formats/BookKinds.h"
#include "formats/EpubBook.h"
#include "formats/LitBook.h"
#include "pawk/PawkFile.h"
#include "pawk/PawkReader.h"
#include "util/Cp1252.h"

namespace pagewick::cli {
namespace {

constexpr const char* kUsage = "info BOOK";

void Field(const char* name, const std::optional<std::string>& utf8) {
    if (utf8 && !utf8->empty()) std::printf("%s: %s\n", name, utf8->c_str());
}

std::optional<std::string> Lit(const std::optional<std::string>& field) {
    if (!field) return std::nullopt;
    return LitLabelToUtf8(*field);
}

int LitInfo(const std::string& path) {
    LitBookFile file;
    LitBook book;
    int rc = OpenLitBook(path, file, book);
    if (rc == kLitReadFailed) return Fail("cannot open " + path);
    if (rc != 0) return Fail("Pagewick cannot read this format: " + path);
    const LitMetadata& m = book.Metadata();
    Field("title", Lit(m.title));
    Field("author", Lit(m.author));
    Field("publisher", Lit(m.publisher));
    Field("isbn", Lit(m.isbn));
    Field("rights", Lit(m.rights));
    std::vector<ContentsEntry> contents;
    std::string cover;
    BuildLitContents(book.Package(), contents, cover);
    std::printf("contents: %zu\nfiles: %zu\n", contents.size(), book.Files().size());
    if (book.PackageTooLarge())
        std::fprintf(stderr, "pagewick: the book's description is too large to read\n");
    return 0;
}

int PawkInfo(const std::string& path) {
    PawkDiskFile file;
    PawkReader reader;
    if (!file.Open(path)) return Fail("cannot open " + path);
    if (!reader.Open(file)) return Fail("Pagewick cannot read this format: " + path);
    auto text = [](const std::string& s) { return std::optional(CodePageLabelToUtf8(s)); };
    Field("title", text(reader.Title()));
    Field("author", text(reader.Author()));
    Field("publisher", text(reader.Publisher()));
    Field("isbn", text(reader.Identifier()));
    Field("rights", text(reader.Rights()));
    std::printf("contents: %zu\n", reader.Contents().size());
    return 0;
}

int EpubInfo(const std::string& path) {
    EpubPackage book;
    EpubResult rc = book.Open(path);
    if (rc == EpubResult::kReadFailed) return Fail("cannot open " + path);
    if (rc != EpubResult::kOk) return Fail(std::string(EpubOpenMessage(rc)) + " " + path);
    const EpubMetadata& m = book.Metadata();
    Field("title", m.title);
    Field("author", m.creators);
    Field("publisher", m.publisher);
    Field("isbn", m.isbn);
    Field("rights", m.rights);
    Field("language", m.language);
    std::printf("contents: %zu\nfiles: %zu\n", book.Contents().size(), book.Spine().size());
    return 0;
}

class InfoCommand : public Command {
public:
    void Declare(CLI::App& app) override { app.add_option("BOOK", books_, "the book"); }
    int Run() override;

private:
    std::vector<std::string> books_;
};

int InfoCommand::Run() {
    if (books_.size() != 1) return Fail(std::string("usage: pagewick ") + kUsage);
    const std::string& argument = books_[0];
    // Books that describe themselves are asked by their own readers; the rest are opened.
    std::string path, member;
    SplitBookArgument(argument, path, member);
    switch (SourceKindOfBook(path, member)) {
        case kSourceLit:
            return LitInfo(argument);
        case kSourcePawk:
            return PawkInfo(argument);
        case kSourceEpub:
            return EpubInfo(argument);
        default:
            break;
    }
    CommandLineHost host;
    CBookEngine doc;
    doc.HostServices = &host;
    ApplyDesktopLayout(doc, 480, 640, kDesktopFace, kDesktopFontSize);
    std::string error;
    if (!OpenBookArgument(doc, argument, error)) return Fail(error);
    doc.GetChar(0);  // the first window decides markup and character width
    if (doc.MarkupMode) {
        // An HTML book names itself in its title element, which the reader meets as it lays the
        // first page out (fixed metrics: only the markup matters here).
        FixedSurface metrics;
        doc.BuildWidthTable(&metrics);
        doc.LayoutPage(nullptr, false);
    }
    std::string title = doc.DocumentTitle;
    if (title.empty()) {
        // File and member names are UTF-8 already.
        std::string name = doc.Form.archiveMember ? doc.MemberName : doc.BookPath;
        title = std::filesystem::path(name).stem().string();
    }
    std::printf("title: %s\n", title.c_str());
    const char* format = doc.Form.archiveMember ? "zip member"
                         : doc.MarkupMode       ? "html"
                         : doc.Wide             ? "text (16-bit)"
                                                : "text";
    std::printf("format: %s\nlength: %u\n", format, doc.TextLength);
    return 0;
}

CommandRegistrar registrar({"info", kUsage, nullptr, Make<InfoCommand>});

}  // namespace
}  // namespace pagewick::cli
