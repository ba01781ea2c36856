// DecodeLitBinary on compiled entries of books made by an independent LIT writer, compared with
// that tool's own decoding and plain-text rendering.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "support/LitStream.h"
#include "formats/lit/LitBinary.h"
#include "formats/lit/LitContainer.h"
#include "support/fixtures.h"
#include "support/lit_memory.h"

namespace pagewick {
namespace {

using test::FixturesDir;
using test::ReadFileBytes;
using test::ReadFileText;
using test::ReadLitManifest;
using test::ReadTsv;

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

// A book opened with the container; its entries by name.
class Book {
public:
    explicit Book(const std::string& name)
        : file_(ReadFileBytes(FixturesDir() / "lit" / (name + ".lit"))) {
        EXPECT_EQ(file_.Open(lit_), 0) << name;
    }
    std::vector<uint8_t> Entry(const std::string& name) {
        std::vector<uint8_t> data;
        EXPECT_EQ(lit_.LitGetEntry(name, &data, nullptr), 0) << name;
        return data;
    }

private:
    test::MemoryFile file_;
    LitContainer lit_;
};

class LitBookDecode : public ::testing::TestWithParam<const char*> {};

// The fields a reader cuts out of the package text by plain search.
std::string Between(const std::string& text, const std::string& open, const std::string& close) {
    const size_t a = text.find(open);
    if (a == std::string::npos) return "";
    const size_t b = text.find(close, a + open.size());
    return b == std::string::npos ? "" : text.substr(a + open.size(), b - a - open.size());
}

TEST_P(LitBookDecode, PackageDescriptionGivesTheMetadataAndContents) {
    const std::string book = GetParam();
    const LitManifestGroups manifest = ReadLitManifest(book);
    const auto bytes = Book(book).Entry("/meta");
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

// Every content file of a book, in reading order.
TEST_P(LitBookDecode, EveryContentFileDecodesInReadingOrder) {
    const std::string book = GetParam();
    Book lit(book);
    const LitManifestGroups manifest = ReadLitManifest(book);
    const auto text = test::TextLetters(ReadFileText(FixturesDir() / "lit" / (book + ".txt")));
    size_t cursor = 0, letterCount = 0;
    for (size_t group : {0u, 1u}) {
        for (const LitLinkTarget& file : manifest[group]) {
            const auto bytes = lit.Entry("/data/" + file.id + "/content");
            const auto d = test::DecodeAll(bytes, LitDecodeMode::Html, &manifest);
            ASSERT_EQ(d.result, static_cast<long>(bytes.size())) << file.id;
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
    // Few of the plain text's letters are missing on the way.
    EXPECT_GE(letterCount * 10, cursor * 9) << letterCount << " letters over " << cursor;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, LitBookDecode,
                         ::testing::Values("tiny", "almanac", "bash-manual", "gpl3-chapters",
                                           "grep-manual", "lgpl21-text", "tools-pages"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (auto& c : name) {
                                 if (c == '-') c = '_';
                             }
                             return name;
                         });

TEST(LitBinaryFixture, AngleBracketsInTextStayText) {
    // The licence's address "<https://fsf.org/>" is text; written raw, the layout would take it
    // for a tag and drop it.
    const auto bytes = Book("gpl3-chapters").Entry("/data/p00/content");
    const auto d = test::DecodeAll(bytes);
    EXPECT_NE(d.markup.find("Inc. &lt;https://fsf.org/&gt; Everyone"), std::string::npos);
}

TEST(LitBinaryFixture, InlineElementsKeepTheirSpaces) {
    const auto bytes = Book("tiny").Entry("/data/html/content");
    const auto d = test::DecodeAll(bytes);
    EXPECT_NE(d.markup.find("It ends here &#8212; <i class=\"calibre3\">briefly</i>.</p>"),
              std::string::npos)
        << d.markup;
}

}  // namespace
}  // namespace pagewick
