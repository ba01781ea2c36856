// CBookEngine: the document of one open book. It reads the book's text through two small
// windows, lays out and measures pages on demand and keeps the growing table of page starts.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/DrawingSurface.h"
#include "engine/Highlights.h"
#include "engine/PictureDecoder.h"
#include "engine/WindowReader.h"
#include "typography/Hyphenator.h"
#include "util/ContentsEntry.h"
#include "util/Host.h"

namespace pagewick {

// Style state bits, kept per character, per page start and while laying out.
enum StyleBits : uint8_t {
    kStyleBold = 1,
    kStyleItalic = 2,
    kStyleUnderline = 4,
    kStyleParagraphAlign = 8,
    kStyleQuote = 16,
    kStyleCentred = 32,
    kStyleRight = 64,
};
// In the per-character style bytes of words and lines, 16 marks a link marker instead.
constexpr uint8_t kCharLink = 16;

// Program-wide: set while printing (no link or picture markers).
extern bool PrintMode;
// Program-wide: picture sizes are multiplied by it (the printer's resolution over the screen's
// while printing, 1 otherwise).
extern double PictureScale;
// Program-wide: numbers the temporary picture and media files.
extern int32_t PictureCounter;

// What following a link or choosing a contents entry did.
enum class TargetAction {
    None,      // no link there, or the target could not be found: the page stays
    Jumped,    // the book's place at the target is now current (ReturnFromLink comes back)
    Picture,   // CurrentTarget is set: the picture view shows it over the page
    Media,     // the item was handed to the desktop shell to play
    Outside,   // the address was handed to the desktop shell
    Declined,  // an outside address the person chose not to visit
};

// A picture or a media item of the book by its name's last extension.
bool IsPictureTarget(const std::string& name);
bool IsMediaTarget(const std::string& name);
// A target that names a place outside the book: it begins with a URL scheme ("http:",
// "https:", "mailto:", "tel:", ...).
bool IsOutsideTarget(const std::string& name);

constexpr int32_t kLastPageUnknown = 0x3FFFC00;
constexpr uint32_t kLengthUnknown = 0x6fffffff;

enum SourceKinds : int32_t {
    kSourceText = 0,
    kSourceZip = 1,
    kSourceLit = 2,
    kSourcePawk = 3,
    kSourceEpub = 4,
};

// How 8-bit text and HTML files (readers that choose an encoding) are read: decided from the bytes,
// or as the person chose. LIT and PAWK books keep their own Windows-1252 text.
enum class TextEncoding : int32_t { Auto = 0, Utf8 = 1, Cp1252 = 2 };

struct LinkRecord {
    Rect hit;
    std::string target;
    bool rectValid = false;
    uint8_t second = 0;
    int32_t value = 0;
};

struct AnchorRecord {
    std::string name;
    int32_t offset = 0;
};

// A finished line as the layout hands it to DrawLine.
struct FinishedLine {
    const char16_t* text = nullptr;   // the line's characters (8-bit codes for 8-bit text)
    const uint8_t* styles = nullptr;  // one style byte per character
    size_t length = 0;
    int32_t width = 0;  // LineWidth
    int32_t y = 0;
    bool styled = false;
    // The line ends a paragraph (a hard break) or the text: it is never justified.
    bool endsParagraph = false;
    bool centred = false, right = false, quote = false;
    bool picture = false;  // a picture was drawn on the line: no justification
    // For the characters with the link style: (index in the line, index in Links), in order.
    // Without it they belong to the last link record.
    const std::vector<std::pair<size_t, int32_t>>* links = nullptr;
    // The character offset of each character (-1 for markers and a picture's room); null when
    // not known, and then no highlight is drawn on the line.
    const int32_t* offsets = nullptr;
};

class CBookEngine {
public:
    CBookEngine();
    ~CBookEngine();
    CBookEngine(const CBookEngine&) = delete;
    CBookEngine& operator=(const CBookEngine&) = delete;

    // Messages, settings, the wait cursor; may be null (then nothing is shown or stored).
    Host* HostServices = nullptr;

    // --- Source and text
    std::string BookPath;
    std::string MemberName;
    std::string PaginationPath;
    int32_t SourceKind = kSourceText;
    // What the open book's reader says its books are (set when the book is prepared).
    ReaderTraits Form;
    uint32_t TextLength = 0;  // bytes; half of it are characters for 16-bit text
    bool Wide = false;
    int32_t WindowStart = 0;  // characters
    int32_t WindowSize = 0;   // bytes per window buffer
    std::vector<uint8_t> WindowA;
    std::vector<uint8_t> WindowB;  // one window plus the extra character
    bool MarkupMode = false;
    std::string DocumentTitle;  // UTF-8
    std::string CurrentFile;
    std::string
        BookTitle;  // UTF-8: the title a PAWK book's header gives, prefixed to chapter titles
    // UTF-8: what the book's header says of it, for the properties dialog ("" when unknown).
    std::string BookAuthor, BookPublisher, BookRights, BookIdentifier;
    // The language the book declares (a language tag, "" when it says none): readers of books
    // with a package description set it when the book opens; for markup the first "lang"
    // attribute of the text's beginning is taken when hyphenation asks.
    std::string BookLanguage;
    // The encoding a shell asks for before OpenBook; none keeps the choice remembered in the
    // book's pagination file (Auto for a new book). The choice is remembered there.
    std::optional<TextEncoding> EncodingOverride;
    // The choice in force for the open book, and whether the book is read as UTF-8: its text is
    // then 16-bit characters (Wide), decoded from the file window by window.
    TextEncoding EncodingChoice = TextEncoding::Auto;
    bool Utf8 = false;
    bool Busy = false;
    bool SourceFailed = false;
    // The open book could no longer be read (deleted or unreadable while open): said once, and
    // its place is not written back beside a book that has gone.
    bool SourceLost = false;
    bool Magazine = false;  // opened from a library entry of a LIT magazine

    // --- Page table
    std::vector<int32_t> PageStarts{0};
    std::vector<uint8_t> PageStates{0};
    std::vector<std::u16string> PageCarry{std::u16string()};
    int32_t CurrentPage = 0;
    int32_t LastPage = kLastPageUnknown;

    // --- Bookmarks and positions
    std::array<int32_t, 4> Bookmarks{-1, -1, -1, -1};
    int32_t PendingOffset = -1;

    // --- Layout settings (set by the shell from its display settings)
    int32_t LeftEdge = 0, TopEdge = 0, RightEdge = 0, PageHeight = 0;
    int32_t Leading = 0, ParagraphSpacing = 0, TabSize = 0;
    int32_t ShowPositionBar = 1, PositionBarShade = 0, ShowPageNumber = 0;
    bool ShowImages = true;
    int32_t JoinLines = 0, Justified = 0, NightScheme = 0;
    Colour TextColour = 0;
    uint32_t LayoutSignature = 0;
    int32_t LineHeight = 0;

    // --- Typography (set by the shell; all off, the default, gives the pages of the fixed rule)
    // Words that do not fit are split where the dictionary of the book's language allows, when
    // the line would otherwise be loose.
    bool Hyphenate = false;
    // The language when the book declares none; "" for the system's language.
    std::string HyphenationLanguage;
    HyphenationLimits HyphenLimits;
    // The last line of a page never ends in a split word (the word goes whole to the next page).
    bool KeepPageEndWhole = true;
    // A paragraph's single first line is not left at the foot of a page, nor its single last
    // line at the head of the next.
    bool KeepLinesTogether = false;
    // Soft hyphens (code 173) are break points, shown as a hyphen only where a line breaks.
    bool SoftHyphens = false;
    // A plain text without a person's choice is judged at open: hard-wrapped prose is read with
    // JoinLines on.
    bool DetectHardWrap = false;
    // JoinLines is the person's choice for this book (kept in the pagination file).
    bool JoinLinesChosen = false;
    // Called for every line a page keeps, as drawn (UTF-8, a hyphen where a word was split), while
    // set: page index, line index on the page, text.
    std::function<void(int32_t, int32_t, const std::string&)> LineSink;
    // Chooses the dictionary for the open book (loading it once per language; a German one takes
    // seconds): the book's language, else HyphenationLanguage. Done at open and when the settings
    // changed; the layout calls it only when neither did.
    void PrepareHyphenation();
    // How the last choice went: Ready, or Missing the first time a language had no dictionary.
    DictionaryStatus HyphenationStatus() const { return hyphenStatus_; }
    // The language tag the last choice was made for.
    const std::string& HyphenationTag() const { return hyphenTag_; }

    // Measures and draws pictures; null: every picture measures 0 by 0 and draws nothing.
    PictureDecoder* Pictures = nullptr;
    // The reading fonts, one per combination of bold, italic and underline (font 0 is plain);
    // SetReadingFont fills them.
    std::array<FontSpec, 8> ReadingFonts;
    FontSpec FooterFont{"Nina", 7};

    // --- Width table
    std::vector<int32_t> Widths;
    int32_t WidthCount = 0;
    bool WidthsBuilt = false;
    bool WidthsForWide = false;
    // The table was built on a surface of real fonts: every character has its own width (the
    // 256 codes of the table measured at once, every other code when it is first met). Without
    // it, the fixed rule: codes past the table measure as "X", and 8211 as two of them.
    bool OwnWidths = false;
    int32_t DigitWidth = 0, DigitHeight = 0;
    int32_t BottomLimit = 0;

    // --- Lists
    std::vector<LinkRecord> Links;
    // The pictures of the drawn page, each with its rectangle and the item it shows, so a click
    // on one opens it in the picture view (links are tried first).
    std::vector<LinkRecord> PictureHits;
    std::vector<AnchorRecord> Anchors;
    std::vector<ContentsEntry> Contents;
    std::vector<std::string> TempFiles;
    // The picture shown over the page (picture view), empty while the page is shown.
    std::string CurrentTarget;
    // The cover picture to show once after the first page; emptied when taken.
    std::string CoverTarget;
    // The page a followed link or contents entry left, for ReturnFromLink; -1 when none.
    int32_t LinkReturnPage = -1;
    std::string SearchText;
    // The hit a search shows: each line holding part of the offsets [HighlightFirst,
    // HighlightEnd) is drawn on the light grey band. -1 when there is none.
    int32_t HighlightFirst = -1, HighlightEnd = -1;
    std::string SoughtAnchor;
    int32_t AnchorFound = 0;

    // --- Highlights and notes (Highlights.cpp, HighlightsFile.cpp)
    // Read at open from NotesPath(), empty when none.
    HighlightSet Highlights;
    // The notes file beside the pagination file; "" when the book keeps no pagination file
    // (then NotesPathWithoutPlace).
    std::string NotesPath() const;
    // The notes file of a book opened without its pagination file whose highlights are wanted
    // all the same (the tool's print and notes). Set before the book is opened; CloseBook
    // forgets it.
    std::string NotesPathWithoutPlace;
    // Writes the notes file atomically (an empty set removes it); false, with a message and the
    // old file kept, when it cannot be written.
    bool SaveHighlights();
    // Reads the notes file of a freshly prepared book (a damaged one is set aside).
    void LoadHighlights();
    // The programs draw highlights; the tool only when asked.
    bool DrawHighlights = true;
    // The mouse selection, drawn on its own band over exactly its characters; -1 when none.
    int32_t SelectionFirst = -1, SelectionEnd = -1;
    // The character offset under a point of the page drawn last (nearest character of the
    // nearest line), -1 when the point is on no line (margins, pictures, decorations).
    int32_t OffsetAtPoint(Point p) const;
    // The word around an offset: [first, end) of the run of letters/digits holding it (the
    // offset alone when it is on no word), for a selection that follows words.
    std::pair<int32_t, int32_t> WordAt(int32_t offset);
    // The characters of [first, end) as shown (UTF-8): markup and references decoded, tags and
    // file-name markers left out, line breaks of the book as "\n" (what Copy and export quote).
    std::string ShownText(int32_t first, int32_t end);
    // The page (0-based) holding an offset, paginating as far as needed.
    int32_t PageOfOffset(int32_t offset);
    // Where the characters of the lines drawn last stand: per line its top, bottom and for each
    // character its offset and the x of its left edge (and of the line's end), so that a point
    // is turned into an offset. Like Links, they are those of the page drawn last: a view that
    // draws the following page ahead keeps the shown page's lines and puts them back.
    struct DrawnLine {
        int32_t top = 0, bottom = 0;
        std::vector<int32_t> offsets;  // one per drawn character
        std::vector<int32_t> xs;       // one more than offsets: the left edges, then the end
    };
    std::vector<DrawnLine> DrawnLines;

    // --- Character access
    // The character at a character offset (0 to 0xFFFF); kEndOfText at or past the end, or when
    // the source failed.
    uint32_t GetChar(int32_t offset);
    // Makes the windows cover the offset, reading the source when they do not. False when the
    // read failed.
    bool LoadWindow(int32_t offset);
    // The characters the windows already hold from the offset on, so that a caller can read a
    // run of them at once: their bytes (two per character, low byte first, for 16-bit text) and
    // their count, which is exactly what GetChar would serve without reading the source. 0 when
    // the next character must come through GetChar.
    size_t WindowRun(int32_t offset, const uint8_t*& bytes) const;
    // Characters in the text (TextLength, halved for 16-bit text).
    // Positions are 32-bit and never negative, so a longer text is read to its first 2^31 - 1.
    uint32_t CharCount() const {
        return std::min<uint32_t>(Wide ? TextLength / 2 : TextLength, 0x7fffffff);
    }
    int32_t WindowChars() const { return Wide ? WindowSize / 2 : WindowSize; }
    // Marks the windows as holding nothing, so the next access reads the source.
    void InvalidateWindow();

    // --- Opening and closing
    // Frees the windows, clears the page table and lists, allocates the windows for SourceKind,
    // opens the book with its reader and reads the pagination file. False (and SourceFailed) when
    // the book cannot be opened or no reader serves its kind.
    bool PrepareSource();
    // The same with the reader given instead of the one of SourceKind (a reader of a format the
    // engine does not know, or a stand-in in tests).
    bool PrepareSource(std::unique_ptr<WindowReader> reader);
    // The open step: remembers the book as the last one, prepares it and shows what went wrong
    // ("Unknown file type.", "Cannot open ebook file."). Set BookPath, MemberName, SourceKind and
    // PaginationPath first.
    bool OpenBook();
    // How the last PrepareSource went.
    OpenResult LastOpen = OpenResult::Opened;
    // The last open that failed has told the person why (a file that cannot be opened, a kind
    // no reader serves, or the reader's own message: a protected or damaged book), so the
    // programs say nothing more.
    bool FailureSaid = false;
    // Writes the pagination file in full and lets the book go.
    void CloseBook();
    void ResetPagination();

    // --- Position, navigation and bookmarks
    void NextPage();
    void PreviousPage();
    // Makes current the page holding a character offset, among the pages laid out so far.
    void GoToOffset(int32_t target);
    void GoToBookmark(int slot);
    void SetBookmark(int slot);
    // Walks forward, laying out pages, to the page that defines the anchor. When no page
    // defines it, the current page stays and the result is false.
    bool GoToAnchor(const std::string& name);
    // The snapshot file, and with full also the pagination file.
    void SavePosition(bool full);
    // Reads the pagination file of a freshly prepared book.
    void LoadPosition();
    // "Page 3" or "Page 3 of 120"; percent receives the position in percent.
    std::string PositionText(int* percent = nullptr) const;
    // The Go-to commands: 0 first page, 1 a quarter, 2 half, 3 three quarters, 4 last page.
    void GoToPart(int part);
    // The character offset for a click at x on the position bar.
    int32_t OffsetForBarClick(int32_t x) const;
    int32_t BarRightEnd() const { return ShowPageNumber ? RightEdge - 26 : RightEdge - 1; }
    // A bookmark lies on the current page.
    bool PageHasBookmark() const;

    // --- Layout and pagination
    // Sets the eight reading fonts from one face and size.
    void SetReadingFont(const std::string& face, int pointSize);
    // Builds the width table for the current character width, when needed and a surface is given.
    void BuildWidthTable(DrawingSurface* dc);
    // Forgets the width table (the font changed).
    void InvalidateWidths() { WidthsBuilt = false; }
    // Lays out (and with a surface, draws) the page CurrentPage; see Layout.cpp.
    bool LayoutPage(DrawingSurface* dc, bool search);
    // How many times LayoutPage has run, so that tests can see what was measured.
    uint64_t LayoutCount = 0;
    // Lays out and draws the page after the current one without making it current.
    bool LayoutFollowingPage(DrawingSurface* dc, bool search);
    // The bookmark mark, position bar, page number and title below and beside the text.
    void DrawPageDecorations(DrawingSurface& dc);
    // Measures pages up to page n (or from the current page to page -n) while the end is unknown.
    // Pages whose following start the table already holds are not measured again.
    void PaginateTo(int32_t n);
    // Measures pages until one starts past the character offset or the end is found.
    void PaginateToOffset(int32_t target);
    // Draws a finished line: alignment, block-quote indent, justification, styles, link boxes.
    // Returns how far the line was moved right of LeftEdge (indent and alignment).
    int32_t DrawLine(DrawingSurface& dc, FinishedLine line);
    // Pixel width of a character code in the table (or measured on demand), style extras left out.
    int32_t CharWidth(uint16_t code) const;
    // The width the layout gives a character of a word, and drawing places it with: CharWidth,
    // and under the fixed rule one "X" more for 8211.
    int32_t LayoutWidth(uint16_t code) const {
        return CharWidth(code) + (code == 8211 && !OwnWidths ? CharWidth('X') : 0);
    }

    // The name of the book's internal file at a position: CurrentFile, else the file the
    // reader says holds it (a PAWK book's member).
    std::string FileNameAt(int32_t position) const;
    // Writes the book's item of that name to a file through the book's reader (PAWK and LIT
    // books keep pictures and sounds); false for other books or when it cannot be written.
    bool ExtractMedia(const std::string& path, const std::string& nameInBook);
    // An href or picture name written in the internal file fromFile, as the reader resolves it
    // (WindowReader::ResolveName); false when the book's names stand as written.
    bool ResolveName(const std::string& fromFile, const std::string& written, std::string& name);
    // The alignment the book's style sheets give a class attribute's value in fromFile.
    TextAlign ClassAlignment(const std::string& fromFile, const std::string& classes);

    // --- Pictures, links and media (Pictures.cpp, Links.cpp)
    // A new file of the private temporary folder, "TempImage<n><suffix>", created empty and
    // exclusively; "" when it cannot be made.
    std::string MakeTempFile(const std::string& suffix);
    // The file of a named item of the book: for an HTML file on disk the file beside it inside
    // the book's folder, used in place; for LIT and PAWK books the item extracted into a new
    // temporary file (temporary is set). "" when there is none.
    std::string ItemFile(const std::string& name, const std::string& suffix, bool& temporary);
    // The picture's size in pixels, 0 by 0 when it cannot be decoded (one retry after 100 ms).
    TextSize GetPictureSize(const std::string& file);
    // Draws the whole picture stretched into the rectangle from (left + 1, top + 1), right - left
    // wide and bottom - top high; false when it cannot be decoded (one retry after 100 ms).
    bool DrawPicture(DrawingSurface& dc, const std::string& file, const Rect& rect);
    // A click on the drawn page: follows the link under the point, else opens the picture under
    // it in the picture view.
    TargetAction FollowLink(Point point);
    // The links of the drawn page followed by its pictures: what a click may hit, in that order
    // (the handheld's tap tries the pictures first).
    std::vector<LinkRecord> PageHits(bool picturesFirst = false) const;
    // Shows, plays or jumps to a target (a link's, or a contents entry's); outside addresses are
    // opened only after the person agrees.
    TargetAction OpenTarget(const std::string& target);
    // Jumps to an internal target ("file#name", "file#" for a whole file); remembers the page
    // left. False (the page stays) when the book has no such place.
    bool GoToTarget(const std::string& target);
    // Back to the page the last followed link left.
    bool ReturnFromLink();
    // The picture view: draws CurrentTarget over the whole view ("Error loading image" when it
    // cannot be shown). False when nothing is shown.
    bool DrawCurrentTarget(DrawingSurface& dc, const Rect& view);
    // A page-turn command while a picture is shown closes the picture view instead: true then.
    bool ClosePictureView();

    // --- Contents and sections (Contents.cpp)
    // After the first page is drawn: the cover becomes the picture shown, once. True when it did.
    bool TakeCover();
    // The handheld's section commands: step page by page to the next (previous) page that starts
    // a section, the last page (first page) at most. False, with a message, for books without
    // sections.
    bool NextSection();
    bool PreviousSection();
    // The page starts a section: a file of the book or a contents target begins on it.
    bool PageStartsSection(int32_t page) const;

    // --- Helpers for the layout
    void ComputeBottomLimit();
    // Polls every 500 milliseconds until the pagination file has been written.
    void WaitWhileBusy();
    // Deletes the picture files of the page laid out last.
    void DeleteTempFiles();
    // The file a picture tag's source names: extracted from the book into a temporary file, or
    // for an HTML file on disk the file beside it; "" when there is none. temporary says which.
    std::string PictureSourceFile(const std::string& src, bool& temporary);
    // The book's reader: where a whole file of the book begins; -1 when unknown.
    int32_t FileStartOffset(const std::string& name) const;

private:
    friend class PageLayout;
    // Behind a line about to be drawn: the bands of the highlights and of the selection over
    // exactly their characters; and the line's characters kept for OffsetAtPoint.
    void DrawBands(DrawingSurface& dc, const FinishedLine& line, const std::vector<int32_t>& xs);
    void ReleaseBook();
    void ShowMessage(const std::string& text, MessageIcon icon);

public:
    // Writes a value of the registry key through the host, when there is one.
    void SetRegistry(const char* name, const std::string& value);

private:
    std::unique_ptr<WindowReader> reader_;
    // One hyphenator for the document's life: its dictionaries stay loaded from book to book.
    std::unique_ptr<Hyphenator> hyphenator_;
    Hyphenator* activeHyphenator_ = nullptr;  // set while a dictionary serves the open book
    bool hyphenPrepared_ = false;
    std::string hyphenTag_, hyphenFor_;
    DictionaryStatus hyphenStatus_ = DictionaryStatus::Missing;
    std::string MarkupLanguage();
    void JudgeLineBreaks();
    // Own widths of the codes past the table, measured when first met (-1: not yet).
    std::unique_ptr<CharacterMeasurer> measurer_;
    mutable std::vector<int32_t> lateWidths_;
    void ForgetWidths();
    // For the layout's letter loop: per code below WidthCount the width of a letter that
    // neither ends a word nor needs a closer look, and far more than any line for every other
    // code, so that one comparison tells both; one table for plain text and one for markup,
    // made again when the widths change (Layout.cpp).
    const int32_t* LetterWidths(bool markup, size_t& count) const;
    void MakeLetterWidths() const;
    mutable std::vector<int32_t> letterWidths_[2];
    mutable const int32_t* letterWidthsOf_ = nullptr;  // the Widths they were made from
    mutable size_t letterWidthsCount_ = 0;
    uint64_t widthsGeneration_ = 0;  // changes whenever the widths do
    mutable uint64_t letterWidthsGeneration_ = ~uint64_t(0);
    int32_t reserved_ = 0;        // the pagination file's reserved field, kept as read
    int32_t storedReserved_ = 0;  // the same, read before the book opened
    // The reserved field as this book writes it: for text and HTML files with the encoding.
    int32_t ReservedToWrite() const;
    bool windowLoaded_ = false;  // the windows hold the text at WindowStart
    bool modeDecided_ = false;   // the read at position 0 has decided Wide and MarkupMode
    bool ReadWindowAt(int32_t start);
    // Measuring loops move CurrentPage page by page; the snapshot records the reader's page, so
    // window reads made meanwhile leave it alone.
    bool holdSnapshot_ = false;
    // What the snapshot file last written holds, and where: it is written again only when that
    // changes.
    std::string snapshotPath_;
    std::string snapshotBytes_;
    // The private folder of this document's temporary files (made on first use, 0700) and the
    // picture view's file for CurrentTarget.
    std::string tempFolder_;
    std::string targetFile_, targetFileFor_, viewFile_;
    void RemoveTempFolder();
    bool StepSection(int direction);
};

}  // namespace pagewick
