#include "util/RecentText.h"

#include <algorithm>

namespace pagewick {

RecentText::RecentText(size_t capacity)
    : chars_(std::max<size_t>(capacity, 1)), positions_(chars_.size()) {}

std::u16string RecentText::ContextAround(const TextMatch& hit, size_t width) const {
    // The characters as shown, each with where it began.
    std::u16string shown;
    std::vector<uint64_t> at;
    shown.reserve(count_);
    at.reserve(count_);
    for (size_t i = 0; i < count_; ++i) {
        const size_t slot = Slot(i);
        const CharClass cls = ClassOf(chars_[slot]);
        if (cls == CharClass::Ignorable) continue;
        if (cls == CharClass::Space) {
            if (!shown.empty() && shown.back() == u' ') continue;
            shown += u' ';
        } else {
            shown += chars_[slot];
        }
        at.push_back(positions_[slot]);
    }
    const size_t begin = size_t(std::lower_bound(at.begin(), at.end(), hit.first) - at.begin());
    const size_t end =
        std::max(begin, size_t(std::lower_bound(at.begin(), at.end(), hit.end) - at.begin()));

    size_t left = 0, right = 0;
    if (end - begin < width) {
        const size_t room = width - (end - begin);
        const size_t before = begin, after = shown.size() - end;
        left = std::min(before, room / 2);
        right = std::min(after, room - left);
        left = std::min(before, room - right);
    }
    size_t from = begin - left, to = std::min(end + right, begin + width);
    // A word cut at an edge is left out: only whole words stand beside the hit.
    if (from < begin && from > 0 && shown[from - 1] != u' ' && shown[from] != u' ') {
        const size_t space = shown.find(u' ', from);
        from = space < begin ? space + 1 : begin;
    }
    if (to > end && to < shown.size() && shown[to] != u' ' && shown[to - 1] != u' ') {
        const size_t space = shown.rfind(u' ', to - 1);
        to = space != std::u16string::npos && space >= end ? space : end;
    }
    while (from < to && shown[from] == u' ')
        ++from;
    while (to > from && shown[to - 1] == u' ')
        --to;
    return shown.substr(from, to - from);
}

}  // namespace pagewick
