// The LIT container on small hand-built books: the cases the fixture books never reach, and
// damaged headers, directories and sections.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "LzxWriter.h"
#include "formats/lit/LitContainer.h"
#include "support/LitBuilder.h"
#include "support/lit_memory.h"

namespace pagewick {
namespace {

using test::LzxToken;
using test::LzxWriter;
using test::MemoryFile;
using namespace test;  // the LIT file builder

constexpr const char* kOther = "{67F6E4A2-60BF-11D3-8540-00C04F58C3CF}";

std::vector<uint8_t> LzxControl(uint32_t code) {
    std::vector<uint8_t> c;
    for (uint32_t w : {7u, 0x43585a4cu, 3u, code, 4u, 2u, 0u, 0u})
        Put32(c, w);
    return c;
}

std::vector<uint8_t> ResetTable(uint64_t decoded, uint64_t compressed, uint32_t interval,
                                const std::vector<uint64_t>& offsets) {
    std::vector<uint8_t> t;
    Put32(t, 3);
    Put32(t, uint32_t(offsets.size()));
    Put32(t, 8);
    Put32(t, 40);
    Put64(t, decoded);
    Put64(t, compressed);
    Put32(t, interval);
    Put32(t, 0);
    for (uint64_t o : offsets)
        Put64(t, o);
    return t;
}

std::vector<uint8_t> RandomText(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = uint8_t('a' + rng() % 26);
    return v;
}

// A book with one LZX section of the given window code whose data is `decoded`, compressed as
// one reset interval per window; two entries in it.
struct LzxBook {
    LitBuilder book;
    std::vector<uint8_t> decoded;
    std::vector<uint8_t> compressed;
    std::vector<uint64_t> resets;

    LzxBook(uint32_t code, int bits, const std::vector<uint8_t>& data, uint32_t interval = 0)
        : decoded(data) {
        const uint32_t window = 1u << bits;
        if (interval == 0) interval = window;
        LzxWriter w(bits);
        std::vector<uint64_t> windowStarts;
        for (size_t at = 0; at < data.size(); at += window) {
            if (at != 0) w.Reset();
            windowStarts.push_back(w.ByteSize());
            size_t n = std::min<size_t>(window, data.size() - at);
            w.Verbatim(test::Literals(
                std::vector<uint8_t>(data.begin() + long(at), data.begin() + long(at + n))));
        }
        compressed = w.Finish();
        // One entry per reset interval; only those at window starts are reset points.
        const size_t count = std::max<size_t>(1, (data.size() + interval - 1) / interval);
        for (size_t k = 0; k < count; ++k) {
            uint64_t pos = uint64_t(k) * interval;
            resets.push_back(pos % window == 0 ? windowStarts[pos / window] : 0);
        }
        book.Meta();
        book.NameList({"Uncompressed", "MSCompressed"});
        book.Section("MSCompressed", {kLzx}, compressed, LzxControl(code),
                     ResetTable(data.size(), compressed.size(), interval, resets));
        book.entries.push_back({"/data/a/content", 1, 0, 100});
        book.entries.push_back({"/data/b/content", 1, 100, data.size() - 100});
    }
};

TEST(LitContainer, OpensAHandBuiltBookAndReadsStoredAndCompressedEntries) {
    LzxBook b(4, 17, RandomText(300000, 1), 32768);
    MemoryFile file(b.book.Build());
    LitContainer lit;
    ASSERT_EQ(file.Open(lit), 0);
    std::vector<uint8_t> data;
    ASSERT_EQ(lit.LitGetEntry("/meta", &data, nullptr), 0);
    EXPECT_EQ(data, Bytes("<package/>"));
    uint32_t size = 0;
    ASSERT_EQ(lit.LitGetEntry("/data/b/content", &data, &size), 0);
    EXPECT_EQ(size, b.decoded.size() - 100);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), b.decoded.begin() + 100));
    // The section is decoded once and kept: no more reads of the file for it.
    int reads = file.reads;
    ASSERT_EQ(lit.LitGetEntry("/data/a/content", &data, nullptr), 0);
    EXPECT_EQ(file.reads, reads);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), b.decoded.begin()));
}

TEST(LitContainer, WindowCodes) {
    struct Case {
        uint32_t code;
        int bits;  // 0: refused
    };
    for (Case c : {Case{1, 15}, Case{2, 16}, Case{3, 16}, Case{4, 17}, Case{64, 21}, Case{0, 0},
                   Case{128, 0}}) {
        SCOPED_TRACE(c.code);
        LzxBook b(c.code, c.bits ? c.bits : 15, RandomText(5000, c.code));
        MemoryFile file(b.book.Build());
        LitContainer lit;
        ASSERT_EQ(file.Open(lit), 0);
        std::vector<uint8_t> data;
        int rc = lit.LitGetEntry("/data/a/content", &data, nullptr);
        if (c.bits == 0) {
            EXPECT_EQ(rc, kLitBadSectionData);
        } else {
            ASSERT_EQ(rc, 0);
            EXPECT_TRUE(std::equal(data.begin(), data.end(), b.decoded.begin()));
        }
    }
}

// A window code of 3 means a 64 KB window: a stream written for a 32 KB window that uses a
// 64 KB-only offset proves the size.
TEST(LitContainer, WindowCodeThreeGivesSixtyFourKilobytes) {
    std::vector<uint8_t> data = RandomText(50000, 3);
    LzxWriter w(16);
    w.Verbatim(test::Literals(data));
    w.Verbatim({LzxToken::Match(200, 45000)});
    std::vector<uint8_t> compressed = w.Finish();
    LitBuilder book;
    book.Meta();
    book.NameList({"Uncompressed", "S"});
    book.Section("S", {kLzx}, compressed, LzxControl(3),
                 ResetTable(w.Expected().size(), compressed.size(), 65536, {0}));
    book.entries.push_back({"/x", 1, 49900, 300});
    MemoryFile file(book.Build());
    LitContainer lit;
    ASSERT_EQ(file.Open(lit), 0);
    std::vector<uint8_t> out;
    ASSERT_EQ(lit.LitGetEntry("/x", &out, nullptr), 0);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), w.Expected().begin() + 49900));
}

// A section exactly one window long, with no reset point but the first, decodes whole; so does
// one ending exactly at its second window with the reset table's last entry at the data's end.
TEST(LitContainer, SectionsOfWholeWindowsDecode) {
    for (size_t windows : {1, 2}) {
        SCOPED_TRACE(windows);
        LzxBook b(1, 15, RandomText(32768 * windows, 7));
        if (windows == 2) {
            // Append a reset point equal to the compressed length: the very end lies inside.
            b.book = LitBuilder();
            b.resets.push_back(b.compressed.size());
            b.book.Meta();
            b.book.NameList({"Uncompressed", "MSCompressed"});
            b.book.Section("MSCompressed", {kLzx}, b.compressed, LzxControl(1),
                           ResetTable(b.decoded.size(), b.compressed.size(), 32768, b.resets));
            b.book.entries.push_back({"/data/b/content", 1, 100, b.decoded.size() - 100});
        }
        MemoryFile file(b.book.Build());
        LitContainer lit;
        ASSERT_EQ(file.Open(lit), 0);
        std::vector<uint8_t> data;
        ASSERT_EQ(lit.LitGetEntry("/data/b/content", &data, nullptr), 0);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), b.decoded.begin() + 100));
    }
}

TEST(LitContainer, SectionsThatCannotBeDecoded) {
    std::vector<uint8_t> data = RandomText(5000, 2);
    LzxWriter w(15);
    w.Verbatim(test::Literals(data));
    const std::vector<uint8_t> compressed = w.Finish();
    struct Case {
        const char* what;
        std::vector<std::string> transforms;
        std::vector<uint8_t> resetTable;
        std::vector<uint8_t> control;
        int expected;
    };
    std::vector<uint8_t> shortControl = LzxControl(1);
    shortControl.resize(28);
    Set32(shortControl, 0, 6);  // a 28-byte block that fits, but is too short for LZX
    std::vector<uint8_t> badMagic = LzxControl(1);
    badMagic[4] = 'X';
    std::vector<uint8_t> longBlock = LzxControl(1);
    Set32(longBlock, 0, 9);  // 10 words, only 8 there
    std::vector<uint8_t> highHalf = ResetTable(5000, compressed.size(), 32768, {0});
    highHalf[20] = 1;
    const std::vector<Case> cases = {
        {"a transform other than LZX",
         {kOther, kLzx},
         ResetTable(5000, 0, 32768, {0}),
         LzxControl(1),
         kLitUnsupportedTransform},
        {"control data under 32 bytes",
         {kLzx},
         ResetTable(5000, 0, 32768, {0}),
         shortControl,
         kLitBadSectionData},
        {"a window code word with its top bit set",
         {kLzx},
         ResetTable(5000, 0, 32768, {0}),
         LzxControl(0x80000000u),
         kLitBadSectionData},
        {"control block without LZXC",
         {kLzx},
         ResetTable(5000, 0, 32768, {0}),
         badMagic,
         kLitBadSectionData},
        {"control block past the control data",
         {kLzx},
         ResetTable(5000, 0, 32768, {0}),
         longBlock,
         kLitMalformed},
        {"reset table under 40 bytes",
         {kLzx},
         std::vector<uint8_t>(39, 0),
         LzxControl(1),
         kLitMalformed},
        {"decoded length with a high half", {kLzx}, highHalf, LzxControl(1), kLitValueTooLarge},
        {"decoded length over the bound",
         {kLzx},
         ResetTable(LitContainer::kMaxSectionLength + 1ull, compressed.size(), 32768, {0}),
         LzxControl(1),
         kLitNoMemory},
        {"more than a window with no reset point",
         {kLzx},
         ResetTable(40000, compressed.size(), 32768, {0}),
         LzxControl(1),
         kLitLzxIncomplete},
        {"reset point past the data",
         {kLzx},
         ResetTable(70000, compressed.size(), 32768, {0, compressed.size() + 1}),
         LzxControl(1),
         kLitMalformed},
        {"decoding error",
         {kLzx},
         ResetTable(6000, compressed.size(), 32768, {0}),
         LzxControl(1),
         kLitBadSectionData},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LitBuilder book;
        book.Meta();
        book.NameList({"Uncompressed", "S"});
        book.Section("S", c.transforms, compressed, c.control, c.resetTable);
        book.entries.push_back({"/x", 1, 0, 10});
        book.entries.push_back({"/y", 1, 10, 10});
        book.Stored("/stored", Bytes("still readable"));
        MemoryFile file(book.Build());
        LitContainer lit;
        ASSERT_EQ(file.Open(lit), 0);
        std::vector<uint8_t> out;
        EXPECT_EQ(lit.LitGetEntry("/x", &out, nullptr), c.expected);
        EXPECT_TRUE(out.empty());
        // The failure is kept: asking again, for this entry or another in the section, answers
        // the same without reading the file. Other entries are unaffected.
        const int reads = file.reads;
        EXPECT_EQ(lit.LitGetEntry("/x", &out, nullptr), c.expected);
        EXPECT_EQ(lit.LitGetEntry("/y", &out, nullptr), c.expected);
        EXPECT_EQ(file.reads, reads);
        ASSERT_EQ(lit.LitGetEntry("/stored", &out, nullptr), 0);
        EXPECT_EQ(out, Bytes("still readable"));
    }
}

// A failed read of the file is not kept: whichever of the name list's and the section's reads
// fails, the next request reads again and succeeds.
TEST(LitContainer, AFailedReadIsTriedAgain) {
    LzxBook b(1, 15, RandomText(3000, 4));
    for (int failing = 0; failing < 5; ++failing) {
        SCOPED_TRACE(failing);
        MemoryFile file(b.book.Build());
        LitContainer lit;
        ASSERT_EQ(file.Open(lit), 0);
        file.failAfter = file.reads + failing;  // the disk goes away
        std::vector<uint8_t> data;
        EXPECT_EQ(lit.LitGetEntry("/data/a/content", &data, nullptr), kLitReadFailed);
        file.failAfter = -1;  // and comes back
        ASSERT_EQ(lit.LitGetEntry("/data/a/content", &data, nullptr), 0);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), b.decoded.begin()));
    }
}

// Starts a book with "/meta" and a name list of section 0 and the sections S1 to S<count>;
// returns the names by section number.
std::vector<std::string> ChainedSections(LitBuilder& book, int count) {
    book.Meta();
    std::vector<std::string> names = {"Uncompressed"};
    for (int i = 1; i <= count; ++i)
        names.push_back("S" + std::to_string(i));
    book.NameList(names);
    return names;
}

// Six sections, the transform list of each of the first five inside the next one. Reached from
// the first, the chain is too deep; reached from the third, it is not. The refusal depends on the
// way in, so it is not kept for the sections on the way.
TEST(LitContainer, ARefusalForDepthIsNotKeptForTheSectionsOnTheWay) {
    LitBuilder book;
    const std::vector<std::string> names = ChainedSections(book, 6);
    const std::vector<uint8_t> guid = GuidBytes(kLzx);
    for (int i = 1; i <= 6; ++i) {
        std::vector<uint8_t> data = guid;  // the previous section's transform list
        const std::vector<uint8_t> text = RandomText(100, uint32_t(i));
        data.insert(data.end(), text.begin(), text.end());
        LzxWriter w(15);
        w.Verbatim(test::Literals(data));
        const std::vector<uint8_t> compressed = w.Finish();
        book.Section(names[size_t(i)], {kLzx}, compressed, LzxControl(1),
                     ResetTable(data.size(), compressed.size(), 32768, {0}));
        for (auto& e : book.entries)
            if (e.name == "::DataSpace/Storage/" + names[size_t(i)] + "/Transform/List" && i < 6) {
                e.section = uint64_t(i + 1);
                e.offset = 0;
            }
        book.entries.push_back({"/in-" + names[size_t(i)], uint64_t(i), 16, 100});
    }
    MemoryFile file(book.Build());
    LitContainer lit;
    ASSERT_EQ(file.Open(lit), 0);
    std::vector<uint8_t> data;
    EXPECT_EQ(lit.LitGetEntry("/in-S1", &data, nullptr), kLitMalformed);
    ASSERT_EQ(lit.LitGetEntry("/in-S3", &data, nullptr), 0);
    EXPECT_EQ(data, RandomText(100, 3));
    // Now the rest of the chain is decoded, the first section is near enough.
    ASSERT_EQ(lit.LitGetEntry("/in-S1", &data, nullptr), 0);
    EXPECT_EQ(data, RandomText(100, 1));
}

// Storage entries that live in the section they describe (directly, or through a chain of
// sections) are refused instead of recursing.
TEST(LitContainer, SectionsCannotHoldTheirOwnStorage) {
    LzxBook b(1, 15, RandomText(3000, 8));
    for (auto& e : b.book.entries)
        if (e.name == "::DataSpace/Storage/MSCompressed/Content") e.section = 1;
    MemoryFile file(b.book.Build());
    LitContainer lit;
    ASSERT_EQ(file.Open(lit), 0);
    std::vector<uint8_t> data;
    EXPECT_EQ(lit.LitGetEntry("/data/a/content", &data, nullptr), kLitMalformed);

    // Sixteen sections, each one's content inside the next: refused past a few levels.
    LitBuilder chain;
    const std::vector<std::string> names = ChainedSections(chain, 16);
    for (int i = 1; i <= 16; ++i) {
        chain.Section(names[size_t(i)], {kLzx}, {}, LzxControl(1), ResetTable(10, 0, 32768, {0}));
        for (auto& e : chain.entries)
            if (e.name == "::DataSpace/Storage/" + names[size_t(i)] + "/Content" && i < 16) {
                e.section = uint64_t(i + 1);
                e.size = 10;
            }
    }
    chain.entries.push_back({"/x", 1, 0, 5});
    MemoryFile chained(chain.Build());
    ASSERT_EQ(chained.Open(lit), 0);
    EXPECT_EQ(lit.LitGetEntry("/x", &data, nullptr), kLitMalformed);

    // A name list stored in a compressed section cannot be read.
    LitBuilder listInSection;
    listInSection.Meta();
    listInSection.entries.push_back({"::DataSpace/NameList", 1, 0, 10});
    listInSection.entries.push_back({"/x", 1, 0, 5});
    MemoryFile listFile(listInSection.Build());
    ASSERT_EQ(listFile.Open(lit), 0);
    EXPECT_EQ(lit.LitGetEntry("/x", &data, nullptr), kLitMalformed);
}

TEST(LitContainer, EntryChecks) {
    LzxBook b(1, 15, RandomText(3000, 5));
    b.book.entries.push_back({"/bad-section", 2, 0, 10});  // the name list has 2 sections
    b.book.entries.push_back({"/past-section-end", 1, 2995, 10});
    b.book.entries.push_back({"/past-file-end", 0, 100000, 10});
    b.book.entries.push_back({"/huge-offset", 0, 1ull << 32, 10});
    b.book.entries.push_back({"/empty", 1, 0, 0});
    MemoryFile file(b.book.Build());
    LitContainer lit;
    ASSERT_EQ(file.Open(lit), 0);
    std::vector<uint8_t> data = {1};
    uint32_t size = 99;
    EXPECT_EQ(lit.LitGetEntry("/bad-section", &data, nullptr), kLitMalformed);
    EXPECT_EQ(lit.LitGetEntry("/past-section-end", &data, nullptr), kLitMalformed);
    EXPECT_EQ(lit.LitGetEntry("/past-file-end", &data, nullptr), kLitMalformed);
    EXPECT_EQ(lit.LitGetEntry("/huge-offset", &data, nullptr), kLitValueTooLarge);
    EXPECT_EQ(lit.LitGetEntry("/nothing", &data, nullptr), kLitNotFound);
    ASSERT_EQ(lit.LitGetEntry("/empty", &data, &size), 0);
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(size, 0u);
    // Existence and size only: the section is not touched.
    ASSERT_EQ(lit.LitGetEntry("/past-section-end", nullptr, &size), 0);
    EXPECT_EQ(size, 10u);
}

// Names match with A-Z folded and the same length; of names that differ only in case the first
// in file order answers. Bytes above 127 are compared as they are.
TEST(LitContainer, EntryNamesMatchIgnoringAsciiCaseOnly) {
    LitBuilder book;
    book.Stored("/pict", Bytes("longer"));
    book.Stored("/Data/Pic", Bytes("first"));
    book.Meta();
    book.Stored("/data/PIC", Bytes("second"));
    book.Stored("/data/pi", Bytes("shorter"));
    book.Stored("/caf\xc3\xa9", Bytes("accented"));
    MemoryFile file(book.Build());
    LitContainer lit;
    ASSERT_EQ(file.Open(lit), 0);
    std::vector<uint8_t> data;
    ASSERT_EQ(lit.LitGetEntry("/DATA/pic", &data, nullptr), 0);
    EXPECT_EQ(data, Bytes("first"));
    ASSERT_EQ(lit.LitGetEntry("/data/PI", &data, nullptr), 0);
    EXPECT_EQ(data, Bytes("shorter"));
    ASSERT_EQ(lit.LitGetEntry("/CAF\xc3\xa9", &data, nullptr), 0);
    EXPECT_EQ(data, Bytes("accented"));
    EXPECT_EQ(lit.LitGetEntry("/caf\xc3\x89", &data, nullptr), kLitNotFound);
    EXPECT_EQ(lit.LitGetEntry("/data/p", &data, nullptr), kLitNotFound);
    EXPECT_EQ(lit.LitGetEntry("/data/pics", &data, nullptr), kLitNotFound);
    EXPECT_EQ(lit.LitGetEntry("", &data, nullptr), kLitNotFound);
}

TEST(LitContainer, ListingChunks) {
    LitBuilder book;
    book.chunkSize = 200;
    book.Meta();
    for (int i = 0; i < 30; ++i)
        book.Stored("/f" + std::to_string(i), Bytes(std::to_string(i)));
    for (bool zero : {false, true}) {
        SCOPED_TRACE(zero);
        book.zeroCounts = zero;  // 0: every entry that fits the area counts
        MemoryFile file(book.Build());
        LitContainer lit;
        ASSERT_EQ(file.Open(lit), 0);
        ASSERT_EQ(lit.Entries().size(), 31u);
        EXPECT_EQ(lit.Entries()[30].name, "/f29");
        std::vector<uint8_t> data;
        ASSERT_EQ(lit.LitGetEntry("/F17", &data, nullptr), 0);
        EXPECT_EQ(data, Bytes("17"));
    }
}

TEST(LitContainer, DamagedFilesAreRefusedWithTheirCodes) {
    LitBuilder good;
    good.Meta();
    const std::vector<uint8_t> base = good.Build();
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        int expected;
    };
    const std::vector<Case> cases = {
        {"bad magic", [](auto& f) { f[0] = 'X'; }, kLitMalformed},
        {"version 2", [](auto& f) { Set32(f, 8, 2); }, kLitBadVersion},
        {"header parts as long as the file",
         [](auto& f) { Set32(f, 20, uint32_t(f.size()) - 120); }, kLitMalformed},
        {"a piece with a high half", [](auto& f) { Set32(f, LitBuilder::kPieceTable + 16 + 4, 1); },
         kLitValueTooLarge},
        {"a piece past the file's end",
         [](auto& f) { Set32(f, LitBuilder::kPieceTable + 16 + 8, 1u << 30); }, kLitMalformed},
        {"piece 3 not 16 bytes",
         [](auto& f) { Set32(f, LitBuilder::kPieceTable + 3 * 16 + 8, 15); }, kLitMalformed},
        {"CAOL version 3", [](auto& f) { Set32(f, LitBuilder::kSecondary + 8 + 4, 3); },
         kLitBadVersion},
        {"ITSF version 5", [](auto& f) { Set32(f, LitBuilder::kItsf + 4, 5); }, kLitBadVersion},
        {"content offset with a high half", [](auto& f) { Set32(f, LitBuilder::kItsf + 20, 1); },
         kLitValueTooLarge},
        {"content offset 0", [](auto& f) { Set32(f, LitBuilder::kItsf + 16, 0); }, kLitMalformed},
        {"ITSF longer than the header", [](auto& f) { Set32(f, LitBuilder::kItsf + 8, 36); },
         kLitMalformed},
        {"an unknown block of length 0",
         [](auto& f) {
             std::memcpy(&f[LitBuilder::kItsf], "ZZZZ", 4);
             Set32(f, LitBuilder::kItsf + 8, 0);
         },
         kLitMalformed},
        {"directory chunk size unlike CAOL's",
         [](auto& f) { Set32(f, LitBuilder::kSecondary + 8 + 20, 512); }, kLitMalformed},
        {"index companion unlike CAOL's",
         [](auto& f) { Set32(f, LitBuilder::kSecondary + 8 + 32, 7); }, kLitMalformed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = base;
        c.damage(bytes);
        MemoryFile file(bytes);
        LitContainer lit;
        EXPECT_EQ(file.Open(lit), c.expected);
        EXPECT_TRUE(lit.Entries().empty());
    }

    LitContainer lit;
    EXPECT_EQ(lit.LitOpen(nullptr, nullptr, 1000), kLitNoCallback);
    MemoryFile tiny(std::vector<uint8_t>(base.begin(), base.begin() + 39));
    EXPECT_EQ(tiny.Open(lit), kLitMalformed);
    MemoryFile failing(base);
    failing.failAfter = 1;
    EXPECT_EQ(failing.Open(lit), kLitReadFailed);

    LitBuilder noMeta;
    noMeta.Stored("/manifest", Bytes("m"));
    MemoryFile withoutMeta(noMeta.Build());
    EXPECT_EQ(withoutMeta.Open(lit), kLitNotFound);
}

TEST(LitContainer, DirectoryDamage) {
    LitBuilder book;
    book.Meta();
    book.Stored("/a", Bytes("abc"));
    const std::vector<uint8_t> base = book.Build();
    const size_t dir = base.size() - book.content.size() - 16 - 16 - 32 - (32 + 1024);
    ASSERT_EQ(std::memcmp(&base[dir], "IFCM", 4), 0);
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
    };
    const std::vector<Case> cases = {
        {"not IFCM", [&](auto& f) { f[dir] = 'J'; }},
        {"chunk count unlike the piece size", [&](auto& f) { Set32(f, dir + 24, 2); }},
        {"free area as long as the chunk", [&](auto& f) { Set32(f, dir + 32 + 4, 1024); }},
        {"free area leaving no header", [&](auto& f) { Set32(f, dir + 32 + 4, 1000); }},
        {"name longer than the area", [&](auto& f) { f[dir + 32 + 48] = 0x7f; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = base;
        c.damage(bytes);
        MemoryFile file(bytes);
        LitContainer lit;
        EXPECT_EQ(file.Open(lit), kLitMalformed);
    }
    // A chunk that is not a listing chunk is skipped: then "/meta" is missing.
    std::vector<uint8_t> bytes = base;
    bytes[dir + 32] = 'B';
    MemoryFile file(bytes);
    LitContainer lit;
    EXPECT_EQ(file.Open(lit), kLitNotFound);
}

}  // namespace
}  // namespace pagewick
