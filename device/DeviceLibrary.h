// The handheld's book list: the help book first, then the books of the documents folder and of
// every storage card, each root listed under one folder label; at most 2,000 books in all.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "library/Library.h"
#include "platform/qt/StorageCards.h"

namespace wickpad {

constexpr size_t kMaxLibraryBooks = 2000;
constexpr size_t kMaxFolderBooks = 255;
extern const char* const kTooManyBooks;
extern const char* const kTooManyInFolder;
extern const char* const kNoBooksTall;
extern const char* const kNoBooksWide;
extern const char* const kDocumentsLabel;

struct DeviceLibrary {
    std::vector<pagewick::LibraryEntry> entries;
    bool overLimit = false;  // more than kMaxLibraryBooks were found
};

// helpBook: the help book's path, listed first when the file exists. The scan stops at the
// 2,000th book (a slow card is not read to its end for books that would not be listed) and as
// soon as `stop` is set; titles are left empty for the list to read for the folder it shows
// (ReadLibraryTitle), except the help book's.
DeviceLibrary BuildDeviceLibrary(const std::string& helpBook, const std::string& documents,
                                 const std::vector<pagewick::StorageCard>& cards, bool listHtml,
                                 bool searchZip, const std::atomic<bool>* stop = nullptr);

// The folder labels in order of first appearance.
std::vector<std::string> LibraryFolders(const std::vector<pagewick::LibraryEntry>& entries);

}  // namespace wickpad
