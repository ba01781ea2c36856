// DecodeLitBinary on hand-made streams: states, tables, spaces, links, characters and failures.
#include <gtest/gtest.h>

#include "formats/lit/LitBinary.h"
#include "support/LitStream.h"

namespace pagewick {
namespace {

using test::DecodeAll;
using test::LitStream;

const std::string kEnd = "<a name=\"\"></a>";

// Tag codes used below.
constexpr uint32_t kA = 3, kB = 8, kEmpty = 15, kBr = 17, kDiv = 31, kI = 34, kHidden = 37,
                   kHtml = 50, kItalic = 51, kImg = 53, kP = 74, kSpan = 87;
constexpr uint32_t kHasChildren = 1, kChildless = 3, kLineFeed = 4;
constexpr uint32_t kClass = 0x83ea, kHref = 0x0001, kImgSrc = 0x03ec, kImgAlt = 0x03eb;

std::string Html(const LitStream& s, const LitManifestGroups* manifest = nullptr) {
    const auto d = DecodeAll(s.bytes(), LitDecodeMode::Html, manifest);
    EXPECT_EQ(d.result, static_cast<long>(s.bytes().size())) << d.markup;
    return d.markup;
}

TEST(LitBinary, ElementsWithAndWithoutChildren) {
    LitStream s;
    s.Open(kHasChildren, kP).Attr(kClass, "c").EndAttrs();
    s.Text("Hi").Open(kChildless, kBr).EndAttrs().Text("there").Close();
    EXPECT_EQ(Html(s), "<p class=\"c\">Hi<br></br>there</p>" + kEnd);

    // Flag 4 puts a line feed after the opening tag and after the closing one.
    LitStream lf;
    lf.Open(kHasChildren | kLineFeed, kDiv).EndAttrs().Text("x");
    lf.Open(kChildless | kLineFeed, kBr).EndAttrs().Close();
    EXPECT_EQ(Html(lf), "<div>\nx<br></br>\n</div>\n" + kEnd);

    // Nothing at all still ends with the empty anchor.
    EXPECT_EQ(Html(LitStream()), kEnd);
}

TEST(LitBinary, SpacesAtTheStartAndEndOfAnElementAreDropped) {
    LitStream s;
    s.Open(kHasChildren, kP).EndAttrs().Text("   lead and trail   ").Close();
    EXPECT_EQ(Html(s), "<p>lead and trail</p>" + kEnd);
}

TEST(LitBinary, SpacesAroundAChildStayWhereTheyWere) {
    // "This is <b>bold</b> text": the space before the child is written in front of it, the one
    // after it in front of the next word. Holding the first one back until after "</b>" would
    // glue "is" and "bold" together.
    LitStream s;
    s.Open(kHasChildren, kP).EndAttrs().Text("This is ");
    s.Open(kHasChildren, kB).EndAttrs().Text("bold").Close();
    s.Text(" text").Close();
    EXPECT_EQ(Html(s), "<p>This is <b>bold</b> text</p>" + kEnd);

    // A child at the very start: the spaces after it are kept, the child's own leading ones not.
    LitStream first;
    first.Open(kHasChildren, kP).EndAttrs();
    first.Open(kHasChildren, kI).EndAttrs().Text("  one").Close();
    first.Text("  two  ").Close();
    EXPECT_EQ(Html(first), "<p><i>one</i>  two</p>" + kEnd);

    // Spaces before a child that writes nothing (hidden, empty) still separate the words.
    LitStream hidden;
    hidden.Open(kHasChildren, kP).EndAttrs().Text("a ");
    hidden.Open(kChildless, kHidden).EndAttrs().Text("b").Close();
    EXPECT_EQ(Html(hidden), "<p>a b</p>" + kEnd);
}

TEST(LitBinary, TagTableSpecialCodes) {
    LitStream italics;
    italics.Open(kHasChildren, kI).EndAttrs().Text("x").Close();
    italics.Open(kHasChildren, kItalic).EndAttrs().Text("y").Close();
    EXPECT_EQ(Html(italics), "<i>x</i><i>y</i>" + kEnd);

    // Code 37 writes its content only; its attributes are read and not written.
    LitStream hidden;
    hidden.Open(kHasChildren, kHidden).Attr(kClass, "h").Attr(0x938b, "red").EndAttrs();
    hidden.Text("shown").Close();
    EXPECT_EQ(Html(hidden), "shown" + kEnd);

    // Code 15 has no name: no tags, and its attributes have nothing to sit in.
    LitStream empty;
    empty.Open(kHasChildren, kEmpty).Attr(kClass, "e").EndAttrs().Text("t").Close();
    empty.Open(kChildless, kEmpty).Attr(0x9399, "all").EndAttrs();
    EXPECT_EQ(Html(empty), "t" + kEnd);

    // Codes outside the table (including its empty slots) are written "?N?".
    LitStream unknown;
    unknown.Open(kChildless, 120).Attr(kClass, "u").EndAttrs();
    unknown.Open(kHasChildren, 26).EndAttrs().Text("in").Close();
    unknown.Open(kChildless, 1000).EndAttrs();
    EXPECT_EQ(Html(unknown), "?120? class=\"u\"></?120?>?26?>in</?26?>?1000?></?1000?>" + kEnd);
}

TEST(LitBinary, CustomTagsAndAttributes) {
    LitStream s;
    s.Open(kHasChildren, 0x8000).Char(7).Text("my-tag");  // 6 characters
    s.Char(0x8000).Char(5).Text("data").Char(2).Text("v");
    s.Char(0x8000).Char(3).Char(0xe9).Text("x").Char(1);  // a name through the writer
    s.EndAttrs().Text("in").Close();
    EXPECT_EQ(Html(s), "<my-tag data=\"v\" &#233;x=\"\">in</my-tag>" + kEnd);

    // Tag names keep the low 7 bits of each character.
    LitStream low;
    low.Open(kChildless, 0x8000).Char(3).Char(0x100 + 'q').Char(0x80 + 'r').EndAttrs();
    EXPECT_EQ(Html(low), "<qr></qr>" + kEnd);
}

TEST(LitBinary, OwnNamesOfNestedElements) {
    // Names the file spells out and "?N?" names of elements inside one another, with childless
    // ones and a lone "?0?" between: each element closes under its own name.
    LitStream s;
    s.Open(kHasChildren, 0x8000).Char(6).Text("outer");
    s.EndAttrs().Open(kChildless, 120).EndAttrs().Open(kHasChildren, 0).Text("a");
    s.Open(kHasChildren, 0x8000).Char(3).Text("in").EndAttrs();
    s.Open(kChildless, 0x8000).Char(4).Text("br2").EndAttrs();
    s.Open(kHasChildren, 26).EndAttrs().Text("b").Close().Close();
    s.Open(kHasChildren, kB).EndAttrs().Text("c").Close().Close();
    EXPECT_EQ(Html(s),
              "<outer>?120?></?120?>?0?a<in><br2></br2>?26?>b</?26?></in><b>c</b></outer>" + kEnd);
}

TEST(LitBinary, LongRunsStopAtEverySpecialByte) {
    // Runs longer than the blocks they are scanned in, with the byte that ends them at every
    // place in a block, and ending where the input ends.
    for (size_t at = 1; at < 40; ++at) {
        const std::string head(at, 'x');
        LitStream s;
        s.Open(kChildless, kSpan).Attr(kClass, head + "&" + head + "\xc3\xa9" + head).EndAttrs();
        s.Open(kHasChildren, kP).EndAttrs().Text(head + "<y " + head + "  \x01" + head + " ");
        s.Close().Text("t " + head);
        EXPECT_EQ(Html(s), "<span class=\"" + head + "&amp;" + head + "&#233;" + head +
                               "\"></span><p>" + head + "&lt;y " + head + "  \x01" + head +
                               "</p>t " + head + kEnd)
            << at;
    }
    // The package description keeps "<" and ">" as they are, in values and in text.
    const std::string a(30, 'a');
    LitStream pkg;
    pkg.Open(kHasChildren, 2).Attr(8, a + "<b>&" + a).EndAttrs().Text(a + "<b>&" + a).Close();
    EXPECT_EQ(DecodeAll(pkg.bytes(), LitDecodeMode::Package).markup,
              "\n<dc:Title media-type=\"" + a + "<b>&amp;" + a + "\">" + a + "<b>&amp;" + a +
                  "</dc:Title>" + kEnd);
}

TEST(LitBinary, AttributeLookupAndValues) {
    LitStream s;
    // "a" has its own table (0x03ec target); html has none, so class comes from the common one.
    s.Open(kChildless, kA).Attr(0x03ec, "_top").Attr(0x8001, "n").EndAttrs();
    s.Open(kChildless, kHtml).Attr(kClass, "k").Attr(0x9392, "en").EndAttrs();
    // A code in neither table.
    s.Open(kChildless, kP).Attr(0x1234, "v").EndAttrs();
    // Number values are written one less; an empty value is "".
    s.Open(kChildless, kImg).NumberAttr(0x8006, 101).NumberAttr(0x8007, 0).Attr(kImgAlt, "");
    s.EndAttrs();
    EXPECT_EQ(Html(s),
              "<a target=\"_top\" name=\"n\"></a><html class=\"k\" lang=\"en\"></html>"
              "<p ?4660?=\"v\"></p><img width=\"100\" height=\"-1\" alt=\"\"></img>" +
                  kEnd);
}

TEST(LitBinary, PercentNamesHideTheirValueOnly) {
    // Package attributes 2 ("%never-used") and 4 ("%minimum_level"): read, not written; the
    // attributes after them are written as usual.
    LitStream s;
    s.Open(kChildless, 36).Attr(2, "secret").NumberAttr(4, 7).Attr(20, "n").EndAttrs();
    const auto d = DecodeAll(s.bytes(), LitDecodeMode::Package);
    EXPECT_EQ(d.result, static_cast<long>(s.bytes().size()));
    EXPECT_EQ(d.markup, "\n<meta name=\"n\"></meta>" + kEnd);
}

TEST(LitBinary, PackageModeLineFeeds) {
    LitStream s;
    s.Open(kHasChildren, 1).Attr(19, "uid").EndAttrs();        // package
    s.Open(kHasChildren, 20).EndAttrs();                       // metadata
    s.Open(kHasChildren, 2).EndAttrs().Text("Title").Close();  // dc:Title
    s.Open(kChildless, 36).Attr(20, "x").EndAttrs();           // meta
    s.Close();
    s.Open(kHasChildren, 37).EndAttrs().Close();  // tours, empty
    s.Close();
    const auto d = DecodeAll(s.bytes(), LitDecodeMode::Package);
    EXPECT_EQ(d.result, static_cast<long>(s.bytes().size()));
    EXPECT_EQ(d.markup,
              "\n<package unique-identifier=\"uid\">\n<metadata>\n<dc:Title>Title</dc:Title>"
              "\n<meta name=\"x\"></meta>\n</metadata>\n<tours>\n</tours>\n</package>" +
                  kEnd);

    // Package tags outside the table get no line feed; flag 4 means nothing here.
    LitStream other;
    other.Open(kChildless | kLineFeed, 10).EndAttrs();
    EXPECT_EQ(DecodeAll(other.bytes(), LitDecodeMode::Package).markup, "?10?></?10?>" + kEnd);
}

TEST(LitBinary, LinksResolveThroughTheManifest) {
    LitManifestGroups manifest;
    manifest[0] = {{"html39", "part39.html"}, {"html19", "part19.html"}, {"html1", "part1.html"}};
    manifest[1] = {{"contents", "toc.html"}};
    manifest[3] = {{"lamp", "images/lamp.gif"}};

    auto link = [&](std::string_view value, const LitManifestGroups* m) {
        LitStream s;
        s.Open(kChildless, kA).Attr(kHref, value).EndAttrs();
        std::string out = Html(s, m);
        return out.substr(0, out.size() - kEnd.size());
    };
    EXPECT_EQ(link("html19#sec", &manifest), "<a href=\"part19.html#sec\"></a>");
    EXPECT_EQ(link("contents", &manifest), "<a href=\"toc.html\"></a>");
    // The id itself wins over an earlier id that merely begins like it ...
    EXPECT_EQ(link("html1#x", &manifest), "<a href=\"part1.html#x\"></a>");
    // ... and without an exact id the first one beginning with the value is taken.
    EXPECT_EQ(link("html3#y", &manifest), "<a href=\"part39.html#y\"></a>");
    // No match, no manifest, or no file part at all: the value as it is.
    EXPECT_EQ(link("other.html#z", &manifest), "<a href=\"other.html#z\"></a>");
    EXPECT_EQ(link("html1#x", nullptr), "<a href=\"html1#x\"></a>");
    EXPECT_EQ(link("#local", &manifest), "<a href=\"#local\"></a>");
    EXPECT_EQ(link("", &manifest), "<a href=\"\"></a>");
    // The compiler's mark of a manifest reference (byte 2) is dropped, found or not.
    EXPECT_EQ(link("\x02html19#sec", &manifest), "<a href=\"part19.html#sec\"></a>");
    EXPECT_EQ(link("\x02gone#sec", &manifest), "<a href=\"gone#sec\"></a>");
    EXPECT_EQ(link("\x02"
                   "contents",
                   nullptr),
              "<a href=\"contents\"></a>");
    // Non-ASCII values are written as their bytes.
    EXPECT_EQ(link("caf\xc3\xa9", &manifest), "<a href=\"caf\xc3\xa9\"></a>");

    // "src" resolves too (pictures are in group 3); a long value needs no fixed buffer.
    LitStream img;
    img.Open(kChildless, kImg).Attr(kImgSrc, "lamp").EndAttrs();
    const std::string longValue(5000, 'q');
    img.Open(kChildless, kImg).Attr(kImgSrc, longValue + "#f").EndAttrs();
    EXPECT_EQ(Html(img, &manifest),
              "<img src=\"images/lamp.gif\"></img><img src=\"" + longValue + "#f\"></img>" + kEnd);

    // Package "href" (codes 1 and 7) resolves the same way.
    LitStream item;
    item.Open(kChildless, 17).Attr(6, "c").Attr(7, "contents").EndAttrs();
    EXPECT_EQ(DecodeAll(item.bytes(), LitDecodeMode::Package, &manifest).markup,
              "\n<item id=\"c\" href=\"toc.html\"></item>" + kEnd);
}

TEST(LitBinary, CharacterWriter) {
    LitStream s;
    s.Open(kHasChildren, kP).EndAttrs();
    for (uint32_t c : {0x2013u, 0xa0u,   0xa9u,   0xaeu,    0x2018u, 0x2019u, 0x201cu,
                       0x201du, 0x26u,   0x20acu, 0x201au,  0x201eu, 0x2020u, 0x2122u,
                       0x2026u, 0x2022u, 0xe9u,   0x1f600u, 0x3cu,   0x3eu,   0x22u}) {
        s.Char(c);
    }
    s.Close();
    EXPECT_EQ(Html(s),
              "<p>&#8211;\xa0\xa9\xae''\"\"&amp;&euro;&sbquo;&bdquo;&dagger;&trade;&hellip;&bull;"
              "&#233;&#128512;&lt;&gt;\"</p>" +
                  kEnd);

    // In attribute values the same writer is used.
    LitStream v;
    v.Open(kChildless, kSpan).Attr(kClass, "a<b&c\xe2\x80\x93").EndAttrs();
    EXPECT_EQ(Html(v), "<span class=\"a&lt;b&amp;c&#8211;\"></span>" + kEnd);

    // The package text is searched as it is: "<" stays a plain character there.
    LitStream pkg;
    pkg.Open(kHasChildren, 2).EndAttrs().Text("a<b & c").Close();
    EXPECT_EQ(DecodeAll(pkg.bytes(), LitDecodeMode::Package).markup,
              "\n<dc:Title>a<b &amp; c</dc:Title>" + kEnd);
}

TEST(LitBinary, FlagsWithoutAnElementStart) {
    // Flag 0 is a lone 0 in the text; flags without bit 0 and bit 1 with code 0 change nothing.
    LitStream s;
    s.Open(kHasChildren, kP).EndAttrs().Text("a").Char(0).Char(0).Text("b");
    s.Open(4, 0).Text("c").Close();
    EXPECT_EQ(Html(s), "<p>abc</p>" + kEnd);

    // With a code, attributes and children follow without tags of their own.
    LitStream anon;
    anon.Open(kHasChildren, kP).EndAttrs().Text("x ");
    anon.Open(8, 9).Attr(kClass, "z").EndAttrs().Text("in").Close();
    anon.Close();
    EXPECT_EQ(Html(anon), "<p>x in</p>" + kEnd);
}

TEST(LitBinary, TruncatedInputClosesOpenElements) {
    LitStream s;
    s.Open(kHasChildren, kDiv).EndAttrs().Open(kHasChildren, kP).Attr(kClass, "c");
    EXPECT_EQ(Html(s), "<div><p class=\"c\"></p></div>" + kEnd);

    LitStream text;
    text.Open(kHasChildren, kDiv).EndAttrs().Text("cut").Char(0);
    EXPECT_EQ(Html(text), "<div>cut</div>" + kEnd);
}

TEST(LitBinary, MalformedStructure) {
    auto result = [](const LitStream& s) { return DecodeAll(s.bytes()).result; };
    // The children end at the top level.
    EXPECT_EQ(result(LitStream().Text("x").Close()), kLitBinaryMalformed);
    // A value longer than the input, a value with count 0, a cut-off number value.
    EXPECT_EQ(result(LitStream().Open(kChildless, kP).Char(kClass).Char(50).Text("short")),
              kLitBinaryMalformed);
    EXPECT_EQ(result(LitStream().Open(kChildless, kP).Char(kClass).Char(0).EndAttrs()),
              kLitBinaryMalformed);
    EXPECT_EQ(result(LitStream().Open(kChildless, kP).Char(kClass).Char(0xffff)),
              kLitBinaryMalformed);
    EXPECT_EQ(result(LitStream().Open(kChildless, kA).Char(kHref).Char(9).Text("ab")),
              kLitBinaryMalformed);
    // A value cut inside its characters: the count fits the bytes but not the characters.
    EXPECT_EQ(result(LitStream().Open(kChildless, kP).Char(kClass).Char(4).Char(0x20ac)),
              kLitBinaryMalformed);
    // Custom names need at least one character and no more than remain.
    EXPECT_EQ(result(LitStream().Open(kChildless, 0x8000).Char(1).EndAttrs()), kLitBinaryMalformed);
    EXPECT_EQ(result(LitStream().Open(kChildless, 0x8000).Char(20).Text("ab")),
              kLitBinaryMalformed);
    EXPECT_EQ(result(LitStream().Open(kChildless, kP).Char(0x8000).Char(1).Char(1)),
              kLitBinaryMalformed);
    // A range outside the bytes.
    const std::vector<uint8_t> bytes(4, 'a');
    EXPECT_EQ(DecodeLitBinary(bytes, 3, 2, LitDecodeMode::Html, nullptr, nullptr),
              kLitBinaryMalformed);
    EXPECT_EQ(DecodeLitBinary(bytes, 0, 5, LitDecodeMode::Html, nullptr, nullptr),
              kLitBinaryMalformed);
}

TEST(LitBinary, BadUtf8KeepsWhatCameBefore) {
    for (auto bad : {std::vector<uint8_t>{0x80},
                     {0xc3},
                     {0xe2, 0x82},
                     {0xe2, 0x28, 0xa1},
                     {0xf8, 0x80, 0x80, 0x80, 0x80},
                     {0xff}}) {
        LitStream s;
        s.Open(kHasChildren, kP).EndAttrs().Text("ok");
        std::vector<uint8_t> bytes = s.bytes();
        bytes.insert(bytes.end(), bad.begin(), bad.end());
        const auto d = DecodeAll(bytes);
        EXPECT_EQ(d.result, kLitBinaryBadUtf8);
        EXPECT_EQ(d.markup, "<p>ok");
    }
    // Inside a value and as a tag code.
    EXPECT_EQ(
        DecodeAll(LitStream().Open(kChildless, kP).Char(kClass).Char(3).Raw({'a', 0xbf}).bytes())
            .result,
        kLitBinaryBadUtf8);
    EXPECT_EQ(DecodeAll(LitStream().Char(0).Char(1).Raw({0xc0}).bytes()).result, kLitBinaryBadUtf8);
}

TEST(LitBinary, DecodesTheGivenRangeOnly) {
    LitStream s;
    s.Open(kHasChildren, kP).EndAttrs().Text("inside").Close();
    std::vector<uint8_t> bytes = {'x', 'y'};
    bytes.insert(bytes.end(), s.bytes().begin(), s.bytes().end());
    bytes.push_back(0xff);  // would be a bad sequence if it were read
    std::string out;
    const long r = DecodeLitBinary(bytes, 2, bytes.size() - 1, LitDecodeMode::Html, nullptr,
                                   [&](const char* t, size_t n) {
                                       out.append(t, n);
                                       return static_cast<long>(n);
                                   });
    EXPECT_EQ(r, static_cast<long>(s.bytes().size()));
    EXPECT_EQ(out, "<p>inside</p>" + kEnd);
}

TEST(LitBinary, DepthIsBounded) {
    auto nested = [](size_t depth) {
        LitStream s;
        for (size_t i = 0; i < depth; ++i)
            s.Open(kHasChildren, kB).EndAttrs();
        s.Text("deep");
        for (size_t i = 0; i < depth; ++i)
            s.Close();
        return s;
    };
    const auto ok = DecodeAll(nested(kLitBinaryMaxDepth).bytes());
    EXPECT_EQ(ok.result, static_cast<long>(nested(kLitBinaryMaxDepth).bytes().size()));
    EXPECT_NE(ok.markup.find("deep</b></b>"), std::string::npos);
    EXPECT_EQ(DecodeAll(nested(kLitBinaryMaxDepth + 1).bytes()).result, kLitBinaryMalformed);

    // Far deeper than the bound, as a hostile file would nest, and cut off before any end.
    LitStream endless;
    for (int i = 0; i < 200000; ++i)
        endless.Open(kHasChildren, kB).EndAttrs();
    EXPECT_EQ(DecodeAll(endless.bytes()).result, kLitBinaryMalformed);
}

TEST(LitBinary, SinkStopsTheDecoding) {
    LitStream s;
    s.Open(kHasChildren, kP).EndAttrs();
    for (int i = 0; i < 5000; ++i)
        s.Text("word ");
    s.Close();

    // The pieces together are the whole markup.
    std::string all;
    size_t calls = 0;
    long r = DecodeLitBinary(s.bytes(), 0, s.bytes().size(), LitDecodeMode::Html, nullptr,
                             [&](const char* t, size_t n) {
                                 ++calls;
                                 all.append(t, n);
                                 return static_cast<long>(n);
                             });
    EXPECT_EQ(r, static_cast<long>(s.bytes().size()));
    EXPECT_GT(calls, 1u);
    EXPECT_EQ(all.size(), 3 + 5000 * 5 - 1 + 4 + kEnd.size());
    // A piece is handed over at the first word that fills it, not a long way after.
    std::vector<size_t> sizes;
    DecodeLitBinary(s.bytes(), 0, s.bytes().size(), LitDecodeMode::Html, nullptr,
                    [&](const char*, size_t n) {
                        sizes.push_back(n);
                        return static_cast<long>(n);
                    });
    ASSERT_EQ(sizes.size(), calls);
    for (size_t i = 0; i + 1 < sizes.size(); ++i) {
        EXPECT_GE(sizes[i], 8192u);
        EXPECT_LE(sizes[i], 8192u + 5);
    }

    // Any negative answer, even one equal to a failure code, stops the decoding with its own
    // result, and nothing more is sent after it.
    for (long answer : {-7L, kLitBinaryMalformed, kLitBinaryBadUtf8}) {
        calls = 0;
        r = DecodeLitBinary(s.bytes(), 0, s.bytes().size(), LitDecodeMode::Html, nullptr,
                            [&](const char*, size_t) {
                                ++calls;
                                return answer;
                            });
        EXPECT_EQ(r, kLitBinaryStopped);
        EXPECT_EQ(calls, 1u);
    }

    // Stopping beats a failure met afterwards: a sink that stops on the first piece of a stream
    // that is malformed further on.
    std::vector<uint8_t> bad = s.bytes();
    bad.push_back(0xff);
    EXPECT_EQ(DecodeLitBinary(bad, 0, bad.size(), LitDecodeMode::Html, nullptr,
                              [](const char*, size_t) { return -1L; }),
              kLitBinaryStopped);
    EXPECT_EQ(DecodeLitBinary(bad, 0, bad.size(), LitDecodeMode::Html, nullptr,
                              [](const char*, size_t n) { return static_cast<long>(n); }),
              kLitBinaryBadUtf8);

    // No sink: the markup is discarded and the decoding still runs to the end.
    EXPECT_EQ(DecodeLitBinary(s.bytes(), 0, s.bytes().size(), LitDecodeMode::Html, nullptr, {}),
              static_cast<long>(s.bytes().size()));
}

}  // namespace
}  // namespace pagewick
