#include "view/BookFinder.h"

#include <algorithm>

#include "view/PageView.h"

namespace pwview {
using namespace pagewick;

const char* const BookFinder::kPassedEnd =
    "Search passed the end of the book; continue from the beginning?";
const char* const BookFinder::kPassedBeginning =
    "Search passed the beginning of the book; continue from the end?";
const char* const BookFinder::kTooLong = "The words to find are too long.";

std::string BookFinder::CannotFind(const std::string& pattern) {
    return "Cannot find \"" + pattern + "\".";
}

void BookFinder::SetPattern(const std::string& pattern, MatchOptions options) {
    if (pattern == pattern_ && options.matchCase == options_.matchCase &&
        options.wholeWords == options_.wholeWords &&
        options.ignoreAccents == options_.ignoreAccents)
        return;
    pattern_ = pattern;
    options_ = options;
    shown_ = false;
}

void BookFinder::FollowBook() {
    CBookEngine& doc = view_.Document();
    const std::string book = doc.BookPath + '\n' + doc.MemberName;
    if (book != book_) shown_ = false;
    book_ = book;
}

bool BookFinder::Usable(BookSearch& search) {
    switch (search.Status()) {
        case PatternStatus::Ok:
            return true;
        case PatternStatus::Empty:
            return false;  // nothing to find: the programs do not offer it
        case PatternStatus::TooLong:
            Say(kTooLong);
            return false;
    }
    return false;
}

bool BookFinder::Ask(const char* question) {
    return host_.ShowMessage(question, "Pagewick", MessageButtons::YesNo, MessageIcon::Question) ==
           MessageAnswer::Yes;
}

void BookFinder::Say(const std::string& text) {
    host_.ShowMessage(text, "Pagewick", MessageButtons::Ok, MessageIcon::Information);
}

bool BookFinder::FindNext() {
    return Find(true);
}

bool BookFinder::FindPrevious() {
    return Find(false);
}

bool BookFinder::Find(bool forward) {
    if (!view_.HasBook()) return false;
    FollowBook();
    view_.PrepareSearch();
    CBookEngine& doc = view_.Document();
    BookSearch search(doc, std::string_view(pattern_), options_);
    if (!Usable(search)) return false;
    // From the hit shown while its page is read (past it, or before it), else from the start of
    // the page.
    const bool fromHit = shown_ && last_.page == doc.CurrentPage;
    const int32_t from = fromHit ? (forward ? last_.end : last_.first) : view_.PageStartOffset();
    const int32_t count = int32_t(doc.CharCount());
    std::optional<BookHit> hit;
    {
        WaitCursor wait(&host_);
        hit = forward ? search.Next(from) : search.Previous(from);
    }
    // Nothing up to the end (the beginning): once more from the other end, up to where this
    // search began.
    if (!hit && !search.Failed() && (forward ? from > 0 : from < count)) {
        if (!Ask(forward ? kPassedEnd : kPassedBeginning)) return false;
        WaitCursor wait(&host_);
        hit = forward ? search.Next(0, fromHit ? last_.first + 1 : from)
                      : search.Previous(count, from);
    }
    if (search.Failed()) return false;  // the document has said what went wrong
    if (!hit) {
        Say(CannotFind(pattern_));
        return false;
    }
    Show(*hit);
    return true;
}

std::vector<BookHit> BookFinder::FindAll() {
    std::vector<BookHit> hits;
    if (!view_.HasBook()) return hits;
    FollowBook();
    view_.PrepareSearch();
    BookSearch search(view_.Document(), std::string_view(pattern_), options_);
    if (!Usable(search)) return hits;
    {
        WaitCursor wait(&host_);
        search.All([&](const BookHit& hit) {
            hits.push_back(hit);
            return hits.size() < kMaxListed;
        });
    }
    if (hits.empty() && !search.Failed()) Say(CannotFind(pattern_));
    return hits;
}

void BookFinder::Show(const BookHit& hit) {
    FollowBook();
    last_ = hit;
    shown_ = true;
    view_.ShowHit(hit.page, hit.first, hit.end);
}

}  // namespace pwview
