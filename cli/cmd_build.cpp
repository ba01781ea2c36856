// pagewick build: makes a PAWK book from HTML, text, picture and media files in reading order,
// or from a LIT book given as the first source, with the same code as the desktop's builder.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "builder/BookBuilder.h"
#include "builder/EpubSource.h"
#include "cli/commands.h"
#include "platform/ConsoleHost.h"
#include "util/AsciiCase.h"
#include "util/Cp1252.h"
#include "util/Utf8.h"

namespace pagewick::cli {
namespace {

constexpr const char* kLitNotFirst =
    "Sorry, cannot create compound eBook including LIT files.\r\nPlease choose this file as your "
    "first entry.";

// The header keeps the code page, with references for the characters it lacks.
std::string CodePage(const std::string& utf8) {
    return Utf8ToCodePageLabel(utf8);
}

bool IsLit(const std::string& path) {
    return path.size() >= 4 && LowerAscii(path.substr(path.size() - 4)) == ".lit";
}

bool IsEpub(const std::string& path) {
    return path.size() >= 5 && LowerAscii(path.substr(path.size() - 5)) == ".epub";
}

bool IsPicture(const std::string& path) {
    std::string lower = LowerAscii(path);
    for (const char* ext : {".png", ".jpg", ".jpeg", ".gif", ".bmp"})
        if (lower.size() >= std::string(ext).size() &&
            lower.compare(lower.size() - std::string(ext).size(), std::string::npos, ext) == 0)
            return true;
    return false;
}

// A progress line on standard error, rewritten in place while it is a terminal.
class TerminalProgress : public BuildProgress {
public:
    void SetText(const std::string& text) override {
        text_ = text;
        Show();
    }
    bool StepIt() override {
        ++pos_;
        Show();
        return true;
    }
    void SetRange(int64_t lower, int64_t upper) override {
        lower_ = lower;
        upper_ = upper;
    }
    void SetPos(int64_t pos) override {
        pos_ = pos;
        Show();
    }
    ~TerminalProgress() override {
        if (shown_) std::fprintf(stderr, "\r%-60s\r", "");
    }

private:
    void Show() {
        int percent =
            upper_ > lower_ ? int((std::min(pos_, upper_) - lower_) * 100 / (upper_ - lower_)) : 0;
        if (percent == percent_ && text_ == shownText_) return;
        percent_ = percent;
        shownText_ = text_;
        shown_ = true;
        std::fprintf(stderr, "\rbuilding %3d%% %-45s", percent, text_.c_str());
        std::fflush(stderr);
    }
    std::string text_, shownText_;
    int64_t lower_ = 0, upper_ = 100, pos_ = 0;
    int percent_ = -1;
    bool shown_ = false;
};

class BuildCommand : public Command {
public:
    void Declare(CLI::App& app) override {
        app.add_option("-o", out_, "the book to write (default: in My eBooks, named by the title)")
            ->type_name("BOOK.pawk");
        app.add_option("--title", title_, "the book's title")->type_name("T");
        app.add_option("--author", author_, "the book's author")->type_name("A");
        app.add_option("--cover", cover_, "a picture for the cover")->type_name("PICTURE");
        app.add_flag("--reflow", reflow_,
                     "reflow paragraphs as the builder's \"Reflow paragraphs\" does");
        app.add_flag("--force", force_, "replace a different book of the same file name");
        app.add_option("SOURCE", sources_, "the files, in reading order");
    }
    int Run() override;

private:
    std::string out_, title_, author_, cover_;
    bool reflow_ = false, force_ = false;
    std::vector<std::string> sources_;
};

int BuildCommand::Run() {
    const std::string& out = out_;
    const std::string& title = title_;
    const std::string& author = author_;
    const std::string& cover = cover_;
    const bool reflow = reflow_;
    const bool force = force_;
    std::vector<std::string> sources = sources_;
    if (sources.empty()) return Fail("build: no source files");
    for (size_t i = 1; i < sources.size(); ++i)
        if (IsLit(sources[i])) return Fail("build: " + sources[i] + ": " + kLitNotFirst);

    BookRequest request;
    request.output = out;
    request.reflow = reflow;
    request.author = CodePage(author);
    LitSource lit;
    if (IsLit(sources[0])) {
        if (sources.size() > 1) return Fail(std::string("build: ") + kLitNotFirst);
        if (!cover.empty()) return Fail("build: a book converted from LIT keeps its own cover");
        LitSourceStatus status = OpenLitSource(sources[0], lit);
        if (status != LitSourceStatus::Ok)
            return Fail("build: " + sources[0] + ": " + LitSourceMessage(status));
        request.lit = &lit;
        request.title = title.empty() ? lit.title : CodePage(title);
        if (author.empty()) request.author = lit.author;
    } else if (IsEpub(sources[0])) {
        // An EPUB book is taken apart as a LIT book is, alone, with its own cover.
        if (sources.size() > 1)
            return Fail("build: a book converted from EPUB is built from that book alone");
        if (!cover.empty()) return Fail("build: a book converted from EPUB keeps its own cover");
        if (EpubResult result = OpenEpubSource(sources[0], lit); result != EpubResult::kOk)
            return Fail("build: " + sources[0] + ": " + EpubSourceMessage(result));
        request.lit = &lit;
        request.title = title.empty() ? lit.title : CodePage(title);
        if (author.empty()) request.author = lit.author;
    } else {
        if (!cover.empty()) {
            if (IsPicture(sources[0]))
                sources[0] = cover;
            else
                sources.insert(sources.begin(), cover);
        }
        request.paths = sources;
        request.title = CodePage(title);
    }
    if (request.title.empty()) request.title = "eBook Title";

    ConsoleHost host;
    host.SetAnswer(force ? MessageAnswer::Yes : MessageAnswer::No);
    TerminalProgress terminal;
    BuildOutcome outcome = WriteBook(request, host, isatty(2) ? &terminal : nullptr);
    switch (outcome.status) {
        case BuildStatus::Ok:
            std::printf("%s\n", outcome.path.string().c_str());
            return 0;
        case BuildStatus::Declined:
            return Fail("build: " + outcome.path.string() +
                        " holds a different book (--force replaces it)");
        case BuildStatus::Cancelled:
            return Fail("build: cancelled");
        case BuildStatus::Failed:
            break;
    }
    return Fail("build: Book creation failed." +
                (outcome.detail.empty() ? std::string() : " (" + outcome.detail + ")"));
}

CommandRegistrar registrar({"build",
                            "build [-o BOOK.pawk] [--title T] [--author A] [--reflow] [--cover "
                            "PICTURE] [--force] SOURCE...",
                            nullptr, Make<BuildCommand>});

}  // namespace
}  // namespace pagewick::cli
