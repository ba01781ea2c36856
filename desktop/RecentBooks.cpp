#include "desktop/RecentBooks.h"

#include <algorithm>
#include <filesystem>

#include "formats/ZipArchive.h"

namespace wickstand {
namespace fs = std::filesystem;

namespace {

// The separators of the stored value stand in a field as escapes.
std::string EscapeField(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string UnescapeField(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char next = text[++i];
            out += next == 't' ? '\t' : next == 'n' ? '\n' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

// "&" marks the mnemonic in a menu text: a file name's own is doubled.
std::string MenuEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&') out += '&';
        out += c;
    }
    return out;
}

}  // namespace

std::string RecentBooks::Encode(const std::vector<RecentBook>& books) {
    std::string value;
    for (const RecentBook& book : books) {
        if (book.path.empty()) continue;
        if (!value.empty()) value += '\n';
        value += EscapeField(book.path);
        if (!book.member.empty()) value += '\t' + EscapeField(book.member);
    }
    return value;
}

std::vector<RecentBook> RecentBooks::Decode(const std::string& value) {
    std::vector<RecentBook> books;
    size_t at = 0;
    while (at <= value.size() && books.size() < kMaxBooks) {
        size_t end = value.find('\n', at);
        if (end == std::string::npos) end = value.size();
        std::string line = value.substr(at, end - at);
        at = end + 1;
        size_t tab = line.find('\t');
        RecentBook book{
            UnescapeField(line.substr(0, tab)),
            tab == std::string::npos ? std::string() : UnescapeField(line.substr(tab + 1))};
        if (!book.path.empty() && std::find(books.begin(), books.end(), book) == books.end())
            books.push_back(std::move(book));
    }
    return books;
}

std::vector<RecentBook> RecentBooks::List() const {
    return Decode(host_.GetSetting(kRecentBooksSection, kRecentBooksValue, ""));
}

void RecentBooks::Store(const std::vector<RecentBook>& books) {
    host_.SetSetting(kRecentBooksSection, kRecentBooksValue, Encode(books));
}

void RecentBooks::Add(const RecentBook& book) {
    if (book.path.empty()) return;
    std::vector<RecentBook> books = List();
    std::erase(books, book);
    books.insert(books.begin(), book);
    if (books.size() > kMaxBooks) books.resize(kMaxBooks);
    Store(books);
}

void RecentBooks::Remove(const RecentBook& book) {
    std::vector<RecentBook> books = List();
    if (std::erase(books, book)) Store(books);
}

void RecentBooks::RemovePath(const std::string& path) {
    std::vector<RecentBook> books = List();
    if (std::erase_if(books, [&](const RecentBook& b) { return b.path == path; })) Store(books);
}

std::string RecentBooks::MenuText(size_t index, const RecentBook& book) {
    const std::string number = std::to_string(index + 1);
    // The last digit is the mnemonic: "&1" to "&9", then "1&0".
    std::string text = number.substr(0, number.size() - 1) + "&" + number.back() + " ";
    if (book.member.empty()) return text + MenuEscape(fs::path(book.path).filename().string());
    return text + MenuEscape(fs::path(book.member).filename().string()) + " (" +
           MenuEscape(fs::path(book.path).filename().string()) + ")";
}

bool RecentBooks::StillThere(const RecentBook& book) {
    std::error_code ec;
    if (!fs::is_regular_file(book.path, ec)) return false;
    if (book.member.empty()) return true;
    std::vector<std::string> members;
    if (!pagewick::ListZipMembers(book.path, members)) return false;
    return std::find(members.begin(), members.end(), book.member) != members.end();
}

}  // namespace wickstand
