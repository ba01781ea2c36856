#include "library/Library.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <utility>

#include "engine/BookEngine.h"
#include "engine/PaginationFile.h"
#include "formats/EpubBook.h"
#include "formats/ZipArchive.h"
#include "pawk/PawkFile.h"
#include "pawk/PawkReader.h"
#include "util/AsciiCase.h"
#include "util/Cp1252.h"

namespace pagewick {

namespace {

constexpr char kSeparator = '/';
constexpr const char* kRootLabel = "eBooks/";
// A ZIP member's label is that of a file inside the archive, so the archive shows as its folder.
constexpr const char* kArchiveInnerName = "/filein.piz";
constexpr size_t kMagazineProbeBytes = 32767;
constexpr size_t kMagazineSearchEnd = 0x7ff0;
constexpr char kMagazineMark[] = "newsLEAFS";
constexpr size_t kMagazineMarkLength = sizeof kMagazineMark - 1;

// The last four characters of a name, or "" when it is shorter.
std::string Ending(const std::string& name) {
    return name.size() < 4 ? std::string() : name.substr(name.size() - 4);
}

// A file's name without its folder and without its extension (the name itself when nothing
// would be left).
std::string FileTitle(const std::string& path) {
    size_t slash = path.rfind(kSeparator);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

// The title a version 4 or 5 pagination file keeps for the book (or archive member).
bool PaginationTitle(const std::string& bookPath, std::string& title,
                     const std::string& member = {}) {
    return ReadPaginationTitle(PaginationFilePath(bookPath, member), title);
}

// The title in a PAWK book's header; false when the file is no PAWK book or has no title.
bool PawkTitle(const std::string& bookPath, std::string& title) {
    PawkDiskFile file(bookPath);
    if (!file.IsOpen()) return false;
    PawkReader reader;
    if (!reader.Open(file) || reader.Title().empty()) return false;
    title = CodePageLabelToUtf8(reader.Title());  // the header keeps Windows-1252
    return true;
}

bool SamePathIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && LowerAscii(a) == LowerAscii(b);
}

struct Scan {
    std::string root;  // without a trailing separator ("" for the file-system root)
    bool listHtml = false;
    bool searchZip = false;
    bool readTitles = true;
    size_t maxEntries = std::numeric_limits<size_t>::max();
    const std::atomic<bool>* stop = nullptr;
    bool full = false;  // one more book was found with the list at maxEntries
    std::vector<LibraryEntry>* entries = nullptr;
    const CBookEngine* openDoc = nullptr;
    std::vector<std::string> members;  // emptied before each archive

    // Nothing more is listed: the limit was passed or the caller gave up.
    bool Done() const { return full || (stop && stop->load(std::memory_order_relaxed)); }

    void Add(int32_t kind, const std::string& path, const std::string& labelPath, std::string title,
             std::string member = {}) {
        if (Done()) return;
        if (entries->size() >= maxEntries) {
            full = true;
            return;
        }
        if (!readTitles) title.clear();
        LibraryEntry entry;
        entry.kind = kind;
        entry.path = path;
        entry.member = std::move(member);
        entry.title = std::move(title);
        entry.folderLabel = LibraryFolderLabel(labelPath, root);
        entries->push_back(std::move(entry));
    }

    void AddLit(const std::string& path) {
        if (!readTitles) return Add(kLibraryLit, path, path, "");
        if (openDoc && !openDoc->BookPath.empty() &&
            SamePathIgnoringCase(openDoc->BookPath, path)) {
            // A book still without a title shows its file name, as a closed one would.
            Add(openDoc->Magazine ? kLibraryMagazine : kLibraryLit, path, path,
                openDoc->DocumentTitle.empty() ? FileTitle(path) : openDoc->DocumentTitle);
            return;
        }
        std::string title;
        if (!PaginationTitle(path, title)) title = FileTitle(path);
        Add(LitFileIsMagazine(path) ? kLibraryMagazine : kLibraryLit, path, path, title);
    }

    void AddArchive(const std::string& path) {
        members.clear();
        if (!ListZipMembers(path, members)) return;  // not an archive after all: passed over
        for (const std::string& member : members) {
            const int32_t kind = LibraryKindOfName(member);
            const bool html = kind == kLibraryHtml;
            if (kind != kLibraryText && !(html && listHtml)) continue;
            std::string title;
            if (readTitles && (!html || !PaginationTitle(path, title, member)))
                title = FileTitle(member);
            Add(kLibraryZipMember, path, path + kArchiveInnerName, title, member);
            if (Done()) return;
        }
    }

    void AddFile(const std::string& path, const std::string& name) {
        std::string title;
        switch (LibraryKindOfName(name)) {
            case kLibraryText:
                Add(kLibraryText, path, path, FileTitle(path));
                break;
            case kLibraryHtml:
                if (listHtml) Add(kLibraryHtml, path, path, FileTitle(path));
                break;
            case kLibraryLit:
                AddLit(path);
                break;
            case kLibraryPawk:
                if (readTitles && !PawkTitle(path, title)) title = FileTitle(path);
                Add(kLibraryPawk, path, path, title);
                break;
            case kLibraryEpub:
                if (readTitles && !EpubBookTitle(path, title)) title = FileTitle(path);
                Add(kLibraryEpub, path, path, title);
                break;
            case kLibraryZipMember:
                if (searchZip) AddArchive(path);
                break;
            default:
                break;
        }
    }

    void Folder(const std::string& folder, int depth) {
        namespace fs = std::filesystem;
        struct Item {
            std::string name;
            bool isFolder;
        };
        std::vector<Item> items;
        std::error_code error;
        fs::directory_iterator it(folder.empty() ? std::string(1, kSeparator) : folder,
                                  fs::directory_options::skip_permission_denied, error);
        if (error) return;
        for (; it != fs::directory_iterator(); it.increment(error)) {
            if (error) break;
            std::error_code statusError;
            fs::file_status status = it->symlink_status(statusError);
            if (statusError) continue;
            bool folderItem = fs::is_directory(status);
            if (fs::is_symlink(status)) {
                // Links to books are followed; links to folders are not (they may loop), and
                // broken links are passed over.
                status = it->status(statusError);
                if (statusError || !fs::is_regular_file(status)) continue;
            } else if (!folderItem && !fs::is_regular_file(status)) {
                continue;  // devices, pipes and sockets are not books
            }
            items.push_back({it->path().filename().string(), folderItem});
        }
        std::sort(items.begin(), items.end(),
                  [](const Item& a, const Item& b) { return a.name < b.name; });
        for (const Item& item : items) {
            if (Done()) return;
            std::string path = folder + kSeparator + item.name;
            if (item.isFolder) {
                if (item.name[0] != '.' && depth < kLibraryMaxDepth) Folder(path, depth + 1);
            } else {
                AddFile(path, item.name);
            }
        }
    }
};

}  // namespace

int32_t FormatCodeFromPath(const std::string& path, int32_t currentCode) {
    // The table's endings are lower case: one written otherwise is not theirs as it stands.
    const std::string ending = Ending(path);
    if (ending != LowerAscii(ending)) return currentCode;
    return SourceKindOfPath(path, currentCode);
}

bool LitFileIsMagazine(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string head(kMagazineProbeBytes, '\0');
    in.read(head.data(), std::streamsize(head.size()));
    size_t got = size_t(in.gcount());
    // Only bytes really read are searched: a short file cannot hold the mark past its end.
    for (size_t at = 0; at < kMagazineSearchEnd && at + kMagazineMarkLength <= got; ++at)
        if (std::memcmp(head.data() + at, kMagazineMark, kMagazineMarkLength) == 0) return true;
    return false;
}

std::string LibraryFolderLabel(const std::string& path, const std::string& root) {
    std::string trimmedRoot = root;
    while (!trimmedRoot.empty() && trimmedRoot.back() == kSeparator)
        trimmedRoot.pop_back();
    size_t slash = path.rfind(kSeparator);
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
    // Only the root at the front is taken away: the same text deeper down stays.
    if (folder.compare(0, trimmedRoot.size(), trimmedRoot) == 0)
        folder.erase(0, trimmedRoot.size());
    return folder.empty() ? std::string(kRootLabel) : folder;
}

void ScanLibrary(const std::string& root, bool listHtml, bool searchZip,
                 std::vector<LibraryEntry>& entries, const CBookEngine* openDoc) {
    if (root.empty()) return;
    Scan scan;
    scan.root = root;
    while (!scan.root.empty() && scan.root.back() == kSeparator)
        scan.root.pop_back();
    scan.listHtml = listHtml;
    scan.searchZip = searchZip;
    scan.entries = &entries;
    scan.openDoc = openDoc;
    scan.Folder(scan.root, 0);
}

bool ScanLibrary(const std::string& root, const LibraryScanOptions& options,
                 std::vector<LibraryEntry>& entries) {
    if (root.empty()) return false;
    Scan scan;
    scan.root = root;
    while (!scan.root.empty() && scan.root.back() == kSeparator)
        scan.root.pop_back();
    scan.listHtml = options.listHtml;
    scan.searchZip = options.searchZip;
    scan.readTitles = options.readTitles;
    scan.maxEntries = options.maxEntries;
    scan.stop = options.stop;
    scan.entries = &entries;
    if (entries.size() > scan.maxEntries) return true;
    scan.Folder(scan.root, 0);
    return scan.full;
}

void ReadLibraryTitle(LibraryEntry& entry) {
    if (!entry.title.empty()) return;
    const std::string& path = entry.path;
    switch (entry.kind) {
        case kLibraryLit:
        case kLibraryMagazine:
            if (LitFileIsMagazine(path)) entry.kind = kLibraryMagazine;
            if (!PaginationTitle(path, entry.title)) entry.title = FileTitle(path);
            break;
        case kLibraryZipMember: {
            const bool html = LibraryKindOfName(entry.member) == kLibraryHtml;
            if (!html || !PaginationTitle(path, entry.title, entry.member))
                entry.title = FileTitle(entry.member);
            break;
        }
        case kLibraryPawk:
        case kLibraryHelp:
            if (!PawkTitle(path, entry.title)) entry.title = FileTitle(path);
            break;
        case kLibraryEpub:
            if (!EpubBookTitle(path, entry.title)) entry.title = FileTitle(path);
            break;
        default:
            break;
    }
    if (entry.title.empty()) entry.title = FileTitle(path);
}

bool OpenLibraryEntry(CBookEngine& doc, const LibraryEntry& entry) {
    doc.CloseBook();  // the book open now keeps its place
    doc.BookPath = entry.path;
    // The open step says "Unknown file type." for a kind no format keeps.
    doc.SourceKind = SourceKindOfLibraryKind(entry.kind);
    doc.MemberName = SourceKindReadsMembers(doc.SourceKind) ? entry.member : std::string();
    // Set for every entry, so that no book after a magazine is taken for one.
    doc.Magazine = entry.kind == kLibraryMagazine;
    if (entry.kind == kLibraryText || entry.kind == kLibraryHtml) {
        // Plain files show their file name until a title is met.
        std::string name = entry.path.substr(entry.path.find_last_of('/') + 1);
        doc.DocumentTitle = name.substr(0, name.rfind('.'));
    }
    doc.PaginationPath = PaginationFilePath(entry.path, doc.MemberName);
    return doc.OpenBook();
}

}  // namespace pagewick
