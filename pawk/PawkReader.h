// Reader of the PAWK book format: parses the header, reading order, contents and chunk table,
// and turns the book into one byte stream of positions read chunk by chunk.
//
// The book file belongs to the caller, which opens it around each use and hands it to the
// operations that read (Open, ReadChunk, ReadWindow, ExtractFile); the reader never opens or
// closes it. Every count, length and offset taken from the file is checked against the file
// before use: a damaged table makes Open fail, a damaged chunk makes only its own read fail.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "pawk/PawkFile.h"
#include "pawk/PawkFormat.h"

namespace pagewick {

enum class PawkChunkStatus {
    Ok,
    Missing,     // no record of that name
    Damaged,     // the record's lengths or offset do not fit, or its stream does not decode to
                 // exactly its decoded length
    Unreadable,  // the file gave fewer bytes than the record promises
};

class PawkReader {
public:
    using OrderEntry = PawkOrderEntry;
    using ContentsEntry = PawkContentsEntry;
    using ChunkEntry = PawkChunkEntry;

    // The part of the book position space that the last ReadWindow put into the buffer.
    struct Window {
        int32_t start = 0;
        int32_t length = 0;
    };

    PawkReader();
    ~PawkReader();
    PawkReader(const PawkReader&) = delete;
    PawkReader& operator=(const PawkReader&) = delete;

    // Parses the whole header, order, contents and chunk table. False for a file that is not a
    // PAWK book (magic, version above 2) or whose tables do not fit in it; the reader is then
    // closed.
    bool Open(PawkFile& file);
    // Clears every list and string and frees the chunk buffer.
    void Close();
    bool IsOpen() const { return open_; }

    // Sum of the decoded lengths of name:0, name:1, ... up to the first missing index, in book
    // positions (capped at the largest int32).
    int32_t FileLength(std::string_view name) const;

    // Decodes the chunk of that name (found without regard to case) into dest, whose size must
    // be at least the chunk's decoded length; length is set to the decoded length whenever the
    // record exists.
    PawkChunkStatus ReadChunk(PawkFile& file, std::string_view name, std::span<uint8_t> dest,
                              int32_t& length);

    // Reads the chunk that covers a book position into buffer (at least kPawkMaxChunk bytes)
    // and sets window to the positions it now holds; its first four bytes, the chunk's lead,
    // read as 0. False when no chunk covers the position or it cannot be read; window is then
    // the range of positions the failed chunk stands for (empty when there is no such chunk), so
    // a caller can answer "nothing here" for them without reading again.
    bool ReadWindow(PawkFile& file, int32_t position, std::span<uint8_t> buffer, Window& window);

    // Hands the content of an embedded file, chunk after chunk and without the leads, to sink
    // (which returns false to stop). A name without chunks gives nothing and succeeds; a chunk
    // that cannot be read, or a sink that stops, fails.
    using Sink = std::function<bool(const uint8_t* data, size_t size)>;
    bool ExtractFile(PawkFile& file, std::string_view name, const Sink& sink);
    // The same into a file at path (written beside it and renamed when complete). A name
    // without chunks gives an empty file. False when the output cannot be made or a chunk
    // cannot be read; the path is then left as it was.
    bool ExtractFile(PawkFile& file, std::string_view name, const std::filesystem::path& path);

    // The order entry that holds a position, or an empty string.
    std::string FileAt(int32_t position) const;
    const OrderEntry* OrderEntryAt(int32_t position) const;

    int32_t Version() const { return version_; }
    int32_t ChunkSize() const { return chunkSize_; }
    const std::string& Title() const { return title_; }
    const std::string& Author() const { return author_; }
    const std::string& Publisher() const { return publisher_; }
    const std::string& Identifier() const { return identifier_; }
    const std::string& Rights() const { return rights_; }
    const std::vector<OrderEntry>& Order() const { return order_; }
    const std::vector<ContentsEntry>& Contents() const { return contents_; }
    const std::vector<ChunkEntry>& Chunks() const { return chunks_; }
    const std::string& CoverName() const { return coverName_; }
    int32_t BookLength() const { return bookLength_; }
    // The chunk record of that name, without regard to case, or null.
    const ChunkEntry* FindChunk(std::string_view name) const;

private:
    struct Inflater;
    bool Parse(PawkFile& file);
    int64_t SumChunkLengths(std::string_view name) const;
    PawkChunkStatus Decode(const ChunkEntry& record, std::span<uint8_t> dest);

    bool open_ = false;
    int32_t version_ = 0;
    int32_t chunkSize_ = kPawkChunkSizeV2;
    std::string title_, author_, publisher_, identifier_, rights_;
    std::vector<OrderEntry> order_;
    std::vector<ContentsEntry> contents_;
    std::vector<ChunkEntry> chunks_;
    std::unordered_map<std::string, size_t> chunkIndex_;  // folded name -> first record
    std::string coverName_;
    int32_t bookLength_ = 0;
    std::vector<uint8_t> chunkBuffer_;  // stored bytes of the chunk being decoded
    std::unique_ptr<Inflater> inflater_;
};

}  // namespace pagewick
