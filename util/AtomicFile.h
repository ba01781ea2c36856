// Replacing a file without ever leaving a half-written one where a good one was: the bytes go to
// a temporary file in the same folder, which is flushed to disk and renamed over the old file once
// complete. A path that is a symbolic link stays one: the file it names is replaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string_view>

namespace pagewick {

// Synced: the bytes and the rename reach the disk before Commit returns, so a crash leaves the
// old file or the new one. Unsynced: other programs still only ever see a whole file, but a crash
// soon after may lose the replacement; for files rewritten so often (the position snapshot after
// every window read) that waiting for the disk each time would slow reading down many times.
enum class Durability { Synced, Unsynced };

// A replacement written piece by piece (and, where a table must be filled in last, with seeks
// back). Dropped without a successful Commit, the temporary file is removed and the target is
// left as it was.
class AtomicFile {
public:
    explicit AtomicFile(const std::filesystem::path& target,
                        Durability durability = Durability::Synced);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    // False once any write or seek has failed; Commit then refuses.
    bool Write(const void* data, size_t size);
    bool Seek(int64_t offset);
    // Flushes, syncs (when Synced), closes and renames; false (and the target untouched) when any
    // step failed.
    bool Commit();

private:
    void Discard();
    std::filesystem::path target_;
    std::filesystem::path temp_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    Durability durability_;
};

// The whole replacement at once; false (and the old file untouched) when it cannot be made.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         Durability durability = Durability::Synced);

}  // namespace pagewick
