#include "support/BookFixture.h"

#include <algorithm>

#include "engine/PaginationFile.h"

namespace pagewick::test {

TestBook::TestBook(const std::string& bytes, const std::string& name, int width, int height) {
    WriteFileText(dir / name, bytes);
    doc.BookPath = (dir / name).string();
    doc.SourceKind = kSourceText;
    doc.LeftEdge = 0;
    doc.RightEdge = width;
    doc.TopEdge = 0;
    doc.PageHeight = height;
    doc.ShowPositionBar = 0;
    Open();
}

bool TestBook::Open() {
    bool ok = doc.PrepareSource();
    doc.GetChar(0);  // decide the character width first, as the first paint does
    doc.BuildWidthTable(&dc);
    return ok;
}

std::vector<std::string> TestBook::Lines(int page) {
    doc.CurrentPage = page;
    dc.texts.clear();
    doc.LayoutPage(&dc, false);
    std::map<int, std::vector<RecordingSurface::TextCall>> rows;
    for (const auto& call : dc.texts)
        rows[call.y].push_back(call);
    std::vector<std::string> lines;
    for (auto& [y, calls] : rows) {
        std::stable_sort(calls.begin(), calls.end(),
                         [](const auto& a, const auto& b) { return a.x < b.x; });
        std::u16string text;
        for (const auto& c : calls)
            text += c.text;
        lines.push_back(Utf8(text));
    }
    return lines;
}

int TestBook::PageCount() {
    doc.PaginateTo(0x7fffffff);
    return int(doc.PageStarts.size());
}

std::string TestBook::AllPages() {
    int pages = PageCount();
    std::string out;
    for (int p = 0; p < pages; ++p) {
        if (p) out += "|";
        std::string page;
        for (const auto& line : Lines(p)) {
            if (!page.empty() && page.back() != ' ') page += ' ';
            page += line;
        }
        while (!page.empty() && page.back() == ' ')
            page.pop_back();
        out += page;
    }
    return out;
}

PlacedBook::PlacedBook(const std::string& bytes, const std::string& name) {
    WriteFileText(dir / name, bytes);
    doc.BookPath = (dir / name).string();
    doc.PaginationPath = PaginationFilePath(doc.BookPath);
    doc.SourceKind = kSourceText;
    doc.RightEdge = 100;
    doc.PageHeight = 100;
    doc.ShowPositionBar = 0;
    Open();
}

void PlacedBook::Reopen() {
    doc.CloseBook();  // which lets the book go, its pagination path too
    doc.PaginationPath = PaginationFilePath(doc.BookPath);
    Open();
}

std::string Utf16Bytes(const std::u16string& text, bool withMark) {
    std::string out;
    if (withMark) out += "\xFF\xFE";
    for (char16_t c : text) {
        out += char(c & 255);
        out += char(c >> 8);
    }
    return out;
}

}  // namespace pagewick::test
