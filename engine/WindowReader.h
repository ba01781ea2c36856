// The seam between the document and the format readers: a reader fills the document's two
// window buffers with the book's text from a byte position. The engine never knows a format.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace pagewick {

// What character access answers at or past the end of the text. It lies outside the 16-bit
// character range, so every character of a book, "\u00FF" included, can be shown.
constexpr uint32_t kEndOfText = 0x10000;

class CBookEngine;

enum class OpenResult {
    Opened,
    CannotOpen,  // the file (or member) cannot be opened: "Cannot open ebook file."
    Rejected,    // the file opened but its reader does not accept it
};

class WindowReader {
public:
    virtual ~WindowReader() = default;
    // Prepares the book named in the document (path, member) and sets its TextLength.
    virtual OpenResult Open(CBookEngine& doc) = 0;
    // Fills doc.WindowA with one window from the byte position and doc.WindowB with the window
    // after it plus the extra character; the read at position 0 decides Wide and MarkupMode.
    // False when the book could not be read (the window then holds nothing). A reader that
    // serves bytes itself (ServesBytes) never fills the windows and keeps this default.
    virtual bool ReadWindow(CBookEngine& /*doc*/, uint32_t /*bytePosition*/) { return false; }

    // Readers that keep their own window (PAWK books) serve each character themselves: GetChar
    // then asks ByteAt instead of the document's two windows.
    virtual bool ServesBytes() const { return false; }
    virtual uint32_t ByteAt(int32_t /*position*/) { return kEndOfText; }
    // The name of the book's internal file that holds a position ("" when the format has none).
    virtual std::string FileAt(int32_t /*position*/) const { return ""; }
    // Where the book's internal file of that name (any letter case) begins; -1 when the format
    // has no such file or does not say.
    virtual int32_t FileStart(const std::string& /*name*/) const { return -1; }
    // Writes the book's item of that name (a picture, a sound) to a file; false when the format
    // keeps no such items or the item cannot be written.
    virtual bool ExtractMedia(const std::string& /*nameInBook*/, const std::string& /*path*/) {
        return false;
    }
};

// The reader for a source kind (0 text or HTML file, 1 ZIP member, 2 LIT, 3 PAWK); null for a
// kind that has no reader.
std::unique_ptr<WindowReader> MakeWindowReader(int32_t sourceKind);

}  // namespace pagewick
