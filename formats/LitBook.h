// The reader of LIT books as the document sees it, over the LIT book model of formats/lit/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/BookEngine.h"
#include "formats/lit/LitBookFile.h"
#include "formats/lit/LitManifest.h"
#include "formats/lit/LitMarkup.h"
#include "formats/lit/LitPackage.h"

namespace pagewick {

// The reader of source kind 2: opens the book file, keeps it open with its LitBook, and fills the
// document's windows from the markup stream.
class LitBookReader : public WindowReader {
public:
    LitBookReader() = default;
    // A book held in memory instead of the document's file (the fuzzer, tests).
    explicit LitBookReader(std::vector<uint8_t> bytes, const LitBook::Limits& limits = {})
        : memory_(std::move(bytes)), inMemory_(true), book_(limits) {}

    ReaderTraits Traits() const override {
        ReaderTraits traits;
        traits.windowSize = 65535;
        traits.namesItself = true;
        traits.exactCaseMarkup = true;
        traits.ownTitle = true;  // the package's title, kept in the pagination file
        traits.fileMarks = true;
        traits.sections = true;
        traits.contents = true;
        traits.items = ReaderTraits::Items::InBook;
        traits.measuresFromStart = true;
        traits.notesOldPagination = true;
        return traits;
    }
    OpenResult Open(CBookEngine& doc) override;
    bool ReadWindow(CBookEngine& doc, uint32_t bytePosition) override;  // ReadLitWindow
    bool ExtractMedia(const std::string& nameInBook, const std::string& path) override;

    LitBook& Book() { return book_; }

private:
    static bool ReadMemory(void* user, uint32_t offset, uint32_t count, std::vector<uint8_t>& out);

    LitBookFile file_;
    std::vector<uint8_t> memory_;
    bool inMemory_ = false;
    LitBook book_;
    bool titleStored_ = false;
};

// Opens a LIT book for the command line and the builder (no document). 0 or the container's
// error; the file must stay alive as long as the book.
int OpenLitBook(const std::string& path, LitBookFile& file, LitBook& book);

}  // namespace pagewick
