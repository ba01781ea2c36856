// The desktop reader on a screen of device pixel ratio 2 (the whole program scaled, as
// QT_SCALE_FACTOR=2 does): pages are drawn with the screen's pixels, not enlarged from a
// low-resolution image, and they break where they break at ratio 1.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <filesystem>

#include "desktop/ChildView.h"
#include "desktop/MainFrame.h"
#include "platform/qt/QtSurface.h"
#include "support/DesktopFixture.h"
#include "support/fixtures.h"

namespace wickstand {
namespace {
using namespace pagewick;
namespace fs = std::filesystem;

// 2 by 2 blocks of pixels that are not one colour: none in a picture enlarged from half the
// pixels, many in text drawn at full resolution.
int MixedBlocks(const QImage& image) {
    int mixed = 0;
    for (int y = 0; y + 1 < image.height(); y += 2)
        for (int x = 0; x + 1 < image.width(); x += 2) {
            const QRgb a = image.pixel(x, y);
            if (image.pixel(x + 1, y) != a || image.pixel(x, y + 1) != a ||
                image.pixel(x + 1, y + 1) != a)
                ++mixed;
        }
    return mixed;
}

TEST(HighDpi, PagesDrawnWithTheScreensPixelsBreakAsAtRatioOne) {
    DesktopReader r([](const fs::path& eBooks) {
        std::string html = "<html><body>";
        for (int i = 0; i < 400; ++i)
            html += "<p>Paragraph " + std::to_string(i) +
                    " of a book read on a sharp screen, long enough to wrap twice or more.</p>";
        test::WriteFileText(eBooks / "Sharp.htm", html + "</body></html>");
        return (eBooks / "Sharp.htm").string();
    });
    ASSERT_EQ(r.View().PagePixelRatio(), 2.0);
    ASSERT_TRUE(r.View().OpenBookFile(r.book));
    r.Paint();
    ASSERT_GT(r.View().SizeClass(), 0);

    // The page image has twice the pixels each way and says so; the page itself (and what the
    // layout sees) keeps its size in page units.
    const QImage& page = r.View().CurrentPageImage();
    const QSize units = r.View().PageRect().size();
    EXPECT_EQ(page.size(), units * 2);
    EXPECT_EQ(page.devicePixelRatio(), 2.0);
    EXPECT_EQ(r.Doc().RightEdge, units.width() - r.View().Settings().borderWidth);
    EXPECT_GT(MixedBlocks(page), 1000);

    // What reaches the window is as sharp: a grab of the view at its pixels.
    QImage shot = r.frame->grab().toImage();
    fs::create_directories("artifacts");
    shot.save(QStringLiteral("artifacts/wickstand-high-dpi.png"));
    const QRect onScreen(r.View().mapTo(r.frame.get(), r.View().PageOrigin()) * 2, units * 2);
    EXPECT_GT(MixedBlocks(shot.copy(onScreen)), 1000);

    // Ten pages turned: each starts where a ratio-1 page of the same size starts.
    for (int i = 0; i < 10; ++i)
        r.Key(Qt::Key_PageDown);
    ASSERT_GE(r.Doc().PageStarts.size(), 11u);
    CBookEngine plain;
    r.View().Settings().ApplyTo(plain);
    plain.LeftEdge = r.Doc().LeftEdge;
    plain.TopEdge = r.Doc().TopEdge;
    plain.RightEdge = r.Doc().RightEdge;
    plain.PageHeight = r.Doc().PageHeight;
    plain.BookPath = r.book;
    plain.SourceKind = kSourceText;
    plain.PaginationPath = (r.dir / "plain.pwk").string();
    ASSERT_TRUE(plain.OpenBook());
    QImage one(units, QImage::Format_RGB32);
    ASSERT_EQ(one.devicePixelRatio(), 1.0);
    QPainter painter(&one);
    QtSurface surface(&painter);
    plain.BuildWidthTable(&surface);
    plain.PaginateTo(11);
    ASSERT_GE(plain.PageStarts.size(), 11u);
    EXPECT_EQ(std::vector<int32_t>(r.Doc().PageStarts.begin(), r.Doc().PageStarts.begin() + 11),
              std::vector<int32_t>(plain.PageStarts.begin(), plain.PageStarts.begin() + 11));
}

}  // namespace
}  // namespace wickstand

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
