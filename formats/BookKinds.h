// Which format a book is: the source kind of a file by its name (and archive member), the kind
// a library entry of an open book has, and the source kind a library entry opens with. The
// answers come from the one table of formats, the dispatch in formats/WindowReaders.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/BookEngine.h"

namespace pagewick {

class CBookEngine;

// Kinds of library entry.
enum LibraryKinds : int32_t {
    kLibraryText = 0,       // ".txt" file, opens with format code 0
    kLibraryZipMember = 1,  // text or HTML member of a ZIP archive, format code 1
    kLibraryHelp = 2,       // the program's help book, added by the Library lists; format code 3
    kLibraryLit = 3,        // LIT book, format code 2
    kLibraryHtml = 4,       // ".htm" or ".html" file, format code 0
    kLibraryMagazine = 5,   // LIT book marked as a magazine, format code 2 with the magazine flag
    kLibraryPawk = 6,       // PAWK book, format code 3
    kLibraryEpub = 7,       // EPUB book, format code 4
};

// The source kind of a file by the last four characters of its name in any letter case
// (".htm", "html", ".txt", ".lit", ".zip", ".pwk", "pawk", "epub"); a name that ends in none
// of them has `otherwise`, which for the reading programs is plain text.
int32_t SourceKindOfPath(std::string_view path, int32_t otherwise = kSourceText);

// The source kind of a book named by its file and, for an archive, the member read from it;
// -1 when the name says no format, or the format reads archive members and none is named.
int32_t SourceKindOfBook(std::string_view path, const std::string& member);

// Whether books of the source kind are members of an archive (and so need a member's name).
bool SourceKindReadsMembers(int32_t sourceKind);

// The kind a library entry of the document's book has: the one its format is stored as, an
// HTML file's (".htm", "html") or a LIT magazine's where the format has several; a text
// entry when the document's kind has no format.
int32_t LibraryKindOf(const CBookEngine& doc);

// The kind of library entry a file (or archive member) of that name is, by the same endings in
// any letter case; -1 for a name the library does not list (".pwk" is a pagination file's).
int32_t LibraryKindOfName(std::string_view name);

// The source kind a library entry of that kind opens with; -1 for a kind no format keeps
// (the open step then says "Unknown file type.").
int32_t SourceKindOfLibraryKind(int32_t libraryKind);

}  // namespace pagewick
