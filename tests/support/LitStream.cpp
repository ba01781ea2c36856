#include "support/LitStream.h"

#include <cstdlib>
#include <sstream>

#include "support/fixtures.h"
#include "util/Utf8.h"

namespace pagewick::test {
namespace {

// Letters and digits: ASCII ones, Latin letters with marks, and the scripts from Greek onwards
// below the punctuation block.
bool IsWordChar(uint32_t c) {
    if (c < 0x80) return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (c >= 0xc0 && c <= 0x24f) return c != 0xd7 && c != 0xf7;
    return c >= 0x370 && c < 0x2000;
}

// Splits decoded code points into words.
std::vector<std::string> Words(const std::vector<uint32_t>& chars) {
    std::vector<std::string> words;
    std::string word;
    for (uint32_t c : chars) {
        if (IsWordChar(c)) {
            AppendUtf8(word, c);
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

std::vector<uint32_t> DecodeUtf8(std::string_view s) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        const uint8_t b = static_cast<uint8_t>(s[i]);
        size_t more = b < 0x80 ? 0 : b < 0xe0 ? 1 : b < 0xf0 ? 2 : 3;
        uint32_t c = more == 0 ? b : more == 1 ? (b & 0x1f) : more == 2 ? (b & 0x0f) : (b & 0x07);
        for (size_t k = 1; k <= more && i + k < s.size(); ++k) {
            c = (c << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3f);
        }
        out.push_back(c);
        i += more + 1;
    }
    return out;
}

}  // namespace

LitStream& LitStream::Text(std::string_view utf8) {
    bytes_.insert(bytes_.end(), utf8.begin(), utf8.end());
    return *this;
}

LitStream& LitStream::Char(uint32_t code) {
    std::string s;
    AppendUtf8(s, code);
    return Text(s);
}

LitStream& LitStream::Open(uint32_t flags, uint32_t tag) {
    return Char(0).Char(flags).Char(tag);
}

LitStream& LitStream::Attr(uint32_t code, std::string_view utf8Value) {
    return Char(code).Char(static_cast<uint32_t>(Utf8Length(utf8Value) + 1)).Text(utf8Value);
}

LitStream& LitStream::NumberAttr(uint32_t code, uint32_t n) {
    return Char(code).Char(0xffff).Char(n);
}

LitStream& LitStream::Raw(std::initializer_list<uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

size_t Utf8Length(std::string_view utf8) {
    size_t n = 0;
    for (char ch : utf8) {
        if ((static_cast<uint8_t>(ch) & 0xc0) != 0x80) ++n;
    }
    return n;
}

LitDecoded DecodeAll(const std::vector<uint8_t>& bytes, LitDecodeMode mode,
                     const LitManifestGroups* manifest) {
    LitDecoded d;
    d.result = DecodeLitBinary(bytes, 0, bytes.size(), mode, manifest,
                               [&](const char* text, size_t length) {
                                   d.markup.append(text, length);
                                   return static_cast<long>(length);
                               });
    return d;
}

std::vector<std::string> MarkupWords(std::string_view markup) {
    // The head holds the title and style sheets, which a plain-text rendering leaves out.
    std::string body(markup);
    if (size_t head = body.find("<head"); head != std::string::npos) {
        if (size_t end = body.find("</head>", head); end != std::string::npos) {
            body.erase(head, end + 7 - head);
        }
    }
    std::vector<uint32_t> chars;
    for (size_t i = 0; i < body.size(); ++i) {
        const uint8_t b = static_cast<uint8_t>(body[i]);
        if (b == '<') {
            const size_t close = body.find('>', i);
            if (close == std::string::npos) break;
            i = close;
            chars.push_back(' ');
        } else if (b == '&') {
            const size_t semi = body.find(';', i);
            const std::string name = body.substr(i + 1, semi - i - 1);
            i = semi;
            if (name[0] == '#') {
                chars.push_back(static_cast<uint32_t>(std::strtoul(name.c_str() + 1, nullptr, 10)));
            } else if (name == "amp") {
                chars.push_back('&');
            } else {
                chars.push_back(' ');  // lt, gt, euro, hellip, ...: not letters
            }
        } else {
            chars.push_back(b);  // 8-bit output: bytes above 127 are Latin-1
        }
    }
    return Words(chars);
}

std::vector<std::string> TextWords(std::string_view utf8) {
    return Words(DecodeUtf8(utf8));
}

std::string TextLetters(std::string_view utf8) {
    std::string letters;
    for (const std::string& word : Words(DecodeUtf8(utf8)))
        letters += word;
    return letters;
}

std::string FindInOrder(const std::vector<std::string>& words, const std::string& letters,
                        size_t& cursor, size_t window) {
    for (size_t i = 0; i < words.size(); ++i) {
        const size_t at = letters.find(words[i], cursor);
        if (at == std::string::npos || at - cursor > window) {
            std::string context;
            for (size_t k = i >= 8 ? i - 8 : 0; k <= i; ++k)
                context += words[k] + " ";
            return "word " + std::to_string(i) + " \"" + words[i] +
                   "\" not found in order: " + context + "| text: " + letters.substr(cursor, 80);
        }
        cursor = at + words[i].size();
    }
    return "";
}

std::vector<std::vector<std::string>> ReadTsv(const std::filesystem::path& path) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(ReadFileText(path));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');)
            fields.push_back(cell);
        rows.push_back(std::move(fields));
    }
    return rows;
}

LitManifestGroups ReadLitManifest(const std::string& book) {
    LitManifestGroups groups;
    for (const auto& row : ReadTsv(FixturesDir() / "lit" / (book + ".manifest.tsv")))
        groups.at(std::stoul(row.at(1))).push_back({row.at(4), row.at(5)});
    return groups;
}

}  // namespace pagewick::test
