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

bool Utf8Index::Build(const ByteSource& read, uint32_t length, bool stopWhenNotUtf8) {
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
            // ASCII up to the next checkpoint mark needs no decoding: one character a byte.
            const size_t stretch = size_t(std::min<uint64_t>(n, nextMark - pos));
            const size_t from = i;
            while (i + 8 <= stretch && EightAscii(&block[i]))
                i += 8;
            while (i < stretch && block[i] < 0x80)
                ++i;
            chars += i - from;
            if (i >= stretch) continue;
            char16_t c;
            bool bad = false;
            size_t k = DecodeUtf8Character(&block[i], n - i, atEnd, c, &bad);
            if (k == 0) break;  // a sequence runs into the next block
            if (bad) {
                valid_ = false;
                if (stopWhenNotUtf8 && !bom_) return true;
            }
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
                          size_t count) {
    if (charOffset >= chars_ || count == 0 || checkpoints_.empty()) return 0;
    auto after =
        std::upper_bound(checkpoints_.begin(), checkpoints_.end(), charOffset,
                         [](uint32_t offset, const Checkpoint& c) { return offset < c.chars; });
    Checkpoint from = *(after - 1);
    if (resume_.chars <= charOffset && resume_.chars > from.chars) from = resume_;
    uint64_t pos = from.bytes;
    uint64_t skip = charOffset - from.chars;
    size_t written = 0;
    uint64_t lastAt = pos;  // where the last character written begins
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
            if (skip == 0 && block[i] < 0x80) {
                // A run of ASCII is copied as it is.
                size_t run = 0;
                const size_t most = std::min(n - i, count - written);
                // Eight at a time while they last, widened in one loop the compiler vectorises.
                while (run + 8 <= most && EightAscii(&block[i + run])) {
                    for (size_t k = 0; k < 8; ++k)
                        out[written + run + k] = block[i + run + k];
                    run += 8;
                }
                while (run < most && block[i + run] < 0x80)
                    out[written + run] = block[i + run], ++run;
                written += run;
                i += run;
                lastAt = pos + i - 1;
                continue;
            }
            char16_t c;
            size_t k = DecodeUtf8Character(&block[i], n - i, atEnd, c);
            if (k == 0) break;
            if (skip > 0) {
                --skip;
            } else {
                lastAt = pos + i;
                out[written++] = c;
            }
            i += k;
        }
        if (i == 0) break;
        pos += i;
    }
    // Windows overlap by their last character, so the next read begins there.
    if (written > 0) resume_ = {uint32_t(charOffset + written - 1), uint32_t(lastAt)};
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
