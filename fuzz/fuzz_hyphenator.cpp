// Any 16-bit word, with any limits, against the installed dictionaries (English and French in
// UTF-8) and two made at start (French again in an 8-bit charset, and a small one of
// non-standard patterns, whose replacements libhyphen allocates for every word that meets
// them): every point lies inside the word, leaves the minimum fragments on both sides, comes in
// increasing order, and asking again (from the recent words) gives the same points.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "typography/Hyphenator.h"
#include "util/Utf8.h"

using namespace pagewick;

namespace {

// The French patterns in ISO-8859-1, lines that need other characters left out: the charset
// path of dictionaries that are not UTF-8, without the German one's long load.
std::filesystem::path EightBitFolder() {
    char pattern[] = "/tmp/fuzz_hyphenator.XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) std::abort();
    std::filesystem::path folder(made);
    std::ifstream in(std::string(Hyphenator::kDefaultFolder) + "/hyph_fr.dic", std::ios::binary);
    std::string utf8((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string latin1 = "ISO8859-1\n";
    for (size_t at = utf8.find('\n') + 1; at > 0 && at < utf8.size();) {
        size_t end = std::min(utf8.find('\n', at), utf8.size());
        std::string line;
        bool fits = true;
        for (char16_t c : Utf8ToUtf16(utf8.substr(at, end - at))) {
            fits = fits && c < 0x100;
            line += char(c);
        }
        if (fits) latin1 += line + "\n";
        at = end + 1;
    }
    std::ofstream(folder / "hyph_fr.dic", std::ios::binary) << latin1;
    std::ofstream(folder / "hyph_xx.dic", std::ios::binary)
        << "UTF-8\nLEFTHYPHENMIN 1\nRIGHTHYPHENMIN 1\nc1k/k=k,1,1\nf1f/ff=f,1,2\n1na\n"
           "\xC3\xBC"
           "1b\n.a1\n";
    return folder;
}

struct Dictionaries {
    Hyphenator system;
    Hyphenator eightBit{EightBitFolder()};
    Dictionaries() {
        if (system.SetLanguage("en") != DictionaryStatus::Ready ||
            system.SetLanguage("fr") != DictionaryStatus::Ready ||
            eightBit.SetLanguage("xx") != DictionaryStatus::Ready ||
            eightBit.SetLanguage("fr") != DictionaryStatus::Ready) {
            std::fprintf(stderr, "the hyphen-en-us and hyphen-fr dictionaries are needed\n");
            std::abort();
        }
        std::filesystem::remove_all(eightBit.DictionaryFile().parent_path());
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Dictionaries dictionaries;
    if (size < 3) return 0;
    Hyphenator& h = data[0] % 4 >= 2 ? dictionaries.eightBit : dictionaries.system;
    const char* languages[] = {"en", "fr", "fr", "xx"};
    h.SetLanguage(languages[data[0] % 4]);
    const HyphenationLimits limits{
        .minWord = data[1] % 16 - 1, .minLeft = data[2] % 8 - 1, .minRight = data[2] / 8 % 8 - 1};
    h.SetLimits(limits);
    std::u16string word;
    for (size_t i = 3; i + 1 < size; i += 2)
        word += char16_t(data[i] | data[i + 1] << 8);

    auto first = h.Breaks(word);
    const std::vector<uint16_t> points(first.begin(), first.end());
    const int left = std::max(limits.minLeft, 1), right = std::max(limits.minRight, 1);
    for (size_t i = 0; i < points.size(); ++i) {
        if (points[i] < left || int(word.size()) - points[i] < right) std::abort();
        if (i > 0 && points[i] <= points[i - 1]) std::abort();
    }
    if (!points.empty() && word.size() < size_t(std::max(limits.minWord, left + right)))
        std::abort();
    auto again = h.Breaks(word);
    if (!std::equal(again.begin(), again.end(), points.begin(), points.end())) std::abort();
    return 0;
}
