// Following links: a click on a link of the drawn page, and a chosen contents entry, show a
// picture, play a media item, open an outside address (after asking) or jump to the place in
// the book, remembering the page left so that the reader can come back.
#include <algorithm>
#include <cstdio>

#include "engine/BookEngine.h"
#include "util/AsciiCase.h"

namespace pagewick {

namespace {

// The last extension of a name in lower case, a fragment or query left out ("" when none).
std::string LastExtension(const std::string& name) {
    std::string path = name.substr(0, name.find_first_of("#?"));
    size_t slash = path.find_last_of("/\\");
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return LowerAscii(path.substr(dot + 1));
}

}  // namespace

bool IsPictureTarget(const std::string& name) {
    std::string ext = LastExtension(name);
    return ext == "gif" || ext == "png" || ext == "jpg" || ext == "jpeg" || ext == "jpe" ||
           ext == "bmp";
}

bool IsMediaTarget(const std::string& name) {
    std::string ext = LastExtension(name);
    if (ext.empty() || ext.find("htm") != std::string::npos) return false;
    return ext == "wav" || ext == "avi" || ext == "mid" || ext == "midi" ||
           ext.compare(0, 2, "mp") == 0 || ext.compare(0, 2, "wm") == 0;
}

bool IsOutsideTarget(const std::string& name) {
    // A scheme: a letter, then letters, digits, "+", "-" or "."; two characters at least, so
    // that nothing mistakes a drive letter for one.
    size_t i = 0;
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (name.empty() || !letter(name[0])) return false;
    while (i < name.size() && (letter(name[i]) || (name[i] >= '0' && name[i] <= '9') ||
                               name[i] == '+' || name[i] == '-' || name[i] == '.'))
        ++i;
    return i >= 2 && i < name.size() && name[i] == ':';
}

std::vector<LinkRecord> CBookEngine::PageHits(bool picturesFirst) const {
    std::vector<LinkRecord> hits = picturesFirst ? PictureHits : Links;
    const std::vector<LinkRecord>& then = picturesFirst ? Links : PictureHits;
    hits.insert(hits.end(), then.begin(), then.end());
    return hits;
}

TargetAction CBookEngine::FollowLink(Point point) {
    for (const LinkRecord& link : PageHits()) {
        if (!link.rectValid) continue;
        if (point.x >= link.hit.left && point.x < link.hit.right && point.y >= link.hit.top &&
            point.y < link.hit.bottom)
            return OpenTarget(link.target);
    }
    return TargetAction::None;
}

TargetAction CBookEngine::OpenTarget(const std::string& target) {
    if (target.empty()) return TargetAction::None;
    if (IsOutsideTarget(target)) {
        if (!HostServices) return TargetAction::Declined;
        MessageAnswer answer =
            HostServices->ShowMessage("Visit external link?\r\n" + target, "Pagewick",
                                      MessageButtons::YesNo, MessageIcon::Question);
        if (answer != MessageAnswer::Yes) return TargetAction::Declined;
        HostServices->OpenWithShell(target);
        return TargetAction::Outside;
    }
    if (IsPictureTarget(target)) {
        CurrentTarget = target;
        return TargetAction::Picture;
    }
    if (IsMediaTarget(target)) {
        std::string name = target.substr(0, target.find('#'));
        size_t dot = name.find_last_of('.');
        bool temporary = false;
        std::string file =
            ItemFile(name, dot == std::string::npos ? "" : name.substr(dot), temporary);
        if (file.empty() || !HostServices) return TargetAction::None;
        HostServices->OpenWithShell(file);
        // The player has the file open before the next page deletes it.
        HostServices->Sleep(2000);
        if (temporary && std::find(TempFiles.begin(), TempFiles.end(), file) == TempFiles.end())
            TempFiles.push_back(file);
        return TargetAction::Media;
    }
    return GoToTarget(target) ? TargetAction::Jumped : TargetAction::None;
}

bool CBookEngine::GoToTarget(const std::string& target) {
    std::string key = LowerAscii(target);
    const int32_t from = std::clamp(CurrentPage, 0, int32_t(PageStarts.size()) - 1);
    if (!key.empty() && key[0] == '#') key = LowerAscii(FileNameAt(PageStarts[size_t(from)])) + key;
    if (key.find('#') == std::string::npos) key += '#';  // a whole file: its first anchor
    WaitWhileBusy();
    auto recorded = [&]() -> int32_t {
        for (const AnchorRecord& anchor : Anchors)
            if (anchor.name.size() == key.size() && LowerAscii(anchor.name) == key)
                return anchor.offset;
        if (key.back() == '#') return FileStartOffset(key.substr(0, key.size() - 1));
        return -1;
    };
    int32_t offset = recorded();
    if (offset < 0) {
        // Not met yet: walk forward to the page that defines it; the page stays when none does.
        if (!GoToAnchor(key)) return false;
        offset = recorded();
    }
    if (offset >= 0) {
        PaginateToOffset(offset);
        GoToOffset(offset);
    }
    LinkReturnPage = from;
    return true;
}

bool CBookEngine::ReturnFromLink() {
    if (LinkReturnPage < 0 || LinkReturnPage >= int32_t(PageStarts.size())) return false;
    CurrentPage = LinkReturnPage;
    LinkReturnPage = -1;
    return true;
}

}  // namespace pagewick
