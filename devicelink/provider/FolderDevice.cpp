// librapi.so: the remote file library for a handheld that appears on this desktop as a folder
// (a reader or phone mounted over USB, or any device folder). The device's root is the settings
// value "DeviceRoot" of the Pagewick section, or the PAGEWICK_DEVICE_ROOT environment variable,
// which wins when it is set; no root, or one that is not a folder, is a device not connected.
//
// Safety: every path is walked from the root one entry at a time, never through a symbolic
// link and never up through "..", so nothing outside the root is read or written. Files opened
// for writing are written under a temporary name in their folder and take their own name only
// when closed after every write succeeded; a file still open when the connection ends, or one
// whose write failed, is dropped, so a read-only or full device never keeps half a file under
// the final name.
#include <dirent.h>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "devicelink/DevicePath.h"
#include "devicelink/RapiApi.h"
#include "platform/SettingsStore.h"

#define RAPI_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace pagewick::provider;

struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(Fd&& o) noexcept : fd(o.fd) { o.fd = -1; }
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            Reset();
            fd = o.fd;
            o.fd = -1;
        }
        return *this;
    }
    ~Fd() { Reset(); }
    void Reset() {
        if (fd >= 0) close(fd);
        fd = -1;
    }
    bool Valid() const { return fd >= 0; }
};

bool ReadAt(int fd, void* data, size_t count, off_t at, size_t& got) {
    got = 0;
    while (got < count) {
        ssize_t n = pread(fd, static_cast<char*>(data) + got, count - got, at + off_t(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        got += size_t(n);
    }
    return true;
}

bool WriteAt(int fd, const void* data, size_t count, off_t at) {
    size_t done = 0;
    while (done < count) {
        ssize_t n =
            pwrite(fd, static_cast<const char*>(data) + done, count - done, at + off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

// A file opened on the device. A writable one is a temporary file that takes the old file's
// bytes only where they are needed (a copy that rewrites the whole file never reads the old one).
struct OpenFile {
    Fd folder;
    Fd file;  // the temporary file, or the file itself when only read
    Fd old;   // the file being replaced, while its bytes may still be needed
    uint64_t oldSize = 0;
    uint64_t size = 0;  // bytes in the temporary file that count
    uint64_t position = 0;
    std::string name, temporary;
    bool writable = false, failed = false;
    // Writes that follow one another are gathered and written together: the link sends 10 KB
    // blocks, and one system call per block costs more than the copy. A write that then fails
    // is reported by the next call on the file (a write, the end cut or the close).
    static constexpr size_t kGather = 256 * 1024;
    std::string pending;
    uint64_t pendingAt = 0;

    bool Flush() {
        if (pending.empty()) return !failed;
        bool ok = !failed && Fill(pendingAt) &&
                  WriteAt(file.fd, pending.data(), pending.size(), off_t(pendingAt));
        if (ok) size = std::max(size, pendingAt + pending.size());
        pending.clear();
        failed = failed || !ok;
        return ok;
    }
    bool Write(const void* data, size_t count) {
        if (!pending.empty() && pendingAt + pending.size() != position && !Flush()) return false;
        if (pending.empty()) pendingAt = position;
        pending.append(static_cast<const char*>(data), count);
        position += count;
        return pending.size() < kGather || Flush();
    }

    // Brings the old file's bytes up to `end` into the temporary file.
    bool Fill(uint64_t end) {
        if (!old.Valid()) return true;
        end = std::min(end, oldSize);
        char block[65536];
        while (size < end) {
            size_t want = size_t(std::min<uint64_t>(sizeof block, end - size)), got = 0;
            if (!ReadAt(old.fd, block, want, off_t(size), got) || got == 0) return false;
            if (!WriteAt(file.fd, block, got, off_t(size))) return false;
            size += got;
        }
        return true;
    }
    void Discard() {
        if (writable && !temporary.empty() && folder.Valid())
            unlinkat(folder.fd, temporary.c_str(), 0);
        temporary.clear();
    }
};

struct Search {
    std::vector<RapiFindData> found;
    size_t next = 0;
};

struct Device {
    std::mutex lock;
    Fd root;
    Fd event;
    uintptr_t nextHandle = 0x100;
    std::map<uintptr_t, std::unique_ptr<OpenFile>> files;
    std::map<uintptr_t, std::unique_ptr<Search>> searches;
    // A library unloaded with files still open leaves none of their temporary files behind.
    ~Device() {
        for (auto& [handle, file] : files)
            file->Discard();
    }
};

Device& TheDevice() {
    static Device device;
    return device;
}

std::string DeviceRoot() {
    if (const char* env = std::getenv("PAGEWICK_DEVICE_ROOT")) return env;
    return pagewick::SettingsStore().Get("Pagewick", "DeviceRoot", "");
}

void CloseEverything(Device& d) {
    for (auto& [handle, file] : d.files)
        file->Discard();
    d.files.clear();
    d.searches.clear();
    d.root.Reset();
    d.event.Reset();
}

bool Open(Device& d) {
    CloseEverything(d);
    const std::string root = DeviceRoot();
    if (root.empty()) return false;
    d.root = Fd(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return d.root.Valid();
}

// The name of the entry in the folder that the device takes `part` to mean: the same bytes when
// there, else the first (in byte order) that differs only in case; `part` itself when none is.
std::string MatchName(int folder, const PathPart& part) {
    int copy = fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return part.name;
    DIR* dir = fdopendir(copy);
    if (!dir) {
        close(copy);
        return part.name;
    }
    const std::u16string wanted = FoldCase(part.wide);
    std::string best;
    bool exact = false;
    std::u16string wide;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == part.name) {
            exact = true;
            break;
        }
        if (name == "." || name == "..") continue;
        if (Utf8ToWide(name, wide) && FoldCase(wide) == wanted && (best.empty() || name < best))
            best = name;
    }
    closedir(dir);
    return exact || best.empty() ? part.name : best;
}

// Walks to the folder holding the path's last entry. Every folder on the way is opened without
// following a symbolic link.
bool Walk(Device& d, const char16_t* path, Fd& folder, std::string& name) {
    if (!d.root.Valid() || !path) return false;
    std::vector<PathPart> parts;
    if (!SplitDevicePath(path, parts) || parts.empty()) return false;
    folder = Fd(fcntl(d.root.fd, F_DUPFD_CLOEXEC, 0));
    for (size_t i = 0; i + 1 < parts.size() && folder.Valid(); ++i)
        folder = Fd(openat(folder.fd, MatchName(folder.fd, parts[i]).c_str(),
                           O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.Valid()) return false;
    name = MatchName(folder.fd, parts.back());
    return true;
}

RapiHandle NewHandle(Device& d) {
    return reinterpret_cast<RapiHandle>(d.nextHandle++);
}

OpenFile* FileOf(Device& d, RapiHandle handle) {
    auto it = d.files.find(reinterpret_cast<uintptr_t>(handle));
    return it == d.files.end() ? nullptr : it->second.get();
}

// A handheld runs a file whose name ends in ".exe" (any case): on the folder it is executable
// wherever it is readable, so an installed reader can be started from there.
bool IsProgramName(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ending = name.substr(name.size() - 4);
    for (char& c : ending)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return ending == ".exe";
}

std::string TemporaryName() {
    static std::mt19937_64 random{std::random_device{}()};
    char text[32];
    std::snprintf(text, sizeof text, "~pw%08llx.tmp",
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFu));
    return text;
}

RapiFileTime FileTime(const timespec& t) {
    // 100-nanosecond steps since 1601, the file API's clock.
    uint64_t ticks =
        (uint64_t(t.tv_sec) + 11644473600ull) * 10000000ull + uint64_t(t.tv_nsec) / 100;
    return {RapiDword(ticks), RapiDword(ticks >> 32)};
}

bool Describe(int folder, const std::string& name, RapiFindData& data) {
    struct stat st;
    if (fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    std::u16string wide;
    if (!Utf8ToWide(name, wide) || wide.size() >= std::size(data.name)) return false;
    data = {};
    data.attributes = S_ISDIR(st.st_mode) ? kRapiAttributeDirectory : kRapiAttributeNormal;
    if (!(st.st_mode & S_IWUSR)) data.attributes |= 0x1;  // read-only
    data.created = data.written = FileTime(st.st_mtim);
    data.accessed = FileTime(st.st_atim);
    data.sizeHigh = RapiDword(uint64_t(st.st_size) >> 32);
    data.sizeLow = RapiDword(st.st_size);
    data.objectId = RapiDword(st.st_ino);
    std::copy(wide.begin(), wide.end(), data.name);
    return true;
}

}  // namespace

RAPI_EXPORT RapiResult CeRapiInit() {
    Device& d = TheDevice();
    std::lock_guard guard(d.lock);
    return Open(d) ? kRapiOk : kRapiFail;
}

RAPI_EXPORT RapiResult CeRapiInitEx(RapiInit* init) {
    if (!init) return kRapiFail;
    Device& d = TheDevice();
    std::lock_guard guard(d.lock);
    const bool connected = Open(d);
    d.event = Fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!d.event.Valid()) {
        CloseEverything(d);
        return kRapiFail;
    }
    // The folder is there or it is not: the answer is ready at once.
    init->result = connected ? kRapiOk : kRapiFail;
    init->event = reinterpret_cast<RapiHandle>(intptr_t(d.event.fd));
    uint64_t one = 1;
    if (write(d.event.fd, &one, sizeof one) != sizeof one) {
        CloseEverything(d);
        return kRapiFail;
    }
    return kRapiOk;
}

RAPI_EXPORT RapiResult CeRapiUninit() {
    Device& d = TheDevice();
    std::lock_guard guard(d.lock);
    CloseEverything(d);
    return kRapiOk;
}

RAPI_EXPORT RapiBool CeCreateDirectory(const char16_t* path, void*) {
    Device& d = TheDevice();
    std::lock_guard guard(d.lock);
    Fd folder;
    std::string name;
    if (!Walk(d, path, folder, name)) return false;
    return mkdirat(folder.fd, name.c_str(), 0777) == 0;
}

RAPI_EXPORT RapiBool CeRemoveDirectory(const char16_t* path) {
    Device& d = TheDevice();
    std::lock_guard guard(d.lock);
    Fd folder;
    std::string name;
    if (!Walk(d, path, folder, name)) return false;
    return unlinkat(folder.fd, name.c_str(), AT_REMOVEDIR) == 0;
}

RAPI_EXPORT RapiBool CeDeleteFile(const char16_t* path) {
    Device& d = TheDevice();
    std::lock_guard guard(d.lock);
    Fd folder;
    std::string name;
    if (!Walk(d, path, folder, name)) return false;
    struct stat st;
    if (fstatat(folder.fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    // A folder is not a file, and a file without write permission is read-only on the device.
    if (S_ISDIR(st.st_mode) || (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR))) return false;
    return unlinkat(folder.fd, name.c_str(), 0) == 0;
}

RAPI_EXPORT RapiHandle CeCreateFile(const char16_t* path, RapiDword access, RapiDword, void*,
                                    RapiDword disposition, RapiDword, RapiHandle) {
    Device& d = TheDevice();
    std::lock_guard guard(d.lock);
    auto file = std::make_unique<OpenFile>();
    if (!Walk(d, path, file->folder, file->name)) return RAPI_INVALID_HANDLE;
    struct stat st;
    const bool exists = fstatat(file->folder.fd, file->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && !S_ISREG(st.st_mode)) return RAPI_INVALID_HANDLE;  // folders, links, devices
    if (disposition < kRapiCreateNew || disposition > kRapiTruncateExisting)
        return RAPI_INVALID_HANDLE;
    if (exists && disposition == kRapiCreateNew) return RAPI_INVALID_HANDLE;
    if (!exists && (disposition == kRapiOpenExisting || disposition == kRapiTruncateExisting))
        return RAPI_INVALID_HANDLE;
    const bool keepsOld =
        exists && (disposition == kRapiOpenExisting || disposition == kRapiOpenAlways);

    if (!(access & kRapiGenericWrite) && keepsOld) {
        file->file =
            Fd(openat(file->folder.fd, file->name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (!file->file.Valid()) return RAPI_INVALID_HANDLE;
        file->size = uint64_t(st.st_size);
    } else {
        if (exists && !(st.st_mode & S_IWUSR)) return RAPI_INVALID_HANDLE;  // read-only file
        if (keepsOld) {
            file->old =
                Fd(openat(file->folder.fd, file->name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            if (!file->old.Valid()) return RAPI_INVALID_HANDLE;
            file->oldSize = uint64_t(st.st_size);
        }
        mode_t mode = exists ? (st.st_mode & 07777) : 0666;
        if (IsProgramName(file->name)) mode |= (mode & 0444) >> 2;
        for (int attempt = 0; attempt < 16 && !file->file.Valid(); ++attempt) {
            file->temporary = TemporaryName();
            file->file = Fd(openat(file->folder.fd, file->temporary.c_str(),
                                   O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
            if (!file->file.Valid() && errno != EEXIST) break;
        }
        if (!file->file.Valid()) {
            file->temporary.clear();
            return RAPI_INVALID_HANDLE;
        }
        file->writable = true;
    }
    RapiHandle handle = NewHandle(d);
    d.files[reinterpret_cast<uintptr_t>(handle)] = std::move(file);
    return handle;
}

RAPI_EXPORT RapiBool CeWriteFile(RapiHandle handle, const void* data, RapiDword count,
                                 RapiDword* written, void*) {
    Device& d = TheDevice();
    std::lock_guard guard(d.lock);
    if (written) *written = 0;
    OpenFile* file = FileOf(d, handle);
    if (!file || !file->writable || file->failed || (count && !data)) return false;
    if (!file->Write(data, count)) return false;
    if (written) *written = count;
    return true;
}

RAPI_EXPORT RapiBool CeReadFile(RapiHandle handle, void* data, RapiDword count, RapiDword* read,
                                void*) {
    Device& d = TheDevice();
    std::lock_guard guard(d.lock);
    if (read) *read = 0;
    OpenFile* file = FileOf(d, handle);
    if (!file || file->failed || (count && !data)) return false;
    size_t got = 0;
    if ((file->writable && !file->Flush()) || !file->Fill(file->position + count)) return false;
    if (!ReadAt(file->file.fd, data, count, off_t(file->position), got)) return false;
    file->position += got;
    if (read) *read = RapiDword(got);
    return true;
}

RAPI_EXPORT RapiDword CeGetFileSize(RapiHandle handle, RapiDword* sizeHigh) {
    Device& d = TheDevice();
    std::lock_guard guard(d.lock);
    OpenFile* file = FileOf(d, handle);
    if (!file) {
        if (sizeHigh) *sizeHigh = 0;
        return 0xFFFFFFFFu;
    }
    uint64_t size = std::max({file->size, file->old.Valid() ? file->oldSize : 0,
                              file->pending.empty() ? 0 : file->pendingAt + file->pending.size()});
    if (sizeHigh) *sizeHigh = RapiDword(size >> 32);
    return RapiDword(size);
}

RAPI_EXPORT RapiBool CeSetEndOfFile(RapiHandle handle) {
    Device& d = TheDevice();
    std::lock_guard guard(d.lock);
    OpenFile* file = FileOf(d, handle);
    if (!file || !file->writable || file->failed) return false;
    if (!file->Flush() || !file->Fill(file->position) ||
        ftruncate(file->file.fd, off_t(file->position)) != 0) {
        file->failed = true;
        return false;
    }
    file->size = file->position;
    file->old.Reset();  // nothing past the end is wanted any more
    file->oldSize = 0;
    return true;
}

RAPI_EXPORT RapiBool CeCloseHandle(RapiHandle handle) {
    Device& d = TheDevice();
    std::lock_guard guard(d.lock);
    const auto key = reinterpret_cast<uintptr_t>(handle);
    // Searches are closed with the same call: the library has no call of their own for it.
    if (d.searches.erase(key)) return true;
    auto it = d.files.find(key);
    if (it == d.files.end()) return false;
    std::unique_ptr<OpenFile> file = std::move(it->second);
    d.files.erase(it);
    if (!file->writable) return true;
    // The bytes reach the disk before the name moves, so a device pulled out afterwards holds the
    // old file or the new one.
    bool stored = file->Flush() && file->Fill(UINT64_MAX) && fsync(file->file.fd) == 0 &&
                  renameat(file->folder.fd, file->temporary.c_str(), file->folder.fd,
                           file->name.c_str()) == 0;
    if (stored) {
        file->temporary.clear();
        fsync(file->folder.fd);
    } else {
        file->Discard();
    }
    return stored;
}

RAPI_EXPORT RapiHandle CeFindFirstFile(const char16_t* path, RapiFindData* data) {
    Device& d = TheDevice();
    std::lock_guard guard(d.lock);
    Fd folder;
    std::string name;
    if (!data || !Walk(d, path, folder, name)) return RAPI_INVALID_HANDLE;
    auto search = std::make_unique<Search>();
    std::vector<PathPart> parts;
    SplitDevicePath(path, parts);
    const std::u16string& pattern = parts.back().wide;
    if (pattern.find_first_of(u"*?") == std::u16string::npos) {
        RapiFindData one;
        if (Describe(folder.fd, name, one)) search->found.push_back(one);
    } else {
        int copy = fcntl(folder.fd, F_DUPFD_CLOEXEC, 0);
        DIR* dir = copy >= 0 ? fdopendir(copy) : nullptr;
        if (!dir && copy >= 0) close(copy);
        std::vector<std::string> names;
        std::u16string wide;
        while (dir && (errno = 0, true)) {
            dirent* entry = readdir(dir);
            if (!entry) break;
            std::string entryName = entry->d_name;
            if (entryName == "." || entryName == "..") continue;
            if (Utf8ToWide(entryName, wide) && MatchesPattern(pattern, wide))
                names.push_back(entryName);
        }
        if (dir) closedir(dir);
        std::sort(names.begin(), names.end());
        for (const std::string& n : names) {
            RapiFindData one;
            if (Describe(folder.fd, n, one)) search->found.push_back(one);
        }
    }
    if (search->found.empty()) return RAPI_INVALID_HANDLE;
    *data = search->found[0];
    search->next = 1;
    RapiHandle handle = NewHandle(d);
    d.searches[reinterpret_cast<uintptr_t>(handle)] = std::move(search);
    return handle;
}

RAPI_EXPORT RapiBool CeFindNextFile(RapiHandle handle, RapiFindData* data) {
    Device& d = TheDevice();
    std::lock_guard guard(d.lock);
    auto it = d.searches.find(reinterpret_cast<uintptr_t>(handle));
    if (!data || it == d.searches.end() || it->second->next >= it->second->found.size())
        return false;
    *data = it->second->found[it->second->next++];
    return true;
}

// A folder cannot run programs.
RAPI_EXPORT RapiBool CeCreateProcess(const char16_t*, const char16_t*, void*, void*, RapiBool,
                                     RapiDword, void*, char16_t*, void*, void*) {
    return false;
}

RAPI_EXPORT void CeGetSystemInfo(RapiSystemInfo* info) {
    if (!info) return;
    *info = {};
    info->processorArchitecture = 5;  // ARM, as handhelds are
    info->pageSize = 4096;
    info->allocationGranularity = 65536;
    info->numberOfProcessors = 1;
    info->activeProcessorMask = 1;
}
