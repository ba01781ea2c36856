// Books for the writer's tests, made the way a conversion makes them: markup through
// XhtmlFromMarkup, files named by EpubNames, pictures under their stored names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formats/epub/EpubWriter.h"

namespace pagewick::test {

// Markup as books hold it and the body it must become.
struct MarkupCase {
    const char* markup;
    const char* body;
};
const std::vector<MarkupCase>& MarkupCases();

// A picture of the almanac LIT fixture ("lamp" a GIF, "harbour" a JPEG, "cover" a PNG), its
// bytes as the LIT container holds them.
std::string AlmanacPicture(const std::string& id);

// Two chapters from markup with links between them and a picture, nested contents, a cover,
// two creators and an ISBN.
EpubBook TwoChapterBook();
// The almanac LIT fixture's decoded files, pictures, contents and metadata.
EpubBook AlmanacBook();
// Every one of MarkupCases() as a document of its own; no cover, ISBN or language.
EpubBook CarelessMarkupBook();

// True when the body parses as XML with no reference XML does not define.
bool IsWellFormedBody(std::string_view body);

}  // namespace pagewick::test
