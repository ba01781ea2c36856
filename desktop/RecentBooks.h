// The last ten books opened in Wickstand, newest first, each a file or a member of a ZIP
// archive, kept in the program's section of the settings store as one value ("RecentBooks": one
// line a book, the archive and its member separated by a tab), so that an update is one write.
#pragma once

#include <string>
#include <vector>

#include "util/Host.h"

namespace wickstand {

// The section of the settings store that holds Wickstand's own values.
inline constexpr const char* kRecentBooksSection = pagewick::kRegistrySection;
inline constexpr const char* kRecentBooksValue = "RecentBooks";

struct RecentBook {
    std::string path;    // the file, or the archive of a ZIP member
    std::string member;  // empty unless the book is a member of a ZIP archive
    bool operator==(const RecentBook&) const = default;
};

class RecentBooks {
public:
    static constexpr size_t kMaxBooks = 10;

    explicit RecentBooks(pagewick::Host& host) : host_(host) {}

    std::vector<RecentBook> List() const;
    // Puts the book first (once), keeping at most ten.
    void Add(const RecentBook& book);
    void Remove(const RecentBook& book);
    // Every entry of the file, the members of an archive included (the file was deleted).
    void RemovePath(const std::string& path);

    // The menu text of the entry at index (0 to 9): "&1 Dune.pawk", "1&0 story.txt (tales.zip)".
    static std::string MenuText(size_t index, const RecentBook& book);
    // True when the file, and for a member the member in its archive, are still there.
    static bool StillThere(const RecentBook& book);

    // The stored value and back; lines that hold nothing are dropped.
    static std::string Encode(const std::vector<RecentBook>& books);
    static std::vector<RecentBook> Decode(const std::string& value);

private:
    void Store(const std::vector<RecentBook>& books);
    pagewick::Host& host_;
};

}  // namespace wickstand
