// The reading view's Print commands on the offscreen platform: pages and chapters of a PAWK book
// with a picture printed through the real print dialog into PDF files, the screen's page after
// each job, and the commands' enabling and refusals.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "desktop/ChildView.h"
#include "desktop/Commands.h"
#include "desktop/DesktopHost.h"
#include "desktop/MainFrame.h"
#include "pawk/PawkWriter.h"
#include "support/DesktopFixture.h"
#include "support/QtPng.h"
#include "support/fixtures.h"
#include "view/ContentsDialog.h"

namespace wickstand {
namespace {
using namespace pagewick;
using pagewick::test::TempDir;
using pwview::CTOCDialog;
namespace fs = std::filesystem;

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

// A PAWK book with a picture and two chapters, the picture listed between them.
std::string WritePrintingBook(const fs::path& eBooks) {
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
    w.files.push_back({"pic.png", {}, test::SolidPng(80, 60, Qt::darkRed)});
    w.contents = {{0, "One", "one.htm#"}, {0, "Figure", "pic.png"}, {0, "Two", "two.htm#two"}};
    const fs::path book = eBooks / "Printing.pawk";
    EXPECT_TRUE(w.Write(book));
    return book.string();
}

struct PrintingReader : DesktopReader {
    PrintingReader() : DesktopReader(WritePrintingBook) {}
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
    r.View().SetPendingBook(PendingBook{r.book, "Printing", false});
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
    OnNextModal<QPrintDialog>([](QPrintDialog& d) { d.reject(); });
    r.frame->OnCommand(ID_PRINT);
    EXPECT_FALSE(fs::exists(r.Pdf()));

    // Pages 2 to 3: the dialog, without a printer, says so and proposes a PDF file.
    QString title;
    OnNextModal<QPrintDialog>([&](QPrintDialog& d) {
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
    EXPECT_EQ(test::PdfPages(r.Pdf()), 2);
    EXPECT_EQ(r.View().LastPagesPrinted(), 2);
    EXPECT_FALSE(r.View().Printing());
    r.Paint();
    EXPECT_TRUE(ScreenState(r.Doc()) == before);

    // Chapter Two alone: the picture entry as the first chapter is refused first.
    OnNextModal<CTOCDialog>([](CTOCDialog& toc) { ChooseRow(toc, "Figure"); });
    r.frame->OnCommand(ID_PRINT_CHAPTERS);
    EXPECT_EQ(r.host->messagesShown.back(),
              "Sorry, we currently do not support image-only chapters.");
    fs::remove(r.Pdf());
    QStringList lastRows;
    OnNextModal<CTOCDialog>([&](CTOCDialog& toc) {
        OnNextModal<CTOCDialog>([&](CTOCDialog& last) {
            for (int row = 0; row < last.list->count(); ++row)
                lastRows << last.list->item(row)->text();
            ChooseRow(last, "Two");
            OnNextModal<QPrintDialog>([](QPrintDialog& d) { d.accept(); });
        });
        ChooseRow(toc, "Two");
    });
    r.frame->OnCommand(ID_PRINT_CHAPTERS);
    EXPECT_EQ(lastRows, QStringList{QStringLiteral("Two")});
    ASSERT_TRUE(fs::exists(r.Pdf()));
    const int chapterPages = test::PdfPages(r.Pdf());
    EXPECT_EQ(chapterPages, r.View().LastPagesPrinted());
    EXPECT_GE(chapterPages, 1);
    r.Paint();
    EXPECT_TRUE(ScreenState(r.Doc()) == before);

    // A PDF name taken by a folder: a clear message, and nothing half-written left beside it.
    fs::remove(r.Pdf());
    fs::create_directory(r.Pdf());
    OnNextModal<QPrintDialog>([](QPrintDialog& d) { d.accept(); });
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
