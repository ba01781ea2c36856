#include "platform/SettingsStore.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <vector>

#include "util/AsciiCase.h"
#include "util/AtomicFile.h"

namespace pagewick {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One line of the file as read: what it is, and the section it belongs to.
struct Line {
    enum Kind { Other, Section, BrokenSection, Value } kind = Other;
    std::string text;                    // the line as it stands in the file
    std::string name;                    // section name (Section) or value name (Value), unescaped
    std::string value;                   // Value only, unescaped
    std::optional<std::string> section;  // the section a Value line belongs to
};

std::string ReadContent(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string content;
    char block[16384];
    while (in && content.size() < SettingsStore::kMaxFileBytes) {
        in.read(block, std::streamsize(
                           std::min(sizeof block, SettingsStore::kMaxFileBytes - content.size())));
        content.append(block, size_t(in.gcount()));
    }
    return content;
}

std::vector<Line> ParseLines(const std::string& content) {
    std::vector<Line> lines;
    std::optional<std::string> section;
    size_t at = 0;
    while (at < content.size()) {
        size_t end = content.find('\n', at);
        if (end == std::string::npos) end = content.size();
        Line line;
        line.text = content.substr(at, end - at);
        at = end + 1;
        // Lines are written back exactly as they were read; only the reading drops the carriage
        // return of a file written with CR LF line ends.
        std::string body = line.text;
        if (!body.empty() && body.back() == '\r') body.pop_back();
        body = Trim(body);
        if (body.empty() || body[0] == ';' || body[0] == '#') {
            // blank or comment
        } else if (body[0] == '[') {
            size_t close = body.rfind(']');
            if (close == std::string::npos || close == 0) {
                line.kind = Line::BrokenSection;  // what follows belongs to no section
                section.reset();
            } else {
                line.kind = Line::Section;
                line.name = UnescapeSettingsText(Trim(body.substr(1, close - 1)));
                section = line.name;
            }
        } else if (size_t equals = body.find('='); equals != std::string::npos && section) {
            line.kind = Line::Value;
            line.name = UnescapeSettingsText(Trim(body.substr(0, equals)));
            line.value = UnescapeSettingsText(Trim(body.substr(equals + 1)));
            line.section = section;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// Replaces the file whole (a link stays a link: the file it names is replaced), making its
// folder first when it is not there yet.
bool ReplaceFile(const std::filesystem::path& file, const std::string& text) {
    std::error_code error;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), error);
    return WriteFileAtomically(file, text);
}

}  // namespace

std::string EscapeSettingsText(const std::string& text, bool isName) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool edge = i == 0 || i + 1 == text.size();
        bool hex =
            c < 0x20 || c == 0x7f || (edge && c == ' ') ||
            (isName && (c == '=' || c == '[' || c == ']' || (i == 0 && (c == ';' || c == '#'))));
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (hex) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

std::string UnescapeSettingsText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char next = text[i + 1];
        if (next == '\\' || next == 'n' || next == 'r' || next == 't') {
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : '\\';
            ++i;
        } else if (next == 'x' && i + 3 < text.size() && HexValue(text[i + 2]) >= 0 &&
                   HexValue(text[i + 3]) >= 0) {
            out += char(HexValue(text[i + 2]) * 16 + HexValue(text[i + 3]));
            i += 3;
        } else {
            out += text[i];  // not an escape this file writes: kept as it stands
        }
    }
    return out;
}

SettingsStore::SettingsStore() : file_(DefaultPath()) {}

SettingsStore::SettingsStore(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path SettingsStore::DefaultPath() {
    std::filesystem::path folder;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::filesystem::path(home && home[0] ? home : ".") / ".config";
    }
    return folder / "Ambervale" / "Pagewick.conf";
}

bool GetSettingFromText(const std::string& text, const std::string& section,
                        const std::string& name, std::string& value) {
    for (const Line& line : ParseLines(text)) {
        if (line.kind == Line::Value && EqualIgnoringAsciiCase(*line.section, section) &&
            EqualIgnoringAsciiCase(line.name, name)) {
            value = line.value;
            return true;
        }
    }
    return false;
}

std::string SetSettingInText(const std::string& text, const std::string& section,
                             const std::string& name, const std::string& value) {
    std::vector<Line> lines = ParseLines(text);
    std::string entry = EscapeSettingsText(name, true) + "=" + EscapeSettingsText(value, false);

    bool placed = false;
    for (Line& line : lines) {
        if (line.kind == Line::Value && EqualIgnoringAsciiCase(*line.section, section) &&
            EqualIgnoringAsciiCase(line.name, name)) {
            line.text = entry;
            placed = true;
            break;
        }
    }
    if (!placed) {
        // After the last non-blank line of the section's first header, else a new section.
        for (size_t i = 0; i < lines.size() && !placed; ++i) {
            if (lines[i].kind != Line::Section || !EqualIgnoringAsciiCase(lines[i].name, section))
                continue;
            size_t insertAt = i + 1;
            for (size_t j = i + 1; j < lines.size() && lines[j].kind != Line::Section &&
                                   lines[j].kind != Line::BrokenSection;
                 ++j)
                if (!Trim(lines[j].text).empty()) insertAt = j + 1;
            Line added;
            added.text = entry;
            lines.insert(lines.begin() + std::ptrdiff_t(insertAt), std::move(added));
            placed = true;
        }
    }
    std::string out;
    for (const Line& line : lines)
        out += line.text + "\n";
    if (!placed) {
        if (!out.empty() && out != "\n" && out.substr(out.size() - 2) != "\n\n") out += "\n";
        out += "[" + EscapeSettingsText(section, true) + "]\n" + entry + "\n";
    }
    return out;
}

bool SettingsStore::Get(const std::string& section, const std::string& name,
                        std::string& value) const {
    return GetSettingFromText(ReadContent(file_), section, name, value);
}

std::string SettingsStore::Get(const std::string& section, const std::string& name,
                               const std::string& fallback) const {
    std::string value;
    return Get(section, name, value) ? value : fallback;
}

bool SettingsStore::Set(const std::string& section, const std::string& name,
                        const std::string& value) {
    std::string content = ReadContent(file_);
    // A value that is already stored is not written again: callers set values as they meet
    // them (a title at every page that names it), and each write replaces the whole file.
    std::string stored;
    if (GetSettingFromText(content, section, name, stored) && stored == value) return true;
    return ReplaceFile(file_, SetSettingInText(content, section, name, value));
}

}  // namespace pagewick
