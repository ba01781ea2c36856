#include "engine/ShownText.h"

#include <algorithm>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/BookEngine.h"
#include "engine/Markup.h"
#include "util/Cp1252.h"
#include "util/LittleEndian.h"
#include "util/Utf8.h"

namespace pagewick {

namespace {

constexpr size_t kFlushAt = 64 * 1024;
constexpr size_t kMaxTag = 4096;  // a longer tag is skipped to its ">" without being acted on
// Only the beginning of a tag is kept: its name is all that is read, and no name it acts on is
// nearly this long.
constexpr size_t kTagHead = 24;

// Windows-1252 to Unicode for every byte, looked up once per character.
struct CodePageTable {
    char16_t unicode[256];
    CodePageTable() {
        for (int b = 0; b < 256; ++b)
            unicode[b] = Cp1252ToUnicode(uint8_t(b));
    }
};
const CodePageTable kCodePage;

// The codes below 256 that Char would only write, with nothing held before them but what Begin
// writes: in plain text, in preformatted markup and in other markup.
struct PlainCodes {
    bool codes[3][256];
    constexpr PlainCodes() : codes() {
        for (int c = 0; c < 256; ++c) {
            const bool written = c != '\r' && c != '\n' && c != 0xAD;
            const bool markup = written && c != '<' && c != '&' && c != 0;
            codes[0][c] = written;
            codes[1][c] = markup;
            codes[2][c] = markup && c != ' ' && c != '\t' && c != 0xA0;
        }
    }
};
constexpr PlainCodes kPlain;

// Whole blocks of printable ASCII from unit j of a window on, up to limit: the characters that
// the text loop would write one by one, found sixteen bytes at a time. '<' and '&' end a block
// (in plain text they are written too, by the loop that follows). Unless spaces are free (plain or
// preformatted text), a space is taken only alone and between two other characters of the
// stretch, which began at `start`: a block that starts with one at the stretch's start, ends with
// one or holds two side by side is left to the loop. Returns where the blocks end.
template <bool kWide>
size_t AsciiBlocks(const uint8_t* bytes, size_t j, size_t start, size_t limit, bool spacesFree) {
#if defined(__SSE2__)
    constexpr size_t kUnits = kWide ? 8 : 16;
    while (j + kUnits <= limit) {
        const __m128i v =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + (kWide ? 2 * j : j)));
        __m128i printable, bad, space;
        if constexpr (kWide) {
            // Signed comparisons: units from 0x8000 up count as negative and are not printable.
            printable = _mm_and_si128(_mm_cmpgt_epi16(v, _mm_set1_epi16(0x20)),
                                      _mm_cmplt_epi16(v, _mm_set1_epi16(0x7F)));
            bad = _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16('<')),
                               _mm_cmpeq_epi16(v, _mm_set1_epi16('&')));
            space = _mm_cmpeq_epi16(v, _mm_set1_epi16(' '));
        } else {
            printable = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(0x20)),
                                      _mm_cmplt_epi8(v, _mm_set1_epi8(0x7F)));
            bad = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('<')),
                               _mm_cmpeq_epi8(v, _mm_set1_epi8('&')));
            space = _mm_cmpeq_epi8(v, _mm_set1_epi8(' '));
        }
        const __m128i ok = _mm_or_si128(_mm_andnot_si128(bad, printable), space);
        if (_mm_movemask_epi8(ok) != 0xFFFF) break;
        if (!spacesFree) {
            // One mask bit per byte: a wide unit has two.
            constexpr unsigned kUnitBits = kWide ? 2 : 1;
            constexpr unsigned kFirst = kWide ? 0x3 : 0x1;
            constexpr unsigned kLast = kWide ? 0xC000 : 0x8000;
            const unsigned spaces = unsigned(_mm_movemask_epi8(space));
            if ((spaces & (spaces >> kUnitBits)) != 0 || (spaces & kLast) != 0 ||
                (j == start && (spaces & kFirst) != 0))
                break;
        }
        j += kUnits;
    }
#else
    (void)bytes, (void)start, (void)limit, (void)spacesFree;
#endif
    return j;
}

// Copies the ASCII units from k on, in whole blocks, up to end into `to` as bytes; returns how
// many it copied.
template <bool kWide>
size_t CopyAsciiBlocks(const uint8_t* bytes, size_t k, size_t end, char* to) {
    const size_t from = k;
#if defined(__SSE2__)
    constexpr size_t kUnits = kWide ? 8 : 16;
    while (k + kUnits <= end) {
        const __m128i v =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + (kWide ? 2 * k : k)));
        if constexpr (kWide) {
            const __m128i high = _mm_and_si128(v, _mm_set1_epi16(int16_t(0xFF80)));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) != 0xFFFF) break;
            _mm_storel_epi64(reinterpret_cast<__m128i*>(to + (k - from)), _mm_packus_epi16(v, v));
        } else {
            if (_mm_movemask_epi8(v) != 0) break;  // a byte from 0x80 up
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + (k - from)), v);
        }
        k += kUnits;
    }
#else
    (void)bytes, (void)end, (void)to;
#endif
    return k - from;
}

// What a tag's name does to the text: hide what follows up to its closing tag (the head, style
// sheets, scripts, the file-name marks), end a head left open (body), begin or end preformatted
// text, keep a table cell apart from the one before, break the line or the paragraph.
enum TagRole : unsigned {
    kHidesHead = 1,
    kHidesStyle = 2,
    kHidesScript = 4,
    kHidesMark = 8,
    kHides = 15,
    kEndsHead = 16,
    kPreformats = 32,
    kCell = 64,
    kBreaksLine = 128,
    kBreaksParagraph = 256,
};

// A name of up to eight letters as one number, so that the names acted on can be cases of one
// switch.
constexpr uint64_t NameKey(std::string_view name) {
    uint64_t key = 0;
    for (char c : name)
        key = key << 8 | uint8_t(c);
    return key;
}

unsigned RoleOf(std::string_view name) {
    if (name.size() > 8) return name == "blockquote" ? unsigned(kBreaksParagraph) : 0u;
    switch (NameKey(name)) {
        case NameKey("head"):
            return kHidesHead;
        case NameKey("style"):
            return kHidesStyle;
        case NameKey("script"):
            return kHidesScript;
        case NameKey("curfile"):
            return kHidesMark;
        case NameKey("body"):
            return kEndsHead | kBreaksParagraph;
        case NameKey("pre"):
            return kPreformats | kBreaksParagraph;
        case NameKey("td"):
        case NameKey("th"):
            return kCell;
        case NameKey("br"):
            return kBreaksLine;
        case NameKey("p"):
        case NameKey("div"):
        case NameKey("h1"):
        case NameKey("h2"):
        case NameKey("h3"):
        case NameKey("h4"):
        case NameKey("h5"):
        case NameKey("h6"):
        case NameKey("li"):
        case NameKey("ul"):
        case NameKey("ol"):
        case NameKey("dl"):
        case NameKey("dt"):
        case NameKey("dd"):
        case NameKey("table"):
        case NameKey("tr"):
        case NameKey("hr"):
        case NameKey("center"):
        case NameKey("newpage"):
        case NameKey("address"):
        case NameKey("caption"):
        case NameKey("right"):
        case NameKey("title"):
            return kBreaksParagraph;
        default:
            return 0;
    }
}

class TextWriter {
public:
    TextWriter(CBookEngine& doc, int32_t first, int32_t end, const TextSink& sink)
        : doc_(doc), sink_(sink), first_(first), end_(end) {}

    bool Run() {
        // The first window decides the width and the markup; once a page is laid out they are
        // known, and a range far into the book is not read from its beginning again.
        if (first_ == 0 || doc_.PageStarts.size() <= 1) doc_.GetChar(0);
        const uint32_t count = doc_.CharCount();
        // From the start of the laid-out page holding the range: no tag or reference is open
        // there, and the text the page carries over is read first.
        uint32_t at = 0;
        if (first_ > 0) {
            const auto& starts = doc_.PageStarts;
            const size_t page =
                size_t(std::max<ptrdiff_t>(
                    std::upper_bound(starts.begin(), starts.end(), first_) - starts.begin(), 1)) -
                1;
            at = uint32_t(std::max(starts[page], 0));
            pos_ = int32_t(at);
            if (page > 0 && page < doc_.PageCarry.size())
                for (char16_t c : doc_.PageCarry[page])
                    Char(c);
        }
        // Past the range's end only what may still belong to its last character is read: the
        // rest of a reference.
        const uint32_t stop = uint32_t(std::min<int64_t>(int64_t(end_) + 64, count));
        while (at < stop && !stopped_ && !past_) {
            const uint8_t* bytes = nullptr;
            size_t run = doc_.WindowRun(int32_t(at), bytes);
            if (run == 0) {
                uint32_t c = doc_.GetChar(int32_t(at));
                if (c == kEndOfText) break;
                // A reader that serves bytes (PAWK) gives 8-bit text in the code page.
                pos_ = int32_t(at);
                Char(doc_.Wide || c > 0xFF ? char16_t(c) : Cp1252ToUnicode(uint8_t(c)));
                ++at;
                continue;
            }
            run = std::min<size_t>(run, stop - at);
            if (doc_.Wide)
                Chars<true>(bytes, at, run);
            else
                Chars<false>(bytes, at, run);
            at += uint32_t(run);
        }
        if (state_ == State::Entity && !past_) {
            state_ = State::Text;
            Entity(std::nullopt);
        }
        if (!past_) EndHalf();
        return Flush() && !stopped_;
    }

private:
    enum class State { Text, Tag, Entity, Comment };

    template <bool kWide>
    static char16_t Unit(const uint8_t* bytes, size_t i) {
        return kWide ? char16_t(Le16At(bytes + 2 * i)) : kCodePage.unicode[bytes[i]];
    }

    // A run of characters from the windows, the first at offset at: stretches that need no
    // decision of their own (text inside the range to write as it is, text hidden up to the next
    // tag, the inside of a tag) are taken whole, every other character goes through Char.
    template <bool kWide>
    void Chars(const uint8_t* bytes, uint32_t at, size_t run) {
        const bool markup = doc_.MarkupMode;
        size_t i = 0;
        while (i < run && !past_) {
            size_t j = i;
            if (!markup || (state_ == State::Text && hidden_ == 0)) {
                // Only characters inside the range are written whole; the others go through
                // Put, which keeps the state as if they were.
                const int64_t from = int64_t(at) + int64_t(i);
                if (from >= first_ && from < end_) {
                    const size_t limit = std::min<size_t>(run, size_t(int64_t(end_) - at));
                    const bool* plain = kPlain.codes[!markup ? 0 : pre_ ? 1 : 2];
                    // Halves of a pair wait for each other.
                    auto written = [plain](char16_t c) {
                        return c < 256 ? plain[c] : c < 0xD800 || c > 0xDFFF;
                    };
                    const bool spacesFree = !markup || pre_;
                    for (bool more = true; more && j < limit;) {
                        j = AsciiBlocks<kWide>(bytes, j, i, limit, spacesFree);
                        // Where a block ended, a block's worth one at a time before the next.
                        const size_t oneByOne = std::min(limit, j + 16);
                        while (j < oneByOne) {
                            const char16_t c = Unit<kWide>(bytes, j);
                            if (written(c)) {
                                ++j;
                            } else if (c == u' ' && j > i && j + 1 < limit &&
                                       written(Unit<kWide>(bytes, j + 1))) {
                                // One space between two written characters is written as it
                                // stands: Visible would hold it back for the next one to write.
                                j += 2;
                            } else {
                                more = false;
                                break;
                            }
                        }
                    }
                    if (j > i) {
                        if (!wroteAny_) space_ = false;  // nothing before the range's first
                        Begin();
                        // ASCII straight into the text, then the rest as UTF-8.
                        const size_t held = out_.size();
                        out_.resize(held + (j - i));
                        char* to = out_.data() + held;
                        size_t k = i + CopyAsciiBlocks<kWide>(bytes, i, j, to);
                        to += k - i;
                        for (char16_t c; k < j && (c = Unit<kWide>(bytes, k)) < 0x80; ++k)
                            *to++ = char(c);
                        out_.resize(size_t(to - out_.data()));
                        for (; k < j; ++k) {
                            const char16_t c = Unit<kWide>(bytes, k);
                            if (c < 0x80)
                                out_ += char(c);
                            else
                                AppendUtf8(out_, c);
                        }
                        if (out_.size() >= kFlushAt) Flush();
                    }
                }
            } else if (state_ == State::Text) {
                // Hidden: nothing up to the next tag is written.
                while (j < run && Unit<kWide>(bytes, j) != u'<')
                    ++j;
            } else if (state_ == State::Tag) {
                // The tag up to its ">": quotes taken in and out, its beginning kept, and the
                // "!--" that makes it a comment noticed.
                for (bool inTag = true; inTag && j < run; ++j)
                    inTag = InTag(Unit<kWide>(bytes, j));
            } else if (state_ == State::Comment) {
                for (; j < run && state_ == State::Comment; ++j)
                    InComment(Unit<kWide>(bytes, j));
            }
            if (j > i) {
                i = j;
                continue;
            }
            pos_ = int32_t(at + i);
            Char(Unit<kWide>(bytes, i));
            ++i;
        }
    }

    void Char(char16_t c) {
        if (!doc_.MarkupMode) {
            if (c == u'\r') return;  // "\r\n" and "\n" both end a line
            if (c == 0xAD) return;   // a soft hyphen only marks where a word may break
            Put(c);
            return;
        }
        switch (state_) {
            case State::Text:
                if (c == u'<') {
                    state_ = State::Tag;
                    tagSize_ = 0;
                    quoted_ = false;
                    tagTooLong_ = false;
                } else if (c == u'&' && hidden_ == 0) {
                    state_ = State::Entity;
                    entity_.assign(1, c);
                } else if (hidden_ == 0) {
                    Visible(c);
                }
                return;
            case State::Entity:
                if (ContinuesReference(std::u16string_view(entity_).substr(1), c)) {
                    entity_ += c;
                    return;
                }
                state_ = State::Text;
                if (!Entity(c)) Char(c);
                return;
            case State::Comment:
                InComment(c);
                return;
            case State::Tag:
                InTag(c);
                return;
        }
    }

    // A character of a tag; false when it ended the tag (acted on then) or made it a comment.
    bool InTag(char16_t c) {
        if (c == u'"') {
            quoted_ = !quoted_;
        } else if (c == u'>' && !quoted_) {
            state_ = State::Text;
            if (!tagTooLong_) Tag();
            return false;
        }
        return TakeIntoTag(c);
    }

    // A character of a tag other than its closing ">"; false when it made the tag a comment.
    bool TakeIntoTag(char16_t c) {
        if (tagSize_ >= kMaxTag) {
            tagTooLong_ = true;
            return true;
        }
        if (tagSize_ < kTagHead) tagHead_[tagSize_] = c;
        if (++tagSize_ == 3 && tagHead_[0] == u'!' && tagHead_[1] == u'-' && tagHead_[2] == u'-') {
            state_ = State::Comment;
            tagSize_ = 0;
            dashes_ = 0;
            return false;
        }
        return true;
    }

    // "-->" ends a comment: a ">" after two dashes or more.
    void InComment(char16_t c) {
        if (c == u'>' && dashes_ >= 2) state_ = State::Text;
        dashes_ = c == u'-' ? std::min(dashes_ + 1, 2) : 0;
    }

    void Tag() {
        const size_t held = std::min(tagSize_, kTagHead);
        const bool closing = held > 0 && tagHead_[0] == u'/';
        char letters[kTagHead];
        size_t length = 0;
        size_t i = closing ? 1 : 0;
        for (; i < held; ++i) {
            char16_t c = tagHead_[i];
            if (c == u' ' || c == u'/' || c == u'\t' || c == u'\r' || c == u'\n' || c > 127) break;
            letters[length++] = char(c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c);
        }
        // A name that runs past the kept beginning is longer than any acted on.
        if (i == held && tagSize_ > kTagHead) length = 0;
        const std::string_view name(letters, length);
        const unsigned role = RoleOf(name);
        if (role & kHides) {
            hidden_ = closing ? hidden_ & ~role : hidden_ | role;
            return;
        }
        if (role & kEndsHead) hidden_ &= ~unsigned(kHidesHead);
        if (role & kPreformats) pre_ = !closing;
        // Table cells on one line keep a space between them.
        if ((role & kCell) && lineHasText_) space_ = true;
        if (hidden_ == 0 && (role & (kBreaksLine | kBreaksParagraph)))
            Break(role & kBreaksLine ? 1 : 2);
    }

    // The reference in entity_ ended by c (none at the end of the text); true when it took c.
    bool Entity(std::optional<char16_t> end) {
        std::u16string collected = entity_.substr(1);
        entity_.clear();
        ReferenceEnd r = EndReference(collected, end, doc_.Form.exactCaseMarkup);
        if (r.kind == ReferenceEnd::Kind::Nothing && collected[0] != u'#') {
            // A name that names nothing stays in the text as it was written ("&bogus;").
            Visible(u'&');
            for (char16_t c : collected)
                Visible(c);
            Visible(u';');
            return true;
        }
        if (r.kind == ReferenceEnd::Kind::Text) {
            Visible(u'&');
        } else if (r.kind == ReferenceEnd::Kind::Character) {
            Visible(r.code);
            if (r.second) Visible(r.second);
        }
        // What the reference did not take is read again ("&copy2024": the digits).
        for (size_t i = r.used; i < collected.size(); ++i)
            Char(collected[i]);
        return r.takesEnd;
    }

    // A character of the text: white space gathers into one space unless preformatted.
    void Visible(char16_t c) {
        if (pre_) {
            if (c == u'\r') return;
            if (c == u'\n') {
                Break(1);
                return;
            }
        } else if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0) {
            if (lineHasText_) space_ = true;
            return;
        }
        if (c == 0 || c == 0xAD) return;  // a soft hyphen only marks where a word may break
        Put(c);
    }

    void Text(std::string_view utf8) {
        Begin();
        out_ += utf8;
        if (out_.size() >= kFlushAt) Flush();
    }

    void Put(char16_t c) {
        // Outside the range the state goes on as if the character were written.
        if (pos_ >= end_) {
            past_ = true;
            return;
        }
        if (pos_ < first_) {
            high_ = 0;
            breaks_ = 0;
            space_ = false;
            lineHasText_ = c != u'\n';
            return;
        }
        if (!wroteAny_) space_ = false;  // nothing before the range's first character
        if (high_ && c >= 0xDC00 && c <= 0xDFFF && breaks_ == 0 && !space_) {
            // The second half of a pair: the two are one character.
            AppendUtf8(out_, 0x10000 + (uint32_t(high_ - 0xD800) << 10) + uint32_t(c - 0xDC00));
            high_ = 0;
        } else {
            Begin();
            if (c >= 0xD800 && c <= 0xDBFF)
                high_ = c;  // written with the half that follows it
            else
                AppendUtf8(out_, c);  // a lone second half is U+FFFD
        }
        if (c == u'\n') lineHasText_ = false;
        if (out_.size() >= kFlushAt) Flush();
    }

    // A first half of a pair that no second half followed is no character: U+FFFD.
    void EndHalf() {
        if (high_) AppendUtf8(out_, 0xFFFD);
        high_ = 0;
    }

    // Writes the breaks and the space held back before the next character.
    void Begin() {
        EndHalf();
        if (breaks_ > 0 && wroteAny_) {
            out_.append(size_t(breaks_), '\n');
            space_ = false;
        } else if (space_) {
            out_ += ' ';
        }
        breaks_ = 0;
        space_ = false;
        wroteAny_ = true;
        lineHasText_ = true;
    }

    void Break(int lines) {
        if (lines > breaks_) breaks_ = lines;
        // A line break on an empty line still makes a line, never more than a blank one.
        if (lines == 1 && !lineHasText_ && breaks_ < 2) breaks_ = 2;
        space_ = false;
        lineHasText_ = false;
    }

    bool Flush() {
        if (!out_.empty() && !stopped_ && !sink_(out_)) stopped_ = true;
        out_.clear();
        return !stopped_;
    }

    CBookEngine& doc_;
    const TextSink& sink_;
    std::string out_;
    State state_ = State::Text;
    std::u16string entity_;
    char16_t tagHead_[kTagHead] = {};  // the beginning of the tag being read
    size_t tagSize_ = 0;               // its length so far (at most kMaxTag)
    int dashes_ = 0;                   // dashes just read in a comment, at most two
    bool quoted_ = false, tagTooLong_ = false;
    unsigned hidden_ = 0;  // bits: head, style, script, file-name mark
    bool pre_ = false;
    int breaks_ = 0;
    bool space_ = false, lineHasText_ = false, wroteAny_ = false, stopped_ = false;
    char16_t high_ = 0;  // a first half of a pair, waiting for its second
    const int32_t first_, end_;
    int32_t pos_ = 0;    // the offset of the character being read
    bool past_ = false;  // a character at or past the range's end was met: nothing follows
};

}  // namespace

bool WriteShownText(CBookEngine& doc, int32_t first, int32_t end, const TextSink& sink) {
    if (first < 0) first = 0;
    if (end <= first) return true;
    TextWriter writer(doc, first, end, sink);
    return writer.Run();
}

}  // namespace pagewick
