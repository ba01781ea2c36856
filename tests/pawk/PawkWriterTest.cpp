// Books made by the writer, read back by the reader.
#include <gtest/gtest.h>

#include "PawkTestBooks.h"
#include "pawk/PawkByteFetch.h"
#include "pawk/PawkReader.h"
#include "pawk/PawkWriter.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

// The positions a file occupies: four zeros in front of each chunk's share of the content.
std::vector<uint8_t> Positions(const std::vector<uint8_t>& content, int32_t chunkSize) {
    std::vector<uint8_t> out;
    const size_t per = size_t(chunkSize - 4);
    for (size_t at = 0; at < content.size(); at += per) {
        out.insert(out.end(), 4, 0);
        size_t n = std::min(per, content.size() - at);
        out.insert(out.end(), content.begin() + long(at), content.begin() + long(at + n));
    }
    return out;
}

// Every position of the book, read window by window.
std::vector<uint8_t> ReadBook(PawkReader& reader, PawkFile& file) {
    std::vector<uint8_t> buffer(kPawkMaxChunk), out;
    for (int32_t pos = 0; pos < reader.BookLength();) {
        PawkReader::Window w;
        EXPECT_TRUE(reader.ReadWindow(file, pos, buffer, w)) << "at " << pos;
        if (w.length <= 0 || pos != w.start) {
            ADD_FAILURE() << "window " << w.start << "+" << w.length << " for " << pos;
            break;
        }
        out.insert(out.end(), buffer.begin(), buffer.begin() + w.length);
        pos += w.length;
    }
    return out;
}

std::vector<uint8_t> Extract(PawkReader& reader, PawkFile& file, const std::string& name) {
    std::vector<uint8_t> out;
    EXPECT_TRUE(reader.ExtractFile(file, name, [&](const uint8_t* p, size_t n) {
        out.insert(out.end(), p, p + n);
        return true;
    }));
    return out;
}

class PawkWriterTest : public ::testing::Test {
protected:
    TempDir dir;
    std::filesystem::path book = dir / "book.pawk";

    void AddText(PawkWriter& w, const std::string& name, const std::vector<uint8_t>& bytes) {
        w.files.push_back({name, {}, bytes});
        w.contents.push_back({0, name, name + "#"});
    }
};

TEST_F(PawkWriterTest, TextFilesOfManySizesRoundTrip) {
    const std::vector<size_t> sizes = {0, 1, 32767, 32768, 100000, 0, 3, 65534, 65535};
    PawkWriter w;
    w.title = "Round Trip";
    w.author = "A. Writer";
    w.publisher = "Converted by Pagewick, Desktop";
    w.identifier = "978-0-00-000000-0";
    w.rights = "Public domain";
    std::vector<std::vector<uint8_t>> texts;
    for (size_t i = 0; i < sizes.size(); ++i) {
        texts.push_back(SampleText(sizes[i], uint32_t(i + 7)));
        AddText(w, "dir/ch" + std::to_string(i) + ".htm", texts.back());
    }
    ASSERT_TRUE(w.Write(book));

    PawkDiskFile file(book);
    PawkReader r;
    ASSERT_TRUE(r.Open(file));
    EXPECT_EQ(r.Version(), 2);
    EXPECT_EQ(r.ChunkSize(), 32771);
    EXPECT_EQ(r.Title(), "Round Trip");
    EXPECT_EQ(r.Author(), "A. Writer");
    EXPECT_EQ(r.Publisher(), "Converted by Pagewick, Desktop");
    EXPECT_EQ(r.Identifier(), "978-0-00-000000-0");
    EXPECT_EQ(r.Rights(), "Public domain");
    EXPECT_EQ(r.Contents(), w.contents);
    EXPECT_EQ(r.CoverName(), "");
    ASSERT_EQ(r.Order().size(), sizes.size());

    std::vector<uint8_t> expected;
    int32_t start = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const auto& e = r.Order()[i];
        EXPECT_EQ(e.name, "ch" + std::to_string(i) + ".htm");  // folder dropped
        auto positions = Positions(texts[i], 32771);
        EXPECT_EQ(e.start, start);
        EXPECT_EQ(e.length, int32_t(positions.size()));
        start += e.length;
        expected.insert(expected.end(), positions.begin(), positions.end());
        EXPECT_EQ(Extract(r, file, e.name), texts[i]) << e.name;
    }
    EXPECT_EQ(r.BookLength(), start);
    // 32,767 bytes: one chunk of 32,771; 32,768: chunks of 32,771 and 5; 0: no chunk at all.
    EXPECT_EQ(r.Order()[2].length, 32771);
    EXPECT_EQ(r.Order()[3].length, 32776);
    EXPECT_EQ(r.FindChunk("ch3.htm:1")->decodedLength, 5);
    EXPECT_EQ(r.FindChunk("ch0.htm:0"), nullptr);
    EXPECT_EQ(r.Order()[0].start, r.Order()[1].start);
    EXPECT_EQ(ReadBook(r, file), expected);

    // Chunk data lies right after the table, in table order, each chunk compressed.
    int64_t at = r.Chunks().front().offset;
    for (const auto& c : r.Chunks()) {
        EXPECT_EQ(c.offset, at) << c.name;
        EXPECT_EQ(c.flags, kPawkChunkCompressed);
        at += c.storedLength;
    }
    EXPECT_EQ(at, file.Size());
}

TEST_F(PawkWriterTest, CoverPictureAndMediaAreStoredUnlisted) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 1, 2, 3};
    std::vector<uint8_t> wav(70000);
    for (size_t i = 0; i < wav.size(); ++i)
        wav[i] = uint8_t(i * 7919 >> 3);
    auto text = SampleText(5000);
    PawkWriter w;
    w.title = "Pictures";
    WriteFileBytes(dir / "Front.PNG", png.data(), png.size());
    w.files.push_back({"art/Front.PNG", dir / "Front.PNG", std::nullopt});
    AddText(w, "story.htm", text);
    w.files.push_back({"Inside.png", {}, png});
    w.files.push_back({"bell.wav", {}, wav});
    ASSERT_TRUE(w.Write(book));

    PawkDiskFile file(book);
    PawkReader r;
    ASSERT_TRUE(r.Open(file));
    ASSERT_EQ(r.Order().size(), 1u);
    EXPECT_EQ(r.Order()[0].name, "story.htm");
    EXPECT_EQ(r.Order()[0].start, 0);
    ASSERT_EQ(r.Contents().size(), 2u);
    EXPECT_EQ(r.Contents()[0], (PawkContentsEntry{1, "Cover Image", "cover.png"}));
    EXPECT_EQ(r.Contents()[1].target, "story.htm#");
    EXPECT_EQ(r.CoverName(), "cover.png");
    EXPECT_EQ(r.Chunks()[0].name, "cover.png:0");
    EXPECT_EQ(r.Chunks()[0].flags, 0);
    EXPECT_EQ(r.FindChunk("bell.wav:2")->flags, 0);
    EXPECT_EQ(r.FindChunk("bell.wav:3"), nullptr);
    EXPECT_EQ(Extract(r, file, "cover.png"), png);
    EXPECT_EQ(Extract(r, file, "Inside.png"), png);  // a later .png keeps its name
    EXPECT_EQ(Extract(r, file, "BELL.WAV"), wav);
    EXPECT_EQ(r.BookLength(), 5004);
    EXPECT_EQ(r.FileAt(0), "story.htm");
    EXPECT_EQ(r.FileAt(5003), "story.htm");
    EXPECT_EQ(r.FileAt(5004), "");

    // Into a file: a name without chunks still gives an empty file.
    ASSERT_TRUE(r.ExtractFile(file, "cover.png", dir / "out.png"));
    EXPECT_EQ(ReadFileBytes(dir / "out.png"), png);
    ASSERT_TRUE(r.ExtractFile(file, "nothing.gif", dir / "none.gif"));
    EXPECT_TRUE(std::filesystem::exists(dir / "none.gif"));
    EXPECT_EQ(std::filesystem::file_size(dir / "none.gif"), 0u);
    EXPECT_FALSE(r.ExtractFile(file, "cover.png", dir / "no-such-folder" / "x.png"));
}

TEST_F(PawkWriterTest, HeaderStringsAreCutTo127Bytes) {
    PawkWriter w;
    w.title = std::string(200, 'T');
    w.author = std::string(127, 'a') + "b";
    AddText(w, "a.txt", ToBytes("hello"));
    ASSERT_TRUE(w.Write(book));
    PawkDiskFile file(book);
    PawkReader r;
    ASSERT_TRUE(r.Open(file));
    EXPECT_EQ(r.Title(), std::string(127, 'T'));
    EXPECT_EQ(r.Author(), std::string(127, 'a'));
    // The title's count stands at offset 12, its bytes from 16.
    auto bytes = ReadFileBytes(book);
    EXPECT_EQ(bytes[12], 127);
    EXPECT_EQ(bytes[16], 'T');
}

TEST_F(PawkWriterTest, ManyFilesAndIncompressibleText) {
    PawkWriter w;
    std::vector<std::vector<uint8_t>> texts;
    for (int i = 0; i < 300; ++i) {
        texts.push_back(SampleText(size_t(i * 37 % 900), uint32_t(i)));
        AddText(w, "f" + std::to_string(i) + ".txt", texts.back());
    }
    // Noise does not deflate into a chunk's room: it is kept as it is instead of failing.
    std::vector<uint8_t> noise(40000);
    uint32_t x = 99;
    for (auto& b : noise) {
        x = x * 1103515245u + 12345u;
        b = uint8_t(x >> 23);
    }
    AddText(w, "noise.bin", noise);
    ASSERT_TRUE(w.Write(book));

    PawkDiskFile file(book);
    PawkReader r;
    ASSERT_TRUE(r.Open(file));
    ASSERT_EQ(r.Order().size(), 301u);
    EXPECT_EQ(r.FindChunk("noise.bin:0")->flags, 0);
    EXPECT_EQ(r.FindChunk("noise.bin:1")->flags,
              kPawkChunkCompressed);  // the short tail fits its room
    for (int i = 0; i < 300; i += 7)
        EXPECT_EQ(Extract(r, file, "F" + std::to_string(i) + ".TXT"), texts[size_t(i)]);
    EXPECT_EQ(Extract(r, file, "noise.bin"), noise);
    // Every position the book has reads back through the byte fetch as the engine uses it.
    PawkByteFetch fetch(book);
    for (int32_t p = r.Order()[300].start; p < r.BookLength(); p += 1001) {
        int32_t off = p - r.Order()[300].start;
        uint8_t want = off % 32771 < 4 ? 0 : noise[size_t(off / 32771 * 32767 + off % 32771 - 4)];
        ASSERT_EQ(fetch.ByteAt(p), want) << p;
    }
}

TEST_F(PawkWriterTest, RefusesWhatCouldNotBeReadBack) {
    {
        PawkWriter w;  // the first .png becomes cover.png, so a second cover.png would be lost
        w.files.push_back({"a.png", {}, ToBytes("x")});
        w.files.push_back({"COVER.png", {}, ToBytes("y")});
        EXPECT_EQ(w.Write(book).status, PawkWriteStatus::BadName);
    }
    {
        PawkWriter w;
        w.files.push_back({"x/", {}, ToBytes("x")});
        EXPECT_EQ(w.Write(book).status, PawkWriteStatus::BadName);
    }
    {
        PawkWriter w;
        AddText(w, "a.htm", ToBytes("x"));
        w.contents[0].target = std::string(kPawkStringLimit + 1, 'x');
        EXPECT_EQ(w.Write(book).status, PawkWriteStatus::StringTooLong);
    }
    {
        PawkWriter w;
        w.files.push_back({"gone.htm", dir / "gone.htm", std::nullopt});
        EXPECT_EQ(w.Write(book).status, PawkWriteStatus::CannotReadSource);
    }
    EXPECT_FALSE(std::filesystem::exists(book));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));  // no temporary file left behind
}

TEST_F(PawkWriterTest, ReplacesAnExistingBookOnlyWhenComplete) {
    WriteFileText(book, "old book");
    PawkWriter bad;
    bad.files.push_back({"gone.htm", dir / "gone.htm", std::nullopt});
    EXPECT_FALSE(bad.Write(book));
    EXPECT_EQ(ReadFileText(book), "old book");

    PawkWriter good;
    good.title = "New";
    good.files.push_back({"a.htm", {}, ToBytes("<p>new</p>")});
    int64_t last = 0;
    good.progress = [&](int64_t done, int64_t total) {
        EXPECT_EQ(total, 1);
        last = done;
    };
    ASSERT_TRUE(good.Write(book));
    EXPECT_EQ(last, 1);
    PawkDiskFile file(book);
    PawkReader r;
    ASSERT_TRUE(r.Open(file));
    EXPECT_EQ(r.Title(), "New");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(PawkWriterTest, SameInputGivesTheSameBook) {
    auto write = [&](const std::filesystem::path& out) {
        PawkWriter w;
        w.title = "Same";
        AddText(w, "a.htm", SampleText(70000));
        EXPECT_TRUE(w.Write(out));
        return ReadFileBytes(out);
    };
    EXPECT_EQ(write(book), write(dir / "again.pawk"));
}

}  // namespace
}  // namespace pagewick::test
