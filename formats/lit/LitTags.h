// The codes of the compiled HTML format's tags and attributes: tag names by tag code and
// attribute names by attribute code, for content files (HTML) and for the package description
// ("/meta"). The binary decoder (LitBinary.cpp) names every element and attribute it writes out
// from these tables, so the text of a decoded book depends on each entry.
//
// A wrong code here is a silent fault (an attribute comes out under another name or as "?N?"),
// so tests/lit/LitTagsTest.cpp checks every entry against the same codes written out a second
// time as plain text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pagewick::lit_tags {

struct LitAttribute {
    uint32_t code;
    const char* name;  // a name beginning with "%" marks a value that is read and not written
};

struct LitTag {
    // nullptr: the code is not in the table. "": an element whose tags are not written.
    // A name beginning with byte 1: a hidden element (only its content is written).
    const char* name;
    std::span<const LitAttribute>
        attributes;  // the tag's own table, searched before the common one
};

inline constexpr size_t kHtmlTagCount = 109;
inline constexpr size_t kPackageTagCount = 43;

// Attribute tables of the HTML tags that have one (tag code and name in the comment).
// 3 a
inline constexpr LitAttribute kAttrs3[] = {
    {0x0001, "href"},  {0x03ec, "target"},  {0x03ee, "rel"},  {0x03ef, "rev"},
    {0x03f0, "urn"},   {0x03f1, "methods"}, {0x8001, "name"}, {0x8046, "title"},
    {0x804b, "style"}, {0x83ea, "class"},   {0x83eb, "id"}};
// 5 address
inline constexpr LitAttribute kAttrs5[] = {{0x9399, "clear"}};
// 6 applet
inline constexpr LitAttribute kAttrs6[] = {
    {0x8001, "name"},    {0x8006, "width"}, {0x8007, "height"},   {0x804a, "align"},
    {0x8bbb, "classid"}, {0x8bbc, "data"},  {0x8bbf, "codebase"}, {0x8bc0, "codetype"},
    {0x8bc1, "code"},    {0x8bc2, "type"},  {0x8bc5, "vspace"},   {0x8bc6, "hspace"},
    {0x978e, "onerror"}};
// 7 area
inline constexpr LitAttribute kAttrs7[] = {
    {0x0001, "href"},   {0x03ea, "shape"}, {0x03eb, "coords"}, {0x03ed, "target"}, {0x03ee, "alt"},
    {0x03ef, "nohref"}, {0x8046, "title"}, {0x804b, "style"},  {0x83ea, "class"},  {0x83eb, "id"}};
// 8 b
inline constexpr LitAttribute kAttrs8[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 9 base
inline constexpr LitAttribute kAttrs9[] = {{0x03ec, "href"}, {0x03ed, "target"}};
// 10 basefont
inline constexpr LitAttribute kAttrs10[] = {{0x938b, "color"}, {0x939b, "face"}, {0x93a3, "size"}};
// 12 bgsound
inline constexpr LitAttribute kAttrs12[] = {
    {0x03ea, "src"}, {0x03eb, "loop"}, {0x03ec, "volume"}, {0x03ed, "balance"}};
// 13 big
inline constexpr LitAttribute kAttrs13[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 15 empty
inline constexpr LitAttribute kAttrs15[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}, {0x9399, "clear"}};
// 16 body
inline constexpr LitAttribute kAttrs16[] = {
    {0x07db, "link"},         {0x07dc, "alink"},          {0x07dd, "vlink"},
    {0x8046, "title"},        {0x804b, "style"},          {0x83ea, "class"},
    {0x83eb, "id"},           {0x938a, "background"},     {0x938b, "text"},
    {0x938e, "nowrap"},       {0x93ae, "topmargin"},      {0x93af, "rightmargin"},
    {0x93b0, "bottommargin"}, {0x93b1, "leftmargin"},     {0x93b6, "bgproperties"},
    {0x93d8, "scroll"},       {0x977b, "onselect"},       {0x9791, "onload"},
    {0x9792, "onunload"},     {0x9798, "onbeforeunload"}, {0x97b3, "onbeforeprint"},
    {0x97b4, "onafterprint"}, {0xfe0c, "bgcolor"}};
// 17 br
inline constexpr LitAttribute kAttrs17[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}, {0x9399, "clear"}};
// 18 button
inline constexpr LitAttribute kAttrs18[] = {{0x07d1, "type"}, {0x8001, "name"}};
// 19 caption
inline constexpr LitAttribute kAttrs19[] = {{0x8046, "title"}, {0x8049, "align"},
                                            {0x804b, "style"}, {0x83ea, "class"},
                                            {0x83eb, "id"},    {0x93a8, "valign"}};
// 20 center
inline constexpr LitAttribute kAttrs20[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}, {0x9399, "clear"}};
// 21 cite
inline constexpr LitAttribute kAttrs21[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 22 code
inline constexpr LitAttribute kAttrs22[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 23 col
inline constexpr LitAttribute kAttrs23[] = {{0x03ea, "span"},
                                            {0x8006, "width"},
                                            {0x8049, "align"},
                                            {0x93a8, "valign"},
                                            {0xfe0c, "bgcolor"}};
// 24 colgroup
inline constexpr LitAttribute kAttrs24[] = {{0x03ea, "span"},
                                            {0x8006, "width"},
                                            {0x8049, "align"},
                                            {0x93a8, "valign"},
                                            {0xfe0c, "bgcolor"}};
// 27 dd
inline constexpr LitAttribute kAttrs27[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}, {0x938e, "nowrap"}};
// 29 dfn
inline constexpr LitAttribute kAttrs29[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 31 div
inline constexpr LitAttribute kAttrs31[] = {{0x8046, "title"}, {0x8049, "align"},
                                            {0x804b, "style"}, {0x83ea, "class"},
                                            {0x83eb, "id"},    {0x938e, "nowrap"}};
// 32 dl
inline constexpr LitAttribute kAttrs32[] = {
    {0x03ea, "compact"}, {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 33 dt
inline constexpr LitAttribute kAttrs33[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}, {0x938e, "nowrap"}};
// 34 i
inline constexpr LitAttribute kAttrs34[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 35 embed
inline constexpr LitAttribute kAttrs35[] = {
    {0x8001, "name"},    {0x8006, "width"},       {0x8007, "height"},   {0x804a, "align"},
    {0x8bbd, "palette"}, {0x8bbe, "pluginspage"}, {0x8bbf, "codebase"}, {0x8bbf, "src"},
    {0x8bc1, "units"},   {0x8bc2, "type"},        {0x8bc3, "hidden"}};
// 36 fieldset
inline constexpr LitAttribute kAttrs36[] = {{0x804a, "align"}};
// 37 hidden
inline constexpr LitAttribute kAttrs37[] = {{0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"},
                                            {0x83eb, "id"},    {0x938b, "color"}, {0x939b, "face"},
                                            {0x939c, "size"}};
// 38 form
inline constexpr LitAttribute kAttrs38[] = {
    {0x03ea, "action"},         {0x03ec, "enctype"}, {0x03ed, "method"},   {0x03ef, "target"},
    {0x03f4, "accept-charset"}, {0x8001, "name"},    {0x977c, "onsubmit"}, {0x977d, "onreset"}};
// 39 frame
inline constexpr LitAttribute kAttrs39[] = {
    {0x8000, "align"},       {0x8001, "name"},         {0x8bb9, "src"},
    {0x8bbb, "border"},      {0x8bbc, "frameborder"},  {0x8bbd, "framespacing"},
    {0x8bbe, "marginwidth"}, {0x8bbf, "marginheight"}, {0x8bc0, "noresize"},
    {0x8bc1, "scrolling"},   {0x8fa2, "bordercolor"}};
// 40 frameset
inline constexpr LitAttribute kAttrs40[] = {
    {0x03e9, "rows"},           {0x03ea, "cols"},          {0x03eb, "border"},
    {0x03ec, "bordercolor"},    {0x03ed, "frameborder"},   {0x03ee, "framespacing"},
    {0x8001, "name"},           {0x9791, "onload"},        {0x9792, "onunload"},
    {0x9798, "onbeforeunload"}, {0x97b3, "onbeforeprint"}, {0x97b4, "onafterprint"}};
// 42 h1
inline constexpr LitAttribute kAttrs42[] = {{0x8046, "title"}, {0x8049, "align"},
                                            {0x804b, "style"}, {0x83ea, "class"},
                                            {0x83eb, "id"},    {0x9399, "clear"}};
// 43 h2
inline constexpr LitAttribute kAttrs43[] = {{0x8046, "title"}, {0x8049, "align"},
                                            {0x804b, "style"}, {0x83ea, "class"},
                                            {0x83eb, "id"},    {0x9399, "clear"}};
// 44 h3
inline constexpr LitAttribute kAttrs44[] = {{0x8046, "title"}, {0x8049, "align"},
                                            {0x804b, "style"}, {0x83ea, "class"},
                                            {0x83eb, "id"},    {0x9399, "clear"}};
// 45 h4
inline constexpr LitAttribute kAttrs45[] = {{0x8046, "title"}, {0x8049, "align"},
                                            {0x804b, "style"}, {0x83ea, "class"},
                                            {0x83eb, "id"},    {0x9399, "clear"}};
// 46 h5
inline constexpr LitAttribute kAttrs46[] = {{0x8046, "title"}, {0x8049, "align"},
                                            {0x804b, "style"}, {0x83ea, "class"},
                                            {0x83eb, "id"},    {0x9399, "clear"}};
// 47 h6
inline constexpr LitAttribute kAttrs47[] = {{0x8046, "title"}, {0x8049, "align"},
                                            {0x804b, "style"}, {0x83ea, "class"},
                                            {0x83eb, "id"},    {0x9399, "clear"}};
// 49 hr
inline constexpr LitAttribute kAttrs49[] = {
    {0x03ea, "noshade"}, {0x8006, "width"}, {0x8007, "size"}, {0x8046, "title"}, {0x8049, "align"},
    {0x804b, "style"},   {0x83ea, "class"}, {0x83eb, "id"},   {0x938b, "color"}};
// 51 i
inline constexpr LitAttribute kAttrs51[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 52 iframe
inline constexpr LitAttribute kAttrs52[] = {
    {0x8001, "name"},         {0x8006, "width"},        {0x8007, "height"},
    {0x804a, "align"},        {0x8bb9, "src"},          {0x8bbb, "border"},
    {0x8bbc, "frameborder"},  {0x8bbd, "framespacing"}, {0x8bbe, "marginwidth"},
    {0x8bbf, "marginheight"}, {0x8bc0, "noresize"},     {0x8bc1, "scrolling"},
    {0x8fa2, "vspace"},       {0x8fa3, "hspace"}};
// 53 img
inline constexpr LitAttribute kAttrs53[] = {
    {0x03eb, "alt"},     {0x03ec, "src"},     {0x03ed, "border"}, {0x03ee, "vspace"},
    {0x03ef, "hspace"},  {0x03f0, "lowsrc"},  {0x03f1, "vrml"},   {0x03f2, "dynsrc"},
    {0x03f4, "loop"},    {0x03f6, "start"},   {0x07d3, "ismap"},  {0x07d9, "usemap"},
    {0x8001, "name"},    {0x8006, "width"},   {0x8007, "height"}, {0x8046, "title"},
    {0x804a, "align"},   {0x804b, "style"},   {0x83ea, "class"},  {0x83eb, "id"},
    {0x978d, "onabort"}, {0x978e, "onerror"}, {0x9791, "onload"}};
// 54 input
inline constexpr LitAttribute kAttrs54[] = {
    {0x07d1, "type"},          {0x07d3, "size"},     {0x07d4, "maxlength"}, {0x07d6, "readonly"},
    {0x07d8, "indeterminate"}, {0x07da, "checked"},  {0x07db, "alt"},       {0x07dc, "src"},
    {0x07dd, "border"},        {0x07de, "vspace"},   {0x07df, "hspace"},    {0x07e0, "lowsrc"},
    {0x07e1, "vrml"},          {0x07e2, "dynsrc"},   {0x07e4, "loop"},      {0x07e5, "start"},
    {0x8001, "name"},          {0x8006, "width"},    {0x8007, "height"},    {0x804a, "align"},
    {0x93ee, "value"},         {0x977b, "onselect"}, {0x978d, "onabort"},   {0x978e, "onerror"},
    {0x978f, "onchange"},      {0x9791, "onload"}};
// 56 kbd
inline constexpr LitAttribute kAttrs56[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 57 label
inline constexpr LitAttribute kAttrs57[] = {{0x03e9, "for"}};
// 58 legend
inline constexpr LitAttribute kAttrs58[] = {{0x804a, "align"}};
// 59 li
inline constexpr LitAttribute kAttrs59[] = {{0x03ea, "value"}, {0x8046, "title"}, {0x804b, "style"},
                                            {0x83ea, "class"}, {0x83eb, "id"},    {0x939a, "type"}};
// 60 link
inline constexpr LitAttribute kAttrs60[] = {
    {0x03ee, "href"},  {0x03ef, "rel"},    {0x03f0, "rev"},     {0x03f1, "type"},
    {0x03f9, "media"}, {0x03fa, "target"}, {0x8046, "title"},   {0x804b, "style"},
    {0x83ea, "class"}, {0x83eb, "id"},     {0x978e, "onerror"}, {0x9791, "onload"}};
// 61 tag61
inline constexpr LitAttribute kAttrs61[] = {{0x9399, "clear"}};
// 62 map
inline constexpr LitAttribute kAttrs62[] = {
    {0x8001, "name"}, {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 63 tag63
inline constexpr LitAttribute kAttrs63[] = {
    {0x1771, "scrolldelay"}, {0x1772, "direction"}, {0x1773, "behavior"}, {0x1774, "scrollamount"},
    {0x1775, "loop"},        {0x1776, "vspace"},    {0x1777, "hspace"},   {0x1778, "truespeed"},
    {0x8006, "width"},       {0x8007, "height"},    {0x9785, "onbounce"}, {0x978b, "onfinish"},
    {0x978c, "onstart"},     {0xfe0c, "bgcolor"}};
// 65 meta
inline constexpr LitAttribute kAttrs65[] = {{0x03ea, "http-equiv"},
                                            {0x03eb, "content"},
                                            {0x03ec, "url"},
                                            {0x03f6, "charset"},
                                            {0x8001, "name"}};
// 66 nextid
inline constexpr LitAttribute kAttrs66[] = {{0x03f5, "n"}};
// 71 object
inline constexpr LitAttribute kAttrs71[] = {
    {0x8000, "border"},   {0x8000, "usemap"},   {0x8001, "name"},    {0x8006, "width"},
    {0x8007, "height"},   {0x8046, "title"},    {0x804a, "align"},   {0x804b, "style"},
    {0x83ea, "class"},    {0x83eb, "id"},       {0x8bbb, "classid"}, {0x8bbc, "data"},
    {0x8bbf, "codebase"}, {0x8bc0, "codetype"}, {0x8bc1, "code"},    {0x8bc2, "type"},
    {0x8bc5, "vspace"},   {0x8bc6, "hspace"},   {0x978e, "onerror"}};
// 72 ol
inline constexpr LitAttribute kAttrs72[] = {
    {0x03eb, "compact"}, {0x03ec, "start"}, {0x8046, "title"}, {0x804b, "style"},
    {0x83ea, "class"},   {0x83eb, "id"},    {0x939a, "type"}};
// 73 option
inline constexpr LitAttribute kAttrs73[] = {{0x03ea, "selected"}, {0x03eb, "value"}};
// 74 p
inline constexpr LitAttribute kAttrs74[] = {{0x8046, "title"}, {0x8049, "align"},
                                            {0x804b, "style"}, {0x83ea, "class"},
                                            {0x83eb, "id"},    {0x9399, "clear"}};
// 75 param
inline constexpr LitAttribute kAttrs75[] = {{0x8000, "name"}, {0x8000, "value"}, {0x8000, "type"}};
// 76 plaintext
inline constexpr LitAttribute kAttrs76[] = {{0x9399, "clear"}};
// 77 pre
inline constexpr LitAttribute kAttrs77[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}, {0x9399, "clear"}};
// 78 q
inline constexpr LitAttribute kAttrs78[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 82 s
inline constexpr LitAttribute kAttrs82[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 83 samp
inline constexpr LitAttribute kAttrs83[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 84 script
inline constexpr LitAttribute kAttrs84[] = {{0x03ea, "src"},   {0x03ed, "for"},
                                            {0x03ee, "event"}, {0x03f0, "defer"},
                                            {0x03f2, "type"},  {0x978e, "onerror"}};
// 85 select
inline constexpr LitAttribute kAttrs85[] = {{0x03eb, "size"},
                                            {0x03ec, "multiple"},
                                            {0x8000, "align"},
                                            {0x8001, "name"},
                                            {0x978f, "onchange"}};
// 86 small
inline constexpr LitAttribute kAttrs86[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 87 span
inline constexpr LitAttribute kAttrs87[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 88 strike
inline constexpr LitAttribute kAttrs88[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 89 strong
inline constexpr LitAttribute kAttrs89[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 90 style
inline constexpr LitAttribute kAttrs90[] = {{0x03eb, "type"},
                                            {0x03ef, "media"},
                                            {0x8046, "title"},
                                            {0x978e, "onerror"},
                                            {0x9791, "onload"}};
// 91 sub
inline constexpr LitAttribute kAttrs91[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 92 sup
inline constexpr LitAttribute kAttrs92[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 93 table
inline constexpr LitAttribute kAttrs93[] = {{0x03ea, "cols"},
                                            {0x03eb, "border"},
                                            {0x03ec, "rules"},
                                            {0x03ed, "frame"},
                                            {0x03ee, "cellspacing"},
                                            {0x03ef, "cellpadding"},
                                            {0x03fa, "datapagesize"},
                                            {0x8006, "width"},
                                            {0x8007, "height"},
                                            {0x8046, "title"},
                                            {0x804a, "align"},
                                            {0x804b, "style"},
                                            {0x83ea, "class"},
                                            {0x83eb, "id"},
                                            {0x938a, "background"},
                                            {0x93a5, "bordercolor"},
                                            {0x93a6, "bordercolorlight"},
                                            {0x93a7, "bordercolordark"},
                                            {0xfe0c, "bgcolor"}};
// 94 tbody
inline constexpr LitAttribute kAttrs94[] = {
    {0x8049, "align"}, {0x93a8, "valign"}, {0xfe0c, "bgcolor"}};
// 95 tc
inline constexpr LitAttribute kAttrs95[] = {{0x8049, "align"}, {0x93a8, "valign"}};
// 96 td
inline constexpr LitAttribute kAttrs96[] = {{0x07d2, "rowspan"},
                                            {0x07d3, "colspan"},
                                            {0x8006, "width"},
                                            {0x8007, "height"},
                                            {0x8046, "title"},
                                            {0x8049, "align"},
                                            {0x804b, "style"},
                                            {0x83ea, "class"},
                                            {0x83eb, "id"},
                                            {0x938a, "background"},
                                            {0x938e, "nowrap"},
                                            {0x93a5, "bordercolor"},
                                            {0x93a6, "bordercolorlight"},
                                            {0x93a7, "bordercolordark"},
                                            {0x93a8, "valign"},
                                            {0xfe0c, "bgcolor"}};
// 97 textarea
inline constexpr LitAttribute kAttrs97[] = {
    {0x1b5a, "rows"}, {0x1b5b, "cols"},     {0x1b5c, "wrap"},    {0x1b5d, "readonly"},
    {0x8001, "name"}, {0x977b, "onselect"}, {0x978f, "onchange"}};
// 98 tfoot
inline constexpr LitAttribute kAttrs98[] = {
    {0x8049, "align"}, {0x93a8, "valign"}, {0xfe0c, "bgcolor"}};
// 99 th
inline constexpr LitAttribute kAttrs99[] = {{0x07d2, "rowspan"},
                                            {0x07d3, "colspan"},
                                            {0x8006, "width"},
                                            {0x8007, "height"},
                                            {0x8046, "title"},
                                            {0x8049, "align"},
                                            {0x804b, "style"},
                                            {0x83ea, "class"},
                                            {0x83eb, "id"},
                                            {0x938a, "background"},
                                            {0x938e, "nowrap"},
                                            {0x93a5, "bordercolor"},
                                            {0x93a6, "bordercolorlight"},
                                            {0x93a7, "bordercolordark"},
                                            {0x93a8, "valign"},
                                            {0xfe0c, "bgcolor"}};
// 100 thead
inline constexpr LitAttribute kAttrs100[] = {
    {0x8049, "align"}, {0x93a8, "valign"}, {0xfe0c, "bgcolor"}};
// 102 tr
inline constexpr LitAttribute kAttrs102[] = {
    {0x8007, "height"},          {0x8046, "title"},
    {0x8049, "align"},           {0x804b, "style"},
    {0x83ea, "class"},           {0x83eb, "id"},
    {0x93a5, "bordercolor"},     {0x93a6, "bordercolorlight"},
    {0x93a7, "bordercolordark"}, {0x93a8, "valign"},
    {0xfe0c, "bgcolor"}};
// 103 tt
inline constexpr LitAttribute kAttrs103[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 104 u
inline constexpr LitAttribute kAttrs104[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};
// 105 ul
inline constexpr LitAttribute kAttrs105[] = {{0x03eb, "compact"}, {0x8046, "title"},
                                             {0x804b, "style"},   {0x83ea, "class"},
                                             {0x83eb, "id"},      {0x939a, "type"}};
// 106 var
inline constexpr LitAttribute kAttrs106[] = {
    {0x8046, "title"}, {0x804b, "style"}, {0x83ea, "class"}, {0x83eb, "id"}};

inline constexpr LitTag kHtmlTags[kHtmlTagCount] = {
    {nullptr, {}},             // 0
    {nullptr, {}},             // 1
    {nullptr, {}},             // 2
    {"a", kAttrs3},            // 3
    {"acronym", {}},           // 4
    {"address", kAttrs5},      // 5
    {"applet", kAttrs6},       // 6
    {"area", kAttrs7},         // 7
    {"b", kAttrs8},            // 8
    {"base", kAttrs9},         // 9
    {"basefont", kAttrs10},    // 10
    {"bdo", {}},               // 11
    {"bgsound", kAttrs12},     // 12
    {"big", kAttrs13},         // 13
    {"blink", {}},             // 14
    {"", kAttrs15},            // 15
    {"body", kAttrs16},        // 16
    {"br", kAttrs17},          // 17
    {"button", kAttrs18},      // 18
    {"caption", kAttrs19},     // 19
    {"center", kAttrs20},      // 20
    {"cite", kAttrs21},        // 21
    {"code", kAttrs22},        // 22
    {"col", kAttrs23},         // 23
    {"colgroup", kAttrs24},    // 24
    {nullptr, {}},             // 25
    {nullptr, {}},             // 26
    {"dd", kAttrs27},          // 27
    {"del", {}},               // 28
    {"dfn", kAttrs29},         // 29
    {"dir", {}},               // 30
    {"div", kAttrs31},         // 31
    {"dl", kAttrs32},          // 32
    {"dt", kAttrs33},          // 33
    {"i", kAttrs34},           // 34
    {"embed", kAttrs35},       // 35
    {"fieldset", kAttrs36},    // 36
    {"\x01hidden", kAttrs37},  // 37
    {"form", kAttrs38},        // 38
    {"frame", kAttrs39},       // 39
    {"frameset", kAttrs40},    // 40
    {nullptr, {}},             // 41
    {"h1", kAttrs42},          // 42
    {"h2", kAttrs43},          // 43
    {"h3", kAttrs44},          // 44
    {"h4", kAttrs45},          // 45
    {"h5", kAttrs46},          // 46
    {"h6", kAttrs47},          // 47
    {"head", {}},              // 48
    {"hr", kAttrs49},          // 49
    {"html", {}},              // 50
    {"i", kAttrs51},           // 51
    {"iframe", kAttrs52},      // 52
    {"img", kAttrs53},         // 53
    {"input", kAttrs54},       // 54
    {"ins", {}},               // 55
    {"kbd", kAttrs56},         // 56
    {"label", kAttrs57},       // 57
    {"legend", kAttrs58},      // 58
    {"li", kAttrs59},          // 59
    {"link", kAttrs60},        // 60
    {"tag61", kAttrs61},       // 61
    {"map", kAttrs62},         // 62
    {"tag63", kAttrs63},       // 63
    {"tag64", {}},             // 64
    {"meta", kAttrs65},        // 65
    {"nextid", kAttrs66},      // 66
    {"nobr", {}},              // 67
    {"noembed", {}},           // 68
    {"noframes", {}},          // 69
    {"noscript", {}},          // 70
    {"object", kAttrs71},      // 71
    {"ol", kAttrs72},          // 72
    {"option", kAttrs73},      // 73
    {"p", kAttrs74},           // 74
    {"param", kAttrs75},       // 75
    {"plaintext", kAttrs76},   // 76
    {"pre", kAttrs77},         // 77
    {"q", kAttrs78},           // 78
    {"rp", {}},                // 79
    {"rt", {}},                // 80
    {"ruby", {}},              // 81
    {"s", kAttrs82},           // 82
    {"samp", kAttrs83},        // 83
    {"script", kAttrs84},      // 84
    {"select", kAttrs85},      // 85
    {"small", kAttrs86},       // 86
    {"span", kAttrs87},        // 87
    {"strike", kAttrs88},      // 88
    {"strong", kAttrs89},      // 89
    {"style", kAttrs90},       // 90
    {"sub", kAttrs91},         // 91
    {"sup", kAttrs92},         // 92
    {"table", kAttrs93},       // 93
    {"tbody", kAttrs94},       // 94
    {"tc", kAttrs95},          // 95
    {"td", kAttrs96},          // 96
    {"textarea", kAttrs97},    // 97
    {"tfoot", kAttrs98},       // 98
    {"th", kAttrs99},          // 99
    {"thead", kAttrs100},      // 100
    {"title", {}},             // 101
    {"tr", kAttrs102},         // 102
    {"tt", kAttrs103},         // 103
    {"u", kAttrs104},          // 104
    {"ul", kAttrs105},         // 105
    {"var", kAttrs106},        // 106
    {"wbr", {}},               // 107
    {nullptr, {}},             // 108
};

inline constexpr LitAttribute kCommonAttrs[] = {{0x8010, "tabindex"},
                                                {0x8046, "title"},
                                                {0x804b, "style"},
                                                {0x804d, "disabled"},
                                                {0x83ea, "class"},
                                                {0x83eb, "id"},
                                                {0x83fe, "datafld"},
                                                {0x83ff, "datasrc"},
                                                {0x8400, "dataformatas"},
                                                {0x87d6, "accesskey"},
                                                {0x9392, "lang"},
                                                {0x93ed, "language"},
                                                {0x93fe, "dir"},
                                                {0x9771, "onmouseover"},
                                                {0x9772, "onmouseout"},
                                                {0x9773, "onmousedown"},
                                                {0x9774, "onmouseup"},
                                                {0x9775, "onmousemove"},
                                                {0x9776, "onkeydown"},
                                                {0x9777, "onkeyup"},
                                                {0x9778, "onkeypress"},
                                                {0x9779, "onclick"},
                                                {0x977a, "ondblclick"},
                                                {0x977e, "onhelp"},
                                                {0x977f, "onfocus"},
                                                {0x9780, "onblur"},
                                                {0x9783, "onrowexit"},
                                                {0x9784, "onrowenter"},
                                                {0x9786, "onbeforeupdate"},
                                                {0x9787, "onafterupdate"},
                                                {0x978a, "onreadystatechange"},
                                                {0x9790, "onscroll"},
                                                {0x9794, "ondragstart"},
                                                {0x9795, "onresize"},
                                                {0x9796, "onselectstart"},
                                                {0x9797, "onerrorupdate"},
                                                {0x9799, "ondatasetchanged"},
                                                {0x979a, "ondataavailable"},
                                                {0x979b, "ondatasetcomplete"},
                                                {0x979c, "onfilterchange"},
                                                {0x979f, "onlosecapture"},
                                                {0x97a0, "onpropertychange"},
                                                {0x97a2, "ondrag"},
                                                {0x97a3, "ondragend"},
                                                {0x97a4, "ondragenter"},
                                                {0x97a5, "ondragover"},
                                                {0x97a6, "ondragleave"},
                                                {0x97a7, "ondrop"},
                                                {0x97a8, "oncut"},
                                                {0x97a9, "oncopy"},
                                                {0x97aa, "onpaste"},
                                                {0x97ab, "onbeforecut"},
                                                {0x97ac, "onbeforecopy"},
                                                {0x97ad, "onbeforepaste"},
                                                {0x97af, "onrowsdelete"},
                                                {0x97b0, "onrowsinserted"},
                                                {0x97b1, "oncellchange"},
                                                {0x97b2, "oncontextmenu"},
                                                {0x97b6, "onbeforeeditfocus"}};

inline constexpr LitTag kPackageTags[kPackageTagCount] = {
    {nullptr, {}},           // 0
    {"package", {}},         // 1
    {"dc:Title", {}},        // 2
    {"dc:Creator", {}},      // 3
    {nullptr, {}},           // 4
    {nullptr, {}},           // 5
    {nullptr, {}},           // 6
    {nullptr, {}},           // 7
    {nullptr, {}},           // 8
    {nullptr, {}},           // 9
    {nullptr, {}},           // 10
    {nullptr, {}},           // 11
    {nullptr, {}},           // 12
    {nullptr, {}},           // 13
    {nullptr, {}},           // 14
    {nullptr, {}},           // 15
    {"manifest", {}},        // 16
    {"item", {}},            // 17
    {"spine", {}},           // 18
    {"itemref", {}},         // 19
    {"metadata", {}},        // 20
    {"dc-metadata", {}},     // 21
    {"dc:Subject", {}},      // 22
    {"dc:Description", {}},  // 23
    {"dc:Publisher", {}},    // 24
    {"dc:Contributor", {}},  // 25
    {"dc:Date", {}},         // 26
    {"dc:Type", {}},         // 27
    {"dc:Format", {}},       // 28
    {"dc:Identifier", {}},   // 29
    {"dc:Source", {}},       // 30
    {"dc:Language", {}},     // 31
    {"dc:Relation", {}},     // 32
    {"dc:Coverage", {}},     // 33
    {"dc:Rights", {}},       // 34
    {"x-metadata", {}},      // 35
    {"meta", {}},            // 36
    {"tours", {}},           // 37
    {"tour", {}},            // 38
    {"site", {}},            // 39
    {"guide", {}},           // 40
    {"reference", {}},       // 41
    {nullptr, {}},           // 42
};

inline constexpr LitAttribute kPackageAttrs[] = {{1, "href"},
                                                 {2, "%never-used"},
                                                 {3, "%guid"},
                                                 {4, "%minimum_level"},
                                                 {5, "%attr5"},
                                                 {6, "id"},
                                                 {7, "href"},
                                                 {8, "media-type"},
                                                 {9, "fallback"},
                                                 {10, "idref"},
                                                 {11, "xmlns:dc"},
                                                 {12, "xmlns:oebpackage"},
                                                 {13, "role"},
                                                 {14, "file-as"},
                                                 {15, "event"},
                                                 {16, "scheme"},
                                                 {17, "title"},
                                                 {18, "type"},
                                                 {19, "unique-identifier"},
                                                 {20, "name"},
                                                 {21, "content"},
                                                 {22, "xml:lang"}};

}  // namespace pagewick::lit_tags
