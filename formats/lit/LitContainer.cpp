#include "formats/lit/LitContainer.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <new>

#include "util/AsciiCase.h"
#include "util/LittleEndian.h"

namespace pagewick {

namespace {

constexpr uint32_t kMask31 = 0x7fffffff;
constexpr uint32_t kFileHeaderSize = 40;
constexpr uint32_t kDirectoryHeaderSize = 32;
constexpr uint32_t kChunkHeaderSize = 48;
constexpr const char* kLzxGuid = "{0A9007C6-4076-11D3-8789-0000F8105754}";

// A 32-bit length, count or offset: the top bit is never part of the value.
uint32_t Field(std::span<const uint8_t> bytes, size_t at) {
    return Le32(bytes, at) & kMask31;
}

// A 64-bit value whose high half must be 0; the low half as a field.
int Field64(std::span<const uint8_t> bytes, size_t at, uint32_t& value) {
    if (Le32(bytes, at + 4) != 0) return kLitValueTooLarge;
    value = Field(bytes, at);
    return 0;
}

// Big-endian base-128 number; reading stops at the end of the bytes.
uint64_t ReadVarint(std::span<const uint8_t> bytes, size_t& pos) {
    uint64_t value = 0;
    while (pos < bytes.size()) {
        uint8_t b = bytes[pos++];
        value = (value << 7) | (b & 0x7f);
        if (!(b & 0x80)) break;
    }
    return value;
}

std::string GuidText(std::span<const uint8_t> g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  unsigned(Le32(g, 0)), unsigned(Le16(g, 4)), unsigned(Le16(g, 6)), g[8], g[9],
                  g[10], g[11], g[12], g[13], g[14], g[15]);
    return text;
}

// Orders names by length, then by their bytes with A-Z folded: names equal in this order are the
// ones a lookup matches (same length, case ignored).
bool LessIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return a.size() < b.size();
    for (size_t i = 0; i < a.size(); ++i) {
        const uint8_t x = uint8_t(LowerAscii(a[i])), y = uint8_t(LowerAscii(b[i]));
        if (x != y) return x < y;
    }
    return false;
}

// Only a failed read of the file can go differently next time; anything found wrong with the
// file's bytes will be found wrong again.
bool Retryable(int rc) {
    return rc == kLitReadFailed;
}

}  // namespace

int LitContainer::LitOpen(LitReadFn read, void* user, uint32_t fileSize) {
    LitClose();
    read_ = read;
    user_ = user;
    int rc;
    try {
        rc = Open(fileSize);
    } catch (const std::bad_alloc&) {
        rc = kLitNoMemory;
    }
    if (rc != 0) {
        LitClose();
        read_ = read;
        user_ = user;
    }
    return rc;
}

int LitContainer::LitGetEntry(std::string_view name, std::vector<uint8_t>* data, uint32_t* size) {
    try {
        return GetEntry(name, data, size, 0);
    } catch (const std::bad_alloc&) {
        if (data) data->clear();
        return kLitNoMemory;
    }
}

void LitContainer::LitClose() {
    entries_.clear();
    entries_.shrink_to_fit();
    byName_.clear();
    byName_.shrink_to_fit();
    sections_.clear();
    sections_.shrink_to_fit();
    nameListLoaded_ = false;
    nameListLoading_ = false;
    nameListFailure_ = 0;
    hitNestingLimit_ = false;
    decodedTotal_ = 0;
    contentOffset_ = 0;
    dirChunkSize_ = indexChunkSize_ = dirCompanion_ = indexCompanion_ = 0;
    fileSize_ = 0;
}

int LitContainer::Read(uint32_t offset, uint32_t count, std::vector<uint8_t>& out) {
    if (uint64_t(offset) + count > fileSize_) return kLitMalformed;
    out.clear();
    if (!read_(user_, offset, count, out) || out.size() != count) return kLitReadFailed;
    return 0;
}

int LitContainer::Open(uint32_t fileSize) {
    if (!read_) return kLitNoCallback;
    if (fileSize < kFileHeaderSize) return kLitMalformed;
    fileSize_ = fileSize;

    std::vector<uint8_t> header;
    int rc = Read(0, kFileHeaderSize, header);
    if (rc) return rc;
    if (std::memcmp(header.data(), "ITOLITLS", 8) != 0) return kLitMalformed;
    if (Field(header, 8) != 1) return kLitBadVersion;

    const uint32_t headerLength = Field(header, 12);
    const uint32_t pieceCount = Field(header, 16);
    const uint32_t secondaryLength = Field(header, 20);
    const uint64_t secondaryOffset = uint64_t(headerLength) + 16 * uint64_t(pieceCount);
    const uint64_t total = secondaryOffset + secondaryLength;
    if (headerLength < kFileHeaderSize || total >= fileSize) return kLitMalformed;

    std::vector<uint8_t> head;
    rc = Read(0, uint32_t(total), head);
    if (rc) return rc;
    const std::span<const uint8_t> headBytes(head);
    rc = ParseSecondaryHeader(headBytes.subspan(size_t(secondaryOffset)));
    if (rc) return rc;
    rc = ReadPieces(headBytes.subspan(headerLength), pieceCount);
    if (rc) return rc;
    IndexEntries();
    return GetEntry("/meta", nullptr, nullptr, 0);
}

void LitContainer::IndexEntries() {
    byName_.resize(entries_.size());
    for (size_t i = 0; i < byName_.size(); ++i)
        byName_[i] = uint32_t(i);
    // Stable: among names that differ only in case the first in file order comes first.
    std::stable_sort(byName_.begin(), byName_.end(), [&](uint32_t a, uint32_t b) {
        return LessIgnoringAsciiCase(entries_[a].name, entries_[b].name);
    });
}

int LitContainer::ParseSecondaryHeader(std::span<const uint8_t> secondary) {
    const size_t length = secondary.size();
    if (length < 8) return kLitMalformed;
    size_t pos = Field(secondary, 4);
    while (pos < length) {
        if (length - pos < 12) return kLitMalformed;
        const std::span<const uint8_t> block = secondary.subspan(pos);
        uint32_t version = Field(block, 4);
        uint32_t blockLength = Field(block, 8);
        if (std::memcmp(block.data(), "CAOL", 4) == 0) {
            if (version != 2) return kLitBadVersion;
            if (length - pos < 48) return kLitMalformed;
            dirChunkSize_ = Field(block, 20);
            indexChunkSize_ = Field(block, 24);
            dirCompanion_ = Field(block, 28);
            indexCompanion_ = Field(block, 32);
            pos += 48;
        } else if (std::memcmp(block.data(), "ITSF", 4) == 0) {
            if (version != 4) return kLitBadVersion;
            if (blockLength < 32 || blockLength > length - pos) return kLitMalformed;
            int rc = Field64(block, 16, contentOffset_);
            if (rc) return rc;
            pos += blockLength;
        } else {
            // A block shorter than its own tag, version and length would never move on.
            if (blockLength < 12) return kLitMalformed;
            pos += blockLength;
        }
    }
    if (pos != length || contentOffset_ == 0) return kLitMalformed;
    return 0;
}

int LitContainer::ReadPieces(std::span<const uint8_t> table, uint32_t count) {
    std::vector<uint8_t> piece;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t record = 16 * size_t(i);
        uint32_t offset, size;
        int rc = Field64(table, record, offset);
        if (!rc) rc = Field64(table, record + 8, size);
        if (rc) return rc;
        if (uint64_t(offset) + size > fileSize_) return kLitMalformed;
        // Pieces past the fifth mean nothing to us; reading each of them would let a file with
        // many overlapping pieces make opening quadratic in its size.
        if (i > 4) continue;
        rc = Read(offset, size, piece);
        if (rc) return rc;
        if (i == 1 || i == 2) {
            if (size < 16) return kLitMalformed;
            uint32_t chunkSize = i == 1 ? dirChunkSize_ : indexChunkSize_;
            uint32_t companion = i == 1 ? dirCompanion_ : indexCompanion_;
            if (Field(piece, 8) != chunkSize || Field(piece, 12) != companion) {
                return kLitMalformed;
            }
            if (i == 1) {
                rc = ParseDirectory(piece);
                if (rc) return rc;
            }
        } else if ((i == 3 || i == 4) && size != 16) {
            return kLitMalformed;
        }
    }
    return 0;
}

int LitContainer::ParseDirectory(std::span<const uint8_t> piece) {
    if (piece.size() < kDirectoryHeaderSize || std::memcmp(piece.data(), "IFCM", 4) != 0) {
        return kLitMalformed;
    }
    const uint32_t chunkSize = Field(piece, 8);
    const uint32_t chunkCount = Field(piece, 24);
    if (piece.size() != kDirectoryHeaderSize + uint64_t(chunkCount) * chunkSize) {
        return kLitMalformed;
    }
    // Every chunk holds at least the listing header and the entry count.
    if (chunkCount != 0 && chunkSize < kChunkHeaderSize + 2) return kLitMalformed;
    for (uint32_t c = 0; c < chunkCount; ++c) {
        const auto chunk = piece.subspan(kDirectoryHeaderSize + size_t(c) * chunkSize, chunkSize);
        if (std::memcmp(chunk.data(), "AOLL", 4) != 0) continue;
        int rc = ParseListingChunk(chunk);
        if (rc) return rc;
    }
    return 0;
}

int LitContainer::ParseListingChunk(std::span<const uint8_t> chunk) {
    const size_t chunkSize = chunk.size();
    const uint32_t freeLength = Field(chunk, 4);
    if (freeLength >= chunkSize || chunkSize - freeLength < kChunkHeaderSize) return kLitMalformed;
    const size_t end = chunkSize - freeLength;
    const std::span<const uint8_t> area = chunk.first(end);
    const uint32_t count = Le16(chunk, chunkSize - 2);  // 0: the entry bytes alone decide
    size_t pos = kChunkHeaderSize;
    for (uint32_t n = 0; pos < end && (count == 0 || n < count); ++n) {
        uint64_t nameLength = ReadVarint(area, pos);
        if (nameLength > kMask31 || nameLength > end - pos || end - pos - nameLength < 3) {
            // Without a count, bytes too short for another entry are the area's padding.
            if (count == 0) break;
            return kLitMalformed;
        }
        LitDirEntry entry;
        entry.name.assign(reinterpret_cast<const char*>(area.data() + pos), size_t(nameLength));
        pos += size_t(nameLength);
        entry.section = ReadVarint(area, pos);
        entry.offset = ReadVarint(area, pos);
        entry.size = ReadVarint(area, pos);
        entries_.push_back(std::move(entry));
    }
    return 0;
}

int LitContainer::GetEntry(std::string_view name, std::vector<uint8_t>* data, uint32_t* size,
                           int depth) {
    if (data) data->clear();
    auto at = std::lower_bound(
        byName_.begin(), byName_.end(), name,
        [&](uint32_t e, std::string_view n) { return LessIgnoringAsciiCase(entries_[e].name, n); });
    if (at == byName_.end() || !EqualIgnoringAsciiCase(entries_[*at].name, name)) {
        return kLitNotFound;
    }
    const LitDirEntry* found = &entries_[*at];
    // The root folder entry of some writers carries junk 64-bit values; they only matter when
    // the entry is really asked for.
    if ((found->offset >> 32) != 0 || (found->size >> 32) != 0) return kLitValueTooLarge;
    const uint32_t offset = uint32_t(found->offset) & kMask31;
    const uint32_t length = uint32_t(found->size) & kMask31;
    if (size) *size = length;
    if (!data || length == 0) return 0;

    if (found->section == 0) {
        if (length > fileSize_) return kLitMalformed;
        uint64_t at = uint64_t(contentOffset_) + offset;
        if (at + length > fileSize_) return kLitMalformed;
        return Read(uint32_t(at), length, *data);
    }

    const uint64_t sectionNumber = found->section;
    if (!nameListLoaded_) {
        int rc = LoadNameList(depth);
        if (rc) return rc;
    }
    if (sectionNumber >= sections_.size()) return kLitMalformed;
    int rc = LoadSection(size_t(sectionNumber), depth);
    if (rc) return rc;
    const std::vector<uint8_t>& bytes = sections_[size_t(sectionNumber)].data;
    if (uint64_t(offset) + length > bytes.size()) return kLitMalformed;
    data->assign(bytes.begin() + offset, bytes.begin() + offset + length);
    return 0;
}

int LitContainer::LoadNameList(int depth) {
    if (nameListFailure_) return nameListFailure_;
    // The list cannot be stored in a section it names.
    if (nameListLoading_) return kLitMalformed;
    nameListLoading_ = true;
    int rc;
    try {
        rc = ParseNameList(depth);
    } catch (...) {
        nameListLoading_ = false;
        throw;
    }
    nameListLoading_ = false;
    if (rc && !Retryable(rc)) nameListFailure_ = rc;
    return rc;
}

int LitContainer::ParseNameList(int depth) {
    std::vector<uint8_t> list;
    int rc = GetEntry("::DataSpace/NameList", &list, nullptr, depth);
    if (rc) return rc;
    if (list.size() < 4) return kLitBadSectionData;
    const uint32_t count = Le16(list, 2);
    // Every name takes 4 bytes at least (its length and its terminating zero).
    if ((list.size() - 4) / 4 < count) return kLitBadSectionData;
    std::vector<Section> sections(count);
    size_t pos = 4;
    for (uint32_t i = 0; i < count; ++i) {
        if (list.size() - pos < 2) return kLitBadSectionData;
        uint32_t n = Le16(list, pos);
        pos += 2;
        if (n > 128 || list.size() - pos < 2 * (size_t(n) + 1)) return kLitBadSectionData;
        for (uint32_t k = 0; k < n; ++k)
            sections[i].name.push_back(char(list[pos + 2 * k]));
        pos += 2 * (size_t(n) + 1);
    }
    sections_ = std::move(sections);
    nameListLoaded_ = true;
    return 0;
}

int LitContainer::LoadSection(size_t index, int depth) {
    Section& section = sections_[index];
    switch (section.state) {
        case SectionState::kLoaded:
            return 0;
        case SectionState::kFailed:
            return section.failure;
        case SectionState::kLoading:
            // Its own storage entries cannot live inside the section being decoded.
            return kLitMalformed;
        case SectionState::kUnloaded:
            break;
    }
    if (depth >= kMaxSectionNesting) {
        hitNestingLimit_ = true;
        return kLitMalformed;
    }
    section.state = SectionState::kLoading;
    const bool outerHitLimit = hitNestingLimit_;
    hitNestingLimit_ = false;
    int rc;
    try {
        rc = DecodeSection(index, depth);
    } catch (...) {
        sections_[index].state = SectionState::kUnloaded;
        hitNestingLimit_ = outerHitLimit;
        throw;
    }
    const bool hitLimit = hitNestingLimit_;
    hitNestingLimit_ = outerHitLimit || hitLimit;
    // The storage entries may have loaded the name list again; look the section up anew.
    Section& done = sections_[index];
    if (rc == 0) {
        done.state = SectionState::kLoaded;
    } else if (Retryable(rc) || hitLimit) {
        done.state = SectionState::kUnloaded;
    } else {
        done.state = SectionState::kFailed;
        done.failure = rc;
    }
    return rc;
}

int LitContainer::DecodeSection(size_t index, int depth) {
    const std::string storage = "::DataSpace/Storage/" + sections_[index].name;
    std::vector<uint8_t> transforms, data, control;
    int rc = GetEntry(storage + "/Transform/List", &transforms, nullptr, depth + 1);
    if (!rc) rc = GetEntry(storage + "/Content", &data, nullptr, depth + 1);
    if (!rc) rc = GetEntry(storage + "/ControlData", &control, nullptr, depth + 1);
    if (rc) return rc;
    const std::span<const uint8_t> transformBytes(transforms);
    size_t controlPos = 0;
    for (size_t t = 0; t + 16 <= transforms.size(); t += 16) {
        if (control.size() - controlPos < 4) return kLitMalformed;
        uint64_t blockBytes = (uint64_t(Field(control, controlPos)) + 1) * 4;
        if (blockBytes > control.size() - controlPos) return kLitMalformed;
        if (GuidText(transformBytes.subspan(t, 16)) != kLzxGuid) return kLitUnsupportedTransform;
        std::vector<uint8_t> decoded;
        rc = UndoLzx(storage, std::span<const uint8_t>(control).subspan(controlPos), data, decoded,
                     depth + 1);
        if (rc) return rc;
        data = std::move(decoded);
        controlPos += size_t(blockBytes);
    }
    if (data.size() > kMaxDecodedTotal - decodedTotal_) return kLitNoMemory;
    decodedTotal_ += data.size();
    sections_[index].data = std::move(data);
    return 0;
}

int LitContainer::UndoLzx(const std::string& storage, std::span<const uint8_t> control,
                          const std::vector<uint8_t>& compressed, std::vector<uint8_t>& out,
                          int depth) {
    if (control.size() < 32 || std::memcmp(control.data() + 4, "LZXC", 4) != 0) {
        return kLitBadSectionData;
    }
    const uint32_t code = Le32(control, 12);
    if (code == 0) return kLitBadSectionData;
    // The window is 2^15 times the highest power of two in the code word.
    const int bits = 15 + int(std::bit_width(code)) - 1;
    if (bits < LzxDecoder::kMinWindowBits || bits > LzxDecoder::kMaxWindowBits) {
        return kLitBadSectionData;
    }
    if (lzx_.LzxSetWindow(bits) != 0) return kLitLzxIncomplete;
    const uint32_t window = 1u << bits;

    std::vector<uint8_t> table;
    int rc = GetEntry(storage + "/Transform/" + kLzxGuid + "/InstanceData/ResetTable", &table,
                      nullptr, depth);
    if (rc) return rc;
    if (table.size() < 40) return kLitMalformed;
    const uint32_t headerLength = Field(table, 12);
    uint32_t length;
    rc = Field64(table, 16, length);
    if (rc) return rc;
    const uint32_t interval = Field(table, 32);
    if (headerLength > table.size()) return kLitMalformed;
    const size_t entries = (table.size() - headerLength) / 8;
    if (length > kMaxSectionLength || length > kMaxDecodedTotal - decodedTotal_) {
        return kLitNoMemory;
    }

    // Grow the output window by window: a declared length that the data cannot fill costs no
    // more memory than the data really decodes to.
    out.clear();
    out.reserve(std::min<size_t>(length, size_t(window) + 16 * compressed.size()));
    size_t inPos = 0;
    uint32_t remaining = length;
    auto decode = [&](size_t inEnd, uint32_t count) -> int {
        size_t at = out.size();
        out.resize(at + count);
        lzx_.LzxReset();
        int r = lzx_.LzxDecode(compressed.data() + inPos, inEnd - inPos, out.data() + at, count);
        if (r != kLzxOk) return kLitBadSectionData;
        inPos = inEnd;
        remaining -= count;
        return 0;
    };

    uint64_t produced = interval;  // decoded bytes since the last reset point taken
    for (size_t e = 1; e < entries; ++e) {
        if (produced == window) {
            uint32_t resetAt;
            rc = Field64(table, headerLength + 8 * e, resetAt);
            if (rc) return rc;
            // The end of the data counts as inside it.
            if (resetAt > compressed.size()) return kLitMalformed;
            if (remaining >= window) {
                if (resetAt < inPos) return kLitMalformed;
                rc = decode(resetAt, window);
                if (rc) return rc;
            }
            produced = 0;
        }
        produced += interval;
    }
    // The last piece, up to one whole window, runs to the end of the data.
    if (remaining != 0 && remaining <= window) {
        rc = decode(compressed.size(), remaining);
        if (rc) return rc;
    }
    if (remaining != 0) return kLitLzxIncomplete;
    return 0;
}

}  // namespace pagewick
