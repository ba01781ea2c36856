// The reader of EPUB books as the document sees it, over the opened book of formats/epub/.
//
// The book's text is its spine files one after the other, each framed as a LIT content file is
// (a page break and a file mark naming its container path before it, a page break after it),
// read as 16-bit characters in markup mode. Each file takes as many characters as its
// uncompressed size in bytes, which the ZIP directory gives: UTF-8 never decodes to more
// characters than bytes, and the characters it leaves over are spaces, which markup collapses.
// So the book's length and every file's place are known at open without inflating anything,
// and a jump anywhere inflates only the file it lands in.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/BookEngine.h"
#include "formats/epub/EpubPackage.h"
#include "formats/epub/EpubStyles.h"

namespace pagewick {

class EpubBookReader : public WindowReader {
public:
    EpubBookReader() = default;
    // A book held in memory instead of the document's file (the fuzzer, tests); its text is cut
    // at maxCharacters.
    explicit EpubBookReader(std::vector<uint8_t> bytes, const EpubLimits& limits = {},
                            uint64_t maxCharacters = 0x7fffffff)
        : memory_(std::move(bytes)),
          inMemory_(true),
          book_(limits),
          maxCharacters_(std::min<uint64_t>(maxCharacters, 0x7fffffff)) {}

    ReaderTraits Traits() const override {
        ReaderTraits traits;
        traits.windowSize = 65536;  // bytes: 32,768 characters
        traits.namesItself = true;
        traits.ownTitle = true;  // the package's title
        // Places are named by the file the reader says holds them, never by the last file mark
        // a layout passed (a page laid out again after the next one would name the next file).
        traits.anchorsById = true;  // XHTML names places by any element's id
        traits.sections = true;
        traits.contents = true;
        traits.items = ReaderTraits::Items::InBook;
        traits.xhtmlMarkup = true;
        traits.measuresFromStart = true;
        traits.lengthTellsChange = true;
        return traits;
    }
    OpenResult Open(CBookEngine& doc) override;
    bool ReadWindow(CBookEngine& doc, uint32_t bytePosition) override;
    std::string FileAt(int32_t position) const override;
    int32_t FileStart(const std::string& name) const override;
    bool ExtractMedia(const std::string& nameInBook, const std::string& path) override;
    // Hrefs and picture names are URLs relative to the file that holds them: a container path,
    // and "" for one that climbs out of the container or is absolute. Outside addresses stand.
    bool ResolveName(const std::string& fromFile, const std::string& written,
                     std::string& name) override;
    // By the class rules of the file's linked style sheets and <style> blocks (EpubStyles).
    TextAlign ClassAlignment(const std::string& fromFile, const std::string& classes) override;

    EpubPackage& Book() { return book_; }
    // Why the last Open failed (kOk when it did not).
    EpubResult OpenError() const { return openError_; }
    // Characters from a character position into out (fewer at the end of the text).
    size_t ReadCharacters(uint64_t position, char16_t* out, size_t count);

private:
    struct Frame {
        uint64_t start = 0;  // the file's first character (its head's)
        uint64_t body = 0;   // where its content begins
        uint64_t end = 0;    // one past its tail
    };
    // The style sheets one spine file names, each scanned once for the whole book.
    struct FileStyles {
        bool scanned = false;
        std::vector<const EpubClassAlignments*> sheets;  // in the order the head names them
        EpubClassAlignments own;                         // its <style> blocks, which come last
    };
    const FileStyles* StylesOf(const std::string& file);
    size_t FrameAt(uint64_t position) const;
    std::u16string_view Decoded(size_t index);

    std::vector<uint8_t> memory_;
    bool inMemory_ = false;
    EpubPackage book_;
    EpubResult openError_ = EpubResult::kOk;
    uint64_t maxCharacters_ = 0x7fffffff;  // positions are 32-bit
    std::vector<Frame> frames_;
    uint64_t length_ = 0;
    // The spine file decoded last, as its first decodedLength_ characters: the buffer only grows,
    // so that no file's characters are cleared before they are written.
    size_t decodedIndex_ = SIZE_MAX;
    std::vector<char16_t> decoded_;
    size_t decodedLength_ = 0;
    std::vector<char16_t> buffer_;
    bool titleStored_ = false;
    std::vector<FileStyles> styles_;                               // by spine index
    std::unordered_map<std::string, EpubClassAlignments> sheets_;  // by container path
    std::string stylesFile_;  // the file asked about last, and its spine index
    size_t stylesIndex_ = SIZE_MAX;
};

// The title an EPUB book's package gives (for the library), read without its text; false when
// the book cannot be opened or names no title.
bool EpubBookTitle(const std::string& path, std::string& title);

}  // namespace pagewick
