// pagewick text BOOK [-o FILE]: the book as plain UTF-8 text, as a reader would want it, for
// every format the reader opens. The book is read a window at a time and the text written as it
// comes, so a book of any length needs little memory.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/BookArgs.h"
#include "cli/commands.h"
#include "formats/PlainText.h"

namespace pagewick::cli {
namespace {

constexpr const char* kUsage = "text BOOK [-o FILE] [--encoding auto|utf-8|cp1252]";

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

class TextCommand : public Command {
public:
    void Declare(CLI::App& app) override {
        app.add_option("-o", output_, "the file to write (default: standard output)")
            ->type_name("FILE");
        AddEncoding(app, encoding_);
        app.add_option("BOOK", books_, "the book");
    }
    int Run() override;

private:
    std::string output_, encoding_;
    std::vector<std::string> books_;
};

int TextCommand::Run() {
    const std::string& output = output_;
    CommandLineHost host;
    CBookEngine doc;
    doc.HostServices = &host;
    std::string error;
    if (!ApplyEncoding(encoding_, doc, error)) return Fail("text: " + error);
    if (books_.size() != 1) return Fail(std::string("usage: pagewick ") + kUsage);

    if (!OpenBookArgument(doc, books_[0], error)) return Fail(error);

    std::unique_ptr<std::FILE, FileCloser> file;
    std::FILE* out = stdout;
    if (!output.empty()) {
        file.reset(std::fopen(output.c_str(), "wb"));
        if (!file) return Fail("cannot write " + output);
        out = file.get();
    }
    bool written = WriteBookText(doc, [out](std::string_view piece) {
        return std::fwrite(piece.data(), 1, piece.size(), out) == piece.size();
    });
    if (std::fflush(out) != 0) written = false;
    if (file && std::fclose(file.release()) != 0) written = false;
    if (!written) {
        if (!output.empty()) std::remove(output.c_str());
        return Fail("cannot write the text" + (output.empty() ? std::string() : " to " + output));
    }
    return 0;
}

CommandRegistrar registrar({"text", kUsage, nullptr, Make<TextCommand>});

}  // namespace
}  // namespace pagewick::cli
