// The LZX decoder against sections compressed by two independent encoders.
#include <gtest/gtest.h>

#include <cstring>

#include "formats/lit/Lzx.h"
#include "support/fixtures.h"

namespace pagewick {
namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) |
           (uint32_t(b[at + 3]) << 24);
}

// Decodes a stream the way the container does: one reset per window, the input of each window
// taken from the reset table.
struct FixtureStream {
    std::vector<uint8_t> content, control, resetTable, expected;
    int windowBits = 0;

    explicit FixtureStream(const std::string& name) {
        auto dir = test::FixturesDir() / "lzx" / name;
        content = test::ReadFileBytes(dir / "content.bin");
        control = test::ReadFileBytes(dir / "control.bin");
        resetTable = test::ReadFileBytes(dir / "reset_table.bin");
        expected = test::ReadFileBytes(dir / "expected.bin");
        uint32_t c = Le32(control, 12);
        int log = 0;
        while ((c >> (log + 1)) != 0)
            ++log;
        windowBits = 15 + log;
    }

    // Returns the LzxDecode result of the first failing call, or 0.
    int Decode(LzxDecoder& lzx, std::vector<uint8_t>& out) const {
        if (lzx.LzxSetWindow(windowBits) != 0) return -1;
        const uint32_t window = 1u << windowBits;
        const uint32_t header = Le32(resetTable, 12);
        const uint32_t length = Le32(resetTable, 16);
        const uint32_t interval = Le32(resetTable, 32);
        const size_t entries = (resetTable.size() - header) / 8;
        out.assign(length, 0);
        size_t inPos = 0, outPos = 0;
        const uint32_t step = window / interval;
        for (size_t e = step; e < entries && length - outPos >= window; e += step) {
            size_t to = Le32(resetTable, header + 8 * e);
            lzx.LzxReset();
            int rc = lzx.LzxDecode(content.data() + inPos, to - inPos, out.data() + outPos, window);
            if (rc != 0) return rc;
            inPos = to;
            outPos += window;
        }
        if (outPos < length) {
            lzx.LzxReset();
            int rc = lzx.LzxDecode(content.data() + inPos, content.size() - inPos,
                                   out.data() + outPos, length - outPos);
            if (rc != 0) return rc;
        }
        return 0;
    }
};

class LzxFixture : public ::testing::TestWithParam<const char*> {};

TEST_P(LzxFixture, DecodesEveryWindowExactly) {
    FixtureStream stream(GetParam());
    LzxDecoder lzx;
    std::vector<uint8_t> out;
    ASSERT_EQ(stream.Decode(lzx, out), 0);
    ASSERT_EQ(out.size(), stream.expected.size());
    size_t firstDiff = 0;
    while (firstDiff < out.size() && out[firstDiff] == stream.expected[firstDiff])
        ++firstDiff;
    EXPECT_EQ(firstDiff, out.size()) << "first difference at byte " << firstDiff;
}

INSTANTIATE_TEST_SUITE_P(Streams, LzxFixture,
                         ::testing::Values("chm-small", "chm-bash", "lit-almanac", "lit-bash"));

}  // namespace
}  // namespace pagewick
