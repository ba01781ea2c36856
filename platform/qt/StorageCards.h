// Storage cards, as the handheld reader knows them: the mounted removable volumes. A volume
// counts when it is mounted below one of the usual removable-media folders (/media, /run/media,
// /mnt) and is ready.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace pagewick {

struct StorageCard {
    std::string name;  // the volume's folder name, shown as its folder label
    std::string root;  // its mount point
};

// The cards mounted now, in mount-point order.
std::vector<StorageCard> MountedStorageCards();

// Whether a mount point lies below one of the removable-media folders.
bool IsRemovableMountPoint(const std::string& mountPoint);

// Where the reader asks for the cards (tests give their own list).
using StorageCardLister = std::function<std::vector<StorageCard>()>;

}  // namespace pagewick
