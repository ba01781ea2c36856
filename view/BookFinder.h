// BookFinder: the search both reading programs offer. It keeps the words sought and the hit
// shown, finds the next or previous hit from the page being read, asks before going round the
// end (or the beginning) of the book, turns the view to the hit and draws it on the highlight
// band. Messages go through the host, captioned "Pagewick".
#pragma once

#include <string>
#include <vector>

#include "engine/Search.h"
#include "util/Host.h"

namespace pwview {

class CPageView;

class BookFinder {
public:
    static constexpr size_t kMaxListed = 10000;  // Find all lists at most this many hits

    BookFinder(CPageView& view, pagewick::Host& host) : view_(view), host_(host) {}

    // The words and options of the next searches (UTF-8). A change starts afresh from the page
    // being read.
    void SetPattern(const std::string& pattern, pagewick::MatchOptions options);
    const std::string& Pattern() const { return pattern_; }
    const pagewick::MatchOptions& Options() const { return options_; }
    bool HasPattern() const { return !pattern_.empty(); }

    // The next hit after the one shown, or from the start of the page being read when the
    // page shows none; the previous one before it. False when nothing was shown.
    bool FindNext();
    bool FindPrevious();
    // Every hit of the book with its page and a line of context (kMaxListed at most); an
    // unusable pattern is said and gives none.
    std::vector<pagewick::BookHit> FindAll();
    // Turns to a hit and draws it highlighted.
    void Show(const pagewick::BookHit& hit);

    // The last message's texts, as the programs show them.
    static std::string CannotFind(const std::string& pattern);
    static const char* const kPassedEnd;
    static const char* const kPassedBeginning;
    static const char* const kTooLong;

private:
    // FindNext (forward) and FindPrevious: the wrap question, the messages, the hit shown.
    bool Find(bool forward);
    // The pattern can be used; says why not otherwise.
    bool Usable(pagewick::BookSearch& search);
    bool Ask(const char* question);
    void Say(const std::string& text);
    // Forgets the hit shown when the book changed under it.
    void FollowBook();

    CPageView& view_;
    pagewick::Host& host_;
    std::string pattern_;
    pagewick::MatchOptions options_;
    bool shown_ = false;
    pagewick::BookHit last_;
    std::string book_;  // the book the hit was found in
};

}  // namespace pwview
