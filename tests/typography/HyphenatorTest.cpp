// Hyphenation over the installed pattern dictionaries (hyphen-en-us, hyphen-de, hyphen-fr):
// every point is one libhyphen itself gives (asked directly here), the limits hold, and the
// dictionary a language tag finds.
#include <gtest/gtest.h>
#include <hyphen.h>
#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/fixtures.h"
#include "typography/Hyphenator.h"
#include "typography/LowerCase.h"
#include "util/Utf8.h"

using namespace pagewick;
using pagewick::test::FixturesDir;
using pagewick::test::ReadFileText;
using pagewick::test::TempDir;
using pagewick::test::WriteFileText;

// The oracle loads dictionaries as libhyphen reads them, and libhyphen 2.8 loses the first of two
// patterns with the same letters (the French dictionary holds 16 pairs); the Hyphenator gives
// it the patterns without them, and must lose nothing. Under the leak checker the oracle's loads
// alone are overlooked.
extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

namespace {

using Points = std::vector<uint16_t>;

Points BreaksOf(Hyphenator& h, std::u16string_view word) {
    auto span = h.Breaks(word);
    return Points(span.begin(), span.end());
}

// ISO-8859-15 for the characters it has (0 for the others): Latin-1 but for eight codes.
char Latin9(char16_t c) {
    const std::pair<char16_t, uint8_t> changed[] = {{0x20AC, 0xA4}, {0x160, 0xA6}, {0x161, 0xA8},
                                                    {0x17D, 0xB4},  {0x17E, 0xB8}, {0x152, 0xBC},
                                                    {0x153, 0xBD},  {0x178, 0xBE}};
    for (const auto& [code, byte] : changed)
        if (c == code) return char(byte);
    for (const auto& [code, byte] : changed)
        if (c == byte) return 0;
    return c < 0x100 ? char(c) : 0;
}

// libhyphen asked directly: the odd entries of hnj_hyphen_hyphenate2 for the word as the
// dictionary holds it (UTF-8, or ISO-8859-15), as split positions; breaks with a replacement
// left out.
struct Oracle {
    HyphenDict* dict;
    bool latin9;
    explicit Oracle(const std::filesystem::path& file, bool latin9 = false) : latin9(latin9) {
        if (__lsan_disable) __lsan_disable();
        dict = hnj_hyphen_load(file.c_str());
        if (__lsan_enable) __lsan_enable();
    }
    ~Oracle() {
        if (dict) hnj_hyphen_free(dict);
    }
    Points operator()(std::u16string_view lower) const {
        std::string bytes;
        for (char16_t c : lower)
            if (latin9)
                bytes += Latin9(c);
            else
                AppendUtf8(bytes, c);
        std::vector<char> hyphens(bytes.size() + 5, 0);
        char** rep = nullptr;
        int* pos = nullptr;
        int* cut = nullptr;
        hnj_hyphen_hyphenate2(dict, bytes.data(), int(bytes.size()), hyphens.data(), nullptr, &rep,
                              &pos, &cut);
        Points points;
        for (size_t i = 0; i + 1 < lower.size(); ++i)
            if ((hyphens[i] - '0') % 2 == 1 && !(rep && rep[i])) points.push_back(uint16_t(i + 1));
        if (rep) {
            for (size_t i = 0; i < bytes.size(); ++i)
                free(rep[i]);
            free(rep);
        }
        free(pos);
        free(cut);
        return points;
    }
};

const char* kEnglish = "/usr/share/hyphen/hyph_en_US.dic";
const char* kFrench = "/usr/share/hyphen/hyph_fr.dic";

}  // namespace

TEST(HyphenatorTest, EnglishWordsGetTheirPointsInAnyCaseAndPunctuation) {
    Hyphenator h;
    ASSERT_EQ(h.SetLanguage("en-US"), DictionaryStatus::Ready);
    EXPECT_EQ(h.DictionaryFile().filename(), "hyph_en_US.dic");
    EXPECT_EQ(BreaksOf(h, u"hyphenation"), (Points{2, 6}));  // hy-phen-ation
    EXPECT_EQ(BreaksOf(h, u"Hyphenation"), (Points{2, 6}));
    EXPECT_EQ(BreaksOf(h, u"HYPHENATION"), (Points{2, 6}));
    // Punctuation around the word shifts the points but is not counted in the fragments.
    EXPECT_EQ(BreaksOf(h, u"\u201Chyphenation,\u201D"), (Points{3, 7}));
    EXPECT_EQ(BreaksOf(h, u"(communication)."), (Points{4, 6, 8, 10}));  // com-mu-ni-ca-tion
    // The dictionary knows only the straight apostrophe: the typographic one reads as it.
    EXPECT_EQ(BreaksOf(h, u"everybody's"), (Points{2, 5}));
    EXPECT_EQ(BreaksOf(h, u"everybody\u2019s"), (Points{2, 5}));

    // The limits: shorter fragments go, short words get nothing.
    EXPECT_TRUE(BreaksOf(h, u"table").empty());
    h.SetLimits({.minWord = 6, .minLeft = 4, .minRight = 6});
    EXPECT_EQ(BreaksOf(h, u"representative"), (Points{5, 8}));  // rep-re-sen-ta-tive
    h.SetLimits({.minWord = 12, .minLeft = 2, .minRight = 3});
    EXPECT_TRUE(BreaksOf(h, u"hyphenation").empty());
    EXPECT_EQ(BreaksOf(h, u"representative"), (Points{3, 5, 8, 10}));
}

TEST(HyphenatorTest, GermanCompoundsAndFrenchElisionInTheirOwnEncodings) {
    Hyphenator h;
    // The German dictionary is Latin-1: the word is looked up in that encoding.
    ASSERT_EQ(h.SetLanguage("de-AT"), DictionaryStatus::Ready);
    EXPECT_EQ(BreaksOf(h, u"Donaudampfschifffahrt"), (Points{2, 5, 10, 16}));
    EXPECT_EQ(BreaksOf(h, u"Fu\u00DFballweltmeisterschaft"), (Points{3, 7, 11, 15, 18}));
    // Capital sharp s and capital umlauts are looked up as the small letters.
    EXPECT_EQ(BreaksOf(h, u"FU\u1E9EBALLWELTMEISTERSCHAFT"), (Points{3, 7, 11, 15, 18}));
    EXPECT_EQ(BreaksOf(h, u"M\u00C4DCHENSCHULE"), BreaksOf(h, u"M\u00E4dchenschule"));
    EXPECT_FALSE(BreaksOf(h, u"M\u00E4dchenschule").empty());
    // A character Latin-1 cannot hold is one the dictionary cannot know.
    EXPECT_TRUE(BreaksOf(h, u"Donaudampf\u0161chifffahrt").empty());

    ASSERT_EQ(h.SetLanguage("fr"), DictionaryStatus::Ready);
    EXPECT_EQ(BreaksOf(h, u"l'hyph\u00E9nation"), (Points{4, 7, 9}));  // l'hy-phé-na-tion
    EXPECT_EQ(BreaksOf(h, u"l\u2019hyph\u00E9nation"), (Points{4, 7, 9}));
    EXPECT_EQ(BreaksOf(h, u"L'HYPH\u00C9NATION"), (Points{4, 7, 9}));
    EXPECT_EQ(BreaksOf(h, u"d\u00E9veloppement"), (Points{2, 4, 7, 9}));  // dé-ve-lop-pe-ment
}

TEST(HyphenatorTest, WordsTheDictionaryCannotKnowGetNoPoints) {
    Hyphenator h;
    ASSERT_EQ(h.SetLanguage("en"), DictionaryStatus::Ready);
    for (std::u16string_view word :
         {u"hyphenation2024", u"2024hyphenation", u"represen7ative",
          u"hyphenation\u0441\u0432\u0435\u0442", u"\u0441\u0432\u0435\u0442hyphenation",
          u"hyphen\u00ADation", u"well-established", u"represen\u200Btative",
          u"\u0440\u0435\u043F\u0440\u0435\u0437\u0435\u043D\u0442"})
        EXPECT_TRUE(BreaksOf(h, word).empty()) << Utf16ToUtf8(word);
    // Nothing but punctuation, or too long a word, is no word.
    EXPECT_TRUE(BreaksOf(h, u"\u2014\u2014\u2014\u2014\u2014\u2014\u2014").empty());
    std::u16string longWord;
    while (longWord.size() <= Hyphenator::kMaxWord)
        longWord += u"communication";
    EXPECT_TRUE(BreaksOf(h, longWord).empty());
}

TEST(HyphenatorTest, AMissingDictionaryIsSaidOncePerLanguageAndGivesNoPoints) {
    TempDir empty;
    Hyphenator none(empty.path());
    EXPECT_EQ(none.SetLanguage("en-US"), DictionaryStatus::Missing);
    EXPECT_EQ(none.SetLanguage("en-US"), DictionaryStatus::StillMissing);
    EXPECT_EQ(none.SetLanguage("EN_us"), DictionaryStatus::StillMissing);
    EXPECT_FALSE(none.Ready());
    EXPECT_TRUE(none.DictionaryFile().empty());
    EXPECT_TRUE(BreaksOf(none, u"hyphenation").empty());

    // A file that is no dictionary counts as none.
    WriteFileText(empty / "hyph_xx.dic", "KLINGON-8\nabc\n");
    Hyphenator broken(empty.path());
    EXPECT_EQ(broken.SetLanguage("xx"), DictionaryStatus::Missing);

    // Switching to a language without one stops hyphenation; switching back resumes it.
    Hyphenator h;
    ASSERT_EQ(h.SetLanguage("en"), DictionaryStatus::Ready);
    EXPECT_EQ(h.SetLanguage("tlh"), DictionaryStatus::Missing);
    EXPECT_TRUE(BreaksOf(h, u"hyphenation").empty());
    EXPECT_EQ(h.SetLanguage("en"), DictionaryStatus::Ready);
    EXPECT_EQ(BreaksOf(h, u"hyphenation"), (Points{2, 6}));
    EXPECT_EQ(h.SetLanguage("tlh"), DictionaryStatus::StillMissing);
}

TEST(HyphenatorTest, LanguageTagsFallBackFromRegionToLanguage) {
    TempDir dir;
    for (const char* name :
         {"hyph_en_US.dic", "hyph_en_GB.dic", "hyph_de_DE.dic", "hyph_de_CH.dic", "hyph_fr.dic",
          "hyph_pt_BR.dic", "hyph_pt_PT.dic", "hyph_nb_NO.dic", "HYPH_IT_IT.DIC", "hyph_es_MX.dic",
          "hyph_es_AR.dic", "hyph_sr-Latn.dic", "hyph_sr.dic", "hyph_xx.txt"})
        WriteFileText(dir / name, "UTF-8\n");
    Hyphenator h(dir.path());
    const std::pair<const char*, const char*> table[] = {
        {"en", "hyph_en_US.dic"},
        {"en-US", "hyph_en_US.dic"},
        {"en_GB", "hyph_en_GB.dic"},
        {"EN-gb", "hyph_en_GB.dic"},
        {"en-AU", "hyph_en_US.dic"},
        {"en_US.UTF-8", "hyph_en_US.dic"},
        {"eng", "hyph_en_US.dic"},
        {"de", "hyph_de_DE.dic"},
        {"de-AT", "hyph_de_DE.dic"},
        {"de-CH", "hyph_de_CH.dic"},
        {"de_DE@euro", "hyph_de_DE.dic"},
        {"ger", "hyph_de_DE.dic"},
        {"de-Latn-CH", "hyph_de_CH.dic"},
        {"fr", "hyph_fr.dic"},
        {"fr-CA", "hyph_fr.dic"},
        {"fre", "hyph_fr.dic"},
        {"pt-BR", "hyph_pt_BR.dic"},
        {"pt", "hyph_pt_PT.dic"},
        {"pt_AO", "hyph_pt_PT.dic"},
        {"no", "hyph_nb_NO.dic"},
        {"nob", "hyph_nb_NO.dic"},
        {"it", "HYPH_IT_IT.DIC"},
        {"es", "hyph_es_AR.dic"},
        {"es-MX", "hyph_es_MX.dic"},
        {"sr-Latn-RS", "hyph_sr-Latn.dic"},
        {"sr", "hyph_sr.dic"},
        {"xx", ""},
        {"zz-ZZ", ""},
        {"e", ""},
        {"english", ""},
        {"12", ""},
        {"-", ""},
    };
    for (const auto& [tag, file] : table)
        EXPECT_EQ(h.FindDictionary(tag).filename().string(), file) << tag;

    // The empty tag is the system's language, read from the locale's variables.
    struct Environment {
        std::optional<std::string> saved[3];
        const char* names[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
        Environment() {
            for (int i = 0; i < 3; ++i) {
                if (const char* v = getenv(names[i])) saved[i] = v;
                unsetenv(names[i]);
            }
        }
        ~Environment() {
            for (int i = 0; i < 3; ++i)
                if (saved[i])
                    setenv(names[i], saved[i]->c_str(), 1);
                else
                    unsetenv(names[i]);
        }
    } environment;
    EXPECT_EQ(h.FindDictionary("").filename(), "hyph_en_US.dic");
    setenv("LANG", "pt_BR.UTF-8", 1);
    EXPECT_EQ(h.FindDictionary("").filename(), "hyph_pt_BR.dic");
    setenv("LC_MESSAGES", "de_CH.UTF-8", 1);
    EXPECT_EQ(h.FindDictionary("").filename(), "hyph_de_CH.dic");
    setenv("LC_ALL", "C.UTF-8", 1);
    EXPECT_EQ(h.FindDictionary("").filename(), "hyph_en_US.dic");
    setenv("LC_ALL", "fr_BE.UTF-8", 1);
    EXPECT_EQ(SystemLanguageTag(), "fr_BE.UTF-8");
    EXPECT_EQ(h.FindDictionary("").filename(), "hyph_fr.dic");
}

// The books' words, twice over (the second time from the recent words), against libhyphen:
// words of plain letters get exactly libhyphen's points within the limits, every other word a
// subset of them.
TEST(HyphenatorTest, EveryPointInRealTextsIsOneLibhyphenGivesWithinTheLimits) {
    locale_t utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", locale_t(0));
    ASSERT_NE(utf8, locale_t(0));
    Oracle oracle(kEnglish);
    ASSERT_NE(oracle.dict, nullptr);
    Hyphenator h;
    ASSERT_EQ(h.SetLanguage("en_US"), DictionaryStatus::Ready);

    std::vector<std::u16string> words;
    for (const char* book :
         {"bash-manual", "gpl3-chapters", "grep-manual", "lgpl21-text", "tools-pages", "almanac"}) {
        std::u16string text =
            Utf8ToUtf16(ReadFileText(FixturesDir() / "lit" / (std::string(book) + ".txt")));
        std::u16string word;
        for (char16_t c : text + u" ") {
            if (iswspace_l(c, utf8)) {
                if (!word.empty()) words.push_back(word);
                word.clear();
            } else {
                word += c;
            }
        }
    }
    ASSERT_GT(words.size(), 100000u);

    size_t points = 0, exact = 0;
    for (const HyphenationLimits limits :
         {HyphenationLimits{}, HyphenationLimits{.minWord = 4, .minLeft = 1, .minRight = 1},
          HyphenationLimits{.minWord = 8, .minLeft = 3, .minRight = 4}}) {
        h.SetLimits(limits);
        for (int pass = 0; pass < 2; ++pass) {
            for (const std::u16string& word : words) {
                // The word proper, by the C library's idea of letters and case.
                size_t begin = 0, end = word.size();
                while (begin < end && !iswalnum_l(word[begin], utf8))
                    ++begin;
                while (end > begin && !iswalnum_l(word[end - 1], utf8))
                    --end;
                std::u16string lower;
                // Plain: ASCII throughout, letters only between the punctuation.
                bool plain =
                    end - begin <= Hyphenator::kMaxWord &&
                    std::all_of(word.begin(), word.end(), [](char16_t c) { return c < 0x80; });
                for (size_t i = begin; i < end; ++i) {
                    lower += char16_t(towlower_l(word[i], utf8));
                    plain = plain && ((word[i] | 0x20) >= 'a' && (word[i] | 0x20) <= 'z');
                }
                Points expected;
                if (int(lower.size()) >= limits.minWord)
                    for (uint16_t k : oracle(lower))
                        if (k >= limits.minLeft && int(lower.size()) - k >= limits.minRight)
                            expected.push_back(uint16_t(begin + k));
                Points got = BreaksOf(h, word);
                points += got.size();
                if (plain) {
                    ++exact;
                    ASSERT_EQ(got, expected) << Utf16ToUtf8(word);
                } else {
                    for (uint16_t k : got)
                        ASSERT_NE(std::find(expected.begin(), expected.end(), k), expected.end())
                            << Utf16ToUtf8(word) << " at " << k;
                }
            }
        }
    }
    EXPECT_GT(exact, 600000u);
    EXPECT_GT(points, 200000u);
    freelocale(utf8);
}

// Words made of the French dictionary's own patterns (so that every pattern meets a word), with
// and without an ending, in the UTF-8 dictionary and in the same patterns in ISO-8859-15 (an
// 8-bit charset read through iconv; the German dictionary is Latin-1): the points are
// character positions in both.
TEST(HyphenatorTest, FrenchPatternWordsMatchLibhyphenInUtf8AndAnEightBitCharset) {
    const std::u16string text = Utf8ToUtf16(ReadFileText(kFrench));
    std::vector<std::u16string> lines;
    for (size_t at = text.find('\n') + 1; at < text.size();) {
        size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    TempDir dir;
    std::string latin9 = "ISO8859-15\n";
    for (const std::u16string& line : lines)
        if (std::all_of(line.begin(), line.end(), Latin9)) {
            for (char16_t c : line)
                latin9 += Latin9(c);
            latin9 += '\n';
        }
    WriteFileText(dir / "hyph_fr.dic", latin9);

    for (bool eightBit : {false, true}) {
        Hyphenator h(eightBit ? dir.path() : std::filesystem::path(Hyphenator::kDefaultFolder));
        h.SetLimits({.minWord = 1, .minLeft = 1, .minRight = 1});
        ASSERT_EQ(h.SetLanguage("fr"), DictionaryStatus::Ready);
        Oracle oracle(h.DictionaryFile(), eightBit);
        size_t compared = 0, points = 0;
        for (const std::u16string& line : lines) {
            std::u16string letters;
            for (size_t i = 0; i < line.size() && line[i] > ' ' && line[i] != '/'; ++i)
                if (!(line[i] >= '0' && line[i] <= '9') && line[i] != '.') letters += line[i];
            if (letters.size() < 2 || (letters[0] >= 'A' && letters[0] <= 'Z')) continue;
            for (const std::u16string& word : {letters, u"r" + letters + u"es"}) {
                auto isLetter = [](char16_t c) { return (c >= 'a' && c <= 'z') || c >= 0xC0; };
                if (!isLetter(word.front()) || !isLetter(word.back())) continue;
                if (eightBit && !std::all_of(word.begin(), word.end(), Latin9)) continue;
                Points got = BreaksOf(h, word);
                ASSERT_EQ(got, oracle(word)) << Utf16ToUtf8(word) << (eightBit ? " (8-bit)" : "");
                ++compared;
                points += got.size();
            }
        }
        EXPECT_GT(compared, 3000u);
        EXPECT_GT(points, compared / 2);
    }
    // "œ" is 0xBD in that charset, not Latin-1's "½": both dictionaries break it alike.
    Hyphenator utf8, eightBit(dir.path());
    ASSERT_EQ(utf8.SetLanguage("fr"), DictionaryStatus::Ready);
    ASSERT_EQ(eightBit.SetLanguage("fr"), DictionaryStatus::Ready);
    EXPECT_EQ(BreaksOf(eightBit, u"man\u0153uvrer"), BreaksOf(utf8, u"man\u0153uvrer"));
    EXPECT_FALSE(BreaksOf(utf8, u"man\u0153uvrer").empty());
}

// Of two patterns with the same letters libhyphen keeps the last; so does what it is given
// (blank lines and "#" lines are patterns to it as well).
TEST(HyphenatorTest, OfPatternsWithTheSameLettersTheLastCounts) {
    TempDir dir;
    WriteFileText(dir / "hyph_xx.dic",
                  "UTF-8\nLEFTHYPHENMIN 1\nRIGHTHYPHENMIN 1\n\n# a comment\na1b\na2b\n\n"
                  "# another\nc2d\nc1d\n#\n%% a real comment\nNEXTLEVEL\na2b\nc1d\n\n\n");
    Hyphenator h(dir.path());
    h.SetLimits({.minWord = 1, .minLeft = 1, .minRight = 1});
    ASSERT_EQ(h.SetLanguage("xx"), DictionaryStatus::Ready);
    Oracle oracle(dir / "hyph_xx.dic");
    for (std::u16string_view word : {u"ab", u"cd", u"abcd", u"cdab", u"acbd"})
        EXPECT_EQ(BreaksOf(h, word), oracle(word)) << Utf16ToUtf8(word);
    EXPECT_EQ(BreaksOf(h, u"abcd"), (Points{3}));
}

// A hand-made dictionary with a non-standard pattern ("ck" breaking as "k-k"): that break is
// never given, the standard ones beside it are.
TEST(HyphenatorTest, NonStandardBreaksAreLeftOut) {
    TempDir dir;
    // "ü4" only makes "ü" a letter of the dictionary.
    WriteFileText(dir / "hyph_xx.dic",
                  "UTF-8\nLEFTHYPHENMIN 1\nRIGHTHYPHENMIN 1\nc1k/k=k,1,1\n1na\n\u00FC4\n");
    Hyphenator h(dir.path());
    h.SetLimits({.minWord = 1, .minLeft = 1, .minRight = 1});
    ASSERT_EQ(h.SetLanguage("xx"), DictionaryStatus::Ready);
    EXPECT_EQ(BreaksOf(h, u"anckna"), (Points{4}));
    EXPECT_EQ(BreaksOf(h, u"\u00FCanckna"), (Points{5}));
    EXPECT_EQ(BreaksOf(h, u"\u00DCANCKNA"), (Points{5}));
    EXPECT_TRUE(BreaksOf(h, u"anck").empty());
}

// A dictionary file is loaded once for the process: a second object (and one on another
// thread) gives the very points of the first, and a file that changed is read again.
TEST(HyphenatorTest, ObjectsShareALoadedDictionaryUntilItsFileChanges) {
    TempDir dir;
    WriteFileText(dir / "hyph_xx.dic", "UTF-8\nLEFTHYPHENMIN 1\nRIGHTHYPHENMIN 1\na1b\n");
    Points first, second, onThread;
    {
        Hyphenator h(dir.path());
        h.SetLimits({.minWord = 1, .minLeft = 1, .minRight = 1});
        ASSERT_EQ(h.SetLanguage("xx"), DictionaryStatus::Ready);
        first = BreaksOf(h, u"abab");
    }
    auto other = [&](Points& into) {
        Hyphenator h(dir.path());
        h.SetLimits({.minWord = 1, .minLeft = 1, .minRight = 1});
        if (h.SetLanguage("xx") == DictionaryStatus::Ready) into = BreaksOf(h, u"abab");
    };
    std::thread thread(other, std::ref(onThread));
    other(second);
    thread.join();
    EXPECT_EQ(first, (Points{1, 3}));
    EXPECT_EQ(second, first);
    EXPECT_EQ(onThread, first);
    // New patterns (another size): the next object reads them.
    WriteFileText(dir / "hyph_xx.dic", "UTF-8\nLEFTHYPHENMIN 1\nRIGHTHYPHENMIN 1\nb1a\n");
    Hyphenator h(dir.path());
    h.SetLimits({.minWord = 1, .minLeft = 1, .minRight = 1});
    ASSERT_EQ(h.SetLanguage("xx"), DictionaryStatus::Ready);
    EXPECT_EQ(BreaksOf(h, u"abab"), (Points{2}));
}

TEST(HyphenatorTest, LowerCaseAgreesWithTheCLibrary) {
    locale_t utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", locale_t(0));
    ASSERT_NE(utf8, locale_t(0));
    const std::pair<char16_t, char16_t> ranges[] = {{0, 0x17F},     {0x1C4, 0x233},
                                                    {0x386, 0x3EF}, {0x400, 0x52F},
                                                    {0x531, 0x556}, {0x1E00, 0x1EFF}};
    for (const auto& [first, last] : ranges)
        for (char32_t c = first; c <= last; ++c)
            ASSERT_EQ(uint32_t(LowerCase(char16_t(c))), uint32_t(towlower_l(wint_t(c), utf8)))
                << std::hex << uint32_t(c);
    EXPECT_EQ(LowerCase(0x1E9E), 0xDF);
    EXPECT_EQ(LowerCase(0x130), u'i');
    EXPECT_EQ(LowerCase(0x4E00), 0x4E00);
    freelocale(utf8);
}
