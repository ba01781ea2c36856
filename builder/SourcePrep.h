// Preparing the files of a new book: which files a book may hold, and the chains of text
// replacements that turn plain text, HTML and a converted LIT body into the book markup. The book
// keeps 8-bit text in the system code page; a source the readers would read as UTF-8 or UTF-16 is
// prepared as UTF-8 and then made code-page bytes, with references for what the code page lacks.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pawk/PawkFormat.h"

namespace pagewick {

// What the builder's progress window offers the preparation and the writing.
class BuildProgress {
public:
    virtual ~BuildProgress() = default;
    // The text line under the bar.
    virtual void SetText(const std::string& text) = 0;
    // One step further; false once the user asked to stop.
    virtual bool StepIt() = 0;
    // The whole range and the current position, for work measured in its own units.
    virtual void SetRange(int64_t lower, int64_t upper) = 0;
    virtual void SetPos(int64_t position) = 0;
};

// Raised for a file type a book must never carry.
class ExecutableFileError : public std::runtime_error {
public:
    ExecutableFileError() : std::runtime_error("You cannot inlcude executable file types.") {}
};

// True for a picture or media file (stored as it is, not part of the reading order), false for
// a text file; raises ExecutableFileError for an executable type. Decided by the last four
// characters of the name in any letter case.
bool ClassifyFile(std::string_view name);

// Replaces every occurrence of from by to, searching on directly after each inserted text, so
// inserted text is never searched again. Caseless compares ASCII letters without case. Returns
// the number of replacements; an empty from replaces nothing.
size_t ReplaceAll(std::string& text, std::string_view from, std::string_view to,
                  bool caseless = false);

// How a source's text is held while it is prepared: bytes of the code page, or UTF-8.
enum class SourceText { CodePage, Utf8 };

// Reads a source's bytes as the readers would (a UTF-16 or UTF-8 mark, valid UTF-8 beyond ASCII,
// an HTML file declaring charset=utf-8) and makes them what the chains take: UTF-16 becomes
// UTF-8, and a UTF-8 mark is dropped.
SourceText TakeSourceText(std::string& text);
// A UTF-8 text is made what the book keeps with Utf8ToCodePageLabel (util/Cp1252.h): code-page
// bytes, and "&#N;" for every character the code page lacks, which the reader shows.

// A file name as the book keeps it (names here are UTF-8): in the code page when every character
// has a place there, else unchanged.
std::string StoredFileName(std::string_view name);

// Files a book cannot show (other books, documents, archives, pictures and sounds the reader does
// not decode), by the name's extension or, for a file that would be a text, by its first bytes
// (a NUL byte outside a UTF-16 text, or the signature of such a file). The refusal's text, naming
// the file, or "" when the file may go into a book; head may be empty when unknown.
std::string RefusedSource(std::string_view path, std::string_view head);
// The first bytes RefusedSource looks at.
inline constexpr size_t kSourceHeadBytes = 4096;

// The three chains; each rewrites the text in place. progress may be null.
void PrepareText(std::string& text, bool reflow, BuildProgress* progress = nullptr);
void PrepareHtml(std::string& text, bool reflow, BuildProgress* progress = nullptr,
                 SourceText form = SourceText::CodePage);
void PrepareLitBody(std::string& text, bool reflow, BuildProgress* progress = nullptr);

// An HTML fragment made into a one-line plain title, in the fragment's form. A numeric reference
// to a character the code page lacks stays a reference.
std::string PlainTitle(std::string_view html, SourceText form = SourceText::CodePage);

// The name of the converted LIT body in the source list.
inline constexpr const char* kLitBodyName = "LIT Body";

// One text of the book while it is prepared.
struct SourceFile {
    int64_t size = 0;
    // The file's path ("LIT Body" for a converted LIT book).
    std::string path;
    // The name the file is stored under in the book (no folder); the path's file name when empty.
    std::string storedName;
    std::string text;
};

// Prepares one source: its text is taken as the readers would read it, its contents entry (the
// title from its title element, else its file name without extension; the target is the stored
// name and "#") is appended, the matching chain is run, the text is made code-page bytes, and the
// anchor of the target is put in front. A source with no text is left alone.
void PrepareSource(SourceFile& source, bool reflow, std::vector<PawkContentsEntry>& contents,
                   BuildProgress* progress = nullptr);

// PrepareSource for every source in order.
void PrepareSources(std::vector<SourceFile>& sources, bool reflow,
                    std::vector<PawkContentsEntry>& contents, BuildProgress* progress = nullptr);

// The file name of a path without its folder (either separator).
std::string BaseName(std::string_view path);

}  // namespace pagewick
