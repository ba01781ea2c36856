// The remote file library's calling convention, as this system uses it: the sixteen entry points
// with the argument meanings of the handheld's own file API (UTF-16 paths, handles, 32-bit
// results), and the connection record. Shared by the link, which looks the names up at run time,
// and by the provider library that serves them.
#pragma once

#include <cstdint>

extern "C" {

typedef void* RapiHandle;
typedef uint32_t RapiDword;
typedef int32_t RapiBool;
typedef int32_t RapiResult;  // negative on failure

#define RAPI_INVALID_HANDLE ((RapiHandle)(intptr_t)-1)

// Access, disposition and attribute values of the file API.
enum : RapiDword {
    kRapiGenericRead = 0x80000000u,
    kRapiGenericWrite = 0x40000000u,
    kRapiCreateNew = 1,
    kRapiCreateAlways = 2,
    kRapiOpenExisting = 3,
    kRapiOpenAlways = 4,
    kRapiTruncateExisting = 5,
    kRapiAttributeDirectory = 0x10,
    kRapiAttributeNormal = 0x80,
};

constexpr RapiResult kRapiOk = 0;
constexpr RapiResult kRapiFail = int32_t(0x80004005u);

// The connection record. The library signals the event when the connection is made and leaves
// the outcome in result. On this platform the event is a file descriptor that becomes readable
// (held in the handle-sized field); it belongs to the library and lives until "CeRapiUninit".
struct RapiInit {
    RapiDword size;  // 12, the size the record has always been given
    RapiHandle event;
    RapiResult result;
};

struct RapiFileTime {
    RapiDword low, high;
};

// One entry found by "CeFindFirstFile" / "CeFindNextFile".
struct RapiFindData {
    RapiDword attributes;
    RapiFileTime created, accessed, written;
    RapiDword sizeHigh, sizeLow;
    RapiDword objectId;
    char16_t name[260];
};

struct RapiSystemInfo {
    uint16_t processorArchitecture, reserved;
    RapiDword pageSize;
    void* minimumApplicationAddress;
    void* maximumApplicationAddress;
    RapiDword activeProcessorMask, numberOfProcessors, processorType, allocationGranularity;
    uint16_t processorLevel, processorRevision;
};

typedef RapiResult (*PfnCeRapiInit)();
typedef RapiResult (*PfnCeRapiUninit)();
typedef RapiHandle (*PfnCeCreateFile)(const char16_t* name, RapiDword access, RapiDword share,
                                      void* security, RapiDword disposition, RapiDword flags,
                                      RapiHandle templateFile);
typedef RapiBool (*PfnCeCloseHandle)(RapiHandle handle);
typedef RapiHandle (*PfnCeFindFirstFile)(const char16_t* name, RapiFindData* found);
typedef RapiBool (*PfnCeFindNextFile)(RapiHandle find, RapiFindData* found);
typedef RapiDword (*PfnCeGetFileSize)(RapiHandle handle, RapiDword* sizeHigh);
typedef RapiBool (*PfnCeCreateDirectory)(const char16_t* name, void* security);
typedef RapiBool (*PfnCeWriteFile)(RapiHandle handle, const void* data, RapiDword count,
                                   RapiDword* written, void* overlapped);
typedef RapiBool (*PfnCeReadFile)(RapiHandle handle, void* data, RapiDword count, RapiDword* read,
                                  void* overlapped);
typedef RapiBool (*PfnCeCreateProcess)(const char16_t* application, const char16_t* commandLine,
                                       void* processSecurity, void* threadSecurity,
                                       RapiBool inheritHandles, RapiDword flags, void* environment,
                                       char16_t* folder, void* startup, void* processInfo);
typedef void (*PfnCeGetSystemInfo)(RapiSystemInfo* info);
typedef RapiBool (*PfnCeSetEndOfFile)(RapiHandle handle);
typedef RapiResult (*PfnCeRapiInitEx)(RapiInit* init);
typedef RapiBool (*PfnCeRemoveDirectory)(const char16_t* name);
typedef RapiBool (*PfnCeDeleteFile)(const char16_t* name);

}  // extern "C"
