// The whole book as plain text, gathered from the pieces WriteBookText hands over.
#pragma once

#include <string>
#include <string_view>

#include "library/PlainText.h"

namespace pagewick::test {

// Appends the book's text to `text`; false when the writer failed (what it wrote before is kept).
inline bool WholeBookText(CBookEngine& doc, std::string& text) {
    return WriteBookText(doc, [&text](std::string_view piece) {
        text += piece;
        return true;
    });
}

}  // namespace pagewick::test
