#include "engine/Search.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/BookEngine.h"
#include "engine/Markup.h"
#include "engine/PageLayout.h"
#include "util/Cp1252.h"
#include "util/LittleEndian.h"
#include "util/RecentText.h"

namespace pagewick {

namespace {

// Windows-1252 to Unicode for every byte, looked up once per character.
struct CodePageTable {
    char16_t unicode[256];
    CodePageTable() {
        for (int b = 0; b < 256; ++b)
            unicode[b] = Cp1252ToUnicode(uint8_t(b));
    }
};
const CodePageTable kCodePage;

bool EightAscii(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return (v & 0x8080808080808080ull) == 0;
}

// The first of [i, n) that is the code 0 or, in markup, a "<" or "&": where a stretch of text
// that goes to the matcher as it is ends.
size_t StretchEnd(const char16_t* units, size_t i, size_t n, bool markup) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i open = _mm_set1_epi16(markup ? short(u'<') : 0);
    const __m128i amp = _mm_set1_epi16(markup ? short(u'&') : 0);
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
        const __m128i stop =
            _mm_or_si128(_mm_cmpeq_epi16(v, zero),
                         _mm_or_si128(_mm_cmpeq_epi16(v, open), _mm_cmpeq_epi16(v, amp)));
        if (_mm_movemask_epi8(stop) != 0) break;
    }
#endif
    while (i < n && units[i] != 0 && (!markup || (units[i] != u'<' && units[i] != u'&')))
        ++i;
    return i;
}

}  // namespace

// The book's character stream as the markup interpreter shows it, fed to the matcher a window
// run at a time. It begins at a page start, where the layout begins too: outside any tag,
// reference or head, with the page's carried text read first.
class BookSearch::Reader {
public:
    Reader(BookSearch& search, int32_t page) : s_(search), doc_(search.doc_) {
        s_.matcher_.Reset();
        const size_t p = size_t(std::clamp<int32_t>(page, 0, int32_t(doc_.PageStarts.size()) - 1));
        at_ = doc_.PageStarts[p];
        if (p > 0 && p < doc_.PageCarry.size())
            for (char16_t c : doc_.PageCarry[p])
                Char(c, at_, at_);
    }

    int32_t Position() const { return at_; }
    // Matches completed by the last step; with `recent` set, only those whose context line is
    // complete, in `ready` with their context.
    std::vector<TextMatch> found;
    std::vector<std::pair<TextMatch, std::u16string>> ready;
    RecentText* recent = nullptr;
    // Where the last hit found begins, with its context complete or not (-1: none yet).
    int64_t lastHit = -1;

    // Reads the next run of characters the windows hold (or one character through the document
    // when they hold none). False at the end of the text.
    bool Step() {
        if (ended_) return false;
        const uint8_t* bytes = nullptr;
        size_t run = doc_.WindowRun(at_, bytes);
        if (run == 0) {
            const uint32_t c = doc_.GetChar(at_);
            if (c == kEndOfText) return End();
            Raw(c, at_);
            ++at_;
            return true;
        }
        const int32_t base = at_;
        // The run as characters: code-page bytes through the table, 16-bit text as it is.
        units_.resize(run);
        if (doc_.Wide) {
            for (size_t i = 0; i < run; ++i)
                units_[i] = char16_t(Le16At(bytes + 2 * i));
        } else {
            // Eight ASCII bytes at a time are only widened.
            size_t i = 0;
            for (; i + 8 <= run; i += 8) {
                if (EightAscii(bytes + i)) {
                    for (size_t k = 0; k < 8; ++k)
                        units_[i + k] = bytes[i + k];
                } else {
                    for (size_t k = 0; k < 8; ++k)
                        units_[i + k] = kCodePage.unicode[bytes[i + k]];
                }
            }
            for (; i < run; ++i)
                units_[i] = kCodePage.unicode[bytes[i]];
        }
        // Stretches of plain text go to the matcher at once; markup, references and the code 0
        // (which the layout drops) one character at a time.
        const bool markup = doc_.MarkupMode;
        size_t i = 0;
        while (i < run) {
            if (markup && (state_ != State::Text || hidden_)) {
                Char(units_[i], base + int32_t(i), base + int32_t(i) + 1);
                ++i;
                continue;
            }
            const size_t j = StretchEnd(units_.data(), i, run, markup);
            if (j > i) {
                ShowRun(units_.data() + i, j - i, base + int32_t(i));
                i = j;
                continue;
            }
            if (units_[i] != 0) Char(units_[i], base + int32_t(i), base + int32_t(i) + 1);
            ++i;
        }
        at_ = base + int32_t(run);
        s_.read_ += run;
        return true;
    }

private:
    enum class State { Text, Tag, Entity, Raw };
    enum Hidden : unsigned { kHead = 1, kCapture = 2 };

    bool End() {
        ended_ = true;
        if (state_ == State::Entity) EndEntity(std::nullopt, at_);
        if (s_.matcher_.Finish()) Found();
        while (!awaiting_.empty())
            TakeContext();
        return false;
    }

    // A character of the stream: 8-bit text holds code-page bytes.
    void Raw(uint32_t code, int32_t position) {
        char16_t c = doc_.Wide || code > 0xFF ? char16_t(code) : kCodePage.unicode[code];
        if (code == 0) return;
        if (!doc_.MarkupMode) {
            Show(c, position, position + 1);
            return;
        }
        Char(c, position, position + 1);
    }

    void Show(char16_t c, int32_t position, int32_t after) {
        if (!recent) {
            if (s_.matcher_.Feed(c, uint64_t(position), uint64_t(after))) Found();
            return;
        }
        recent->Add(c, uint64_t(position));
        ++shown_;
        if (s_.matcher_.Feed(c, uint64_t(position), uint64_t(after))) Found();
        // Half a line of shown characters after a hit its line of context is complete (tags
        // and references between them do not count).
        while (!awaiting_.empty() && shown_ >= awaiting_.front().second + kContextWidth / 2)
            TakeContext();
    }

    // Consecutive characters at consecutive positions, shown as they are.
    void ShowRun(const char16_t* text, size_t count, int32_t first) {
        if (!recent) {
            s_.matcher_.FeedRun(std::u16string_view(text, count), uint64_t(first),
                                [this](const TextMatch& m) { found.push_back(m); });
            return;
        }
        // The matcher takes the stretch at once; the buffer of recent characters is then given
        // it up to each point where a hit's context is complete, and otherwise only the tail
        // a later hit's context may reach back into.
        s_.matcher_.FeedRun(
            std::u16string_view(text, count), uint64_t(first), [&](const TextMatch& m) {
                // Counted as when fed one by one: up to the character after it.
                const uint64_t into = m.end >= uint64_t(first) ? m.end - uint64_t(first) + 1 : 0;
                awaiting_.emplace_back(m, shown_ + std::min<uint64_t>(into, count));
                lastHit = int64_t(m.first);
            });
        size_t at = 0;
        while (at < count && !awaiting_.empty()) {
            const uint64_t n = std::clamp<uint64_t>(
                awaiting_.front().second + kContextWidth / 2 - shown_, 1, count - at);
            for (size_t k = 0; k < n; ++k)
                recent->Add(text[at + k], uint64_t(first) + at + k);
            shown_ += n;
            at += n;
            while (!awaiting_.empty() && shown_ >= awaiting_.front().second + kContextWidth / 2)
                TakeContext();
        }
        const size_t keep = std::min(count - at, recent->Capacity());
        for (size_t k = count - keep; k < count; ++k)
            recent->Add(text[k], uint64_t(first) + k);
        shown_ += count - at;
    }

    void Found() {
        lastHit = int64_t(s_.matcher_.Match().first);
        if (recent)
            awaiting_.emplace_back(s_.matcher_.Match(), shown_);
        else
            found.push_back(s_.matcher_.Match());
    }

    void TakeContext() {
        const TextMatch m = awaiting_.front().first;
        awaiting_.erase(awaiting_.begin());
        ready.emplace_back(m, recent->ContextAround(m, kContextWidth));
    }

    void Space(int32_t position) { Show(u' ', position, position + 1); }

    void Char(char16_t c, int32_t position, int32_t after) {
        switch (state_) {
            case State::Raw: {
                const char16_t lower = c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
                tail_ += lower;
                if (tail_.size() > rawEnd_.size()) tail_.erase(0, 1);
                if (tail_ != rawEnd_) return;
                // "</style" and "</script": the rest of the end tag is read as a tag.
                state_ = rawEnd_ == u"-->" ? State::Text : State::Tag;
                tag_ = rawEnd_ == u"-->" ? u"" : std::u16string(rawEnd_);
                tail_.clear();
                return;
            }
            case State::Entity:
                if (ContinuesReference(std::u16string_view(entity_), c)) {
                    entity_ += c;
                    return;
                }
                if (!EndEntity(c, after)) Char(c, position, after);
                return;
            case State::Tag:
                if (c == u'<') {
                    tag_.assign(1, u'<');
                    tooLong_ = false;
                    return;
                }
                if (c != u'>') {
                    if (tag_.size() < kTagMax - 1)
                        tag_ += c;
                    else
                        tooLong_ = true;
                    if (tag_ == u"<!--") {
                        state_ = State::Raw;
                        rawEnd_ = u"-->";
                        tail_.clear();
                    }
                    return;
                }
                state_ = State::Text;
                if (tooLong_) {
                    tooLong_ = false;
                    return;
                }
                tag_ += u'>';
                Tag(position);
                return;
            case State::Text:
                break;
        }
        if (c == u'<') {
            state_ = State::Tag;
            tag_.assign(1, u'<');
            hidden_ &= ~unsigned(kCapture);  // a title or file mark ends at the next tag
            return;
        }
        if (hidden_) return;
        if (c == u'&') {
            state_ = State::Entity;
            entity_.clear();
            entityAt_ = position;
            return;
        }
        Show(c, position, after);
    }

    // The reference collected in entity_ ended by `end`; true when it took that character.
    bool EndEntity(std::optional<char16_t> end, int32_t after) {
        state_ = State::Text;
        const std::u16string collected = entity_;
        entity_.clear();
        const ReferenceEnd r = EndReference(collected, end, false);
        const int32_t stop = r.takesEnd ? after : entityAt_ + 1 + int32_t(r.used);
        if (r.kind == ReferenceEnd::Kind::Text) {
            Show(u'&', entityAt_, entityAt_ + 1);
        } else if (r.kind == ReferenceEnd::Kind::Character) {
            Show(r.code, entityAt_, stop);
            if (r.second) Show(r.second, entityAt_, stop);
        }
        // What the reference did not take is read again ("&copy2024": the digits).
        for (size_t i = r.used; i < collected.size(); ++i) {
            const int32_t p = entityAt_ + 1 + int32_t(i);
            Char(collected[i], p, p + 1);
        }
        return r.takesEnd;
    }

    // A whole tag in tag_: what it does to the text shown.
    void Tag(int32_t position) {
        std::string tag;
        tag.reserve(tag_.size());
        for (char16_t c : tag_)
            tag += char(c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c < 128 ? c : '?');
        const TagMeaning m = ClassifyTag(tag, doc_.Form.xhtmlMarkup);
        switch (m.kind) {
            case TagKind::Ignore:
            case TagKind::BoldOn:
            case TagKind::BoldOff:
            case TagKind::ItalicOn:
            case TagKind::ItalicOff:
            case TagKind::UnderlineOn:
            case TagKind::UnderlineOff:
            case TagKind::QuoteOn:
            case TagKind::CentreOn:
            case TagKind::RightOn:
            case TagKind::Division:
            case TagKind::ParagraphEnd:
            case TagKind::TitleEnd:
            case TagKind::CurFileEnd:
                return;
            case TagKind::Title:
            case TagKind::CurFile:
                hidden_ |= kCapture;
                return;
            case TagKind::Head:
                hidden_ |= kHead;
                return;
            case TagKind::HeadEnd:
            case TagKind::Body:
                hidden_ &= ~unsigned(kHead);
                return;
            case TagKind::Style:
            case TagKind::Script:
                if (tag.size() < 3 || tag[tag.size() - 2] != '/') {
                    state_ = State::Raw;
                    rawEnd_ = m.kind == TagKind::Style ? u"</style" : u"</script";
                    tail_.clear();
                }
                return;
            default:
                // Breaks, new pages, links, anchors and pictures stand between words.
                if (!hidden_) Space(position);
                return;
        }
    }

    BookSearch& s_;
    CBookEngine& doc_;
    int32_t at_ = 0;
    bool ended_ = false;
    State state_ = State::Text;
    unsigned hidden_ = 0;
    std::u16string tag_, entity_, tail_;
    std::u16string_view rawEnd_;
    bool tooLong_ = false;
    int32_t entityAt_ = 0;
    std::vector<char16_t> units_;
    // Hits waiting for their context, each with the characters shown when it was found.
    std::vector<std::pair<TextMatch, uint64_t>> awaiting_;
    uint64_t shown_ = 0;
};

BookSearch::BookSearch(CBookEngine& doc, std::u16string_view pattern, MatchOptions options)
    : doc_(doc), matcher_(pattern, options) {}

BookSearch::BookSearch(CBookEngine& doc, std::string_view utf8Pattern, MatchOptions options)
    : doc_(doc), matcher_(utf8Pattern, options) {}

int32_t BookSearch::Slack() const {
    // Room for the longest match that begins before a stop: its characters written as
    // references, with tags between them.
    return int32_t(std::min<size_t>(matcher_.FoldedPattern().size(), 1u << 20) * 12 + 2 * kTagMax);
}

int32_t BookSearch::PageOf(CBookEngine& doc, int32_t offset) {
    if (doc.PageStarts.back() <= offset) doc.PaginateToOffset(offset);
    auto next = std::upper_bound(doc.PageStarts.begin(), doc.PageStarts.end(), offset);
    int32_t page = int32_t(next - doc.PageStarts.begin()) - 1;
    if (doc.LastPage != kLastPageUnknown) page = std::min(page, doc.LastPage);
    return std::max(page, 0);
}

namespace {

int32_t PageIndexAt(const CBookEngine& doc, int32_t offset) {
    auto next = std::upper_bound(doc.PageStarts.begin(), doc.PageStarts.end(), offset);
    return std::max(int32_t(next - doc.PageStarts.begin()) - 1, 0);
}

}  // namespace

void BookSearch::Scan(int32_t page, int32_t stop,
                      const std::function<bool(const TextMatch&)>& onMatch) {
    failed_ = false;
    if (!Ready() || doc_.SourceFailed) {
        failed_ = doc_.SourceFailed;
        return;
    }
    doc_.GetChar(0);  // the first window decides the width and the markup
    Reader reader(*this, page);
    const int64_t until = stop < 0 ? INT64_MAX : int64_t(stop) + Slack();
    bool more = true;
    while (more) {
        more = reader.Step();
        for (const TextMatch& m : reader.found) {
            if (stop >= 0 && int64_t(m.first) >= stop) return;
            if (!onMatch(m)) return;
        }
        reader.found.clear();
        if (reader.Position() >= until) return;
    }
    failed_ = doc_.SourceFailed;
}

std::optional<BookHit> BookSearch::Next(int32_t from, int32_t limit) {
    std::optional<BookHit> hit;
    from = std::max(from, 0);
    Scan(PageIndexAt(doc_, from), limit, [&](const TextMatch& m) {
        if (int64_t(m.first) < from) return true;
        hit = BookHit{int32_t(m.first), int32_t(m.end), -1, {}};
        return false;
    });
    if (hit) hit->page = PageOf(doc_, hit->first);
    return hit;
}

std::optional<BookHit> BookSearch::Previous(int32_t before, int32_t floor) {
    floor = std::max(floor, 0);
    // Stretches of pages back from `before`, each read from its first page start: the last
    // hit in the stretch nearest `before` wins.
    constexpr int32_t kStretch = 16384;
    while (before > floor) {
        int32_t page = PageIndexAt(doc_, before - 1);
        const int32_t end = std::min(before, page + 1 < int32_t(doc_.PageStarts.size())
                                                 ? doc_.PageStarts[size_t(page) + 1]
                                                 : before);
        while (page > 0 && end - doc_.PageStarts[size_t(page)] < kStretch &&
               doc_.PageStarts[size_t(page)] > floor)
            --page;
        const int32_t start = doc_.PageStarts[size_t(page)];
        std::optional<BookHit> hit;
        Scan(page, before, [&](const TextMatch& m) {
            if (int64_t(m.first) >= floor) hit = BookHit{int32_t(m.first), int32_t(m.end), -1, {}};
            return true;
        });
        if (hit) {
            hit->page = PageOf(doc_, hit->first);
            return hit;
        }
        if (failed_ || start <= floor) break;
        before = start;
    }
    return std::nullopt;
}

void BookSearch::All(const std::function<bool(const BookHit&)>& onHit) {
    failed_ = false;
    if (!Ready() || doc_.SourceFailed) {
        failed_ = doc_.SourceFailed;
        return;
    }
    doc_.GetChar(0);
    // The buffer holds a line on each side of a hit and a long hit itself.
    RecentText recent(4 * kContextWidth +
                      std::min<size_t>(matcher_.FoldedPattern().size(), 1u << 16));
    Reader reader(*this, 0);
    reader.recent = &recent;
    bool more = true;
    while (more) {
        more = reader.Step();
        if (reader.ready.empty()) {
            // The pages keep pace with the reading while hits are near one another: laid out
            // while the windows just read are loaded, not a window or more later when the next
            // hit needs them (the windows would be read again). A hit whose page the table
            // does not reach yet is numbered at once.
            const int64_t pace = 32 * int64_t(doc_.WindowChars());
            if (more && reader.lastHit >= 0 &&
                (reader.lastHit >= doc_.PageStarts.back() ||
                 reader.Position() - reader.lastHit < pace))
                doc_.PaginateToOffset(reader.Position() - 1);
            continue;
        }
        // Between runs: laying out the pages of the hits reads the windows just read, and
        // the table is carried on to where the reading stands, so that the next hits find it
        // there.
        for (auto& [m, context] : reader.ready) {
            BookHit hit{int32_t(m.first), int32_t(m.end), -1, {}};
            hit.context = std::move(context);
            hit.page = PageOf(doc_, hit.first);
            if (!onHit(hit)) return;
        }
        reader.ready.clear();
        if (more) doc_.PaginateToOffset(reader.Position() - 1);
    }
    failed_ = doc_.SourceFailed;
}

}  // namespace pagewick
