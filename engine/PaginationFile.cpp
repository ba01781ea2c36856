#include "engine/PaginationFile.h"

#include <cstdio>
#include <fstream>

#include "util/Cp1252.h"
#include "util/LittleEndian.h"

namespace pagewick {

namespace {
// A page table of ten million pages is far beyond any book; a larger file is not ours.
constexpr std::streamoff kLargestFile = 256 << 20;
}  // namespace

bool PaginationCursor::ReadInt(int32_t& value) {
    if (failed_ || at_ > bytes_.size() || bytes_.size() - at_ < 4) {
        failed_ = true;
        return false;
    }
    value = int32_t(Le32(AsBytes(bytes_), at_));
    at_ += 4;
    return true;
}

bool PaginationCursor::ReadCount(int32_t& count) {
    if (!ReadInt(count)) return false;
    if (count < 0 || size_t(count) > kPaginationStringMax || Left() < size_t(count) * 2) {
        failed_ = true;
        return false;
    }
    return true;
}

bool PaginationCursor::ReadString(std::string& value) {
    int32_t count;
    if (!ReadCount(count)) return false;
    value.clear();
    for (int32_t i = 0; i < count; ++i, at_ += 2)
        value += bytes_[at_];
    return true;
}

bool PaginationCursor::ReadUnits(std::u16string& value) {
    int32_t count;
    if (!ReadCount(count)) return false;
    value.clear();
    for (int32_t i = 0; i < count; ++i, at_ += 2) {
        uint8_t low = uint8_t(bytes_[at_]), high = uint8_t(bytes_[at_ + 1]);
        value += high == 0 || high == 0xFF ? char16_t(low) : char16_t(low | high << 8);
    }
    return true;
}

bool PaginationCursor::ReadTitle(std::string& value) {
    int32_t count;
    if (!ReadCount(count)) return false;
    std::u16string units;
    for (int32_t i = 0; i < count; ++i, at_ += 2)
        units += char16_t(uint8_t(bytes_[at_]) | uint8_t(bytes_[at_ + 1]) << 8);
    value = Utf16ToUtf8(units);
    return true;
}

void PaginationWriter::Int(int32_t value) {
    uint32_t v = uint32_t(value);
    for (int i = 0; i < 4; ++i)
        bytes_ += char((v >> (8 * i)) & 255);
}

void PaginationWriter::Unit(uint16_t unit) {
    bytes_ += char(unit & 255);
    bytes_ += char(unit >> 8);
}

void PaginationWriter::String(std::string_view text) {
    text = text.substr(0, kPaginationStringMax);
    Int(int32_t(text.size()));
    for (unsigned char c : text)
        Unit(c >= 128 ? uint16_t(0xFF00 | c) : c);
}

void PaginationWriter::String(std::u16string_view text) {
    text = text.substr(0, kPaginationStringMax);
    Int(int32_t(text.size()));
    for (char16_t c : text)
        Unit(c >= 128 && c <= 255 ? uint16_t(0xFF00 | c) : uint16_t(c));
}

void PaginationWriter::Title(std::string_view text) {
    std::u16string units = Utf8ToUtf16(text).substr(0, kPaginationStringMax);
    Int(int32_t(units.size()));
    for (char16_t c : units)
        Unit(c);
}

std::string PaginationFilePath(const std::string& bookPath, const std::string& member) {
    if (member.empty()) return bookPath + ".pwk";
    std::string name;
    for (char c : member) {
        if (c == '%' || c == '#' || c == '/' || c == '\\') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X",
                          unsigned(static_cast<unsigned char>(c)));
            name += escaped;
        } else {
            name += c;
        }
    }
    // File names hold 255 bytes. An escaped name never holds "#", so the hashed form
    // ("archive.zip##" and 16 hex digits) cannot meet a member's own.
    size_t slash = bookPath.find_last_of('/');
    size_t archiveName = bookPath.size() - (slash == std::string::npos ? 0 : slash + 1);
    if (archiveName + 1 + name.size() + 4 > 255) {
        uint64_t hash = 14695981039346656037ull;  // FNV-1a
        for (unsigned char c : member)
            hash = (hash ^ c) * 1099511628211ull;
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
        name = std::string("#") + hex;
    }
    return bookPath + "#" + name + ".pwk";
}

bool ReadPaginationBytes(const std::string& path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return false;
    std::streamoff size = file.tellg();
    if (size < 0 || size > kLargestFile) return false;
    bytes.resize(size_t(size));
    file.seekg(0);
    file.read(bytes.data(), size);
    return file.gcount() == size;
}

bool ReadPaginationTitle(const std::string& pwkPath, std::string& title) {
    std::string bytes;
    if (!ReadPaginationBytes(pwkPath, bytes)) return false;
    PaginationCursor cursor(bytes);
    int32_t version;
    if (!cursor.ReadInt(version) || version < 4 || version > kPaginationVersion) return false;
    return cursor.ReadTitle(title);
}

bool ReadPaginationReserved(const std::string& pwkPath, int32_t& reserved) {
    std::string bytes;
    if (!ReadPaginationBytes(pwkPath, bytes)) return false;
    PaginationCursor cursor(bytes);
    int32_t version, value;
    std::string title;
    if (!cursor.ReadInt(version) || version < 4 || version > kPaginationVersion ||
        !cursor.ReadTitle(title))
        return false;
    // Current page, last page, four bookmarks, wide, text length, join lines, signature.
    for (int i = 0; i < 10; ++i)
        if (!cursor.ReadInt(value)) return false;
    return cursor.ReadInt(reserved);
}

}  // namespace pagewick
