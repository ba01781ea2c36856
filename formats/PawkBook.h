// A PAWK book as the document reads it: every character comes from the reader's current chunk.
#pragma once

#include <memory>

#include "engine/WindowReader.h"
#include "pawk/PawkByteFetch.h"

namespace pagewick {

class PawkBookReader : public WindowReader {
public:
    ReaderTraits Traits() const override {
        ReaderTraits traits;
        traits.windowSize = 65539 / 2;  // Open sets half the book's chunk size
        traits.namesItself = true;
        traits.keepsTabsAndQuoteRule = true;
        traits.fileMarks = true;  // a book converted from LIT keeps the LIT's file marks
        traits.sections = true;
        traits.contents = true;
        traits.printsPages = true;
        traits.printsChapters = true;
        traits.palmExport = true;
        traits.items = ReaderTraits::Items::InBook;
        return traits;
    }
    OpenResult Open(CBookEngine& doc) override;
    bool ServesBytes() const override { return true; }
    uint32_t ByteAt(int32_t position) override;
    std::string FileAt(int32_t position) const override;
    int32_t FileStart(const std::string& name) const override;
    bool ExtractMedia(const std::string& nameInBook, const std::string& path) override;

private:
    std::unique_ptr<PawkByteFetch> fetch_;
};

}  // namespace pagewick
