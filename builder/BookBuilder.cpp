#include "builder/BookBuilder.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <set>
#include <system_error>
#include <unordered_set>

#include "pawk/PawkWriter.h"
#include "util/AsciiCase.h"
#include "util/Cp1252.h"
#include "util/LittleEndian.h"
#include "util/Utf8.h"

namespace pagewick {

namespace fs = std::filesystem;

namespace {

constexpr size_t kTitleChars = 64;
// Room for ".pawk" and a temporary suffix within the 255 bytes file systems allow a name.
constexpr size_t kFileNameBytes = 200;

std::string Utf8ToCodePage(std::string_view text) {
    std::string out;
    for (char16_t c : Utf8ToUtf16(text))
        out += char(UnicodeToCp1252(c));
    return out;
}

// The value of attribute name="..." inside the tag that holds position at.
std::string AttributeInTag(std::string_view text, size_t at, std::string_view name) {
    size_t open = text.rfind('<', at);
    size_t close = text.find('>', at);
    if (open == std::string_view::npos || close == std::string_view::npos) return "";
    std::string_view tag = text.substr(open, close - open);
    std::string key = std::string(name) + "=\"";
    size_t k = tag.find(key);
    if (k == std::string_view::npos) return "";
    size_t start = k + key.size();
    size_t end = tag.find('"', start);
    return end == std::string_view::npos ? "" : std::string(tag.substr(start, end - start));
}

// The href of the first reference of exactly this type.
std::string ReferenceHref(std::string_view package, std::string_view type) {
    std::string key = "type=\"" + std::string(type) + "\"";
    size_t at = package.find(key);
    return at == std::string_view::npos ? "" : AttributeInTag(package, at, "href");
}

// Temporary files of the prepared texts, removed when the build ends however it ends.
class TempFiles {
public:
    explicit TempFiles(std::string folder) : folder_(std::move(folder)) {}
    ~TempFiles() {
        for (const auto& p : paths_) {
            std::error_code ec;
            fs::remove(p, ec);
        }
    }
    // Writes bytes into a new "CONV" file; its path, or "" when it cannot be made.
    std::string Write(const std::string& bytes) {
        std::string pattern = (fs::path(folder_) / "CONVXXXXXX").string();
        int fd = mkstemp(pattern.data());
        if (fd < 0) return "";
        paths_.push_back(pattern);
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                ::close(fd);
                return "";
            }
            done += size_t(n);
        }
        return ::close(fd) == 0 ? pattern : "";
    }

private:
    std::string folder_;
    std::vector<std::string> paths_;
};

// Forwards to the caller's progress window and remembers a cancel.
class Progress {
public:
    explicit Progress(BuildProgress* to) : to_(to) {}
    void SetText(const std::string& text) {
        if (to_) to_->SetText(text);
    }
    void SetRange(int64_t lower, int64_t upper) {
        if (to_) to_->SetRange(lower, upper);
    }
    void SetPos(int64_t pos) {
        if (to_) to_->SetPos(pos);
    }
    // Gives the window a turn; false once the user asked to stop.
    bool Poll() {
        if (to_ && !cancelled_ && !to_->StepIt()) cancelled_ = true;
        return !cancelled_;
    }
    bool Cancelled() const { return cancelled_; }
    BuildProgress* Window() { return to_; }

private:
    BuildProgress* to_;
    bool cancelled_ = false;
};

// Reads a whole file; false when it cannot be read.
bool ReadWhole(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0) return false;
    in.seekg(0, std::ios::beg);
    out.resize(size_t(size));
    if (size > 0 && !in.read(out.data(), size)) return false;
    return true;
}

// The title of an existing PAWK book at path; false when it is not a readable PAWK book.
bool ExistingTitle(const fs::path& path, std::string& title) {
    std::ifstream in(path, std::ios::binary);
    char head[16];
    if (!in.read(head, 16) || std::string_view(head, 8) != std::string_view(kPawkMagic, 8))
        return false;
    uint32_t n = Le32(AsBytes(std::string_view(head, sizeof head)), 12);
    if (n > 4096) return false;
    title.resize(n);
    return n == 0 || bool(in.read(title.data(), n));
}

// A name no earlier file of the book has (compared without case): "index.html" again becomes
// "index_2.html".
std::string UniqueName(const std::string& name, std::unordered_set<std::string>& taken) {
    if (taken.insert(PawkFoldCase(name)).second) return name;
    size_t dot = name.rfind('.');
    std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    std::string ext = dot == std::string::npos ? "" : name.substr(dot);
    for (int k = 2;; ++k) {
        std::string candidate = stem + "_" + std::to_string(k) + ext;
        if (taken.insert(PawkFoldCase(candidate)).second) return candidate;
    }
}

void Show(Host& host, const std::string& text) {
    host.ShowMessage(text, kBuildCaption, MessageButtons::Ok, MessageIcon::Error);
}

// A label cut to n bytes, never inside a character reference ("&#26085;"), which would show as
// its digits.
std::string CutLabel(const std::string& s, size_t n) {
    if (s.size() <= n) return s;
    size_t amp = s.rfind('&', n - 1);
    if (amp != std::string::npos && amp + 1 < s.size() && s[amp + 1] == '#') {
        size_t semicolon = s.find(';', amp);
        if (semicolon != std::string::npos && semicolon >= n) return s.substr(0, amp);
    }
    return s.substr(0, n);
}

// Pictures the reader draws; the first file of a book being one makes it the cover.
bool IsCoverPicture(const std::string& path) {
    std::string name = LowerAscii(BaseName(path));
    for (const char* ext : {".png", ".jpg", ".jpeg", ".gif", ".bmp"}) {
        size_t n = std::strlen(ext);
        if (name.size() > n && name.compare(name.size() - n, n, ext) == 0) return true;
    }
    return false;
}

}  // namespace

const char* LitSourceMessage(LitSourceStatus status) {
    switch (status) {
        case LitSourceStatus::CannotOpen:
            return "Cannot open ebook file.";
        case LitSourceStatus::ConversionFailed:
            return "There were errors processing the LIT file.";
        case LitSourceStatus::Ok:
            break;
    }
    return "";
}

std::string CheckSourceFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string head(kSourceHeadBytes, '\0');
    in.read(head.data(), std::streamsize(head.size()));
    head.resize(size_t(std::max<std::streamsize>(in.gcount(), 0)));
    return RefusedSource(path, head);
}

LitCoverChoice ChooseLitCover(std::string_view package) {
    LitCoverChoice choice;
    const std::string coverStandard = ReferenceHref(package, "other.ms-coverimage-standard");
    const std::string thumbStandard = ReferenceHref(package, "other.ms-thumbimage-standard");
    choice.cover = !coverStandard.empty() ? coverStandard : thumbStandard;
    std::vector<std::string> candidates = {ReferenceHref(package, "other.ms-thumbimage"),
                                           ReferenceHref(package, "other.ms-titleimage-standard"),
                                           ReferenceHref(package, "other.ms-coverimage")};
    if (!coverStandard.empty()) candidates.push_back(thumbStandard);
    // A real book often names its cover picture in all four references: a picture the kept cover
    // entry names stays.
    for (const auto& href : candidates)
        if (!href.empty() && href != choice.cover) choice.dropped.push_back(href);
    return choice;
}

LitSourceStatus OpenLitSource(const std::string& path, LitSource& out,
                              const LitBook::Limits& limits) {
    out = LitSource();
    LitBookFile file;
    if (!file.Open(path)) return LitSourceStatus::CannotOpen;
    LitBook book(limits);
    if (book.Open(&LitBookFile::Read, &file, file.Size()) != 0 || book.ManifestResult() != 0)
        return LitSourceStatus::ConversionFailed;
    LitSource lit;
    lit.path = path;
    LitCoverChoice cover = ChooseLitCover(book.Package());
    // A reference may name a picture by its manifest id ("cover") instead of its path
    // ("cover.png"); the new book stores pictures under their paths.
    auto resolve = [&](std::string& href) {
        for (const auto& e : book.Manifest()[3])
            if (e.path == href) return;
        for (const auto& e : book.Manifest()[3])
            if (e.id == href) {
                href = e.path;
                return;
            }
    };
    resolve(cover.cover);
    for (auto& d : cover.dropped)
        resolve(d);
    std::erase(cover.dropped, cover.cover);
    try {
        // The whole body, however long: the book's own limits bound it.
        lit.body.reserve(book.Length());
        book.Collect(
            [&](std::string_view piece) {
                lit.body.append(piece);
                return true;
            },
            [&](const std::string& name, std::vector<uint8_t>&& bytes) {
                for (const auto& d : cover.dropped)
                    if (name == d) return;
                lit.pictures.push_back({name, std::move(bytes)});
            });
    } catch (const std::bad_alloc&) {
        return LitSourceStatus::ConversionFailed;
    }
    // A book with no text converts to nothing worth building.
    if (lit.body.empty()) return LitSourceStatus::ConversionFailed;

    const LitMetadata& meta = book.Metadata();
    auto plain = [](const std::optional<std::string>& s) { return s ? PlainTitle(*s) : ""; };
    lit.title = CutLabel(plain(meta.title), kTitleChars);
    lit.author = plain(meta.author);
    lit.publisher = plain(meta.publisher);
    lit.rights = plain(meta.rights);
    lit.identifier = plain(meta.isbn);

    // The cover entry, unless the picture's name already makes the reader put one in front.
    if (!cover.cover.empty() &&
        PawkFoldCase(cover.cover + ":0").find("cover.png:0") == std::string::npos)
        lit.contents.push_back({0, "Cover Image", cover.cover});
    std::vector<ContentsEntry> chapters;
    std::string ignored;
    BuildLitContents(book.Package(), chapters, ignored);
    for (const auto& c : chapters) {
        if (!ignored.empty() && &c == &chapters.front()) continue;  // its own cover entry
        lit.contents.push_back({0, Utf8ToCodePage(c.title), c.target});
    }
    out = std::move(lit);
    return LitSourceStatus::Ok;
}

std::string BookFileName(const std::string& title) {
    std::string name;
    for (char c : title) {
        auto u = uint8_t(c);
        bool bad = u < 32 || c == '/' || c == '\\' || c == '*' || c == '?' || c == '|' ||
                   c == '<' || c == '>' || c == '\'' || c == '"';
        name += bad ? '_' : c;
    }
    name = LowerAscii(CodePageLabelToUtf8(name));
    if (name.size() > kFileNameBytes) {
        size_t cut = kFileNameBytes;
        while (cut > 0 && (uint8_t(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    return name + ".pawk";
}

BuildOutcome WriteBook(BookRequest& request, Host& host, BuildProgress* window) {
    BuildOutcome outcome;
    Progress progress(window);
    auto fail = [&](const char* message, std::string detail = "") {
        if (message) Show(host, message);
        outcome.status = BuildStatus::Failed;
        outcome.detail = std::move(detail);
        return outcome;
    };
    auto cancelled = [&] {
        outcome.status = BuildStatus::Cancelled;
        return outcome;
    };

    // Where the book goes.
    fs::path out = request.output;
    if (out.empty()) {
        std::string documents = host.DocumentsFolder();
        std::error_code ec;
        if (documents.empty()) return fail(kMsgNoFolder);
        fs::path folder = fs::path(documents) / "My eBooks";
        fs::create_directories(folder, ec);
        if (!fs::is_directory(folder)) return fail(kMsgNoFolder, folder.string());
        out = folder / BookFileName(request.title);
    }
    outcome.path = out;
    {
        std::error_code ec;
        fs::path parent = out.parent_path().empty() ? fs::path(".") : out.parent_path();
        if (!fs::is_directory(parent, ec) || fs::is_directory(out, ec))
            return fail(kMsgCannotOpenOutput, out.string());
        std::string existingTitle;
        if (fs::exists(out, ec) &&
            !(ExistingTitle(out, existingTitle) &&
              existingTitle == CutLabel(request.title, kPawkHeaderStringLimit))) {
            std::string question = "There is already a different eBook saved as\r\n" +
                                   out.string() + "\r\nDo you want to replace it?";
            if (host.ShowMessage(question, kBuildCaption, MessageButtons::YesNo,
                                 MessageIcon::Question) != MessageAnswer::Yes) {
                outcome.status = BuildStatus::Declined;
                return outcome;
            }
        }
    }

    PawkWriter writer;
    writer.title = CutLabel(request.title, kPawkHeaderStringLimit);
    writer.author = CutLabel(request.author, kPawkHeaderStringLimit);
    LitSource* lit = request.lit;
    writer.publisher = lit && !lit->publisher.empty() ? "Converted: " + lit->publisher
                                                      : "Converted by Pagewick, Desktop";
    writer.identifier = lit ? lit->identifier : "";
    writer.rights = lit && !lit->rights.empty() ? "Converted: " + lit->rights : "";

    const size_t count = lit ? 1 : request.paths.size();
    progress.SetRange(0, 100 * int64_t(count));
    progress.SetText("Processing...");
    TempFiles temp(host.TempFolder());
    std::vector<PawkContentsEntry> contents;

    try {
        if (lit) {
            // Everything of the LIT book was taken out when it was opened.
            if (lit->body.empty())
                return fail(LitSourceMessage(LitSourceStatus::ConversionFailed), lit->path);
            contents = lit->contents;
            SourceFile body;
            body.path = kLitBodyName;
            body.text = std::move(lit->body);
            lit->body.clear();
            PrepareSource(body, request.reflow, contents, progress.Window());
            // The body's own entry leads where the first chapter does: it is kept only for a
            // book without chapters, listed under the book's title when it has none of its own.
            bool chapters = std::any_of(lit->contents.begin(), lit->contents.end(),
                                        [](const auto& e) { return e.title != "Cover Image"; });
            if (chapters)
                contents.pop_back();
            else if (contents.back().title.empty())
                contents.back().title = CutLabel(request.title, kPawkHeaderStringLimit);
            std::string file = temp.Write(body.text);
            if (file.empty()) return fail(kMsgOrderFailed, "cannot write a temporary file");
            writer.files.push_back({kLitBodyName, file, std::nullopt, true});
            for (auto& picture : lit->pictures)
                writer.files.push_back({picture.name, "", std::move(picture.bytes), true});
            lit->pictures.clear();
        } else {
            // Every type is checked before anything is read.
            for (const auto& path : request.paths) {
                try {
                    ClassifyFile(BaseName(path));
                } catch (const ExecutableFileError&) {
                    Show(host, kMsgExecutable);
                    return fail(kMsgOrderFailed, path);
                }
                if (std::string refused = RefusedSource(path, ""); !refused.empty()) {
                    Show(host, refused);
                    return fail(kMsgOrderFailed, path);
                }
            }
            // A cover picture other than a PNG (which the reader knows by its stored name) is
            // named by the first contents entry.
            if (!request.paths.empty() && IsCoverPicture(request.paths[0]) &&
                PawkWriter::StoredName(request.paths[0], true) != "cover.png")
                contents.push_back(
                    {0, "Cover Image",
                     StoredFileName(PawkWriter::StoredName(request.paths[0], true))});
            std::unordered_set<std::string> taken;
            for (size_t i = 0; i < request.paths.size(); ++i) {
                const std::string& path = request.paths[i];
                progress.SetPos(50 * int64_t(i));
                if (!progress.Poll()) return cancelled();
                std::string stored =
                    UniqueName(StoredFileName(PawkWriter::StoredName(path, i == 0)), taken);
                std::error_code ec;
                if (!fs::is_regular_file(path, ec)) {
                    Show(host, "Cannot read source file:\r\n" + path);
                    return fail(kMsgOrderFailed, path);
                }
                if (ClassifyFile(BaseName(path))) {
                    writer.files.push_back({stored, path, std::nullopt, true});
                    continue;
                }
                // One text at a time: it is prepared, put aside in a temporary file and
                // dropped, so the sources never have to fit in memory together.
                SourceFile source;
                source.path = path;
                source.storedName = stored;
                if (!ReadWhole(path, source.text)) {
                    Show(host, "Cannot read source file:\r\n" + path);
                    return fail(kMsgOrderFailed, path);
                }
                // What is no text never goes through the text steps, whatever its name.
                if (std::string refused = RefusedSource(
                        path, std::string_view(source.text)
                                  .substr(0, std::min(source.text.size(), kSourceHeadBytes)));
                    !refused.empty()) {
                    Show(host, refused);
                    return fail(kMsgOrderFailed, path);
                }
                source.size = int64_t(source.text.size());
                PrepareSource(source, request.reflow, contents, progress.Window());
                std::string file = temp.Write(source.text);
                if (file.empty()) return fail(kMsgOrderFailed, "cannot write a temporary file");
                writer.files.push_back({stored, file, std::nullopt, true});
            }
        }
    } catch (const std::bad_alloc&) {
        return fail(kMsgOrderFailed, "not enough memory to prepare the text");
    }
    if (!progress.Poll()) return cancelled();
    progress.SetText("Processing...");
    writer.contents = std::move(contents);

    progress.SetText("Compressing...");
    const int64_t half = 50 * int64_t(count);
    writer.progress = [&](int64_t done, int64_t total) {
        progress.SetPos(half + (total > 0 ? half * done / total : half));
        progress.Poll();
    };
    writer.cancelled = [&] { return progress.Cancelled(); };
    PawkWriteResult written = writer.Write(out);
    switch (written.status) {
        case PawkWriteStatus::Ok:
            break;
        case PawkWriteStatus::Cancelled:
            return cancelled();
        case PawkWriteStatus::CannotCreateOutput:
            return fail(kMsgCannotOpenOutput, written.detail);
        case PawkWriteStatus::CannotReadSource:
            Show(host, "Cannot read source file:\r\n" + written.detail);
            return fail(kMsgFilesFailed, written.detail);
        case PawkWriteStatus::StringTooLong:
            return fail(kMsgContentsFailed, written.detail);
        default:
            return fail(kMsgFilesFailed, std::string(PawkWriteStatusText(written.status)) +
                                             (written.detail.empty() ? "" : ": " + written.detail));
    }
    // The old book's page table would be applied to the new one.
    for (const char* suffix : {".pwk", ".pwk2"}) {
        fs::path stale = out;
        stale += suffix;
        std::error_code ec;
        fs::remove(stale, ec);
    }
    progress.SetPos(100 * int64_t(count));
    return outcome;
}

}  // namespace pagewick
