// The eBook builder without its window: a LIT book taken apart as the source of a new book, and
// WriteBook, which prepares every source and writes the PAWK book. The desktop dialog and the
// command line both drive it; messages go through the Host, progress and cancelling through a
// BuildProgress.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "builder/SourcePrep.h"
#include "formats/LitBook.h"
#include "pawk/PawkFormat.h"
#include "util/Host.h"

namespace pagewick {

// A LIT book converted for the builder: its markup body, its pictures (held in memory under the
// names its text uses), its metadata (8-bit, in the code page) and its contents.
struct LitSource {
    struct Picture {
        std::string name;
        std::vector<uint8_t> bytes;
    };
    std::string path;
    std::string title, author, publisher, rights, identifier;
    std::vector<PawkContentsEntry> contents;
    std::string body;
    std::vector<Picture> pictures;
};

enum class LitSourceStatus {
    Ok,
    CannotOpen,        // "Cannot open ebook file."
    ConversionFailed,  // "There were errors processing the LIT file."
};

// The message for a status that is not Ok.
const char* LitSourceMessage(LitSourceStatus status);

// Converts the LIT book at path. On failure out is left empty, so nothing of it can be built.
LitSourceStatus OpenLitSource(const std::string& path, LitSource& out,
                              const LitBook::Limits& limits = {});

// Whether a file may go into a book, as the builder's file list checks a file added or dropped:
// the refusal's text (RefusedSource, from the file's name and first bytes) or "".
std::string CheckSourceFile(const std::string& path);

// The cover and the pictures to drop, read from a LIT package description. Exposed for tests.
struct LitCoverChoice {
    std::string cover;                 // the cover picture's href ("" when there is none)
    std::vector<std::string> dropped;  // hrefs of pictures the new book does not carry
};
LitCoverChoice ChooseLitCover(std::string_view package);

// The file name a book is saved under: the title with / \ * ? | < > ' " and control characters
// made "_", in lower case, cut to a length every file system takes, and ".pawk".
std::string BookFileName(const std::string& title);

// The message texts of a build, as the user sees them.
inline constexpr const char* kBuildCaption = "Pagewick";
inline constexpr const char* kMsgNoFolder = "Cannot create file to save into.";
inline constexpr const char* kMsgCannotOpenOutput = "Error opening output file.";
inline constexpr const char* kMsgExecutable =
    "Error processing eBook.\r\nYou cannot include executable file types.";
inline constexpr const char* kMsgOrderFailed = "Error handling file order";
inline constexpr const char* kMsgContentsFailed = "Error Handling the Table of Contents";
inline constexpr const char* kMsgFilesFailed = "Error handling files";

struct BookRequest {
    // The files in reading order (ignored when lit is set).
    std::vector<std::string> paths;
    // 8-bit, in the code page.
    std::string title, author;
    bool reflow = false;
    // A converted LIT book to build from instead of paths; its body is used up by the build.
    LitSource* lit = nullptr;
    // Where the book goes; empty: "My eBooks" in the user's documents folder, named after the
    // title.
    std::filesystem::path output;
};

enum class BuildStatus {
    Ok,
    Failed,     // a message said why
    Declined,   // the user chose not to replace a different book of the same file name
    Cancelled,  // the user stopped the build; nothing was written
};

struct BuildOutcome {
    BuildStatus status = BuildStatus::Ok;
    std::filesystem::path path;  // the book written, or the one that would have been
    std::string detail;          // the file or reason concerned, for the command line
};

// Builds the book. Failures are shown through host with the texts above; the caller reports
// success or "Book creation failed.". An existing book is replaced only once the new one is whole
// (and, unless it is a book of the same title, only when the user agrees); the replaced book's
// pagination files are removed. A failed or cancelled build leaves nothing behind.
BuildOutcome WriteBook(BookRequest& request, Host& host, BuildProgress* progress = nullptr);

}  // namespace pagewick
