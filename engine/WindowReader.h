// The seam between the document and the format readers: a reader fills the document's two
// window buffers with the book's text from a byte position. The engine never knows a format.
#pragma once

#include <cstdint>
#include <memory>

namespace pagewick {

class CBookEngine;

class WindowReader {
public:
    virtual ~WindowReader() = default;
    // Prepares the book named in the document (path, member) and sets its TextLength. False when
    // the book cannot be opened.
    virtual bool Open(CBookEngine& doc) = 0;
    // Fills doc.WindowA with one window from the byte position and doc.WindowB with the window
    // after it plus the extra character; the read at position 0 decides Wide and MarkupMode.
    // False when the book could not be read (the window then holds nothing).
    virtual bool ReadWindow(CBookEngine& doc, uint32_t bytePosition) = 0;
};

// The reader for a source kind (0 text or HTML file, 1 ZIP member, 2 LIT, 3 PAWK); null for a
// kind that has no reader.
std::unique_ptr<WindowReader> MakeWindowReader(int32_t sourceKind);

}  // namespace pagewick
