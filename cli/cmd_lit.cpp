// "pagewick lit ...": tools for looking inside LIT books, damaged ones included.
//   lit entries BOOK.lit      one line per directory entry: name, section, offset, size and the
//                             SHA-256 of the entry's bytes, or error:CODE when fetching fails
//   lit cat BOOK.lit NAME     one entry's bytes to standard output
//   lit decode BOOK.lit NAME [--package]
//                             one compiled entry decoded to markup ("/meta" and --package in
//                             package mode), links as written (no manifest)
// Subcommands are a table; a new one is one function and one line in kSubcommands (with the
// function that declares its options, if it has any).
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "formats/LitBook.h"
#include "formats/lit/LitBinary.h"
#include "formats/lit/LitContainer.h"
#include "util/Sha256.h"

namespace pagewick::cli {

namespace {

// What a subcommand is given: the words after its name and its options.
struct LitArgs {
    std::vector<std::string> words;
    bool package = false;
};

const char* LitErrorText(int code) {
    switch (code) {
        case kLitNoCallback:
            return "no read callback";
        case kLitNoMemory:
            return "out of memory or section too large";
        case kLitReadFailed:
            return "the file could not be read";
        case kLitLzxIncomplete:
            return "LZX section incomplete";
        case kLitNotFound:
            return "no entry with that name";
        case kLitMalformed:
            return "malformed file";
        case kLitBadVersion:
            return "unsupported version";
        case kLitValueTooLarge:
            return "a 64-bit value too large";
        case kLitUnsupportedTransform:
            return "section transform other than LZX";
        case kLitBadSectionData:
            return "bad section data or LZX decoding error";
        default:
            return "unknown error";
    }
}

// Opens the book and its container through the reader's file callback; on failure prints the
// message and returns false with the exit status in status.
bool OpenBook(const std::string& path, LitBookFile& book, LitContainer& lit, int& status) {
    if (!book.Open(path)) {
        status = Fail("cannot open \"" + path + "\"");
        return false;
    }
    int rc = lit.LitOpen(&LitBookFile::Read, &book, book.Size());
    if (rc != 0) {
        status = Fail("error " + std::to_string(rc) + ": \"" + path +
                      "\" is not a readable LIT book (" + LitErrorText(rc) + ")");
        return false;
    }
    return true;
}

// Names go on one line: control characters are shown as \xNN.
std::string PrintableName(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return out;
}

int Entries(const LitArgs& given) {
    const std::vector<std::string>& args = given.words;
    if (args.size() != 1) return Fail("usage: pagewick lit entries BOOK.lit");
    LitBookFile book;
    LitContainer lit;
    int status = 0;
    if (!OpenBook(args[0], book, lit, status)) return status;
    std::vector<uint8_t> data;
    for (const LitDirEntry& e : lit.Entries()) {
        int rc = lit.LitGetEntry(e.name, &data, nullptr);
        std::string hash =
            rc == 0 ? Sha256::Hex(data.data(), data.size()) : "error:" + std::to_string(rc);
        std::printf("%s\t%llu\t%llu\t%llu\t%s\n", PrintableName(e.name).c_str(),
                    static_cast<unsigned long long>(e.section),
                    static_cast<unsigned long long>(e.offset),
                    static_cast<unsigned long long>(e.size), hash.c_str());
    }
    return std::fflush(stdout) == 0 ? 0 : Fail("cannot write the listing");
}

int Cat(const LitArgs& given) {
    const std::vector<std::string>& args = given.words;
    if (args.size() != 2) return Fail("usage: pagewick lit cat BOOK.lit NAME");
    LitBookFile book;
    LitContainer lit;
    int status = 0;
    if (!OpenBook(args[0], book, lit, status)) return status;
    std::vector<uint8_t> data;
    int rc = lit.LitGetEntry(args[1], &data, nullptr);
    if (rc != 0) {
        return Fail("error " + std::to_string(rc) + ": cannot read entry \"" + args[1] + "\" (" +
                    LitErrorText(rc) + ")");
    }
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), stdout) != data.size()) {
        return Fail("cannot write the entry");
    }
    return std::fflush(stdout) == 0 ? 0 : Fail("cannot write the entry");
}

// Decodes one compiled entry ("/data/ID/content" in HTML mode, "/meta" in package mode) to
// standard output. The manifest groups are left empty: links stay as they are written.
int Decode(const LitArgs& given) {
    bool package = given.package;
    const std::vector<std::string>& rest = given.words;
    if (rest.size() != 2) return Fail("usage: pagewick lit decode BOOK.lit NAME [--package]");
    LitBookFile book;
    LitContainer lit;
    int status = 0;
    if (!OpenBook(rest[0], book, lit, status)) return status;
    std::vector<uint8_t> data;
    int rc = lit.LitGetEntry(rest[1], &data, nullptr);
    if (rc != 0) {
        return Fail("error " + std::to_string(rc) + ": cannot read entry \"" + rest[1] + "\" (" +
                    LitErrorText(rc) + ")");
    }
    if (rest[1] == "/meta") package = true;
    const LitManifestGroups noManifest;
    bool written = true;
    const LitOutputSink toStdout = [&](const char* text, size_t length) -> long {
        if (std::fwrite(text, 1, length, stdout) != length) {
            written = false;
            return -1;
        }
        return static_cast<long>(length);
    };
    const long result = DecodeLitBinary(data, 0, data.size(),
                                        package ? LitDecodeMode::Package : LitDecodeMode::Html,
                                        &noManifest, toStdout);
    if (std::fflush(stdout) != 0 || !written) return Fail("cannot write the markup");
    if (result < 0) {
        return Fail("error " + std::to_string(result) + ": \"" + rest[1] + "\" " +
                    (result == kLitBinaryBadUtf8 ? "holds an invalid UTF-8 sequence"
                                                 : "is not well-formed compiled markup"));
    }
    return 0;
}

void DeclareDecode(CLI::App& app, LitArgs& args) {
    app.add_flag("--package", args.package, "decode in package mode (as \"/meta\" is)");
}

struct Subcommand {
    const char* name;
    const char* usage;
    int (*run)(const LitArgs&);
    void (*declare)(CLI::App&, LitArgs&) = nullptr;
};

const Subcommand kSubcommands[] = {
    {"entries", "lit entries BOOK.lit", &Entries},
    {"cat", "lit cat BOOK.lit NAME", &Cat},
    {"decode", "lit decode BOOK.lit NAME [--package]", &Decode, &DeclareDecode},
};

class LitCommand : public Command {
public:
    void Declare(CLI::App& app) override {
        app_ = &app;
        for (const Subcommand& sub : kSubcommands) {
            CLI::App* tool = app.add_subcommand(sub.name, sub.usage);
            SetUpCommandApp(*tool, sub.usage);
            tool->add_option("ARGS", args_.words, "the book and the entry's name");
            if (sub.declare) sub.declare(*tool, args_);
        }
    }
    int Run() override {
        for (const Subcommand& sub : kSubcommands)
            if (app_->got_subcommand(sub.name)) return sub.run(args_);
        std::string usage = "usage:";
        for (const Subcommand& sub : kSubcommands)
            usage += std::string(" pagewick ") + sub.usage + ";";
        usage.pop_back();
        const std::vector<std::string> words = app_->remaining();
        return Fail(words.empty() ? usage : "unknown lit command \"" + words[0] + "\"; " + usage);
    }

private:
    CLI::App* app_ = nullptr;
    LitArgs args_;
};

const CommandRegistrar kRegistrar(
    {"lit", "lit entries BOOK.lit | lit cat BOOK.lit NAME | lit decode BOOK.lit NAME [--package]",
     nullptr, Make<LitCommand>});

}  // namespace

}  // namespace pagewick::cli
