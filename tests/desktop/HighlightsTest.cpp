// Highlights and notes in Wickstand as a person makes them: text selected with the mouse by whole
// words, copied, highlighted and annotated from the keys, the Edit menu and the page's menu; the
// Highlights list; File > "Export Highlights..."; and the question when a book with notes is
// deleted or repaired.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "desktop/Commands.h"
#include "engine/HighlightExport.h"
#include "engine/PaginationFile.h"
#include "support/DesktopFixture.h"
#include "support/ModalScript.h"
#include "support/fixtures.h"
#include "view/HighlightsDialog.h"
#include "view/NoteDialog.h"

namespace wickstand {
namespace {
using namespace pagewick;
using pagewick::test::MenuChoice;
using pagewick::test::Person;
namespace fs = std::filesystem;

// The words "w0000" to "w3999", one space apart: the word at offset o is o / 6.
std::string Word(int32_t index) {
    char text[8];
    std::snprintf(text, sizeof text, "w%04d", int(index));
    return text;
}
std::string Words(int32_t first, int32_t last) {
    std::string text;
    for (int32_t i = first; i <= last; ++i)
        text += (i > first ? " " : "") + Word(i);
    return text;
}

struct WordsReader : DesktopReader {
    std::vector<std::string> questions;
    MessageAnswer notesAnswer = MessageAnswer::No;
    WordsReader()
        : DesktopReader([](const fs::path& eBooks) {
              const std::string book = (eBooks / "Words.txt").string();
              test::WriteFileText(book, Words(0, 3999) + "\n");
              return book;
          }) {
        host->answerer = [this](const std::string& text, MessageButtons buttons) {
            if (buttons != MessageButtons::YesNo) return MessageAnswer::Ok;
            questions.push_back(text);
            return notesAnswer;
        };
        EXPECT_TRUE(View().OpenBookFile(book));
        Paint();
    }
    // The middle of a character of a line of the page shown, in the view's coordinates.
    QPoint At(size_t line, size_t ch) {
        const auto& l = Doc().DrawnLines.at(line);
        return View().PageOrigin() +
               QPoint((l.xs.at(ch) + l.xs.at(ch + 1)) / 2, (l.top + l.bottom) / 2);
    }
    int32_t WordUnder(size_t line, size_t ch) {
        return Doc().DrawnLines.at(line).offsets.at(ch) / 6;
    }
    void Drag(QPoint from, QPoint to) {
        QTest::mousePress(&View(), Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(&View(), (from + to) / 2);
        QTest::mouseMove(&View(), to);
        QTest::mouseRelease(&View(), Qt::LeftButton, Qt::NoModifier, to);
        Paint();
    }
    void Keys(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        frame->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(frame.get()));
        QTest::keyClick(&View(), key, modifiers);
        Paint();
    }
    void RightClick(QPoint at, const QString& item) {
        MenuChoice choice(item);
        // What the window system makes of a right click.
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, View().mapToGlobal(at));
        QApplication::sendEvent(&View(), &click);
        Paint();
        EXPECT_TRUE(choice.chosen) << item.toStdString() << " among "
                                   << choice.seen.join(QStringLiteral(", ")).toStdString();
    }
    bool Enabled(int id) {
        QAction* action = frame->Action(id);
        return action && action->isEnabled();
    }
    // Pixels of the page shown in a highlight colour, on the rows of a line.
    int Painted(size_t line, HighlightColour colour) {
        const QImage& page = View().CurrentPageImage();
        const Colour c = ColourValue(colour, false);
        const QColor wanted(int(c & 255), int(c >> 8 & 255), int(c >> 16 & 255));
        const auto& l = Doc().DrawnLines.at(line);
        int count = 0;
        for (int y = l.top; y < l.bottom; ++y)
            for (int x = Doc().LeftEdge; x < Doc().RightEdge; ++x)
                if (page.pixelColor(x, y) == wanted) ++count;
        return count;
    }
    std::string Notes() { return NotesFilePath(PaginationFilePath(book)); }
};

TEST(Highlights, MouseSelectsWholeWordsAndTheKeysAndMenusMarkThem) {
    WordsReader r;
    ASSERT_GE(r.Doc().DrawnLines.size(), 10u);
    EXPECT_FALSE(r.Enabled(ID_HIGHLIGHT));
    EXPECT_FALSE(r.Enabled(ID_EDIT_COPY));
    EXPECT_FALSE(r.Enabled(ID_EXPORT_HIGHLIGHTS));

    // From inside a word on line 2 to inside one on line 3: both words whole. A press alone
    // selects nothing.
    QTest::mousePress(&r.View(), Qt::LeftButton, Qt::NoModifier, r.At(2, 8));
    EXPECT_EQ(r.Doc().SelectionFirst, -1);
    QTest::mouseRelease(&r.View(), Qt::LeftButton, Qt::NoModifier, r.At(2, 8));
    const int32_t first = r.WordUnder(2, 8), last = r.WordUnder(3, 3);
    r.Drag(r.At(2, 8), r.At(3, 3));
    EXPECT_EQ(r.Doc().SelectionFirst, first * 6);
    EXPECT_EQ(r.Doc().SelectionEnd, last * 6 + 5);
    EXPECT_TRUE(r.Enabled(ID_HIGHLIGHT));
    r.Keys(Qt::Key_C);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), Words(first, last));

    // Ctrl+H: a yellow highlight of the words, drawn, in the notes file; the selection goes.
    ASSERT_FALSE(fs::exists(r.Notes()));
    r.Keys(Qt::Key_H);
    ASSERT_EQ(r.Doc().Highlights.Size(), 1u);
    const Highlight mark = r.Doc().Highlights.All()[0];
    EXPECT_EQ(mark.start, first * 6);
    EXPECT_EQ(mark.end, last * 6 + 5);
    EXPECT_EQ(mark.colour, HighlightColour::Yellow);
    EXPECT_FALSE(r.View().HasSelection());
    EXPECT_TRUE(fs::exists(r.Notes()));
    EXPECT_GT(r.Painted(2, HighlightColour::Yellow), 50);
    EXPECT_TRUE(r.Enabled(ID_EXPORT_HIGHLIGHTS));

    // Dragged backwards on line 6, then the page's menu: Add Note... and the note typed.
    const int32_t from = r.WordUnder(6, 20), to = r.WordUnder(6, 2);
    r.Drag(r.At(6, 20), r.At(6, 2));
    EXPECT_EQ(r.Doc().SelectionFirst, to * 6);
    EXPECT_EQ(r.Doc().SelectionEnd, from * 6 + 5);
    const std::string note = "Two lines, \xc3\xbcmlaut\nand more.";
    Person person;
    person.Then([&](QWidget& window) {
        auto* dialog = qobject_cast<pwview::CNoteDialog*>(&window);
        if (!dialog) return false;
        EXPECT_TRUE(dialog->quote->text().contains(QString::fromStdString(Word(to))));
        QTest::keyClicks(dialog->text, QStringLiteral("Two lines, "));
        QTest::sendKeyEvent(QTest::Click, dialog->text, Qt::Key_unknown,
                            QString::fromUtf8("\xc3\xbc"), Qt::NoModifier);
        QTest::keyClicks(dialog->text, QStringLiteral("mlaut"));
        QTest::keyClick(dialog->text, Qt::Key_Return);
        QTest::keyClicks(dialog->text, QStringLiteral("and more."));
        QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
        return true;
    });
    r.RightClick(r.At(6, 10), QStringLiteral("Add Note..."));
    person.WaitUntilDone();
    const Highlight* noted = r.Doc().Highlights.Find(to * 6, from * 6 + 5);
    ASSERT_NE(noted, nullptr);
    EXPECT_EQ(noted->note, note);
    // Saved to look at: the page with its two highlights.
    fs::create_directories("artifacts");
    r.Paint();
    r.frame->grab().save(QStringLiteral("artifacts/wickstand-highlights.png"));

    // On the first highlight, with nothing selected: its colour changed, then it is deleted.
    r.RightClick(r.At(2, 10), QStringLiteral("Change Colour>Blue"));
    EXPECT_EQ(r.Doc().Highlights.Find(mark.start, mark.end)->colour, HighlightColour::Blue);
    EXPECT_GT(r.Painted(2, HighlightColour::Blue), 50);
    r.RightClick(r.At(2, 10), QStringLiteral("Delete Highlight"));
    EXPECT_EQ(r.Doc().Highlights.Size(), 1u);
    EXPECT_EQ(r.Painted(2, HighlightColour::Blue), 0);

    // A double-click selects the word under it.
    test::DoubleClick(&r.View(), r.At(9, 8));
    r.Paint();
    EXPECT_EQ(r.Doc().SelectionFirst, r.WordUnder(9, 8) * 6);
    EXPECT_EQ(r.Doc().SelectionEnd, r.WordUnder(9, 8) * 6 + 5);

    // A wobble of two pixels is a click, not a selection; a page turn lets a selection go.
    r.Drag(r.At(8, 5), r.At(8, 5) + QPoint(2, 1));
    EXPECT_FALSE(r.View().HasSelection());
    r.Drag(r.At(8, 5), r.At(8, 15));
    EXPECT_TRUE(r.View().HasSelection());
    r.Key(Qt::Key_PageDown);
    EXPECT_FALSE(r.View().HasSelection());
    EXPECT_FALSE(r.Enabled(ID_EDIT_COPY));

    // Closed and opened again: the note is still there.
    r.Restart();
    ASSERT_TRUE(r.View().OpenBookFile(r.book));
    r.Paint();
    ASSERT_EQ(r.Doc().Highlights.Size(), 1u);
    EXPECT_EQ(r.Doc().Highlights.All()[0].note, note);
}

TEST(Highlights, AClickOnALinkStillFollowsIt) {
    WordsReader r;
    std::string html = "<html><body><p><a href=\"#far\">Jump far</a></p>";
    for (int i = 0; i < 600; ++i)
        html += "<p>Paragraph " + std::to_string(i) + " with words enough for a line or two.</p>";
    html += "<p><a name=\"far\">Far away</a></p></body></html>";
    const std::string linked = (r.dir / "docs" / "My eBooks" / "Linked.htm").string();
    test::WriteFileText(linked, html);
    // Something selected in one book is let go when another opens.
    r.Drag(r.At(1, 2), r.At(1, 12));
    ASSERT_TRUE(r.View().HasSelection());
    ASSERT_TRUE(r.View().OpenBookFile(linked));
    r.Paint();
    EXPECT_FALSE(r.View().HasSelection());
    const LinkRecord* link = nullptr;
    for (const LinkRecord& l : r.View().PageLinks())
        if (l.rectValid) link = &l;
    ASSERT_NE(link, nullptr);
    const QPoint at = r.View().PageOrigin() + QPoint((link->hit.left + link->hit.right) / 2,
                                                     (link->hit.top + link->hit.bottom) / 2);
    r.Drag(at, at + QPoint(1, 1));
    EXPECT_GT(r.Doc().CurrentPage, 5);
    EXPECT_FALSE(r.View().HasSelection());
}

TEST(Highlights, TheListGoesToARowChangesAndDeletesAndTheExportWritesMarkdown) {
    WordsReader r;
    CBookEngine& doc = r.Doc();
    doc.Highlights.Add({6 * 10, 6 * 11 + 5, HighlightColour::Yellow, "first note", NowIso8601()});
    doc.Highlights.Add({6 * 2000, 6 * 2000 + 5, HighlightColour::Green, "middle", NowIso8601()});
    doc.Highlights.Add({6 * 3900, 6 * 3902 + 5, HighlightColour::Pink, "", NowIso8601()});
    ASSERT_TRUE(doc.SaveHighlights());
    pwview::CHighlightsDialog* shown = nullptr;
    auto list = [&](QWidget& window) {
        shown = qobject_cast<pwview::CHighlightsDialog*>(&window);
        if (!shown) return false;
        // The pages are counted while the program is idle; the rows say "…" until then.
        for (int row = 0; row < shown->Model().rowCount(); ++row)
            if (shown->Model().index(row, 0).data().toString() == QString(QChar(0x2026)))
                return false;
        return true;
    };

    // The rows in text order with page, colour, words and note; a double-click goes there.
    int page = 0;
    {
        Person person;
        person.Then(list).Then([&](QWidget&) {
            pwview::HighlightsModel& model = shown->Model();
            EXPECT_EQ(model.rowCount(), 3);
            auto cell = [&](int row, int column) {
                return model.index(row, column).data().toString().toStdString();
            };
            EXPECT_EQ(cell(0, pwview::HighlightsModel::PageColumn), "1");
            EXPECT_EQ(cell(0, pwview::HighlightsModel::TextColumn), Words(10, 11));
            EXPECT_EQ(cell(0, pwview::HighlightsModel::NoteColumn), "first note");
            EXPECT_EQ(cell(1, pwview::HighlightsModel::ColourColumn), "Green");
            page = std::stoi(cell(1, pwview::HighlightsModel::PageColumn));
            EXPECT_GT(page, 1);
            fs::create_directories("artifacts");
            shown->grab().save(QStringLiteral("artifacts/wickstand-highlights-list.png"));
            QTableView* table = shown->table;
            const QModelIndex row = model.index(1, pwview::HighlightsModel::TextColumn);
            table->scrollTo(row);
            test::DoubleClick(table->viewport(), table->visualRect(row).center());
            return true;
        });
        r.frame->OnCommand(ID_HIGHLIGHTS);
        person.WaitUntilDone();
    }
    r.Paint();
    EXPECT_EQ(doc.CurrentPage + 1, page);
    EXPECT_LE(doc.PageStarts[size_t(doc.CurrentPage)], 6 * 2000);
    EXPECT_GT(doc.PageStarts[size_t(doc.CurrentPage) + 1], 6 * 2000);

    // The last row's colour from the box, the first row deleted; the notes file follows.
    {
        Person person;
        person.Then(list).Then([&](QWidget&) {
            QTableView* table = shown->table;
            table->setFocus();
            QTest::keyClick(table, Qt::Key_End, Qt::ControlModifier);
            EXPECT_EQ(shown->colour->currentText(), QStringLiteral("Pink"));
            QTest::keyClick(shown->colour, Qt::Key_Up);
            QTest::keyClick(table, Qt::Key_Home, Qt::ControlModifier);
            QTest::mouseClick(shown->remove, Qt::LeftButton);
            EXPECT_EQ(shown->Model().rowCount(), 2);
            QTest::mouseClick(
                shown->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close),
                Qt::LeftButton);
            return true;
        });
        r.frame->OnCommand(ID_HIGHLIGHTS);
        person.WaitUntilDone();
    }
    ASSERT_EQ(doc.Highlights.Size(), 2u);
    EXPECT_EQ(doc.Highlights.All()[1].colour, HighlightColour::Blue);
    const std::string saved = test::ReadFileText(r.Notes());
    EXPECT_EQ(saved.find("first note"), std::string::npos);
    EXPECT_NE(saved.find("\"blue\""), std::string::npos);

    // Export: the name offered in the documents folder, Save; the Markdown of the book.
    QString offered;
    OnNextModal<QFileDialog>([&](QDialog& d) {
        auto* name = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!name) return d.reject();
        offered = name->text();
        QTest::keyClick(name, Qt::Key_Return);
        if (d.isVisible()) d.reject();
    });
    r.frame->OnCommand(ID_EXPORT_HIGHLIGHTS);
    EXPECT_EQ(offered, QStringLiteral("Words highlights.md"));
    const fs::path exported = r.dir / "docs" / "Words highlights.md";
    ASSERT_TRUE(fs::exists(exported));
    const std::string markdown = test::ReadFileText(exported);
    EXPECT_EQ(markdown, HighlightsMarkdown(doc));
    EXPECT_NE(markdown.find(Word(2000)), std::string::npos);
    EXPECT_NE(markdown.find("middle"), std::string::npos);
}

TEST(Highlights, AHundredThousandAreListedWithoutWorkingOutEveryRow) {
    WordsReader r;
    std::vector<Highlight> many;
    for (int32_t i = 0; i < 100000; ++i)
        many.push_back({i % 20000, i % 20000 + 1 + i / 20000, HighlightColour(i % 4), "", ""});
    r.Doc().Highlights.Assign(std::move(many));
    Person person;
    person.Then([&](QWidget& window) {
        auto* dialog = qobject_cast<pwview::CHighlightsDialog*>(&window);
        if (!dialog) return false;
        EXPECT_EQ(dialog->Model().rowCount(), 100000);
        QTest::keyClick(dialog->table, Qt::Key_End, Qt::ControlModifier);
        QTest::qWait(20);
        // Only the rows shown at the top and at the end had their words read.
        EXPECT_GT(dialog->Model().TextsComputed(), 0u);
        EXPECT_LT(dialog->Model().TextsComputed(), 300u);
        dialog->reject();
        return true;
    });
    r.frame->OnCommand(ID_HIGHLIGHTS);
    person.WaitUntilDone();
}

TEST(Highlights, DeletingOrRepairingABookAsksAboutItsNotes) {
    WordsReader r;
    const LibraryEntry entry{kLibraryText, r.book, "", "Words", "My eBooks/"};
    // No notes file: nothing to ask.
    ASSERT_TRUE(r.View().DeleteOrRepair(entry, true, false));
    EXPECT_TRUE(r.questions.empty());
    r.View().OpenPath(r.book);
    r.Doc().Highlights.Add({0, 5, HighlightColour::Green, "kept", NowIso8601()});
    ASSERT_TRUE(r.Doc().SaveHighlights());

    // Repaired, answered No: the pagination file goes, the notes stay and come back.
    ASSERT_TRUE(r.View().DeleteOrRepair(entry, true, false));
    EXPECT_EQ(r.questions, std::vector<std::string>{pwview::kDeleteNotesQuestion});
    EXPECT_TRUE(fs::exists(r.Notes()));
    EXPECT_EQ(r.Doc().Highlights.Size(), 1u);

    // Deleted, answered Yes: the book and its notes go.
    r.notesAnswer = MessageAnswer::Yes;
    ASSERT_TRUE(r.View().DeleteOrRepair(entry, false, false));
    EXPECT_EQ(r.questions.size(), 2u);
    EXPECT_FALSE(fs::exists(r.book));
    EXPECT_FALSE(fs::exists(r.Notes()));
}

}  // namespace
}  // namespace wickstand
