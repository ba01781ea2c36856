// A book of any format the readers open written out as an EPUB 3 book (with an NCX for EPUB 2
// readers), for `pagewick convert` and Wickstand's "Save as EPUB...".
//
// The book is read through its document, as the reader shows it: the character stream in the
// engine's markup, its contents, cover, pictures and metadata. The text is split where the book
// has files (the file marks of LIT books and EPUB spines, a PAWK book's members); a book that is
// one file (text, HTML, an archive's member) is split about every 200 KB where a paragraph
// begins, so that no content document is too large for a handheld. Plain text becomes
// paragraphs at its blank lines. Pictures the text shows (JPEG, PNG, GIF, SVG) go into the book
// under safe names; others keep their description as text. Contents entries leading to the
// text keep their titles and places; those leading to pictures, sounds or outside addresses
// are left out, as an EPUB's contents lead only to its documents.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "formats/epub/EpubWriter.h"

namespace pagewick {

class CBookEngine;

struct EpubExportOptions {
    // Deflate level of the text (see EpubWriteOptions).
    int compression = 6;
    // The share done (0 to 1), as the book is read and then written; answering false cancels.
    std::function<bool(double done)> progress;
    // Seconds since 1970 for the package's modification time; now when unset.
    std::optional<int64_t> modified;
};

struct EpubExportOutcome {
    EpubWriteResult result = EpubWriteResult::kOk;
    std::string problem;  // what the writer said of a failure (a file, a name)
    size_t documents = 0;
    size_t pictures = 0;  // the cover included
    // The book stopped reading before its end: nothing was written.
    bool unreadable = false;
    explicit operator bool() const { return !unreadable && result == EpubWriteResult::kOk; }
};

// Writes the book open in doc (opened with OpenBook or PrepareSource, its pagination file left
// alone) to target, under a temporary name renamed over target once whole. The document's
// windows are moved; pictures are extracted into its private temporary folder and removed again.
// A failed or cancelled export leaves nothing at target and any file there untouched.
EpubExportOutcome ExportEpub(CBookEngine& doc, const std::filesystem::path& target,
                             const EpubExportOptions& options = {});

// One line for a failed export: "cannot write OUT.epub", "the conversion was cancelled", ...
std::string EpubExportMessage(const EpubExportOutcome& outcome,
                              const std::filesystem::path& target);

// Whether a path names an EPUB book by its suffix (".epub" in any letter case).
bool HasEpubSuffix(const std::filesystem::path& path);

// The file name a book is saved under as EPUB: its title with / \ * ? | < > : " and control
// characters made "_", cut to a length every file system takes, and ".epub" ("eBook.epub" for
// an empty title).
std::string EpubFileName(const std::string& title);

// Opens in doc the book that open holds (its path, member, kind and encoding), without its
// pagination file and without remembering it as the last book: a second reading of a book
// already shown, which the export may move through freely. False when it cannot be opened.
bool OpenSameBook(CBookEngine& doc, const CBookEngine& open);

}  // namespace pagewick
