#include "formats/Utf8Text.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "util/AsciiCase.h"
#include "util/Utf8.h"

namespace pagewick {

namespace {

constexpr size_t kBlockBytes = 1 << 16;

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
            // ASCII and well-formed two-byte characters up to the next checkpoint mark are
            // counted in place.
            const size_t stretch = size_t(std::min<uint64_t>(n, nextMark - pos));
            while (i < stretch) {
                if (block[i] < 0x80) {
                    const size_t run = Utf8AsciiRun(&block[i], stretch - i);
                    i += run;
                    chars += run;
                } else if (block[i] >= 0xC2 && block[i] <= 0xDF && i + 1 < n &&
                           (block[i + 1] & 0xC0) == 0x80) {
                    i += 2;
                    ++chars;
                    multiByte_ = true;
                } else {
                    break;
                }
            }
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
    std::vector<uint8_t>& block = block_;
    block.resize(std::min<size_t>(kBlockBytes, (skip + count) * 3 + 4));
    while (written < count && pos < length_) {
        size_t want = size_t(std::min<uint64_t>(block.size(), length_ - pos));
        int64_t got = read(pos, block.data(), want);
        if (got < 0) return -1;
        if (got == 0) break;
        const size_t n = size_t(got);
        const bool atEnd = pos + n >= length_;
        size_t i = 0;
        while (i < n && written < count) {
            if (skip == 0) {
                // ASCII and well-formed two-byte characters, the common ones, in place.
                size_t w = written, last = SIZE_MAX;
                while (i < n && w < count) {
                    const uint8_t b = block[i];
                    if (b < 0x80) {
                        // A stretch of ASCII, measured first and then widened in one loop.
                        const uint8_t* from = &block[i];
                        const size_t run = Utf8AsciiRun(from, std::min(n - i, count - w));
                        char16_t* to = out + w;
                        for (size_t k = 0; k < run; ++k)
                            to[k] = from[k];
                        w += run;
                        i += run;
                        last = i - 1;
                    } else if (b >= 0xC2 && b <= 0xDF && i + 1 < n &&
                               (block[i + 1] & 0xC0) == 0x80) {
                        out[w++] = char16_t((b & 0x1F) << 6 | (block[i + 1] & 0x3F));
                        last = i;
                        i += 2;
                    } else {
                        break;
                    }
                }
                written = w;
                if (last != SIZE_MAX) lastAt = pos + last;
                if (i >= n || written >= count) break;
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
