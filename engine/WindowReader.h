// The seam between the document and the format readers: a reader fills the document's two
// window buffers with the book's text from a byte position. The engine never knows a format: it
// asks the reader what its books are (ReaderTraits) and finds readers in a registry that the
// formats fill.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace pagewick {

// What character access answers at or past the end of the text. It lies outside the 16-bit
// character range, so every character of a book, "\u00FF" included, can be shown.
constexpr uint32_t kEndOfText = 0x10000;

class CBookEngine;

// How a book's style sheets align the text of an element.
enum class TextAlign { None, Centre, Right };

enum class OpenResult {
    Opened,
    CannotOpen,  // the file (or member) cannot be opened: "Cannot open ebook file."
    Rejected,    // the file opened but its reader does not accept it
};

// What the document asks of a format, once, when it opens a book of it. The defaults are those
// of a plain stream of text that keeps nothing else.
struct ReaderTraits {
    // Bytes per window buffer, allocated before Open (a reader may change WindowSize in Open).
    int32_t windowSize = 4096;
    // The book names itself (a title tag, its header, the pagination file): a title the caller
    // set from the file name is dropped.
    bool namesItself = false;
    // The book is a member of an archive: the member's name is remembered beside the path.
    bool archiveMember = false;
    // 8-bit text read in the encoding the person chose (or decided from the bytes); the choice is
    // kept in the pagination file, and positions of another reading start afresh.
    bool choosesEncoding = false;
    // A change of the text's length means the file changed: the saved place is dropped.
    bool lengthTellsChange = false;
    // Tags and the older references without ";" are recognised only as written, never in upper
    // case.
    bool exactCaseMarkup = false;
    // The book's title comes from the book itself, never from a title tag of its text.
    bool ownTitle = false;
    // Tabs are kept as white space, and the end of a block quote is a space instead of a line
    // break.
    bool keepsTabsAndQuoteRule = false;
    // The text carries file marks ("<curfile>"), each naming the internal file it begins.
    bool fileMarks = false;
    // Any element's id attribute marks a place links can lead to, not only an anchor's.
    bool anchorsById = false;
    // The markup is XHTML as book writers make it: emphasis and strong tags with attributes
    // ("<b class=x>", "<em>"), list items and table rows on lines of their own, table cells
    // apart by a space (ClassifyXhtmlTag).
    bool xhtmlMarkup = false;
    // Files and contents targets divide the book into sections (the handheld's section steps).
    bool sections = false;
    // The book carries a table of contents of its own (the Table of Contents command).
    bool contents = false;
    // The shells print its pages, and its chapters by the contents entries.
    bool printsPages = false;
    bool printsChapters = false;
    // The book is one the desktop wraps as a Palm database for the handheld (Send to Palm).
    bool palmExport = false;
    // Where the items a page names (pictures, sounds) come from.
    enum class Items { None, BesideBook, InBook };
    Items items = Items::None;
    // Anchors are named after the file the layout passed last: pagination always measures from
    // the first page.
    bool measuresFromStart = false;
    // A pagination file older than version 4 is said to be outdated when the book opens.
    bool notesOldPagination = false;
};

class WindowReader {
public:
    virtual ~WindowReader() = default;
    // What the books of this reader are.
    virtual ReaderTraits Traits() const { return {}; }
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
    // An href or picture name written in the internal file fromFile, as the book names its
    // files and places ("Text/ch2.xhtml" or "Text/ch2.xhtml#x", the folders spelt out): true
    // when the reader resolved it, with name "" for one that leads out of the book (it then
    // leads nowhere); false when the format's names stand as written.
    virtual bool ResolveName(const std::string& /*fromFile*/, const std::string& /*written*/,
                             std::string& /*name*/) {
        return false;
    }
    // The alignment the book's style sheets give an element of fromFile by its class attribute
    // (one or more class names, as written).
    virtual TextAlign ClassAlignment(const std::string& /*fromFile*/,
                                     const std::string& /*classes*/) {
        return TextAlign::None;
    }
};

using WindowReaderFactory = std::function<std::unique_ptr<WindowReader>()>;
// Registers the reader of a source kind (a later registration of the kind replaces the earlier).
void RegisterWindowReader(int32_t sourceKind, WindowReaderFactory factory);
// The reader for a source kind (0 text or HTML file, 1 ZIP member, 2 LIT, 3 PAWK, 4 EPUB, as the
// formats register them); null for a kind that has no reader.
std::unique_ptr<WindowReader> MakeWindowReader(int32_t sourceKind);

}  // namespace pagewick
