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
void ScanRoot(const std::string& root, const std::string& label, bool listHtml, bool searchZip,
              DeviceLibrary& library) {
    std::error_code ec;
    if (root.empty() || !fs::is_directory(root, ec)) return;
    std::vector<LibraryEntry> found;
    ScanLibrary(root, listHtml, searchZip, found);
    for (LibraryEntry& entry : found) {
        if (library.entries.size() >= kMaxLibraryBooks) {
            library.overLimit = true;
            return;
        }
        entry.folderLabel = label;
        library.entries.push_back(std::move(entry));
    }
}
}  // namespace

DeviceLibrary BuildDeviceLibrary(const std::string& helpBook, const std::string& documents,
                                 const std::vector<StorageCard>& cards, bool listHtml,
                                 bool searchZip) {
    DeviceLibrary library;
    std::error_code ec;
    if (!helpBook.empty() && fs::is_regular_file(helpBook, ec))
        library.entries.push_back(
            LibraryEntry{kLibraryHelp, helpBook, "", "Pagewick Help", kDocumentsLabel});
    ScanRoot(documents, kDocumentsLabel, listHtml, searchZip, library);
    for (const StorageCard& card : cards)
        ScanRoot(card.root, "/" + card.name, listHtml, searchZip, library);
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
