#include "typography/Hyphenator.h"

#include <hyphen.h>
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <unordered_map>

#include "typography/LowerCase.h"
#include "util/AsciiCase.h"
#include "util/Utf8.h"

namespace pagewick {

namespace {

// Recent words kept per dictionary, in pairs chosen by a hash of the lower-case word; a word
// that is not there takes the pair's first place and moves the other to the second, so a pair
// keeps the two last words met. Words up to kCachedChars characters are kept (nearly every word
// of a book); longer ones ask libhyphen every time. An entry is 64 bytes, the table 1 MB: a
// book's vocabulary of long words (some ten thousand) stays in it.
constexpr size_t kCachedChars = 27;
constexpr size_t kCachePairs = 8192;

// The bytes a word takes in the dictionary's encoding: at most three per 16-bit character.
constexpr size_t kMaxWordBytes = Hyphenator::kMaxWord * 3;

constexpr bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Characters that surround a word without being part of it.
constexpr bool IsEdgePunctuation(char16_t c) {
    if (c < 0x80)
        return !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
    if (c <= 0xBF) return true;  // C1 controls, no-break space, Latin-1 punctuation and signs
    if (c == 0xD7 || c == 0xF7) return true;
    return (c >= 0x2000 && c <= 0x206F) || (c >= 0x2E00 && c <= 0x2E7F) ||
           (c >= 0x3000 && c <= 0x303F) || c == 0xFEFF;
}

// ---- Language tags ------------------------------------------------------------------------

struct LanguageParts {
    std::string language;  // lower case
    std::string script;    // title case
    std::string region;    // upper case
};

// Three-letter codes (both the bibliographic and the terminology forms) of the languages that
// have a two-letter code, for the languages pattern dictionaries exist for.
constexpr std::pair<const char*, const char*> kThreeLetterCodes[] = {
    {"afr", "af"}, {"alb", "sq"}, {"asm", "as"}, {"baq", "eu"}, {"bel", "be"}, {"ben", "bn"},
    {"bul", "bg"}, {"cat", "ca"}, {"ces", "cs"}, {"cym", "cy"}, {"cze", "cs"}, {"dan", "da"},
    {"deu", "de"}, {"dut", "nl"}, {"ell", "el"}, {"eng", "en"}, {"epo", "eo"}, {"est", "et"},
    {"eus", "eu"}, {"fin", "fi"}, {"fra", "fr"}, {"fre", "fr"}, {"ger", "de"}, {"gle", "ga"},
    {"glg", "gl"}, {"gre", "el"}, {"guj", "gu"}, {"hin", "hi"}, {"hrv", "hr"}, {"hun", "hu"},
    {"ice", "is"}, {"ind", "id"}, {"isl", "is"}, {"ita", "it"}, {"kan", "kn"}, {"lat", "la"},
    {"lav", "lv"}, {"lit", "lt"}, {"mal", "ml"}, {"mar", "mr"}, {"mon", "mn"}, {"nld", "nl"},
    {"nno", "nn"}, {"nob", "nb"}, {"nor", "no"}, {"ori", "or"}, {"pan", "pa"}, {"pol", "pl"},
    {"por", "pt"}, {"ron", "ro"}, {"rum", "ro"}, {"rus", "ru"}, {"slk", "sk"}, {"slo", "sk"},
    {"slv", "sl"}, {"spa", "es"}, {"sqi", "sq"}, {"srp", "sr"}, {"swe", "sv"}, {"tam", "ta"},
    {"tel", "te"}, {"tha", "th"}, {"tur", "tr"}, {"ukr", "uk"}, {"wel", "cy"}, {"zul", "zu"},
};

// The region a language's dictionary is usually named with, where it is not the language's own
// code in upper case (de_DE, fr_FR, it_IT, ... need no entry).
constexpr std::pair<const char*, const char*> kMainRegions[] = {
    {"af", "ZA"}, {"as", "IN"}, {"be", "BY"}, {"bn", "IN"}, {"ca", "ES"}, {"cs", "CZ"},
    {"cy", "GB"}, {"da", "DK"}, {"el", "GR"}, {"en", "US"}, {"et", "EE"}, {"eu", "ES"},
    {"ga", "IE"}, {"gl", "ES"}, {"gu", "IN"}, {"hi", "IN"}, {"kn", "IN"}, {"ml", "IN"},
    {"mr", "IN"}, {"nb", "NO"}, {"nn", "NO"}, {"or", "IN"}, {"pa", "IN"}, {"sl", "SI"},
    {"sq", "AL"}, {"sv", "SE"}, {"ta", "IN"}, {"te", "IN"}, {"uk", "UA"}, {"zu", "ZA"},
};

bool ParseLanguageTag(std::string_view tag, LanguageParts& out) {
    // A locale name's encoding and modifier say nothing about the language.
    tag = tag.substr(0, std::min(tag.find('.'), tag.find('@')));
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i <= tag.size(); ++i) {
        if (i == tag.size() || tag[i] == '-' || tag[i] == '_') {
            parts.push_back(part);
            part.clear();
        } else {
            part += tag[i];
        }
    }
    const std::string& language = parts[0];
    if (language.size() < 2 || language.size() > 3 ||
        !std::all_of(language.begin(), language.end(), IsAsciiLetter))
        return false;
    out = {};
    out.language = LowerAscii(language);
    if (out.language.size() == 3) {
        for (const auto& [three, two] : kThreeLetterCodes)
            if (out.language == three) out.language = two;
    }
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string& p = parts[i];
        if (p.size() == 1) break;  // an extension ("x-...", "u-...") ends what is read
        bool letters = std::all_of(p.begin(), p.end(), IsAsciiLetter);
        bool digits = std::all_of(p.begin(), p.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (p.size() == 4 && letters && out.script.empty() && out.region.empty()) {
            out.script = LowerAscii(p);
            out.script[0] = char(out.script[0] - 'a' + 'A');
        } else if (((p.size() == 2 && letters) || (p.size() == 3 && digits)) &&
                   out.region.empty()) {
            out.region = p;
            for (char& c : out.region)
                if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        }
    }
    return true;
}

// The listing's key for a file name: lower case, "-" as "_".
std::string ListingKey(std::string name) {
    for (char& c : name)
        c = c == '-' ? '_' : LowerAscii(c);
    return name;
}

std::string MainRegion(const std::string& language) {
    for (const auto& [lang, region] : kMainRegions)
        if (language == lang) return region;
    std::string own = language;
    for (char& c : own)
        c = char(c - 'a' + 'A');
    return own;
}

// ---- Dictionary files ---------------------------------------------------------------------

bool ReadWholeFile(const std::filesystem::path& file, std::string& bytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The characters of an 8-bit charset (0 where a byte stands for none). Latin-1 is the bytes
// themselves; the others are asked of iconv once.
bool EightBitTable(std::string charset, std::array<char16_t, 256>& table) {
    for (int b = 0; b < 128; ++b)
        table[b] = char16_t(b);
    std::string key = LowerAscii(charset);
    if (key == "iso8859-1" || key == "iso-8859-1" || key == "latin1") {
        for (int b = 128; b < 256; ++b)
            table[b] = char16_t(b);
        return true;
    }
    // "microsoft-cp1251" is iconv's "CP1251".
    if (key.rfind("microsoft-", 0) == 0) charset = charset.substr(10);
    iconv_t cd = iconv_open("UTF-16LE", charset.c_str());
    if (cd == iconv_t(-1) && key.rfind("iso8859-", 0) == 0)
        cd = iconv_open("UTF-16LE", ("ISO-" + charset.substr(3)).c_str());
    if (cd == iconv_t(-1)) return false;
    for (int b = 128; b < 256; ++b) {
        char in = char(b);
        unsigned char out[8];
        char* inPtr = &in;
        char* outPtr = reinterpret_cast<char*>(out);
        size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        table[b] = done != size_t(-1) && sizeof out - outLeft == 2 ? char16_t(out[0] | out[1] << 8)
                                                                   : char16_t(0);
    }
    iconv_close(cd);
    return true;
}

// The dictionary as libhyphen is given it. Of two patterns with the same letters in one level,
// libhyphen keeps the last and loses the memory of the first (hyph_de_DE.dic holds hundreds of
// such pairs, hyph_fr.dic 16): the first ones are left out here, which gives libhyphen the very
// patterns it would have kept. To libhyphen every line but the charset, "%" comments and its
// keywords is a pattern, blank lines and "#" lines too, and a pattern's letters are its bytes
// up to white space or a "/", less the digits.
std::string WithoutOverriddenPatterns(const std::string& text) {
    static constexpr std::string_view kKeywords[] = {
        "LEFTHYPHENMIN",          "RIGHTHYPHENMIN", "COMPOUNDLEFTHYPHENMIN",
        "COMPOUNDRIGHTHYPHENMIN", "NOHYPHEN",       "NEXTLEVEL"};
    struct Line {
        size_t begin, end;  // with its line feed
        std::string key;    // level and letters of a pattern; empty for any other line
    };
    std::vector<Line> lines;
    int level = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        Line line{at, end, {}};
        const std::string_view content(text.data() + at, end - at);
        const bool keyword =
            std::any_of(std::begin(kKeywords), std::end(kKeywords),
                        [&](std::string_view k) { return content.starts_with(k); });
        if (keyword) {
            if (content.starts_with("NEXTLEVEL")) ++level;
        } else if (at > 0 && !content.starts_with('%')) {
            line.key = std::to_string(level) + ':';
            for (char c : content) {
                if (c == '/' || uint8_t(c) <= ' ') break;
                if (!(c >= '0' && c <= '9')) line.key += c;
            }
        }
        lines.push_back(std::move(line));
        at = end;
    }
    std::unordered_map<std::string_view, size_t> last;
    for (size_t i = 0; i < lines.size(); ++i)
        if (!lines[i].key.empty()) last[lines[i].key] = i;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].key.empty() || last[lines[i].key] == i)
            out.append(text, lines[i].begin, lines[i].end - lines[i].begin);
    return out;
}

// A dictionary's patterns as libhyphen holds them, with what is known of their characters.
// Once loaded they are never changed, so the objects of every thread share them: libhyphen only
// reads a dictionary while it hyphenates.
struct Patterns {
    HyphenDict* dict = nullptr;
    bool utf8 = true;
    // The characters the patterns use, one bit each.
    std::vector<uint64_t> known = std::vector<uint64_t>(65536 / 64, 0);
    // 8-bit dictionaries: each known character's byte.
    std::vector<uint8_t> bytes;
    // What an apostrophe the patterns do not use is looked up as: the one they use (0: neither).
    char16_t apostrophe = 0;

    Patterns() = default;
    Patterns(const Patterns&) = delete;
    Patterns& operator=(const Patterns&) = delete;
    ~Patterns() {
        if (dict) hnj_hyphen_free(dict);
    }
    bool Knows(char16_t c) const { return known[c >> 6] >> (c & 63) & 1; }
    void Learn(char16_t c) { known[c >> 6] |= uint64_t(1) << (c & 63); }

    // The points libhyphen gives for a lower-case word of known characters.
    uint64_t Lookup(const char16_t* word, size_t length) const {
        char text[kMaxWordBytes + 1];
        size_t n = 0;
        for (size_t i = 0; i < length; ++i) {
            char16_t c = word[i];
            if (!utf8) {
                text[n++] = char(bytes[c]);
            } else if (c < 0x80) {
                text[n++] = char(c);
            } else if (c < 0x800) {
                text[n++] = char(0xC0 | c >> 6);
                text[n++] = char(0x80 | (c & 63));
            } else {
                text[n++] = char(0xE0 | c >> 12);
                text[n++] = char(0x80 | (c >> 6 & 63));
                text[n++] = char(0x80 | (c & 63));
            }
        }
        text[n] = 0;
        char hyphens[kMaxWordBytes + 5] = {};
        char** rep = nullptr;
        int* pos = nullptr;
        int* cut = nullptr;
        hnj_hyphen_hyphenate2(dict, text, int(n), hyphens, nullptr, &rep, &pos, &cut);
        // For a UTF-8 dictionary libhyphen gives one entry per character, not per byte (and
        // moves the replacements along with them), so the entries are character positions in
        // either encoding. An odd entry at i is a break after character i.
        uint64_t points = 0;
        for (size_t i = 0; i + 1 < length; ++i)
            if ((hyphens[i] - '0') & 1 && !(rep && rep[i])) points |= uint64_t(1) << (i + 1);
        if (rep) {
            for (size_t i = 0; i < n; ++i)
                std::free(rep[i]);
            std::free(rep);
        }
        std::free(pos);
        std::free(cut);
        return points;
    }
};

// Reads and prepares one dictionary file; null when it cannot be read or libhyphen refuses it.
std::shared_ptr<const Patterns> ReadPatterns(const std::filesystem::path& real) {
    std::string text;
    if (!ReadWholeFile(real, text)) return nullptr;
    size_t lineEnd = text.find('\n');
    std::string charset = text.substr(0, lineEnd);
    while (!charset.empty() && (charset.back() == '\r' || charset.back() == ' '))
        charset.pop_back();
    auto d = std::make_shared<Patterns>();
    std::array<char16_t, 256> table{};
    d->utf8 = EqualIgnoringAsciiCase(charset, "UTF-8");
    if (!d->utf8) {
        if (!EightBitTable(charset, table)) return nullptr;
        d->bytes.assign(65536, 0);
        for (int b = 1; b < 256; ++b)
            if (table[b]) d->bytes[table[b]] = uint8_t(b);
    }

    // The characters of the patterns: every line but comments and keyword lines (which begin
    // with a capital: LEFTHYPHENMIN, NOHYPHEN, NEXTLEVEL, ...), up to a non-standard pattern's
    // "/", without the digits and the word-edge dots.
    size_t at = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const auto* line = reinterpret_cast<const uint8_t*>(text.data() + at);
        size_t length = end - at;
        at = end + 1;
        if (length == 0 || line[0] == '%' || line[0] == '#' || (line[0] >= 'A' && line[0] <= 'Z'))
            continue;
        for (size_t i = 0; i < length;) {
            uint8_t b = line[i];
            if (b == '/' || b == ' ' || b == '\t' || b == '\r') break;
            char16_t c;
            if (d->utf8) {
                i += DecodeUtf8Character(line + i, length - i, true, c);
            } else {
                c = table[b];
                ++i;
            }
            if (c && c != '.' && !(c >= '0' && c <= '9') && c != kReplacementCharacter) d->Learn(c);
        }
    }
    if (d->Knows('\'')) d->apostrophe = '\'';
    if (d->Knows(0x2019)) d->apostrophe = 0x2019;

    std::string patterns = WithoutOverriddenPatterns(text);
    std::FILE* stream = fmemopen(patterns.data(), patterns.size(), "r");
    if (!stream) return nullptr;
    d->dict = hnj_hyphen_load_file(stream);
    std::fclose(stream);
    // libhyphen reads the charset line in its own way; a dictionary it takes for the other
    // encoding than this reading did would give points at the wrong places.
    if (!d->dict || (d->dict->utf8 != 0) != d->utf8) return nullptr;
    return d;
}

// The dictionaries this process has loaded, by real path, kept for its life: every book that
// opens makes its own Hyphenator, and loading the patterns (tens of milliseconds for the larger
// ones) once per book would be paid at every open. A file that changed since (its size or time)
// is read again. A handful of dictionaries at most: one per language a book asked for.
std::shared_ptr<const Patterns> SharedPatterns(const std::filesystem::path& real) {
    struct Loaded {
        std::filesystem::file_time_type time;
        uintmax_t size = 0;
        std::shared_ptr<const Patterns> patterns;
    };
    static std::mutex guard;
    static std::map<std::filesystem::path, Loaded> loaded;
    std::error_code timeError, sizeError;
    const auto time = std::filesystem::last_write_time(real, timeError);
    const uintmax_t size = std::filesystem::file_size(real, sizeError);
    const bool known = !timeError && !sizeError;
    std::lock_guard<std::mutex> lock(guard);
    if (known) {
        auto it = loaded.find(real);
        if (it != loaded.end() && it->second.time == time && it->second.size == size)
            return it->second.patterns;
    }
    std::shared_ptr<const Patterns> patterns = ReadPatterns(real);
    if (patterns && known) loaded[real] = Loaded{time, size, patterns};
    return patterns;
}

}  // namespace

// A dictionary as one object uses it: the shared patterns and this object's recent words.
struct Hyphenator::Dictionary {
    std::shared_ptr<const Patterns> patterns;

    struct CacheEntry {
        uint64_t points;  // bit k: libhyphen breaks the word at k
        uint16_t length;  // 0: empty
        char16_t key[kCachedChars];
    };
    std::vector<CacheEntry> cache = std::vector<CacheEntry>(2 * kCachePairs, CacheEntry{});

    bool Knows(char16_t c) const { return patterns->Knows(c); }
    uint64_t Lookup(const char16_t* word, size_t length) const {
        return patterns->Lookup(word, length);
    }
};

std::string SystemLanguageTag() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        std::string_view v(value);
        if (v == "C" || v == "POSIX" || v.rfind("C.", 0) == 0) return "en";
        return std::string(v);
    }
    return "en";
}

Hyphenator::Hyphenator(std::filesystem::path folder) : folder_(std::move(folder)) {}

Hyphenator::~Hyphenator() = default;

const std::map<std::string, std::filesystem::path>& Hyphenator::Listing() const {
    if (!listed_) {
        listed_ = true;
        std::error_code ec;
        for (std::filesystem::directory_iterator it(folder_, ec), end; !ec && it != end;
             it.increment(ec)) {
            std::string name = it->path().filename().string();
            std::string key = ListingKey(name);
            if (key.rfind("hyph_", 0) == 0 && key.size() > 9 &&
                key.compare(key.size() - 4, 4, ".dic") == 0)
                listing_.emplace(key, it->path());
        }
    }
    return listing_;
}

std::filesystem::path Hyphenator::FindDictionary(std::string_view tag) const {
    std::string asked = tag.empty() ? SystemLanguageTag() : std::string(tag);
    LanguageParts parts;
    if (!ParseLanguageTag(asked, parts)) return {};
    const auto& listing = Listing();
    auto find = [&](const std::string& stem) -> std::filesystem::path {
        auto it = listing.find(ListingKey("hyph_" + stem + ".dic"));
        return it == listing.end() ? std::filesystem::path() : it->second;
    };
    std::vector<std::string> languages = {parts.language};
    if (parts.language == "no") languages.push_back("nb");
    for (const std::string& lang : languages) {
        std::vector<std::string> stems;
        if (!parts.script.empty() && !parts.region.empty())
            stems.push_back(lang + "_" + parts.script + "_" + parts.region);
        if (!parts.region.empty()) stems.push_back(lang + "_" + parts.region);
        if (!parts.script.empty()) stems.push_back(lang + "_" + parts.script);
        stems.push_back(lang);
        stems.push_back(lang + "_" + MainRegion(lang));
        for (const std::string& stem : stems)
            if (auto file = find(stem); !file.empty()) return file;
        // Any region of the language: the listing is in name order.
        std::string prefix = "hyph_" + lang + "_";
        auto it = listing.lower_bound(prefix);
        if (it != listing.end() && it->first.rfind(prefix, 0) == 0) return it->second;
    }
    return {};
}

Hyphenator::Dictionary* Hyphenator::Load(const std::filesystem::path& file) {
    std::error_code ec;
    std::filesystem::path real = std::filesystem::weakly_canonical(file, ec);
    if (ec) real = file;
    auto found = dictionaries_.find(real);
    if (found != dictionaries_.end()) return found->second.get();
    auto& slot = dictionaries_[real];
    std::shared_ptr<const Patterns> patterns = SharedPatterns(real);
    if (!patterns) return nullptr;
    slot = std::make_unique<Dictionary>();
    slot->patterns = std::move(patterns);
    return slot.get();
}

DictionaryStatus Hyphenator::SetLanguage(std::string_view tag) {
    std::string asked = tag.empty() ? SystemLanguageTag() : std::string(tag);
    auto [it, fresh] = choices_.try_emplace(ListingKey(asked));
    Choice& choice = it->second;
    if (fresh) {
        choice.file = FindDictionary(asked);
        if (!choice.file.empty()) choice.dictionary = Load(choice.file);
        if (!choice.dictionary) choice.file.clear();
    }
    current_ = choice.dictionary;
    currentFile_ = choice.file;
    if (current_) return DictionaryStatus::Ready;
    return fresh ? DictionaryStatus::Missing : DictionaryStatus::StillMissing;
}

std::span<const uint16_t> Hyphenator::Breaks(std::u16string_view word) {
    Dictionary* d = current_;
    if (!d) return {};
    size_t begin = 0, end = word.size();
    while (begin < end && IsEdgePunctuation(word[begin]))
        ++begin;
    while (end > begin && IsEdgePunctuation(word[end - 1]))
        --end;
    const size_t length = end - begin;
    const size_t minLeft = size_t(std::max(limits_.minLeft, 1));
    const size_t minRight = size_t(std::max(limits_.minRight, 1));
    if (length < size_t(std::max(limits_.minWord, 0)) || length > kMaxWord ||
        length < minLeft + minRight)
        return {};

    char16_t key[kMaxWord];
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < length; ++i) {
        char16_t c = word[begin + i];
        c = c < 0x80 ? (c >= 'A' && c <= 'Z' ? char16_t(c + 32) : c) : LowerCase(c);
        if ((c == '\'' || c == 0x2019) && !d->Knows(c)) c = d->patterns->apostrophe;
        // Digits, and letters of scripts the patterns do not cover, are never known.
        if (!d->Knows(c)) return {};
        key[i] = c;
        hash = (hash ^ c) * 16777619u;
    }
    uint64_t points;
    if (length <= kCachedChars) {
        auto* pair = &d->cache[2 * ((hash ^ hash >> 15) & (kCachePairs - 1))];
        auto same = [&](const Dictionary::CacheEntry& e) {
            return e.length == length && std::memcmp(e.key, key, length * sizeof(char16_t)) == 0;
        };
        if (same(pair[0])) {
            points = pair[0].points;
        } else if (same(pair[1])) {
            points = pair[1].points;
            std::swap(pair[0], pair[1]);
        } else {
            points = d->Lookup(key, length);
            pair[1] = pair[0];
            pair[0].points = points;
            pair[0].length = uint16_t(length);
            std::memcpy(pair[0].key, key, length * sizeof(char16_t));
        }
    } else {
        points = d->Lookup(key, length);
    }

    size_t count = 0;
    for (size_t k = minLeft; k + minRight <= length; ++k)
        if (points >> k & 1) points_[count++] = uint16_t(begin + k);
    return {points_, count};
}

}  // namespace pagewick
