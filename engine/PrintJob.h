// Printing the open book: its pages are laid out again for the printer's sheet and drawn with
// the same engine that draws the screen. A job changes the document's page, page table, bounds
// and widths while it runs and puts every one of them back when it ends, whichever way it ends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/BookEngine.h"

namespace pagewick {

// The sheet a printer offers: its resolution and its printable rectangle, in printer dots.
struct PrinterSheet {
    int dpi = 300;
    int width = 0, height = 0;
};

// Where a job's pages go: a printer or a PDF file. StartDocument once, then StartPage, drawing
// on Surface() and EndPage for every page; EndDocument when every page went well, otherwise
// AbortDocument, which leaves nothing printed or written.
class PrintOutput {
public:
    virtual ~PrintOutput() = default;
    virtual PrinterSheet Sheet() const = 0;
    virtual bool StartDocument(const std::string& title) = 0;
    // Valid from a successful StartDocument until the document ends or is aborted.
    virtual DrawingSurface& Surface() = 0;
    virtual bool StartPage() = 0;
    // False when the printer refused the page.
    virtual bool EndPage() = 0;
    // False when the document could not be completed (a file that could not be written).
    virtual bool EndDocument() = 0;
    virtual void AbortDocument() = 0;
    // Why the last step failed, for the message.
    virtual std::string Error() const { return {}; }
};

// The screen the document is laid out for: its borders (screen units) and a surface measuring
// with the screen's resolution, with which the widths are rebuilt after a job.
struct ScreenLayout {
    DrawingSurface* measure = nullptr;
    int32_t borderWidth = 8;
    int32_t borderHeight = 8;
};

// The end of a page range that runs to the end of the book.
constexpr int32_t kPrintToEnd = INT32_MAX;

// Printed pages keep at least these borders (screen units) on every side.
constexpr int32_t kMinPrintBorderWidth = 34;
constexpr int32_t kMinPrintBorderHeight = 37;

class PrintJob {
public:
    PrintJob(CBookEngine& doc, PrintOutput& output, const ScreenLayout& screen);
    // A job still begun is ended: the document never stays laid out for the printer.
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // The two commands, each from starting the document to ending or aborting it. True when
    // the document was completed; otherwise Message() says why (nothing was printed then).
    // Pages count from 1; last may be kPrintToEnd.
    bool PrintPages(int32_t first, int32_t last);
    // Contents entries (indices into the document's Contents), first to last, each chapter
    // printed from its first page to the page before the next chapter's.
    bool PrintChapters(size_t firstEntry, size_t lastEntry);

    // The shared steps. BeginPrinting needs the document started.
    bool BeginPrinting();
    // Lays out and draws page n (from 1), which must hold text (PageHasText).
    void PrintOnePage(int32_t n);
    void EndPrinting();
    // The page index (from 0) of the printer's page that holds a contents target, or -1; the
    // current page is put back.
    int32_t ChapterPage(const std::string& target);
    // The page (index from 0) holds text: it exists and is not the empty page that marks the end.
    // Measures only the pages after those already known, so walking forward measures each once.
    bool PageHasText(int32_t index);

    bool Printing() const { return begun_; }
    int32_t PagesPrinted() const { return printed_; }
    const std::string& Message() const { return message_; }
    // The entry whose chapter a chapter run ends before: the next entry after last that names a
    // place in the book; none when the run goes to the end of the book.
    static std::optional<size_t> EndEntry(const std::vector<ContentsEntry>& contents,
                                          size_t lastEntry);
    // The message for a contents entry that cannot be printed (a picture or a media item),
    // "" for one that can.
    static std::string UnprintableEntry(const std::string& target);

private:
    // Prints pages by index, from first up to before end, stopping after the book's last page.
    bool PrintIndexRange(int32_t first, int32_t end);
    bool Finish(bool ok);
    // Only markup and white space lie between the two offsets.
    bool NothingShownBetween(int32_t from, int32_t to);
    bool Fail(const std::string& message);

    CBookEngine& doc_;
    PrintOutput& out_;
    ScreenLayout screen_;
    bool begun_ = false;
    bool started_ = false;
    int32_t printed_ = 0;
    std::string message_;

    // What the job changes, as it was.
    struct Saved {
        int32_t left = 0, top = 0, right = 0, pageHeight = 0;
        int32_t currentPage = 0, lastPage = 0, pendingOffset = -1, nightScheme = 0;
        std::vector<int32_t> pageStarts;
        std::vector<uint8_t> pageStates;
        std::vector<std::u16string> pageCarry;
        std::vector<AnchorRecord> anchors;
        std::vector<LinkRecord> links;
        std::string paginationPath;
    } saved_;
};

}  // namespace pagewick
