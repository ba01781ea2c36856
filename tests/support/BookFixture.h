// A book written to a temporary file and opened in a document with a small, fixed page: every
// character 10 pixels wide (unless set otherwise), lines 15 pixels apart.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/BookEngine.h"
#include "support/RecordingSurface.h"
#include "support/fixtures.h"

namespace pagewick::test {

struct TestBook {
    TempDir dir;
    CBookEngine doc;
    RecordingSurface dc;

    // Writes the bytes to a file named `name` and opens it as a kind 0 book with a text area
    // `width` pixels wide and `height` pixels high.
    explicit TestBook(const std::string& bytes, const std::string& name = "book.htm",
                      int width = 100, int height = 100);
    TestBook() = default;
    // Opens (again) with the current settings.
    bool Open();
    // Draws page n and returns its lines, each the text drawn at one height, in order.
    std::vector<std::string> Lines(int page);
    // Paginates the whole book and returns the words of every page, pages joined by "|".
    std::string AllPages();
    // Pages in the table once the whole book is measured.
    int PageCount();
};

// A text book with its pagination file beside it, as the programs open books.
struct PlacedBook : TestBook {
    explicit PlacedBook(const std::string& bytes, const std::string& name = "book.txt");
    // Closes the book (writing its file) and opens it again with the same settings.
    void Reopen();
};

// UTF-16, low byte first, with the byte-order mark.
std::string Utf16Bytes(const std::u16string& text, bool withMark = true);

}  // namespace pagewick::test
