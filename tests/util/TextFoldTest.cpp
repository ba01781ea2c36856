// The character tables of search: Python's own answers for 2,476 characters, and the letters
// where simple folding, accents and classes are easy to get wrong.
#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

#include "util/TextFold.h"

using namespace pagewick;

namespace {

struct OracleRow {
    uint32_t character, casefold, nfdBase;
    int word, space;
};

constexpr OracleRow kOracle[] = {
#include "TextFoldOracle.inc"
};

// The letters with a stroke, which have no decomposition but lose their stroke all the same.
char16_t StrokedBase(char16_t c) {
    constexpr std::u16string_view stroked = u"ØøŁłĐÐđðĦħŦŧı", bases = u"OoLlDDddHhTti";
    const size_t at = stroked.find(c);
    return at == stroked.npos ? 0 : bases[at];
}

}  // namespace

TEST(TextFoldTest, AgreesWithPythonsCasefoldDecompositionAndCategories) {
    int folds = 0, bases = 0;
    for (const OracleRow& row : kOracle) {
        const auto c = char16_t(row.character);
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << row.character);
        if (row.casefold != 0xFFFFFFFF) {
            EXPECT_EQ(FoldCase(c), row.casefold);
            ++folds;
        }
        // Latin, Greek and Cyrillic decompose only to marks of one block, so there the base
        // letter is known both ways; elsewhere a base letter NFD gives must be the one found.
        const bool covered =
            row.character < 0x530 || (row.character >= 0x1E00 && row.character < 0x2000);
        if (covered || row.nfdBase != row.character) {
            const auto base = char16_t(row.nfdBase);
            EXPECT_EQ(StripAccent(c), StrokedBase(base) ? StrokedBase(base) : base);
            ++bases;
        }
        if (ClassOf(c) != CharClass::Ignorable) {
            EXPECT_EQ(IsWordCharacter(c), row.word == 1);
            EXPECT_EQ(ClassOf(c) == CharClass::Space, row.space == 1);
        }
    }
    EXPECT_EQ(std::size(kOracle), 2476u);
    EXPECT_EQ(folds, 2385);
    EXPECT_EQ(bases, 1846);
    EXPECT_EQ(kTextFoldUnicodeVersion, "14.0.0");
}

TEST(TextFoldTest, SimpleFoldingAccentsAndExpansionsOfTheHardLetters) {
    // Greek final sigma, Cyrillic, the Kelvin and Ohm signs, Georgian, Cherokee (whose small
    // letters fold to the capitals).
    for (char16_t c : {u'Σ', u'σ', u'ς'})
        EXPECT_EQ(FoldCase(c), u'σ');
    EXPECT_EQ(FoldCase(u'Ж'), u'ж');
    EXPECT_EQ(FoldCase(u'\u212A'), u'k');
    EXPECT_EQ(FoldCase(u'\u2126'), u'ω');
    EXPECT_EQ(FoldCase(u'\u10A0'), u'\u2D00');
    EXPECT_EQ(FoldCase(u'\uAB70'), u'\u13A0');
    // Simple folding has nothing for these: "ß" stays one letter, "ẞ" becomes it, Turkish "İ"
    // and "ı" stay themselves. Ignoring accents, both i's are "i".
    EXPECT_EQ(FoldCase(u'ß'), u'ß');
    EXPECT_EQ(FoldCase(u'ẞ'), u'ß');
    EXPECT_EQ(FoldCase(u'İ'), u'İ');
    EXPECT_EQ(FoldCase(u'ı'), u'ı');
    EXPECT_EQ(FoldCaseAndAccent(u'İ'), u'i');
    EXPECT_EQ(FoldCaseAndAccent(u'ı'), u'i');
    // A titlecase Greek letter with prosgegrammeni folds to its small letter.
    EXPECT_EQ(FoldCase(u'\u1F88'), u'\u1F80');

    // Accents: case kept alone, folded together; a stroked letter with an accent loses both;
    // Cyrillic "Ё" is "Е"; kana keep their voicing mark and Hangul syllables stay whole.
    EXPECT_EQ(StripAccent(u'É'), u'E');
    EXPECT_EQ(FoldCaseAndAccent(u'É'), u'e');
    EXPECT_EQ(FoldCaseAndAccent(u'\u01FE'), u'o');
    EXPECT_EQ(StripAccent(u'Ё'), u'Е');
    EXPECT_EQ(FoldCaseAndAccent(u'ΐ'), u'ι');
    EXPECT_EQ(StripAccent(u'が'), u'が');
    EXPECT_EQ(StripAccent(u'한'), u'한');
    EXPECT_EQ(StripAccent(u'\uFA6C'), u'\uFA6C');  // its decomposition is beyond 16 bits

    EXPECT_EQ(AccentFreeExpansion(u'ß'), u"ss");
    EXPECT_EQ(AccentFreeExpansion(u'Æ'), u"AE");
    EXPECT_EQ(AccentFreeExpansion(u'\uFB03'), u"ffi");
    EXPECT_EQ(AccentFreeExpansion(u'a'), u"");
    EXPECT_TRUE(CharProperties(u'œ') & kExpands);
    EXPECT_FALSE(CharProperties(u'o') & kExpands);

    // Classes: marks are word characters; only diacritics are dropped with accents.
    EXPECT_EQ(ClassOf(u'\u00AD'), CharClass::Ignorable);
    EXPECT_EQ(ClassOf(u'\u200D'), CharClass::Ignorable);
    EXPECT_EQ(ClassOf(u'\uFEFF'), CharClass::Ignorable);
    EXPECT_EQ(ClassOf(u'\u00A0'), CharClass::Space);
    EXPECT_EQ(ClassOf(u'\u3000'), CharClass::Space);
    EXPECT_EQ(ClassOf(u'\n'), CharClass::Space);
    EXPECT_EQ(ClassOf(u'-'), CharClass::Other);
    EXPECT_EQ(ClassOf(u'٣'), CharClass::Word);
    EXPECT_EQ(ClassOf(char16_t(0xD800)), CharClass::Other);
    EXPECT_EQ(CharProperties(u'\u0301') & (kCombiningMark | kDiacritic | kCharClassMask),
              kCombiningMark | kDiacritic | uint8_t(CharClass::Word));
    EXPECT_EQ(CharProperties(u'\u3099') & (kCombiningMark | kDiacritic), kCombiningMark);
    EXPECT_EQ(CharProperties(u'\u093F') & (kCombiningMark | kDiacritic), kCombiningMark);
}
