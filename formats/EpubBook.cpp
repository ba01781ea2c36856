#include "formats/EpubBook.h"

#include <algorithm>
#include <cstring>

#include "formats/epub/EpubPath.h"
#include "util/AsciiCase.h"
#include "util/LittleEndian.h"
#include "util/Utf8.h"

namespace pagewick {

namespace {

// What every spine file's markup begins and ends with, around its content: the frame of a LIT
// content file, so that the layout treats both alike.
constexpr std::u16string_view kHeadStart = u"<newpage><br><curfile>";
constexpr std::u16string_view kHeadEnd = u"</curfile><a name=\"\"></a>";
constexpr std::u16string_view kTail = u" <newpage>\r\n \r\n";

std::u16string Head(const std::string& path) {
    std::u16string head(kHeadStart);
    head += Utf8ToUtf16(path);
    head += kHeadEnd;
    return head;
}

// The first 64 characters of a UTF-8 title, never cutting one in two.
std::string CutTitle(const std::string& title) {
    size_t chars = 0, cut = 0;
    for (; cut < title.size(); ++cut) {
        if ((uint8_t(title[cut]) & 0xC0) != 0x80 && chars++ == 64) break;
    }
    return title.substr(0, cut);
}

}  // namespace

OpenResult EpubBookReader::Open(CBookEngine& doc) {
    openError_ = inMemory_ ? book_.OpenMemory(std::move(memory_)) : book_.Open(doc.BookPath);
    memory_.clear();
    if (openError_ == EpubResult::kReadFailed && !inMemory_) return OpenResult::CannotOpen;
    if (openError_ != EpubResult::kOk) {
        if (doc.HostServices) {
            doc.HostServices->ShowMessage(EpubOpenMessage(openError_), "Pagewick",
                                          MessageButtons::Ok, MessageIcon::Error);
            doc.FailureSaid = true;
        }
        return OpenResult::Rejected;
    }
    // Every file's place from the sizes the directory gives. A book past the longest text the
    // positions reach is read to its end there.
    // A file claiming more than the archive would ever inflate is refused when it is read: it
    // takes no room, rather than pages of nothing.
    const EpubLimits& limits = book_.Archive().Limits();
    uint64_t position = 0;
    for (const EpubSpineItem& item : book_.Spine()) {
        const bool believable =
            item.size <= limits.memberBytes && item.size / limits.memberRatio <= item.storedSize;
        Frame frame;
        frame.start = position;
        frame.body = position + kHeadStart.size() + Utf8ToUtf16(item.path).size() + kHeadEnd.size();
        frame.end = frame.body + (believable ? item.size : 0) + kTail.size();
        frames_.push_back(frame);
        position = frame.end;
    }
    length_ = std::min(position, maxCharacters_);
    doc.TextLength = uint32_t(2 * length_);
    doc.Wide = true;
    doc.MarkupMode = true;
    const EpubMetadata& meta = book_.Metadata();
    if (!meta.title.empty()) doc.DocumentTitle = CutTitle(meta.title);
    doc.BookAuthor = meta.creators;
    doc.BookPublisher = meta.publisher;
    doc.BookRights = meta.rights;
    doc.BookIdentifier = !meta.isbn.empty() ? meta.isbn : meta.identifier;
    doc.BookLanguage = meta.language;
    for (const EpubContentsEntry& entry : book_.Contents()) {
        // An entry that leads nowhere keeps its title and goes to no place of the book.
        std::string target =
            entry.path.empty() ? std::string()
                               : entry.path + (entry.fragment.empty() ? "" : "#" + entry.fragment);
        doc.Contents.push_back(ContentsEntry{entry.title, target});
    }
    if (book_.CoverIsPicture()) doc.CoverTarget = book_.CoverPath();
    return OpenResult::Opened;
}

size_t EpubBookReader::FrameAt(uint64_t position) const {
    auto after = std::upper_bound(frames_.begin(), frames_.end(), position,
                                  [](uint64_t p, const Frame& f) { return p < f.start; });
    return size_t(after - frames_.begin()) - 1;
}

std::u16string_view EpubBookReader::Decoded(size_t index) {
    if (index == decodedIndex_) return {decoded_.data(), decodedLength_};
    decodedIndex_ = index;
    decodedLength_ = 0;
    std::shared_ptr<const std::string> bytes;
    // A file that cannot be read (a bad checksum, broken data, a bomb) is blank; the rest reads.
    if (book_.Content(index, bytes) != EpubResult::kOk || !bytes) return {};
    const auto* p = reinterpret_cast<const uint8_t*>(bytes->data());
    size_t n = bytes->size(), at = 0;
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) at = 3;  // the byte-order mark
    const Frame& frame = frames_[index];
    // Characters past the end of the book's text (a book cut at its longest) are never read.
    const uint64_t bodyEnd = std::min(frame.end - kTail.size(), std::max(length_, frame.body));
    const size_t room = size_t(bodyEnd - frame.body);
    // Never more characters than bytes.
    const size_t most = std::min(n - at, room);
    if (decoded_.size() < most) decoded_.resize(most);
    size_t used = 0;
    decodedLength_ = DecodeUtf8Text(p + at, n - at, decoded_.data(), most, used);
    char16_t* const text = decoded_.data();
    // A NUL would end the text where it stands.
    if (std::memchr(p + at, 0, used)) std::replace(text, text + decodedLength_, u'\0', u' ');
    return {text, decodedLength_};
}

size_t EpubBookReader::ReadCharacters(uint64_t position, char16_t* out, size_t count) {
    size_t done = 0;
    while (done < count && position < length_) {
        const size_t index = FrameAt(position);
        const Frame& frame = frames_[index];
        const uint64_t bodyEnd = frame.end - kTail.size();
        size_t take;
        if (position < frame.body) {
            const std::u16string head = Head(book_.Spine()[index].path);
            const size_t from = size_t(position - frame.start);
            take = std::min(count - done, head.size() - from);
            std::memcpy(out + done, head.data() + from, take * 2);
        } else if (position < bodyEnd) {
            const std::u16string_view text = Decoded(index);
            const size_t from = size_t(position - frame.body);
            take = size_t(std::min<uint64_t>(count - done, bodyEnd - position));
            // What the file's bytes leave over of its room is spaces.
            const size_t real = from < text.size() ? std::min(take, text.size() - from) : 0;
            if (real) std::memcpy(out + done, text.data() + from, real * 2);
            std::fill(out + done + real, out + done + take, u' ');
        } else {
            const size_t from = size_t(position - bodyEnd);
            take = std::min(count - done, kTail.size() - from);
            std::memcpy(out + done, kTail.data() + from, take * 2);
        }
        take = size_t(std::min<uint64_t>(take, length_ - position));
        done += take;
        position += take;
    }
    return done;
}

bool EpubBookReader::ReadWindow(CBookEngine& doc, uint32_t bytePosition) {
    doc.Wide = true;
    doc.MarkupMode = true;
    const size_t chars = size_t(doc.WindowSize) / 2;
    buffer_.resize(2 * chars + 1);
    const size_t n = ReadCharacters(bytePosition / 2, buffer_.data(), buffer_.size());
    // The windows hold 16-bit characters low byte first; what the text leaves of a window is
    // zeros.
    auto put = [](std::vector<uint8_t>& window, const char16_t* text, size_t count) {
        count = std::min(count, window.size() / 2);
        StoreLe16Units(window.data(), text, count);
        std::fill(window.begin() + ptrdiff_t(2 * count), window.end(), 0);
    };
    put(doc.WindowA, buffer_.data(), std::min(n, chars));
    put(doc.WindowB, buffer_.data() + std::min(n, chars), n > chars ? n - chars : 0);
    if (!titleStored_) {
        doc.SetRegistry("LastBookTitle", doc.DocumentTitle);
        titleStored_ = true;
    }
    return true;
}

std::string EpubBookReader::FileAt(int32_t position) const {
    if (frames_.empty() || position < 0) return "";
    return book_.Spine()[FrameAt(uint64_t(position))].path;
}

int32_t EpubBookReader::FileStart(const std::string& name) const {
    const std::vector<EpubSpineItem>& spine = book_.Spine();
    for (size_t i = 0; i < spine.size(); ++i)
        if (EqualIgnoringAsciiCase(spine[i].path, name) && frames_[i].start < length_)
            return int32_t(frames_[i].start);
    return -1;
}

bool EpubBookReader::ExtractMedia(const std::string& nameInBook, const std::string& path) {
    // A picture named by its container path (the cover, a link the layout resolved), else as
    // written in a content file: resolved against the folders of the spine's files.
    if (book_.ExtractMember(nameInBook, path) == EpubResult::kOk) return true;
    std::string_view tried;
    for (const EpubSpineItem& item : book_.Spine()) {
        std::string_view folder = ContainerFolder(item.path);
        if (folder == tried) continue;
        tried = folder;
        if (book_.ExtractPicture(item.path, nameInBook, path) == EpubResult::kOk) return true;
    }
    return false;
}

bool EpubBookReader::ResolveName(const std::string& fromFile, const std::string& written,
                                 std::string& name) {
    if (IsOutsideTarget(written)) return false;
    std::string path, fragment;
    if (fromFile.empty() || !ResolveHref(fromFile, written, path, fragment)) {
        name.clear();
        return true;
    }
    name = fragment.empty() ? path : path + "#" + fragment;
    return true;
}

const EpubBookReader::FileStyles* EpubBookReader::StylesOf(const std::string& file) {
    const std::vector<EpubSpineItem>& spine = book_.Spine();
    if (file != stylesFile_) {
        stylesFile_ = file;
        stylesIndex_ = SIZE_MAX;
        for (size_t i = 0; i < spine.size() && stylesIndex_ == SIZE_MAX; ++i)
            if (spine[i].path == file) stylesIndex_ = i;
    }
    if (stylesIndex_ == SIZE_MAX) return nullptr;
    styles_.resize(spine.size());
    FileStyles& styles = styles_[stylesIndex_];
    if (styles.scanned) return &styles;
    styles.scanned = true;
    // Sheets are a few kilobytes; one past these bounds is not read for its looks.
    constexpr size_t kSheetsPerFile = 16, kSheets = 64;
    constexpr uint64_t kSheetBytes = 1u << 20;
    std::shared_ptr<const std::string> bytes;
    if (book_.Content(stylesIndex_, bytes) != EpubResult::kOk || !bytes) return &styles;
    std::vector<std::string> links;
    std::string inlineCss;
    HeadStyleSheets(*bytes, links, inlineCss);
    if (links.size() > kSheetsPerFile) links.resize(kSheetsPerFile);
    for (const std::string& href : links) {
        std::string path, fragment;
        if (!ResolveHref(file, href, path, fragment)) continue;
        auto known = sheets_.find(path);
        if (known == sheets_.end()) {
            if (sheets_.size() >= kSheets) continue;
            std::string css;
            EpubClassAlignments rules;
            if (book_.ReadMember(path, css, kSheetBytes) == EpubResult::kOk) rules.Scan(css);
            known = sheets_.emplace(path, std::move(rules)).first;
        }
        styles.sheets.push_back(&known->second);
    }
    styles.own.Scan(inlineCss);
    return &styles;
}

TextAlign EpubBookReader::ClassAlignment(const std::string& fromFile, const std::string& classes) {
    const FileStyles* styles = StylesOf(fromFile);
    if (!styles) return TextAlign::None;
    auto find = [styles](std::string_view name) {
        EpubAlign align = styles->own.Find(name);
        for (auto sheet = styles->sheets.rbegin();
             align == EpubAlign::kUnsaid && sheet != styles->sheets.rend(); ++sheet)
            align = (*sheet)->Find(name);
        return align;
    };
    // Of several classes, the last one a rule aligns counts.
    EpubAlign align = EpubAlign::kUnsaid;
    std::string_view rest = classes;
    while (!rest.empty()) {
        size_t start = rest.find_first_not_of(" \t\r\n\f");
        if (start == std::string_view::npos) break;
        rest.remove_prefix(start);
        size_t end = std::min(rest.find_first_of(" \t\r\n\f"), rest.size());
        if (EpubAlign found = find(rest.substr(0, end)); found != EpubAlign::kUnsaid) align = found;
        rest.remove_prefix(end);
    }
    return align == EpubAlign::kCentre  ? TextAlign::Centre
           : align == EpubAlign::kRight ? TextAlign::Right
                                        : TextAlign::None;
}

bool EpubBookTitle(const std::string& path, std::string& title) {
    EpubPackage book;
    if (book.Open(path) != EpubResult::kOk || book.Metadata().title.empty()) return false;
    title = CutTitle(book.Metadata().title);
    return true;
}

}  // namespace pagewick
