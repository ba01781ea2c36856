// The hard-wrap rule on real wrapped texts (an etext-style book with CRLF line ends, an RFC-style
// paged text, a licence as its authors wrapped it) against poems, one-line paragraphs, a table,
// code and a text too short to tell.
#include <gtest/gtest.h>

#include <string>

#include "support/fixtures.h"
#include "typography/HardWrap.h"
#include "util/Utf8.h"

using namespace pagewick;
using pagewick::test::FixturesDir;
using pagewick::test::ReadFileText;

namespace {

std::u16string Text(const std::filesystem::path& file) {
    return Utf8ToUtf16(ReadFileText(file));
}

std::u16string WithoutCarriageReturns(std::u16string text) {
    std::erase(text, u'\r');
    return text;
}

const char16_t kPoem[] =
    u"The lamp burns low beside the door,\n"
    u"The reader turns a single page,\n"
    u"The rain is tapping on the pane,\n"
    u"The kettle sings and stops again.\n"
    u"A cat is curled upon the chair,\n"
    u"A draught is playing with her hair,\n"
    u"The clock upon the mantel shelf\n"
    u"Keeps muttering about itself.\n"
    u"The chapter ends, the night is deep,\n"
    u"The words are walking into sleep,\n"
    u"And still she reads, and still the rain\n"
    u"Keeps tapping at the window pane.\n"
    u"The coals are grey, the candle thin,\n"
    u"The story lets the morning in,\n"
    u"A blackbird on the garden wall\n"
    u"Begins the day before them all.\n"
    u"She shuts the book and lifts her head,\n"
    u"The lamp is out, the page is read,\n"
    u"The rain has gone, the street is bright,\n"
    u"And nobody has slept tonight.\n"
    u"She sets the book upon the shelf,\n"
    u"And smiles a little to herself,\n"
    u"For every page she turned that night\n"
    u"Was worth the candle and the light.\n";

// The same lines in stanzas of four.
std::u16string Stanzas(std::u16string_view poem, int lines) {
    std::u16string out;
    int n = 0;
    for (char16_t c : poem) {
        out += c;
        if (c == '\n' && ++n % lines == 0) out += u'\n';
    }
    return out;
}

// Free verse in stanzas: long lines and short ones, as the verse wants them.
const char16_t kFreeVerse[] =
    u"I walked along the river where the willows lean and whisper to the water,\n"
    u"and nobody asked me why.\n"
    u"The barges went by heavy with coal and the smell of tar and summer,\n"
    u"and a boy on the towpath waved with his whole arm\n"
    u"as if the whole day depended on it.\n"
    u"\n"
    u"At the lock the keeper was asleep in a chair tipped back against the wall,\n"
    u"his cap over his eyes,\n"
    u"a newspaper folded to the racing results on his knee,\n"
    u"and the gates held the river the way a hand holds water,\n"
    u"not for long.\n"
    u"\n"
    u"Further on the town began: the gasworks, the allotments, the chapel,\n"
    u"a dog that barked at me from behind a fence and then forgot me,\n"
    u"washing on a line,\n"
    u"the bells of the church at noon counting out a number nobody needed\n"
    u"and stopping.\n"
    u"\n"
    u"I sat on the bridge and let my feet hang over the brown slow water\n"
    u"and ate an apple,\n"
    u"and the river carried the core away toward the sea it would never reach,\n"
    u"as rivers do with everything we give them,\n"
    u"patiently, without remark.\n"
    u"\n"
    u"In the evening the light came down the valley like a tide going out,\n"
    u"and the swifts went screaming over the roofs,\n"
    u"and someone in a kitchen was singing badly and happily,\n"
    u"a song about a sailor who never came home,\n"
    u"and I walked back the way I had come.\n";

}  // namespace

TEST(HardWrapTest, WrappedTextsAreRecognisedFromTheirFirstWindows) {
    const auto dir = FixturesDir() / "text";
    struct Case {
        const char* file;
        int minWidth, maxWidth;
    } cases[] = {
        {"gutenberg-style.txt", 65, 72}, {"rfc-style.txt", 66, 72}, {"gpl2-license.txt", 70, 76}};
    for (const Case& c : cases) {
        const std::u16string text = Text(dir / c.file);
        // The whole sample, the first two 4 KB windows, and a cut in the middle of a line.
        for (size_t size : {text.size(), size_t(8192), size_t(5000)}) {
            std::u16string sample = text.substr(0, size);
            HardWrapVerdict v = JudgeHardWrap(sample);
            EXPECT_TRUE(v.wrapped)
                << c.file << " " << size << ": reason " << int(v.reason) << " width " << v.width
                << " filled " << v.filledLines << "/" << v.bodyLines;
            EXPECT_GE(v.width, c.minWidth) << c.file;
            EXPECT_LE(v.width, c.maxWidth) << c.file;
        }
    }
    // CRLF and LF read alike: the etext-style book has CRLF line ends.
    const std::u16string crlf = Text(dir / "gutenberg-style.txt");
    ASSERT_NE(crlf.find(u"\r\n"), std::u16string::npos);
    HardWrapVerdict a = JudgeHardWrap(crlf), b = JudgeHardWrap(WithoutCarriageReturns(crlf));
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.bodyLines, b.bodyLines);
    EXPECT_EQ(a.filledLines, b.filledLines);
}

TEST(HardWrapTest, PoemsOneLineParagraphsTablesAndCodeAreNotJoined) {
    // Short lines with no blank lines: one block, nothing divides it.
    EXPECT_EQ(JudgeHardWrap(std::u16string_view(kPoem)).reason, HardWrapReason::NoParagraphs);
    // The same in stanzas: paragraphs, but lines far shorter than any wrapping.
    HardWrapVerdict stanzas = JudgeHardWrap(Stanzas(kPoem, 4));
    EXPECT_EQ(stanzas.reason, HardWrapReason::Width);
    EXPECT_LT(stanzas.width, 50);
    // Long lines of verse in stanzas end where the verse ends them, not where a margin does.
    EXPECT_EQ(JudgeHardWrap(std::u16string_view(kFreeVerse)).reason, HardWrapReason::NotFilled);

    // Every paragraph one line, blank lines between (as a converter writes them), and the same
    // paragraphs with no blank lines at all.
    for (const char* book : {"lgpl21-text.txt", "gpl3-chapters.txt"}) {
        const std::u16string text = Text(FixturesDir() / "lit" / book);
        EXPECT_EQ(JudgeHardWrap(text).reason, HardWrapReason::NoParagraphs) << book;
        std::u16string packed;
        for (size_t i = 0; i < text.size(); ++i)
            if (!(text[i] == '\n' && (packed.empty() || packed.back() == '\n'))) packed += text[i];
        EXPECT_FALSE(JudgeHardWrap(packed).wrapped) << book;
    }

    // A wrapped text whose paragraphs no blank line divides past its first few: joining would
    // run them together.
    std::u16string unbroken;
    for (char16_t c : WithoutCarriageReturns(Text(FixturesDir() / "text" / "gpl2-license.txt")))
        if (!(c == '\n' && unbroken.size() > 1500 && unbroken.back() == '\n')) unbroken += c;
    HardWrapVerdict one = JudgeHardWrap(unbroken);
    EXPECT_EQ(one.reason, HardWrapReason::NoParagraphs);
    EXPECT_GE(one.paragraphs, 3u);

    // A table in blocks of rows, about as wide as wrapped text.
    std::u16string table;
    for (int block = 0; block < 5; ++block) {
        table += u"Name                    Size      Modified        Owner\n";
        for (int row = 0; row < 6; ++row)
            table += u"chapter-" + std::u16string(1, char16_t('a' + row)) + u".htm            " +
                     std::u16string(1, char16_t('1' + block)) + u"2,345    2004-03-0" +
                     std::u16string(1, char16_t('1' + row)) + u"      reader\n";
        table += u"\n";
    }
    EXPECT_EQ(JudgeHardWrap(table).reason, HardWrapReason::Tabular);

    // Code: blank lines between blocks, lines up to a limit, but nothing filled to it.
    HardWrapVerdict code = JudgeHardWrap(
        Text(std::filesystem::path(PAGEWICK_SOURCE_DIR) / "typography" / "Hyphenator.cpp"));
    EXPECT_FALSE(code.wrapped) << int(code.reason);

    // Too little to tell: a title page, or a wrapped text's first few lines.
    EXPECT_EQ(JudgeHardWrap(u"A Title\n\nby An Author\n\n").reason, HardWrapReason::TooLittle);
    const std::u16string gpl2 = Text(FixturesDir() / "text" / "gpl2-license.txt");
    size_t at = 0;
    for (int line = 0; line < 18; ++line)
        at = gpl2.find(u'\n', at) + 1;
    EXPECT_EQ(JudgeHardWrap(gpl2.substr(0, at)).reason, HardWrapReason::TooLittle);
    EXPECT_EQ(JudgeHardWrap(std::u16string_view()).reason, HardWrapReason::TooLittle);
}
