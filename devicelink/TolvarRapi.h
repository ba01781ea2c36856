// CTolvarRAPI: the desktop's link to a handheld through the remote file library, loaded at run
// time. Construction loads the library and looks up its sixteen entry points, each of which may be
// missing; every device operation opens its own connection (waiting at most 5 milliseconds for
// it) and closes it again. Failures are shown through the host's message boxes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "devicelink/RapiApi.h"
#include "util/Host.h"

namespace pagewick {

// How the last device operation ended: the device was not reached, the operation was done, or
// the device was reached but refused it (a read-only or busy file, a full volume).
enum class DeviceOutcome { NotReached, Done, Failed };

class CTolvarRAPI {
public:
    // The library's file name on this platform.
    static constexpr const char* kLibraryName = "librapi.so";
    static constexpr size_t kCopyBlockBytes = 10240;
    static constexpr int kConnectMilliseconds = 5;

    static const char* const kNotConnected;    // "Could not contact mobile device. ..."
    static const char* const kCopyFailed;      // "Could not copy to device."
    static const char* const kCopyIncomplete;  // "Could not complete copy to device."
    static const char* const kDeleteFailed;    // "Could remove file from device."

    // Loads the library from the system library folder, then by its bare name through the normal
    // library search (LD_LIBRARY_PATH, the program's run path, the system's cache).
    explicit CTolvarRAPI(Host* host);
    // The same with other places to look (tests): a full path tried first, then a name searched.
    CTolvarRAPI(Host* host, const std::string& systemPath, const std::string& searchName);
    virtual ~CTolvarRAPI();
    CTolvarRAPI(const CTolvarRAPI&) = delete;
    CTolvarRAPI& operator=(const CTolvarRAPI&) = delete;

    // The system library folder this build looks in first.
    static std::string SystemLibraryPath();

    bool IsLoaded() const { return library_ != nullptr; }
    // Opens a connection, waiting at most timeoutMs for it; true when one is open.
    bool Connect(int timeoutMs);

    // Each is true when the device was reached; LastOutcome tells whether the device did it.
    bool CreateDeviceFolder(const std::string& devicePath);
    bool DeleteDeviceFile(const std::string& devicePath);
    bool DeleteDeviceFileQuietly(const std::string& devicePath);
    bool RemoveDeviceFolder(const std::string& devicePath);
    // True when the whole file was written and stored on the device.
    bool CopyToDevice(const std::string& desktopPath, const std::string& devicePath);

    DeviceOutcome LastOutcome() const { return outcome_; }

    // The entry points, in the order they are looked up; null when the library lacks one.
    PfnCeRapiInit CeRapiInit = nullptr;
    PfnCeRapiUninit CeRapiUninit = nullptr;
    PfnCeCreateFile CeCreateFile = nullptr;
    PfnCeCloseHandle CeCloseHandle = nullptr;
    PfnCeFindFirstFile CeFindFirstFile = nullptr;
    PfnCeFindNextFile CeFindNextFile = nullptr;
    PfnCeGetFileSize CeGetFileSize = nullptr;
    PfnCeCreateDirectory CeCreateDirectory = nullptr;
    PfnCeWriteFile CeWriteFile = nullptr;
    PfnCeReadFile CeReadFile = nullptr;
    PfnCeCreateProcess CeCreateProcess = nullptr;
    PfnCeGetSystemInfo CeGetSystemInfo = nullptr;
    PfnCeSetEndOfFile CeSetEndOfFile = nullptr;
    PfnCeRapiInitEx CeRapiInitEx = nullptr;
    PfnCeRemoveDirectory CeRemoveDirectory = nullptr;
    PfnCeDeleteFile CeDeleteFile = nullptr;

private:
    void Load(const std::string& systemPath, const std::string& searchName);
    void Message(const char* text);
    void Uninit();
    // What is at the path on the device: -1 nothing, 0 a file, 1 a folder. Asked after a create
    // or delete the device refused, to tell "already so" from a real failure.
    int Probe(const std::u16string& path);
    // Delete or remove with a connection of its own; a refusal counts only when the entry is
    // still there afterwards.
    bool Remove(const std::string& devicePath, PfnCeDeleteFile call, bool quiet);

    Host* host_;
    void* library_ = nullptr;
    DeviceOutcome outcome_ = DeviceOutcome::NotReached;
};

// A desktop string (UTF-8 on this platform; bytes that are not UTF-8 read as Windows-1252) as the
// library's UTF-16.
std::u16string DevicePathToWide(std::string_view path);

}  // namespace pagewick
