#include "formats/TextReaders.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string_view>

#include "engine/BookEngine.h"

namespace pagewick {

namespace {

bool Holds(const std::vector<uint8_t>& buffer, size_t length, std::string_view what) {
    length = std::min(length, buffer.size());
    auto begin = buffer.begin(), end = buffer.begin() + std::ptrdiff_t(length);
    return std::search(begin, end, what.begin(), what.end()) != end;
}

// The decision made by the read at position 0.
void DecideMode(CBookEngine& doc, bool upperCaseToo) {
    const auto& a = doc.WindowA;
    if (a.size() >= 2 && a[0] == 0xFF && a[1] == 0xFE) {
        doc.Wide = true;
        doc.MarkupMode = false;
        return;
    }
    doc.Wide = false;
    size_t window = size_t(doc.WindowSize);
    doc.MarkupMode = Holds(a, window, "<html") || (upperCaseToo && Holds(a, window, "<HTML"));
}

}  // namespace

OpenResult TextFileReader::Open(CBookEngine& doc) {
    std::ifstream file(doc.BookPath, std::ios::binary | std::ios::ate);
    if (!file) return OpenResult::CannotOpen;
    std::streamoff size = file.tellg();
    if (size < 0) return OpenResult::CannotOpen;
    // Positions are 32-bit: a larger file is read to its first 2 GB.
    doc.TextLength = uint32_t(std::min<std::streamoff>(size, 0x7fffffff));
    return OpenResult::Opened;
}

bool TextFileReader::ReadWindow(CBookEngine& doc, uint32_t position) {
    const size_t window = size_t(doc.WindowSize);
    std::fill(doc.WindowA.begin(), doc.WindowA.end(), 0);
    std::fill(doc.WindowB.begin(), doc.WindowB.end(), 0);
    std::ifstream file(doc.BookPath, std::ios::binary);
    if (!file) return false;  // the book went away: the window holds nothing
    file.seekg(std::streamoff(position));
    file.read(reinterpret_cast<char*>(doc.WindowA.data()), std::streamsize(window));
    if (file.gcount() == std::streamsize(window))
        file.read(reinterpret_cast<char*>(doc.WindowB.data()), std::streamsize(window + 2));
    if (position == 0) DecideMode(doc, true);
    return true;
}

OpenResult ZipMemberReader::Open(CBookEngine& doc) {
    if (!stream_.Open(doc.BookPath, doc.MemberName)) return OpenResult::CannotOpen;
    doc.TextLength = uint32_t(std::min<uint64_t>(stream_.Size(), 0x7fffffff));
    return OpenResult::Opened;
}

bool ZipMemberReader::ReadWindow(CBookEngine& doc, uint32_t position) {
    const size_t window = size_t(doc.WindowSize);
    std::fill(doc.WindowA.begin(), doc.WindowA.end(), 0);
    std::fill(doc.WindowB.begin(), doc.WindowB.end(), 0);
    // Two windows and the extra character of the second, in one read of the member.
    std::vector<uint8_t> collected(2 * window + 2);
    int64_t got = stream_.ReadAt(position, collected.data(), collected.size());
    if (got < 0) return false;
    size_t n = size_t(got);
    std::memcpy(doc.WindowA.data(), collected.data(), std::min(n, window));
    if (n > window) std::memcpy(doc.WindowB.data(), collected.data() + window, n - window);
    if (position == 0) DecideMode(doc, false);  // a member knows only the lower-case "<html"
    return true;
}

void PlainTitleText(std::string& text) {
    static const std::pair<std::string_view, std::string_view> kReplace[] = {
        {"\r", "-"},          {"\n", "-"},          {"&nbsp;", " "},      {"&quot;", "\""},
        {"&apos;", "'"},      {"&amp;", "&"},       {"&gt;", ">"},        {"&lt;", "<"},
        {"&reg;", "\xAE"},    {"&copy;", "\xA9"},   {"&mdash;", "-"},     {"&ndash;", "-"},
        {"&middot;", "\xB7"}, {"&plusmn;", "\xB1"}, {"&deg;", "\xB0"},    {"&laquo;", "\xAB"},
        {"&raquo;", "\xBB"},  {"&micro;", "\xB5"},  {"&iquest;", "\xBF"}, {"&euro;", "E"},
        {"&sbquo;", ""},      {"&hellip;", ""},     {"&dagger;", "'"},    {"&permil;", ""},
        {"&bull;", "\xB7"},   {"&trade;", "(tm)"},
    };
    for (const auto& [from, to] : kReplace) {
        std::string out;
        size_t at = 0;
        for (size_t hit; (hit = text.find(from, at)) != std::string::npos; at = hit + from.size()) {
            out.append(text, at, hit - at);
            out.append(to);
        }
        out.append(text, at, std::string::npos);
        text.swap(out);
    }
}

}  // namespace pagewick
