#include "util/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>
#include <system_error>

namespace pagewick {

namespace {

// The file a path finally names, following symbolic links (even one whose target is not there
// yet); the path itself when it is no link or the links run in a circle.
std::filesystem::path FollowLinks(std::filesystem::path path) {
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!std::filesystem::is_symlink(path, error)) return path;
        std::filesystem::path next = std::filesystem::read_symlink(path, error);
        if (error) return path;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

// Syncs the folder so that the rename itself survives a crash; best effort.
void SyncFolder(const std::filesystem::path& folder) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

AtomicFile::AtomicFile(const std::filesystem::path& target, Durability durability)
    : target_(FollowLinks(target)), durability_(durability) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path folder = target_.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = folder / ("." + target_.filename().string() + ".tmp-" +
                          std::to_string(random() % 1000000000ULL));
        // O_EXCL refuses a name that is already there, so another writer's file is never reused;
        // 0666 gives a new file the permissions the umask allows.
        int fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            break;
        }
        // A replaced file keeps its permissions.
        struct stat old;
        if (::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode))
            ::fchmod(fd, old.st_mode & 07777);
        file_ = ::fdopen(fd, "wb");
        if (!file_) {
            ::close(fd);
            ::unlink(temp_.c_str());
        }
        break;
    }
    if (!file_) temp_.clear();
}

AtomicFile::~AtomicFile() {
    Discard();
}

bool AtomicFile::Write(const void* data, size_t size) {
    if (!file_ || failed_) return false;
    if (size && std::fwrite(data, 1, size, file_) != size) failed_ = true;
    return !failed_;
}

bool AtomicFile::Seek(int64_t offset) {
    if (!file_ || failed_) return false;
    if (offset < 0 || ::fseeko(file_, off_t(offset), SEEK_SET) != 0) failed_ = true;
    return !failed_;
}

bool AtomicFile::Commit() {
    if (!file_ || failed_) {
        Discard();
        return false;
    }
    const bool sync = durability_ == Durability::Synced;
    bool ok = std::fflush(file_) == 0 && (!sync || ::fsync(::fileno(file_)) == 0);
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (ok) ok = ::rename(temp_.c_str(), target_.c_str()) == 0;
    if (!ok) {
        Discard();
        return false;
    }
    temp_.clear();
    if (sync) SyncFolder(target_.parent_path());
    return true;
}

void AtomicFile::Discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         Durability durability) {
    AtomicFile out(path, durability);
    return out.Write(bytes.data(), bytes.size()) && out.Commit();
}

}  // namespace pagewick
