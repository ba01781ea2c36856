// The settings store that stands for the registry key and the user's profile section: one INI
// file per user ($XDG_CONFIG_HOME/Ambervale/Pagewick.conf, or ~/.config/Ambervale/Pagewick.conf).
// Sections stand for keys ([Pagewick] for "SOFTWARE\Ambervale\Pagewick", [Settings] for the
// profile section), every value is a string. The file is read on every request, so two programs
// sharing it see each other's writes, and each write replaces the file as a whole: written beside
// it under a temporary name and renamed over it.
//
// Section and value names compare without regard to ASCII case, as the registry's do. Bytes
// that would break the line format (line ends, control characters, the backslash, and in names
// "=" and a leading ";", "#" or "[") are written as escapes ("\n", "\r", "\t", "\\", "\xHH")
// and read back unchanged. Lines that cannot be understood are ignored and kept as they are.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace pagewick {

class SettingsStore {
public:
    // The store at `file`; with no argument, the user's own store.
    SettingsStore();
    explicit SettingsStore(std::filesystem::path file);

    // $XDG_CONFIG_HOME/Ambervale/Pagewick.conf when that variable holds an absolute path,
    // otherwise ~/.config/Ambervale/Pagewick.conf.
    static std::filesystem::path DefaultPath();
    const std::filesystem::path& Path() const { return file_; }

    // True and the value when it is stored.
    bool Get(const std::string& section, const std::string& name, std::string& value) const;
    std::string Get(const std::string& section, const std::string& name,
                    const std::string& fallback) const;
    // Stores the value; false when the file could not be written (callers may ignore it, as a
    // failed registry write is ignored). The old file stays as it was when writing fails, and
    // is not touched when it already holds the value.
    bool Set(const std::string& section, const std::string& name, const std::string& value);

    // A file larger than this is damaged: only its first part is read.
    static constexpr size_t kMaxFileBytes = 4 * 1024 * 1024;

private:
    std::filesystem::path file_;
};

// The same reading and writing on the file's text held in memory: the value of a name, and the
// text with one value set.
bool GetSettingFromText(const std::string& text, const std::string& section,
                        const std::string& name, std::string& value);
std::string SetSettingInText(const std::string& text, const std::string& section,
                             const std::string& name, const std::string& value);

// The escapes of the file format, shared with the tests.
std::string EscapeSettingsText(const std::string& text, bool isName);
std::string UnescapeSettingsText(const std::string& text);

}  // namespace pagewick
