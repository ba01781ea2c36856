#include <gtest/gtest.h>

#include "engine/Markup.h"
#include "util/Utf8.h"

namespace pagewick {
namespace {

uint16_t Decode(const char16_t* entity, std::u16string* more = nullptr, bool exact = false) {
    std::u16string extra;
    uint16_t code = DecodeEntity(entity, exact, more ? more : &extra);
    return code;
}

TEST(MarkupTest, EveryHtmlNameGivesItsCharacter) {
    // The names the engine once gave narrower forms of ("..." for "&hellip;") are themselves.
    std::u16string more;
    EXPECT_EQ(Decode(u"&hellip;", &more), 0x2026);
    EXPECT_EQ(more, u"");
    EXPECT_EQ(Decode(u"&trade;"), 0x2122);
    EXPECT_EQ(Decode(u"&nbsp;"), 0xA0);  // shown as a space, never collapsed with one
    EXPECT_EQ(Decode(u"&s;"), ' ');      // the engine's own
    EXPECT_EQ(Decode(u"&dagger;"), 0x2020);
    EXPECT_EQ(Decode(u"&Dagger;"), 0x2021);  // names keep their case
    EXPECT_EQ(Decode(u"&mdash;"), 0x2014);
    EXPECT_EQ(Decode(u"&CounterClockwiseContourIntegral;"), 0x2233);  // the longest name
    EXPECT_EQ(Decode(u"&fjlig;", &more), 'f');                        // two characters
    EXPECT_EQ(more, u"j");
}

TEST(MarkupTest, CaseNumbersAndUnknownNames) {
    EXPECT_EQ(Decode(u"&HELLIP;"), 0x2026);            // lower-cased for HTML books
    EXPECT_EQ(Decode(u"&HELLIP;", nullptr, true), 0);  // LIT books match exactly
    EXPECT_EQ(Decode(u"&#8211;"), 8211);
    EXPECT_EQ(Decode(u"&#169;"), 169);
    EXPECT_EQ(Decode(u"&#x2014;"), 0x2014);
    EXPECT_EQ(Decode(u"&#X41;"), 'A');
    EXPECT_EQ(Decode(u"&#150;"), 0x2013);  // 128 to 159 as Windows-1252, as browsers read them
    EXPECT_EQ(Decode(u"&#x1F600;"), 0xFFFD);
    EXPECT_EQ(Decode(u"&#0;"), 0xFFFD);
    EXPECT_EQ(Decode(u"&#xD800;"), 0xFFFD);
    EXPECT_EQ(Decode(u"&#99999999999999;"), 0xFFFD);
    EXPECT_EQ(Decode(u"&#10;"), ' ');
    EXPECT_EQ(Decode(u"&#7;"), 0);  // a control character gives nothing
    EXPECT_EQ(Decode(u"&unknown;"), 0);
    EXPECT_EQ(Decode(u"&#;"), 0);
    EXPECT_EQ(Decode(u"&#x;"), 0);
    EXPECT_EQ(Decode(u"&a.b;"), 0);
}

TEST(MarkupTest, ReferencesEndAsHtmlSays) {
    // A name ends with ";", but for the older names HTML reads without it; a number ends at its
    // last digit. What a reference leaves is read again.
    auto end = [](std::u16string_view collected, std::optional<char16_t> c) {
        return EndReference(collected, c, false);
    };
    ReferenceEnd r = end(u"#65", u'b');
    EXPECT_EQ(r.code, 'A');
    EXPECT_FALSE(r.takesEnd);
    r = end(u"#x41", std::nullopt);
    EXPECT_EQ(r.code, 'A');
    for (std::u16string_view text : {u"T", u"", u"chips", u"#"})
        EXPECT_EQ(end(text, u' ').kind, ReferenceEnd::Kind::Text) << Utf16ToUtf8(text);
    EXPECT_EQ(end(u"bogus", u';').kind, ReferenceEnd::Kind::Nothing);
    EXPECT_TRUE(end(u"bogus", u';').takesEnd);
    EXPECT_EQ(EndReference(u"eacute", std::nullopt, true).code, 0xE9);  // LIT books as well

    EXPECT_TRUE(ContinuesReference(u"", u'#'));
    EXPECT_TRUE(ContinuesReference(u"#", u'x'));
    EXPECT_FALSE(ContinuesReference(u"#x", u'g'));
    EXPECT_FALSE(ContinuesReference(u"#1", u'a'));
    EXPECT_FALSE(ContinuesReference(u"ab", u'-'));
    EXPECT_FALSE(ContinuesReference(std::u16string(kReferenceMax, u'a'), u'a'));

    EXPECT_EQ(DecodeReferences(u"Caf&eacute; &amp Co &amp;c AT&T &bogus;!", false),
              u"Caf\u00E9 & Co &c AT&T !");
}

TEST(MarkupTest, TagsAreClassifiedByWholeTextOrBeginning) {
    EXPECT_EQ(ClassifyTag("<b>").kind, TagKind::BoldOn);
    EXPECT_EQ(ClassifyTag("</strong>").kind, TagKind::BoldOff);
    EXPECT_EQ(ClassifyTag("<i class=x>").kind, TagKind::ItalicOn);
    EXPECT_EQ(ClassifyTag("<img src=\"a.gif\">").kind, TagKind::Picture);
    EXPECT_EQ(ClassifyTag("<img>").kind, TagKind::Picture);
    EXPECT_EQ(ClassifyTag("<input>").kind, TagKind::Ignore);  // only an image tag is a picture
    EXPECT_EQ(ClassifyTag("<ins>").kind, TagKind::Ignore);
    EXPECT_EQ(ClassifyTag("<br/>").kind, TagKind::Break);
    EXPECT_EQ(ClassifyTag("<h2 id=x>").kind, TagKind::Break);
    EXPECT_EQ(ClassifyTag("<html>").kind, TagKind::Break);
    EXPECT_EQ(ClassifyTag("<head profile=x>").kind, TagKind::Head);
    EXPECT_EQ(ClassifyTag("</h2>").kind, TagKind::Ignore);
    EXPECT_EQ(ClassifyTag("<font size=2>").kind, TagKind::Ignore);
    EXPECT_EQ(ClassifyTag("</font>").kind, TagKind::Ignore);
    EXPECT_EQ(ClassifyTag("<>").kind, TagKind::Ignore);
    EXPECT_EQ(ClassifyTag("<a href=\"x.htm\">").kind, TagKind::Link);
    EXPECT_EQ(ClassifyTag("<a name=\"x\">").kind, TagKind::Anchor);
    EXPECT_EQ(ClassifyTag("<a>").kind, TagKind::Ignore);
    EXPECT_EQ(ClassifyTag("</body>").kind, TagKind::Break);

    TagMeaning p = ClassifyTag("<p align=center>");
    EXPECT_EQ(p.kind, TagKind::Paragraph);
    EXPECT_TRUE(p.alignCentre);
    EXPECT_FALSE(p.pageBreak);
    EXPECT_TRUE(ClassifyTag("<p style=\"page-break-before: always\">").pageBreak);
    EXPECT_FALSE(ClassifyTag("<p style=page-break-before>").pageBreak);
    EXPECT_TRUE(ClassifyTag("<div align=right>").alignRight);
}

TEST(MarkupTest, AttributeValuesAreReadInsideTheTagWhateverTheirQuotes) {
    EXPECT_EQ(AttributeValue("<a href=\"ch2.htm#x\">", "href"), "ch2.htm#x");
    EXPECT_EQ(AttributeValue("<img src=p.gif>", "src"), "p.gif");
    EXPECT_EQ(AttributeValue("<img alt='a \"b\"' SRC='p q.gif'>", "src"), "p q.gif");
    EXPECT_EQ(AttributeValue("<img alt='a \"b\"' src=x>", "alt"), "a \"b\"");
    EXPECT_EQ(AttributeValue("<img width = 40 height=\"30\">", "width"), "40");
    // Another attribute's value is never taken, nor text past the tag.
    EXPECT_EQ(AttributeValue("<a class=\"href\" name=\"n\">", "href"), std::nullopt);
    EXPECT_EQ(AttributeValue("<img src>", "src"), std::nullopt);
    EXPECT_EQ(AttributeValue("<img src=>", "src"), std::nullopt);
    EXPECT_EQ(AttributeValue("<img src=\"unclosed>", "src"), "unclosed");
    EXPECT_EQ(AttributeValue("<a name=\"\">", "name"), "");
    EXPECT_EQ(AttributeValue("<img/src=a.png/>", "src"), "a.png/");
}

}  // namespace
}  // namespace pagewick
