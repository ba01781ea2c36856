// The LIT container: a file holding a directory of named entries, some stored plainly after the
// headers and most inside sections compressed with LZX. LitOpen reads the headers and the
// directory; LitGetEntry hands out any entry's bytes by name, decoding its section on first use.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/lit/Lzx.h"

namespace pagewick {

// Error codes of the container (negative; 0 is success).
enum LitError : int {
    kLitNoCallback = -2000,            // no read callback given
    kLitNoMemory = -2002,              // out of memory, or a section larger than we hold
    kLitReadFailed = -2010,            // the read callback failed
    kLitLzxIncomplete = -2011,         // LZX window not prepared, or decoded section incomplete
    kLitNotFound = -2030,              // no entry with that name
    kLitMalformed = -2100,             // magic, sizes, chunks, offsets, section number
    kLitBadVersion = -2110,            // unsupported version in the header or a header block
    kLitValueTooLarge = -2120,         // a 64-bit value too large
    kLitUnsupportedTransform = -2500,  // a section uses a transform other than LZX
    kLitBadSectionData = -1,           // bad name list, bad LZX control data, LZX decoding error
};

// Reads exactly count bytes at offset into out (which it resizes); false on failure.
using LitReadFn = bool (*)(void* user, uint32_t offset, uint32_t count, std::vector<uint8_t>& out);

// One directory entry as stored: the offset and size are the file's 64-bit values.
struct LitDirEntry {
    std::string name;
    uint64_t section = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
};

class LitContainer {
public:
    // Bounds on what a hostile file can make us hold. Sections are kept decoded while the book is
    // open, so one section may decode to at most kMaxSectionLength bytes and all sections of a
    // book together to kMaxDecodedTotal; a larger declared length is refused with -2002 before
    // anything is allocated.
    static constexpr uint32_t kMaxSectionLength = 128u << 20;
    static constexpr uint64_t kMaxDecodedTotal = 256u << 20;
    // How deep a section's storage entries may themselves live in other compressed sections.
    static constexpr int kMaxSectionNesting = 4;

    LitContainer() = default;
    LitContainer(const LitContainer&) = delete;
    LitContainer& operator=(const LitContainer&) = delete;

    // Reads the headers and the directory; 0 or a LitError.
    int LitOpen(LitReadFn read, void* user, uint32_t fileSize);
    // Finds an entry (same length, case ignored). With data, fills it with a copy of the entry's
    // bytes (empty for size 0); with size, reports the entry's size.
    int LitGetEntry(std::string_view name, std::vector<uint8_t>* data, uint32_t* size);
    // Drops the directory and every decoded section.
    void LitClose();

    // The directory in file order.
    const std::vector<LitDirEntry>& Entries() const { return entries_; }

private:
    // A section that cannot be decoded from the file's bytes keeps its failure code and answers
    // it at once; one that failed for want of a read or of memory stays unloaded and is tried
    // again.
    enum class SectionState { kUnloaded, kLoading, kLoaded, kFailed };
    struct Section {
        std::string name;
        SectionState state = SectionState::kUnloaded;
        int failure = 0;  // kFailed: the code every request answers
        std::vector<uint8_t> data;
    };

    int Open(uint32_t fileSize);
    int Read(uint32_t offset, uint32_t count, std::vector<uint8_t>& out);
    int ParseSecondaryHeader(std::span<const uint8_t> secondary);
    int ReadPieces(std::span<const uint8_t> table, uint32_t count);
    int ParseDirectory(std::span<const uint8_t> piece);
    int ParseListingChunk(std::span<const uint8_t> chunk);
    void IndexEntries();
    int GetEntry(std::string_view name, std::vector<uint8_t>* data, uint32_t* size, int depth);
    int LoadNameList(int depth);
    int ParseNameList(int depth);
    int LoadSection(size_t index, int depth);
    int DecodeSection(size_t index, int depth);
    int UndoLzx(const std::string& storage, std::span<const uint8_t> control,
                const std::vector<uint8_t>& compressed, std::vector<uint8_t>& out, int depth);

    LitReadFn read_ = nullptr;
    void* user_ = nullptr;
    uint32_t fileSize_ = 0;
    uint32_t contentOffset_ = 0;
    uint32_t dirChunkSize_ = 0, indexChunkSize_ = 0;
    uint32_t dirCompanion_ = 0, indexCompanion_ = 0;
    std::vector<LitDirEntry> entries_;
    // Indices into entries_ sorted by name with A-Z folded (file order among equal names), so
    // that looking every entry up costs n log n, not n squared.
    std::vector<uint32_t> byName_;
    bool nameListLoaded_ = false;
    bool nameListLoading_ = false;
    int nameListFailure_ = 0;  // a name list that cannot be read from the file's bytes
    // Set when a load ran into kMaxSectionNesting: that failure depends on the path by which the
    // section was reached, so it is not kept as the section's own.
    bool hitNestingLimit_ = false;
    std::vector<Section> sections_;
    uint64_t decodedTotal_ = 0;
    LzxDecoder lzx_;
};

}  // namespace pagewick
