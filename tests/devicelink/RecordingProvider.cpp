// A remote file library for the link's tests: keeps the device's files in memory, records every
// call with its main argument, and connects, refuses or never answers as the test says. Built
// twice: whole, and (PAGEWICK_PARTIAL_PROVIDER) with most entry points missing.
#include <sys/eventfd.h>
#include <unistd.h>

#include <map>
#include <string>

#include "devicelink/RapiApi.h"

#define RAPI_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
struct State {
    int mode = 0;  // 0 connects, 1 never answers, 2 refuses
    std::string log;
    std::map<std::u16string, std::string> files;
    int event = -1;
    std::u16string open;
    size_t position = 0;
} state;

std::string Narrow(const char16_t* text) {
    std::string out;
    for (; text && *text; ++text)
        out += *text < 128 ? char(*text) : '?';
    return out;
}
void Log(const std::string& line) {
    state.log += line + "\n";
}
}  // namespace

RAPI_EXPORT void RecordingReset(int mode) {
    state = State{};
    state.mode = mode;
}
RAPI_EXPORT const char* RecordingLog() {
    return state.log.c_str();
}
RAPI_EXPORT long RecordingFileSize(const char16_t* path) {
    auto it = state.files.find(path);
    return it == state.files.end() ? -1 : long(it->second.size());
}

RAPI_EXPORT RapiResult CeRapiInitEx(RapiInit* init) {
    Log("CeRapiInitEx " + std::to_string(init->size));
    state.event = eventfd(0, EFD_CLOEXEC);
    init->event = reinterpret_cast<RapiHandle>(intptr_t(state.event));
    init->result = state.mode == 2 ? kRapiFail : kRapiOk;
    uint64_t one = 1;
    if (state.mode != 1 && write(state.event, &one, sizeof one) != sizeof one) return kRapiFail;
    return kRapiOk;
}

RAPI_EXPORT RapiResult CeRapiUninit() {
    Log("CeRapiUninit");
    if (state.event >= 0) close(state.event);
    state.event = -1;
    return kRapiOk;
}

RAPI_EXPORT RapiBool CeCreateDirectory(const char16_t* path, void*) {
    Log("CeCreateDirectory " + Narrow(path));
    return true;
}

#ifndef PAGEWICK_PARTIAL_PROVIDER
RAPI_EXPORT RapiHandle CeCreateFile(const char16_t* path, RapiDword access, RapiDword share, void*,
                                    RapiDword disposition, RapiDword, RapiHandle) {
    Log("CeCreateFile " + Narrow(path) + " " + std::to_string(access) + " " +
        std::to_string(share) + " " + std::to_string(disposition));
    state.open = path;
    state.position = 0;
    state.files[path];  // opened if there, else made
    return reinterpret_cast<RapiHandle>(intptr_t(7));
}
RAPI_EXPORT RapiBool CeWriteFile(RapiHandle, const void* data, RapiDword count, RapiDword* written,
                                 void*) {
    Log("CeWriteFile " + std::to_string(count));
    std::string& file = state.files[state.open];
    if (file.size() < state.position + count) file.resize(state.position + count);
    file.replace(state.position, count, static_cast<const char*>(data), count);
    state.position += count;
    *written = count;
    return true;
}
RAPI_EXPORT RapiBool CeSetEndOfFile(RapiHandle) {
    Log("CeSetEndOfFile");
    state.files[state.open].resize(state.position);
    return true;
}
RAPI_EXPORT RapiBool CeCloseHandle(RapiHandle) {
    Log("CeCloseHandle");
    return true;
}
RAPI_EXPORT RapiBool CeDeleteFile(const char16_t* path) {
    Log("CeDeleteFile " + Narrow(path));
    return state.files.erase(path) > 0;
}
RAPI_EXPORT RapiBool CeRemoveDirectory(const char16_t* path) {
    Log("CeRemoveDirectory " + Narrow(path));
    return false;
}
RAPI_EXPORT RapiHandle CeFindFirstFile(const char16_t* path, RapiFindData*) {
    Log("CeFindFirstFile " + Narrow(path));
    return RAPI_INVALID_HANDLE;  // nothing left behind
}
RAPI_EXPORT RapiResult CeRapiInit() {
    return kRapiOk;
}
#endif
