#include "formats/lit/LitBinary.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <memory>
#include <string_view>

#include "formats/lit/LitTags.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pagewick {
namespace {

using lit_tags::LitAttribute;
using lit_tags::LitTag;

constexpr uint32_t kCustomCode = 0x8000;   // a named tag or attribute follows
constexpr uint32_t kNumberValue = 0xffff;  // the value is a number, not text
constexpr uint32_t kFlagStart = 1;         // an element starts here
constexpr uint32_t kFlagNoChildren = 2;    // ... without children; alone: the children end here
constexpr uint32_t kFlagLineFeed = 4;      // HTML: a line feed follows the element's tags
constexpr size_t kFlushAt = 8192;          // pieces handed to the sink are about this long

// What a byte of the compiled stream is to the runs that are copied as they are.
constexpr uint8_t kTextRun = 1;       // printable ASCII written as it is in text (not the space,
                                      // '&', '<' or '>')
constexpr uint8_t kHtmlPlain = 2;     // ASCII an HTML value writes as it is: all but '&', '<', '>'
constexpr uint8_t kPackagePlain = 4;  // ASCII a package value writes as it is: all but '&'
constexpr uint8_t kTextOrSpace = 8;   // kTextRun and the space

constexpr std::array<uint8_t, 256> kByteClass = [] {
    std::array<uint8_t, 256> classes{};
    for (unsigned b = 0; b < 0x80; ++b) {
        const bool special = b == '&' || b == '<' || b == '>';
        if (b > ' ' && b < 0x7F && !special) classes[b] |= kTextRun | kTextOrSpace;
        if (b == ' ') classes[b] |= kTextOrSpace;
        if (!special) classes[b] |= kHtmlPlain;
        if (b != '&') classes[b] |= kPackagePlain;
    }
    return classes;
}();

// How many of the `most` bytes from p on are of the class: four at a time, then one by one.
size_t ClassRun(const uint8_t* p, size_t most, uint8_t cls) {
    size_t k = 0;
    while (k + 4 <= most && (kByteClass[p[k]] & kByteClass[p[k + 1]] & kByteClass[p[k + 2]] &
                             kByteClass[p[k + 3]] & cls))
        k += 4;
    while (k < most && (kByteClass[p[k]] & cls))
        ++k;
    return k;
}

// How many of the `most` bytes from p on are of the class (kTextOrSpace, kHtmlPlain or
// kPackagePlain), where `avail` bytes (at least `most`) may be read: sixteen at a time where the
// machine allows, so that a short run past which the input goes on is one block.
template <uint8_t Class>
size_t RunOf(const uint8_t* p, size_t most, size_t avail) {
    size_t k = 0;
#if defined(__SSE2__)
    for (; k + 16 <= avail; k += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
        __m128i ends = _mm_cmpeq_epi8(v, _mm_set1_epi8('&'));
        if constexpr (Class != kPackagePlain) {
            ends = _mm_or_si128(ends, _mm_cmpeq_epi8(v, _mm_set1_epi8('<')));
            ends = _mm_or_si128(ends, _mm_cmpeq_epi8(v, _mm_set1_epi8('>')));
        }
        if constexpr (Class == kTextOrSpace) {
            // Compared as signed bytes, those from 0x80 on are below the space too.
            ends = _mm_or_si128(ends, _mm_cmplt_epi8(v, _mm_set1_epi8(' ')));
            ends = _mm_or_si128(ends, _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)));
        }
        unsigned stop = unsigned(_mm_movemask_epi8(ends));
        if constexpr (Class != kTextOrSpace) stop |= unsigned(_mm_movemask_epi8(v));
        if (most - k < 16) stop |= ~0u << (most - k);  // the bytes past `most` end it too
        if (stop != 0) return k + size_t(std::countr_zero(stop));
    }
#endif
    return k + ClassRun(p + k, most - k, Class);
}

// The markup collected for the sink. Writing a byte is a compare and a store; the buffer grows
// only when a name or a link is longer than the room left.
class Output {
public:
    explicit Output(size_t capacity) : data_(new char[capacity]), capacity_(capacity) {}

    const char* data() const { return data_.get(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void clear() { size_ = 0; }

    void Put(char c) {
        if (size_ == capacity_) Grow(1);
        data_[size_++] = c;
    }
    void Put(const char* text, size_t n) {
        if (capacity_ - size_ < n) Grow(n);
        std::copy_n(text, n, data_.get() + size_);
        size_ += n;
    }
    void Put(std::string_view text) { Put(text.data(), text.size()); }
    void PutSpaces(size_t n) {
        if (capacity_ - size_ < n) Grow(n);
        std::fill_n(data_.get() + size_, n, ' ');
        size_ += n;
    }
    void PutNumber(long n) {
        constexpr size_t kMost = 24;  // any long in decimal, with its sign
        if (capacity_ - size_ < kMost) Grow(kMost);
        char* at = data_.get() + size_;
        size_ = size_t(std::to_chars(at, at + kMost, n).ptr - data_.get());
    }

private:
    [[gnu::noinline]] void Grow(size_t n) {
        const size_t capacity = std::max(2 * capacity_, size_ + n);
        std::unique_ptr<char[]> grown(new char[capacity]);
        std::copy_n(data_.get(), size_, grown.get());
        data_ = std::move(grown);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
    size_t capacity_;
};

// The element whose attributes are read, or whose children a nesting level holds. It is plain
// data, so that levels are pushed and popped by copying: a tag table's name is static, and a
// name the file spells out (or "?N?") lies in the decoder's name stack.
struct Element {
    std::string_view tableName;  // closing name from a tag table; no name writes no tags
    size_t ownAt = 0;            // a name of the element's own: where it lies in the name stack
    size_t ownSize = 0;          // ... and its length (0: none)
    uint32_t flags = 0;
    bool writeAttributes = true;  // false for hidden and nameless elements
    std::span<const LitAttribute> attributes;
};

// One nesting level: the children of an element (or the top of the file).
struct Level {
    Element element;              // the element that holds these children
    Element current;              // the child being started at this level
    size_t pendingSpaces = 0;     // spaces held back until more text or a child follows
    bool wroteSomething = false;  // text or a child with output since the element began
    bool wroteText = false;       // a text character at this level
    size_t outputAtStart = 0;     // output count before the element's opening tag
};

enum class Read { Ok, End, Bad };

class Decoder {
public:
    Decoder(std::span<const uint8_t> bytes, size_t start, size_t end, LitDecodeMode mode,
            const LitManifestGroups* manifest, const LitOutputSink& sink)
        : in_(bytes.data()),
          pos_(start),
          start_(start),
          end_(end),
          html_(mode == LitDecodeMode::Html),
          plain_(html_ ? kHtmlPlain : kPackagePlain),
          manifest_(manifest),
          sink_(sink),
          out_(kFlushAt + 256) {}

    long Run();

private:
    // One UTF-8 character.
    Read Next(uint32_t& c) {
        if (pos_ >= end_) return Read::End;
        const uint8_t lead = in_[pos_];
        if (lead < 0x80) {
            c = lead;
            ++pos_;
            return Read::Ok;
        }
        size_t more;
        if (lead >= 0xc0 && lead < 0xe0) {
            more = 1;
            c = lead & 0x1f;
        } else if (lead >= 0xe0 && lead < 0xf0) {
            more = 2;
            c = lead & 0x0f;
        } else if (lead >= 0xf0 && lead < 0xf8) {
            more = 3;
            c = lead & 0x07;
        } else {
            return Read::Bad;
        }
        if (end_ - pos_ <= more) return Read::Bad;
        for (size_t i = 1; i <= more; ++i) {
            const uint8_t b = in_[pos_ + i];
            if ((b & 0xc0) != 0x80) return Read::Bad;
            c = (c << 6) | (b & 0x3f);
        }
        pos_ += more + 1;
        return Read::Ok;
    }

    // A character that must be there: the end of the input inside a construct is malformed.
    long Need(uint32_t& c) {
        switch (Next(c)) {
            case Read::Ok:
                return 0;
            case Read::End:
                return kLitBinaryMalformed;
            case Read::Bad:
                break;
        }
        return kLitBinaryBadUtf8;
    }

    // A count c announcing c - 1 characters; at least `least` of them and no more than the bytes
    // that remain.
    long NeedCount(size_t& n, size_t least) {
        uint32_t c;
        if (long r = Need(c)) return r;
        if (c == 0 || c - 1 < least || c - 1 > end_ - pos_) return kLitBinaryMalformed;
        n = c - 1;
        return 0;
    }

    void Put(char c) { out_.Put(c); }
    void Put(std::string_view s) { out_.Put(s); }
    void PutNumber(long n) { out_.PutNumber(n); }
    void PutCode(uint32_t code) {  // "?%ld?"
        Put('?');
        PutNumber(code);
        Put('?');
    }

    // Text, values and custom attribute names: ASCII as it is, the rest through PutReference.
    void PutChar(uint32_t c) {
        if (c < 0x80 && (kByteClass[c] & plain_)) {
            out_.Put(static_cast<char>(c));
            return;
        }
        PutReference(c);
    }

    [[gnu::noinline]] void PutReference(uint32_t c) {
        if (c < 0x80) {
            if (c == '&') {
                Put("&amp;");
            } else if (c == '<') {
                Put("&lt;");  // else the layout would read a tag in the middle of the text
            } else {
                Put("&gt;");
            }
            return;
        }
        switch (c) {
            case 160:
            case 169:
            case 174:
                Put(static_cast<char>(c));
                return;
            case 8216:
            case 8217:
                Put('\'');
                return;
            case 8220:
            case 8221:
                Put('"');
                return;
            case 8364:
                Put("&euro;");
                return;
            case 8218:
                Put("&sbquo;");
                return;
            case 8222:
                Put("&bdquo;");
                return;
            case 8224:
                Put("&dagger;");
                return;
            case 8482:
                Put("&trade;");
                return;
            case 8230:
                Put("&hellip;");
                return;
            case 8226:
                Put("&bull;");
                return;
            default:
                Put("&#");
                PutNumber(c);
                Put(';');
        }
    }

    void PutTextRun();

    // The name an element's tags are written with ("" for none).
    std::string_view NameOf(const Element& e) const {
        if (e.ownSize == 0) return e.tableName;
        return std::string_view(names_).substr(e.ownAt, e.ownSize);
    }
    // Elements end in the reverse order they start, so an element's own name is always the last
    // one on the stack when it ends.
    void DropName(const Element& e) {
        if (e.ownSize != 0) names_.resize(e.ownAt);
    }

    // Hands the collected markup to the sink; false when the sink said stop.
    bool Flush() {
        if (!out_.empty()) {
            if (sink_) {
                const long taken = sink_(out_.data(), out_.size());
                if (taken < 0) {
                    stopped_ = true;
                    out_.clear();
                    return false;
                }
            }
            produced_ += out_.size();
            out_.clear();
        }
        return true;
    }
    bool MaybeFlush() { return out_.size() < kFlushAt || Flush(); }
    size_t Produced() const { return produced_ + out_.size(); }

    // Ends with a failure code, handing over what was produced before it (unless the sink
    // itself asked to stop).
    long Fail(long code) {
        if (stopped_ || !Flush()) return kLitBinaryStopped;
        return code;
    }

    const char* LookUpAttribute(const Element& e, uint32_t code) const {
        for (const LitAttribute& a : e.attributes) {
            if (a.code == code) return a.name;
        }
        for (const LitAttribute& a : html_
                                         ? std::span<const LitAttribute>(lit_tags::kCommonAttrs)
                                         : std::span<const LitAttribute>(lit_tags::kPackageAttrs)) {
            if (a.code == code) return a.name;
        }
        return nullptr;
    }

    long StartElement(Level& level, uint32_t flags, uint32_t code, bool& hasAttributes);
    long ReadAttributes(Element& e);
    long ReadValue(bool suppress);
    long ReadLinkValue(bool suppress);
    const LitLinkTarget* FindLinkTarget(std::string_view file) const;
    void WriteLink(std::string_view value);
    void CloseElement(const Level& children, const Element& e);

    const uint8_t* in_;
    size_t pos_;
    size_t start_;
    size_t end_;
    bool html_;
    uint8_t plain_;  // the class of the ASCII that values write as it is
    const LitManifestGroups* manifest_;
    const LitOutputSink& sink_;
    Output out_;
    std::string names_;  // the own names of the elements open and the one starting
    size_t produced_ = 0;
    bool stopped_ = false;  // the sink said stop
};

// The tag state: the flags and the code have been read. Sets up level.current and writes its
// opening tag; hasAttributes is false when the decoder goes straight back to text.
long Decoder::StartElement(Level& level, uint32_t flags, uint32_t code, bool& hasAttributes) {
    Element& e = level.current;
    e = Element{};
    e.flags = flags;
    hasAttributes = code != 0 || (flags & kFlagStart);
    if (!hasAttributes) return 0;  // nothing starts: back to text
    // Spaces before a child belong in front of it, not behind its closing tag.
    if (level.pendingSpaces > 0) {
        out_.PutSpaces(level.pendingSpaces);
        level.pendingSpaces = 0;
    }
    if (!(flags & kFlagStart)) {
        // No element starts, yet attributes (and children) may follow: they stay anonymous.
        e.writeAttributes = false;
        return 0;
    }
    if (code == kCustomCode) {
        Put('<');
        size_t n;
        if (long r = NeedCount(n, 1)) return r;
        e.ownAt = names_.size();
        for (size_t i = 0; i < n; ++i) {
            uint32_t c;
            if (long r = Need(c)) return r;
            names_.push_back(static_cast<char>(c & 0x7f));
        }
        e.ownSize = n;
        Put(NameOf(e));
        return 0;
    }
    const std::span<const LitTag> table = html_ ? std::span<const LitTag>(lit_tags::kHtmlTags)
                                                : std::span<const LitTag>(lit_tags::kPackageTags);
    if (code < table.size() && table[code].name != nullptr) {
        const LitTag& tag = table[code];
        if (!html_) Put('\n');
        e.attributes = tag.attributes;
        if (tag.name[0] == '\1' || tag.name[0] == '\0') {
            e.writeAttributes = false;  // hidden, or no tag to hold the attributes
        } else {
            e.tableName = tag.name;
            Put('<');
            Put(e.tableName);
        }
        return 0;
    }
    // A code outside the table: written as "?N?", which also closes the element.
    e.ownAt = names_.size();
    names_ += "?" + std::to_string(code) + "?";
    e.ownSize = names_.size() - e.ownAt;
    Put(NameOf(e));
    if (code == 0) {
        hasAttributes = false;
        DropName(e);  // back to text: the element is not looked at again
    }
    return 0;
}

long Decoder::ReadAttributes(Element& e) {
    for (;;) {
        if (!MaybeFlush()) return kLitBinaryStopped;
        uint32_t code;
        const Read got = Next(code);
        if (got == Read::Bad) return kLitBinaryBadUtf8;
        if (got == Read::End || code == 0) return 0;  // a cut-off list ends like a complete one
        bool suppress = !e.writeAttributes;
        bool link = false;
        if (code == kCustomCode) {
            size_t n;
            if (long r = NeedCount(n, 1)) return r;
            if (!suppress) Put(' ');
            for (size_t i = 0; i < n; ++i) {
                uint32_t c;
                if (long r = Need(c)) return r;
                if (!suppress) PutChar(c);
            }
            if (!suppress) Put('=');
        } else if (const char* name = LookUpAttribute(e, code)) {
            const std::string_view view(name);
            if (view.front() == '%') {
                suppress = true;
            } else if (!suppress) {
                Put(' ');
                Put(view);
                Put('=');
            }
            link = view == "href" || view == "src";
        } else if (!suppress) {
            Put(' ');
            PutCode(code);
            Put('=');
        }
        if (long r = link ? ReadLinkValue(suppress) : ReadValue(suppress)) return r;
    }
}

long Decoder::ReadValue(bool suppress) {
    uint32_t c;
    if (long r = Need(c)) return r;
    if (!suppress) Put('"');
    if (c == kNumberValue) {
        uint32_t n;
        if (long r = Need(n)) return r;
        if (!suppress) {
            PutNumber(static_cast<long>(n) - 1);
            Put('"');
        }
        return 0;
    }
    if (c == 0 || c - 1 > end_ - pos_) return kLitBinaryMalformed;
    for (uint32_t left = c - 1; left > 0;) {
        // The ASCII written as it is goes in one copy, up to where the piece is full: the sink
        // gets the same pieces as if the characters went one by one.
        size_t most = std::min<size_t>(left, end_ - pos_);
        if (!suppress) most = std::min(most, out_.size() < kFlushAt ? kFlushAt - out_.size() : 1);
        const size_t run = html_ ? RunOf<kHtmlPlain>(in_ + pos_, most, end_ - pos_)
                                 : RunOf<kPackagePlain>(in_ + pos_, most, end_ - pos_);
        if (run > 0) {
            if (!suppress) out_.Put(reinterpret_cast<const char*>(in_) + pos_, run);
            pos_ += run;
            left -= uint32_t(run);
        } else {
            uint32_t ch;
            if (long r = Need(ch)) return r;
            if (!suppress) PutChar(ch);
            --left;
        }
        if (!MaybeFlush()) return kLitBinaryStopped;
    }
    if (!suppress) Put('"');
    return 0;
}

long Decoder::ReadLinkValue(bool suppress) {
    uint32_t c;
    if (long r = Need(c)) return r;
    if (c == 0 || c - 1 > end_ - pos_) return kLitBinaryMalformed;
    const size_t first = pos_;
    for (uint32_t i = 1; i < c; ++i) {
        uint32_t ch;
        if (long r = Need(ch)) return r;
    }
    if (!suppress) {
        WriteLink(std::string_view(reinterpret_cast<const char*>(in_) + first, pos_ - first));
    }
    return 0;
}

// A link names a file by its manifest id, perhaps followed by "#" and a place in it. The id is
// replaced by the file's path; a value that names no file is written as it is.
const LitLinkTarget* Decoder::FindLinkTarget(std::string_view file) const {
    // A bare "#place" points into the current file: every id would begin with its empty file part.
    if (manifest_ == nullptr || file.empty()) return nullptr;
    // The id itself first: ids such as "html1" and "html19" begin alike, and books list the
    // longer ones first often enough ("html39" ... "html1").
    for (const auto& group : *manifest_) {
        for (const LitLinkTarget& t : group) {
            if (t.id == file) return &t;
        }
    }
    for (const auto& group : *manifest_) {
        for (const LitLinkTarget& t : group) {
            if (std::string_view(t.id).starts_with(file)) return &t;
        }
    }
    return nullptr;
}

void Decoder::WriteLink(std::string_view value) {
    // Book compilers mark a reference to a manifest entry with a leading byte 2; it is not part of
    // the name and must not reach the markup.
    if (value.starts_with('\2')) value.remove_prefix(1);
    const size_t hash = value.find('#');
    const std::string_view file = value.substr(0, hash);
    const std::string_view fragment = hash == std::string_view::npos ? "" : value.substr(hash);
    const LitLinkTarget* found = FindLinkTarget(file);
    Put('"');
    if (found != nullptr) {
        Put(found->path);
        Put(fragment);
    } else {
        Put(value);
    }
    Put('"');
}

// After an element's children: its closing tag.
void Decoder::CloseElement(const Level& children, const Element& e) {
    if (!html_ && !children.wroteText) Put('\n');
    if (const std::string_view name = NameOf(e); !name.empty()) {
        Put("</");
        Put(name);
        Put('>');
    }
    if (html_ && (e.flags & kFlagLineFeed)) Put('\n');
    DropName(e);
}

// After a text character: the printable ASCII that follows goes out as it is, in one copy, up
// to a character written as a reference, a flag or the end of the words. The spaces between two
// words go along: the main loop would hold them back and write them in front of the next word
// all the same. Where the main loop would hand a full piece to the sink (between two words once
// the piece is full, or every kFlushAt bytes of a long word) the run ends, so the sink gets the
// same pieces.
void Decoder::PutTextRun() {
    // While the piece has room, words and the spaces between them are one class of bytes; spaces
    // that no word follows stay for the main loop.
    const size_t room = out_.size() < kFlushAt ? kFlushAt - out_.size() : 0;
    const size_t roomEnd = std::min(end_, pos_ + room);
    size_t run = pos_ + RunOf<kTextOrSpace>(in_ + pos_, roomEnd - pos_, end_ - pos_);
    const bool filled = run == roomEnd && roomEnd < end_;
    while (run > pos_ && in_[run - 1] == ' ')
        --run;
    if (filled) {
        // The piece fills up within these words: the last one may go on past the room, as far
        // as the main loop would take it, and then the main loop hands the piece over.
        size_t word = run;
        while (word > pos_ && in_[word - 1] != ' ')
            --word;
        size_t most = std::min(end_, (word == pos_ ? pos_ : word + 1) + kFlushAt);
        for (;;) {
            run += ClassRun(in_ + run, most - run, kTextRun);
            if (run == most || in_[run] != ' ') break;
            size_t next = run + 1;
            while (next < end_ && in_[next] == ' ')
                ++next;
            if (next == end_ || !(kByteClass[in_[next]] & kTextRun)) break;
            if (out_.size() + (run - pos_) >= kFlushAt) break;
            most = std::min(end_, next + 1 + kFlushAt);
            run = next + 1;
        }
    }
    out_.Put(reinterpret_cast<const char*>(in_) + pos_, run - pos_);
    pos_ = run;
}

long Decoder::Run() {
    std::vector<Level> levels(1);
    levels.reserve(32);

    // Closes the innermost element after its children and returns to its parent's text.
    auto popLevel = [&]() {
        const Level& done = levels.back();
        CloseElement(done, done.element);
        const bool wrote = Produced() != done.outputAtStart;
        levels.pop_back();
        if (wrote) levels.back().wroteSomething = true;
    };

    for (;;) {
        if (!MaybeFlush()) return kLitBinaryStopped;
        Level& level = levels.back();
        uint32_t c;
        Read got = Next(c);
        if (got == Read::Bad) return Fail(kLitBinaryBadUtf8);
        if (got == Read::End) break;
        if (c != 0) {  // text
            if (c == ' ') {
                if (level.wroteSomething) ++level.pendingSpaces;
                continue;
            }
            if (level.pendingSpaces > 0) {
                out_.PutSpaces(level.pendingSpaces);
                level.pendingSpaces = 0;
            }
            PutChar(c);
            PutTextRun();
            level.wroteSomething = true;
            level.wroteText = true;
            continue;
        }
        uint32_t flags;
        got = Next(flags);
        if (got == Read::Bad) return Fail(kLitBinaryBadUtf8);
        if (got == Read::End) break;
        if (flags == 0) continue;
        uint32_t code;
        got = Next(code);
        if (got == Read::Bad) return Fail(kLitBinaryBadUtf8);
        if (got == Read::End) break;
        if (!(flags & kFlagStart) && (flags & kFlagNoChildren)) {
            // The children of the current element end here.
            if (levels.size() == 1) return Fail(kLitBinaryMalformed);
            popLevel();
            continue;
        }
        const size_t before = Produced();
        bool hasAttributes;
        if (long r = StartElement(level, flags, code, hasAttributes)) return Fail(r);
        if (!hasAttributes) continue;
        if (long r = ReadAttributes(level.current)) return Fail(r);
        // End of attributes.
        const Element& e = level.current;
        if (const std::string_view name = NameOf(e); !name.empty()) {
            if (e.flags & kFlagNoChildren) {
                Put("></");
                Put(name);
            }
            Put('>');
        }
        if (html_ && (e.flags & kFlagLineFeed)) Put('\n');
        if (e.flags & kFlagNoChildren) {
            DropName(e);
            if (Produced() != before) level.wroteSomething = true;
            continue;
        }
        if (levels.size() > kLitBinaryMaxDepth) return Fail(kLitBinaryMalformed);
        Level child;
        child.element = e;
        child.outputAtStart = before;
        levels.push_back(child);  // `level` is not used past this point
    }

    // The end of the input: elements still open are closed, the file ends with an empty anchor.
    while (levels.size() > 1)
        popLevel();
    Put("<a name=\"\"></a>");
    if (!Flush()) return kLitBinaryStopped;
    return static_cast<long>(end_ - start_);
}

}  // namespace

long DecodeLitBinary(std::span<const uint8_t> bytes, size_t start, size_t end, LitDecodeMode mode,
                     const LitManifestGroups* manifest, const LitOutputSink& sink) {
    if (start > end || end > bytes.size()) return kLitBinaryMalformed;
    Decoder decoder(bytes, start, end, mode, manifest, sink);
    return decoder.Run();
}

}  // namespace pagewick
