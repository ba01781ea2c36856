// Wrapping a PAWK book, unchanged, into a Palm OS database (".pdb") for the Palm synchronisation
// software: the standard database header and record list, all integers big-endian, then the book
// cut into records of 4,096 bytes, each behind "DBLK" and its byte count.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace pagewick {

inline constexpr uint32_t kPalmRecordData = 4096;
// The record count field is 16 bits wide.
inline constexpr uint32_t kPalmMaxRecords = 65535;
// Seconds between 1 January 1904, where Palm dates start, and 1 January 1970.
inline constexpr uint32_t kPalmEpochOffset = 2082844800u;

enum class PalmExportStatus { Ok, CannotOpenBook, CannotCreateOutput, TooManyRecords, WriteFailed };

struct PalmExportResult {
    PalmExportStatus status = PalmExportStatus::Ok;
    // What went wrong, for the user ("" on success).
    std::string message;
    explicit operator bool() const { return status == PalmExportStatus::Ok; }
};

// The database beside the book: its path with ".pdb" appended.
std::filesystem::path PalmOutputPath(const std::filesystem::path& book);

// The current time as a Palm date.
uint32_t PalmTimeNow();

// Writes the database for book into output (replacing an existing file only once it is whole).
// title is the 8-bit displayed title (its first 31 bytes are kept); created is the Palm date for
// both the creation and the modification field.
PalmExportResult WritePalmDatabase(const std::filesystem::path& book, const std::string& title,
                                   const std::filesystem::path& output, uint32_t created);

}  // namespace pagewick
