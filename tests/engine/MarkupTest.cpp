#include <gtest/gtest.h>

#include "engine/Markup.h"

namespace pagewick {
namespace {

uint16_t Decode(const char16_t* entity, std::u16string* more = nullptr, bool exact = false) {
    std::u16string extra;
    uint16_t code = DecodeEntity(entity, exact, more ? more : &extra);
    return code;
}

TEST(MarkupTest, NamedEntitiesFollowTheTable) {
    std::u16string more;
    EXPECT_EQ(Decode(u"&hellip;", &more), '.');
    EXPECT_EQ(more, u"..");
    more.clear();
    EXPECT_EQ(Decode(u"&trade;", &more), 'T');
    EXPECT_EQ(more, u"M");
    more.clear();
    EXPECT_EQ(Decode(u"&bdquo;", &more), ',');
    EXPECT_EQ(more, u",");
    EXPECT_EQ(Decode(u"&nbsp;"), ' ');
    EXPECT_EQ(Decode(u"&s;"), ' ');
    EXPECT_EQ(Decode(u"&dagger;"), '\'');
    // The euro sign is itself (a comma would misprice every book that names it).
    EXPECT_EQ(Decode(u"&euro;"), 0x20AC);
    EXPECT_EQ(Decode(u"&sbquo;"), ',');
    EXPECT_EQ(Decode(u"&permil;"), '%');
    EXPECT_EQ(Decode(u"&mdash;"), '-');
    EXPECT_EQ(Decode(u"&middot;"), 183);
    EXPECT_EQ(Decode(u"&iquest;"), 191);
    EXPECT_EQ(Decode(u"&lt;"), '<');
}

TEST(MarkupTest, CaseNumbersAndUnknownNames) {
    EXPECT_EQ(Decode(u"&HELLIP;"), '.');               // lower-cased for HTML books
    EXPECT_EQ(Decode(u"&HELLIP;", nullptr, true), 0);  // LIT books match exactly
    EXPECT_EQ(Decode(u"&#8211;"), 8211);
    EXPECT_EQ(Decode(u"&#169;"), 169);
    EXPECT_EQ(Decode(u"&unknown;"), 0);
    EXPECT_EQ(Decode(u"&#;"), 0);
    EXPECT_EQ(Decode(u"&#x41;"), 0);  // only decimal references
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
