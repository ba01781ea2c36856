// The Qt picture decoder on every format books carry, on bad picture files, and the command
// line's contents listing and picture-drawing render.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include "QtApp.h"
#include "RunTool.h"
#include "platform/qt/QtPictureDecoder.h"
#include "platform/qt/QtSurface.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

// A 1 by 1 red GIF, written by hand: Qt writes no GIF.
const unsigned char kRedGif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01,
                                 0x00, 0x80, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00,
                                 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01,
                                 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};

// The PNG signature and a header claiming 100000 by 100000 pixels.
std::string EnormousPng() {
    std::string b = "\x89PNG\r\n\x1a\n";
    b += std::string("\0\0\0\x0dIHDR\0\x01\x86\xa0\0\x01\x86\xa0\x08\x02\0\0\0", 25);
    return b + std::string(4, '\0');
}

TEST(PicturesQtTest, DecodesGifPngJpegAndBmpAndRefusesBadFiles) {
    App();
    TempDir dir;
    QImage red(8, 6, QImage::Format_RGB32);
    red.fill(QColor(255, 0, 0));
    // Names that do not tell the format: the content decides.
    ASSERT_TRUE(red.save(QString::fromStdString((dir / "p.tmp").string()), "PNG"));
    ASSERT_TRUE(red.save(QString::fromStdString((dir / "j.tmp").string()), "JPEG"));
    ASSERT_TRUE(red.save(QString::fromStdString((dir / "b.tmp").string()), "BMP"));
    WriteFileBytes(dir / "g.tmp", kRedGif, sizeof kRedGif);
    QtPictureDecoder decoder;
    for (const char* name : {"p.tmp", "j.tmp", "b.tmp", "g.tmp"}) {
        SCOPED_TRACE(name);
        TextSize size;
        ASSERT_TRUE(decoder.PictureSize((dir / name).string(), size));
        EXPECT_EQ(size.cx, name[0] == 'g' ? 1 : 8);
        QImage page(20, 20, QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter painter(&page);
            QtSurface surface(&painter);
            ASSERT_TRUE(decoder.DrawPicture(surface, (dir / name).string(), Rect{5, 5, 15, 15}));
        }
        QColor centre = page.pixelColor(10, 10);
        EXPECT_GT(centre.red(), 200);
        EXPECT_LT(centre.green(), 60);
        EXPECT_EQ(page.pixelColor(2, 2), QColor(Qt::white));
    }

    WriteFileText(dir / "empty.png", "");
    WriteFileText(dir / "text.png", "not a picture at all");
    WriteFileText(dir / "huge.png", EnormousPng());
    std::string png = ReadFileText(dir / "p.tmp");
    WriteFileText(dir / "damaged.png", png.substr(0, png.size() / 2));
    EXPECT_GT(QImageReader::allocationLimit(), 0);  // the limit stays on
    for (const char* name : {"empty.png", "text.png", "huge.png", "damaged.png", "missing.png"}) {
        SCOPED_TRACE(name);
        TextSize size{5, 5};
        bool sized = decoder.PictureSize((dir / name).string(), size);
        if (std::string(name) != "damaged.png") {  // its header is whole
            EXPECT_FALSE(sized);
            EXPECT_EQ(size.cx, 0);
        }
        QImage page(20, 20, QImage::Format_RGB32);
        QPainter painter(&page);
        QtSurface surface(&painter);
        EXPECT_FALSE(decoder.DrawPicture(surface, (dir / name).string(), Rect{0, 0, 10, 10}));
    }
}

TEST(PicturesQtTest, TocListsChaptersAndRenderDrawsPicturesAndPrintsLinks) {
    TempDir dir;
    QImage cover(30, 40, QImage::Format_RGB32);
    cover.fill(QColor(0, 0, 255));
    ASSERT_TRUE(cover.save(QString::fromStdString((dir / "front.png").string()), "PNG"));
    QImage pic(100, 50, QImage::Format_RGB32);
    pic.fill(QColor(0, 200, 0));
    ASSERT_TRUE(pic.save(QString::fromStdString((dir / "pic.jpg").string()), "JPEG"));
    WriteFileText(dir / "ch1.htm",
                  "<p>A picture <img src=pic.jpg> and a <a href=\"ch2.htm#end\">link</a>.</p>");
    WriteFileText(dir / "ch2.htm", "<p>Two.</p><a name=end></a>");
    WriteFileText(dir / "plain.txt", "no contents");
    auto q = [](const std::filesystem::path& p) { return "'" + p.string() + "'"; };
    int status = -1;
    RunTool("pawk pack -o " + q(dir / "b.pawk") + " --title Book " + q(dir / "front.png") + " " +
                q(dir / "ch1.htm") + " " + q(dir / "ch2.htm") + " " + q(dir / "pic.jpg"),
            status, true);
    ASSERT_EQ(status, 0);

    EXPECT_EQ(RunTool("toc " + q(dir / "b.pawk"), status, false),
              "Cover Image\tcover.png\nch1.htm\tch1.htm#\nch2.htm\tch2.htm#\n");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(RunTool("toc " + q(dir / "plain.txt"), status, false), "");
    EXPECT_EQ(status, 0);

    std::string out =
        RunTool("render " + q(dir / "b.pawk") + " --links -o " + q(dir / "p.png"), status, false);
    ASSERT_EQ(status, 0) << out;
    int l = 0, t = 0, r = 0, b = 0;
    char target[64] = {};
    ASSERT_EQ(sscanf(out.c_str(), "link: %d %d %d %d %63s", &l, &t, &r, &b, target), 5) << out;
    EXPECT_STREQ(target, "ch2.htm#end");
    EXPECT_LT(l, r);
    EXPECT_LT(t, b);
    // The green picture is drawn on the page.
    QImage page(QString::fromStdString((dir / "p.png").string()));
    ASSERT_FALSE(page.isNull());
    int green = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            QColor c = page.pixelColor(x, y);
            green += c.green() > 150 && c.red() < 80 && c.blue() < 80;
        }
    EXPECT_GT(green, 100 * 50 / 2);
}

}  // namespace
}  // namespace pagewick::test
