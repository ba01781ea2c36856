#include "formats/LitBook.h"

#include <algorithm>

namespace pagewick {

namespace {

bool IsContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

}  // namespace

bool LitBookReader::ReadMemory(void* user, uint32_t offset, uint32_t count,
                               std::vector<uint8_t>& out) {
    auto* self = static_cast<LitBookReader*>(user);
    if (uint64_t(offset) + count > self->memory_.size()) return false;
    out.assign(self->memory_.begin() + offset, self->memory_.begin() + offset + count);
    return true;
}

OpenResult LitBookReader::Open(CBookEngine& doc) {
    int rc;
    if (inMemory_) {
        if (memory_.size() > 0xffffffffu) return OpenResult::Rejected;
        rc = book_.Open(&ReadMemory, this, uint32_t(memory_.size()));
    } else {
        if (!file_.Open(doc.BookPath)) return OpenResult::CannotOpen;
        rc = book_.Open(&LitBookFile::Read, &file_, file_.Size());
    }
    if (rc != 0) return OpenResult::Rejected;
    doc.TextLength = book_.Length();
    doc.MarkupMode = true;  // LIT books are always read as markup
    doc.Wide = false;
    if (book_.Metadata().title) {
        std::string title = LitLabelToUtf8(*book_.Metadata().title);
        // The first 64 characters, never cutting one in two.
        size_t chars = 0, cut = 0;
        for (; cut < title.size(); ++cut) {
            if (!IsContinuation(uint8_t(title[cut])) && chars++ == 64) break;
        }
        doc.DocumentTitle = title.substr(0, cut);
    }
    // The rest of the package description, for the properties dialog.
    const LitMetadata& meta = book_.Metadata();
    for (auto [field, target] :
         {std::pair{&meta.author, &doc.BookAuthor}, std::pair{&meta.publisher, &doc.BookPublisher},
          std::pair{&meta.rights, &doc.BookRights}, std::pair{&meta.isbn, &doc.BookIdentifier}}) {
        if (*field) *target = LitLabelToUtf8(**field);
    }
    if (meta.language) doc.BookLanguage = LitLabelToUtf8(*meta.language);
    BuildLitContents(book_.Package(), doc.Contents, doc.CoverTarget);
    if (book_.PackageTooLarge() && doc.HostServices) {
        doc.HostServices->ShowMessage(
            "The book's description is too large to read.\r\nIt opens without its title, "
            "contents and cover.",
            "Pagewick", MessageButtons::Ok, MessageIcon::Information);
    }
    return OpenResult::Opened;
}

bool LitBookReader::ReadWindow(CBookEngine& doc, uint32_t position) {
    const size_t window = size_t(doc.WindowSize);
    doc.MarkupMode = true;
    doc.Wide = false;
    size_t a = book_.ReadMarkup(position, doc.WindowA.data(), window);
    std::fill(doc.WindowA.begin() + std::ptrdiff_t(a), doc.WindowA.end(), 0);
    // The next window and the extra character that follows it.
    size_t b = a == window ? book_.ReadMarkup(uint64_t(position) + window, doc.WindowB.data(),
                                              std::min(window + 1, doc.WindowB.size()))
                           : 0;
    std::fill(doc.WindowB.begin() + std::ptrdiff_t(b), doc.WindowB.end(), 0);
    // Nothing decoded: the position lies past the end, which is then where the book ends.
    if (a == 0 && position < doc.TextLength) doc.TextLength = position;
    if (!titleStored_) {
        doc.SetRegistry("LastBookTitle", doc.DocumentTitle);
        titleStored_ = true;
    }
    return true;
}

bool LitBookReader::ExtractMedia(const std::string& nameInBook, const std::string& path) {
    return book_.ExtractPicture(nameInBook, path);
}

int OpenLitBook(const std::string& path, LitBookFile& file, LitBook& book) {
    if (!file.Open(path)) return kLitReadFailed;
    return book.Open(&LitBookFile::Read, &file, file.Size());
}

}  // namespace pagewick
