// Where a word may be hyphenated, from the pattern dictionaries of libhyphen (the hyph_*.dic
// files the hyphen-* packages install into /usr/share/hyphen).
//
// Choosing the dictionary for a language tag. The tag may be a language tag ("pt-BR"), a locale
// name ("pt_BR.UTF-8", "de_DE@euro") or just a language ("de"), in any case, with "-" or "_"
// between its parts; it is read as a language (two or three letters; three-letter codes that
// have a two-letter form are taken in that form: "deu" and "ger" are "de"), an optional script
// (four letters) and an optional region (two letters or three digits); anything after those is
// ignored. The files tried, in this order, are
//     hyph_LANG_Script_REGION, hyph_LANG_REGION, hyph_LANG_Script, hyph_LANG,
//     hyph_LANG_MAIN (the language's main region: en_US, de_DE, fr_FR, pt_PT, sv_SE, ...),
//     the first hyph_LANG_*.dic of the folder in name order,
// and for Norwegian ("no") the same again with "nb". File names are compared without case and
// with "-" and "_" alike. The empty tag stands for the system's language: LC_ALL, else
// LC_MESSAGES, else LANG; "C", "POSIX" or nothing at all mean English.
//
// Break points. For a word of Unicode characters (8-bit text in the code page is converted
// first), Breaks gives each point k at which the word may be split as word[0, k) + hyphen and
// word[k, end). Punctuation around the word (quotes, brackets, full stops, dashes, spaces) is
// not part of it: the word proper starts at its first and ends at its last other character, and
// the limits count its characters only. A word proper shorter than the minimum word length, or
// holding a character the dictionary's patterns never use (a digit, a letter of another script,
// a soft hyphen; an inner hyphen too, unless the patterns use it as the French ones do: a
// compound written with one is then for the caller to split), gets no points. Words longer than
// kMaxWord characters get none either. A point is kept only with at least minLeft characters before
// it and minRight after it. Upper case is looked up as lower case, and a typographic apostrophe as
// the straight one when the dictionary knows only that (and the other way round).
//
// Non-standard breaks (patterns with a replacement, such as old German "ck" that breaks as
// "k-k"): they are ignored, always: a point libhyphen gives with a replacement is not given,
// since breaking there without the replacement would misspell the word. Every point given is
// therefore one libhyphen itself gives for the word.
//
// A missing dictionary is a result (DictionaryStatus), never a message: this layer shows
// nothing. A dictionary file is loaded once for the life of the process and shared by every
// object (read again only when the file changed); the points of recent words are kept per
// object and dictionary, so a word seen before costs a hash and a comparison, with no call into
// libhyphen and no allocation. Not thread-safe: one object per thread (the shared patterns are
// only read, under a lock while they load).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pagewick {

struct HyphenationLimits {
    int minWord = 6;   // characters a word needs before it is hyphenated at all
    int minLeft = 2;   // characters before a break
    int minRight = 3;  // characters after a break
};

enum class DictionaryStatus : uint8_t {
    Ready,         // a dictionary is loaded for the language
    Missing,       // none is installed (or it cannot be read): the first answer for this tag
    StillMissing,  // the same, for a tag that was answered Missing before
};

// The system's language as a tag (the locale name), or "en" when it names none.
std::string SystemLanguageTag();

class Hyphenator {
public:
    static constexpr const char* kDefaultFolder = "/usr/share/hyphen";
    static constexpr size_t kMaxWord = 64;

    explicit Hyphenator(std::filesystem::path folder = kDefaultFolder);
    ~Hyphenator();
    Hyphenator(const Hyphenator&) = delete;
    Hyphenator& operator=(const Hyphenator&) = delete;

    // Chooses the dictionary for the following words; "" for the system's language. Without
    // one, Breaks gives nothing until a language with a dictionary is chosen.
    DictionaryStatus SetLanguage(std::string_view tag);
    bool Ready() const { return current_ != nullptr; }
    // The file chosen by the last SetLanguage, empty when there was none.
    const std::filesystem::path& DictionaryFile() const { return currentFile_; }

    // The dictionary file a tag resolves to in this object's folder (empty when none), without
    // loading it.
    std::filesystem::path FindDictionary(std::string_view tag) const;

    void SetLimits(const HyphenationLimits& limits) { limits_ = limits; }
    const HyphenationLimits& Limits() const { return limits_; }

    // The break points of one word, in increasing order; valid until the next call.
    std::span<const uint16_t> Breaks(std::u16string_view word);

private:
    struct Dictionary;
    Dictionary* Load(const std::filesystem::path& file);
    const std::map<std::string, std::filesystem::path>& Listing() const;

    std::filesystem::path folder_;
    HyphenationLimits limits_;
    // Lower-case file names of the folder ("-" as "_"), read once.
    mutable std::map<std::string, std::filesystem::path> listing_;
    mutable bool listed_ = false;
    // Every dictionary loaded, by its real path (several tags may name one file); null for one
    // that failed to load.
    std::map<std::filesystem::path, std::unique_ptr<Dictionary>> dictionaries_;
    // What each tag asked for resolved to.
    struct Choice {
        Dictionary* dictionary = nullptr;
        std::filesystem::path file;
    };
    std::map<std::string, Choice> choices_;
    Dictionary* current_ = nullptr;
    std::filesystem::path currentFile_;
    uint16_t points_[kMaxWord];
};

}  // namespace pagewick
