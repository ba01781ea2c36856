// The display-settings file of both readers on arbitrary bytes: reading never fails, every
// value read lies in its range, and what is read writes and reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/DisplaySettings.h"
#include "util/Utf8.h"

namespace {
void Check(const std::vector<uint8_t>& bytes, const pagewick::DisplaySettings& defaults) {
    using pagewick::DisplaySettings;
    DisplaySettings first = DisplaySettings::Parse(bytes, defaults);
    if (first.fontSize < DisplaySettings::kMinFont || first.fontSize > first.MaxFont())
        std::abort();
    for (int32_t value : {first.paragraphSpacing, first.tabSize, first.leading, first.borderWidth,
                          first.borderHeight})
        if (value < 0 || value > DisplaySettings::kMaxLayoutValue) std::abort();
    if (first.scrollDelay < 0 || first.scrollDelay > DisplaySettings::kMaxDelay) std::abort();
    if (first.faceName.empty() || first.variant != defaults.variant) std::abort();
    if (first.variant == DisplaySettings::Variant::Device &&
        pagewick::Utf8ToUtf16(first.faceName).size() > DisplaySettings::kMaxDeviceFaceChars)
        std::abort();
    // Text that was not valid in the file is made valid once; after that it stays.
    DisplaySettings second = DisplaySettings::Parse(first.Serialize(), defaults);
    DisplaySettings third = DisplaySettings::Parse(second.Serialize(), defaults);
    if (!(second == third)) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    Check(bytes, pagewick::DisplaySettings());
    Check(bytes, pagewick::DisplaySettings::DeviceDefaults());
    return 0;
}
