// Plain text and HTML books, read a window at a time from the file itself or from a member of a
// ZIP archive; the read at position 0 decides between 16-bit and 8-bit text and between markup
// and plain text.
#pragma once

#include <cstdint>
#include <string>

#include "engine/WindowReader.h"
#include "formats/ZipArchive.h"

namespace pagewick {

// Kind 0: a ".txt", ".htm" or ".html" file. Opened and closed around each window.
class TextFileReader : public WindowReader {
public:
    OpenResult Open(CBookEngine& doc) override;
    bool ReadWindow(CBookEngine& doc, uint32_t bytePosition) override;  // ReadTextWindow
};

// Kind 1: a text member of a ZIP archive. The member stream stays open between windows and
// continues forward; only a read behind it inflates the member from its start again.
class ZipMemberReader : public WindowReader {
public:
    OpenResult Open(CBookEngine& doc) override;
    bool ReadWindow(CBookEngine& doc, uint32_t bytePosition) override;  // ReadZipWindow

private:
    ZipMemberStream stream_;
};

// Rewrites a title or contents label into plain text: line ends become "-" and the common
// character references their characters (8-bit code page).
void PlainTitleText(std::string& text);

}  // namespace pagewick
