#include "devicelink/TolvarRapi.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <type_traits>
#include <vector>

#include "devicelink/DevicePath.h"
#include "util/Cp1252.h"

#ifndef PAGEWICK_SYSTEM_LIBDIR
#define PAGEWICK_SYSTEM_LIBDIR "/usr/lib"
#endif

namespace pagewick {

const char* const CTolvarRAPI::kNotConnected =
    "Could not contact mobile device.\r\nIs device Connected?";
const char* const CTolvarRAPI::kCopyFailed = "Could not copy to device.";
const char* const CTolvarRAPI::kCopyIncomplete = "Could not complete copy to device.";
const char* const CTolvarRAPI::kDeleteFailed = "Could remove file from device.";

std::u16string DevicePathToWide(std::string_view path) {
    std::u16string out;
    out.reserve(path.size());
    const auto* p = reinterpret_cast<const unsigned char*>(path.data());
    for (size_t i = 0; i < path.size();) {
        uint32_t code;
        size_t used = provider::DecodeUtf8(p + i, path.size() - i, code);
        if (!used) {
            code = Cp1252ToUnicode(p[i]);
            used = 1;
        }
        provider::AppendWide(out, code);
        i += used;
    }
    return out;
}

std::string CTolvarRAPI::SystemLibraryPath() {
    return std::string(PAGEWICK_SYSTEM_LIBDIR) + "/" + kLibraryName;
}

CTolvarRAPI::CTolvarRAPI(Host* host) : host_(host) {
    Load(SystemLibraryPath(), kLibraryName);
}

CTolvarRAPI::CTolvarRAPI(Host* host, const std::string& systemPath, const std::string& searchName)
    : host_(host) {
    Load(systemPath, searchName);
}

CTolvarRAPI::~CTolvarRAPI() {
    if (library_) dlclose(library_);
}

namespace {
// The library by its bare name through the program's library search. dlopen searches the run
// path of the object that calls it, which is not the program when something stands between
// them (a sanitizer's or a profiler's dlopen), so the program's own search list is walked too.
void* SearchLibrary(const std::string& name) {
    void* library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library || name.find('/') != std::string::npos) return library;
    void* program = dlopen(nullptr, RTLD_NOW);
    Dl_serinfo size;
    if (program && dlinfo(program, RTLD_DI_SERINFOSIZE, &size) == 0) {
        std::vector<std::max_align_t> buffer(size.dls_size / sizeof(std::max_align_t) + 1);
        auto* info = reinterpret_cast<Dl_serinfo*>(buffer.data());
        *info = size;
        if (dlinfo(program, RTLD_DI_SERINFO, info) == 0)
            for (unsigned i = 0; i < info->dls_cnt && !library; ++i) {
                const std::string path = std::string(info->dls_serpath[i].dls_name) + "/" + name;
                library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            }
    }
    if (program) dlclose(program);
    return library;
}
}  // namespace

void CTolvarRAPI::Load(const std::string& systemPath, const std::string& searchName) {
    if (!systemPath.empty()) library_ = dlopen(systemPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_ && !searchName.empty()) library_ = SearchLibrary(searchName);
    if (!library_) return;
    auto find = [this](auto& pointer, const char* name) {
        pointer =
            reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(dlsym(library_, name));
    };
    find(CeRapiInit, "CeRapiInit");
    find(CeRapiUninit, "CeRapiUninit");
    find(CeCreateFile, "CeCreateFile");
    find(CeCloseHandle, "CeCloseHandle");
    find(CeFindFirstFile, "CeFindFirstFile");
    find(CeFindNextFile, "CeFindNextFile");
    find(CeGetFileSize, "CeGetFileSize");
    find(CeCreateDirectory, "CeCreateDirectory");
    find(CeWriteFile, "CeWriteFile");
    find(CeReadFile, "CeReadFile");
    find(CeCreateProcess, "CeCreateProcess");
    find(CeGetSystemInfo, "CeGetSystemInfo");
    find(CeSetEndOfFile, "CeSetEndOfFile");
    find(CeRapiInitEx, "CeRapiInitEx");
    find(CeRemoveDirectory, "CeRemoveDirectory");
    find(CeDeleteFile, "CeDeleteFile");
}

void CTolvarRAPI::Message(const char* text) {
    if (host_) host_->ShowMessage(text, "Pagewick", MessageButtons::Ok, MessageIcon::Error);
}

void CTolvarRAPI::Uninit() {
    if (CeRapiUninit) CeRapiUninit();
}

bool CTolvarRAPI::Connect(int timeoutMs) {
    // Without the two calls that open and close a connection there is no device to reach.
    if (!CeRapiInitEx || !CeRapiUninit) return false;
    RapiInit init{};
    init.size = 12;
    if (CeRapiInitEx(&init) < 0) return false;
    pollfd waitFor{};
    waitFor.fd = static_cast<int>(reinterpret_cast<intptr_t>(init.event));
    waitFor.events = POLLIN;
    int ready;
    do
        ready = poll(&waitFor, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready > 0 && (waitFor.revents & POLLIN)) {
        if (init.result < 0) {
            CeRapiUninit();
            return false;
        }
        return true;
    }
    // Timed out, or the wait itself failed (a bad event): the library has a connection attempt
    // open either way, and it is closed so that none outlives this call.
    CeRapiUninit();
    return false;
}

int CTolvarRAPI::Probe(const std::u16string& path) {
    if (!CeFindFirstFile || !CeCloseHandle) return -1;
    RapiFindData found{};
    RapiHandle find = CeFindFirstFile(path.c_str(), &found);
    if (find == RAPI_INVALID_HANDLE || find == nullptr) return -1;
    CeCloseHandle(find);
    return (found.attributes & kRapiAttributeDirectory) ? 1 : 0;
}

bool CTolvarRAPI::CreateDeviceFolder(const std::string& devicePath) {
    outcome_ = DeviceOutcome::NotReached;
    if (!Connect(kConnectMilliseconds)) {
        Message(kNotConnected);
        return false;
    }
    if (!CeCreateDirectory) {
        Uninit();
        outcome_ = DeviceOutcome::Failed;
        return false;
    }
    const std::u16string wide = DevicePathToWide(devicePath);
    // A folder that is already there is as good as one made now.
    bool made = CeCreateDirectory(wide.c_str(), nullptr) || Probe(wide) == 1;
    Uninit();
    outcome_ = made ? DeviceOutcome::Done : DeviceOutcome::Failed;
    return true;
}

bool CTolvarRAPI::Remove(const std::string& devicePath, PfnCeDeleteFile call, bool quiet) {
    outcome_ = DeviceOutcome::NotReached;
    if (!Connect(kConnectMilliseconds)) {
        Message(kNotConnected);
        return false;
    }
    if (!call) {
        Uninit();
        outcome_ = DeviceOutcome::Failed;
        if (!quiet) Message(kDeleteFailed);
        return false;
    }
    const std::u16string wide = DevicePathToWide(devicePath);
    // Only an entry that is not there counts as removed when the device refuses: a read-only or
    // busy file that stays is a failure.
    bool gone = call(wide.c_str()) || Probe(wide) < 0;
    Uninit();
    outcome_ = gone ? DeviceOutcome::Done : DeviceOutcome::Failed;
    if (!gone && !quiet) Message(kDeleteFailed);
    return true;
}

bool CTolvarRAPI::DeleteDeviceFile(const std::string& devicePath) {
    return Remove(devicePath, CeDeleteFile, false);
}

bool CTolvarRAPI::DeleteDeviceFileQuietly(const std::string& devicePath) {
    return Remove(devicePath, CeDeleteFile, true);
}

bool CTolvarRAPI::RemoveDeviceFolder(const std::string& devicePath) {
    return Remove(devicePath, CeRemoveDirectory, true);
}

namespace {
struct DesktopFile {
    int fd = -1;
    ~DesktopFile() {
        if (fd >= 0) close(fd);
    }
};
}  // namespace

bool CTolvarRAPI::CopyToDevice(const std::string& desktopPath, const std::string& devicePath) {
    outcome_ = DeviceOutcome::NotReached;
    DesktopFile source;
    source.fd = open(desktopPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (source.fd < 0) {
        Message(kCopyFailed);
        return false;
    }
    if (!Connect(kConnectMilliseconds)) {
        Message(kNotConnected);
        return false;
    }
    outcome_ = DeviceOutcome::Failed;
    if (!CeCreateFile || !CeWriteFile || !CeSetEndOfFile || !CeCloseHandle) {
        Uninit();
        Message(kCopyFailed);
        return false;
    }
    const std::u16string wide = DevicePathToWide(devicePath);
    RapiHandle file = CeCreateFile(wide.c_str(), kRapiGenericRead | kRapiGenericWrite, 0, nullptr,
                                   kRapiOpenAlways, kRapiAttributeNormal, nullptr);
    if (file == RAPI_INVALID_HANDLE || file == nullptr) {
        Uninit();
        Message(kCopyFailed);
        return false;
    }
    // On a failure past this point the connection is closed without closing the file: a file
    // left open when its connection ends is dropped by the device, so no half-written copy takes
    // the book's name.
    std::vector<char> block(kCopyBlockBytes);
    for (;;) {
        ssize_t got = read(source.fd, block.data(), block.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            Uninit();
            Message(kCopyFailed);
            return false;
        }
        if (got == 0) break;
        RapiDword written = 0;
        if (!CeWriteFile(file, block.data(), RapiDword(got), &written, nullptr) ||
            written != RapiDword(got)) {
            Uninit();
            Message(kCopyIncomplete);
            return false;
        }
    }
    // The end of the file is cut where the copy ends, so a longer old file takes the new length;
    // closing stores the file, and a close the device refuses means the copy is not there.
    if (!CeSetEndOfFile(file) || !CeCloseHandle(file)) {
        Uninit();
        Message(kCopyIncomplete);
        return false;
    }
    Uninit();
    outcome_ = DeviceOutcome::Done;
    return true;
}

}  // namespace pagewick
