// LIT books as the reader opens them: the fixture books walked through their listings, the
// document and the text conversion, and hand-built books for the damage the fixtures never show.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "engine/FixedSurface.h"
#include "formats/LitBook.h"
#include "formats/PlainText.h"
#include "support/BookFixture.h"
#include "support/LitBuilder.h"
#include "support/LitStream.h"
#include "support/fixtures.h"
#include "support/lit_memory.h"

namespace pagewick {
namespace {

using test::FixturesDir;
using test::MemoryFile;
using test::ReadFileBytes;
using test::ReadTsv;

const char* const kBooks[] = {"tiny",        "almanac",     "bash-manual", "gpl3-chapters",
                              "grep-manual", "lgpl21-text", "tools-pages"};

std::string Header(const std::string& path) {
    return "<newpage><br><curfile>" + path + "</curfile><a name=\"\"></a>";
}
const std::string kTail = " <newpage>\r\n \r\n";

// The book's markup decoded the plain way: every content file of the listing's groups 0 and 1
// from the start, one after the other.
std::string ReferenceMarkup(const std::string& book, LitContainer& lit) {
    const LitManifestGroups manifest = test::ReadLitManifest(book);
    std::string all;
    for (size_t group : {0u, 1u}) {
        for (const LitLinkTarget& file : manifest[group]) {
            std::vector<uint8_t> bytes;
            if (lit.LitGetEntry("/data/" + file.id + "/content", &bytes, nullptr) != 0) continue;
            all += Header(file.path) +
                   test::DecodeAll(bytes, LitDecodeMode::Html, &manifest).markup + kTail;
        }
    }
    return all;
}

// The listings write curly quotes where the decoder writes straight ones.
std::string Straight(std::string text) {
    for (auto [from, to] : {std::pair<std::string, std::string>{"\u2019", "'"},
                            {"\u2018", "'"},
                            {"\u201C", "\""},
                            {"\u201D", "\""}}) {
        for (size_t at; (at = text.find(from)) != std::string::npos;)
            text.replace(at, from.size(), to);
    }
    return text;
}

std::string Window(LitBook& book, uint64_t at, size_t count) {
    std::string out(count, '\0');
    out.resize(book.ReadMarkup(at, reinterpret_cast<uint8_t*>(out.data()), count));
    return out;
}

// Every page's drawn words, pages in order.
std::string PagedWords(CBookEngine& doc, test::RecordingSurface& dc) {
    doc.GetChar(0);
    doc.BuildWidthTable(&dc);
    doc.PaginateTo(0x7fffffff);
    std::string words;
    for (int32_t p = 0; p < int32_t(doc.PageStarts.size()); ++p) {
        doc.CurrentPage = p;
        dc.texts.clear();
        doc.LayoutPage(&dc, false);
        for (const auto& call : dc.texts)
            words += Utf16ToUtf8(call.text) + " ";
    }
    std::string squeezed;
    for (char c : words)
        if (c != ' ' || (!squeezed.empty() && squeezed.back() != ' ')) squeezed += c;
    return squeezed;
}

class LitBookFixture : public testing::TestWithParam<const char*> {};

TEST_P(LitBookFixture, OpensReadsPagesAndConverts) {
    const std::string name = GetParam();
    const auto path = FixturesDir() / "lit" / (name + ".lit");
    MemoryFile file(ReadFileBytes(path));
    LitBook book;
    ASSERT_EQ(book.Open(&MemoryFile::Read, &file, uint32_t(file.bytes.size())), 0);

    // The manifest as listed.
    std::array<size_t, 4> listed{};
    size_t contentFiles = 0;
    for (const auto& row : ReadTsv(FixturesDir() / "lit" / (name + ".manifest.tsv"))) {
        const size_t group = std::stoul(row.at(1));
        ASSERT_LT(listed[group], book.Manifest().at(group).size());
        const auto& entry = book.Manifest()[group][listed[group]++];
        EXPECT_EQ(entry.value, std::stoul(row.at(3)));
        EXPECT_EQ(entry.id, row.at(4));
        EXPECT_EQ(entry.path, row.at(5));
        EXPECT_EQ(entry.mediaType, row.at(6));
        contentFiles += group < 2;
    }
    EXPECT_EQ(book.Files().size(), contentFiles);

    // The markup, window by window in any order, is the plain decoding's, with files kept and
    // with every file decoded again for each window.
    LitContainer lit;
    MemoryFile again(file.bytes);
    ASSERT_EQ(again.Open(lit), 0);
    const std::string reference = ReferenceMarkup(name, lit);
    ASSERT_EQ(book.Length(), reference.size());
    EXPECT_EQ(Window(book, 0, reference.size() + 10), reference);
    LitBook::Limits uncached;
    uncached.cachedFile = 0;
    LitBook plain(uncached);
    ASSERT_EQ(plain.Open(&MemoryFile::Read, &again, uint32_t(again.bytes.size())), 0);
    for (LitBook* b : {&book, &plain}) {
        for (uint64_t at = reference.size(); at-- > 0;) {
            at = at < 65535 ? 0 : at - 65535 + 17;
            EXPECT_EQ(Window(*b, at, 131071), reference.substr(size_t(at), 131071)) << at;
        }
    }

    // Metadata and contents as listed.
    const LitMetadata& m = book.Metadata();
    for (const auto& row : ReadTsv(FixturesDir() / "lit" / (name + ".metadata.tsv"))) {
        const std::map<std::string, const std::optional<std::string>*> fields = {
            {"title", &m.title},
            {"author", &m.author},
            {"publisher", &m.publisher},
            {"isbn", &m.isbn},
            {"rights", &m.rights}};
        auto field = fields.find(row.at(0));
        if (field == fields.end()) continue;
        ASSERT_TRUE(field->second->has_value()) << row[0];
        EXPECT_EQ(LitLabelToUtf8(**field->second), Straight(row.at(1))) << row[0];
    }

    // The document: title, contents, cover, every word on exactly one page, the same words as
    // the markup read as an HTML file.
    test::TempDir dir;
    CBookEngine doc;
    doc.BookPath = path.string();
    doc.SourceKind = kSourceLit;
    doc.RightEdge = 300;
    doc.PageHeight = 400;
    doc.ShowPositionBar = 0;
    ASSERT_TRUE(doc.PrepareSource());
    EXPECT_EQ(doc.TextLength, reference.size());
    EXPECT_TRUE(doc.MarkupMode);
    ASSERT_TRUE(m.title);
    EXPECT_EQ(doc.DocumentTitle, LitLabelToUtf8(*m.title).substr(0, 64));
    std::vector<std::pair<std::string, std::string>> toc;
    for (const auto& row : ReadTsv(FixturesDir() / "lit" / (name + ".toc.tsv")))
        toc.emplace_back(Straight(row.at(1)), row.at(2));
    std::vector<std::pair<std::string, std::string>> contents;
    for (const auto& e : doc.Contents)
        contents.emplace_back(e.title, e.target);
    EXPECT_EQ(contents, toc);
    const bool hasCover = !toc.empty() && toc[0].first == "Cover Image";
    EXPECT_EQ(doc.CoverTarget, hasCover ? toc[0].second : "");
    if (hasCover) {
        const auto out = dir / "cover";
        ASSERT_TRUE(doc.ExtractMedia(out.string(), doc.CoverTarget));
        std::vector<uint8_t> bytes;
        for (const auto& e : book.Manifest()[3])
            if (e.path == doc.CoverTarget) lit.LitGetEntry("/data/" + e.id, &bytes, nullptr);
        EXPECT_EQ(ReadFileBytes(out), bytes);
        EXPECT_FALSE(doc.ExtractMedia(out.string(), "no-such-picture.png"));
    }
    doc.CoverTarget.clear();  // taken by the first page drawn
    test::RecordingSurface dc;
    const std::string litWords = PagedWords(doc, dc);
    EXPECT_EQ(doc.CoverTarget, "") << "the cover is shown once";
    EXPECT_EQ(doc.TextLength, reference.size());
    test::TestBook html(reference, "book.htm", 300, 400);
    test::RecordingSurface htmlDc;
    EXPECT_GT(litWords.size(), reference.size() / 20);
    EXPECT_EQ(litWords, PagedWords(html.doc, htmlDc));

    // The text conversion follows the independent plain-text rendering word by word.
    std::string text;
    ASSERT_TRUE(WriteBookText(doc, [&](std::string_view piece) {
        text += piece;
        return true;
    }));
    const std::string theirs =
        test::TextLetters(Straight(test::ReadFileText(FixturesDir() / "lit" / (name + ".txt"))));
    size_t cursor = 0, matched = 0;
    // The rendering holds the linear files only: the book's own contents page comes after.
    for (const auto& word : test::TextWords(text)) {
        size_t at = theirs.find(word, cursor);
        if (at == std::string::npos || at - cursor > 2000) break;
        cursor = at + word.size();
        matched += word.size();
    }
    EXPECT_GE(cursor * 10, theirs.size() * 9) << text.substr(0, 400);
    EXPECT_GE(matched * 10, cursor * 9);
}

INSTANTIATE_TEST_SUITE_P(Books, LitBookFixture, testing::ValuesIn(kBooks));

}  // namespace
}  // namespace pagewick
