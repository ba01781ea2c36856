#include "platform/qt/StorageCards.h"

#include <QStorageInfo>
#include <algorithm>
#include <filesystem>

namespace pagewick {

bool IsRemovableMountPoint(const std::string& mountPoint) {
    for (const char* prefix : {"/media/", "/run/media/", "/mnt/"}) {
        const std::string p(prefix);
        if (mountPoint.size() > p.size() && mountPoint.compare(0, p.size(), p) == 0) return true;
    }
    return false;
}

std::vector<StorageCard> MountedStorageCards() {
    std::vector<StorageCard> cards;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
        std::string root = volume.rootPath().toStdString();
        if (!IsRemovableMountPoint(root)) continue;
        std::string name = std::filesystem::path(root).filename().string();
        if (name.empty()) continue;
        cards.push_back(StorageCard{name, root});
    }
    std::sort(cards.begin(), cards.end(),
              [](const StorageCard& a, const StorageCard& b) { return a.root < b.root; });
    return cards;
}

}  // namespace pagewick
