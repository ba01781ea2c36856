// Finding text in the open book as its pages show it: references decoded, tags left out (a word
// may run across one: "wo<b>rd</b>"), the head, titles, style sheets, scripts, comments and
// file-name marks never matched, a line end or a break tag one space. The book is read through
// the document's own windows, from the start of a page of the page table, and pages are laid out
// only to number a hit the table does not reach yet.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "util/TextMatcher.h"

namespace pagewick {

class CBookEngine;

// One hit: from its first character offset to the offset after its last.
struct BookHit {
    int32_t first = 0;
    int32_t end = 0;
    int32_t page = -1;       // index into the page table (page + 1 is the number shown)
    std::u16string context;  // a line of the text around it (only where asked for)
};

class BookSearch {
public:
    // Context lines are about this many characters.
    static constexpr size_t kContextWidth = 60;

    BookSearch(CBookEngine& doc, std::u16string_view pattern, MatchOptions options = {});
    BookSearch(CBookEngine& doc, std::string_view utf8Pattern, MatchOptions options = {});

    PatternStatus Status() const { return matcher_.Status(); }
    bool Ready() const { return matcher_.Ready(); }

    // The first hit that begins at or after `from` and before `limit` (-1: the end of the text),
    // with its page; the page table grows to reach it.
    std::optional<BookHit> Next(int32_t from, int32_t limit = -1);
    // The last hit that begins before `before` and at or after `floor`, with its page.
    std::optional<BookHit> Previous(int32_t before, int32_t floor = 0);
    // Every hit from the start of the book, in order, each with its page and context; onHit
    // answers false to stop. Pages are laid out as the reading goes, while the windows that
    // hold the hits are still loaded.
    void All(const std::function<bool(const BookHit&)>& onHit);

    // The book could not be read to its end in the last search (the document has said why).
    bool Failed() const { return failed_; }
    // Characters the last searches fed the matcher, for the tests' and benchmarks' eyes.
    uint64_t CharactersRead() const { return read_; }

    // The page of the table holding a character offset; pages are laid out up to it when the
    // table does not reach it yet.
    static int32_t PageOf(CBookEngine& doc, int32_t offset);

private:
    // Reads the book from the start of page `page` and hands each match to onMatch, until it
    // answers false or the text ends. Matches that begin at or after `stop` end the reading, and
    // so does the text running `Slack()` characters past it without a match.
    void Scan(int32_t page, int32_t stop, const std::function<bool(const TextMatch&)>& onMatch);
    int32_t Slack() const;

    CBookEngine& doc_;
    TextMatcher matcher_;
    bool failed_ = false;
    uint64_t read_ = 0;
    bool wantContext_ = false;
    class Reader;
    friend class Reader;
};

}  // namespace pagewick
