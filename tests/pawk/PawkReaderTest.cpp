// The reader on books put together byte by byte: versions 0, 1 and 2, names in any case, the
// cover rules, and the byte fetch the engine uses.
#include <gtest/gtest.h>

#include "PawkTestBooks.h"
#include "pawk/PawkByteFetch.h"
#include "pawk/PawkReader.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

// The positions of a raw book's order files, chunk after chunk, leads read as zeros.
std::vector<uint8_t> ExpectedPositions(const RawBook& book) {
    std::vector<uint8_t> out;
    for (const auto& name : book.order)
        for (int d = 0;; ++d) {
            auto c = std::find_if(book.chunks.begin(), book.chunks.end(), [&](const RawChunk& c) {
                return c.name == PawkChunkName(name, d);
            });
            if (c == book.chunks.end()) break;
            std::vector<uint8_t> raw = c->stored;  // only stored chunks are compared this way
            out.insert(out.end(), 4, 0);
            out.insert(out.end(), raw.begin() + 4, raw.end());
        }
    return out;
}

TEST(PawkReaderTest, ReadsEveryVersion) {
    for (int32_t version : {0, 1, 2}) {
        SCOPED_TRACE(version);
        const int32_t c = PawkChunkSize(version);
        RawBook book = TextBook(version, {100, size_t(c - 4), size_t(c - 3), 0, 2 * size_t(c)});
        book.reservedBlocks = 7;  // read from the file from version 1 on
        book.title = "Title " + std::to_string(version);
        book.rights = "R";
        auto bytes = Serialize(book);
        PawkMemoryFile file(bytes);
        PawkReader r;
        ASSERT_TRUE(r.Open(file));
        EXPECT_EQ(r.Version(), version);
        EXPECT_EQ(r.ChunkSize(), c);
        EXPECT_EQ(r.Title(), book.title);
        EXPECT_EQ(r.Rights(), "R");
        EXPECT_EQ(r.Contents(), book.contents);
        ASSERT_EQ(r.Order().size(), 5u);
        EXPECT_EQ(r.Order()[0].length, 104);
        EXPECT_EQ(r.Order()[1].length, c);
        EXPECT_EQ(r.Order()[2].length, c + 5);
        EXPECT_EQ(r.Order()[3].length, 0);
        EXPECT_EQ(r.Order()[3].start, r.Order()[4].start);
        EXPECT_EQ(r.Order()[4].length, 2 * c + 12);  // three chunks
        EXPECT_EQ(r.BookLength(), 104 + c + c + 5 + 2 * c + 12);

        // Every position through windows, against the same book with its chunks stored as they are.
        RawBook plain = TextBook(version, {100, size_t(c - 4), size_t(c - 3), 0, 2 * size_t(c)},
                                 /*compress=*/false);
        auto expected = ExpectedPositions(plain);
        ASSERT_EQ(int32_t(expected.size()), r.BookLength());
        std::vector<uint8_t> buffer(kPawkMaxChunk, 0x55);
        for (const auto& e : r.Order()) {
            for (int32_t d = 0; d * c < e.length; ++d) {
                PawkReader::Window w;
                int32_t probe = e.start + d * c + (d * 977) % std::min(c, e.length - d * c);
                ASSERT_TRUE(r.ReadWindow(file, probe, buffer, w)) << e.name << ":" << d;
                EXPECT_EQ(w.start, e.start + d * c);
                ASSERT_LE(w.start + w.length, r.BookLength());
                EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 4),
                          std::vector<uint8_t>(4, 0));
                EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + w.length,
                                       expected.begin() + w.start))
                    << e.name << ":" << d;
            }
        }
        EXPECT_EQ(r.FileAt(0), "part0.htm");
        EXPECT_EQ(r.FileAt(104), "part1.htm");
        EXPECT_EQ(r.FileAt(r.Order()[4].start), "part4.htm");
        EXPECT_EQ(r.FileAt(-1), "");
        EXPECT_EQ(r.FileAt(r.BookLength()), "");
    }
}

TEST(PawkReaderTest, RefusesOtherFiles) {
    RawBook book = TextBook(2, {10});
    auto bytes = Serialize(book);
    PawkReader r;
    {
        auto wrong = bytes;
        wrong[3] = 'X';
        PawkMemoryFile file(wrong);
        EXPECT_FALSE(r.Open(file));
    }
    {
        book.version = 3;
        auto v3 = Serialize(book);
        PawkMemoryFile file(v3);
        EXPECT_FALSE(r.Open(file));
    }
    {
        book.version = -5;  // below 2: laid out as version 0 and read with bzip2
        auto old = Serialize(book);
        PawkMemoryFile file(old);
        ASSERT_TRUE(r.Open(file));
        EXPECT_EQ(r.ChunkSize(), 65539);
        std::vector<uint8_t> buffer(kPawkMaxChunk);
        PawkReader::Window w;
        EXPECT_FALSE(r.ReadWindow(file, 5, buffer, w));  // its chunks are zlib streams
        book = TextBook(0, {10});
        book.version = -5;
        auto v0 = Serialize(book);
        PawkMemoryFile file0(v0);
        ASSERT_TRUE(r.Open(file0));
        EXPECT_TRUE(r.ReadWindow(file0, 5, buffer, w));
        EXPECT_EQ(buffer[4], SampleText(10, 1)[0]);
    }
}

TEST(PawkReaderTest, ChunkNamesIgnoreCase) {
    RawBook book;
    book.order = {"Chapter1.htm", "CHAPTER2.HTM"};
    auto one = MakeChunks("chapter1.htm", ToBytes("<p>one</p>"), 2, true);
    auto two = MakeChunks("chapter2.htm", ToBytes("<p>two</p>"), 2, false);
    book.chunks = {one[0], two[0]};
    auto bytes = Serialize(book);
    PawkMemoryFile file(bytes);
    PawkReader r;
    ASSERT_TRUE(r.Open(file));
    EXPECT_EQ(r.FileLength("CHAPTER1.HTM"), 14);
    EXPECT_EQ(r.Order()[1].start, 14);
    EXPECT_EQ(r.BookLength(), 28);
    std::vector<uint8_t> buffer(kPawkMaxChunk);
    int32_t length = 0;
    ASSERT_EQ(r.ReadChunk(file, "Chapter1.htm:0", buffer, length), PawkChunkStatus::Ok);
    EXPECT_EQ(std::string(buffer.begin() + 4, buffer.begin() + length), "<p>one</p>");
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 4),
              std::vector<uint8_t>(4, 0xEE));  // ReadChunk leaves the lead as stored
    EXPECT_EQ(r.ReadChunk(file, "chapter1.htm:1", buffer, length), PawkChunkStatus::Missing);
    // The engine's fetch: leads read 0, text follows.
    std::string text;
    for (int32_t p = 0; p < r.BookLength(); ++p) {
        std::vector<uint8_t> b(kPawkMaxChunk);
        PawkReader::Window w;
        ASSERT_TRUE(r.ReadWindow(file, p, b, w));
        text += char(b[size_t(p - w.start)]);
    }
    EXPECT_EQ(text, std::string("\0\0\0\0<p>one</p>\0\0\0\0<p>two</p>", 28));
    std::vector<uint8_t> out;
    ASSERT_TRUE(r.ExtractFile(file, "ChApTeR2.HtM", [&](const uint8_t* p, size_t n) {
        out.insert(out.end(), p, p + n);
        return true;
    }));
    EXPECT_EQ(std::string(out.begin(), out.end()), "<p>two</p>");
}

TEST(PawkReaderTest, CoverRules) {
    auto png = ToBytes("\x89PNG....");
    {  // a record named cover.png:0 puts "Cover Image" first
        RawBook book = TextBook(2, {20});
        auto cover = MakeChunks("Cover.PNG", png, 2, false);
        book.chunks.insert(book.chunks.begin(), cover[0]);
        auto bytes = Serialize(book);
        PawkMemoryFile file(bytes);
        PawkReader r;
        ASSERT_TRUE(r.Open(file));
        ASSERT_EQ(r.Contents().size(), 2u);
        EXPECT_EQ(r.Contents()[0], (PawkContentsEntry{1, "Cover Image", "Cover.PNG"}));
        EXPECT_EQ(r.CoverName(), "Cover.PNG");
    }
    {  // kind 4 names the cover; a first entry titled "Cover Image" wins over it
        RawBook book = TextBook(2, {20});
        book.contents.push_back({4, "Art", "front.jpg"});
        auto bytes = Serialize(book);
        PawkMemoryFile file(bytes);
        PawkReader r;
        ASSERT_TRUE(r.Open(file));
        EXPECT_EQ(r.CoverName(), "front.jpg");
        book.contents.insert(book.contents.begin(), {0, "Cover Image", "lit-cover.png"});
        bytes = Serialize(book);
        PawkMemoryFile file2(bytes);
        ASSERT_TRUE(r.Open(file2));
        EXPECT_EQ(r.CoverName(), "lit-cover.png");
        EXPECT_EQ(r.Contents().size(), 3u);
    }
    {  // no cover: the name is empty, and stays empty after a book with one
        RawBook book = TextBook(2, {20});
        auto bytes = Serialize(book);
        PawkMemoryFile file(bytes);
        PawkReader r;
        ASSERT_TRUE(r.Open(file));
        EXPECT_EQ(r.CoverName(), "");
        r.Close();
        EXPECT_FALSE(r.IsOpen());
        EXPECT_TRUE(r.Order().empty());
        EXPECT_EQ(r.BookLength(), 0);
    }
}

TEST(PawkReaderTest, LongStringsAreCutToWhatTheReaderKeeps) {
    RawBook book = TextBook(2, {20});
    book.title = std::string(kPawkStringLimit, 'x') + "tail";
    book.author = "after the title";
    auto bytes = Serialize(book);
    PawkMemoryFile file(bytes);
    PawkReader r;
    ASSERT_TRUE(r.Open(file));
    EXPECT_EQ(r.Title(), std::string(kPawkStringLimit, 'x'));
    EXPECT_EQ(r.Author(), "after the title");  // the rest of the long string was skipped
    EXPECT_EQ(r.BookLength(), 24);
}

class PawkByteFetchTest : public ::testing::Test {
protected:
    TempDir dir;
    std::filesystem::path path = dir / "book.pawk";
};

TEST_F(PawkByteFetchTest, OpensOnFirstFetchAndReadsChunkByChunk) {
    for (int32_t version : {1, 2}) {
        const int32_t c = PawkChunkSize(version);
        RawBook book = TextBook(version, {size_t(c) + 10, 50});
        auto bytes = Serialize(book);
        WriteFileBytes(path, bytes.data(), bytes.size());
        auto expected = ExpectedPositions(TextBook(version, {size_t(c) + 10, 50}, false));

        PawkByteFetch fetch(path);
        int opened = 0;
        fetch.onOpened = [&](const PawkReader& r) {
            ++opened;
            EXPECT_EQ(r.Title(), book.title);
            EXPECT_EQ(r.Contents().size(), 2u);
        };
        fetch.onCannotReopen = [] { ADD_FAILURE() << "the book is there"; };
        for (int32_t p = 0; p < int32_t(expected.size()); ++p)
            ASSERT_EQ(fetch.ByteAt(p), expected[size_t(p)]) << p;
        EXPECT_EQ(opened, 1);
        EXPECT_EQ(fetch.WindowSize(), version == 2 ? 16385 : 32769);
        EXPECT_EQ(fetch.WindowReads(), 3);  // one read per chunk, in order
        EXPECT_EQ(fetch.ByteAt(int32_t(expected.size())), PawkByteFetch::kNoByte);
        EXPECT_EQ(fetch.ByteAt(-1), PawkByteFetch::kNoByte);
        EXPECT_FALSE(fetch.Unusable());
    }
}

TEST_F(PawkByteFetchTest, BookGoneAfterOpeningIsSaidOnce) {
    auto bytes = Serialize(TextBook(2, {40000}));
    WriteFileBytes(path, bytes.data(), bytes.size());
    PawkByteFetch fetch(path);
    int said = 0;
    fetch.onCannotReopen = [&] { ++said; };
    EXPECT_EQ(fetch.ByteAt(5), SampleText(40000, 1)[1]);
    EXPECT_EQ(fetch.ByteAt(2), 0);
    std::filesystem::remove(path);
    EXPECT_EQ(fetch.ByteAt(10), SampleText(40000, 1)[6]);    // still inside the window held
    EXPECT_EQ(fetch.ByteAt(35000), PawkByteFetch::kNoByte);  // needs the file
    EXPECT_EQ(fetch.ByteAt(36000), PawkByteFetch::kNoByte);
    EXPECT_EQ(fetch.ByteAt(10), PawkByteFetch::kNoByte);
    EXPECT_EQ(said, 1);
    EXPECT_TRUE(fetch.Unusable());
}

TEST_F(PawkByteFetchTest, NotABookIsUnusable) {
    WriteFileText(path, "KPW-PAWX and more");
    PawkByteFetch fetch(path);
    bool opened = false;
    fetch.onOpened = [&](const PawkReader&) { opened = true; };
    EXPECT_EQ(fetch.ByteAt(0), PawkByteFetch::kNoByte);
    EXPECT_TRUE(fetch.Unusable());
    EXPECT_FALSE(opened);
    PawkByteFetch missing(dir / "none.pawk");
    EXPECT_EQ(missing.ByteAt(0), PawkByteFetch::kNoByte);
    EXPECT_TRUE(missing.Unusable());
}

}  // namespace
}  // namespace pagewick::test
