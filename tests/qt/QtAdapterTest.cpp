#include <gtest/gtest.h>

#include <sys/wait.h>
#include <QGuiApplication>

#include <QImage>
#include <QPainter>
#include <array>
#include <cstdio>
#include <memory>
#include "QtApp.h"

#include "RunTool.h"
#include "platform/qt/QtSurface.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

TEST(QtSurfaceTest, RealMetricsDifferPerCharacterAndGrowWithTheFont) {
    App();
    QtSurface surface(96);
    surface.SelectFont(FontSpec{"Liberation Serif", 14});
    char16_t w = u'W', i = u'i';
    TextSize wide = surface.TextExtent(&w, 1), narrow = surface.TextExtent(&i, 1);
    EXPECT_GT(wide.cx, narrow.cx);
    EXPECT_GT(wide.cy, 10);
    surface.SelectFont(FontSpec{"Liberation Serif", 28});
    EXPECT_GT(surface.TextExtent(&w, 1).cx, wide.cx);

    // A run is exactly as wide as its characters one by one, at every size and in every face
    // the readers offer: the layout measures characters and draws runs (justified pieces).
    const std::u16string line = u"Pages 12 of the ledger are missing. The mark appears on it";
    for (const char* face : {"Tahoma", "Courier New", "Liberation Serif"})
        for (int size : {8, 11, 13, 17}) {
            surface.SelectFont(FontSpec{face, size});
            int32_t sum = 0;
            for (char16_t c : line)
                sum += surface.TextExtent(&c, 1).cx;
            EXPECT_EQ(surface.TextExtent(line.data(), line.size()).cx, sum) << face << " " << size;
        }
}

TEST(QtSurfaceTest, DrawsTextInTheTextColour) {
    App();
    QImage image(100, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        QtSurface surface(&painter);
        surface.SelectFont(FontSpec{"DejaVu Sans", 20});
        surface.SetTextColour(RGBColour(255, 0, 0));
        surface.DrawText(2, 2, u"MM", 2);
    }
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 80 && c.blue() < 80) ++red;
        }
    EXPECT_GT(red, 20);
}

// Pixels where the colour channels differ: the colour stripes of ClearType.
int ColourFringes(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QColor c = image.pixelColor(x, y);
            count += c.red() != c.green() || c.green() != c.blue();
        }
    return count;
}

TEST(QtSurfaceTest, ClearTypeChangesTheSmoothingAndNeverTheWidths) {
    App();
    const std::u16string text = u"Wickstand \u2018quotes\u2019 \u2014 dashes";
    std::vector<int> widths[2];
    QImage drawn[2];
    for (bool clearType : {false, true}) {
        QImage& image = drawn[clearType];
        image = QImage(320, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        QtSurface surface(&painter);
        surface.SelectFont(FontSpec{"Arial", 14, false, false, false, clearType});
        surface.SetTextColour(RGBColour(0, 0, 0));
        surface.DrawText(4, 4, text.data(), text.size());
        auto measurer = surface.MeasurerForWidths();
        for (char16_t c : text)
            widths[clearType].push_back(surface.TextExtent(&c, 1).cx + 1000 * measurer->Width(c));
        widths[clearType].push_back(surface.TextExtent(text.data(), text.size()).cx);
    }
    EXPECT_EQ(widths[0], widths[1]);
    EXPECT_EQ(ColourFringes(drawn[0]), 0);
    EXPECT_GT(ColourFringes(drawn[1]), 50);
    // The ink lands in the same place: the darkest columns are the same.
    auto inked = [](const QImage& image) {
        std::vector<int> columns;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (qGray(image.pixel(x, y)) < 100) {
                    columns.push_back(x);
                    break;
                }
        return columns;
    };
    std::vector<int> plain = inked(drawn[0]), striped = inked(drawn[1]);
    ASSERT_FALSE(plain.empty());
    ASSERT_FALSE(striped.empty());
    EXPECT_LE(std::abs(plain.front() - striped.front()), 1);
    EXPECT_LE(std::abs(plain.back() - striped.back()), 1);

    // Light text on black (the night scheme) takes the text colour where the stripes cover.
    QImage night(320, 40, QImage::Format_RGB32);
    night.fill(Qt::black);
    {
        QPainter painter(&night);
        QtSurface surface(&painter);
        surface.SelectFont(FontSpec{"Arial", 14, true, false, false, true});
        surface.SetTextColour(RGBColour(255, 255, 255));
        surface.DrawText(4, 4, text.data(), text.size());
    }
    int lit = 0;
    for (int y = 0; y < night.height(); ++y)
        for (int x = 0; x < night.width(); ++x)
            lit += qGray(night.pixel(x, y)) > 200;
    EXPECT_GT(lit, 100);
}

TEST(PaginateCommandTest, PrintsThePageTableOrAClearError) {
    int status = -1;
    std::string help = std::string(PAGEWICK_SOURCE_DIR) + "/data/help.htm";
    std::string out = RunTool("paginate " + help + " --fixed-metrics --starts", status, true);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("pages: "), std::string::npos);
    EXPECT_NE(out.find("last_page: "), std::string::npos);
    EXPECT_NE(out.find("start: 0\n"), std::string::npos);

    out = RunTool("paginate " + help + " --width 300", status, true);  // real metrics, offscreen
    EXPECT_EQ(status, 0) << out;

    out = RunTool("paginate /nonexistent/book.txt", status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("cannot open"), std::string::npos) << out;
}

// The fixed metrics are a public contract: these page starts are worked out by hand from it.
// Page 100 x 100, border 8: lines from x 8 up to 92 (84 pixels); the digit is 12 high, so the
// lowest line bottom is 100 - 9 - 8 - 1 = 82 and a line is 12 + 2 - 1 = 13 high, 16 after a
// hard break. Widths: space 6, "a" (97) 6, "i" (105) 4, "m" (109) 8.
TEST(PaginateCommandTest, FixedMetricsGiveThePagesTheirRuleDescribes) {
    TempDir dir;
    // y 8: "mmmm mmmm " (84), the next "m" would reach 92; y 21: "mmmm" and the break (to 37);
    // y 37: 14 "a" are 84, a whole line; y 53: four "iiii " (88); y 66: "iiii iiii", break (82).
    // Page 1: eleven "m" (88) are wider than a line and are broken there, the last "m" follows.
    const std::string text =
        "mmmm mmmm mmmm\naaaaaaaaaaaaaa\niiii iiii iiii iiii iiii iiii\nmmmmmmmmmmmm";
    WriteFileText(dir / "book.txt", text);
    // The same as 16-bit text after a byte-order mark, with U+0161 (low byte 97) for "a".
    std::string wide = "\xFF\xFE";
    for (char c : text) {
        wide += c == 'a' ? '\x61' : c;
        wide += c == 'a' ? '\x01' : '\0';
    }
    WriteFileText(dir / "wide.txt", wide);
    int status = -1;
    const std::string page = " --fixed-metrics --starts --width 100 --height 100";
    std::string out = RunTool("paginate " + (dir / "book.txt").string() + page, status, true);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("pages: 3\nlast_page: 2\n"), std::string::npos) << out;
    EXPECT_NE(out.find("start: 0\nstart: 60\nstart: 72\n"), std::string::npos) << out;
    out = RunTool("paginate " + (dir / "wide.txt").string() + page, status, true);
    EXPECT_NE(out.find("start: 0\nstart: 61\nstart: 73\n"), std::string::npos) << out;
    // And as UTF-8 ("\xC5\xA1" for U+0161): the same characters, found without a mark; read as
    // Windows-1252 on request, each "a" is two characters and the pages change.
    std::string utf8;
    for (char c : text)
        utf8 += c == 'a' ? std::string("\xC5\xA1") : std::string(1, c);
    WriteFileText(dir / "utf8.txt", utf8);
    out = RunTool("paginate " + (dir / "utf8.txt").string() + page, status, true);
    EXPECT_NE(out.find("start: 0\nstart: 60\nstart: 72\n"), std::string::npos) << out;
    out = RunTool("paginate " + (dir / "utf8.txt").string() + page + " --encoding cp1252", status,
                  true);
    EXPECT_EQ(out.find("start: 60\n"), std::string::npos) << out;
    out = RunTool("paginate " + (dir / "utf8.txt").string() + " --encoding latin9", status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("--encoding takes auto, utf-8 or cp1252"), std::string::npos) << out;

    out = RunTool("paginate --help", status, true);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("is 4 + (b mod 5) pixels wide"), std::string::npos) << out;
    EXPECT_NE(out.find("face \"Arial\""), std::string::npos) << out;
    EXPECT_NE(out.find("--encoding auto|utf-8|cp1252"), std::string::npos) << out;
    out = RunTool("render --help", status, true);
    EXPECT_NE(out.find("is 4 + (b mod 5) pixels wide"), std::string::npos) << out;
}

TEST(PaginateCommandTest, LinesAsDrawnWithTypographyOnlyWhenAskedFor) {
    TempDir dir;
    // Lines of 84 pixels: "international" (69) never fits after "The" (18 and a space of 6).
    WriteFileText(dir / "book.txt", "The international\ncommunity\n");
    const std::string book = (dir / "book.txt").string() + " --fixed-metrics";
    const std::string narrow = book + " --width 100";
    int status = -1;
    std::string plain = RunTool("paginate " + narrow + " --lines", status, false);
    EXPECT_EQ(status, 0) << plain;
    EXPECT_NE(plain.find("1\t1\tThe\n1\t2\tinternational\n1\t3\tcommunity\n"), std::string::npos)
        << plain;
    // Hyphenated: the head and its hyphen after "The", the rest (and the break) on line 2.
    std::string split = RunTool("paginate " + narrow + " --lines --hyphenate en-US", status, false);
    EXPECT_EQ(status, 0) << split;
    const size_t second = split.find("\n1\t2\t");
    ASSERT_TRUE(split.starts_with("1\t1\tThe inter") && second != std::string::npos) << split;
    const std::string head = split.substr(4, second - 4), rest = split.substr(second + 5);
    ASSERT_TRUE(head.ends_with("-")) << split;
    EXPECT_EQ(head.substr(4, head.size() - 5) + rest.substr(0, rest.find('\n')), "international");
    EXPECT_NE(split.find("\n1\t3\tcommunity\n"), std::string::npos) << split;
    // Joined lines on a wider page, and a wrong value.
    std::string joined =
        RunTool("paginate " + book + " --width 200 --lines --join-lines on", status, false);
    EXPECT_NE(joined.find("1\t1\tThe international community\n"), std::string::npos) << joined;
    std::string bad = RunTool("paginate " + book + " --join-lines maybe", status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(bad.find("--join-lines takes auto, on or off"), std::string::npos) << bad;
}

TEST(RenderCommandTest, DrawsAPageAndKeepsThePageTableBesideTheBook) {
    TempDir dir;
    std::string text = "<html><body>";
    for (int i = 0; i < 3000; ++i)
        text += "word" + std::to_string(i) + " ";
    WriteFileText(dir / "book.htm", text);
    std::string book = (dir / "book.htm").string();
    std::string png = (dir / "page.png").string();
    int status = -1;
    std::string out = RunTool("render " + book + " --page 5 -o " + png, status, true);
    ASSERT_EQ(status, 0) << out;
    QImage image(QString::fromStdString(png));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 480);
    EXPECT_EQ(image.height(), 640);
    int dark = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            if (qGray(image.pixel(x, y)) < 100) ++dark;
    EXPECT_GT(dark, 500);  // text was drawn

    // The pagination file now holds the pages measured so far; the next page reuses them.
    std::vector<uint8_t> pwk = ReadFileBytes(dir / "book.htm.pwk");
    ASSERT_GE(pwk.size(), 60u);
    EXPECT_EQ(pwk[0], 5);
    out = RunTool("render " + book + " --page 6 -o " + png, status, true);
    EXPECT_EQ(status, 0) << out;
    EXPECT_GT(ReadFileBytes(dir / "book.htm.pwk").size(), pwk.size() - 1);

    out = RunTool("render " + book + " --page 100000 -o " + png, status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("past the end"), std::string::npos) << out;
}

}  // namespace
}  // namespace pagewick::test
