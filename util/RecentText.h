// The characters a search saw last, with their positions, so that a hit can be shown with the
// words around it ("page 12: the quiet reader turns the page"). The search adds every character
// it feeds its matcher; the buffer keeps the last `capacity` of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "util/TextMatcher.h"

namespace pagewick {

class RecentText {
public:
    explicit RecentText(size_t capacity = 256);

    // Positions ascend, as the matcher's do.
    void Add(char16_t c, uint64_t position) {
        chars_[next_] = c;
        positions_[next_] = position;
        next_ = next_ + 1 == chars_.size() ? 0 : next_ + 1;
        if (count_ < chars_.size()) ++count_;
    }
    void Clear() { count_ = next_ = 0; }
    size_t Capacity() const { return chars_.size(); }

    // One line of about `width` characters: the hit with as much of the text on each side as the
    // buffer holds (the same on both sides where it can), white space runs as one space,
    // ignorable characters left out, and a word cut at either edge left out too. Ask for it once
    // width / 2 characters after the hit have been added, or at the end of the text; a hit
    // longer than the line is cut to its first `width` characters.
    std::u16string ContextAround(const TextMatch& hit, size_t width = 60) const;

private:
    // The stored character `i` places after the oldest one.
    size_t Slot(size_t i) const { return (next_ + chars_.size() - count_ + i) % chars_.size(); }

    std::vector<char16_t> chars_;
    std::vector<uint64_t> positions_;
    size_t next_ = 0, count_ = 0;
};

}  // namespace pagewick
