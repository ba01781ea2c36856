// EPUB books written by independent tools against what independent readers read from them:
// metadata, contents titles in order, spine count, cover, and that opening inflated no content
// file while every content file reads back whole.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "formats/epub/EpubPackage.h"
#include "support/fixtures.h"

namespace pagewick {
namespace {

std::filesystem::path Book(const std::string& name, const std::string& suffix) {
    return test::FixturesDir() / "epub" / (name + suffix);
}

std::vector<std::string> Lines(const std::filesystem::path& path) {
    std::istringstream in(test::ReadFileText(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

struct Expected {
    std::map<std::string, std::string> metadata;
    std::vector<std::string> titles;
    size_t titleCount = 0, spineCount = 0;
};

Expected ReadExpected(const std::string& name) {
    Expected e;
    for (const std::string& line : Lines(Book(name, ".metadata.tsv"))) {
        if (line.empty() || line[0] == '#') continue;
        size_t tab = line.find('\t');
        e.metadata[line.substr(0, tab)] = tab == std::string::npos ? "" : line.substr(tab + 1);
    }
    for (const std::string& line : Lines(Book(name, ".toc.tsv"))) {
        // "# contents titles in order (6); spine files: 7"
        if (!line.empty() && line[0] == '#') {
            std::sscanf(line.c_str(), "# contents titles in order (%zu); spine files: %zu",
                        &e.titleCount, &e.spineCount);
            continue;
        }
        e.titles.push_back(line);
    }
    return e;
}

// The cover each book's package names (read from the packages by hand).
const std::map<std::string, std::string> kCovers = {
    {"almanac", "cover.png"},
    {"bash-manual3", "cover.png"},
    {"gpl3-chapters", "cover_image.jpg"},
    {"tools-pages3", "cover.png"},
    {"grep-pandoc3", ""},
    {"tar-pandoc2", ""},
};

class EpubFixture : public ::testing::TestWithParam<const char*> {};

TEST_P(EpubFixture, ReadsAsIndependentReadersDo) {
    const std::string name = GetParam();
    const Expected want = ReadExpected(name);
    EpubPackage book;
    ASSERT_EQ(book.Open(Book(name, ".epub").string()), EpubResult::kOk);

    const EpubMetadata& m = book.Metadata();
    EXPECT_EQ(m.title, want.metadata.at("title"));
    EXPECT_EQ(m.creators, want.metadata.at("author"));
    EXPECT_EQ(m.publisher, want.metadata.at("publisher"));
    EXPECT_EQ(m.isbn, want.metadata.at("isbn"));
    EXPECT_EQ(m.rights, want.metadata.at("rights"));
    EXPECT_EQ(m.language, want.metadata.at("language"));
    EXPECT_EQ(m.version, want.metadata.at("version"));
    EXPECT_FALSE(m.identifier.empty());

    ASSERT_EQ(want.titles.size(), want.titleCount);
    ASSERT_EQ(book.Contents().size(), want.titleCount);
    for (size_t i = 0; i < want.titles.size(); ++i) {
        EXPECT_EQ(book.Contents()[i].title, want.titles[i]) << i;
        EXPECT_FALSE(book.Contents()[i].path.empty()) << want.titles[i];
    }
    EXPECT_EQ(book.ContentsSource(),
              m.version == "3.0" ? EpubContentsSource::kNav : EpubContentsSource::kNcx);
    EXPECT_EQ(book.Spine().size(), want.spineCount);
    EXPECT_EQ(book.SkippedSpineRefs(), 0u);
    EXPECT_EQ(book.CoverPath(), kCovers.at(name));

    // Container, package and contents document: nothing else was inflated to open the book.
    EXPECT_EQ(book.Archive().Inflations(), 3u);
    uint64_t total = 0;
    for (size_t i = 0; i < book.Spine().size(); ++i) {
        std::shared_ptr<const std::string> bytes;
        ASSERT_EQ(book.Content(i, bytes), EpubResult::kOk) << book.Spine()[i].path;
        EXPECT_EQ(bytes->size(), book.Spine()[i].size);
        EXPECT_EQ(book.Spine()[i].start, total);
        total += bytes->size();
    }
    EXPECT_EQ(book.TotalSize(), total);
}

INSTANTIATE_TEST_SUITE_P(Books, EpubFixture,
                         ::testing::Values("almanac", "bash-manual3", "gpl3-chapters",
                                           "grep-pandoc3", "tar-pandoc2", "tools-pages3"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (auto& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

// The almanac's contents in detail: NCX targets resolved to members, and its pictures extracted
// byte for byte.
TEST(EpubFixtureDetail, AlmanacTargetsAndPictures) {
    EpubPackage book;
    ASSERT_EQ(book.Open(Book("almanac", ".epub").string()), EpubResult::kOk);
    EXPECT_EQ(book.Contents()[3].path, "ch03_split_001.xhtml");
    EXPECT_EQ(book.Contents()[3].fragment, "");
    EXPECT_EQ(book.Spine().front().path, "titlepage.xhtml");
    EXPECT_TRUE(book.CoverIsPicture());

    test::TempDir dir;
    const std::string out = (dir / "TempImage0.png").string();
    ASSERT_EQ(book.ExtractPicture("ch01.xhtml", "cover.png", out), EpubResult::kOk);
    std::string direct;
    ASSERT_EQ(book.ReadMember("cover.png", direct), EpubResult::kOk);
    EXPECT_EQ(direct.size(), 15533u);
    EXPECT_EQ(test::ReadFileText(out), direct);
}

}  // namespace
}  // namespace pagewick
