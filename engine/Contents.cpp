// The book's contents: filled from a PAWK book's chapter list or a LIT book's package text, the
// cover shown once after the first page, the contents dialog's rows and choice, and the
// handheld's section steps.
#include "engine/Contents.h"

#include <algorithm>
#include <unordered_set>

#include "engine/Cp1252.h"
#include "util/AsciiCase.h"

namespace pagewick {

namespace {

// The value written after `key` ("href=") from `from` on: in double or single quotes, or up to
// a space or ">". npos in `end` when there is none.
std::string ValueAfter(const std::string& text, const std::string& key, size_t from, size_t& end) {
    end = std::string::npos;
    size_t at = text.find(key, from);
    if (at == std::string::npos) return "";
    at += key.size();
    if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
        size_t close = text.find(text[at], at + 1);
        if (close == std::string::npos) return "";
        end = close + 1;
        return text.substr(at + 1, close - at - 1);
    }
    size_t stop = text.find_first_of(" \t\r\n>", at);
    if (stop == std::string::npos) stop = text.size();
    end = stop;
    return text.substr(at, stop - at);
}

}  // namespace

void CBookEngine::BuildPawkContents(const std::vector<ContentsEntry>& chapters,
                                    const std::string& cover) {
    Contents.clear();
    for (const ContentsEntry& chapter : chapters)
        Contents.push_back(ContentsEntry{Cp1252ToUtf8(chapter.title), chapter.target});
    CoverTarget = cover;
}

void CBookEngine::BuildLitContents(const std::string& text) {
    Contents.clear();
    CoverTarget.clear();
    size_t end = 0;
    size_t cover = text.find("other.ms-coverimage-standard");
    if (cover != std::string::npos) {
        std::string target = ValueAfter(text, "href=", cover, end);
        if (!target.empty()) {
            Contents.push_back(ContentsEntry{"Cover Image", target});
            CoverTarget = target;
        }
    }
    size_t tours = text.find("<tours>");
    size_t at = tours == std::string::npos ? tours : text.find("tour id=\"chaptertour\"", tours);
    while (at != std::string::npos) {
        size_t site = text.find("site title=\"", at);
        if (site == std::string::npos) break;
        size_t titleStart = site + 12;
        // A title runs to the double quote that a space follows: it may hold quotes itself.
        size_t titleEnd = text.find("\" ", titleStart);
        if (titleEnd == std::string::npos) break;
        std::string target = ValueAfter(text, "href=", titleEnd, end);
        if (end == std::string::npos) break;
        Contents.push_back(
            ContentsEntry{Cp1252ToUtf8(text.substr(titleStart, titleEnd - titleStart)), target});
        at = end;
    }
    MarkupMode = true;
}

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
    if (SourceKind != kSourceLit && SourceKind != kSourcePawk) {
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

ContentsChooser::ContentsChooser(CBookEngine& doc) : doc_(doc) {
    for (size_t i = 0; i < doc.Contents.size(); ++i)
        if (!doc.Contents[i].title.empty()) rows_.push_back(i);
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
