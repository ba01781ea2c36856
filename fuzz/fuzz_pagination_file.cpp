// Arbitrary bytes as the pagination file of a small book: opening, measuring, turning pages and
// saving again must never crash or hang, whatever the file claims (page counts, carried text,
// the character width, the encoding kept in its reserved field).
//
// Each input opens the book, walks it to its end and writes the file back, so the book is kept
// small (a little over two text windows, so that windows still move both ways) and on a memory
// file system where there is one: the whole-file save syncs to disk, which on a real disk cost
// more than everything else together.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/BookEngine.h"
#include "engine/FixedSurface.h"
#include "engine/PaginationFile.h"

namespace {

std::filesystem::path WorkFolder() {
    std::error_code error;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, error)) base = std::filesystem::temp_directory_path();
    return base / ("pagewick-fuzz-pwk-" + std::to_string(getpid()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pagewick;
    static const std::filesystem::path folder = [] {
        static const auto dir = WorkFolder();
        std::filesystem::create_directories(dir);
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(dir, error);
        });
        // Paragraphs, a bold run across them and an anchor, so page states and anchors are real.
        std::string text = "<html><title>Fuzz</title>";
        for (int i = 0; i < 1000; ++i) {
            text += "word" + std::to_string(i) + (i % 13 ? " " : "<p>");
            if (i == 300) text += "<b>";
            if (i == 340) text += "</b><a name=\"mid\">";
        }
        std::ofstream(dir / "book.htm", std::ios::binary) << text;
        return dir;
    }();
    const std::string book = (folder / "book.htm").string();
    {
        std::ofstream out(PaginationFilePath(book), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    FixedSurface surface;
    CBookEngine doc;
    doc.BookPath = book;
    doc.PaginationPath = PaginationFilePath(book);
    doc.RightEdge = 200;
    doc.PageHeight = 150;
    doc.LayoutSignature = 0;
    if (!doc.OpenBook()) return 0;
    // The file may keep the person's choice of encoding, and so decide how the bytes are read:
    // this book of plain ASCII is 16-bit exactly when it is read as UTF-8. Its own record of the
    // width is never trusted, and it never holds more pages than the book can have.
    if (doc.Wide != doc.Utf8 || doc.PageStarts.size() > doc.CharCount() + 1) __builtin_trap();
    doc.BuildWidthTable(&surface);
    doc.LayoutPage(&surface, false);
    for (int i = 0; i < 3; ++i)
        doc.NextPage();
    doc.GoToBookmark(0);
    doc.GoToBookmark(3);
    doc.GoToAnchor("book.htm#none");  // a walk to the end over whatever pages the file gave
    doc.PaginateToOffset(0x7ffffff0);
    doc.PreviousPage();
    doc.LayoutPage(&surface, false);
    doc.CloseBook();
    return 0;
}
