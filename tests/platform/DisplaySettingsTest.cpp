// The display-settings file of both readers: written and read back, every older version, and
// damaged values that keep their defaults.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/DisplaySettings.h"
#include "support/fixtures.h"

namespace pagewick {
namespace {
using pagewick::test::TempDir;

DisplaySettings DeviceDefaults() {
    return DisplaySettings::DeviceDefaults();
}

std::vector<uint8_t> Words(std::initializer_list<int32_t> words) {
    std::vector<uint8_t> out;
    for (int32_t w : words)
        for (int s = 0; s < 32; s += 8)
            out.push_back(uint8_t(uint32_t(w) >> s));
    return out;
}
TEST(DisplaySettingsFile, WrittenReadBackAndEveryVersionRule) {
    DisplaySettings s;
    s.bold = 1;
    s.fontSize = 20;
    s.leading = 7;
    s.faceName = "Courier New";
    s.autoScroll = 1;
    s.scrollDelay = 9;
    TempDir dir;
    ASSERT_TRUE(s.Save(dir / "Ambervale" / "Wickstand.cfg"));
    EXPECT_EQ(DisplaySettings::Load(dir / "Ambervale" / "Wickstand.cfg"), s);
    std::vector<uint8_t> bytes = s.Serialize();
    EXPECT_EQ(bytes[0], 6);
    // The delay is written twice at the end.
    EXPECT_EQ(bytes[bytes.size() - 4], 9);
    EXPECT_EQ(bytes[bytes.size() - 8], 9);

    // Version 1: bold, size, ClearType, style and position bar only.
    DisplaySettings v1 = DisplaySettings::Parse(Words({1, 1, 30, 1, 1, 0, 9, 9, 9}));
    EXPECT_EQ(v1.bold, 1);
    EXPECT_EQ(v1.fontSize, 30);
    EXPECT_EQ(v1.showPositionBar, 0);
    EXPECT_EQ(v1.paragraphSpacing, 3);
    // Version 5 with an empty face name: "Arial".
    std::vector<uint8_t> v5 = Words({5, 0, 14, 0, 0, 1, 3, 4, 2, 8, 8, 1, 1, 0, 0, 1, 0, 1, 0, 0});
    DisplaySettings five = DisplaySettings::Parse(v5);
    EXPECT_EQ(five.faceName, "Arial");
    EXPECT_EQ(five.showImages, 0);
    EXPECT_EQ(five.scrollDelay, 50);
    // A missing file, an empty file: defaults.
    EXPECT_EQ(DisplaySettings::Load(dir / "none.cfg"), DisplaySettings());
    EXPECT_EQ(DisplaySettings::Parse({}), DisplaySettings());

    // Damaged values keep their defaults: a leading of -1000, a font of 0 or a million, a
    // huge delay; the fields in range still count.
    std::vector<uint8_t> bad = Words({6, 1, 0, 0, 0, 1, 3, 4, -1000, 8, 8, 1, 1, 0, 0, 1, 0, 1, 1});
    std::vector<uint8_t> tail = Words({5, 'A' | 'r' << 8 | 'i' << 16 | 'a' << 24});
    tail.resize(5 + 4);
    tail[8] = 'l';
    bad.insert(bad.end(), tail.begin(), tail.end());
    auto rest = Words({1, 1, 2000000000});
    bad.insert(bad.end(), rest.begin(), rest.end());
    DisplaySettings damaged = DisplaySettings::Parse(bad);
    EXPECT_EQ(damaged.bold, 1);
    EXPECT_EQ(damaged.fontSize, 14);
    EXPECT_EQ(damaged.leading, 2);
    EXPECT_EQ(damaged.faceName, "Arial");
    EXPECT_EQ(damaged.autoScroll, 1);
    EXPECT_EQ(damaged.scrollDelay, 50);
    EXPECT_EQ(DisplaySettings::Parse(Words({1, 0, 1000000})).fontSize, 14);
    // A face name longer than its field is passed over, and what follows is still read.
    std::vector<uint8_t> longFace =
        Words({6, 0, 14, 0, 0, 1, 3, 4, 2, 8, 8, 1, 1, 0, 0, 1, 0, 1, 1, 200});
    longFace.insert(longFace.end(), 200, 'x');
    auto after = Words({1, 1, 70});
    longFace.insert(longFace.end(), after.begin(), after.end());
    DisplaySettings skipped = DisplaySettings::Parse(longFace);
    EXPECT_EQ(skipped.faceName, "Arial");
    EXPECT_EQ(skipped.scrollDelay, 70);
}

TEST(DeviceSettingsFile, RoundTripRangesAndADamagedFaceLength) {
    DisplaySettings s = DisplaySettings::DeviceDefaults();
    EXPECT_EQ(s.fontSize, 11);
    EXPECT_EQ(s.faceName, "Tahoma");
    EXPECT_TRUE(s.ShowMenuAndToolbars());
    s.fontSize = 26;
    s.faceName = "Dčjà Vu";
    s.autoScroll = 1;
    s.scrollDelay = 7;
    s.furtherWordOne = 0;
    TempDir dir;
    ASSERT_TRUE(s.Save(dir / "Ambervale" / "Wickpad.cfg"));
    EXPECT_EQ(DisplaySettings::Load(dir / "Ambervale" / "Wickpad.cfg", DeviceDefaults()), s);
    // Version 6; the face as a count of UTF-16 units and the units; three words end the file.
    std::vector<uint8_t> bytes = s.Serialize();
    EXPECT_EQ(bytes[0], 6);
    const size_t face = 19 * 4;
    EXPECT_EQ(bytes[face], 7);
    EXPECT_EQ(bytes[face + 4 + 2], 0x0d);  // 'č' is U+010D
    EXPECT_EQ(bytes[face + 4 + 3], 0x01);
    EXPECT_EQ(bytes.size(), face + 4 + 7 * 2 + 3 * 4);
    // The face counts in the signature by its UTF-16 units.
    DisplaySettings ascii = DeviceDefaults();
    DisplaySettings accented = ascii;
    accented.faceName = "Tahomá";
    EXPECT_EQ(accented.LayoutSignature() - ascii.LayoutSignature(), uint32_t(u'á') - u'a');

    // Out of range: font 27, a negative leading (an endless line loop), a face length of 128
    // (past its buffer). Each keeps its default; what follows is still read.
    std::vector<uint8_t> damaged =
        Words({6, 1, 27, 0, 0, 1, 0, 1, -5, 3, 0, 1, 0, 0, 0, 1, 0, 0, 1, 128});
    damaged.resize(damaged.size() + 256, 'A');
    auto tail = Words({0, 1, 33});
    damaged.insert(damaged.end(), tail.begin(), tail.end());
    DisplaySettings read = DisplaySettings::Parse(damaged, DeviceDefaults());
    EXPECT_EQ(read.bold, 1);
    EXPECT_EQ(read.fontSize, 11);
    EXPECT_EQ(read.leading, 0);
    EXPECT_EQ(read.faceName, "Tahoma");
    EXPECT_EQ(read.scrollDelay, 33);
    EXPECT_FALSE(read.ShowMenuAndToolbars());
    // A length that runs past the file, and garbage: defaults where nothing could be read.
    EXPECT_EQ(DisplaySettings::Parse(
                  Words({6, 0, 12, 0, 0, 1, 0, 1, 0, 3, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0x7fffffff}),
                  DeviceDefaults())
                  .faceName,
              "Tahoma");
    EXPECT_EQ(DisplaySettings::Parse({0xff, 0x13}, DeviceDefaults()), DeviceDefaults());
    // A lone surrogate in the face (no font is named so) reads as the replacement character, so
    // the name writes back as it was read.
    std::vector<uint8_t> surrogate =
        Words({6, 0, 12, 0, 0, 1, 0, 1, 0, 3, 0, 1, 0, 0, 0, 1, 0, 0, 1, 2});
    for (uint8_t b : {0x41, 0x00, 0x00, 0xd8})
        surrogate.push_back(b);
    DisplaySettings odd = DisplaySettings::Parse(surrogate, DeviceDefaults());
    EXPECT_EQ(odd.faceName, "A\xef\xbf\xbd");
    EXPECT_EQ(DisplaySettings::Parse(odd.Serialize(), DeviceDefaults()), odd);
}

}  // namespace
}  // namespace pagewick
