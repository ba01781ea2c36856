// The reading view's Print commands on the offscreen platform: pages and chapters of a PAWK book
// with a picture printed through the real print dialog into PDF files, the screen's page after
// each job, and the commands' enabling and refusals.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <regex>

#include "desktop/ChildView.h"
#include "desktop/Commands.h"
#include "desktop/DesktopHost.h"
#include "desktop/Dialogs.h"
#include "desktop/MainFrame.h"
#include "pawk/PawkWriter.h"
#include "support/fixtures.h"

namespace wickstand {
namespace {
using namespace pagewick;
using pagewick::test::TempDir;
namespace fs = std::filesystem;

// Pages of a PDF file: its page objects.
int PdfPages(const fs::path& file) {
    std::string bytes = test::ReadFileText(file);
    static const std::regex page(R"(/Type\s*/Page[^s])");
    return int(std::distance(std::sregex_iterator(bytes.begin(), bytes.end(), page),
                             std::sregex_iterator()));
}

// Acts on the next modal dialog of that class once it shows.
template <class Dialog>
void OnNext(std::function<void(Dialog&)> act) {
    QTimer::singleShot(0, [act] {
        for (int i = 0; i < 300; ++i) {
            if (auto* d = dynamic_cast<Dialog*>(QApplication::activeModalWidget())) {
                act(*d);
                return;
            }
            QTest::qWait(10);
        }
        ADD_FAILURE() << "no dialog appeared";
    });
}

void ChooseRow(CTOCDialog& toc, const QString& title) {
    for (int row = 0; row < toc.list->count(); ++row)
        if (toc.list->item(row)->text() == title) {
            toc.list->setCurrentRow(row);
            toc.accept();
            return;
        }
    ADD_FAILURE() << "no row " << title.toStdString();
    toc.reject();
}

struct PrintingReader {
    TempDir dir;
    std::unique_ptr<DesktopHost> host;
    std::unique_ptr<CMainFrame> frame;
    fs::path book;

    PrintingReader() {
        setenv("XDG_DOCUMENTS_DIR", (dir / "docs").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        fs::create_directories(dir / "docs" / "My eBooks");
        QImage picture(80, 60, QImage::Format_RGB32);
        picture.fill(Qt::darkRed);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        PawkWriter w;
        w.title = "Printing";
        std::string one = "<p>Chapter one.</p><p><img src=\"pic.png\"> under the picture.</p>";
        for (int i = 0; i < 300; ++i)
            one += "<p>One line " + std::to_string(i) + " of the first chapter, to wrap.</p>";
        std::string two = "<newpage><a name=\"two\"></a><p>Chapter two.</p>";
        for (int i = 0; i < 100; ++i)
            two += "<p>Two line " + std::to_string(i) + ".</p>";
        w.files.push_back({"one.htm", {}, std::vector<uint8_t>(one.begin(), one.end())});
        w.files.push_back({"two.htm", {}, std::vector<uint8_t>(two.begin(), two.end())});
        w.files.push_back({"pic.png", {}, std::vector<uint8_t>(png.begin(), png.end())});
        w.contents = {{0, "One", "one.htm#"}, {0, "Figure", "pic.png"}, {0, "Two", "two.htm#two"}};
        book = dir / "docs" / "My eBooks" / "Printing.pawk";
        EXPECT_TRUE(w.Write(book));
        host = std::make_unique<DesktopHost>(dir / "Pagewick.conf");
        host->answerer = [](const std::string&, MessageButtons) { return MessageAnswer::Ok; };
        frame = std::make_unique<CMainFrame>(*host, dir / "Wickstand.cfg");
        frame->resize(700, 900);
        frame->show();
        QApplication::processEvents();
    }
    CChildView& View() { return frame->View(); }
    CBookEngine& Doc() { return View().Document(); }
    void Paint() {
        View().repaint();
        QApplication::processEvents();
    }
    fs::path Pdf() const { return dir / "docs" / "Printing.pdf"; }
};

struct ScreenState {
    int32_t page;
    std::vector<int32_t> starts;
    std::vector<int32_t> widths;
    std::array<FontSpec, 8> fonts;
    int32_t left, right;
    explicit ScreenState(const CBookEngine& d)
        : page(d.CurrentPage),
          starts(d.PageStarts),
          widths(d.Widths),
          fonts(d.ReadingFonts),
          left(d.LeftEdge),
          right(d.RightEdge) {}
    bool operator==(const ScreenState&) const = default;
};

TEST(Printing, PagesAndChaptersToPdfThroughTheDialogAndTheScreenComesBack) {
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        GTEST_SKIP() << "a printer is installed: the dialog would not propose a PDF file";
    PrintingReader r;
    r.View().SetPendingBook(PendingBook{r.book.string(), "Printing", false});
    ASSERT_TRUE(r.View().OpenFirstBook());
    r.Paint();
    r.View().OnCommand(ID_NEXT_PAGE);  // closes nothing: no cover in this book
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(&r.View(), Qt::Key_PageDown);
    r.Paint();
    ASSERT_EQ(r.Doc().CurrentPage, 4);
    EXPECT_TRUE(r.View().IsCommandEnabled(ID_PRINT));
    EXPECT_TRUE(r.View().IsCommandEnabled(ID_PRINT_CHAPTERS));
    const ScreenState before(r.Doc());

    // Cancel prints nothing.
    OnNext<QPrintDialog>([](QPrintDialog& d) { d.reject(); });
    r.frame->OnCommand(ID_PRINT);
    EXPECT_FALSE(fs::exists(r.Pdf()));

    // Pages 2 to 3: the dialog, without a printer, says so and proposes a PDF file.
    QString title;
    OnNext<QPrintDialog>([&](QPrintDialog& d) {
        title = d.windowTitle();
        auto* range = d.findChild<QRadioButton*>(QStringLiteral("printRange"));
        auto* from = d.findChild<QSpinBox*>(QStringLiteral("from"));
        auto* to = d.findChild<QSpinBox*>(QStringLiteral("to"));
        ASSERT_TRUE(range && from && to);
        range->setChecked(true);
        to->setValue(3);
        from->setValue(2);
        d.accept();
    });
    r.frame->OnCommand(ID_PRINT);
    EXPECT_TRUE(title.contains(QStringLiteral("no printer is installed"))) << title.toStdString();
    ASSERT_TRUE(fs::exists(r.Pdf()));
    EXPECT_EQ(PdfPages(r.Pdf()), 2);
    EXPECT_EQ(r.View().LastPagesPrinted(), 2);
    EXPECT_FALSE(r.View().Printing());
    r.Paint();
    EXPECT_TRUE(ScreenState(r.Doc()) == before);

    // Chapter Two alone: the picture entry as the first chapter is refused first.
    OnNext<CTOCDialog>([](CTOCDialog& toc) { ChooseRow(toc, "Figure"); });
    r.frame->OnCommand(ID_PRINT_CHAPTERS);
    EXPECT_EQ(r.host->messagesShown.back(),
              "Sorry, we currently do not support image-only chapters.");
    fs::remove(r.Pdf());
    QStringList lastRows;
    OnNext<CTOCDialog>([&](CTOCDialog& toc) {
        OnNext<CTOCDialog>([&](CTOCDialog& last) {
            for (int row = 0; row < last.list->count(); ++row)
                lastRows << last.list->item(row)->text();
            ChooseRow(last, "Two");
            OnNext<QPrintDialog>([](QPrintDialog& d) { d.accept(); });
        });
        ChooseRow(toc, "Two");
    });
    r.frame->OnCommand(ID_PRINT_CHAPTERS);
    EXPECT_EQ(lastRows, QStringList{QStringLiteral("Two")});
    ASSERT_TRUE(fs::exists(r.Pdf()));
    const int chapterPages = PdfPages(r.Pdf());
    EXPECT_EQ(chapterPages, r.View().LastPagesPrinted());
    EXPECT_GE(chapterPages, 1);
    r.Paint();
    EXPECT_TRUE(ScreenState(r.Doc()) == before);

    // A PDF name taken by a folder: a clear message, and nothing half-written left beside it.
    fs::remove(r.Pdf());
    fs::create_directory(r.Pdf());
    OnNext<QPrintDialog>([](QPrintDialog& d) { d.accept(); });
    r.frame->OnCommand(ID_PRINT);
    EXPECT_EQ(r.host->messagesShown.back().rfind("Cannot write " + r.Pdf().string(), 0), 0u)
        << r.host->messagesShown.back();
    for (const auto& item : fs::directory_iterator(r.dir / "docs"))
        EXPECT_EQ(item.path().filename().string().find(".part"), std::string::npos);
    EXPECT_TRUE(ScreenState(r.Doc()) == before);

    // A book without contents prints pages but not chapters.
    fs::path plain = r.dir / "docs" / "Plain.txt";
    test::WriteFileText(plain, "Plain words.\n");
    ASSERT_TRUE(r.View().OpenPath(plain.string()));
    EXPECT_TRUE(r.View().IsCommandEnabled(ID_PRINT));
    EXPECT_FALSE(r.View().IsCommandEnabled(ID_PRINT_CHAPTERS));
}

}  // namespace
}  // namespace wickstand
