#include "formats/Utf8Text.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "util/AsciiCase.h"

namespace pagewick {

namespace {

constexpr size_t kBlockBytes = 1 << 16;

bool EightAscii(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return (v & 0x8080808080808080ull) == 0;
}

}  // namespace

size_t DecodeUtf8Character(const uint8_t* p, size_t n, bool atEnd, char16_t& out, bool* malformed) {
    const uint8_t lead = p[0];
    if (lead < 0x80) {
        out = lead;
        return 1;
    }
    // The second byte's range depends on the lead byte: that refuses overlong forms, encoded
    // surrogates and values past U+10FFFF at the first byte that shows them.
    size_t need;
    uint8_t low = 0x80, high = 0xBF;
    uint32_t code;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        code = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        code = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        out = kReplacementCharacter;
        if (malformed) *malformed = true;
        return 1;
    }
    for (size_t i = 1; i <= need; ++i) {
        if (i >= n) {
            if (!atEnd) return 0;
            out = kReplacementCharacter;
            if (malformed) *malformed = true;
            return i;
        }
        if (p[i] < low || p[i] > high) {
            out = kReplacementCharacter;
            if (malformed) *malformed = true;
            return i;
        }
        low = 0x80;
        high = 0xBF;
        code = code << 6 | (p[i] & 0x3F);
    }
    // Characters beyond 16 bits stand as one replacement character, so offsets stay whole.
    out = code > 0xFFFF ? kReplacementCharacter : char16_t(code);
    return need + 1;
}

bool Utf8Index::Build(const ByteSource& read, uint32_t length) {
    checkpoints_.clear();
    checkpoints_.push_back({0, 0});
    chars_ = 0;
    length_ = length;
    bom_ = false;
    valid_ = true;
    multiByte_ = false;
    std::vector<uint8_t> block(kBlockBytes);
    uint64_t pos = 0;
    uint64_t nextMark = kCheckpointBytes;
    uint64_t chars = 0;
    while (pos < length) {
        size_t want = size_t(std::min<uint64_t>(block.size(), length - pos));
        int64_t got = read(pos, block.data(), want);
        if (got < 0) return false;
        if (got == 0) {  // the source is shorter than it said: the book ends here
            length_ = uint32_t(pos);
            break;
        }
        const size_t n = size_t(got);
        const bool atEnd = pos + n >= length;
        if (pos == 0 && n >= 3 && block[0] == 0xEF && block[1] == 0xBB && block[2] == 0xBF)
            bom_ = true;
        size_t i = 0;
        while (i < n) {
            if (pos + i >= nextMark) {
                checkpoints_.push_back({uint32_t(chars), uint32_t(pos + i)});
                nextMark = pos + i + kCheckpointBytes;
            }
            if (i + 8 <= n && EightAscii(&block[i])) {
                i += 8;
                chars += 8;
                continue;
            }
            char16_t c;
            bool bad = false;
            size_t k = DecodeUtf8Character(&block[i], n - i, atEnd, c, &bad);
            if (k == 0) break;  // a sequence runs into the next block
            if (bad) valid_ = false;
            if (k > 1 && !bad) multiByte_ = true;
            i += k;
            ++chars;
        }
        if (i == 0) return false;  // cannot happen with blocks longer than a sequence
        pos += i;
    }
    chars_ = uint32_t(std::min<uint64_t>(chars, 0x7fffffff));
    checkpoints_.shrink_to_fit();
    return true;
}

int64_t Utf8Index::Decode(const ByteSource& read, uint32_t charOffset, char16_t* out,
                          size_t count) const {
    if (charOffset >= chars_ || count == 0 || checkpoints_.empty()) return 0;
    auto after =
        std::upper_bound(checkpoints_.begin(), checkpoints_.end(), charOffset,
                         [](uint32_t offset, const Checkpoint& c) { return offset < c.chars; });
    const Checkpoint& from = *(after - 1);
    uint64_t pos = from.bytes;
    uint64_t skip = charOffset - from.chars;
    size_t written = 0;
    std::vector<uint8_t> block(std::min<size_t>(kBlockBytes, (skip + count) * 3 + 4));
    while (written < count && pos < length_) {
        size_t want = size_t(std::min<uint64_t>(block.size(), length_ - pos));
        int64_t got = read(pos, block.data(), want);
        if (got < 0) return -1;
        if (got == 0) break;
        const size_t n = size_t(got);
        const bool atEnd = pos + n >= length_;
        size_t i = 0;
        while (i < n && written < count) {
            char16_t c;
            size_t k = DecodeUtf8Character(&block[i], n - i, atEnd, c);
            if (k == 0) break;
            i += k;
            if (skip > 0)
                --skip;
            else
                out[written++] = c;
        }
        if (i == 0) break;
        pos += i;
    }
    return int64_t(written);
}

bool DeclaresUtf8(const uint8_t* bytes, size_t n) {
    std::string text = LowerAscii(std::string_view(reinterpret_cast<const char*>(bytes), n));
    for (size_t at = text.find("charset"); at != std::string::npos;
         at = text.find("charset", at + 1)) {
        size_t i = at + 7;
        while (i < text.size() && text[i] == ' ')
            ++i;
        if (i >= text.size() || text[i] != '=') continue;
        ++i;
        while (i < text.size() && (text[i] == ' ' || text[i] == '"' || text[i] == '\''))
            ++i;
        std::string_view rest = std::string_view(text).substr(i);
        if (rest.substr(0, 5) == "utf-8" || rest.substr(0, 4) == "utf8") return true;
    }
    return false;
}

}  // namespace pagewick
