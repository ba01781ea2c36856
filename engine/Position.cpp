// Reading position: page turns, jumps to offsets, bookmarks and anchors, and the pagination file
// that keeps them between runs.
#include <algorithm>
#include <cstdio>

#include "engine/BookEngine.h"
#include "engine/PaginationFile.h"
#include "util/AsciiCase.h"
#include "util/AtomicFile.h"

namespace pagewick {

void CBookEngine::NextPage() {
    int32_t next = CurrentPage + 1;
    // The page at LastPage is the empty one that marked the end.
    if (LastPage != kLastPageUnknown && next >= LastPage - 1) next = std::max(0, LastPage - 1);
    // A page whose start is not known cannot be shown: stay where we are.
    if (next >= int32_t(PageStarts.size())) return;
    CurrentPage = next;
    LayoutPage(nullptr, false);
}

void CBookEngine::PreviousPage() {
    CurrentPage = std::max(0, CurrentPage - 1);
}

void CBookEngine::GoToOffset(int32_t target) {
    WaitCursor wait(HostServices);
    WaitWhileBusy();
    int32_t start = std::clamp(CurrentPage, 0, int32_t(PageStarts.size()) - 1);
    if (PageStarts.size() == 1) {
        CurrentPage = 0;
        LayoutPage(nullptr, false);
    }
    while (int32_t(PageStarts.size()) <= start + 1 && LastPage == kLastPageUnknown) {
        CurrentPage = int32_t(PageStarts.size()) - 1;
        if (!LayoutPage(nullptr, false)) break;
    }
    CurrentPage = start;
    while (CurrentPage + 1 < int32_t(PageStarts.size()) &&
           PageStarts[size_t(CurrentPage)] < target && CurrentPage < LastPage && !AnchorFound) {
        ++CurrentPage;
        if (int32_t(PageStarts.size()) <= CurrentPage + 1) {
            bool found = LayoutPage(nullptr, false);
            if (!found && SoughtAnchor.empty()) break;
        }
    }
    if (CurrentPage >= int32_t(PageStarts.size())) CurrentPage = int32_t(PageStarts.size()) - 1;
    while (CurrentPage > 0 && PageStarts[size_t(CurrentPage)] > target)
        --CurrentPage;
    // The page at LastPage is the empty one that marks the end: a place in what follows the
    // last word (closing tags) is on the last page, as NextPage has it.
    if (LastPage != kLastPageUnknown && CurrentPage > LastPage - 1)
        CurrentPage = std::max(0, LastPage - 1);
}

void CBookEngine::GoToBookmark(int slot) {
    if (slot < 0 || slot > 3 || Bookmarks[size_t(slot)] == -1) return;
    GoToOffset(Bookmarks[size_t(slot)]);
}

void CBookEngine::SetBookmark(int slot) {
    if (slot < 0 || slot > 3 || CurrentPage < 0 || CurrentPage >= int32_t(PageStarts.size()))
        return;
    Bookmarks[size_t(slot)] = PageStarts[size_t(CurrentPage)];
    SavePosition(false);
}

bool CBookEngine::GoToAnchor(const std::string& name) {
    const int32_t from = CurrentPage;
    SoughtAnchor = LowerAscii(name);
    AnchorFound = 0;
    GoToOffset(0x7FFFFFF0);
    const bool found = AnchorFound != 0;
    AnchorFound = 0;
    SoughtAnchor.clear();
    // A name the book does not define leaves the reader where they were, not on the last page.
    if (!found) CurrentPage = from;
    return found;
}

bool CBookEngine::PageHasBookmark() const {
    if (CurrentPage < 0 || CurrentPage >= int32_t(PageStarts.size())) return false;
    int32_t from = PageStarts[size_t(CurrentPage)];
    bool hasNext = CurrentPage + 1 < int32_t(PageStarts.size());
    int32_t to = hasNext ? PageStarts[size_t(CurrentPage) + 1] : from;
    for (int32_t mark : Bookmarks)
        if (mark != -1 && mark >= from && mark < to) return true;
    return false;
}

std::string CBookEngine::PositionText(int* percent) const {
    char text[64];
    if (LastPage == kLastPageUnknown)
        std::snprintf(text, sizeof text, "Page %d", CurrentPage + 1);
    else
        std::snprintf(text, sizeof text, "Page %d of %d", CurrentPage + 1, LastPage + 1);
    if (percent) {
        int64_t start = CurrentPage < int32_t(PageStarts.size())
                            ? PageStarts[size_t(std::max(0, CurrentPage))]
                            : 0;
        // Offsets count characters: half the bytes of 16-bit text.
        uint32_t chars = CharCount();
        *percent = chars ? int(start * 100 / int64_t(chars)) : 0;
    }
    return text;
}

void CBookEngine::GoToPart(int part) {
    const int32_t chars = int32_t(std::min<uint32_t>(CharCount(), 0x7fffffff));
    CurrentPage = 0;
    switch (part) {
        case 0:
            break;
        case 1:
            GoToOffset(chars / 4);
            break;
        case 2:
            GoToOffset(chars / 2);
            break;
        case 3:
            GoToOffset(chars / 2 + chars / 4);
            break;
        default:
            GoToOffset(chars - 10);
            NextPage();
            break;
    }
}

int32_t CBookEngine::OffsetForBarClick(int32_t x) const {
    const int64_t chars = std::min<uint32_t>(CharCount(), 0x7fffffff);
    int32_t span = BarRightEnd() - LeftEdge - 1;
    double fraction = span > 0 ? double(x - LeftEdge) / double(span) : 0.0;
    fraction = std::clamp(fraction, 0.0, 1.0);
    int64_t offset = int64_t(double(chars) * fraction);
    if (offset > chars - 2) offset -= 3;
    return int32_t(std::max<int64_t>(0, offset));
}

void CBookEngine::SavePosition(bool full) {
    if (Busy || PaginationPath.empty() || SourceLost) return;
    if (TextLength == kLengthUnknown) return;  // the reader has not yet found the text
    Busy = true;
    // The fields both files hold after the last page value.
    auto writeSettings = [this](PaginationWriter& out) {
        for (int32_t mark : Bookmarks)
            out.Int(mark);
        out.Int(Wide);
        out.Int(int32_t(TextLength));
        out.Int(JoinLines);
        out.Int(int32_t(LayoutSignature));
        out.Int(ReservedToWrite());
    };
    const bool onTable = CurrentPage >= 0 && CurrentPage < int32_t(PageStarts.size());
    if (onTable) {
        PaginationWriter snapshot;
        snapshot.Int(kPaginationVersion);
        snapshot.Int(CurrentPage);
        snapshot.Int(PageStarts[size_t(CurrentPage)]);
        snapshot.Int(LastPage);
        writeSettings(snapshot);
        std::string path = PaginationPath + "2";
        std::string_view bytes = snapshot.Bytes();
        if (path != snapshotPath_ || bytes != snapshotBytes_) {
            if (WriteFileAtomically(path, bytes, Durability::Unsynced)) {
                snapshotPath_ = std::move(path);
                snapshotBytes_.assign(bytes);
            } else {
                snapshotPath_.clear();
            }
        }
    }
    if (full) {
        PaginationWriter file;
        file.Int(kPaginationVersion);
        file.Title(DocumentTitle);
        file.Int(CurrentPage);
        file.Int(LastPage);
        writeSettings(file);
        file.Int(int32_t(PageStarts.size()));
        for (int32_t start : PageStarts)
            file.Int(start);
        for (size_t i = 0; i < PageStarts.size(); ++i) {
            file.Int(i < PageStates.size() ? PageStates[i] : 0);
            file.String(i < PageCarry.size() ? std::u16string_view(PageCarry[i])
                                             : std::u16string_view());
        }
        file.Int(int32_t(Anchors.size()));
        for (const AnchorRecord& anchor : Anchors) {
            file.Int(anchor.offset);
            file.String(std::string_view(anchor.name));
        }
        WriteFileAtomically(PaginationPath, file.Bytes());
    }
    Busy = false;
}

int32_t CBookEngine::ReservedToWrite() const {
    if (!Form.choosesEncoding) return reserved_;
    return (reserved_ & ~(kReservedEncodingMask | kReservedReadAsUtf8 | kReservedJoinChosen)) |
           int32_t(EncodingChoice) | (Utf8 ? kReservedReadAsUtf8 : 0) |
           (JoinLinesChosen ? kReservedJoinChosen : 0);
}

void CBookEngine::LoadPosition() {
    reserved_ = 0;
    // Positions counted in characters of another reading of the bytes (UTF-8 against 8-bit
    // text) mean nothing now: the book starts afresh, as a new one would.
    if (Form.choosesEncoding && bool(storedReserved_ & kReservedReadAsUtf8) != Utf8) return;
    std::string bytes;
    if (PaginationPath.empty() || !ReadPaginationBytes(PaginationPath, bytes)) return;
    PaginationCursor in(bytes);
    int32_t version = 0, value = 0;
    if (!in.ReadInt(version) || version > kPaginationVersion) return;

    // Whatever the file holds, the page table that results is usable: at least the page at 0,
    // starts that never go backwards, a state and a carry text per page, a current page on it.
    auto settle = [&]() {
        size_t good = 1;
        while (good < PageStarts.size() && PageStarts[good] >= PageStarts[good - 1] &&
               uint32_t(PageStarts[good]) <= CharCount())
            ++good;
        if (PageStarts.empty() || PageStarts[0] != 0) {
            PageStarts.assign(1, 0);
            good = 1;
        }
        PageStarts.resize(good);
        PageStates.resize(good, 0);
        PageCarry.resize(good);
        CurrentPage = std::clamp(CurrentPage, 0, int32_t(PageStarts.size()) - 1);
    };

    std::string title;
    if (version >= 4) {
        if (!in.ReadTitle(title)) return;
        DocumentTitle = title;
    }
    if (!in.ReadInt(value)) return;
    CurrentPage = value;
    if (!in.ReadInt(value)) return settle();  // the last page is found again by layout
    if (version >= 2) {
        for (int32_t& mark : Bookmarks)
            if (!in.ReadInt(mark)) return settle();
        if (version <= 3) {
            if (Form.notesOldPagination)
                ShowMessage(
                    "Many new features have been added to LIT rendering.\r\nRepaginating at "
                    "the beginning of the book.",
                    MessageIcon::Error);
            ResetPagination();
            return;
        }
        // The character width: the book's first window has decided it, whatever is written here.
        if (!in.ReadInt(value)) return settle();
    }
    if (!in.ReadInt(value)) return settle();
    if (uint32_t(value) != TextLength && Form.lengthTellsChange) {
        ShowMessage("File appears to have changed.\r\nStarting at the beginning of the book.",
                    MessageIcon::Error);
        ResetPagination();
        return;
    }
    if (!in.ReadInt(value)) return settle();
    JoinLines = value;
    if (!in.ReadInt(value)) return settle();
    bool signatureChanged = uint32_t(value) != LayoutSignature;
    int64_t pages = INT64_MAX;
    if (version >= 4) {
        if (!in.ReadInt(reserved_)) return settle();
        JoinLinesChosen = (reserved_ & kReservedJoinChosen) != 0;
        if (!in.ReadInt(value)) return settle();
        pages = std::max(value, 0);
    }
    // Every page but the last begins at least one character after the one before, so a book
    // has no more pages than characters and one. Entries past that are read over, not kept.
    const int64_t keep = int64_t(CharCount()) + 1;
    PageStarts.clear();
    int64_t listed = 0;
    for (; listed < pages && !in.AtEnd(); ++listed) {
        if (!in.ReadInt(value)) break;
        if (listed < keep) PageStarts.push_back(value);
    }
    PageStates.assign(PageStarts.size(), 0);
    PageCarry.assign(PageStarts.size(), std::u16string());
    if (version >= 4) {
        bool complete = true;
        for (int64_t i = 0; i < listed && complete; ++i) {
            std::u16string carry;
            complete = in.ReadInt(value) && (version < 5 || in.ReadUnits(carry));
            if (!complete || i >= keep) continue;
            PageStates[size_t(i)] = uint8_t(value);
            PageCarry[size_t(i)] = std::move(carry);
        }
        int32_t count = 0;
        if (complete && in.ReadInt(count) && count > 0) {
            std::vector<AnchorRecord> anchors;
            for (int32_t i = 0; i < count; ++i) {
                AnchorRecord anchor;
                if (!in.ReadInt(anchor.offset) || !in.ReadString(anchor.name)) break;
                anchors.push_back(std::move(anchor));
            }
            Anchors = std::move(anchors);
        }
    }
    settle();
    if (signatureChanged) {
        int32_t offset = PageStarts[size_t(CurrentPage)];
        ResetPagination();
        PendingOffset = offset;
    }
    SetRegistry("LastBookTitle", DocumentTitle);
}

}  // namespace pagewick
