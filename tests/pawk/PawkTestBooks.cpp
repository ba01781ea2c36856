#include "PawkTestBooks.h"

#include <bzlib.h>
#include <gtest/gtest.h>
#include <zlib.h>

namespace pagewick::test {

namespace {
void Int(std::vector<uint8_t>& out, int32_t v) {
    auto u = static_cast<uint32_t>(v);
    out.insert(out.end(), {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)});
}
void Str(std::vector<uint8_t>& out, const std::string& s) {
    Int(out, int32_t(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}
}  // namespace

std::vector<uint8_t> Serialize(const RawBook& book) {
    std::vector<uint8_t> out(kPawkMagic, kPawkMagic + 8);
    Int(out, book.version);
    for (const auto* s :
         {&book.title, &book.author, &book.publisher, &book.identifier, &book.rights})
        Str(out, *s);
    out.insert(out.end(), 16, 0xA1);
    int32_t blocks = 4;
    if (book.version >= 1) {
        Int(out, book.reservedBlocks);
        blocks = book.reservedBlocks;
    }
    for (int32_t i = 0; i <= blocks; ++i) {  // each block holds i bytes, so skipping matters
        Int(out, i);
        out.insert(out.end(), size_t(i), 0xB2);
    }
    if (book.version >= 2) out.insert(out.end(), 6, 0xC3);
    int32_t orderSize = 0;
    for (const auto& n : book.order)
        orderSize += 4 + int32_t(n.size());
    Int(out, orderSize);
    Int(out, int32_t(book.order.size()));
    for (const auto& n : book.order)
        Str(out, n);
    Int(out, 4);
    Int(out, int32_t(book.contents.size()));
    for (const auto& e : book.contents) {
        Int(out, e.kind);
        Str(out, e.title);
        Str(out, e.target);
    }
    size_t tableSize = 4;
    for (const auto& c : book.chunks)
        tableSize += 20 + c.name.size();
    int64_t offset = int64_t(out.size() + tableSize);
    Int(out, int32_t(book.chunks.size()));
    for (const auto& c : book.chunks) {
        Str(out, c.name);
        Int(out, c.storedLengthOverride.value_or(int32_t(c.stored.size())));
        Int(out, c.decoded);
        Int(out, c.offsetOverride.value_or(int32_t(offset)));
        Int(out, c.flags);
        offset += int64_t(c.stored.size());
    }
    for (const auto& c : book.chunks)
        out.insert(out.end(), c.stored.begin(), c.stored.end());
    return out;
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw) {
    uLongf size = compressBound(uLong(raw.size()));
    std::vector<uint8_t> out(size);
    EXPECT_EQ(compress2(out.data(), &size, raw.data(), uLong(raw.size()), 9), Z_OK);
    out.resize(size);
    return out;
}

std::vector<uint8_t> Bzip2(const std::vector<uint8_t>& raw) {
    unsigned int size = unsigned(raw.size() + raw.size() / 100 + 700);
    std::vector<uint8_t> out(size);
    std::vector<uint8_t> in = raw;
    EXPECT_EQ(
        BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &size,
                                 reinterpret_cast<char*>(in.data()), unsigned(in.size()), 9, 0, 0),
        BZ_OK);
    out.resize(size);
    return out;
}

std::vector<RawChunk> MakeChunks(const std::string& name, const std::vector<uint8_t>& content,
                                 int32_t version, bool compress) {
    const size_t per = size_t(PawkChunkSize(version) - 4);
    std::vector<RawChunk> chunks;
    for (size_t at = 0, d = 0; at < content.size(); at += per, ++d) {
        std::vector<uint8_t> raw(4, 0xEE);
        size_t n = std::min(per, content.size() - at);
        raw.insert(raw.end(), content.begin() + long(at), content.begin() + long(at + n));
        RawChunk c;
        c.name = PawkChunkName(name, int64_t(d));
        c.decoded = int32_t(raw.size());
        c.flags = compress ? 1 : 0;
        c.stored = !compress ? raw : version >= 2 ? Deflate(raw) : Bzip2(raw);
        chunks.push_back(std::move(c));
    }
    return chunks;
}

std::vector<uint8_t> SampleText(size_t size, uint32_t seed) {
    static const char* kWords[] = {"the ",    "lamp ",   "harbour ", "and ",   "of ",
                                   "quiet ",  "ships ",  "<p>",      "night ", "a ",
                                   "keeper ", "wind ",   "</p>\n",   "stone ", "light, ",
                                   "tide ",   "across ", "her ",     "old ",   "North. "};
    std::vector<uint8_t> out;
    out.reserve(size);
    uint32_t x = seed * 2654435761u + 1;
    while (out.size() < size) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        const char* w = kWords[x % 20];
        for (; *w && out.size() < size; ++w)
            out.push_back(uint8_t(*w));
    }
    return out;
}

std::vector<uint8_t> ToBytes(const std::string& s) {
    return {s.begin(), s.end()};
}

RawBook TextBook(int32_t version, const std::vector<size_t>& sizes, bool compress) {
    RawBook book;
    book.version = version;
    book.title = "Book v" + std::to_string(version);
    for (size_t i = 0; i < sizes.size(); ++i) {
        std::string name = "part" + std::to_string(i) + ".htm";
        book.order.push_back(name);
        book.contents.push_back({0, "Part " + std::to_string(i), name + "#"});
        auto chunks = MakeChunks(name, SampleText(sizes[i], uint32_t(i + 1)), version, compress);
        book.chunks.insert(book.chunks.end(), chunks.begin(), chunks.end());
    }
    return book;
}

}  // namespace pagewick::test
