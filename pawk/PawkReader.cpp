#include "pawk/PawkReader.h"

#include <bzlib.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "util/AtomicFile.h"
#include "util/LittleEndian.h"

namespace pagewick {

namespace {

// Sequential reads of the tables through a buffer, each checked against the file's size.
class TableCursor {
public:
    explicit TableCursor(PawkFile& file) : file_(file), size_(std::max<int64_t>(file.Size(), 0)) {}

    int64_t Remaining() const { return size_ - pos_; }

    bool Read(void* dst, size_t size) {
        if (static_cast<int64_t>(size) > Remaining()) return false;
        auto* out = static_cast<uint8_t*>(dst);
        while (size > 0) {
            if (pos_ < bufferStart_ || pos_ >= bufferStart_ + bufferLength_) {
                int64_t take = std::min<int64_t>(kBuffer, Remaining());
                if (!file_.ReadAt(pos_, buffer_, static_cast<size_t>(take))) return false;
                bufferStart_ = pos_;
                bufferLength_ = take;
            }
            size_t offset = static_cast<size_t>(pos_ - bufferStart_);
            size_t n = std::min(size, static_cast<size_t>(bufferLength_) - offset);
            std::memcpy(out, buffer_ + offset, n);
            out += n;
            size -= n;
            pos_ += static_cast<int64_t>(n);
        }
        return true;
    }

    bool Skip(int64_t size) {
        if (size < 0 || size > Remaining()) return false;
        pos_ += size;
        return true;
    }

    bool ReadInt(int32_t& value) {
        uint8_t b[4];
        if (!Read(b, 4)) return false;
        value = static_cast<int32_t>(Le32(b));
        return true;
    }

    // A count of records that each take at least minSize bytes: it must fit in what is left.
    bool ReadCount(int32_t& count, int64_t minSize) {
        return ReadInt(count) && count >= 0 && count <= Remaining() / minSize;
    }

    // A string longer than the reader keeps is cut; the rest of it is skipped.
    bool ReadString(std::string& text) {
        int32_t n = 0;
        if (!ReadInt(n) || n < 0 || n > Remaining()) return false;
        int32_t keep = std::min(n, kPawkStringLimit);
        text.resize(static_cast<size_t>(keep));
        return Read(text.data(), text.size()) && Skip(n - keep);
    }

    bool SkipBlock() {
        int32_t n = 0;
        return ReadInt(n) && Skip(n);
    }

private:
    static constexpr int64_t kBuffer = 65536;
    PawkFile& file_;
    int64_t size_;
    int64_t pos_ = 0;
    uint8_t buffer_[kBuffer];
    int64_t bufferStart_ = 0;
    int64_t bufferLength_ = 0;
};

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

}  // namespace

// One inflate state per open book, reset for every chunk.
struct PawkReader::Inflater {
    z_stream stream{};
    bool ready = false;
    Inflater() { ready = inflateInit(&stream) == Z_OK; }
    ~Inflater() {
        if (ready) inflateEnd(&stream);
    }
};

PawkReader::PawkReader() = default;
PawkReader::~PawkReader() = default;

void PawkReader::Close() {
    open_ = false;
    version_ = 0;
    chunkSize_ = kPawkChunkSizeV2;
    title_.clear();
    author_.clear();
    publisher_.clear();
    identifier_.clear();
    rights_.clear();
    order_.clear();
    contents_.clear();
    chunks_.clear();
    chunkIndex_.clear();
    coverName_.clear();
    bookLength_ = 0;
    chunkBuffer_ = {};
    inflater_.reset();
}

bool PawkReader::Open(PawkFile& file) {
    Close();
    if (!Parse(file)) {
        Close();
        return false;
    }
    open_ = true;
    return true;
}

bool PawkReader::Parse(PawkFile& file) {
    auto cursor = std::make_unique<TableCursor>(file);
    TableCursor& in = *cursor;

    char magic[8];
    if (!in.Read(magic, 8) || std::memcmp(magic, kPawkMagic, 8) != 0) return false;
    if (!in.ReadInt(version_) || version_ > kPawkVersion) return false;
    chunkSize_ = PawkChunkSize(version_);

    for (std::string* field : {&title_, &author_, &publisher_, &identifier_, &rights_})
        if (!in.ReadString(*field)) return false;

    // Reserved fields: 16 bytes, N opaque blocks (N absent before version 1), one more block,
    // and from version 2 another 6 bytes.
    if (!in.Skip(16)) return false;
    int32_t blocks = 4;
    if (version_ >= 1 && !in.ReadCount(blocks, 4)) return false;
    for (int32_t i = 0; i <= blocks; ++i)
        if (!in.SkipBlock()) return false;
    if (version_ >= 2 && !in.Skip(6)) return false;

    int32_t sectionSize = 0, count = 0;
    if (!in.ReadInt(sectionSize) || !in.ReadCount(count, 4)) return false;
    order_.resize(static_cast<size_t>(count));
    for (auto& entry : order_)
        if (!in.ReadString(entry.name)) return false;

    if (!in.ReadInt(sectionSize) || !in.ReadCount(count, 12)) return false;
    contents_.resize(static_cast<size_t>(count));
    for (auto& entry : contents_) {
        if (!in.ReadInt(entry.kind) || !in.ReadString(entry.title) || !in.ReadString(entry.target))
            return false;
        if (entry.kind == kPawkContentsCoverTarget) coverName_ = entry.target;
    }

    // Each record naming a cover picture's first chunk puts a "Cover Image" entry in front of
    // the contents; the last one found ends up first.
    std::vector<ContentsEntry> coverEntries;
    if (!in.ReadCount(count, 20)) return false;
    chunks_.resize(static_cast<size_t>(count));
    chunkIndex_.reserve(chunks_.size());
    for (size_t i = 0; i < chunks_.size(); ++i) {
        ChunkEntry& record = chunks_[i];
        int32_t flags = 0;
        if (!in.ReadString(record.name) || !in.ReadInt(record.storedLength) ||
            !in.ReadInt(record.decodedLength) || !in.ReadInt(record.offset) || !in.ReadInt(flags))
            return false;
        // A negative decoded length would run the position space backwards.
        if (record.decodedLength < 0) return false;
        record.flags = static_cast<uint8_t>(flags & 0xFF);
        std::string folded = PawkFoldCase(record.name);
        if (Contains(folded, "cover.png:0")) {
            std::string target = record.name.substr(0, record.name.size() - 2);
            coverEntries.push_back({kPawkContentsCover, "Cover Image", target});
            coverName_ = target;
        }
        chunkIndex_.emplace(std::move(folded), i);
    }
    if (!coverEntries.empty()) {
        std::reverse(coverEntries.begin(), coverEntries.end());
        contents_.insert(contents_.begin(), std::make_move_iterator(coverEntries.begin()),
                         std::make_move_iterator(coverEntries.end()));
    }

    chunkBuffer_.assign(kPawkMaxChunk, 0);
    inflater_ = std::make_unique<Inflater>();
    if (!inflater_->ready) return false;

    // Positions: each order entry follows the one before. Names listed more than once are
    // summed once, so a crafted order list cannot make this walk quadratic.
    std::unordered_map<std::string, int64_t> lengths;
    int64_t total = 0;
    for (auto& entry : order_) {
        std::string folded = PawkFoldCase(entry.name);
        auto found = lengths.find(folded);
        int64_t length = found != lengths.end() ? found->second : SumChunkLengths(entry.name);
        if (found == lengths.end()) lengths.emplace(std::move(folded), length);
        if (length > INT32_MAX - total) return false;  // positions are 32-bit
        entry.start = static_cast<int32_t>(total);
        entry.length = static_cast<int32_t>(length);
        total += length;
    }
    bookLength_ = static_cast<int32_t>(total);

    if (!contents_.empty() && contents_.front().title == "Cover Image")
        coverName_ = contents_.front().target;
    return true;
}

const PawkReader::ChunkEntry* PawkReader::FindChunk(std::string_view name) const {
    auto found = chunkIndex_.find(PawkFoldCase(name));
    return found == chunkIndex_.end() ? nullptr : &chunks_[found->second];
}

int64_t PawkReader::SumChunkLengths(std::string_view name) const {
    int64_t total = 0;
    // Every index found is a distinct record, so this ends within the table's size.
    for (int64_t d = 0;; ++d) {
        const ChunkEntry* record = FindChunk(PawkChunkName(name, d));
        if (!record) break;
        total += record->decodedLength;
    }
    return total;
}

int32_t PawkReader::FileLength(std::string_view name) const {
    return static_cast<int32_t>(std::min<int64_t>(SumChunkLengths(name), INT32_MAX));
}

PawkChunkStatus PawkReader::ReadChunk(PawkFile& file, std::string_view name,
                                      std::span<uint8_t> dest, int32_t& length) {
    if (!open_) return PawkChunkStatus::Missing;
    const ChunkEntry* record = FindChunk(name);
    if (!record) return PawkChunkStatus::Missing;
    length = record->decodedLength;
    if (record->decodedLength > kPawkMaxChunk ||
        static_cast<size_t>(record->decodedLength) > dest.size())
        return PawkChunkStatus::Damaged;
    if (record->storedLength < 0 || record->storedLength > kPawkMaxChunk || record->offset < 0 ||
        int64_t(record->offset) + record->storedLength > file.Size())
        return PawkChunkStatus::Damaged;
    if (!file.ReadAt(record->offset, chunkBuffer_.data(), size_t(record->storedLength)))
        return PawkChunkStatus::Unreadable;
    return Decode(*record, dest);
}

PawkChunkStatus PawkReader::Decode(const ChunkEntry& record, std::span<uint8_t> dest) {
    const auto decoded = static_cast<unsigned>(record.decodedLength);
    const auto stored = static_cast<unsigned>(record.storedLength);
    if (!(record.flags & kPawkChunkCompressed)) {
        // Stored as it is: the record cannot promise more bytes than it stores.
        if (decoded > stored) return PawkChunkStatus::Damaged;
        std::memcpy(dest.data(), chunkBuffer_.data(), decoded);
        return PawkChunkStatus::Ok;
    }
    // A stream must give exactly the decoded length: one that stops short or has more to give
    // is damaged, and no stale bytes of an earlier chunk are shown for it.
    if (version_ >= 2) {
        z_stream& s = inflater_->stream;
        if (inflateReset(&s) != Z_OK) return PawkChunkStatus::Damaged;
        s.next_in = chunkBuffer_.data();
        s.avail_in = stored;
        s.next_out = dest.data();
        s.avail_out = decoded;
        int result = inflate(&s, Z_FINISH);
        if (result != Z_STREAM_END || s.total_out != decoded) return PawkChunkStatus::Damaged;
        return PawkChunkStatus::Ok;
    }
    unsigned int produced = decoded;
    int result = BZ2_bzBuffToBuffDecompress(reinterpret_cast<char*>(dest.data()), &produced,
                                            reinterpret_cast<char*>(chunkBuffer_.data()), stored,
                                            /*small=*/1, /*verbosity=*/0);
    if (result != BZ_OK || produced != decoded) return PawkChunkStatus::Damaged;
    return PawkChunkStatus::Ok;
}

const PawkReader::OrderEntry* PawkReader::OrderEntryAt(int32_t position) const {
    if (position < 0) return nullptr;
    // Starts never decrease and the ranges touch end to end, so the last entry starting at or
    // before the position is the only one that can hold it.
    auto after = std::upper_bound(order_.begin(), order_.end(), position,
                                  [](int32_t p, const OrderEntry& e) { return p < e.start; });
    if (after == order_.begin()) return nullptr;
    const OrderEntry& entry = *(after - 1);
    if (int64_t(position) < int64_t(entry.start) + entry.length) return &entry;
    return nullptr;
}

std::string PawkReader::FileAt(int32_t position) const {
    const OrderEntry* entry = OrderEntryAt(position);
    return entry ? entry->name : std::string();
}

bool PawkReader::ReadWindow(PawkFile& file, int32_t position, std::span<uint8_t> buffer,
                            Window& window) {
    window = {};
    if (!open_ || buffer.size() < size_t(kPawkMaxChunk)) return false;
    const OrderEntry* entry = OrderEntryAt(position);
    if (!entry) return false;
    int32_t index = (position - entry->start) / chunkSize_;
    int32_t start = entry->start + index * chunkSize_;
    int32_t length = 0;
    PawkChunkStatus status = ReadChunk(file, PawkChunkName(entry->name, index), buffer, length);
    if (status == PawkChunkStatus::Missing) return false;
    if (status != PawkChunkStatus::Ok) {
        // The failed chunk's own positions, no further than where the next chunk begins.
        window = {start, std::clamp(length, 0, std::min(chunkSize_, INT32_MAX - start))};
        return false;
    }
    window = {start, std::min(length, INT32_MAX - start)};
    std::memset(buffer.data(), 0, kPawkLeadSize);
    return true;
}

bool PawkReader::ExtractFile(PawkFile& file, std::string_view name, const Sink& sink) {
    if (!open_) return false;
    std::vector<uint8_t> scratch(kPawkMaxChunk);
    for (int64_t d = 0;; ++d) {
        int32_t length = 0;
        PawkChunkStatus status = ReadChunk(file, PawkChunkName(name, d), scratch, length);
        if (status == PawkChunkStatus::Missing) return true;
        if (status != PawkChunkStatus::Ok) return false;
        if (length > kPawkLeadSize &&
            !sink(scratch.data() + kPawkLeadSize, size_t(length - kPawkLeadSize)))
            return false;
    }
}

bool PawkReader::ExtractFile(PawkFile& file, std::string_view name,
                             const std::filesystem::path& path) {
    if (!open_) return false;
    AtomicFile out(path);
    if (!out.IsOpen()) return false;
    bool ok = ExtractFile(
        file, name, [&out](const uint8_t* data, size_t size) { return out.Write(data, size); });
    return ok && out.Commit();
}

}  // namespace pagewick
