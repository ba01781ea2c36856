// Books that are damaged, hostile or protected: each gives its result or opens with what can be
// read, in bounded time and memory, and nothing is written where the caller did not ask.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "EpubMaker.h"
#include "formats/epub/EpubDocuments.h"
#include "formats/epub/EpubPackage.h"
#include "support/fixtures.h"

namespace pagewick {
namespace {

using test::Chapter;
using test::EpubMaker;
using test::Item;
using test::Itemref;
using test::PackageXml;

// Three chapters, the last one stored at the end of the archive.
EpubMaker ThreeChapters() {
    EpubMaker maker;
    maker.Add("OEBPS/content.opf",
              PackageXml("<dc:title>Three</dc:title>",
                         Item("c1", "c1.xhtml") + Item("c2", "c2.xhtml") + Item("c3", "c3.xhtml") +
                             Item("pic", "p.png", "image/png"),
                         Itemref("c1") + Itemref("c2") + Itemref("c3")));
    maker.Add("OEBPS/c1.xhtml", Chapter("First chapter"), true);
    maker.Add("OEBPS/c2.xhtml", Chapter("Second chapter"), true);
    maker.Add("OEBPS/p.png", "picture bytes");
    maker.Add("OEBPS/c3.xhtml", Chapter(std::string(3000, 'x')));
    return maker;
}

TEST(EpubDamage, TruncatedOrDirectorylessArchiveReadsFromTheLocalHeaders) {
    const std::vector<uint8_t> whole = ThreeChapters().Bytes();
    EpubPackage book;
    // No central directory at all: every member is found again.
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + test::CentralDirectoryStart(whole));
    ASSERT_EQ(book.OpenMemory(cut), EpubResult::kOk);
    EXPECT_TRUE(book.Archive().Recovered());
    EXPECT_EQ(book.Spine().size(), 3u);
    std::shared_ptr<const std::string> text;
    EXPECT_EQ(book.Content(2, text), EpubResult::kOk);

    // Written with data descriptors and never finished: the sizes are found after the data.
    ASSERT_EQ(book.OpenMemory(test::StreamedWithoutDirectory(whole)), EpubResult::kOk);
    EXPECT_TRUE(book.Archive().Recovered());
    ASSERT_EQ(book.Spine().size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(book.Content(i, text), EpubResult::kOk) << i;

    // Cut inside the last chapter: the others read, that one is missing from the spine.
    cut.resize(test::LocalHeaderOf(whole, "OEBPS/c3.xhtml") + 100);
    ASSERT_EQ(book.OpenMemory(cut), EpubResult::kOk);
    ASSERT_EQ(book.Spine().size(), 2u);
    EXPECT_EQ(book.SkippedSpineRefs(), 1u);
    ASSERT_EQ(book.Content(1, text), EpubResult::kOk);
    EXPECT_NE(text->find("Second chapter"), std::string::npos);

    // Cut before the package, or no ZIP at all: damaged, with its message.
    cut.resize(test::LocalHeaderOf(whole, "OEBPS/content.opf") + 10);
    EXPECT_EQ(book.OpenMemory(cut), EpubResult::kNoPackage);
    EXPECT_STREQ(EpubOpenMessage(EpubResult::kNoPackage),
                 "This eBook is damaged and cannot be opened.");
    for (const std::vector<uint8_t>& junk :
         {std::vector<uint8_t>{}, std::vector<uint8_t>(5000, 'P'),
          std::vector<uint8_t>(whole.begin(), whole.begin() + 20)})
        EXPECT_EQ(book.OpenMemory(junk), EpubResult::kDamaged);

    // The same from a file.
    test::TempDir dir;
    test::WriteFileBytes(dir / "cut.epub", whole.data(), test::CentralDirectoryStart(whole));
    EXPECT_EQ(book.Open((dir / "cut.epub").string()), EpubResult::kOk);
    EXPECT_EQ(book.Open((dir / "absent.epub").string()), EpubResult::kReadFailed);
}

TEST(EpubDamage, BadChecksumLosesThatFileOnly) {
    std::vector<uint8_t> bytes = ThreeChapters().Bytes();
    test::FlipDataByte(bytes, "OEBPS/c2.xhtml");
    EpubPackage book;
    ASSERT_EQ(book.OpenMemory(bytes), EpubResult::kOk);
    std::shared_ptr<const std::string> text;
    EXPECT_EQ(book.Content(1, text), EpubResult::kBadChecksum);
    EXPECT_EQ(text, nullptr);
    const uint64_t inflations = book.Archive().Inflations();
    EXPECT_EQ(book.Content(1, text), EpubResult::kBadChecksum);  // known bad: not inflated again
    EXPECT_EQ(book.Archive().Inflations(), inflations);
    EXPECT_EQ(book.Content(0, text), EpubResult::kOk);
    EXPECT_EQ(book.Content(2, text), EpubResult::kOk);

    // A broken deflate stream is the same kind of loss.
    bytes = ThreeChapters().Bytes();
    test::FlipDataByte(bytes, "OEBPS/c3.xhtml");
    ASSERT_EQ(book.OpenMemory(bytes), EpubResult::kOk);
    EXPECT_NE(book.Content(2, text), EpubResult::kOk);
    EXPECT_EQ(book.Content(0, text), EpubResult::kOk);
}

TEST(EpubDamage, BombsRefusedWhileInflating) {
    // 40 MB of one letter deflates more than 1,000 to 1.
    const std::string flood(40u << 20, 'a');
    EpubMaker maker = ThreeChapters();
    maker.Add("OEBPS/flood.xhtml", flood);
    std::vector<uint8_t> bytes = maker.Bytes();
    ASSERT_GT(flood.size(), 1000u * test::StoredSize(bytes, "OEBPS/flood.xhtml"));
    // The directory lies that it is small: only inflating shows what it is.
    test::ClaimSize(bytes, "OEBPS/flood.xhtml", 100);
    EpubPackage book;
    ASSERT_EQ(book.OpenMemory(bytes), EpubResult::kOk);
    std::string out;
    EXPECT_EQ(book.ReadMember("OEBPS/flood.xhtml", out), EpubResult::kTooLarge);
    EXPECT_TRUE(out.empty());
    test::TempDir dir;
    EXPECT_EQ(book.ExtractMember("OEBPS/flood.xhtml", (dir / "f").string()), EpubResult::kTooLarge);
    EXPECT_FALSE(std::filesystem::exists(dir / "f"));

    // Past the byte limit with an honest ratio (limits lowered so the test stays small), and a
    // package that is itself too large.
    EpubLimits limits;
    limits.memberBytes = 2000;
    EpubPackage small(limits);
    ASSERT_EQ(small.OpenMemory(ThreeChapters().Bytes()), EpubResult::kOk);
    std::shared_ptr<const std::string> text;
    EXPECT_EQ(small.Content(2, text), EpubResult::kTooLarge);
    EXPECT_EQ(small.Content(0, text), EpubResult::kOk);
    limits.documentBytes = 100;
    EpubPackage tiny(limits);
    EXPECT_EQ(tiny.OpenMemory(ThreeChapters().Bytes()), EpubResult::kTooLarge);
}

TEST(EpubDamage, HugeDeepOrEntityLadenPackagesRefused) {
    const std::string head = "<?xml version=\"1.0\"?>";
    auto openWith = [](const std::string& package, const EpubLimits& limits = {}) {
        EpubMaker maker;
        maker.Add("OEBPS/content.opf", package).Add("OEBPS/c1.xhtml", Chapter("x"));
        EpubPackage book(limits);
        return book.OpenMemory(maker.Bytes());
    };
    // A million manifest items: far past the package size limit.
    std::string million = head + "<package><manifest>";
    for (int i = 0; i < 1000000; ++i)
        million += "<item id=\"i" + std::to_string(i) + "\" href=\"c1.xhtml\"/>";
    million += "</manifest><spine><itemref idref=\"i1\"/></spine></package>";
    EXPECT_EQ(openWith(million), EpubResult::kTooLarge);
    // The item limit itself, below the size limit.
    std::string many = head + "<package><manifest>";
    for (int i = 0; i < 1001; ++i)
        many += "<item id=\"i" + std::to_string(i) + "\" href=\"c1.xhtml\"/>";
    many += "</manifest><spine><itemref idref=\"i1\"/></spine></package>";
    EpubLimits few;
    few.items = 1000;
    EXPECT_EQ(openWith(many, few), EpubResult::kTooMany);
    few.items = 1002;
    EXPECT_EQ(openWith(many, few), EpubResult::kOk);

    std::string deep = head;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    EXPECT_EQ(openWith(deep), EpubResult::kBadXml);

    const std::string laughs =
        head +
        "<!DOCTYPE package [<!ENTITY l0 \"lol\">"
        "<!ENTITY l1 \"&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;\">"
        "<!ENTITY l2 \"&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;\">"
        "<!ENTITY l3 \"&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;\">"
        "<!ENTITY l9 \"&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;\">]>"
        "<package><metadata><dc:title>&l9;&l9;&l9;&l9;</dc:title></metadata></package>";
    EXPECT_EQ(openWith(laughs), EpubResult::kBadXml);
    EXPECT_EQ(openWith(head + "<package><manifest>"), EpubResult::kBadXml);
}

TEST(EpubDamage, MissingContainerPackageOrSpine) {
    const std::string package =
        PackageXml("<dc:title>Loose</dc:title>", Item("c1", "c1.xhtml"), Itemref("c1"));
    EpubPackage book;
    // No container, one package: it is the book.
    EpubMaker noContainer(false);
    noContainer.Add("book/content.opf", package).Add("book/c1.xhtml", Chapter("x"));
    ASSERT_EQ(book.OpenMemory(noContainer.Bytes()), EpubResult::kOk);
    EXPECT_EQ(book.Metadata().title, "Loose");
    // Two packages and no container to choose.
    noContainer.Add("other.opf", package);
    EXPECT_EQ(book.OpenMemory(noContainer.Bytes()), EpubResult::kNoContainer);
    // A container naming a package the archive lacks.
    EpubMaker noPackage;
    noPackage.Add("content.opf", package);
    EXPECT_EQ(book.OpenMemory(noPackage.Bytes()), EpubResult::kNoPackage);
    // A container that is no XML.
    EpubMaker badContainer(false);
    badContainer.Add("META-INF/container.xml", "<container><rootfiles>");
    EXPECT_EQ(book.OpenMemory(badContainer.Bytes()), EpubResult::kBadXml);
}

TEST(EpubDamage, PathsOutOfTheContainerRefusedForReadingAndExtracting) {
    EpubMaker maker;
    maker.Add("OEBPS/content.opf",
              PackageXml("",
                         Item("c1", "c1.xhtml") + Item("evil", "../../etc/passwd") +
                             Item("abs", "/etc/passwd"),
                         Itemref("evil") + Itemref("abs") + Itemref("c1")));
    maker.Add("OEBPS/c1.xhtml", Chapter("x")).Add("OEBPS/p.png", "picture");
    maker.Add("../escape.xhtml", Chapter("a member named to climb out"));
    EpubPackage book;
    ASSERT_EQ(book.OpenMemory(maker.Bytes()), EpubResult::kOk);
    ASSERT_EQ(book.Spine().size(), 1u);
    EXPECT_EQ(book.Spine()[0].path, "OEBPS/c1.xhtml");
    for (const EpubMember& m : book.Archive().Members())
        EXPECT_EQ(m.name.find(".."), std::string::npos) << m.name;

    std::string out;
    EXPECT_EQ(book.ReadMember("../escape.xhtml", out), EpubResult::kUnsafePath);
    EXPECT_EQ(book.ReadMember("/etc/passwd", out), EpubResult::kUnsafePath);
    test::TempDir dir;
    const std::string file = (dir / "TempImage0.png").string();
    EXPECT_EQ(book.ExtractPicture("OEBPS/c1.xhtml", "../../../etc/passwd", file),
              EpubResult::kUnsafePath);
    EXPECT_EQ(book.ExtractPicture("OEBPS/c1.xhtml", "file:///etc/passwd", file),
              EpubResult::kUnsafePath);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(book.ExtractPicture("OEBPS/c1.xhtml", "p.png", file), EpubResult::kOk);
    EXPECT_EQ(test::ReadFileText(file), "picture");
    // A symbolic link where the picture goes is not followed.
    const auto target = dir / "target";
    test::WriteFileText(target, "keep");
    std::filesystem::create_symlink(target, dir / "link.png");
    EXPECT_EQ(book.ExtractMember("OEBPS/p.png", (dir / "link.png").string()),
              EpubResult::kWriteFailed);
    EXPECT_EQ(test::ReadFileText(target), "keep");
}

TEST(EpubDamage, DrmRefusedButObfuscatedFontsAreOnlyFonts) {
    auto book = [](const std::string& encryption, bool rights = false) {
        EpubMaker maker = ThreeChapters();
        maker.Add("OEBPS/fonts/a.otf", "font").Add("OEBPS/fonts/b.bin", "font");
        if (!encryption.empty()) maker.Add("META-INF/encryption.xml", encryption);
        if (rights) maker.Add("META-INF/rights.xml", "<rights/>");
        return maker.Bytes();
    };
    auto entry = [](const std::string& algorithm, const std::string& uri) {
        return "<enc:EncryptedData xmlns:enc=\"http://www.w3.org/2001/04/xmlenc#\">"
               "<enc:EncryptionMethod Algorithm=\"" +
               algorithm + "\"/><enc:CipherData><enc:CipherReference URI=\"" + uri +
               "\"/></enc:CipherData></enc:EncryptedData>";
    };
    auto list = [](const std::string& entries) {
        return "<encryption xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">" + entries +
               "</encryption>";
    };
    const std::string aes = "http://www.w3.org/2001/04/xmlenc#aes128-cbc";
    EpubPackage epub;
    EXPECT_EQ(epub.OpenMemory(book(list(entry(aes, "OEBPS/c2.xhtml")))), EpubResult::kProtected);
    EXPECT_FALSE(epub.IsOpen());
    EXPECT_STREQ(EpubOpenMessage(EpubResult::kProtected),
                 "This eBook is protected (DRM) and cannot be opened.");
    EXPECT_EQ(epub.OpenMemory(book("", true)), EpubResult::kProtected);

    ASSERT_EQ(
        epub.OpenMemory(book(list(entry("http://www.idpf.org/2008/embedding", "OEBPS/fonts/a.otf") +
                                  entry("http://ns.adobe.com/pdf/enc#RC", "OEBPS/fonts/b.bin") +
                                  entry(aes, "OEBPS/fonts/c.woff")))),
        EpubResult::kOk);
    EXPECT_EQ(epub.EncryptedFonts(),
              (std::vector<std::string>{"OEBPS/fonts/a.otf", "OEBPS/fonts/c.woff"}));
    std::shared_ptr<const std::string> text;
    EXPECT_EQ(epub.Content(0, text), EpubResult::kOk);
}

// The parsers on their own, as the fuzzer drives them: a container choosing the OPF rootfile.
TEST(EpubDamage, ContainerChoosesThePackageRootfile) {
    std::string path;
    EXPECT_EQ(ParseContainerXml("<container><rootfiles><rootfile full-path=\"a.pdf\" "
                                "media-type=\"application/pdf\"/><rootfile full-path=\"b.opf\" "
                                "media-type=\"application/oebps-package+xml\"/></rootfiles>"
                                "</container>",
                                {}, path),
              EpubResult::kOk);
    EXPECT_EQ(path, "b.opf");
    EXPECT_EQ(ParseContainerXml("<container/>", {}, path), EpubResult::kNoPackage);
}

}  // namespace
}  // namespace pagewick
