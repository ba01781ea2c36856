// Device paths of the folder-backed handheld: "\"-separated UTF-16 paths below the device root,
// matched against the folder's names without regard to case, as the handheld's file system does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pagewick::provider {

// One entry of a device path: its name as the device gave it and as this platform's file name.
struct PathPart {
    std::u16string wide;
    std::string name;  // UTF-8
};

// Splits a device path into its entries. "\" and "/" both separate; empty and "." parts are
// skipped, so every path starts at the root. False for a path that could lead out of the root
// or cannot be a name here: a ".." part, a NUL inside, a half surrogate pair.
bool SplitDevicePath(std::u16string_view path, std::vector<PathPart>& parts);

// The name with the case differences the device ignores folded away (Latin, Greek, Cyrillic).
std::u16string FoldCase(std::u16string_view name);

// One UTF-8 character at p (n > 0 bytes there): the bytes it takes, 0 when they are not UTF-8.
size_t DecodeUtf8(const unsigned char* p, size_t n, uint32_t& code);
// A character as UTF-16 (a surrogate pair past U+FFFF).
void AppendWide(std::u16string& out, uint32_t code);
// UTF-8 to UTF-16; false when the bytes are not UTF-8.
bool Utf8ToWide(std::string_view text, std::u16string& out);

// Whether a name matches a pattern of "*" and "?" without regard to case.
bool MatchesPattern(std::u16string_view pattern, std::u16string_view name);

}  // namespace pagewick::provider
