// Device paths as the folder-backed handheld reads them: whatever a path holds, its parts never
// climb, never hold a separator or NUL, and name on this platform exactly what the device named.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "devicelink/DevicePath.h"
#include "devicelink/TolvarRapi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pagewick::provider;
    // Pattern matching is quadratic at worst; paths are short.
    if (size > 8192) size = 8192;
    std::u16string wide;
    for (size_t i = 0; i + 1 < size; i += 2)
        wide += char16_t(data[i] | data[i + 1] << 8);
    std::vector<PathPart> parts;
    if (SplitDevicePath(wide, parts)) {
        for (const PathPart& part : parts) {
            if (part.wide.empty() || part.wide == u"." || part.wide == u".." ||
                part.name.find_first_of(std::string("/\\\0", 3)) != std::string::npos)
                std::abort();
            std::u16string back;
            if (!Utf8ToWide(part.name, back) || back != part.wide) std::abort();
        }
    }
    const size_t half = wide.size() / 2;
    MatchesPattern(std::u16string_view(wide).substr(0, half),
                   std::u16string_view(wide).substr(half));
    if (FoldCase(wide).size() != wide.size()) std::abort();
    std::u16string converted = pagewick::DevicePathToWide(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (converted.size() > size) std::abort();
    return 0;
}
