// Plain text and HTML books, read a window at a time from the file itself or from a member of a
// ZIP archive; the read at position 0 decides between 16-bit and 8-bit text and between markup
// and plain text.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/WindowReader.h"
#include "formats/Utf8Text.h"
#include "formats/ZipArchive.h"

namespace pagewick {

// How the readers take the bytes of a text or HTML file.
enum class TextForm { Cp1252, Utf8, Utf16 };

// The readers' one decision about a text or HTML file's bytes, which the builder makes too: a
// UTF-16 mark (0xFF 0xFE) is 16-bit text; a UTF-8 mark, valid UTF-8 with a character beyond
// ASCII, or an HTML file (its first 4096 bytes hold "<html", or "<HTML" where upperCaseHtml) that
// declares charset=utf-8 is UTF-8 (so is anything when utf8Chosen); the rest is Windows-1252.
// index receives the pass over the bytes, which a UTF-8 book reads its windows through. Empty
// when the source cannot be read.
std::optional<TextForm> DecideTextForm(const ByteSource& source, uint32_t length,
                                       bool upperCaseHtml, bool utf8Chosen, Utf8Index& index);

// What kinds 0 and 1 share: the file's bytes come from a source, and a UTF-8 book is decoded
// into 16-bit characters window by window, through the index its one pass at open built.
class ByteWindowReader : public WindowReader {
public:
    OpenResult Open(CBookEngine& doc) override;
    bool ReadWindow(CBookEngine& doc, uint32_t bytePosition) override;

protected:
    // Opens the source and gives its length; false when it cannot be opened.
    virtual bool OpenSource(CBookEngine& doc, uint64_t& length) = 0;
    virtual ByteSource Source(CBookEngine& doc) = 0;
    // Only the lower-case "<html" marks an archive member as HTML; a file knows "<HTML" too.
    virtual bool UpperCaseHtml() const = 0;

private:
    bool ReadBytes(CBookEngine& doc, uint32_t position);
    bool ReadUtf8(CBookEngine& doc, uint32_t position);
    Utf8Index index_;
    std::vector<char16_t> decoded_;   // the characters of the last UTF-8 window read
    std::vector<uint8_t> collected_;  // the bytes of the last 8-bit read
};

// Kind 0: a ".txt", ".htm" or ".html" file. Opened and closed around each window.
class OpenBookFile;

class TextFileReader : public ByteWindowReader {
public:
    ReaderTraits Traits() const override {
        ReaderTraits traits;
        traits.windowSize = 4096;
        traits.choosesEncoding = true;
        traits.lengthTellsChange = true;
        traits.printsPages = true;
        traits.items = ReaderTraits::Items::BesideBook;  // an HTML file's pictures beside it
        return traits;
    }

protected:
    bool OpenSource(CBookEngine& doc, uint64_t& length) override;
    ByteSource Source(CBookEngine& doc) override;
    bool UpperCaseHtml() const override { return true; }

private:
    std::shared_ptr<OpenBookFile> file_;  // kept open between windows
};

// Kind 1: a text member of a ZIP archive. The member stream stays open between windows and
// continues forward; only a read behind it inflates the member from its start again.
class ZipMemberReader : public ByteWindowReader {
public:
    ReaderTraits Traits() const override {
        ReaderTraits traits;
        traits.windowSize = 32764;
        traits.namesItself = true;
        traits.archiveMember = true;
        traits.choosesEncoding = true;
        traits.lengthTellsChange = true;
        return traits;
    }

protected:
    bool OpenSource(CBookEngine& doc, uint64_t& length) override;
    ByteSource Source(CBookEngine& doc) override;
    bool UpperCaseHtml() const override { return false; }

private:
    ZipMemberStream stream_;
};

}  // namespace pagewick
