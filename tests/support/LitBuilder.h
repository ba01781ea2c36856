// A LIT file built in memory: header, pieces, directory chunks and section 0's content area, with
// stored entries and sections given by their parts. The container tests and the book tests build
// small and damaged books with it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace pagewick::test {

inline constexpr const char* kLzx = "{0A9007C6-4076-11D3-8789-0000F8105754}";

inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(uint8_t(x >> (8 * i)));
}
inline void Put64(std::vector<uint8_t>& v, uint64_t x) {
    Put32(v, uint32_t(x));
    Put32(v, uint32_t(x >> 32));
}
inline void Set32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v[at + size_t(i)] = uint8_t(x >> (8 * i));
}
inline void PutVarint(std::vector<uint8_t>& v, uint64_t x) {
    uint8_t groups[10];
    int n = 0;
    do {
        groups[n++] = uint8_t(x & 0x7f);
        x >>= 7;
    } while (x);
    while (n > 1)
        v.push_back(groups[--n] | 0x80);
    v.push_back(groups[0]);
}
inline std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

inline std::vector<uint8_t> GuidBytes(const std::string& text) {
    auto hex = [&](size_t at, int digits) {
        return uint32_t(std::stoul(text.substr(at, size_t(digits)), nullptr, 16));
    };
    std::vector<uint8_t> g;
    Put32(g, hex(1, 8));
    uint32_t d2 = hex(10, 4), d3 = hex(15, 4);
    g.push_back(uint8_t(d2));
    g.push_back(uint8_t(d2 >> 8));
    g.push_back(uint8_t(d3));
    g.push_back(uint8_t(d3 >> 8));
    const size_t pos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (size_t p : pos)
        g.push_back(uint8_t(hex(p, 2)));
    return g;
}

struct DirEntry {
    std::string name;
    uint64_t section, offset, size;
};

// Builds a LIT file: header, five pieces, "CAOL" and "ITSF" blocks, an "IFCM" directory of
// "AOLL" chunks, and section 0's content area after everything else.
struct LitBuilder {
    std::vector<DirEntry> entries;
    std::vector<uint8_t> content;
    uint32_t chunkSize = 1024;
    bool zeroCounts = false;  // leave every chunk's entry count 0
    // Offsets of interesting fields in the built file.
    static constexpr size_t kPieceTable = 40;
    static constexpr size_t kSecondary = 40 + 5 * 16;
    static constexpr size_t kItsf = kSecondary + 8 + 48;

    void Stored(const std::string& name, const std::vector<uint8_t>& bytes) {
        entries.push_back({name, 0, content.size(), bytes.size()});
        content.insert(content.end(), bytes.begin(), bytes.end());
    }
    void Meta() { Stored("/meta", Bytes("<package/>")); }
    void NameList(const std::vector<std::string>& names) {
        std::vector<uint8_t> list = {0, 0, uint8_t(names.size()), 0};
        for (const auto& n : names) {
            list.push_back(uint8_t(n.size()));
            list.push_back(0);
            for (char c : n) {
                list.push_back(uint8_t(c));
                list.push_back(0);
            }
            list.push_back(0);
            list.push_back(0);
        }
        Stored("::DataSpace/NameList", list);
    }
    // A section whose transforms are given by GUID text, each with the control block given.
    void Section(const std::string& name, const std::vector<std::string>& transforms,
                 const std::vector<uint8_t>& data, const std::vector<uint8_t>& control,
                 const std::vector<uint8_t>& resetTable) {
        const std::string s = "::DataSpace/Storage/" + name;
        std::vector<uint8_t> list;
        for (const auto& t : transforms) {
            auto g = GuidBytes(t);
            list.insert(list.end(), g.begin(), g.end());
        }
        Stored(s + "/Transform/List", list);
        Stored(s + "/Content", data);
        Stored(s + "/ControlData", control);
        Stored(s + "/Transform/" + kLzx + "/InstanceData/ResetTable", resetTable);
    }

    std::vector<uint8_t> Directory() const {
        std::vector<std::vector<uint8_t>> packed;
        for (const auto& e : entries) {
            std::vector<uint8_t> p;
            PutVarint(p, e.name.size());
            p.insert(p.end(), e.name.begin(), e.name.end());
            PutVarint(p, e.section);
            PutVarint(p, e.offset);
            PutVarint(p, e.size);
            packed.push_back(p);
        }
        std::vector<std::vector<uint8_t>> chunks;
        size_t i = 0;
        while (i < packed.size() || chunks.empty()) {
            std::vector<uint8_t> chunk(48, 0);
            std::memcpy(chunk.data(), "AOLL", 4);
            uint32_t count = 0;
            // Two spare bytes in the entry area, as real writers leave them.
            while (i < packed.size() && chunk.size() + packed[i].size() + 2 + 2 <= chunkSize) {
                chunk.insert(chunk.end(), packed[i].begin(), packed[i].end());
                ++i;
                ++count;
            }
            uint32_t freeLength = chunkSize - uint32_t(chunk.size()) - 2;
            Set32(chunk, 4, freeLength);
            chunk.resize(chunkSize, 0);
            if (!zeroCounts) {
                chunk[chunkSize - 2] = uint8_t(count);
                chunk[chunkSize - 1] = uint8_t(count >> 8);
            }
            chunks.push_back(chunk);
        }
        std::vector<uint8_t> dir(32, 0);
        std::memcpy(dir.data(), "IFCM", 4);
        Set32(dir, 8, chunkSize);
        Set32(dir, 12, 0x100000);
        Set32(dir, 24, uint32_t(chunks.size()));
        for (const auto& c : chunks)
            dir.insert(dir.end(), c.begin(), c.end());
        return dir;
    }

    std::vector<uint8_t> Build() const {
        std::vector<uint8_t> dir = Directory();
        std::vector<uint8_t> index(32, 0);
        Set32(index, 8, 0x200);
        Set32(index, 12, 0x300);
        std::vector<std::vector<uint8_t>> pieces = {std::vector<uint8_t>(16, 0xAA), dir, index,
                                                    std::vector<uint8_t>(16, 1),
                                                    std::vector<uint8_t>(16, 2)};
        const uint32_t secondaryLength = 8 + 48 + 32;
        size_t at = kSecondary + secondaryLength;
        std::vector<uint8_t> file = Bytes("ITOLITLS");
        Put32(file, 1);
        Put32(file, 40);
        Put32(file, 5);
        Put32(file, secondaryLength);
        file.resize(40, 0);
        for (const auto& p : pieces) {
            Put64(file, at);
            Put64(file, p.size());
            at += p.size();
        }
        const size_t contentOffset = at;
        Put32(file, 0);
        Put32(file, 8);
        file.insert(file.end(), {'C', 'A', 'O', 'L'});
        Put32(file, 2);
        Put32(file, 48);
        Put32(file, 0);
        Put32(file, 0);
        Put32(file, chunkSize);
        Put32(file, 0x200);
        Put32(file, 0x100000);
        Put32(file, 0x300);
        file.resize(kSecondary + 8 + 48, 0);
        file.insert(file.end(), {'I', 'T', 'S', 'F'});
        Put32(file, 4);
        Put32(file, 32);
        Put32(file, 0);
        Put64(file, contentOffset);
        Put64(file, 0);
        for (const auto& p : pieces)
            file.insert(file.end(), p.begin(), p.end());
        file.insert(file.end(), content.begin(), content.end());
        return file;
    }
};

}  // namespace pagewick::test
