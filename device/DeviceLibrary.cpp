#include "device/DeviceLibrary.h"

#include <algorithm>
#include <filesystem>

namespace wickpad {
using namespace pagewick;
namespace fs = std::filesystem;

const char* const kTooManyBooks =
    "Performance warning:\r\nDisplaying only the first 2000 eBooks found.\r\nUse File Explorer "
    "to open others.";
const char* const kTooManyInFolder =
    "Performance warning:\r\nDisplaying only the first 255 eBooks in this folder.\r\nUse File "
    "Explorer to open others.";
const char* const kNoBooksTall =
    "No .PaWK, .txt, .lit or .zip (containing .txt) files found on device or external storage "
    "(if installed.)\r\nFind free eBooks at https://www.gutenberg.org/ebooks/";
const char* const kNoBooksWide =
    "No .txt, .lit or .zip (containing .txt) files found on device or external storage (if "
    "installed.)\r\nFind free eBooks at https://www.gutenberg.org/ebooks/";
const char* const kDocumentsLabel = "/my documents";

namespace {
// Scans one root into the list under one label; the total stays within the limit.
void ScanRoot(const std::string& root, const std::string& label, const LibraryScanOptions& options,
              DeviceLibrary& library) {
    std::error_code ec;
    if (library.overLimit || root.empty() || !fs::is_directory(root, ec)) return;
    const size_t first = library.entries.size();
    library.overLimit = ScanLibrary(root, options, library.entries);
    for (size_t i = first; i < library.entries.size(); ++i)
        library.entries[i].folderLabel = label;
}
}  // namespace

DeviceLibrary BuildDeviceLibrary(const std::string& helpBook, const std::string& documents,
                                 const std::vector<StorageCard>& cards, bool listHtml,
                                 bool searchZip, const std::atomic<bool>* stop) {
    DeviceLibrary library;
    std::error_code ec;
    if (!helpBook.empty() && fs::is_regular_file(helpBook, ec))
        library.entries.push_back(
            LibraryEntry{kLibraryHelp, helpBook, "", "Pagewick Help", kDocumentsLabel});
    LibraryScanOptions options;
    options.listHtml = listHtml;
    options.searchZip = searchZip;
    options.maxEntries = kMaxLibraryBooks;
    options.readTitles = false;
    options.stop = stop;
    ScanRoot(documents, kDocumentsLabel, options, library);
    for (const StorageCard& card : cards)
        ScanRoot(card.root, "/" + card.name, options, library);
    return library;
}

std::vector<std::string> LibraryFolders(const std::vector<LibraryEntry>& entries) {
    std::vector<std::string> folders;
    for (const LibraryEntry& entry : entries)
        if (std::find(folders.begin(), folders.end(), entry.folderLabel) == folders.end())
            folders.push_back(entry.folderLabel);
    return folders;
}

}  // namespace wickpad
