// What the contents dialog lists and what choosing a row does. Rows are the entries with a
// title, in order; a row maps back to its own entry, whatever untitled entries lie between.
#pragma once

#include <string>
#include <vector>

#include "engine/BookEngine.h"

namespace pagewick {

class ContentsChooser {
public:
    explicit ContentsChooser(CBookEngine& doc);
    // Lists only the entries from firstListed on (the second step of choosing a run of chapters).
    ContentsChooser(CBookEngine& doc, size_t firstListed);
    // The book has no contents: the shell says so instead of showing the dialog.
    bool Empty() const { return doc_.Contents.empty(); }
    std::vector<std::string> Titles() const;
    // The title shown in the edit field for a selected row ("" for none).
    std::string TitleOf(int row) const;
    // OK with a row selected: shows the picture, plays the media item or jumps to the target
    // (the page left is remembered for ReturnFromLink). The shell repaints afterwards.
    TargetAction Choose(int row);
    // The Contents index of a row, or -1.
    int EntryOf(int row) const;

private:
    CBookEngine& doc_;
    std::vector<size_t> rows_;  // the Contents index of each row
};

}  // namespace pagewick
