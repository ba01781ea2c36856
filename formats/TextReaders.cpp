#include "formats/TextReaders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <string_view>

#include "engine/BookEngine.h"
#include "util/LittleEndian.h"

namespace pagewick {

namespace {

// The first window of a file, where the mark of a UTF-16 book and an HTML book's charset are.
constexpr size_t kFirstWindow = 4096;

bool Holds(const std::vector<uint8_t>& buffer, size_t length, std::string_view what) {
    length = std::min(length, buffer.size());
    auto begin = buffer.begin(), end = buffer.begin() + std::ptrdiff_t(length);
    return std::search(begin, end, what.begin(), what.end()) != end;
}

}  // namespace

std::optional<TextForm> DecideTextForm(const ByteSource& source, uint32_t length,
                                       bool upperCaseHtml, bool utf8Chosen, Utf8Index& index) {
    uint8_t head[kFirstWindow];
    int64_t got = source(0, head, std::min<size_t>(sizeof head, length));
    if (got < 0) return std::nullopt;
    // A UTF-16 book says so with its mark and is read as it is.
    if (got >= 2 && head[0] == 0xFF && head[1] == 0xFE) return TextForm::Utf16;
    std::string_view first(reinterpret_cast<const char*>(head), size_t(got));
    bool html = first.find("<html") != std::string_view::npos ||
                (upperCaseHtml && first.find("<HTML") != std::string_view::npos);
    // Unless the book is UTF-8 whatever its bytes hold, the pass ends where they stop being UTF-8.
    bool utf8Anyway = utf8Chosen || (html && DeclaresUtf8(head, size_t(got)));
    if (!index.Build(source, length, !utf8Anyway)) return std::nullopt;
    if (utf8Anyway || index.HasByteOrderMark() || (index.AllValid() && index.HasMultiByte()))
        return TextForm::Utf8;
    return TextForm::Cp1252;
}

OpenResult ByteWindowReader::Open(CBookEngine& doc) {
    uint64_t length = 0;
    if (!OpenSource(doc, length)) return OpenResult::CannotOpen;
    // Positions are 32-bit: a larger file is read to its first 2 GB.
    doc.TextLength = uint32_t(std::min<uint64_t>(length, 0x7fffffff));
    doc.Utf8 = false;
    if (doc.EncodingChoice == TextEncoding::Cp1252) return OpenResult::Opened;
    std::optional<TextForm> form = DecideTextForm(Source(doc), doc.TextLength, UpperCaseHtml(),
                                                  doc.EncodingChoice == TextEncoding::Utf8, index_);
    if (!form) return OpenResult::CannotOpen;
    // 16-bit text is told by the read at position 0 again, as for a book read as Windows-1252.
    doc.Utf8 = *form == TextForm::Utf8;
    if (doc.Utf8)
        doc.TextLength = uint32_t(std::min<uint64_t>(2ull * index_.CharCount(), 0x7ffffffe));
    else
        index_ = Utf8Index();  // the index is not needed
    return OpenResult::Opened;
}

bool ByteWindowReader::ReadWindow(CBookEngine& doc, uint32_t position) {
    return doc.Utf8 ? ReadUtf8(doc, position) : ReadBytes(doc, position);
}

bool ByteWindowReader::ReadBytes(CBookEngine& doc, uint32_t position) {
    const size_t window = size_t(doc.WindowSize);
    // Two windows and the extra character of the second, in one read.
    std::vector<uint8_t>& collected = collected_;
    collected.resize(2 * window + 2);
    int64_t got = Source(doc)(position, collected.data(), collected.size());
    // The book went away: the window holds nothing. Past the text the windows hold nothing.
    const size_t n = got < 0 ? 0 : size_t(got);
    const size_t inA = std::min(n, window), inB = n > window ? n - window : 0;
    std::memcpy(doc.WindowA.data(), collected.data(), inA);
    std::fill(doc.WindowA.begin() + std::ptrdiff_t(inA), doc.WindowA.end(), 0);
    if (inB > 0) std::memcpy(doc.WindowB.data(), collected.data() + window, inB);
    std::fill(doc.WindowB.begin() + std::ptrdiff_t(inB), doc.WindowB.end(), 0);
    if (got < 0) return false;
    if (position == 0) {
        // The read at position 0 decides between 16-bit and 8-bit text and whether it is HTML.
        const auto& a = doc.WindowA;
        if (a.size() >= 2 && a[0] == 0xFF && a[1] == 0xFE) {
            doc.Wide = true;
            doc.MarkupMode = false;
        } else {
            doc.Wide = false;
            doc.MarkupMode =
                Holds(a, window, "<html") || (UpperCaseHtml() && Holds(a, window, "<HTML"));
        }
    }
    return true;
}

bool ByteWindowReader::ReadUtf8(CBookEngine& doc, uint32_t position) {
    // A window of 16-bit characters is WindowSize bytes: half as many characters.
    const size_t chars = size_t(doc.WindowSize) / 2;
    decoded_.resize(2 * chars + 1);
    int64_t got = index_.Decode(Source(doc), position / 2, decoded_.data(), decoded_.size());
    const size_t n = got < 0 ? 0 : size_t(got);
    // Past the text (and when the read failed) the windows hold nothing.
    std::fill(doc.WindowA.begin() + std::ptrdiff_t(2 * std::min(n, chars)), doc.WindowA.end(), 0);
    std::fill(doc.WindowB.begin() + std::ptrdiff_t(2 * (n > chars ? n - chars : 0)),
              doc.WindowB.end(), 0);
    if (got < 0) return false;
    // The windows hold the characters low byte first.
    StoreLe16Units(doc.WindowA.data(), decoded_.data(), std::min(n, chars));
    if (n > chars) StoreLe16Units(doc.WindowB.data(), decoded_.data() + chars, n - chars);
    if (position == 0) {
        doc.Wide = true;
        std::u16string_view first(decoded_.data(), std::min(n, chars));
        doc.MarkupMode = first.find(u"<html") != std::u16string_view::npos ||
                         (UpperCaseHtml() && first.find(u"<HTML") != std::u16string_view::npos);
    }
    return true;
}

// The book's file, opened at the first window and kept open while the book is. Each read first
// asks whether the file still has a name: a book deleted (or replaced by another file of its name)
// fails its next window, as it did when the file was opened around every read, for two system
// calls a window instead of three, and no walk of the path.
class OpenBookFile {
public:
    explicit OpenBookFile(std::string path) : path_(std::move(path)) {}
    ~OpenBookFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenBookFile(const OpenBookFile&) = delete;
    OpenBookFile& operator=(const OpenBookFile&) = delete;

    int64_t Read(uint64_t position, uint8_t* out, size_t n) {
        if (position > uint64_t(std::numeric_limits<off_t>::max())) return -1;
        if (fd_ < 0 && (fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC)) < 0) return -1;
        struct stat st;
        if (::fstat(fd_, &st) != 0 || st.st_nlink == 0) {
            // Gone: closed, so that a file put back under the name is read from then on.
            ::close(fd_);
            fd_ = -1;
            return -1;
        }
        size_t got = 0;
        while (got < n) {
            const ssize_t r = ::pread(fd_, out + got, n - got, off_t(position + got));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) return -1;
            if (r == 0) break;  // the end of the file
            got += size_t(r);
        }
        return int64_t(got);
    }

private:
    const std::string path_;
    int fd_ = -1;
};

bool TextFileReader::OpenSource(CBookEngine& doc, uint64_t& length) {
    std::ifstream file(doc.BookPath, std::ios::binary | std::ios::ate);
    if (!file) return false;
    std::streamoff size = file.tellg();
    if (size < 0) return false;
    length = uint64_t(size);
    file_ = std::make_shared<OpenBookFile>(doc.BookPath);
    return true;
}

ByteSource TextFileReader::Source(CBookEngine&) {
    return [file = file_](uint64_t position, uint8_t* out, size_t n) -> int64_t {
        return file ? file->Read(position, out, n) : -1;
    };
}

bool ZipMemberReader::OpenSource(CBookEngine& doc, uint64_t& length) {
    if (!stream_.Open(doc.BookPath, doc.MemberName)) return false;
    length = stream_.Size();
    return true;
}

ByteSource ZipMemberReader::Source(CBookEngine&) {
    return [this](uint64_t position, uint8_t* out, size_t n) {
        return stream_.ReadAt(position, out, n);
    };
}

}  // namespace pagewick
