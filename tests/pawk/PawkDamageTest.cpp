// Damaged books: every failure is a clean false or 255, never a read past a buffer.
#include <gtest/gtest.h>

#include "PawkTestBooks.h"
#include "pawk/PawkByteFetch.h"
#include "pawk/PawkReader.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

// Where the chunk table begins in a serialized raw book: found by parsing the prefix again.
size_t TableStart(const RawBook& book) {
    RawBook empty = book;
    empty.chunks.clear();
    return Serialize(empty).size() - 4;
}

void PutInt(std::vector<uint8_t>& bytes, size_t at, int32_t v) {
    auto u = uint32_t(v);
    for (int i = 0; i < 4; ++i)
        bytes[at + size_t(i)] = uint8_t(u >> (8 * i));
}

TEST(PawkDamageTest, TruncatedAtEveryOffset) {
    for (int32_t version : {1, 2}) {
        RawBook book = TextBook(version, {300, 0, 40});
        book.chunks.push_back(MakeChunks("pic.gif", ToBytes("GIF89a..."), version, false)[0]);
        const auto full = Serialize(book);
        const size_t dataStart = full.size() - [&] {
            size_t n = 0;
            for (const auto& c : book.chunks)
                n += c.stored.size();
            return n;
        }();
        std::vector<uint8_t> buffer(kPawkMaxChunk);
        for (size_t cut = 0; cut < full.size(); ++cut) {
            std::vector<uint8_t> part(full.begin(), full.begin() + long(cut));
            PawkMemoryFile file(part);
            PawkReader r;
            bool opened = r.Open(file);
            ASSERT_EQ(opened, cut >= dataStart) << "version " << version << " cut " << cut;
            if (!opened) continue;
            // A chunk whose data is cut fails; one that is whole still reads.
            for (const auto& c : r.Chunks()) {
                int32_t length = 0;
                bool whole = size_t(c.offset) + size_t(c.storedLength) <= cut;
                EXPECT_EQ(r.ReadChunk(file, c.name, buffer, length),
                          whole ? PawkChunkStatus::Ok : PawkChunkStatus::Damaged)
                    << c.name << " cut " << cut;
            }
            for (int32_t p = 0; p < r.BookLength(); p += 17) {
                PawkReader::Window w;
                bool ok = r.ReadWindow(file, p, buffer, w);
                if (!ok) {
                    EXPECT_TRUE(w.length == 0 || (w.start <= p && p < w.start + w.length));
                }
            }
        }
    }
}

TEST(PawkDamageTest, CountsAndLengthsPastTheFile) {
    RawBook book = TextBook(2, {100});
    book.author = "AA";
    const auto good = Serialize(book);
    const size_t authorCount = 16 + book.title.size();
    const size_t blockCount = authorCount + 4 + 2 + 4 + 4 + 4 + 16;
    const size_t orderCount = blockCount + 4 + (5 * 4 + 0 + 1 + 2 + 3 + 4) + 6 + 4;
    const size_t table = TableStart(book);
    // Sanity: the offsets above are where the fields are.
    ASSERT_EQ(good[authorCount], 2);
    ASSERT_EQ(good[blockCount], 4);
    ASSERT_EQ(good[orderCount], 1);
    ASSERT_EQ(good[table], 1);
    {
        PawkMemoryFile file(good);
        PawkReader r;
        ASSERT_TRUE(r.Open(file));
    }
    const size_t contentsCount = orderCount + 4 + 4 + book.order[0].size() + 4;
    ASSERT_EQ(good[contentsCount], 1);
    for (size_t at : {authorCount, blockCount, orderCount, contentsCount, table}) {
        for (int32_t value : {INT32_MAX, INT32_MIN, -1, int32_t(good.size())}) {
            auto bad = good;
            PutInt(bad, at, value);
            PawkMemoryFile file(bad);
            PawkReader r;
            EXPECT_FALSE(r.Open(file)) << "field at " << at << " = " << value;
            EXPECT_FALSE(r.IsOpen());
            EXPECT_TRUE(r.Order().empty() && r.Chunks().empty() && r.Title().empty());
        }
    }
}

// A book of one text file whose single chunk is given, plus a good second file behind it.
struct OneChunk {
    RawBook book;
    explicit OneChunk(RawChunk chunk, int32_t version = 2) {
        book = TextBook(version, {});
        book.order = {"bad.htm", "good.htm"};
        chunk.name = "bad.htm:0";
        book.chunks.push_back(std::move(chunk));
        book.chunks.push_back(MakeChunks("good.htm", ToBytes("fine"), version, true)[0]);
    }
};

PawkChunkStatus ReadBad(const RawBook& book, int32_t* windowLength = nullptr) {
    auto bytes = Serialize(book);
    PawkMemoryFile file(bytes);
    PawkReader r;
    EXPECT_TRUE(r.Open(file));
    std::vector<uint8_t> buffer(kPawkMaxChunk);
    int32_t length = 0;
    PawkChunkStatus status = r.ReadChunk(file, "bad.htm:0", buffer, length);
    PawkReader::Window w;
    EXPECT_EQ(r.ReadWindow(file, 0, buffer, w), status == PawkChunkStatus::Ok);
    if (windowLength) *windowLength = w.length;
    // The file behind the damaged chunk still reads.
    int32_t good = r.Order()[1].start;
    EXPECT_TRUE(r.ReadWindow(file, good + 4, buffer, w));
    EXPECT_EQ(w.start, good);
    EXPECT_EQ(std::string(buffer.begin() + 4, buffer.begin() + 8), "fine");
    return status;
}

TEST(PawkDamageTest, ChunkRecordsThatDoNotFit) {
    auto raw = ToBytes("    <p>some text</p>");
    RawChunk base{"", raw, int32_t(raw.size()), 0, {}, {}};
    EXPECT_EQ(ReadBad(OneChunk(base).book), PawkChunkStatus::Ok);
    {
        RawChunk c = base;
        c.offsetOverride = 1 << 30;
        EXPECT_EQ(ReadBad(OneChunk(c).book), PawkChunkStatus::Damaged);
        c.offsetOverride = -8;
        EXPECT_EQ(ReadBad(OneChunk(c).book), PawkChunkStatus::Damaged);
    }
    {
        RawChunk c = base;
        c.storedLengthOverride = 70000;  // more than any chunk buffer holds
        EXPECT_EQ(ReadBad(OneChunk(c).book), PawkChunkStatus::Damaged);
        c.storedLengthOverride = -1;
        EXPECT_EQ(ReadBad(OneChunk(c).book), PawkChunkStatus::Damaged);
    }
    {
        RawChunk c = base;
        c.decoded = 65540;  // larger than any chunk: the read fails, the window shows nothing
        int32_t window = -1;
        EXPECT_EQ(ReadBad(OneChunk(c).book, &window), PawkChunkStatus::Damaged);
        EXPECT_EQ(window, 32771);  // the positions it stands for, up to where a next chunk would be
    }
    {
        RawChunk c = base;
        c.decoded = int32_t(raw.size()) + 1;  // stored as it is but promising more than it has
        EXPECT_EQ(ReadBad(OneChunk(c).book), PawkChunkStatus::Damaged);
    }
    {
        RawChunk c = base;
        c.decoded = -1;  // positions would run backwards: the book is refused
        auto bytes = Serialize(OneChunk(c).book);
        PawkMemoryFile file(bytes);
        PawkReader r;
        EXPECT_FALSE(r.Open(file));
    }
}

TEST(PawkDamageTest, StreamsThatAreCorruptOrTooLongOrShort) {
    auto raw = ToBytes("    <p>text that compresses, text that compresses, text</p>");
    for (int32_t version : {1, 2}) {
        SCOPED_TRACE(version);
        auto pack = version >= 2 ? Deflate : Bzip2;
        RawChunk good{"", pack(raw), int32_t(raw.size()), 1, {}, {}};
        EXPECT_EQ(ReadBad(OneChunk(good, version).book), PawkChunkStatus::Ok);
        RawChunk corrupt = good;
        for (size_t i = corrupt.stored.size() / 3; i < corrupt.stored.size(); i += 5)
            corrupt.stored[i] ^= 0x5A;
        EXPECT_EQ(ReadBad(OneChunk(corrupt, version).book), PawkChunkStatus::Damaged);
        RawChunk cut = good;
        cut.stored.resize(cut.stored.size() / 2);
        EXPECT_EQ(ReadBad(OneChunk(cut, version).book), PawkChunkStatus::Damaged);
        RawChunk longer = good;  // decodes to more than its decoded length
        longer.decoded -= 1;
        EXPECT_EQ(ReadBad(OneChunk(longer, version).book), PawkChunkStatus::Damaged);
        RawChunk shorter = good;
        shorter.decoded += 1;
        EXPECT_EQ(ReadBad(OneChunk(shorter, version).book), PawkChunkStatus::Damaged);
        // 70,000 bytes of zeros squeezed into a small stream, claiming 65,539.
        RawChunk bomb{"", pack(std::vector<uint8_t>(70000, 0)), 65539, 1, {}, {}};
        EXPECT_EQ(ReadBad(OneChunk(bomb, version).book), PawkChunkStatus::Damaged);
        // The other version's stream is not taken for this one's.
        RawChunk other{"", version >= 2 ? Bzip2(raw) : Deflate(raw), int32_t(raw.size()), 1, {},
                       {}};
        EXPECT_EQ(ReadBad(OneChunk(other, version).book), PawkChunkStatus::Damaged);
    }
}

TEST(PawkDamageTest, OrderListsThatWouldOverflowPositions) {
    // One chunk claiming 65,539 positions, listed 40,000 times: more than 2^31 positions.
    RawBook book;
    std::vector<uint8_t> raw(65539, ' ');
    book.chunks.push_back({"big.htm:0", Deflate(raw), 65539, 1, {}, {}});
    book.order.assign(40000, "BIG.htm");
    auto bytes = Serialize(book);
    PawkMemoryFile file(bytes);
    PawkReader r;
    EXPECT_FALSE(r.Open(file));
    book.order.resize(30000);  // 1,966,170,000 positions still fit
    bytes = Serialize(book);
    PawkMemoryFile file2(bytes);
    ASSERT_TRUE(r.Open(file2));
    EXPECT_EQ(r.BookLength(), 30000 * 65539);
    EXPECT_EQ(r.Order().back().start, 29999 * 65539);
    EXPECT_EQ(r.FileAt(r.BookLength() - 1), "BIG.htm");
}

TEST(PawkDamageTest, DamagedChunkReadsAs255OnceAndExtractFails) {
    TempDir dir;
    RawChunk bad{"", ToBytes("not a zlib stream at all"), 40, 1, {}, {}};
    auto bytes = Serialize(OneChunk(bad).book);
    auto path = dir / "damaged.pawk";
    WriteFileBytes(path, bytes.data(), bytes.size());

    PawkByteFetch fetch(path);
    for (int32_t p = 0; p < 40; ++p)
        EXPECT_EQ(fetch.ByteAt(p), PawkByteFetch::kNoByte) << p;
    EXPECT_EQ(fetch.WindowReads(), 1);  // the failed chunk is not decoded again for each byte
    EXPECT_EQ(fetch.ByteAt(44), 'f');
    EXPECT_FALSE(fetch.Unusable());

    PawkDiskFile file(path);
    PawkReader r;
    ASSERT_TRUE(r.Open(file));
    EXPECT_FALSE(r.ExtractFile(file, "bad.htm", dir / "out.htm"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out.htm"));
    EXPECT_TRUE(r.ExtractFile(file, "good.htm", dir / "out.htm"));
    EXPECT_EQ(ReadFileText(dir / "out.htm"), "fine");
}

}  // namespace
}  // namespace pagewick::test
