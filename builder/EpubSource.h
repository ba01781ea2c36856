// An EPUB book taken apart as the source of a new book, as a LIT book is (LitSource): its spine
// files one after the other as one markup body, each behind a file mark naming its container
// path, with every link, picture name and id turned into what a PAWK book's reader follows
// (container paths, "<a name>" anchors); its pictures under their container paths; its
// metadata and contents in the code page.
#pragma once

#include <string>

#include "builder/BookBuilder.h"
#include "formats/epub/EpubResult.h"

namespace pagewick {

// Converts the EPUB book at path into out (left empty on failure). kOk, kReadFailed for a file
// that cannot be opened, kProtected, kDamaged or another reason the book cannot be read; a
// book whose spine gives no text is kNoSpine.
EpubResult OpenEpubSource(const std::string& path, LitSource& out);

// What the builder says for a result that is not kOk: "Cannot open ebook file." for a file that
// cannot be opened, the EPUB reader's own texts (protected, damaged) for the rest.
const char* EpubSourceMessage(EpubResult result);

// One content file (UTF-8 XHTML at container path `file`) as the body's markup in the code
// page. Exposed for tests.
std::string EpubFileMarkup(const std::string& file, std::string_view xhtml);

}  // namespace pagewick
