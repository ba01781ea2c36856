// The settings file parser on arbitrary text: reading never fails, and a value set in any text
// reads back unchanged, together with every value of another section.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/SettingsStore.h"
#include "util/Host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pagewick;
    std::string input(reinterpret_cast<const char*>(data), size);
    // The first bytes choose the section, name and value to set; the rest is the file.
    size_t cut1 = size > 0 ? data[0] % 16 : 0, cut2 = size > 1 ? data[1] % 32 : 0;
    std::string head = input.substr(0, std::min(input.size(), size_t(2 + cut1 + cut2)));
    std::string section = head.substr(std::min(head.size(), size_t(2)), cut1);
    std::string name = head.size() > 2 + cut1 ? head.substr(2 + cut1) : "Name";
    if (name.empty()) name = "Name";
    std::string text = input.substr(head.size());
    std::string value = text.substr(0, std::min<size_t>(text.size(), 40));

    std::string before;
    bool hadOther = GetSettingFromText(text, "Other Section", "LastBook", before);
    std::string written = SetSettingInText(text, section, name, value);
    std::string after;
    if (!GetSettingFromText(written, section, name, after) || after != value) std::abort();
    if (section != "Other Section") {
        std::string still;
        bool hasOther = GetSettingFromText(written, "Other Section", "LastBook", still);
        if (hasOther != hadOther || still != before) std::abort();
    }
    if (UnescapeSettingsText(EscapeSettingsText(text, true)) != text) std::abort();
    return 0;
}
