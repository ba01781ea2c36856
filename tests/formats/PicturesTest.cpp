// Pictures, links, media, contents and sections, walked through real books: a PAWK book made by
// the book writer and an HTML file with pictures beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/Contents.h"
#include "pawk/PawkWriter.h"
#include "support/FakePictures.h"
#include "support/RecordingSurface.h"
#include "support/ScriptedHost.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<std::string> PictureCalls(const RecordingSurface& dc) {
    std::vector<std::string> out;
    for (const std::string& call : dc.calls)
        if (call.rfind("picture ", 0) == 0) out.push_back(call);
    return out;
}

size_t FilesIn(const fs::path& folder) {
    size_t n = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); ++it)
        n += it->is_regular_file() ? 1 : 0;
    return n;
}

// A page 200 pixels wide and 280 high (10 pixels of border), characters 10 pixels wide, lines
// 15 pixels apart.
struct PictureBook {
    TempDir dir;
    TempDir temp;
    ScriptedHost host;
    FakePictureDecoder pictures;
    RecordingSurface dc;
    CBookEngine doc;

    bool Open(const fs::path& path, int32_t kind) {
        host.Temp = temp.path().string();
        doc.HostServices = &host;
        doc.Pictures = &pictures;
        doc.BookPath = path.string();
        doc.SourceKind = kind;
        doc.LeftEdge = doc.TopEdge = 10;
        doc.RightEdge = 210;
        doc.PageHeight = 300;
        doc.ShowPositionBar = 0;
        bool ok = doc.PrepareSource();
        doc.GetChar(0);
        doc.BuildWidthTable(&dc);
        return ok;
    }
    void Draw(int32_t page) {
        doc.CurrentPage = page;
        dc.calls.clear();
        doc.LayoutPage(&dc, false);
    }
    // The hit rectangle of the drawn page's link to target.
    Point LinkPoint(const std::string& target) const {
        for (const LinkRecord& link : doc.Links)
            if (link.target == target && link.rectValid)
                return Point{link.hit.left + 1, link.hit.top + 1};
        ADD_FAILURE() << "no link to " << target;
        return Point{-100, -100};
    }
};

fs::path WriteBook(const fs::path& folder) {
    PawkWriter w;
    w.title = "Pictures";
    std::string one =
        "Intro <img src=pic.png alt=\"a small picture of a bird\"> after.<br>"
        "See <a href=\"CH2.HTM#X\">two</a> <a href='bell.wav'>bell</a> "
        "<a href=\"https://example.org/\">web</a> <a href=\"#top\">up</a> "
        "<a href=\"ch2.htm\">file</a>.<br><a name=\"top\"></a>"
        "<img src=\"../../big.gif\"><br>end of one.";
    std::string two = "<a name=\"ch2.htm#\"></a>Chapter two. ";
    for (int i = 0; i < 60; ++i)
        two += "filler words here ";
    two += "<a name=\"x\"></a>anchored text.";
    w.files.push_back({"cover.png", {}, Bytes(FakePng(120, 160))});
    w.files.push_back({"ch1.htm", {}, Bytes(one)});
    w.files.push_back({"ch2.htm", {}, Bytes(two)});
    w.files.push_back({"pic.png", {}, Bytes(FakePng(40, 30))});
    w.files.push_back({"big.gif", {}, Bytes(FakeGif(1000, 2000))});
    w.files.push_back({"bell.wav", {}, Bytes("RIFF....WAVE")});
    w.contents = {{0, "One", "ch1.htm#"}, {0, "", "untitled#"}, {0, "Two \xe9", "ch2.htm#"}};
    fs::path path = folder / "book.pawk";
    EXPECT_TRUE(w.Write(path));
    return path;
}

TEST(PicturesTest, APawkBookShowsItsPicturesFollowsItsLinksAndListsItsChapters) {
    PictureBook b;
    ASSERT_TRUE(b.Open(WriteBook(b.dir.path()), kSourcePawk));

    // Contents: the cover first, titles as UTF-8; the cover is shown once.
    ASSERT_EQ(b.doc.Contents.size(), 4u);
    EXPECT_EQ(b.doc.Contents[0].title, "Cover Image");
    EXPECT_EQ(b.doc.Contents[3].title, "Two \xc3\xa9");
    EXPECT_TRUE(b.doc.TakeCover());
    EXPECT_EQ(b.doc.CurrentTarget, "cover.png");
    EXPECT_FALSE(b.doc.TakeCover());
    RecordingSurface view;
    EXPECT_TRUE(b.doc.DrawCurrentTarget(view, Rect{0, 0, 220, 300}));
    ASSERT_EQ(PictureCalls(view).size(), 1u);
    EXPECT_NE(PictureCalls(view)[0].find(" 0,0,220,300"), std::string::npos);
    EXPECT_TRUE(b.doc.ClosePictureView());

    // The inline picture: measured once per layout, drawn once after "Intro ", 40 by 30 from
    // the line's top; the line's text sits at its foot; the placeholder is gone.
    b.Draw(0);
    std::vector<std::string> drawn = PictureCalls(b.dc);
    ASSERT_EQ(drawn.size(), 1u);
    const std::string folder = drawn[0].substr(8, drawn[0].find("/TempImage") - 8);
    EXPECT_EQ(fs::path(folder).parent_path(), b.temp.path());  // a private folder in temp
    EXPECT_NE(drawn[0].find("/TempImage"), std::string::npos);
    EXPECT_NE(drawn[0].find(".png 71,11,111,41"), std::string::npos) << drawn[0];
    for (const auto& [path, calls] : b.pictures.sizeCalls)
        EXPECT_LE(calls, 1) << path;
    bool sawIntro = false;
    for (const auto& t : b.dc.texts) {
        EXPECT_EQ(Utf8(t.text).find("<<I"), std::string::npos);
        if (Utf8(t.text).find("Intro") == 0) sawIntro = t.y == 10 + 30 - 15;
    }
    EXPECT_TRUE(sawIntro);

    // The too-large picture (named "../../big.gif" in the tag) starts the next page, scaled to
    // the room of an empty page: 279 of 290 - 10 high.
    b.Draw(1);
    drawn = PictureCalls(b.dc);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_NE(drawn[0].find(folder + "/TempImage"), std::string::npos);
    EXPECT_NE(drawn[0].find(".gif 11,11,150,290"), std::string::npos) << drawn[0];

    // Temporary files: gone when the next page is laid out, and with the folder at close.
    const std::string bigFile = drawn[0].substr(8, drawn[0].rfind(' ') - 8);
    EXPECT_TRUE(fs::exists(bigFile));
    b.Draw(2);
    EXPECT_FALSE(fs::exists(bigFile));
    EXPECT_TRUE(b.doc.TempFiles.empty());
    b.Draw(0);

    // Links: the anchor of another file, written "CH2.HTM#X" (links keep their case; targets
    // are found without regard to it), there and back again.
    TargetAction act = b.doc.FollowLink(b.LinkPoint("CH2.HTM#X"));
    EXPECT_EQ(act, TargetAction::Jumped);
    const int32_t there = b.doc.CurrentPage;
    EXPECT_GT(there, 1);
    b.Draw(there);
    bool anchored = false;
    for (const auto& t : b.dc.texts)
        anchored |= Utf8(t.text).find("anchored") != std::string::npos;
    EXPECT_TRUE(anchored);
    EXPECT_TRUE(b.doc.ReturnFromLink());
    EXPECT_EQ(b.doc.CurrentPage, 0);
    b.Draw(0);
    // "#top" is completed with the current file, and a whole file is reached by its name.
    EXPECT_EQ(b.doc.FollowLink(b.LinkPoint("ch1.htm#top")), TargetAction::Jumped);
    EXPECT_EQ(b.doc.CurrentPage, 0);
    b.Draw(0);
    EXPECT_EQ(b.doc.FollowLink(b.LinkPoint("ch2.htm#")), TargetAction::Jumped);
    EXPECT_EQ(b.doc.PageStarts[size_t(b.doc.CurrentPage)] <= b.doc.FileStartOffset("ch2.htm"),
              true);
    b.doc.CurrentPage = 0;
    b.Draw(0);

    // The outside address only after Yes; the sound to the shell as a ".wav" file.
    b.host.Answers = {MessageAnswer::No, MessageAnswer::Yes};
    EXPECT_EQ(b.doc.FollowLink(b.LinkPoint("https://example.org/")), TargetAction::Declined);
    EXPECT_TRUE(b.host.ShellOpens.empty());
    EXPECT_EQ(b.doc.FollowLink(b.LinkPoint("https://example.org/")), TargetAction::Outside);
    EXPECT_EQ(b.host.Messages.back().text, "Visit external link?\r\nhttps://example.org/");
    EXPECT_EQ(b.doc.FollowLink(b.LinkPoint("bell.wav")), TargetAction::Media);
    ASSERT_EQ(b.host.ShellOpens.size(), 2u);
    EXPECT_EQ(fs::path(b.host.ShellOpens[1]).extension(), ".wav");
    EXPECT_EQ(b.doc.CurrentPage, 0);

    // Contents rows skip the untitled entry without shifting the others.
    ContentsChooser chooser(b.doc);
    EXPECT_EQ(chooser.Titles(), (std::vector<std::string>{"Cover Image", "One", "Two \xc3\xa9"}));
    EXPECT_EQ(chooser.Choose(2), TargetAction::Jumped);
    EXPECT_TRUE(b.doc.PageStartsSection(b.doc.CurrentPage));
    EXPECT_EQ(chooser.Choose(0), TargetAction::Picture);

    // Sections: forward to the last page, where Next Section stops.
    b.doc.CurrentPage = 0;
    int32_t previous = -1;
    for (int i = 0; i < 50 && b.doc.CurrentPage != previous; ++i) {
        previous = b.doc.CurrentPage;
        EXPECT_TRUE(b.doc.NextSection());
    }
    EXPECT_EQ(b.doc.CurrentPage, previous);
    EXPECT_NE(b.doc.LastPage, kLastPageUnknown);
    EXPECT_EQ(b.doc.CurrentPage, b.doc.LastPage - 1);
    EXPECT_TRUE(b.doc.PreviousSection());
    EXPECT_LT(b.doc.CurrentPage, previous);

    b.doc.CloseBook();
    EXPECT_EQ(FilesIn(b.temp.path()), 0u);
    EXPECT_TRUE(fs::is_empty(b.temp.path()));
}

TEST(PicturesTest, HtmlOnDiskShowsOnlyPicturesInsideItsFolder) {
    PictureBook b;
    fs::create_directories(b.dir / "book/img");
    WriteFileText(b.dir / "book/img/a b.png", FakePng(20, 10));
    WriteFileText(b.dir / "outside.png", FakePng(20, 10));
    fs::create_symlink(b.dir / "outside.png", b.dir / "book/img/link.png");
    WriteFileText(b.dir / "book/page.htm",
                  "<html><img src=\"img/a%20b.png\"> <img src='../outside.png'> <img src=\"" +
                      (b.dir / "outside.png").string() +
                      "\"> <img src=img/link.png> <img src=\"http://x/outside.png\"> <ins> "
                      "<input> text");
    ASSERT_TRUE(b.Open(b.dir / "book/page.htm", kSourceText));
    b.Draw(0);
    std::vector<std::string> drawn = PictureCalls(b.dc);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_NE(drawn[0].find("img/a b.png 11,26,31,36"), std::string::npos) << drawn[0];
    EXPECT_TRUE(b.doc.TempFiles.empty());  // the book's own file is used, never copied
    std::string text;
    for (const auto& t : b.dc.texts)
        text += Utf8(t.text);
    // Four pictures that cannot be shown keep their placeholders; <ins> and <input> are none.
    size_t placeholders = 0;
    for (size_t at = text.find("<<IMAGE>>"); at != std::string::npos;
         at = text.find("<<IMAGE>>", at + 1))
        ++placeholders;
    EXPECT_EQ(placeholders, 4u);
    b.doc.CloseBook();
    EXPECT_TRUE(fs::exists(b.dir / "book/img/a b.png"));
}

TEST(PicturesTest, PicturesThatCannotFitStillMakeProgress) {
    PictureBook b;
    // A tall picture after a page's worth of lines, inside a block quote, with joined lines,
    // and a picture wider than the line beside words: every page moves on and each picture is
    // drawn once.
    std::string text = "<html><blockquote>";
    for (int i = 0; i < 12; ++i)
        text += "line " + std::to_string(i) + "\n";
    text += "words <img src=tall.gif width=50 height=900> more words <img src=\"wide.png\"> end";
    text += "</blockquote>";
    WriteFileText(b.dir / "tall.gif", FakeGif(50, 900));
    WriteFileText(b.dir / "wide.png", FakePng(5000, 20));
    WriteFileText(b.dir / "book.htm", text);
    ASSERT_TRUE(b.Open(b.dir / "book.htm", kSourceText));
    b.doc.JoinLines = 1;
    b.doc.PaginateTo(100);
    ASSERT_NE(b.doc.LastPage, kLastPageUnknown);
    EXPECT_LT(b.doc.LastPage, 6);
    size_t pictures = 0;
    for (int32_t page = 0; page < b.doc.LastPage; ++page) {
        b.Draw(page);
        for (const std::string& call : PictureCalls(b.dc)) {
            ++pictures;
            // Within the text area, right of the quote's indent.
            int l, t, r, bottom;
            ASSERT_EQ(sscanf(call.substr(call.rfind(' ') + 1).c_str(), "%d,%d,%d,%d", &l, &t, &r,
                             &bottom),
                      4);
            EXPECT_GE(l, 10 + 50);
            EXPECT_LE(r, 211);
            EXPECT_LE(bottom, 291);
        }
    }
    EXPECT_EQ(pictures, 2u);
}

TEST(PicturesTest, HostileLinksAnchorsAndPictureFiles) {
    PictureBook b;
    // Every word a link, a link target longer than the line, a 10,000-character anchor name,
    // pictures that are empty, damaged or claim to be enormous, and a target that is nowhere.
    std::string text = "<html>";
    for (int i = 0; i < 3000; ++i)
        text += "<a href=\"#w" + std::to_string(i) + "\">w</a> ";
    text += "<a href=\"" + std::string(5000, 'l') + "\">long</a> ";
    text += "<a name=\"" + std::string(10000, 'n') + "\">named</a> ";
    text += "<img src=empty.png> <img src=damaged.png> <img src=huge.png> ";
    text += "<a href=\"nowhere.htm#gone\">lost</a> <a href=\"HTTPS://a.example/\">up</a>";
    WriteFileText(b.dir / "empty.png", "");
    WriteFileText(b.dir / "damaged.png", FakePng(10, 10).substr(0, 12));
    WriteFileText(b.dir / "huge.png", FakePng(100000, 100000));
    WriteFileText(b.dir / "book.htm", text);
    ASSERT_TRUE(b.Open(b.dir / "book.htm", kSourceText));
    b.doc.PaginateTo(1000);
    ASSERT_NE(b.doc.LastPage, kLastPageUnknown);
    EXPECT_TRUE(b.doc.Links.empty());  // measuring records no links
    b.Draw(0);
    EXPECT_LE(b.doc.Links.size(), 100u);
    int32_t last = b.doc.LastPage - 1;
    b.Draw(last);
    for (const LinkRecord& link : b.doc.Links)
        EXPECT_LE(link.target.size(), 1100u);
    // Nowhere: the page stays. An outside address of any scheme is asked about.
    b.host.DefaultAnswer = MessageAnswer::No;
    EXPECT_FALSE(b.doc.GoToTarget("nowhere.htm#gone"));
    EXPECT_EQ(b.doc.CurrentPage, last);
    EXPECT_EQ(b.doc.OpenTarget("HTTPS://a.example/"), TargetAction::Declined);
    EXPECT_EQ(b.host.Messages.size(), 1u);
    // Only a file whose last extension is a media type goes to the shell.
    EXPECT_FALSE(IsMediaTarget("chapter.mpx.htm"));
    EXPECT_FALSE(IsMediaTarget("a.mp3.exe"));
    EXPECT_TRUE(IsMediaTarget("Song.MP3"));
}

}  // namespace
}  // namespace pagewick::test
