#include "builder/EpubExport.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "engine/BookEngine.h"
#include "formats/epub/XhtmlFromMarkup.h"
#include "util/AsciiCase.h"
#include "util/Cp1252.h"
#include "util/Utf8.h"

namespace pagewick {

namespace fs = std::filesystem;

namespace {

// A document of a book that is one file ends at the first paragraph past this many characters.
constexpr size_t kChapterChars = 200 * 1024;
// How far apart the reader is asked which file holds a place, when looking for its files.
constexpr uint32_t kFileProbeStep = 4096;
// The share of the work that reading the book takes; writing the archive takes the rest.
constexpr double kReadShare = 0.7;
// Room for ".epub" and the writer's temporary suffix within the 255 bytes a name may have.
constexpr size_t kFileNameBytes = 200;

bool EndsWith(const std::u16string& text, std::u16string_view tail) {
    return text.size() >= tail.size() &&
           std::u16string_view(text).substr(text.size() - tail.size()) == tail;
}

// Where the book's files begin, for readers that say which file holds a place (PAWK members,
// EPUB spine files). Files are contiguous, so a place holding the same file as an earlier one
// has no other file between them; a change is narrowed down by halves.
std::vector<std::pair<uint32_t, std::string>> FileStarts(const CBookEngine& doc) {
    std::vector<std::pair<uint32_t, std::string>> starts;
    const uint32_t count = doc.CharCount();
    if (count == 0) return starts;
    std::string name = doc.FileNameAt(0);
    if (name.empty()) return starts;
    starts.emplace_back(0, name);
    uint32_t at = 0;
    while (at < count) {
        uint32_t next = at;
        std::string there = name;
        while (there == name && next < count - 1) {
            next = std::min(count - 1, next + kFileProbeStep);
            there = doc.FileNameAt(int32_t(next));
        }
        if (there == name) break;
        uint32_t same = next - std::min(next - at, kFileProbeStep), differs = next;
        while (differs - same > 1) {
            const uint32_t middle = same + (differs - same) / 2;
            if (doc.FileNameAt(int32_t(middle)) == name)
                same = middle;
            else
                differs = middle;
        }
        name = doc.FileNameAt(int32_t(differs));
        if (name.empty()) break;
        starts.emplace_back(differs, name);
        at = differs;
    }
    return starts;
}

// The book's character stream cut into content documents, each handed on as it is complete.
class Splitter {
public:
    using Emit = std::function<void(const std::string& name, std::u16string_view markup)>;

    Splitter(bool markup, bool joinLines, bool splitByLength, Emit emit)
        : markup_(markup),
          joinLines_(joinLines),
          splitByLength_(splitByLength),
          emit_(std::move(emit)) {}

    void Put(char16_t c) {
        if (!markup_) {
            PutText(c);
            return;
        }
        current_ += c;
        if (c == u'<') {
            lastTag_ = current_.size() - 1;
            return;
        }
        if (c == u'-' && EndsWith(current_, u"<!--")) inComment_ = true;
        if (c != u'>') return;
        if (inComment_) {
            if (EndsWith(current_, u"-->")) inComment_ = false;
            return;
        }
        if (readingName_ && EndsWith(current_, u"</curfile>")) {
            readingName_ = false;
            const size_t head = std::u16string_view(u"<curfile>").size();
            const size_t tail = std::u16string_view(u"</curfile>").size();
            name_ = Utf16ToUtf8(std::u16string_view(current_).substr(
                nameAt_ + head, current_.size() - tail - nameAt_ - head));
            return;
        }
        if (EndsWith(current_, u"<curfile>")) {
            marks_ = true;
            Cut(current_.size() - 9);
            readingName_ = true;
            nameAt_ = 0;
            return;
        }
        if (splitByLength_ && !marks_ && current_.size() >= kChapterChars &&
            lastTag_ != std::u16string::npos && StartsParagraph(lastTag_))
            Cut(lastTag_);
    }

    // A file of the book begins here.
    void FileStart(const std::string& name) {
        EndLine();
        Cut(current_.size());
        name_ = name;
    }

    void Finish() {
        EndLine();
        if (paragraph_) current_ += u"</p>\n";
        paragraph_ = false;
        Cut(current_.size());
        if (!emitted_) emit_(name_, u"");
    }

private:
    bool StartsParagraph(size_t at) const {
        std::u16string_view tag = std::u16string_view(current_).substr(at + 1);
        auto is = [&](std::u16string_view name) {
            if (tag.size() <= name.size()) return false;
            for (size_t i = 0; i < name.size(); ++i)
                if ((tag[i] | 0x20) != name[i]) return false;
            const char16_t after = tag[name.size()];
            return after == u'>' || after == u' ' || after == u'\t' || after == u'\r' ||
                   after == u'\n';
        };
        for (std::u16string_view name : {u"p", u"h1", u"h2", u"h3", u"h4", u"h5", u"h6", u"div"})
            if (is(name)) return true;
        return false;
    }

    // Plain text: paragraphs at blank lines, the lines of one joined by line breaks (or spaces,
    // for hard-wrapped prose read with its lines joined).
    void PutText(char16_t c) {
        if (c == u'\r') return;
        if (c == u'\n' || c == u'\f') {
            if (!lineHasText_ || c == u'\f') {
                EndLine();
                if (paragraph_) current_ += u"</p>\n";
                paragraph_ = false;
                if (splitByLength_ && current_.size() >= kChapterChars) Cut(current_.size());
            } else {
                EndLine();
            }
            return;
        }
        if (c != u' ' && c != u'\t') lineHasText_ = true;
        switch (c) {
            case u'&':
                line_ += u"&amp;";
                break;
            case u'<':
                line_ += u"&lt;";
                break;
            case u'>':
                line_ += u"&gt;";
                break;
            default:
                line_ += c;
        }
    }

    void EndLine() {
        if (markup_) return;
        if (lineHasText_) {
            current_ += paragraph_ ? (joinLines_ ? u" " : u"<br>") : u"<p>";
            paragraph_ = true;
            current_ += line_;
        }
        line_.clear();
        lineHasText_ = false;
    }

    // Hands on what stands before `at` as a document, unless it holds nothing but the frame
    // readers put between files (page breaks, line breaks, white space).
    void Cut(size_t at) {
        std::u16string_view doc = std::u16string_view(current_).substr(0, at);
        auto trimmed = [](std::u16string_view text, bool fromEnd) {
            for (bool changed = true; changed && !text.empty();) {
                changed = false;
                const char16_t c = fromEnd ? text.back() : text.front();
                if (c == u' ' || c == u'\r' || c == u'\n' || c == u'\t' || c == u'\f') {
                    text = fromEnd ? text.substr(0, text.size() - 1) : text.substr(1);
                    changed = true;
                    continue;
                }
                for (std::u16string_view token : {u"<newpage>", u"<br>"}) {
                    if (text.size() < token.size()) continue;
                    if (fromEnd ? text.substr(text.size() - token.size()) == token
                                : text.substr(0, token.size()) == token) {
                        text = fromEnd ? text.substr(0, text.size() - token.size())
                                       : text.substr(token.size());
                        changed = true;
                    }
                }
            }
            return text;
        };
        doc = trimmed(doc, true);
        if (!trimmed(doc, false).empty()) {
            emit_(name_, doc);
            emitted_ = true;
        }
        current_.erase(0, at);
        name_.clear();
        lastTag_ = std::u16string::npos;
    }

    bool markup_, joinLines_, splitByLength_;
    Emit emit_;
    std::u16string current_;
    std::string name_;
    size_t lastTag_ = std::u16string::npos;
    bool inComment_ = false;
    bool readingName_ = false;
    size_t nameAt_ = 0;
    bool marks_ = false;
    bool emitted_ = false;
    // Plain text.
    std::u16string line_;
    bool lineHasText_ = false;
    bool paragraph_ = false;
};

// An identifier that is an ISBN (digits, hyphens and spaces, ten or thirteen digits).
bool LooksLikeIsbn(std::string_view id) {
    if (id.starts_with("urn:isbn:")) id.remove_prefix(9);
    size_t digits = 0;
    for (char c : id) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == 'X' || c == 'x')
            ++digits;
        else if (c != '-' && c != ' ')
            return false;
    }
    return digits == 10 || digits == 13;
}

std::vector<std::string> Creators(const std::string& author) {
    std::vector<std::string> creators;
    size_t at = 0;
    while (at <= author.size()) {
        size_t amp = author.find(" & ", at);
        std::string one = author.substr(at, amp == std::string::npos ? amp : amp - at);
        if (!one.empty()) creators.push_back(one);
        if (amp == std::string::npos) break;
        at = amp + 3;
    }
    return creators;
}

std::string FirstBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    char bytes[16] = {};
    in.read(bytes, sizeof bytes);
    return std::string(bytes, size_t(in.gcount()));
}

// The pictures the text names, each extracted once and kept under its name in the new book.
class Pictures {
public:
    Pictures(CBookEngine& doc, EpubNames& names) : doc_(doc), names_(names) {}
    ~Pictures() {
        for (const std::string& file : temporaries_)
            std::remove(file.c_str());
    }

    // The stored name of the picture a src (or the cover's name) names, "" when the book holds
    // none that every EPUB reader shows.
    std::string Stored(std::string_view src) {
        const std::string key(src);
        if (auto it = byName_.find(key); it != byName_.end()) return it->second;
        std::string& stored = byName_[key];
        if (key.empty() || IsOutsideTarget(key)) return stored;
        std::string clean = key.substr(0, key.find_first_of("?#"));
        const size_t dot = clean.find_last_of('.');
        bool temporary = false;
        const std::string file = doc_.ItemFile(
            clean, dot == std::string::npos ? std::string() : clean.substr(dot), temporary);
        if (file.empty()) return stored;
        if (temporary) temporaries_.push_back(file);
        const std::string type = EpubMediaType(clean, FirstBytes(file));
        if (!IsEpubCorePicture(type)) return stored;
        stored = names_.Resource(clean);
        resources_.push_back(EpubResource{stored, type, {}, file});
        return stored;
    }

    std::vector<EpubResource>& Resources() { return resources_; }

private:
    CBookEngine& doc_;
    EpubNames& names_;
    std::unordered_map<std::string, std::string> byName_;
    std::vector<EpubResource> resources_;
    std::vector<std::string> temporaries_;
};

}  // namespace

bool HasEpubSuffix(const fs::path& path) {
    return LowerAscii(path.extension().string()) == ".epub";
}

std::string EpubFileName(const std::string& title) {
    std::string name;
    for (unsigned char c : title) {
        const bool bad = c < 0x20 || c == 0x7f ||
                         std::string_view("/\\*?|<>:\"").find(char(c)) != std::string_view::npos;
        name += bad ? '_' : char(c);
    }
    if (name.size() > kFileNameBytes) {
        size_t cut = kFileNameBytes;
        while (cut > 0 && (uint8_t(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    // A name of dots alone would be no file's name.
    if (name.find_first_not_of(". ") == std::string::npos) name = "eBook";
    return name + ".epub";
}

bool OpenSameBook(CBookEngine& doc, const CBookEngine& open) {
    doc.HostServices = open.HostServices;
    doc.BookPath = open.BookPath;
    doc.MemberName = open.MemberName;
    doc.SourceKind = open.SourceKind;
    doc.PaginationPath.clear();
    doc.DocumentTitle = open.DocumentTitle;
    doc.EncodingOverride = open.EncodingChoice;
    if (!doc.PrepareSource()) return false;
    // A title the book's text gives (an HTML title tag) is known only once it was laid out.
    if (doc.DocumentTitle.empty()) doc.DocumentTitle = open.DocumentTitle;
    doc.JoinLines = open.JoinLines;
    return true;
}

EpubExportOutcome ExportEpub(CBookEngine& doc, const fs::path& target,
                             const EpubExportOptions& options) {
    EpubExportOutcome outcome;
    auto cancelled = [&](double done) {
        return options.progress && !options.progress(std::clamp(done, 0.0, 1.0));
    };
    doc.GetChar(0);  // the first window decides the width and the markup
    const uint32_t count = doc.CharCount();

    EpubBook book;
    EpubNames names;
    Pictures pictures(doc, names);
    XhtmlOptions xhtml;
    xhtml.picture = [&pictures](std::string_view src) { return pictures.Stored(src); };
    XhtmlFromMarkup converter(xhtml);

    // A book of one file is named after it: its parts, and the first one for its own links.
    const fs::path own = doc.MemberName.empty() ? fs::path(doc.BookPath) : fs::path(doc.MemberName);
    const std::string ownStem = own.stem().string().empty() ? "text" : own.stem().string();
    const std::vector<std::pair<uint32_t, std::string>> starts = FileStarts(doc);
    const bool oneFile = starts.empty() && !doc.Form.fileMarks;
    bool first = true;
    Splitter splitter(
        doc.MarkupMode, doc.JoinLines != 0, starts.size() <= 1,
        [&](const std::string& name, std::u16string_view markup) {
            const std::string original =
                !name.empty() ? name : (first && oneFile ? own.filename().string() : std::string());
            const std::string stored = names.Document(name.empty() ? ownStem : name);
            converter.Add(stored, original, markup);
            first = false;
        });

    size_t nextStart = 0;
    uint32_t reported = 0;
    for (uint32_t at = 0; at < count;) {
        while (nextStart < starts.size() && starts[nextStart].first <= at)
            splitter.FileStart(starts[nextStart++].second);
        const uint32_t until = nextStart < starts.size() ? starts[nextStart].first : count;
        if (at - reported >= 65536 || at == 0) {
            reported = at;
            if (cancelled(kReadShare * at / count)) {
                outcome.result = EpubWriteResult::kCancelled;
                return outcome;
            }
        }
        const uint8_t* bytes = nullptr;
        size_t run = std::min<size_t>(doc.WindowRun(int32_t(at), bytes), until - at);
        if (run == 0) {
            const uint32_t c = doc.GetChar(int32_t(at));
            if (c == kEndOfText) break;
            // A reader that serves bytes (PAWK) gives 8-bit text in the code page.
            const char16_t unit = doc.Wide || c > 0xFF ? char16_t(c) : Cp1252ToUnicode(uint8_t(c));
            splitter.Put(unit == 0 ? u' ' : unit);
            ++at;
            continue;
        }
        for (size_t i = 0; i < run; ++i) {
            const char16_t unit = doc.Wide ? char16_t(bytes[2 * i] | bytes[2 * i + 1] << 8)
                                           : Cp1252ToUnicode(bytes[i]);
            splitter.Put(unit == 0 ? u' ' : unit);
        }
        at += uint32_t(run);
    }
    // A book that stopped reading part of the way is not written as if that were all of it.
    if (doc.SourceFailed) {
        outcome.unreadable = true;
        return outcome;
    }
    splitter.Finish();
    converter.Finish();

    // The metadata the reader gives, else what the text says of itself.
    EpubBookInfo& info = book.info;
    info.title = doc.DocumentTitle;
    if (info.title.empty()) info.title = converter.Title(0);
    if (info.title.empty()) info.title = ownStem;
    info.creators = Creators(doc.BookAuthor);
    info.publisher = doc.BookPublisher;
    info.rights = doc.BookRights;
    if (LooksLikeIsbn(doc.BookIdentifier))
        info.isbn = doc.BookIdentifier;
    else
        info.identifier = doc.BookIdentifier;
    info.language = doc.BookLanguage;
    info.modified = options.modified;

    const size_t documents = converter.Size();
    for (size_t i = 0; i < documents; ++i) {
        std::string title = converter.Title(i);
        if (title.empty())
            title = documents > 1 ? info.title + " (" + std::to_string(i + 1) + ")" : info.title;
        book.documents.push_back({converter.StoredName(i), title, converter.TakeBody(i)});
    }
    // The contents go in reading order, as EPUB readers step through them: an entry leading
    // back to an earlier file (books whose writer lost an entry's place send it to their first
    // file) keeps its title and leads where the entry before it does.
    size_t reached = 0;
    for (const ContentsEntry& entry : doc.Contents) {
        if (entry.target.empty() || IsOutsideTarget(entry.target)) continue;
        std::optional<XhtmlTarget> place = converter.Resolve(entry.target);
        if (!place) continue;
        if (place->document < reached && !book.contents.empty()) {
            EpubContentsItem item = book.contents.back();
            item.title = entry.title;
            book.contents.push_back(std::move(item));
            continue;
        }
        reached = place->document;
        book.contents.push_back(
            {entry.title, converter.StoredName(place->document), place->fragment, 0});
    }
    if (!doc.CoverTarget.empty()) {
        const std::string cover = pictures.Stored(doc.CoverTarget);
        for (const EpubResource& r : pictures.Resources())
            if (r.name == cover) book.cover = r;
    }
    for (const EpubResource& r : pictures.Resources())
        if (!book.cover || r.name != book.cover->name) book.resources.push_back(r);
    outcome.documents = book.documents.size();
    outcome.pictures = pictures.Resources().size();

    EpubWriteOptions write;
    write.compression = options.compression;
    if (options.progress)
        write.progress = [&](double done) {
            return options.progress(kReadShare + (1 - kReadShare) * std::clamp(done, 0.0, 1.0));
        };
    EpubWriter writer(write);
    outcome.result = writer.Write(book, target);
    outcome.problem = writer.Problem();
    return outcome;
}

std::string EpubExportMessage(const EpubExportOutcome& outcome, const fs::path& target) {
    if (outcome.unreadable) return "the book cannot be read to its end";
    switch (outcome.result) {
        case EpubWriteResult::kOk:
            return "";
        case EpubWriteResult::kCancelled:
            return "the conversion was cancelled";
        case EpubWriteResult::kCannotCreate:
        case EpubWriteResult::kWriteFailed:
            return "cannot write " + target.string();
        case EpubWriteResult::kUnreadableFile:
            return "cannot read the book's picture " + outcome.problem;
        default:
            return std::string("the book cannot be written as EPUB (") +
                   EpubWriteResultName(outcome.result) +
                   (outcome.problem.empty() ? "" : ": " + outcome.problem) + ")";
    }
}

}  // namespace pagewick
