// Writer of PAWK books (version 2): header, reading order, contents, then every file cut into
// chunks of 32,767 content bytes behind a 4-byte lead, deflated at level 9 and checked by
// inflating again. Pictures and media are stored as they are.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pawk/PawkFormat.h"

namespace pagewick {

// One file of the book, in the builder's list order.
struct PawkSourceFile {
    // Its name; a folder part (either separator) is dropped when it is stored.
    std::string name;
    // Where its bytes come from when no prepared text is held.
    std::filesystem::path path;
    // Prepared text held in memory, taken instead of the file at path.
    std::optional<std::vector<uint8_t>> text;
    // The name is stored exactly as given, folder included (a picture the text names as
    // "images/x.jpg"); otherwise the folder is dropped as StoredName says.
    bool nameAsGiven = false;
};

enum class PawkWriteStatus {
    Ok,
    BadName,             // an empty name, two files stored under one name, or a name too long
    StringTooLong,       // a contents title or target longer than readers keep
    CannotReadSource,    // a source file could not be read, or changed size while read
    CompressionFailed,   // deflate reported an error
    VerifyFailed,        // inflating a chunk again did not give back its bytes
    BookTooLarge,        // offsets or positions would not fit in 32 bits
    CannotCreateOutput,  // the output (its temporary file) could not be made
    WriteFailed,         // writing or renaming the output failed
    Cancelled,           // the caller asked to stop; nothing was written
};

struct PawkWriteResult {
    PawkWriteStatus status = PawkWriteStatus::Ok;
    std::string detail;  // the file or name concerned, for the message
    explicit operator bool() const { return status == PawkWriteStatus::Ok; }
};

// Text for a status, for messages ("cannot read source file", ...).
const char* PawkWriteStatusText(PawkWriteStatus status);

class PawkWriter {
public:
    // Header strings are written cut to their first 127 bytes.
    std::string title, author, publisher, identifier, rights;
    std::vector<PawkContentsEntry> contents;
    std::vector<PawkSourceFile> files;

    // Called after each chunk is made: chunks done and chunks in all (for a progress bar).
    std::function<void(int64_t done, int64_t total)> progress;
    // Asked after each chunk; true stops the write, leaving any earlier book as it was.
    std::function<bool()> cancelled;

    // The name a file is stored under: no folder, and "cover.png" for a first file ending in
    // ".png" (any letter case).
    static std::string StoredName(const std::string& name, bool first);

    // Writes the book; an existing file at path is replaced only when the whole book is
    // written.
    PawkWriteResult Write(const std::filesystem::path& path) const;
};

}  // namespace pagewick
