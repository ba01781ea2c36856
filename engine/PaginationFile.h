// The pagination file kept beside every book (the book's path followed by ".pwk") and its
// snapshot: little-endian 32-bit fields, strings of 16-bit units.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pagewick {

constexpr int32_t kPaginationVersion = 5;
constexpr size_t kPaginationStringMax = 1024;

// Reads fields in order; once a read runs past the end every later read fails too.
class PaginationCursor {
public:
    explicit PaginationCursor(std::string_view bytes) : bytes_(bytes) {}
    bool ReadInt(int32_t& value);
    // A string of 8-bit characters: a count, then that many 16-bit units of which the low byte
    // is kept. A count above 1,024 or past the end fails.
    bool ReadString(std::string& value);
    // The same for text read as 16-bit characters (the carried text of a page): a unit whose
    // high byte is neither 00 nor FF is a character past 8 bits, which the writer keeps whole.
    bool ReadUnits(std::u16string& value);
    // The title: UTF-16 units as UTF-8.
    bool ReadTitle(std::string& value);
    bool AtEnd() const { return at_ >= bytes_.size(); }
    size_t Left() const { return bytes_.size() - std::min(at_, bytes_.size()); }

private:
    // A string's character count, checked against the bound and the bytes left.
    bool ReadCount(int32_t& count);
    std::string_view bytes_;
    size_t at_ = 0;
    bool failed_ = false;
};

class PaginationWriter {
public:
    void Int(int32_t value);
    // 8-bit characters as 16-bit units: high byte FF for 128 to 255, 00 otherwise.
    void String(std::string_view text);
    void String(std::u16string_view text);
    // A UTF-8 title in UTF-16, at most 1,024 characters.
    void Title(std::string_view text);
    const std::string& Bytes() const { return bytes_; }

private:
    void Unit(uint16_t unit);
    std::string bytes_;
};

// Where the pagination file of a book is kept: beside the book, its path followed by ".pwk". Each
// member of an archive has its own, "archive.zip#member.pwk", the member's name written so that
// no two members share a file ("%", "#", "/" and "\\" escaped as "%25", "%23", "%2F", "%5C");
// a name too long for a file name is replaced by "#" and a 64-bit hash of it.
std::string PaginationFilePath(const std::string& bookPath, const std::string& member = {});

// The whole file, or false when it is missing, unreadable or larger than any real one.
bool ReadPaginationBytes(const std::string& path, std::string& bytes);

// The title stored in a pagination file of version 4 or 5 (UTF-8); false when there is none.
bool ReadPaginationTitle(const std::string& pwkPath, std::string& title);

// The reserved field of a pagination file of version 4 or 5. For text and HTML files it keeps
// the encoding: the choice in its low two bits (a TextEncoding), and whether the positions
// count UTF-8 characters. 0, as older files hold, is the automatic choice read as 8-bit text.
bool ReadPaginationReserved(const std::string& pwkPath, int32_t& reserved);
constexpr int32_t kReservedEncodingMask = 3;
constexpr int32_t kReservedReadAsUtf8 = 4;
// Text and HTML files: JoinLines is the person's choice, not the judgement made at open.
constexpr int32_t kReservedJoinChosen = 8;

}  // namespace pagewick
