#include "builder/SourcePrep.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "formats/TextReaders.h"
#include "util/AsciiCase.h"
#include "util/Cp1252.h"
#include "util/LittleEndian.h"

namespace pagewick {

namespace {

constexpr size_t npos = std::string::npos;

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

std::string Tail4(std::string_view name) {
    if (name.size() < 4) return std::string(name);
    return PawkFoldCase(name.substr(name.size() - 4));
}

// First occurrence of what at or after from; caseless compares ASCII letters without case.
size_t Find(std::string_view text, std::string_view what, size_t from, bool caseless) {
    if (what.empty() || from > text.size() || text.size() - from < what.size()) return npos;
    if (!caseless) return text.find(what, from);
    const char first = Lower(what[0]);
    const char other = (first >= 'a' && first <= 'z') ? char(first - 32) : first;
    const size_t last = text.size() - what.size();
    for (size_t i = from; i <= last; ++i) {
        if (text[i] != first && text[i] != other) {
            // Jump to the next byte that could start a match.
            const void* a = std::memchr(text.data() + i, first, last - i + 1);
            const void* b =
                other == first ? nullptr : std::memchr(text.data() + i, other, last - i + 1);
            if (!a && !b) return npos;
            const char* p = static_cast<const char*>(a);
            if (!p || (b && static_cast<const char*>(b) < p)) p = static_cast<const char*>(b);
            i = size_t(p - text.data());
        }
        size_t k = 1;
        while (k < what.size() && Lower(text[i + k]) == Lower(what[k]))
            ++k;
        if (k == what.size()) return i;
    }
    return npos;
}

// Runs a replacement and advances the progress window by one step.
struct Chain {
    std::string& text;
    BuildProgress* progress;
    void Caption(const char* caption) {
        if (progress) progress->SetText(caption);
    }
    void Step() {
        if (progress) progress->StepIt();
    }
    void Replace(std::string_view from, std::string_view to, bool caseless = false) {
        ReplaceAll(text, from, to, caseless);
        Step();
    }
    void CompactSpaces() {
        Replace("   ", " ");
        Replace("  ", " ");
        Replace("  ", " ");
    }
};

// Paragraphs opened by tag (caseless) become "<br>" + open ... close: each opening takes the first
// "</p>" after it that no earlier opening took, exactly as finding them one at a time from the
// start would, but in one forward pass. An opening with no "</p>" after it is left as it is.
void RewriteAlignedParagraphs(std::string& text, std::string_view tag, std::string_view open,
                              std::string_view close) {
    std::vector<size_t> openings;
    for (size_t at = Find(text, tag, 0, true); at != npos;
         at = Find(text, tag, at + tag.size(), true))
        openings.push_back(at);
    if (openings.empty()) return;
    std::vector<size_t> closings;
    for (size_t at = Find(text, "</p>", 0, true); at != npos; at = Find(text, "</p>", at + 4, true))
        closings.push_back(at);
    // (position, length, replacement) in text order.
    struct Edit {
        size_t at, length;
        std::string_view with;
    };
    std::vector<Edit> edits;
    size_t next = 0;
    std::string opening = "<br>" + std::string(open);
    std::vector<Edit> closes;
    for (size_t o : openings) {
        while (next < closings.size() && closings[next] < o + tag.size())
            ++next;
        if (next == closings.size()) break;
        edits.push_back({o, tag.size(), opening});
        closes.push_back({closings[next++], 4, close});
    }
    // Merge the two sorted lists and rebuild the text once.
    std::vector<Edit> all;
    all.reserve(edits.size() + closes.size());
    size_t a = 0, b = 0;
    while (a < edits.size() || b < closes.size()) {
        if (b == closes.size() || (a < edits.size() && edits[a].at < closes[b].at))
            all.push_back(edits[a++]);
        else
            all.push_back(closes[b++]);
    }
    std::string out;
    out.reserve(text.size() + all.size() * 8);
    size_t pos = 0;
    for (const Edit& e : all) {
        out.append(text, pos, e.at - pos);
        out.append(e.with);
        pos = e.at + e.length;
    }
    out.append(text, pos, npos);
    text.swap(out);
}

// Removes every tag starting with prefix (caseless) up to its next ">", in one pass. A prefix
// with no ">" after it is left, with everything after it.
void RemoveTags(std::string& text, std::string_view prefix) {
    size_t at = Find(text, prefix, 0, true);
    if (at == npos) return;
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (at != npos) {
        size_t end = text.find('>', at + prefix.size());
        if (end == npos) break;
        out.append(text, pos, at - pos);
        pos = end + 1;
        at = Find(text, prefix, pos, true);
    }
    out.append(text, pos, npos);
    text.swap(out);
}

struct Entity {
    const char* from;
    const char* to;  // a byte of the code page
};

// An entity's replacement in the text's own form.
std::string EntityText(const char* to, SourceText form) {
    if (form == SourceText::CodePage) return to;
    std::string utf8;
    AppendUtf8(utf8, Cp1252ToUnicode(uint8_t(to[0])));
    return utf8;
}

// Whether a name is UTF-8 throughout (so a name of this system, not one in the code page).
bool ValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    for (size_t i = 0; i < text.size();) {
        char16_t c;
        bool bad = false;
        i += DecodeUtf8Character(p + i, text.size() - i, true, c, &bad);
        if (bad) return false;
    }
    return true;
}

// A title made from a file name, in the code page with references.
std::string FileNameTitle(std::string_view name) {
    return ValidUtf8(name) ? Utf8ToCodePageLabel(name) : std::string(name);
}

// The last extension of a path, in lower case, without its dot ("" when there is none).
std::string Extension(std::string_view path) {
    std::string base = BaseName(path);
    size_t dot = base.rfind('.');
    return dot == npos ? "" : LowerAscii(base.substr(dot + 1));
}
constexpr std::array<Entity, 10> kByteEntities = {{{"&reg;", "\xAE"},
                                                   {"&copy;", "\xA9"},
                                                   {"&middot;", "\xB7"},
                                                   {"&plusmn;", "\xB1"},
                                                   {"&deg;", "\xB0"},
                                                   {"&laquo;", "\xAB"},
                                                   {"&raquo;", "\xBB"},
                                                   {"&micro;", "\xB5"},
                                                   {"&iquest;", "\xBF"},
                                                   {"&bull;", "\xB7"}}};

// The reflow rules over line marks: a mark after a sentence end, a closing bracket or quote, or a
// pair of marks (an empty line) stays a line break; every other mark becomes one space, so the
// two lines join as words and never run together.
void Reflow(Chain& chain, std::string_view mark, const char* const captions[4]) {
    std::string m(mark);
    chain.Caption(captions[0]);
    chain.Replace("." + m, ".<br>");
    chain.Caption(captions[1]);
    chain.Replace("!" + m, "!<br>");
    chain.Replace(":" + m, ":<br>");
    chain.Replace(m + m, "<br><br>");
    chain.Replace(")" + m, ")<br>");
    chain.Caption(captions[2]);
    chain.Replace("\"" + m, "\"<br>");
    chain.Replace("'" + m, "'<br>");
    chain.Caption(captions[3]);
    chain.Replace(m, " ");
}

}  // namespace

bool ClassifyFile(std::string_view name) {
    const std::string tail = Tail4(name);
    static constexpr std::array<std::string_view, 8> kExecutables = {
        ".exe", ".com", ".dll", ".scr", ".ocx", ".vbs", ".bat", ".cmd"};
    for (auto t : kExecutables)
        if (tail == t) throw ExecutableFileError();
    return PawkIsPictureOrMedia(name);
}

size_t ReplaceAll(std::string& text, std::string_view from, std::string_view to, bool caseless) {
    if (from.empty()) return 0;
    size_t at = Find(text, from, 0, caseless);
    if (at == npos) return 0;
    std::string out;
    out.reserve(to.size() > from.size() ? text.size() + text.size() / 8 : text.size());
    size_t pos = 0, count = 0;
    while (at != npos) {
        out.append(text, pos, at - pos);
        out.append(to);
        pos = at + from.size();
        ++count;
        at = Find(text, from, pos, caseless);
    }
    out.append(text, pos, npos);
    text.swap(out);
    return count;
}

void PrepareText(std::string& text, bool reflow, BuildProgress* progress) {
    Chain chain{text, progress};
    chain.Caption("Processing Text...");
    // Plain text is not markup: its "&", "<" and ">" are characters, not the start of a tag.
    chain.Replace("&", "&amp;");
    chain.Replace("<", "&lt;");
    chain.Replace(">", "&gt;");
    chain.Caption("Compacting multiple Whitespace..");
    chain.CompactSpaces();
    chain.Caption("Compacting paragraphs..");
    chain.Replace("\r", "");
    chain.Replace("\n", "<p>");
    if (!reflow) return;
    static const char* const kCaptions[4] = {"Reflowing paragraphs.", "Reflowing paragraphs..",
                                             "Reflowing paragraphs...", "Reflowing paragraphs...."};
    Reflow(chain, "<p>", kCaptions);
}

void PrepareHtml(std::string& text, bool reflow, BuildProgress* progress, SourceText form) {
    Chain chain{text, progress};
    chain.Caption("Processing HTML...");
    RewriteAlignedParagraphs(text, "<p align=right>", "<right>", "</right>");
    chain.Step();
    RewriteAlignedParagraphs(text, "<p align=center>", "<center>", "</center>");
    chain.Step();
    chain.Replace("</p>", "", true);
    RemoveTags(text, "<font ");
    chain.Step();
    chain.Replace("</font>", "", true);
    chain.Replace("&nbsp;", "&s;", true);
    chain.Replace("&quot;", "\"", true);
    chain.Replace("&apos;", "'", true);
    for (const Entity& e : kByteEntities)
        chain.Replace(e.from, EntityText(e.to, form), true);
    chain.Replace("<body>", "", true);
    chain.Replace("</body>", "<br>", true);
    chain.Replace("</html>", "", true);
    chain.Caption("Compacting HTML Whitespace..");
    // A tab separates words like any other white space.
    chain.Replace("\t", " ");
    chain.Replace("\r\n", " ");
    chain.Replace("\n", " ");
    chain.Replace("\r", "");
    chain.CompactSpaces();
    if (!reflow) return;
    // Only the line breaks are reflowed: they become a private mark first, so the paragraph tags
    // the author wrote stay as they are.
    static constexpr std::string_view kMark = "<\x01p>";
    chain.Caption("Reflowing paragraphs.");
    chain.Replace("<br>", kMark);
    static const char* const kCaptions[4] = {"Reflowing paragraphs..", "Reflowing paragraphs...",
                                             "Reflowing paragraphs....",
                                             "Reflowing paragraphs....."};
    Reflow(chain, kMark, kCaptions);
}

void PrepareLitBody(std::string& text, bool reflow, BuildProgress* progress) {
    Chain chain{text, progress};
    chain.Caption("Processing LIT...");
    chain.Caption("Compacting multiple Whitespace..");
    chain.Caption("Compacting paragraphs..");
    // A line end inside the markup separates words: it becomes a space (compacted below) rather
    // than running two words together.
    chain.Replace("\r", "");
    chain.Replace("\n", " ");
    chain.CompactSpaces();
    chain.Replace("<center>", "<br><center>");
    chain.Caption("Reflowing paragraphs.");
    if (reflow) {
        chain.Replace(".</p>", ".<br>");
        chain.Caption("Reflowing paragraphs..");
        chain.Replace("!</p>", "!<br>");
        chain.Replace(":</p>", ":<br>");
        chain.Replace(")</p>", ")<br>");
        chain.Caption("Reflowing paragraphs...");
        chain.Replace("\"</p>", "\"<br>");
        chain.Replace("'</p>", "'<br>");
        chain.Caption("Reflowing paragraphs....");
        chain.Replace("</p>", "");
    }
    chain.Step();
}

std::string PlainTitle(std::string_view html, SourceText form) {
    std::string text(html);
    RemoveTags(text, "<A ");
    // Line ends and tabs inside a title separate words.
    ReplaceAll(text, "&nbsp;", " ", true);
    ReplaceAll(text, "\n", " ");
    ReplaceAll(text, "\r", "");
    ReplaceAll(text, "\t", " ");
    while (ReplaceAll(text, "  ", " ") > 0) {
    }
    ReplaceAll(text, "<br>", "\r\n", true);
    ReplaceAll(text, "<p>", "\r\n", true);
    RemoveTags(text, "<");
    ReplaceAll(text, "&gt;", ">", true);
    ReplaceAll(text, "&lt;", "<", true);
    ReplaceAll(text, "&quot;", "\"", true);
    ReplaceAll(text, "&apos;", "'", true);
    for (const Entity& e : kByteEntities)
        if (std::strcmp(e.from, "&bull;") != 0)
            ReplaceAll(text, e.from, EntityText(e.to, form), true);
    // "&amp;" last, so that "&amp;lt;" stays the text "&lt;".
    ReplaceAll(text, "&amp;", "&", true);
    // "&#" digits ";": the character of that code, in the code page; a character the code page
    // lacks keeps its reference, which the reader shows as the character.
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 2 < text.size() && text[i + 1] == '#') {
            size_t j = i + 2;
            uint32_t code = 0;
            while (j < text.size() && j < i + 9 && text[j] >= '0' && text[j] <= '9')
                code = code * 10 + uint32_t(text[j++] - '0');
            if (j > i + 2 && j < text.size() && text[j] == ';' && code > 0) {
                uint8_t byte = code <= 0xFF     ? uint8_t(code)
                               : code <= 0xFFFF ? UnicodeToCp1252(char16_t(code))
                                                : uint8_t('?');
                if (byte != '?' || code == '?') {
                    if (form == SourceText::CodePage)
                        out += char(byte);
                    else
                        AppendUtf8(out, Cp1252ToUnicode(byte));
                    i = j;
                    continue;
                }
            }
        }
        out += text[i];
    }
    // No space at either end.
    size_t first = out.find_first_not_of(' ');
    if (first == npos) return "";
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::string BaseName(std::string_view path) {
    size_t slash = path.find_last_of("/\\");
    return std::string(slash == npos ? path : path.substr(slash + 1));
}

SourceText TakeSourceText(std::string& text) {
    ByteSource source = [&text](uint64_t position, uint8_t* out, size_t n) -> int64_t {
        if (position >= text.size()) return 0;
        size_t count = std::min<size_t>(n, text.size() - size_t(position));
        std::memcpy(out, text.data() + position, count);
        return int64_t(count);
    };
    Utf8Index index;
    const auto length = uint32_t(std::min<size_t>(text.size(), 0xffffffffu));
    std::optional<TextForm> form = DecideTextForm(source, length, true, false, index);
    if (!form || *form == TextForm::Cp1252) return SourceText::CodePage;
    if (*form == TextForm::Utf8) {
        if (index.HasByteOrderMark()) text.erase(0, 3);
        return SourceText::Utf8;
    }
    // UTF-16, low byte first, behind its mark; pairs of surrogates make one character.
    std::string utf8;
    utf8.reserve(text.size());
    auto unit = [&text](size_t at) { return uint32_t(Le16(AsBytes(text), at)); };
    for (size_t at = 2; at + 1 < text.size(); at += 2) {
        uint32_t code = unit(at);
        if (code >= 0xD800 && code <= 0xDBFF && at + 3 < text.size() && unit(at + 2) >= 0xDC00 &&
            unit(at + 2) <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
            at += 2;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = kReplacementCharacter;
        }
        AppendUtf8(utf8, code);
    }
    text.swap(utf8);
    return SourceText::Utf8;
}

std::string StoredFileName(std::string_view name) {
    if (!ValidUtf8(name)) return std::string(name);
    std::string out;
    for (char16_t c : Utf8ToUtf16(name)) {
        uint8_t byte = UnicodeToCp1252(c);
        if (byte == '?' && c != u'?') return std::string(name);
        out += char(byte);
    }
    return out;
}

std::string RefusedSource(std::string_view path, std::string_view head) {
    // What the reader cannot show: other books and documents, archives, pictures its decoder
    // does not read, sounds and films the desktop's player is not given.
    static constexpr std::array<std::string_view, 44> kRefused = {
        "webp", "svg",  "svgz", "tif",  "tiff", "ico",  "heic", "heif", "avif", "psd",  "xcf",
        "ogg",  "oga",  "ogv",  "opus", "flac", "m4a",  "aac",  "m4v",  "mov",  "mkv",  "webm",
        "pdf",  "epub", "mobi", "azw",  "azw3", "djvu", "doc",  "docx", "odt",  "rtf",  "xls",
        "xlsx", "ppt",  "pptx", "zip",  "gz",   "bz2",  "xz",   "7z",   "rar",  "pawk", "pdb"};
    const std::string ext = Extension(path);
    bool refused = std::find(kRefused.begin(), kRefused.end(), ext) != kRefused.end();
    if (!refused && !PawkIsPictureOrMedia(BaseName(path)) && !head.empty() &&
        !(head.size() >= 2 && uint8_t(head[0]) == 0xFF && uint8_t(head[1]) == 0xFE)) {
        // A text holds no NUL byte (a UTF-16 one has its mark), and a PDF may show none early.
        static constexpr std::array<std::string_view, 5> kSignatures = {
            "%PDF-", "PK\x03\x04", "OggS", "ITOLITLS", "KPW-PAWK"};
        refused = head.find('\0') != std::string_view::npos;
        for (std::string_view signature : kSignatures)
            if (head.substr(0, signature.size()) == signature) refused = true;
    }
    if (!refused) return "";
    return "Sorry, an eBook cannot include this file:\r\n" + std::string(path) +
           "\r\nPagewick shows HTML and text files, PNG, JPEG, GIF and BMP pictures, and WAV, "
           "MIDI, MP3, MPEG, MP4, AVI, WMA and WMV media.";
}

void PrepareSource(SourceFile& source, bool reflow, std::vector<PawkContentsEntry>& contents,
                   BuildProgress* progress) {
    if (source.text.empty()) return;
    std::string& text = source.text;
    const bool lit = source.path == kLitBodyName;
    // A converted LIT body is markup of the code page already.
    const SourceText form = lit ? SourceText::CodePage : TakeSourceText(text);
    const std::string stored =
        source.storedName.empty() ? StoredFileName(BaseName(source.path)) : source.storedName;
    PawkContentsEntry entry;
    size_t open = Find(text, "<title>", 0, true);
    size_t close = open == npos ? npos : Find(text, "</title>", open + 7, true);
    if (close != npos) {
        entry.title = PlainTitle(std::string_view(text).substr(open + 7, close - open - 7), form);
        if (form == SourceText::Utf8) entry.title = Utf8ToCodePageLabel(entry.title);
    } else {
        std::string base = BaseName(source.path);
        size_t dot = base.rfind('.');
        entry.title = dot == npos ? "" : FileNameTitle(base.substr(0, dot));
    }
    entry.target = stored + "#";
    contents.push_back(entry);
    if (lit) {
        PrepareLitBody(text, reflow, progress);
    } else if (Find(text, "<html", 0, true) != npos || Find(text, "<body", 0, true) != npos ||
               Find(text, "<p", 0, true) != npos || Find(text, "<br", 0, true) != npos) {
        PrepareHtml(text, reflow, progress, form);
    } else {
        PrepareText(text, reflow, progress);
    }
    if (form == SourceText::Utf8) text = Utf8ToCodePageLabel(text);
    text.insert(0, "<a name=\"" + entry.target + "\"></a>");
    source.size = int64_t(text.size());
}

void PrepareSources(std::vector<SourceFile>& sources, bool reflow,
                    std::vector<PawkContentsEntry>& contents, BuildProgress* progress) {
    for (auto& source : sources)
        PrepareSource(source, reflow, contents, progress);
    if (progress) progress->SetText("Processing...");
}

}  // namespace pagewick
