#include "formats/lit/LitManifest.h"

#include "util/LittleEndian.h"

namespace pagewick {

namespace {

bool IsContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// A manifest string: a count c, then c UTF-8 characters.
int ReadManifestString(std::span<const uint8_t> bytes, size_t& at, std::string& out) {
    if (at >= bytes.size()) return kLitBadSectionData;
    const size_t chars = bytes[at++];
    size_t end = at, seen = 0;
    if (chars > 0) {
        for (; end < bytes.size(); ++end) {
            if (!IsContinuation(bytes[end]) && seen++ == chars) break;
        }
        if (seen < chars) return kLitBadSectionData;
    }
    out.assign(reinterpret_cast<const char*>(bytes.data() + at), end - at);
    at = end;
    return 0;
}

}  // namespace

int ParseLitManifest(std::span<const uint8_t> bytes, LitManifest& out) {
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t nameLength = bytes[at++];
        if (nameLength == 0) {
            if (at != bytes.size()) return kLitMalformed;
            break;
        }
        if (bytes.size() - at < nameLength) return kLitBadSectionData;
        at += nameLength;
        LitManifest groups;
        size_t total = 0;
        for (auto& group : groups) {
            if (bytes.size() - at < 4) return kLitBadSectionData;
            const uint32_t count = Le32(bytes, at);
            at += 4;
            // An entry takes at least eight bytes: refuse a count the manifest cannot hold
            // before reserving room for it.
            if (count > (bytes.size() - at) / 8) return kLitBadSectionData;
            total += count;
            if (total > kLitMaxManifestEntries) return kLitNoMemory;
            group.reserve(count);
            for (uint32_t i = 0; i < count; ++i) {
                LitManifestEntry entry;
                if (bytes.size() - at < 4) return kLitBadSectionData;
                entry.value = Le32(bytes, at);
                at += 4;
                for (std::string* field : {&entry.id, &entry.path, &entry.mediaType}) {
                    if (int rc = ReadManifestString(bytes, at, *field)) return rc;
                }
                if (at >= bytes.size()) return kLitBadSectionData;
                ++at;  // one byte we do not use
                group.push_back(std::move(entry));
            }
        }
        out = std::move(groups);
    }
    return 0;
}

}  // namespace pagewick
