// DecodeLitBinary on compiled entries of books made by an independent LIT writer, compared with
// that tool's own decoding and plain-text rendering.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "LitStream.h"
#include "formats/lit/LitBinary.h"
#include "support/fixtures.h"

namespace pagewick {
namespace {

using test::FixturesDir;
using test::ReadFileBytes;
using test::ReadFileText;

std::vector<std::vector<std::string>> ReadTsv(const std::filesystem::path& path) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(ReadFileText(path));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');)
            fields.push_back(cell);
        rows.push_back(std::move(fields));
    }
    return rows;
}

LitManifestGroups ReadManifest(const std::string& book) {
    LitManifestGroups groups;
    for (const auto& row : ReadTsv(FixturesDir() / "lit" / (book + ".manifest.tsv"))) {
        groups.at(std::stoul(row.at(1))).push_back({row.at(4), row.at(5)});
    }
    return groups;
}

// The raw entry file of a book whose entry name matches `pattern`.
std::filesystem::path RawEntry(const std::string& book, const std::regex& pattern,
                               std::string* name = nullptr) {
    const auto dir = FixturesDir() / "lit" / (book + ".raw");
    for (const auto& row : ReadTsv(dir / "index.tsv")) {
        if (std::regex_match(row.at(1), pattern)) {
            if (name != nullptr) *name = row.at(1);
            return dir / row.at(0);
        }
    }
    ADD_FAILURE() << "no matching raw entry in " << book;
    return {};
}

// href and src values in order.
std::vector<std::string> Links(const std::string& markup) {
    static const std::regex link(R"((?:href|src)="([^"]*)\")");
    std::vector<std::string> out;
    for (auto it = std::sregex_iterator(markup.begin(), markup.end(), link);
         it != std::sregex_iterator(); ++it) {
        out.push_back((*it)[1]);
    }
    return out;
}

// How many letters a plain-text rendering may add between two decoded words (list numbers and the
// like).
constexpr size_t kWindow = 200;

class RawBook : public ::testing::TestWithParam<const char*> {};

TEST_P(RawBook, FirstContentFileDecodesLikeTheWritersOwnReader) {
    const std::string book = GetParam();
    const LitManifestGroups manifest = ReadManifest(book);
    std::string entry;
    const auto bytes = ReadFileBytes(RawEntry(book, std::regex("/data/.*/content"), &entry));
    const auto d = test::DecodeAll(bytes, LitDecodeMode::Html, &manifest);
    ASSERT_EQ(d.result, static_cast<long>(bytes.size())) << entry;
    EXPECT_TRUE(d.markup.ends_with("</html><a name=\"\"></a>"));

    // Its words come in the order of the plain-text rendering, and few of that text's words are
    // missing on the way.
    const auto text = test::TextLetters(ReadFileText(FixturesDir() / "lit" / (book + ".txt")));
    const auto words = test::MarkupWords(d.markup);
    ASSERT_GT(words.size(), 5u);
    size_t cursor = 0;
    EXPECT_EQ(test::FindInOrder(words, text, cursor, kWindow), "");
    size_t letters = 0;
    for (const auto& w : words)
        letters += w.size();
    EXPECT_GE(letters * 10, cursor * 9) << letters << " letters over " << cursor;

    // Links resolve to the same paths as in the writer's own decoding.
    const std::string id = entry.substr(6, entry.size() - 6 - 8);
    const auto oracle = FixturesDir() / "lit" / (book + ".decoded") / (id + ".html");
    if (std::filesystem::exists(oracle)) {
        EXPECT_EQ(Links(d.markup), Links(ReadFileText(oracle)));
    }
}

// The fields a reader cuts out of the package text by plain search.
std::string Between(const std::string& text, const std::string& open, const std::string& close) {
    const size_t a = text.find(open);
    if (a == std::string::npos) return "";
    const size_t b = text.find(close, a + open.size());
    return b == std::string::npos ? "" : text.substr(a + open.size(), b - a - open.size());
}

TEST_P(RawBook, PackageDescriptionGivesTheMetadataAndContents) {
    const std::string book = GetParam();
    const LitManifestGroups manifest = ReadManifest(book);
    const auto bytes = ReadFileBytes(RawEntry(book, std::regex("/meta")));
    const auto d = test::DecodeAll(bytes, LitDecodeMode::Package, &manifest);
    ASSERT_EQ(d.result, static_cast<long>(bytes.size()));
    const std::string& meta = d.markup;
    EXPECT_TRUE(meta.starts_with("\n<package "));

    std::map<std::string, std::string> fields = {
        {"title", Between(meta, "<dc:Title>", "</dc:Title>")},
        {"publisher", Between(meta, "<dc:Publisher>", "</dc:Publisher>")},
        {"isbn", Between(meta, "scheme=\"ISBN\">", "</dc:Identifier>")},
        {"rights", Between(meta, "<dc:Rights>", "</dc:Rights>")},
        {"author", Between(Between(meta, "<dc:Creator", "</dc:Creator>") + "</>", ">", "</>")}};
    for (const auto& row : ReadTsv(FixturesDir() / "lit" / (book + ".metadata.tsv"))) {
        if (!fields.contains(row.at(0))) continue;
        size_t at = 0;
        EXPECT_EQ(test::FindInOrder(test::MarkupWords(fields[row[0]]), test::TextLetters(row.at(1)),
                                    at, 0),
                  "")
            << row[0];
        EXPECT_EQ(at, test::TextLetters(row[1]).size()) << row[0];
        EXPECT_FALSE(fields[row[0]].empty()) << row[0];
    }

    // The chapter tour and the cover reference name the files by their paths.
    std::vector<std::string> expected;
    for (const auto& row : ReadTsv(FixturesDir() / "lit" / (book + ".toc.tsv"))) {
        expected.push_back(row.at(2));
    }
    std::vector<std::string> found;
    const std::string cover = Between(meta, "type=\"other.ms-coverimage-standard\" href=\"", "\"");
    if (!cover.empty()) found.push_back(cover);
    static const std::regex site(R"(<site [^>]*href="([^"]*)\")");
    for (auto it = std::sregex_iterator(meta.begin(), meta.end(), site);
         it != std::sregex_iterator(); ++it) {
        found.push_back((*it)[1]);
    }
    EXPECT_EQ(found, expected);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RawBook, ::testing::Values("tiny", "almanac", "gpl3-chapters"));

// Every content file of a book, from its compressed section as decoded by independent tools
// (the fixture's LZX stream) cut at the directory's offsets.
struct SectionBook {
    const char* book;
    const char* stream;
};

class WholeBook : public ::testing::TestWithParam<SectionBook> {};

TEST_P(WholeBook, EveryContentFileDecodesInReadingOrder) {
    const std::string book = GetParam().book;
    const auto section = ReadFileBytes(FixturesDir() / "lzx" / GetParam().stream / "expected.bin");
    std::map<std::string, std::pair<size_t, size_t>> where;  // entry name -> offset, size
    for (const auto& row : ReadTsv(FixturesDir() / "lit" / (book + ".entries.tsv"))) {
        if (row.at(5) == "lzx") where[row[0]] = {std::stoull(row.at(2)), std::stoull(row.at(3))};
    }
    const LitManifestGroups manifest = ReadManifest(book);
    const auto text = test::TextLetters(ReadFileText(FixturesDir() / "lit" / (book + ".txt")));
    size_t cursor = 0, files = 0, letterCount = 0;
    for (size_t group : {0u, 1u}) {
        for (const LitLinkTarget& file : manifest[group]) {
            const auto it = where.find("/data/" + file.id + "/content");
            ASSERT_NE(it, where.end()) << file.id;
            const auto [offset, size] = it->second;
            ASSERT_LE(offset + size, section.size());
            const std::vector<uint8_t> bytes(section.begin() + offset,
                                             section.begin() + offset + size);
            const auto d = test::DecodeAll(bytes, LitDecodeMode::Html, &manifest);
            ASSERT_EQ(d.result, static_cast<long>(size)) << file.id;
            ++files;
            const auto words = test::MarkupWords(d.markup);
            // The plain-text rendering holds the linear files only.
            if (group == 0) {
                EXPECT_EQ(test::FindInOrder(words, text, cursor, kWindow), "") << file.id;
                for (const auto& w : words)
                    letterCount += w.size();
            }
            const auto oracle = FixturesDir() / "lit" / (book + ".decoded") / (file.id + ".html");
            if (std::filesystem::exists(oracle)) {
                const std::string theirs = ReadFileText(oracle);
                EXPECT_EQ(words, test::MarkupWords(theirs)) << file.id;
                EXPECT_EQ(Links(d.markup), Links(theirs)) << file.id;
            }
        }
    }
    EXPECT_EQ(files, where.size());
    EXPECT_GE(letterCount * 10, cursor * 9) << letterCount << " letters over " << cursor;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, WholeBook,
                         ::testing::Values(SectionBook{"almanac", "lit-almanac"},
                                           SectionBook{"bash-manual", "lit-bash"}));

TEST(LitBinaryFixture, AngleBracketsInTextStayText) {
    // The licence's address "<https://fsf.org/>" is text; written raw, the layout would take it
    // for a tag and drop it.
    const auto bytes = ReadFileBytes(RawEntry("gpl3-chapters", std::regex("/data/.*/content")));
    const auto d = test::DecodeAll(bytes);
    EXPECT_NE(d.markup.find("Inc. &lt;https://fsf.org/&gt; Everyone"), std::string::npos);
}

TEST(LitBinaryFixture, InlineElementsKeepTheirSpaces) {
    const auto bytes = ReadFileBytes(RawEntry("tiny", std::regex("/data/.*/content")));
    const auto d = test::DecodeAll(bytes);
    EXPECT_NE(d.markup.find("It ends here &#8212; <i class=\"calibre3\">briefly</i>.</p>"),
              std::string::npos)
        << d.markup;
}

}  // namespace
}  // namespace pagewick
