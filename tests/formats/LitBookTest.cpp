// LIT books as the reader opens them: the fixture books walked through their listings, the
// document and the text conversion, and hand-built books for the damage the fixtures never show.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "engine/FixedSurface.h"
#include "formats/LitBook.h"
#include "library/PlainText.h"
#include "support/BookFixture.h"
#include "support/BookText.h"
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
    // What measuring decoded at open was kept: reading the book through decodes nothing again.
    EXPECT_EQ(book.FileDecodes(), 0u);
    LitBook::Limits uncached;
    uncached.cachedFile = 0;
    LitBook plain(uncached);
    ASSERT_EQ(plain.Open(&MemoryFile::Read, &again, uint32_t(again.bytes.size())), 0);
    // A cache for half the book keeps the first files from the open and decodes the rest.
    LitBook::Limits halfLimits;
    halfLimits.cacheBytes = reference.size() / 2;
    LitBook half(halfLimits);
    ASSERT_EQ(half.Open(&MemoryFile::Read, &again, uint32_t(again.bytes.size())), 0);
    EXPECT_EQ(Window(half, 0, reference.size()), reference);
    for (LitBook* b : {&book, &plain, &half}) {
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
    // The markup of a LIT book is Windows-1252, whatever its HTML says of itself.
    html.doc.EncodingOverride = TextEncoding::Cp1252;
    html.Open();
    test::RecordingSurface htmlDc;
    EXPECT_GT(litWords.size(), reference.size() / 20);
    EXPECT_EQ(litWords, PagedWords(html.doc, htmlDc));

    // The text conversion follows the independent plain-text rendering word by word.
    std::string text;
    ASSERT_TRUE(test::WholeBookText(doc, text));
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

namespace pagewick {
namespace {

using test::LitStream;
constexpr uint32_t kHasChildren = 1, kChildless = 3;

struct ManifestItem {
    int group;
    std::string id, path;
};

void PutString(std::vector<uint8_t>& v, const std::string& ascii) {
    v.push_back(uint8_t(ascii.size()));
    v.insert(v.end(), ascii.begin(), ascii.end());
}

std::vector<uint8_t> ManifestBytes(const std::vector<ManifestItem>& items, uint32_t repeat = 1) {
    std::vector<uint8_t> v = {1, '\\'};
    for (int group = 0; group < 4; ++group) {
        std::vector<const ManifestItem*> in;
        for (const auto& item : items)
            if (item.group == group) in.push_back(&item);
        test::Put32(v, uint32_t(in.size()) * repeat);
        for (uint32_t r = 0; r < repeat; ++r) {
            for (const ManifestItem* item : in) {
                test::Put32(v, 0);
                PutString(v, item->id);
                PutString(v, item->path);
                PutString(v, group == 3 ? "image/png" : "text/html");
                v.push_back(0);
            }
        }
    }
    v.push_back(0);
    return v;
}

struct HandBook {
    test::LitBuilder builder;
    std::vector<uint8_t> bytes;
    HandBook(const std::vector<uint8_t>& manifest,
             const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
        builder.Stored("/manifest", manifest);
        bool meta = false;
        for (const auto& entry : entries)
            meta |= entry.first == "/meta";
        if (!meta) builder.Stored("/meta", {});  // the container asks for one
        for (const auto& [name, data] : entries)
            builder.Stored(name, data);
        bytes = builder.Build();
    }
    int Open(LitBook& book) { return book.Open(&ReadBytes, this, uint32_t(bytes.size())); }
    static bool ReadBytes(void* user, uint32_t offset, uint32_t count, std::vector<uint8_t>& out) {
        auto* self = static_cast<HandBook*>(user);
        if (uint64_t(offset) + count > self->bytes.size()) return false;
        out.assign(self->bytes.begin() + offset, self->bytes.begin() + offset + count);
        return true;
    }
};

std::vector<uint8_t> Chapter(const std::string& text) {
    LitStream s;
    s.Open(kHasChildren, 74).EndAttrs().Text(text).Close();  // <p>
    return s.bytes();
}

TEST(LitBookDamage, AFailingFileIsSkippedAndTheChaptersAfterItStay) {
    std::vector<uint8_t> bad = LitStream().Text("Two").bytes();
    bad.push_back(0xFF);  // no UTF-8 lead byte
    HandBook hand(ManifestBytes({{0, "c1", "one.htm"},
                                 {0, "c2", "two.htm"},
                                 {0, "c3", "three.htm"},
                                 {1, "c4", "four.htm"}}),
                  {{"/data/c1/content", Chapter("One")},
                   {"/data/c2/content", bad},
                   {"/data/c4/content", Chapter("Four")}});  // c3 has no content entry
    LitBook book;
    ASSERT_EQ(hand.Open(book), 0);
    ASSERT_EQ(book.Files().size(), 4u);
    EXPECT_EQ(book.Files()[2].start, book.Files()[2].end);
    const std::string all = Window(book, 0, 1 << 20);
    EXPECT_EQ(all, Header("one.htm") + "<p>One</p><a name=\"\"></a>" + kTail + Header("two.htm") +
                       "Two" + kTail + Header("four.htm") + "<p>Four</p><a name=\"\"></a>" + kTail);
    EXPECT_EQ(book.Length(), all.size());
    EXPECT_FALSE(book.Metadata().title);  // an empty "/meta": no metadata, the book still reads
    std::vector<ContentsEntry> contents{{"stale", "x"}};
    std::string cover = "stale";
    BuildLitContents(book.Package(), contents, cover);
    EXPECT_TRUE(contents.empty());
    EXPECT_EQ(cover, "");
}

TEST(LitBookDamage, HostileManifestsAndExpansionOpenInBoundedTime) {
    // The same content file listed 200,000 times is measured once.
    HandBook repeated(ManifestBytes({{0, "c1", "a.htm"}}, 200000),
                      {{"/data/c1/content", Chapter("Again")}});
    LitBook book;
    auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(repeated.Open(book), 0);
    EXPECT_EQ(book.Files().size(), 200000u);
    const size_t one =
        Header("a.htm").size() + std::string("<p>Again</p><a name=\"\"></a>").size() + kTail.size();
    EXPECT_EQ(book.Length(), 200000u * one);
    EXPECT_EQ(Window(book, book.Length() - one, 2 * one),
              Header("a.htm") + "<p>Again</p><a name=\"\"></a>" + kTail);

    // A count of 10 million entries in a manifest of a few bytes: cut short, the book is empty.
    std::vector<uint8_t> huge = {1, '\\'};
    test::Put32(huge, 10'000'000);
    HandBook lying(huge, {});
    LitBook empty;
    ASSERT_EQ(lying.Open(empty), 0);
    EXPECT_EQ(empty.ManifestResult(), kLitBadSectionData);
    EXPECT_EQ(empty.Length(), 0u);

    // Files that expand past the markup limit: the book ends there, cut exactly.
    std::vector<ManifestItem> many;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> content;
    for (int i = 0; i < 10; ++i) {
        many.push_back({0, "c" + std::to_string(i), "f.htm"});
        content.emplace_back("/data/c" + std::to_string(i) + "/content",
                             Chapter(std::string(300, char('a' + i))));
    }
    HandBook expanding(ManifestBytes(many), content);
    LitBook whole;
    ASSERT_EQ(expanding.Open(whole), 0);
    LitBook::Limits limits;
    limits.markup = 1000;
    LitBook cut(limits);
    ASSERT_EQ(expanding.Open(cut), 0);
    EXPECT_EQ(cut.Length(), 1000u);
    EXPECT_EQ(Window(cut, 0, 5000), Window(whole, 0, 1000));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(20));
}

std::vector<uint8_t> Package(size_t descriptionLength) {
    LitStream s;
    s.Open(kHasChildren, 1).EndAttrs();   // package
    s.Open(kHasChildren, 20).EndAttrs();  // metadata
    s.Open(kHasChildren, 2).EndAttrs().Text("A Long Book").Close();
    s.Open(kHasChildren, 23).EndAttrs().Text(std::string(descriptionLength, 'x')).Close();
    s.Open(kHasChildren, 29).Attr(16, "ISBN").EndAttrs().Text("12345").Close();
    s.Close();
    s.Open(kHasChildren, 40).EndAttrs();  // guide
    s.Open(kChildless, 41).Attr(18, "other.ms-coverimage-standard").Attr(1, "pic").EndAttrs();
    s.Close();
    s.Open(kHasChildren, 37).EndAttrs();  // tours
    s.Open(kHasChildren, 38).Attr(6, "chaptertour").EndAttrs();
    s.Open(kChildless, 39).Attr(17, "Chapter \xE2\x80\x93 One").Attr(1, "c1").EndAttrs();
    s.Close();
    s.Close();
    s.Close();
    return s.bytes();
}

TEST(LitBookDamage, APackageGrowsToItsSizeUpToItsCap) {
    // Far past the 36,864 bytes a fixed buffer would hold: the cover and the tour come last.
    HandBook hand(ManifestBytes({{0, "c1", "ch1.htm"}, {3, "pic", "cover.png"}}),
                  {{"/data/c1/content", Chapter("Text")},
                   {"/meta", Package(100000)},
                   {"/data/pic", {1, 2, 3}}});
    LitBook book;
    ASSERT_EQ(hand.Open(book), 0);
    EXPECT_GT(book.Package().size(), 100000u);
    EXPECT_EQ(book.Metadata().title, "A Long Book");
    EXPECT_EQ(book.Metadata().isbn, "12345");
    std::vector<ContentsEntry> contents;
    std::string cover;
    BuildLitContents(book.Package(), contents, cover);
    ASSERT_EQ(contents.size(), 2u);
    EXPECT_EQ(cover, "cover.png");
    EXPECT_EQ(contents[0].title, "Cover Image");
    EXPECT_EQ(contents[1].title, "Chapter \xE2\x80\x93 One");  // "&#8211;" made UTF-8
    EXPECT_EQ(contents[1].target, "ch1.htm");

    // Past the cap the book opens without metadata, and says so.
    LitBook::Limits limits;
    limits.package = 50000;
    LitBook capped(limits);
    ASSERT_EQ(hand.Open(capped), 0);
    EXPECT_TRUE(capped.PackageTooLarge());
    EXPECT_TRUE(capped.Package().empty());
    EXPECT_FALSE(capped.Metadata().title);
    EXPECT_EQ(Window(capped, 0, 1000), Window(book, 0, 1000));
}

TEST(LitBookManifest, ErrorsOfAStrayByteAndACutManifest) {
    const std::vector<uint8_t> raw =
        ReadFileBytes(FixturesDir() / "lit" / "tiny.raw" / "manifest.bin");
    LitManifest m;
    ASSERT_EQ(ParseLitManifest(raw, m), 0);
    EXPECT_EQ(m[0].size(), 1u);
    std::vector<uint8_t> stray = raw;
    stray.insert(stray.end(), {0, 7});  // a byte after the closing 0
    EXPECT_EQ(ParseLitManifest(stray, m), kLitMalformed);
    for (size_t cut = 1; cut + 1 < raw.size(); ++cut) {
        std::vector<uint8_t> part(raw.begin(), raw.begin() + long(cut));
        EXPECT_EQ(ParseLitManifest(part, m), kLitBadSectionData) << cut;
    }
}

TEST(LitBookCollect, CollectsTheMarkupAsReadAndEveryPictureWhileAnotherBookReads) {
    MemoryFile almanacFile(ReadFileBytes(FixturesDir() / "lit" / "almanac.lit"));
    MemoryFile tinyFile(ReadFileBytes(FixturesDir() / "lit" / "tiny.lit"));
    LitBook reading, converting;
    ASSERT_EQ(reading.Open(&MemoryFile::Read, &tinyFile, uint32_t(tinyFile.bytes.size())), 0);
    const std::string before = Window(reading, 0, reading.Length());
    ASSERT_EQ(converting.Open(&MemoryFile::Read, &almanacFile, uint32_t(almanacFile.bytes.size())),
              0);
    std::string markup;
    std::vector<std::pair<std::string, size_t>> pictures;
    converting.Collect(
        [&](std::string_view piece) {
            markup += piece;
            EXPECT_EQ(Window(reading, 0, reading.Length()), before);
            return true;
        },
        [&](const std::string& path, std::vector<uint8_t>&& bytes) {
            pictures.emplace_back(path, bytes.size());
        });
    EXPECT_EQ(markup, Window(converting, 0, converting.Length()));
    EXPECT_NE(markup.find("<curfile>contents.xhtml</curfile>"), std::string::npos);  // group 1
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_EQ(pictures[2].first, "cover.png");
    EXPECT_GT(pictures[2].second, 0u);
}

}  // namespace
}  // namespace pagewick
