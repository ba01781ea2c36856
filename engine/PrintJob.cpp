#include "engine/PrintJob.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "util/AsciiCase.h"

namespace pagewick {

namespace {

// Width of "X" in the plain reading font of a surface.
int32_t XWidth(DrawingSurface& dc, const FontSpec& font) {
    dc.SelectFont(font);
    const char16_t x = u'X';
    return dc.TextExtent(&x, 1).cx;
}

std::string PageCount(const CBookEngine& doc) {
    int32_t pages =
        doc.LastPage != kLastPageUnknown ? doc.LastPage : int32_t(doc.PageStarts.size());
    return std::to_string(pages) + (pages == 1 ? " page" : " pages");
}

}  // namespace

PrintJob::PrintJob(CBookEngine& doc, PrintOutput& output, const ScreenLayout& screen)
    : doc_(doc), out_(output), screen_(screen) {}

PrintJob::~PrintJob() {
    EndPrinting();
    if (started_) out_.AbortDocument();
}

std::string PrintJob::UnprintableEntry(const std::string& target) {
    if (IsPictureTarget(target)) return "Sorry, we currently do not support image-only chapters.";
    if (IsMediaTarget(target)) return "Sorry, you cannot print a multi-media chapter.";
    return "";
}

std::optional<size_t> PrintJob::EndEntry(const std::vector<ContentsEntry>& contents,
                                         size_t lastEntry) {
    // Pictures, media and outside addresses have no page of their own to end a run at.
    for (size_t i = lastEntry + 1; i < contents.size(); ++i) {
        const std::string& target = contents[i].target;
        if (!target.empty() && !IsPictureTarget(target) && !IsMediaTarget(target) &&
            !IsOutsideTarget(target))
            return i;
    }
    return std::nullopt;
}

bool PrintJob::BeginPrinting() {
    if (begun_) return true;
    saved_.left = doc_.LeftEdge;
    saved_.top = doc_.TopEdge;
    saved_.right = doc_.RightEdge;
    saved_.pageHeight = doc_.PageHeight;
    saved_.currentPage = doc_.CurrentPage;
    saved_.lastPage = doc_.LastPage;
    saved_.pendingOffset = doc_.PendingOffset;
    saved_.nightScheme = doc_.NightScheme;
    saved_.pageStarts = doc_.PageStarts;
    saved_.pageStates = doc_.PageStates;
    saved_.pageCarry = doc_.PageCarry;
    saved_.anchors = doc_.Anchors;
    saved_.links = doc_.Links;
    saved_.paginationPath = doc_.PaginationPath;
    begun_ = true;
    PrintMode = true;

    // Pictures and borders keep the size they have beside the text on the screen: they are
    // scaled by the ratio of the printer's character widths to the screen's.
    DrawingSurface& printer = out_.Surface();
    const PrinterSheet sheet = out_.Sheet();
    const int32_t printerX = XWidth(printer, doc_.ReadingFonts[0]);
    const int32_t screenX = screen_.measure ? XWidth(*screen_.measure, doc_.ReadingFonts[0]) : 0;
    double scale = screenX > 0 && printerX > 0 ? double(printerX) / double(screenX)
                                               : double(std::max(sheet.dpi, 1)) / 96.0;
    PictureScale = scale;

    const int32_t borderWidth = std::max(screen_.borderWidth, kMinPrintBorderWidth);
    const int32_t borderHeight = std::max(screen_.borderHeight, kMinPrintBorderHeight);
    const int32_t left = int32_t(std::lround(borderWidth * scale));
    const int32_t top = int32_t(std::lround(borderHeight * scale));
    doc_.LeftEdge = left;
    doc_.TopEdge = top;
    doc_.RightEdge = sheet.width - left;
    doc_.PageHeight = sheet.height;
    // Paper is white whatever the screen's scheme.
    doc_.NightScheme = 0;
    // The screen's pending place belongs to the screen; no pagination file is written while
    // the table holds printer pages.
    doc_.PendingOffset = -1;
    doc_.PaginationPath.clear();
    doc_.ResetPagination();
    doc_.InvalidateWidths();
    doc_.BuildWidthTable(&printer);
    doc_.ComputeBottomLimit();
    if (!doc_.WidthsBuilt || doc_.RightEdge - doc_.LeftEdge < 4 * doc_.CharWidth('X') ||
        doc_.BottomLimit - doc_.TopEdge <= doc_.LineHeight) {
        message_ = "The printer's page is too small for the text and its borders.";
        return false;
    }
    return true;
}

void PrintJob::EndPrinting() {
    if (!begun_) return;
    begun_ = false;
    PrintMode = false;
    PictureScale = 1.0;
    doc_.LeftEdge = saved_.left;
    doc_.TopEdge = saved_.top;
    doc_.RightEdge = saved_.right;
    doc_.PageHeight = saved_.pageHeight;
    doc_.NightScheme = saved_.nightScheme;
    // The screen's pages come back as they were, and the reader stays on the same page.
    doc_.PageStarts = std::move(saved_.pageStarts);
    doc_.PageStates = std::move(saved_.pageStates);
    doc_.PageCarry = std::move(saved_.pageCarry);
    doc_.LastPage = saved_.lastPage;
    doc_.CurrentPage = saved_.currentPage;
    doc_.Anchors = std::move(saved_.anchors);
    doc_.Links = std::move(saved_.links);
    doc_.PendingOffset = saved_.pendingOffset;
    doc_.PaginationPath = std::move(saved_.paginationPath);
    doc_.InvalidateWindow();
    doc_.InvalidateWidths();
    if (screen_.measure) doc_.BuildWidthTable(screen_.measure);
    doc_.ComputeBottomLimit();
}

bool PrintJob::PageHasText(int32_t index) {
    if (index < 0) return false;
    // Pages are measured from the last one known, so that page n never measures those before it
    // again.
    while (doc_.LastPage == kLastPageUnknown && int32_t(doc_.PageStarts.size()) <= index + 1) {
        const size_t before = doc_.PageStarts.size();
        doc_.CurrentPage = int32_t(before) - 1;
        doc_.LayoutPage(nullptr, false);
        if (doc_.PageStarts.size() == before) break;  // the end, or the book failed
    }
    // The page at LastPage is the empty one that marks the end.
    if (doc_.LastPage != kLastPageUnknown) return index < doc_.LastPage;
    return index + 1 < int32_t(doc_.PageStarts.size());
}

void PrintJob::PrintOnePage(int32_t n) {
    doc_.CurrentPage = n - 1;
    doc_.LayoutPage(&out_.Surface(), false);
}

bool PrintJob::NothingShownBetween(int32_t from, int32_t to) {
    std::string tag;
    bool inTag = false;
    for (int32_t i = from; i < to; ++i) {
        uint32_t c = doc_.GetChar(i);
        if (c == kEndOfText) return true;
        if (inTag) {
            if (c == '>') {
                inTag = false;
                // A picture is something shown.
                if (LowerAscii(tag).rfind("img", 0) == 0) return false;
            } else if (tag.size() < 8) {
                tag += char(c < 128 ? c : '?');
            }
            continue;
        }
        if (doc_.MarkupMode && c == '<') {
            inTag = true;
            tag.clear();
            continue;
        }
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != 0) return false;
    }
    return true;
}

int32_t PrintJob::ChapterPage(const std::string& target) {
    if (target.empty()) return -1;
    const int32_t saved = doc_.CurrentPage;
    std::string key = LowerAscii(target);
    if (key.find('#') == std::string::npos) key += '#';  // a whole file: its first anchor
    auto recorded = [&]() -> int32_t {
        for (const AnchorRecord& anchor : doc_.Anchors)
            if (LowerAscii(anchor.name) == key) return anchor.offset;
        if (key.back() == '#') return doc_.FileStartOffset(key.substr(0, key.size() - 1));
        return -1;
    };
    int32_t page = -1;
    doc_.CurrentPage = 0;
    int32_t offset = recorded();
    // Not met yet: the pages are laid out forward until it is, which records it.
    if (offset < 0 && doc_.GoToAnchor(key)) {
        page = doc_.CurrentPage;
        offset = recorded();
    }
    if (offset >= 0) {
        doc_.PaginateToOffset(offset);  // from the last page known on
        doc_.GoToOffset(offset);
        page = doc_.CurrentPage;
        // A place after the last word of its page (a file that starts with a page break, an
        // anchor behind the closing tags) begins on the next page.
        if (page + 1 < int32_t(doc_.PageStarts.size()) &&
            NothingShownBetween(offset, doc_.PageStarts[size_t(page) + 1]))
            ++page;
    }
    doc_.CurrentPage = saved;
    return page;
}

bool PrintJob::PrintIndexRange(int32_t first, int32_t end) {
    for (int32_t index = first; index < end; ++index) {
        // The book's last page ends the job: no empty sheet after it.
        if (!PageHasText(index)) break;
        if (doc_.SourceFailed) return Fail("Cannot read the book any more.");
        if (!out_.StartPage()) return Fail(out_.Error());
        PrintOnePage(index + 1);
        if (!out_.EndPage()) {
            std::string why = out_.Error();
            return Fail("The printer stopped at page " + std::to_string(index + 1) +
                        (why.empty() ? "." : ": " + why));
        }
        ++printed_;
    }
    return true;
}

bool PrintJob::Fail(const std::string& message) {
    if (message_.empty()) message_ = message.empty() ? "Printing failed." : message;
    return false;
}

bool PrintJob::Finish(bool ok) {
    EndPrinting();
    if (!started_) return false;
    started_ = false;
    if (ok && out_.EndDocument()) return true;
    if (ok) Fail(out_.Error());
    out_.AbortDocument();
    printed_ = 0;
    return false;
}

bool PrintJob::PrintPages(int32_t first, int32_t last) {
    message_.clear();
    printed_ = 0;
    if (first < 1 || last < first) return Fail("There are no pages to print in that range.");
    std::string title = doc_.DocumentTitle.empty()
                            ? std::filesystem::path(doc_.BookPath).filename().string()
                            : doc_.DocumentTitle;
    if (!out_.StartDocument(title)) return Fail(out_.Error());
    started_ = true;
    if (!BeginPrinting()) return Finish(false);
    if (!PageHasText(first - 1)) {
        Fail("Page " + std::to_string(first) + " is past the end of the book (" + PageCount(doc_) +
             ").");
        return Finish(false);
    }
    bool ok = PrintIndexRange(first - 1, last == kPrintToEnd ? kPrintToEnd : last);
    return Finish(ok);
}

bool PrintJob::PrintChapters(size_t firstEntry, size_t lastEntry) {
    message_.clear();
    printed_ = 0;
    const std::vector<ContentsEntry>& contents = doc_.Contents;
    if (firstEntry >= contents.size() || lastEntry >= contents.size() || lastEntry < firstEntry)
        return Fail("There are no chapters to print in that range.");
    for (size_t entry : {firstEntry, lastEntry})
        if (std::string why = UnprintableEntry(contents[entry].target); !why.empty())
            return Fail(why);
    const std::string startTarget = contents[firstEntry].target;
    std::optional<std::string> endTarget;
    if (std::optional<size_t> end = EndEntry(contents, lastEntry))
        endTarget = contents[*end].target;

    std::string title = doc_.DocumentTitle.empty()
                            ? std::filesystem::path(doc_.BookPath).filename().string()
                            : doc_.DocumentTitle;
    if (!out_.StartDocument(title)) return Fail(out_.Error());
    started_ = true;
    doc_.CoverTarget.clear();
    if (!BeginPrinting()) return Finish(false);
    const int32_t first = ChapterPage(startTarget);
    if (first < 0) {
        Fail("Error: Could not locate beginning of first chapter to print.");
        return Finish(false);
    }
    int32_t end = kPrintToEnd;
    if (endTarget) {
        end = ChapterPage(*endTarget);
        if (end < 0) {
            Fail("Error: Could not locate beginning of last chapter to print.");
            return Finish(false);
        }
        // The next chapter begins on the first one's page: that page is still printed.
        if (end == first) end = first + 1;
        if (end < first) {
            Fail("Error: The chapters chosen do not follow each other in the book.");
            return Finish(false);
        }
    }
    bool ok = PrintIndexRange(first, end);
    if (ok && printed_ == 0) ok = Fail("Error: The chapters chosen hold no text to print.");
    return Finish(ok);
}

}  // namespace pagewick
