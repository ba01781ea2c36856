// Arbitrary bytes as the pagination file of a small book: opening, measuring, turning pages and
// saving again must never crash or hang, whatever the file claims (page counts, carried text,
// the character width).
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/BookEngine.h"
#include "engine/FixedSurface.h"
#include "engine/PaginationFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pagewick;
    static const std::filesystem::path folder = [] {
        auto dir = std::filesystem::temp_directory_path() /
                   ("pagewick-fuzz-pwk-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        std::string text = "<html><title>Fuzz</title>";
        for (int i = 0; i < 2000; ++i)
            text += "word" + std::to_string(i) + (i % 13 ? " " : "<p>");
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
    // The file never decides the character width, nor holds more pages than the book can have.
    if (doc.Wide || doc.PageStarts.size() > doc.CharCount() + 1) __builtin_trap();
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
