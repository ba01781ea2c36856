// One line of a book's contents: its title (UTF-8) and the place it leads to ("file#anchor", a
// picture, a media file or an outside address), as the readers, the builder and the contents
// dialog pass it.
#pragma once

#include <string>

namespace pagewick {

struct ContentsEntry {
    std::string title;
    std::string target;
};

}  // namespace pagewick
