#include "formats/PawkBook.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "engine/BookEngine.h"
#include "pawk/PawkFile.h"
#include "pawk/PawkFormat.h"
#include "util/AsciiCase.h"
#include "util/Cp1252.h"

namespace pagewick {

OpenResult PawkBookReader::Open(CBookEngine& doc) {
    {
        PawkDiskFile file(doc.BookPath);
        if (file.Size() < 0) return OpenResult::CannotOpen;
    }
    fetch_ = std::make_unique<PawkByteFetch>(doc.BookPath);
    fetch_->onOpened = [&doc](const PawkReader& reader) {
        doc.TextLength = uint32_t(reader.BookLength());
        doc.WindowSize = reader.ChunkSize() / 2;
        // The header keeps Windows-1252 (and references for what it lacks); the document's titles
        // are UTF-8.
        doc.BookTitle = CodePageLabelToUtf8(reader.Title());
        doc.DocumentTitle = doc.BookTitle;
        doc.BookAuthor = CodePageLabelToUtf8(reader.Author());
        doc.BookPublisher = CodePageLabelToUtf8(reader.Publisher());
        doc.BookRights = CodePageLabelToUtf8(reader.Rights());
        doc.BookIdentifier = CodePageLabelToUtf8(reader.Identifier());
        doc.MarkupMode = true;  // PAWK text is always markup
        // The chapter titles are kept in the code page too.
        doc.Contents.clear();
        for (const auto& entry : reader.Contents())
            doc.Contents.push_back(ContentsEntry{CodePageLabelToUtf8(entry.title), entry.target});
        doc.CoverTarget = reader.CoverName();
    };
    Host* host = doc.HostServices;
    fetch_->onCannotReopen = [host]() {
        if (host)
            host->ShowMessage("Cannot open ebook file.", "Pagewick", MessageButtons::Ok,
                              MessageIcon::Error);
    };
    fetch_->ByteAt(0);  // the first fetch opens and parses the book
    if (fetch_->Unusable() || !fetch_->Opened()) return OpenResult::Rejected;
    return OpenResult::Opened;
}

uint32_t PawkBookReader::ByteAt(int32_t position) {
    int byte = fetch_ ? fetch_->ByteAt(position) : PawkByteFetch::kNoByte;
    return byte == PawkByteFetch::kNoByte ? kEndOfText : uint32_t(byte);
}

std::string PawkBookReader::FileAt(int32_t position) const {
    return fetch_ ? fetch_->Reader().FileAt(position) : std::string();
}

int32_t PawkBookReader::FileStart(const std::string& name) const {
    if (!fetch_ || !fetch_->Opened()) return -1;
    for (const auto& file : fetch_->Reader().Order())
        if (EqualIgnoringAsciiCase(file.name, name)) return file.start;
    return -1;
}

bool PawkBookReader::ExtractMedia(const std::string& nameInBook, const std::string& path) {
    if (!fetch_ || !fetch_->Opened()) return false;
    // The reader writes an empty file for a name the book does not hold: that is no item.
    if (!fetch_->Reader().FindChunk(PawkChunkName(nameInBook, 0))) return false;
    PawkDiskFile file(fetch_->Path());
    if (!file.IsOpen()) return false;
    // A picture or sound lives in a temporary file for a page or two: written straight, not
    // synced to the disk, and never through a link someone left at the name.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok =
        fetch_->Reader().ExtractFile(file, nameInBook, [fd](const uint8_t* data, size_t size) {
            while (size > 0) {
                ssize_t n = ::write(fd, data, size);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) return false;
                data += n;
                size -= size_t(n);
            }
            return true;
        });
    return ::close(fd) == 0 && ok;
}

}  // namespace pagewick
