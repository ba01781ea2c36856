// The Palm database wrapper, read back field by field by a parser of its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>

#include "pawk/PalmExport.h"
#include "support/fixtures.h"

namespace pagewick {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;

uint32_t Be(const std::vector<uint8_t>& b, size_t at, int width) {
    uint32_t v = 0;
    for (int i = 0; i < width; ++i)
        v = v << 8 | b.at(at + i);
    return v;
}

// Checks every header field and record of a database against the book it wraps.
void CheckDatabase(const std::vector<uint8_t>& pdb, const std::vector<uint8_t>& book,
                   const std::string& name, uint32_t date) {
    ASSERT_GE(pdb.size(), 80u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(pdb.data())), name);
    for (size_t i = name.size(); i < 32; ++i)
        EXPECT_EQ(pdb[i], 0);
    EXPECT_EQ(Be(pdb, 32, 2), 0x0080u);
    EXPECT_EQ(Be(pdb, 34, 2), 0u);
    EXPECT_EQ(Be(pdb, 36, 4), date);
    EXPECT_EQ(Be(pdb, 40, 4), date);
    for (size_t at : {44, 48, 52, 56, 72})
        EXPECT_EQ(Be(pdb, at, 4), 0u) << at;
    EXPECT_EQ(std::string(pdb.begin() + 60, pdb.begin() + 68), "PAWKPAWK");
    EXPECT_EQ(Be(pdb, 68, 4), 0x10000000u);
    const uint32_t n = Be(pdb, 76, 2);
    ASSERT_EQ(n, book.size() / 4096 + 1);
    EXPECT_EQ(Be(pdb, 78 + 8 * n, 2), 0u);
    std::vector<uint8_t> joined;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t offset = Be(pdb, 78 + 8 * i, 4);
        EXPECT_EQ(Be(pdb, 82 + 8 * i, 4), 0x40776001u + i);
        EXPECT_EQ(offset, 80 + 8 * n + 4104 * i);
        ASSERT_EQ(std::string(pdb.begin() + offset, pdb.begin() + offset + 4), "DBLK");
        const uint32_t count = Be(pdb, offset + 4, 4);
        EXPECT_EQ(count, i + 1 < n ? 4096u : book.size() % 4096);
        joined.insert(joined.end(), pdb.begin() + offset + 8, pdb.begin() + offset + 8 + count);
        if (i + 1 == n) {
            EXPECT_EQ(offset + 8 + count, pdb.size());
        }
    }
    EXPECT_EQ(joined, book);
}

TEST(PalmExportTest, BooksOfEverySizeAreWrappedUnchanged) {
    TempDir dir;
    for (size_t size : {size_t(0), size_t(100), size_t(8192), size_t(4096 * 3 + 17)}) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> book(size);
        for (size_t i = 0; i < size; ++i)
            book[i] = uint8_t(i * 7 + i / 251);
        fs::path path = dir / "Novel.pawk";
        test::WriteFileBytes(path, book.data(), book.size());
        EXPECT_EQ(PalmOutputPath(path), dir / "Novel.pawk.pdb");
        // A 40-character title keeps its first 31.
        PalmExportResult r =
            WritePalmDatabase(path, std::string(40, 'x'), PalmOutputPath(path), 3900000000u);
        ASSERT_TRUE(r) << r.message;
        auto pdb = ReadFileBytes(PalmOutputPath(path));
        if (size == 0) {
            EXPECT_EQ(pdb.size(), 96u);
        }
        CheckDatabase(pdb, book, std::string(31, 'x'), 3900000000u);
    }
    // Palm dates count from 1904.
    EXPECT_LE(uint64_t(PalmTimeNow()) - 2082844800u - uint64_t(std::time(nullptr)) + 1, 2u);
}

TEST(PalmExportTest, ABookBeyondTheRecordCountIsRefusedAndNothingIsWritten) {
    TempDir dir;
    fs::path path = dir / "huge.pawk";
    test::WriteFileText(path, "");
    // Sparse: 65,535 whole records make 65,536 with the closing one.
    ASSERT_EQ(truncate(path.c_str(), off_t(65535) * 4096), 0);
    PalmExportResult r = WritePalmDatabase(path, "Huge", PalmOutputPath(path), 1);
    EXPECT_EQ(r.status, PalmExportStatus::TooManyRecords);
    EXPECT_NE(r.message.find("65,535 records"), std::string::npos);
    EXPECT_FALSE(fs::exists(PalmOutputPath(path)));
    r = WritePalmDatabase(dir / "missing.pawk", "M", dir / "missing.pdb", 1);
    EXPECT_EQ(r.status, PalmExportStatus::CannotOpenBook);
    EXPECT_FALSE(fs::exists(dir / "missing.pdb"));
}

}  // namespace
}  // namespace pagewick
