// Every entry of the tag and attribute code tables (formats/lit/LitTags.h), which the binary
// decoder names elements and attributes by, against the same codes written out a second time as
// plain "code name" text: a slip in either shows up as a mismatch.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "formats/lit/LitTags.h"

namespace pagewick {
namespace {

using lit_tags::LitAttribute;
using lit_tags::LitTag;

const char* const kHtmlTagListing = R"(
3 a, 4 acronym, 5 address, 6 applet, 7 area, 8 b, 9 base, 10 basefont, 11 bdo, 12 bgsound, 13 big,
14 blink, 15 empty name, 16 body, 17 br, 18 button, 19 caption, 20 center, 21 cite, 22 code, 23
col, 24 colgroup, 27 dd, 28 del, 29 dfn, 30 dir, 31 div, 32 dl, 33 dt, 34 i, 35 embed, 36
fieldset, 37 hidden (name begins with byte 1), 38 form, 39 frame, 40 frameset, 42 h1, 43 h2, 44
h3, 45 h4, 46 h5, 47 h6, 48 head, 49 hr, 50 html, 51 i, 52 iframe, 53 img, 54 input, 55 ins, 56
kbd, 57 label, 58 legend, 59 li, 60 link, 61 tag61, 62 map, 63 tag63, 64 tag64, 65 meta, 66
nextid, 67 nobr, 68 noembed, 69 noframes, 70 noscript, 71 object, 72 ol, 73 option, 74 p, 75
param, 76 plaintext, 77 pre, 78 q, 79 rp, 80 rt, 81 ruby, 82 s, 83 samp, 84 script, 85 select, 86
small, 87 span, 88 strike, 89 strong, 90 style, 91 sub, 92 sup, 93 table, 94 tbody, 95 tc, 96 td,
97 textarea, 98 tfoot, 99 th, 100 thead, 101 title, 102 tr, 103 tt, 104 u, 105 ul, 106 var, 107
wbr.
)";
const char* const kCommonListing = R"(
0x8010 tabindex, 0x8046 title, 0x804b style, 0x804d disabled, 0x83ea class, 0x83eb id, 0x83fe
datafld, 0x83ff datasrc, 0x8400 dataformatas, 0x87d6 accesskey, 0x9392 lang, 0x93ed language,
0x93fe dir, 0x9771 onmouseover, 0x9772 onmouseout, 0x9773 onmousedown, 0x9774 onmouseup, 0x9775
onmousemove, 0x9776 onkeydown, 0x9777 onkeyup, 0x9778 onkeypress, 0x9779 onclick, 0x977a
ondblclick, 0x977e onhelp, 0x977f onfocus, 0x9780 onblur, 0x9783 onrowexit, 0x9784 onrowenter,
0x9786 onbeforeupdate, 0x9787 onafterupdate, 0x978a onreadystatechange, 0x9790 onscroll, 0x9794
ondragstart, 0x9795 onresize, 0x9796 onselectstart, 0x9797 onerrorupdate, 0x9799 ondatasetchanged,
0x979a ondataavailable, 0x979b ondatasetcomplete, 0x979c onfilterchange, 0x979f onlosecapture,
0x97a0 onpropertychange, 0x97a2 ondrag, 0x97a3 ondragend, 0x97a4 ondragenter, 0x97a5 ondragover,
0x97a6 ondragleave, 0x97a7 ondrop, 0x97a8 oncut, 0x97a9 oncopy, 0x97aa onpaste, 0x97ab
onbeforecut, 0x97ac onbeforecopy, 0x97ad onbeforepaste, 0x97af onrowsdelete, 0x97b0
onrowsinserted, 0x97b1 oncellchange, 0x97b2 oncontextmenu, 0x97b6 onbeforeeditfocus.
)";
const char* const kPackageTagListing = R"(
1 package, 2 dc:Title, 3 dc:Creator, 16 manifest, 17 item, 18 spine, 19 itemref, 20 metadata, 21
dc-metadata, 22 dc:Subject, 23 dc:Description, 24 dc:Publisher, 25 dc:Contributor, 26 dc:Date, 27
dc:Type, 28 dc:Format, 29 dc:Identifier, 30 dc:Source, 31 dc:Language, 32 dc:Relation, 33
dc:Coverage, 34 dc:Rights, 35 x-metadata, 36 meta, 37 tours, 38 tour, 39 site, 40 guide, 41
reference.
)";
const char* const kPackageAttrListing = R"(
1 href, 2 %never-used, 3 %guid, 4 %minimum_level, 5 %attr5, 6 id, 7 href, 8 media-type, 9
fallback, 10 idref, 11 xmlns:dc, 12 xmlns:oebpackage, 13 role, 14 file-as, 15 event, 16 scheme, 17
title, 18 type, 19 unique-identifier, 20 name, 21 content, 22 xml:lang.
)";
const char* const kPerTagListing = R"(
- 3 a: 0x0001 href, 0x03ec target, 0x03ee rel, 0x03ef rev, 0x03f0 urn, 0x03f1 methods, 0x8001
  name, 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 5 address: 0x9399 clear
- 6 applet: 0x8001 name, 0x8006 width, 0x8007 height, 0x804a align, 0x8bbb classid, 0x8bbc data,
  0x8bbf codebase, 0x8bc0 codetype, 0x8bc1 code, 0x8bc2 type, 0x8bc5 vspace, 0x8bc6 hspace, 0x978e
  onerror
- 7 area: 0x0001 href, 0x03ea shape, 0x03eb coords, 0x03ed target, 0x03ee alt, 0x03ef nohref,
  0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 8 b: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 9 base: 0x03ec href, 0x03ed target
- 10 basefont: 0x938b color, 0x939b face, 0x93a3 size
- 12 bgsound: 0x03ea src, 0x03eb loop, 0x03ec volume, 0x03ed balance
- 13 big: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 15 empty name: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id, 0x9399 clear
- 16 body: 0x07db link, 0x07dc alink, 0x07dd vlink, 0x8046 title, 0x804b style, 0x83ea class,
  0x83eb id, 0x938a background, 0x938b text, 0x938e nowrap, 0x93ae topmargin, 0x93af rightmargin,
  0x93b0 bottommargin, 0x93b1 leftmargin, 0x93b6 bgproperties, 0x93d8 scroll, 0x977b onselect,
  0x9791 onload, 0x9792 onunload, 0x9798 onbeforeunload, 0x97b3 onbeforeprint, 0x97b4
  onafterprint, 0xfe0c bgcolor
- 17 br: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id, 0x9399 clear
- 18 button: 0x07d1 type, 0x8001 name
- 19 caption: 0x8046 title, 0x8049 align, 0x804b style, 0x83ea class, 0x83eb id, 0x93a8 valign
- 20 center: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id, 0x9399 clear
- 21 cite: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 22 code: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 23 col: 0x03ea span, 0x8006 width, 0x8049 align, 0x93a8 valign, 0xfe0c bgcolor
- 24 colgroup: 0x03ea span, 0x8006 width, 0x8049 align, 0x93a8 valign, 0xfe0c bgcolor
- 27 dd: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id, 0x938e nowrap
- 29 dfn: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 31 div: 0x8046 title, 0x8049 align, 0x804b style, 0x83ea class, 0x83eb id, 0x938e nowrap
- 32 dl: 0x03ea compact, 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 33 dt: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id, 0x938e nowrap
- 34 i: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 35 embed: 0x8001 name, 0x8006 width, 0x8007 height, 0x804a align, 0x8bbd palette, 0x8bbe
  pluginspage, 0x8bbf codebase, 0x8bbf src, 0x8bc1 units, 0x8bc2 type, 0x8bc3 hidden
- 36 fieldset: 0x804a align
- 37 hidden: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id, 0x938b color, 0x939b face,
  0x939c size
- 38 form: 0x03ea action, 0x03ec enctype, 0x03ed method, 0x03ef target, 0x03f4 accept-charset,
  0x8001 name, 0x977c onsubmit, 0x977d onreset
- 39 frame: 0x8000 align, 0x8001 name, 0x8bb9 src, 0x8bbb border, 0x8bbc frameborder, 0x8bbd
  framespacing, 0x8bbe marginwidth, 0x8bbf marginheight, 0x8bc0 noresize, 0x8bc1 scrolling, 0x8fa2
  bordercolor
- 40 frameset: 0x03e9 rows, 0x03ea cols, 0x03eb border, 0x03ec bordercolor, 0x03ed frameborder,
  0x03ee framespacing, 0x8001 name, 0x9791 onload, 0x9792 onunload, 0x9798 onbeforeunload, 0x97b3
  onbeforeprint, 0x97b4 onafterprint
- 42 h1: 0x8046 title, 0x8049 align, 0x804b style, 0x83ea class, 0x83eb id, 0x9399 clear
- 43 h2: 0x8046 title, 0x8049 align, 0x804b style, 0x83ea class, 0x83eb id, 0x9399 clear
- 44 h3: 0x8046 title, 0x8049 align, 0x804b style, 0x83ea class, 0x83eb id, 0x9399 clear
- 45 h4: 0x8046 title, 0x8049 align, 0x804b style, 0x83ea class, 0x83eb id, 0x9399 clear
- 46 h5: 0x8046 title, 0x8049 align, 0x804b style, 0x83ea class, 0x83eb id, 0x9399 clear
- 47 h6: 0x8046 title, 0x8049 align, 0x804b style, 0x83ea class, 0x83eb id, 0x9399 clear
- 49 hr: 0x03ea noshade, 0x8006 width, 0x8007 size, 0x8046 title, 0x8049 align, 0x804b style,
  0x83ea class, 0x83eb id, 0x938b color
- 51 i: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 52 iframe: 0x8001 name, 0x8006 width, 0x8007 height, 0x804a align, 0x8bb9 src, 0x8bbb border,
  0x8bbc frameborder, 0x8bbd framespacing, 0x8bbe marginwidth, 0x8bbf marginheight, 0x8bc0
  noresize, 0x8bc1 scrolling, 0x8fa2 vspace, 0x8fa3 hspace
- 53 img: 0x03eb alt, 0x03ec src, 0x03ed border, 0x03ee vspace, 0x03ef hspace, 0x03f0 lowsrc,
  0x03f1 vrml, 0x03f2 dynsrc, 0x03f4 loop, 0x03f6 start, 0x07d3 ismap, 0x07d9 usemap, 0x8001 name,
  0x8006 width, 0x8007 height, 0x8046 title, 0x804a align, 0x804b style, 0x83ea class, 0x83eb id,
  0x978d onabort, 0x978e onerror, 0x9791 onload
- 54 input: 0x07d1 type, 0x07d3 size, 0x07d4 maxlength, 0x07d6 readonly, 0x07d8 indeterminate,
  0x07da checked, 0x07db alt, 0x07dc src, 0x07dd border, 0x07de vspace, 0x07df hspace, 0x07e0
  lowsrc, 0x07e1 vrml, 0x07e2 dynsrc, 0x07e4 loop, 0x07e5 start, 0x8001 name, 0x8006 width, 0x8007
  height, 0x804a align, 0x93ee value, 0x977b onselect, 0x978d onabort, 0x978e onerror, 0x978f
  onchange, 0x9791 onload
- 56 kbd: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 57 label: 0x03e9 for
- 58 legend: 0x804a align
- 59 li: 0x03ea value, 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id, 0x939a type
- 60 link: 0x03ee href, 0x03ef rel, 0x03f0 rev, 0x03f1 type, 0x03f9 media, 0x03fa target, 0x8046
  title, 0x804b style, 0x83ea class, 0x83eb id, 0x978e onerror, 0x9791 onload
- 61 tag61: 0x9399 clear
- 62 map: 0x8001 name, 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 63 tag63: 0x1771 scrolldelay, 0x1772 direction, 0x1773 behavior, 0x1774 scrollamount, 0x1775
  loop, 0x1776 vspace, 0x1777 hspace, 0x1778 truespeed, 0x8006 width, 0x8007 height, 0x9785
  onbounce, 0x978b onfinish, 0x978c onstart, 0xfe0c bgcolor
- 65 meta: 0x03ea http-equiv, 0x03eb content, 0x03ec url, 0x03f6 charset, 0x8001 name
- 66 nextid: 0x03f5 n
- 71 object: 0x8000 border, 0x8000 usemap, 0x8001 name, 0x8006 width, 0x8007 height, 0x8046 title,
  0x804a align, 0x804b style, 0x83ea class, 0x83eb id, 0x8bbb classid, 0x8bbc data, 0x8bbf
  codebase, 0x8bc0 codetype, 0x8bc1 code, 0x8bc2 type, 0x8bc5 vspace, 0x8bc6 hspace, 0x978e
  onerror
- 72 ol: 0x03eb compact, 0x03ec start, 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id, 0x939a
  type
- 73 option: 0x03ea selected, 0x03eb value
- 74 p: 0x8046 title, 0x8049 align, 0x804b style, 0x83ea class, 0x83eb id, 0x9399 clear
- 75 param: 0x8000 name, 0x8000 value, 0x8000 type
- 76 plaintext: 0x9399 clear
- 77 pre: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id, 0x9399 clear
- 78 q: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 82 s: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 83 samp: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 84 script: 0x03ea src, 0x03ed for, 0x03ee event, 0x03f0 defer, 0x03f2 type, 0x978e onerror
- 85 select: 0x03eb size, 0x03ec multiple, 0x8000 align, 0x8001 name, 0x978f onchange
- 86 small: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 87 span: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 88 strike: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 89 strong: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 90 style: 0x03eb type, 0x03ef media, 0x8046 title, 0x978e onerror, 0x9791 onload
- 91 sub: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 92 sup: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 93 table: 0x03ea cols, 0x03eb border, 0x03ec rules, 0x03ed frame, 0x03ee cellspacing, 0x03ef
  cellpadding, 0x03fa datapagesize, 0x8006 width, 0x8007 height, 0x8046 title, 0x804a align,
  0x804b style, 0x83ea class, 0x83eb id, 0x938a background, 0x93a5 bordercolor, 0x93a6
  bordercolorlight, 0x93a7 bordercolordark, 0xfe0c bgcolor
- 94 tbody: 0x8049 align, 0x93a8 valign, 0xfe0c bgcolor
- 95 tc: 0x8049 align, 0x93a8 valign
- 96 td: 0x07d2 rowspan, 0x07d3 colspan, 0x8006 width, 0x8007 height, 0x8046 title, 0x8049 align,
  0x804b style, 0x83ea class, 0x83eb id, 0x938a background, 0x938e nowrap, 0x93a5 bordercolor,
  0x93a6 bordercolorlight, 0x93a7 bordercolordark, 0x93a8 valign, 0xfe0c bgcolor
- 97 textarea: 0x1b5a rows, 0x1b5b cols, 0x1b5c wrap, 0x1b5d readonly, 0x8001 name, 0x977b
  onselect, 0x978f onchange
- 98 tfoot: 0x8049 align, 0x93a8 valign, 0xfe0c bgcolor
- 99 th: 0x07d2 rowspan, 0x07d3 colspan, 0x8006 width, 0x8007 height, 0x8046 title, 0x8049 align,
  0x804b style, 0x83ea class, 0x83eb id, 0x938a background, 0x938e nowrap, 0x93a5 bordercolor,
  0x93a6 bordercolorlight, 0x93a7 bordercolordark, 0x93a8 valign, 0xfe0c bgcolor
- 100 thead: 0x8049 align, 0x93a8 valign, 0xfe0c bgcolor
- 102 tr: 0x8007 height, 0x8046 title, 0x8049 align, 0x804b style, 0x83ea class, 0x83eb id, 0x93a5
  bordercolor, 0x93a6 bordercolorlight, 0x93a7 bordercolordark, 0x93a8 valign, 0xfe0c bgcolor
- 103 tt: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 104 u: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
- 105 ul: 0x03eb compact, 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id, 0x939a type
- 106 var: 0x8046 title, 0x804b style, 0x83ea class, 0x83eb id
)";

std::string Flatten(std::string text) {
    for (char& c : text) {
        if (c == '\n') c = ' ';
    }
    while (!text.empty() && text.front() == ' ')
        text.erase(0, 1);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::vector<std::string> Items(const std::string& text) {
    std::vector<std::string> items;
    size_t from = 0;
    for (;;) {
        const size_t comma = text.find(", ", from);
        items.push_back(text.substr(from, comma - from));
        if (comma == std::string::npos) break;
        from = comma + 2;
    }
    if (!items.empty() && items.back().ends_with('.')) items.back().pop_back();
    return items;
}

// "12 name" or "0x03ea name" -> (number, name)
std::pair<uint32_t, std::string> Entry(const std::string& item) {
    const size_t space = item.find(' ');
    return {static_cast<uint32_t>(std::strtoul(item.substr(0, space).c_str(), nullptr, 0)),
            item.substr(space + 1)};
}

std::vector<std::pair<uint32_t, std::string>> Entries(const std::string& listing) {
    std::vector<std::pair<uint32_t, std::string>> entries;
    for (const std::string& item : Items(Flatten(listing)))
        entries.push_back(Entry(item));
    return entries;
}

void ExpectAttributes(std::span<const LitAttribute> table,
                      const std::vector<std::pair<uint32_t, std::string>>& expected,
                      const std::string& what) {
    ASSERT_EQ(table.size(), expected.size()) << what;
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].code, expected[i].first) << what << " entry " << i;
        EXPECT_STREQ(table[i].name, expected[i].second.c_str()) << what << " entry " << i;
    }
}

TEST(LitTags, HtmlTagNames) {
    std::map<uint32_t, std::string> listed;
    for (const auto& [code, name] : Entries(kHtmlTagListing))
        listed[code] = name;
    ASSERT_EQ(listed.size(), 102u);
    for (uint32_t code = 0; code < lit_tags::kHtmlTagCount; ++code) {
        const char* name = lit_tags::kHtmlTags[code].name;
        const auto it = listed.find(code);
        if (it == listed.end()) {
            EXPECT_EQ(name, nullptr) << "code " << code;
        } else if (it->second == "empty name") {
            ASSERT_NE(name, nullptr);
            EXPECT_STREQ(name, "") << "code " << code;
        } else if (it->second.starts_with("hidden")) {
            ASSERT_NE(name, nullptr);
            EXPECT_EQ(name[0], '\1') << "code " << code;
        } else {
            ASSERT_NE(name, nullptr) << "code " << code;
            EXPECT_STREQ(name, it->second.c_str()) << "code " << code;
        }
    }
}

TEST(LitTags, PerTagAttributeTables) {
    std::string listing = kPerTagListing;
    for (size_t at; (at = listing.find("\n  ")) != std::string::npos;)
        listing.replace(at, 3, " ");
    std::map<uint32_t, std::string> lines;
    std::istringstream in(listing);
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with("- ")) continue;
        const size_t colon = line.find(": ");
        const uint32_t code = std::strtoul(line.c_str() + 2, nullptr, 10);
        lines[code] = line.substr(colon + 2);
    }
    ASSERT_EQ(lines.size(), 84u);
    for (uint32_t code = 0; code < lit_tags::kHtmlTagCount; ++code) {
        const auto& tag = lit_tags::kHtmlTags[code];
        const auto it = lines.find(code);
        if (it == lines.end()) {
            EXPECT_TRUE(tag.attributes.empty()) << "tag " << code;
        } else {
            ExpectAttributes(tag.attributes, Entries(it->second), "tag " + std::to_string(code));
        }
    }
}

TEST(LitTags, CommonAttributes) {
    ExpectAttributes(lit_tags::kCommonAttrs, Entries(kCommonListing), "common");
    EXPECT_EQ(std::size(lit_tags::kCommonAttrs), 59u);
}

TEST(LitTags, PackageTables) {
    std::map<uint32_t, std::string> listed;
    for (const auto& [code, name] : Entries(kPackageTagListing))
        listed[code] = name;
    ASSERT_EQ(listed.size(), 29u);
    for (uint32_t code = 0; code < lit_tags::kPackageTagCount; ++code) {
        const LitTag& tag = lit_tags::kPackageTags[code];
        EXPECT_TRUE(tag.attributes.empty());
        const auto it = listed.find(code);
        if (it == listed.end()) {
            EXPECT_EQ(tag.name, nullptr) << "code " << code;
        } else {
            ASSERT_NE(tag.name, nullptr) << "code " << code;
            EXPECT_STREQ(tag.name, it->second.c_str()) << "code " << code;
        }
    }
    ExpectAttributes(lit_tags::kPackageAttrs, Entries(kPackageAttrListing), "package");
}

}  // namespace
}  // namespace pagewick
