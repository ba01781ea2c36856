#include "pawk/PawkWriter.h"

#include <zlib.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>
#include <unordered_set>

#include "pawk/PawkFile.h"
#include "util/AtomicFile.h"

namespace pagewick {

namespace {

constexpr int32_t kChunkSize = kPawkChunkSizeV2;
constexpr int32_t kContentPerChunk = kChunkSize - kPawkLeadSize;  // 32,767

class Bytes {
public:
    void Int(int32_t v) {
        auto u = static_cast<uint32_t>(v);
        uint8_t b[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
        Raw(b, 4);
    }
    void String(const std::string& s) {
        Int(static_cast<int32_t>(s.size()));
        Raw(s.data(), s.size());
    }
    void Zeros(size_t n) { data.insert(data.end(), n, 0); }
    void Raw(const void* p, size_t n) {
        auto* b = static_cast<const uint8_t*>(p);
        data.insert(data.end(), b, b + n);
    }
    std::vector<uint8_t> data;
};

struct Deflater {
    z_stream stream{};
    bool ready = false;
    Deflater() { ready = deflateInit(&stream, 9) == Z_OK; }
    ~Deflater() {
        if (ready) deflateEnd(&stream);
    }
};

struct Inflater {
    z_stream stream{};
    bool ready = false;
    Inflater() { ready = inflateInit(&stream) == Z_OK; }
    ~Inflater() {
        if (ready) inflateEnd(&stream);
    }
};

struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// One file of the book as it is written.
struct Planned {
    const PawkSourceFile* source;
    std::string stored;
    bool compressed;
    int64_t size;
    int64_t chunks;
};

struct Record {
    std::string name;
    int32_t stored = 0;
    int32_t decoded = 0;
    uint8_t flags = 0;
};

PawkWriteResult Failure(PawkWriteStatus status, std::string detail) {
    return {status, std::move(detail)};
}

std::string Cut(const std::string& s) {
    return s.size() > size_t(kPawkHeaderStringLimit) ? s.substr(0, kPawkHeaderStringLimit) : s;
}

}  // namespace

const char* PawkWriteStatusText(PawkWriteStatus status) {
    switch (status) {
        case PawkWriteStatus::Ok:
            return "written";
        case PawkWriteStatus::BadName:
            return "file name empty, too long or used twice";
        case PawkWriteStatus::StringTooLong:
            return "contents text too long";
        case PawkWriteStatus::CannotReadSource:
            return "cannot read source file";
        case PawkWriteStatus::CompressionFailed:
            return "compression failed";
        case PawkWriteStatus::VerifyFailed:
            return "compressed chunk did not inflate to its bytes";
        case PawkWriteStatus::BookTooLarge:
            return "book too large";
        case PawkWriteStatus::CannotCreateOutput:
            return "cannot create output file";
        case PawkWriteStatus::WriteFailed:
            return "cannot write output file";
        case PawkWriteStatus::Cancelled:
            return "cancelled";
    }
    return "unknown error";
}

std::string PawkWriter::StoredName(const std::string& name, bool first) {
    size_t slash = name.find_last_of("/\\");
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    if (first && base.size() >= 4 && PawkFoldCase(base.substr(base.size() - 4)) == ".png")
        return "cover.png";
    return base;
}

PawkWriteResult PawkWriter::Write(const std::filesystem::path& path) const {
    // Plan every file: stored name, size and chunk count, before anything is written.
    std::vector<Planned> plan;
    std::unordered_set<std::string> names;
    int64_t totalChunks = 0;
    int64_t bookLength = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        const PawkSourceFile& f = files[i];
        Planned p{&f, f.nameAsGiven ? f.name : StoredName(f.name, i == 0),
                  !PawkIsPictureOrMedia(f.name), 0, 0};
        // Room for ":" and any chunk index within what readers keep of a name.
        if (p.stored.empty() || p.stored.size() + 12 > size_t(kPawkStringLimit))
            return Failure(PawkWriteStatus::BadName, f.name);
        // A second file of the same name could never be read back.
        if (!names.insert(PawkFoldCase(p.stored)).second)
            return Failure(PawkWriteStatus::BadName, p.stored);
        if (f.text) {
            p.size = static_cast<int64_t>(f.text->size());
        } else {
            std::error_code error;
            auto size = std::filesystem::file_size(f.path, error);
            if (error) return Failure(PawkWriteStatus::CannotReadSource, f.path.string());
            p.size = static_cast<int64_t>(size);
        }
        if (p.size > INT32_MAX) return Failure(PawkWriteStatus::BookTooLarge, f.name);
        p.chunks = (p.size + kContentPerChunk - 1) / kContentPerChunk;
        totalChunks += p.chunks;
        if (p.compressed) bookLength += p.size + kPawkLeadSize * p.chunks;
        plan.push_back(std::move(p));
    }
    if (bookLength > INT32_MAX) return Failure(PawkWriteStatus::BookTooLarge, "");
    for (const auto& entry : contents)
        if (entry.title.size() > size_t(kPawkStringLimit) ||
            entry.target.size() > size_t(kPawkStringLimit))
            return Failure(PawkWriteStatus::StringTooLong, entry.title.substr(0, 40));

    // Header, reserved fields, order and contents.
    Bytes head;
    head.Raw(kPawkMagic, 8);
    head.Int(kPawkVersion);
    for (const std::string* s : {&title, &author, &publisher, &identifier, &rights})
        head.String(Cut(*s));
    head.Zeros(16);  // reserved A
    head.Int(4);     // four reserved blocks and one more, all empty
    for (int i = 0; i < 5; ++i)
        head.Int(0);
    head.Zeros(6);  // reserved B
    int64_t orderSize = 0;
    int32_t orderCount = 0;
    for (const auto& p : plan)
        if (p.compressed) {
            orderSize += 4 + int64_t(p.stored.size());
            ++orderCount;
        }
    head.Int(static_cast<int32_t>(orderSize));
    head.Int(orderCount);
    for (const auto& p : plan)
        if (p.compressed) head.String(p.stored);
    int64_t contentsSize = 4;
    for (const auto& e : contents)
        contentsSize += 12 + int64_t(e.title.size() + e.target.size());
    if (contentsSize > INT32_MAX) return Failure(PawkWriteStatus::BookTooLarge, "");
    head.Int(static_cast<int32_t>(contentsSize));
    head.Int(static_cast<int32_t>(contents.size()));
    for (const auto& e : contents) {
        head.Int(e.kind);
        head.String(e.title);
        head.String(e.target);
    }

    // The chunk table's size is known from the plan, so the data can follow it at once and the
    // table is filled in at the end.
    std::vector<Record> records;
    records.reserve(size_t(totalChunks));
    int64_t tableSize = 4;
    for (const auto& p : plan)
        for (int64_t d = 0; d < p.chunks; ++d) {
            Record r;
            r.name = PawkChunkName(p.stored, d);
            tableSize += 20 + int64_t(r.name.size());
            records.push_back(std::move(r));
        }
    const int64_t dataStart = int64_t(head.data.size()) + tableSize;
    if (dataStart > INT32_MAX) return Failure(PawkWriteStatus::BookTooLarge, "");

    AtomicFile out(path);
    if (!out.IsOpen()) return Failure(PawkWriteStatus::CannotCreateOutput, path.string());
    if (!out.Write(head.data.data(), head.data.size()))
        return Failure(PawkWriteStatus::WriteFailed, path.string());
    std::vector<uint8_t> zeros(size_t(tableSize), 0);
    if (!out.Write(zeros.data(), zeros.size()))
        return Failure(PawkWriteStatus::WriteFailed, path.string());

    Deflater deflater;
    Inflater inflater;
    if (!deflater.ready || !inflater.ready) return Failure(PawkWriteStatus::CompressionFailed, "");
    std::vector<uint8_t> raw(kChunkSize), packed(kChunkSize), check(kChunkSize + 4);
    uint32_t lead = 0x5041574Bu;  // xorshift state: a fixed seed keeps books reproducible
    int64_t offset = dataStart;
    size_t next = 0;
    for (const auto& p : plan) {
        std::unique_ptr<std::FILE, Closer> source;
        if (!p.source->text && p.chunks > 0) {
            source.reset(std::fopen(p.source->path.string().c_str(), "rb"));
            if (!source) return Failure(PawkWriteStatus::CannotReadSource, p.source->path.string());
        }
        for (int64_t d = 0; d < p.chunks; ++d) {
            Record& r = records[next++];
            size_t content =
                size_t(std::min<int64_t>(kContentPerChunk, p.size - d * kContentPerChunk));
            lead ^= lead << 13;
            lead ^= lead >> 17;
            lead ^= lead << 5;
            std::memcpy(raw.data(), &lead, kPawkLeadSize);
            if (p.source->text) {
                std::memcpy(raw.data() + kPawkLeadSize,
                            p.source->text->data() + d * kContentPerChunk, content);
            } else if (std::fread(raw.data() + kPawkLeadSize, 1, content, source.get()) !=
                       content) {
                return Failure(PawkWriteStatus::CannotReadSource, p.source->path.string());
            }
            const auto rawSize = static_cast<uInt>(content + kPawkLeadSize);
            const uint8_t* storedBytes = raw.data();
            uInt storedSize = rawSize;
            r.flags = 0;
            if (p.compressed) {
                z_stream& z = deflater.stream;
                if (deflateReset(&z) != Z_OK)
                    return Failure(PawkWriteStatus::CompressionFailed, r.name);
                z.next_in = raw.data();
                z.avail_in = rawSize;
                z.next_out = packed.data();
                z.avail_out = kChunkSize;
                int result = deflate(&z, Z_FINISH);
                if (result == Z_STREAM_END) {
                    // Inflate it again and compare before it goes into the book.
                    z_stream& v = inflater.stream;
                    if (inflateReset(&v) != Z_OK)
                        return Failure(PawkWriteStatus::VerifyFailed, r.name);
                    v.next_in = packed.data();
                    v.avail_in = static_cast<uInt>(z.total_out);
                    v.next_out = check.data();
                    v.avail_out = static_cast<uInt>(check.size());
                    if (inflate(&v, Z_FINISH) != Z_STREAM_END || v.total_out != rawSize ||
                        std::memcmp(check.data(), raw.data(), rawSize) != 0)
                        return Failure(PawkWriteStatus::VerifyFailed, r.name);
                    storedBytes = packed.data();
                    storedSize = static_cast<uInt>(z.total_out);
                    r.flags = kPawkChunkCompressed;
                } else if (result != Z_OK && result != Z_BUF_ERROR) {
                    return Failure(PawkWriteStatus::CompressionFailed, r.name);
                }
                // A chunk that does not shrink into one chunk's room is stored as it is: every
                // reader takes a stored chunk of any file.
            }
            r.stored = static_cast<int32_t>(storedSize);
            r.decoded = static_cast<int32_t>(rawSize);
            if (offset + storedSize > INT32_MAX) return Failure(PawkWriteStatus::BookTooLarge, "");
            offset += storedSize;
            if (!out.Write(storedBytes, storedSize))
                return Failure(PawkWriteStatus::WriteFailed, path.string());
            if (progress) progress(int64_t(next), totalChunks);
            if (cancelled && cancelled()) return Failure(PawkWriteStatus::Cancelled, "");
        }
    }

    Bytes table;
    table.Int(static_cast<int32_t>(records.size()));
    int64_t at = dataStart;
    for (const auto& r : records) {
        table.String(r.name);
        table.Int(r.stored);
        table.Int(r.decoded);
        table.Int(static_cast<int32_t>(at));
        table.Int(r.flags);
        at += r.stored;
    }
    if (!out.Seek(int64_t(head.data.size())) || !out.Write(table.data.data(), table.data.size()) ||
        !out.Commit())
        return Failure(PawkWriteStatus::WriteFailed, path.string());
    return {};
}

}  // namespace pagewick
