// The library: the books found under a folder, one entry each, as the Library lists show and
// open them; and the format code of a path's ending as it stands.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "formats/BookKinds.h"

namespace pagewick {

class CBookEngine;

struct LibraryEntry {
    int32_t kind = kLibraryText;
    std::string path;         // the file, or for kind 1 the archive
    std::string member;       // kind 1 only
    std::string title;        // UTF-8
    std::string folderLabel;  // the folder below the scanned root, or "eBooks/"
};

// The format code of a book by its path's last four characters exactly as they stand (".htm",
// "html", ".txt" 0, ".lit" 2, ".zip" 1, ".pwk" and "pawk" 3, "epub" 4); a path that matches
// none of them (one in capitals included) keeps currentCode. The programs detect a book's kind
// in any letter case with SourceKindOfPath (formats/BookKinds.h).
int32_t FormatCodeFromPath(const std::string& path, int32_t currentCode);

// Appends the books under root (sub-folders included, except those whose names begin with ".")
// to entries. listHtml adds ".htm" and ".html" files and archive members, searchZip looks inside
// ZIP archives. openDoc, when given, is the document open at the moment: its LIT book takes its
// kind and title from the document instead of from the file. Each folder is listed in name
// order (bytes compared), sub-folders scanned where they fall in that order. Folders that cannot
// be read, links to folders, special files and archives that cannot be opened are passed over.
void ScanLibrary(const std::string& root, bool listHtml, bool searchZip,
                 std::vector<LibraryEntry>& entries, const CBookEngine* openDoc = nullptr);

// How far a scan goes and what it reads. A scan that must stay quick on a slow card stops once
// the list holds maxEntries (the handheld's limit), leaves titles to ReadLibraryTitle for the
// entries really shown, and gives up as soon as `stop` is set (the list closed meanwhile).
struct LibraryScanOptions {
    bool listHtml = true;
    bool searchZip = false;
    size_t maxEntries = std::numeric_limits<size_t>::max();
    // False: entries get an empty title and LIT books the kind 3 until ReadLibraryTitle; no
    // book file or pagination file is opened by the scan.
    bool readTitles = true;
    const std::atomic<bool>* stop = nullptr;
};
// The same scan under those options. True when it stopped at maxEntries with another book still
// to list (the list is then exactly maxEntries long).
bool ScanLibrary(const std::string& root, const LibraryScanOptions& options,
                 std::vector<LibraryEntry>& entries);

// Fills in what a scan without titles left out: the title (from the pagination file, the PAWK
// header or the file name, as the full scan reads it) and whether a LIT book is a magazine.
// Nothing when the entry has its title already.
void ReadLibraryTitle(LibraryEntry& entry);

// True when the first 32767 bytes of the file hold "newsLEAFS" at an offset below 32752: the
// mark of a LIT book published as a magazine.
bool LitFileIsMagazine(const std::string& path);

// The folder label of an entry's path below a scanned root.
std::string LibraryFolderLabel(const std::string& path, const std::string& root);

// Opens a library entry in the document: sets its path, member, format code, pagination-file
// path, magazine flag and (for plain files) length, then runs the open step.
bool OpenLibraryEntry(CBookEngine& doc, const LibraryEntry& entry);

// Folders deeper than this below the root are not scanned.
constexpr int kLibraryMaxDepth = 64;

}  // namespace pagewick
