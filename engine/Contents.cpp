// The book's contents (filled by the book's reader): the cover shown once after the first page,
// the contents dialog's rows and choice, and the handheld's section steps.
#include "engine/Contents.h"

#include <algorithm>
#include <unordered_set>

#include "util/AsciiCase.h"
#include "util/Cp1252.h"

namespace pagewick {

bool CBookEngine::TakeCover() {
    if (CoverTarget.empty()) return false;
    CurrentTarget = CoverTarget;
    CoverTarget.clear();
    return true;
}

bool CBookEngine::PageStartsSection(int32_t page) const {
    if (page < 0 || page >= int32_t(PageStarts.size())) return false;
    if (page == 0) return true;
    const int32_t from = PageStarts[size_t(page)];
    const int32_t to =
        page + 1 < int32_t(PageStarts.size()) ? PageStarts[size_t(page) + 1] : from + 1;
    // Another of the book's files begins on the page.
    if (to > from && FileNameAt(from - 1) != FileNameAt(to - 1)) return true;
    std::unordered_set<std::string> targets;
    for (const ContentsEntry& entry : Contents) {
        std::string key = LowerAscii(entry.target);
        if (key.find('#') == std::string::npos) key += '#';
        targets.insert(std::move(key));
    }
    for (const AnchorRecord& anchor : Anchors) {
        if (anchor.offset < from || anchor.offset >= std::max(to, from + 1)) continue;
        if ((!anchor.name.empty() && anchor.name.back() == '#') || targets.count(anchor.name))
            return true;
    }
    return false;
}

bool CBookEngine::NextSection() {
    return StepSection(1);
}

bool CBookEngine::PreviousSection() {
    return StepSection(-1);
}

bool CBookEngine::StepSection(int direction) {
    if (!Form.sections) {
        if (HostServices)
            HostServices->ShowMessage("This format does not support sections.", "Pagewick",
                                      MessageButtons::Ok, MessageIcon::Information);
        return false;
    }
    WaitWhileBusy();
    CurrentPage = std::clamp(CurrentPage, 0, int32_t(PageStarts.size()) - 1);
    for (;;) {
        if (direction < 0) {
            if (CurrentPage == 0) break;
            --CurrentPage;
            LayoutPage(nullptr, false);
        } else {
            // The last page is where Next Section stops.
            if (LastPage != kLastPageUnknown && CurrentPage >= LastPage - 1) break;
            if (CurrentPage + 1 >= int32_t(PageStarts.size())) LayoutPage(nullptr, false);
            if (CurrentPage + 1 >= int32_t(PageStarts.size())) break;
            ++CurrentPage;
            LayoutPage(nullptr, false);
            if (LastPage != kLastPageUnknown && CurrentPage >= LastPage) {
                CurrentPage = std::max(0, LastPage - 1);  // the empty page that marked the end
                break;
            }
        }
        if (PageStartsSection(CurrentPage)) break;
    }
    LayoutPage(nullptr, false);
    return true;
}

ContentsChooser::ContentsChooser(CBookEngine& doc) : ContentsChooser(doc, 0) {}

ContentsChooser::ContentsChooser(CBookEngine& doc, size_t firstListed) : doc_(doc) {
    for (size_t i = firstListed; i < doc.Contents.size(); ++i)
        if (!doc.Contents[i].title.empty()) rows_.push_back(i);
}

int ContentsChooser::EntryOf(int row) const {
    if (row < 0 || size_t(row) >= rows_.size()) return -1;
    return int(rows_[size_t(row)]);
}

std::vector<std::string> ContentsChooser::Titles() const {
    std::vector<std::string> titles;
    for (size_t index : rows_)
        titles.push_back(doc_.Contents[index].title);
    return titles;
}

std::string ContentsChooser::TitleOf(int row) const {
    if (row < 0 || size_t(row) >= rows_.size()) return "";
    return doc_.Contents[rows_[size_t(row)]].title;
}

TargetAction ContentsChooser::Choose(int row) {
    if (row < 0 || size_t(row) >= rows_.size()) return TargetAction::None;
    return doc_.OpenTarget(doc_.Contents[rows_[size_t(row)]].target);
}

}  // namespace pagewick
