#include "engine/BookEngine.h"
#include "engine/PaginationFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "util/Cp1252.h"
#include "util/LittleEndian.h"

namespace pagewick {

bool PrintMode = false;

CBookEngine::CBookEngine() {
    SetReadingFont("Times New Roman", 14);
}

CBookEngine::~CBookEngine() {
    RemoveTempFolder();
}

void CBookEngine::InvalidateWindow() {
    if (!WindowA.empty()) WindowA[0] = 0;
    windowLoaded_ = false;
}

void CBookEngine::ResetPagination() {
    CurrentPage = 0;
    LastPage = kLastPageUnknown;
    InvalidateWindow();
    PageStarts.assign(1, 0);
    PageStates.assign(1, 0);
    PageCarry.assign(1, std::u16string());
}

uint32_t CBookEngine::GetChar(int32_t offset) {
    if (SourceFailed || offset < 0 || uint32_t(offset) >= CharCount()) return kEndOfText;
    if (reader_ && reader_->ServesBytes()) return reader_->ByteAt(offset);
    if (!LoadWindow(offset)) return kEndOfText;
    int32_t rel = offset - WindowStart;
    int32_t chars = WindowChars();
    const std::vector<uint8_t>& buffer = rel < chars ? WindowA : WindowB;
    if (rel >= chars) rel -= chars;
    if (Wide) {
        size_t at = size_t(rel) * 2;
        if (at + 1 >= buffer.size()) return kEndOfText;
        return Le16At(buffer.data() + at);
    }
    if (size_t(rel) >= buffer.size()) return kEndOfText;
    return buffer[size_t(rel)];
}

size_t CBookEngine::WindowRun(int32_t offset, const uint8_t*& bytes) const {
    if (SourceFailed || !windowLoaded_ || !reader_ || reader_->ServesBytes() || offset < 0 ||
        uint32_t(offset) >= CharCount())
        return 0;
    const int32_t chars = WindowChars();
    int32_t rel = offset - WindowStart;
    // The same bounds as GetChar: WindowA up to one window, WindowB one window and the extra
    // character, neither past its buffer.
    if (chars <= 0 || rel < 0 || rel > 2 * chars) return 0;
    const std::vector<uint8_t>* buffer = &WindowA;
    int32_t end = chars;
    if (rel >= chars) {
        buffer = &WindowB;
        rel -= chars;
        end = chars + 1;
    }
    const size_t unit = Wide ? 2 : 1;
    size_t count = std::min<size_t>(size_t(end - rel), CharCount() - uint32_t(offset));
    size_t held = buffer->size() / unit;
    if (held <= size_t(rel)) return 0;
    count = std::min(count, held - size_t(rel));
    bytes = buffer->data() + size_t(rel) * unit;
    return count;
}

bool CBookEngine::LoadWindow(int32_t offset) {
    int32_t chars = WindowChars();
    if (chars <= 0 || !reader_) return false;
    // 64-bit: a window start near 2^31 plus two windows does not fit in 32 bits.
    int64_t start = WindowStart;
    const int64_t pair = 2 * int64_t(chars);
    // Down one window at a time, up two at a time: the pair of buffers then always starts on a
    // window boundary, and the extra character of WindowB covers start + 2 windows exactly.
    if (offset < start) start -= (start - offset + chars - 1) / chars * chars;
    if (offset > start + pair) start += (offset - start) / pair * pair;
    if (start < 0) start = 0;
    if (start == WindowStart && windowLoaded_) return true;
    return ReadWindowAt(int32_t(start));
}

bool CBookEngine::ReadWindowAt(int32_t start) {
    WindowStart = start;
    windowLoaded_ = false;
    // The read at position 0 decides the character width and the markup; a book reopened in its
    // middle must still have them decided before any other window is read.
    if (!modeDecided_ && start != 0) {
        if (!reader_->ReadWindow(*this, 0)) return false;
        modeDecided_ = true;
    }
    uint32_t position = uint32_t(start) * (Wide ? 2 : 1);
    if (!reader_->ReadWindow(*this, position)) {
        InvalidateWindow();
        if (modeDecided_ && !SourceLost) {
            // A book that read before and reads no more has gone from under the reader.
            SourceLost = true;
            SourceFailed = true;
            ShowMessage("Cannot open ebook file.", MessageIcon::Error);
        }
        return false;
    }
    if (start == 0) modeDecided_ = true;
    windowLoaded_ = true;
    if (!holdSnapshot_) SavePosition(false);  // the quick snapshot, when the place changed
    return true;
}

bool CBookEngine::PrepareSource() {
    return PrepareSource(MakeWindowReader(SourceKind));
}

bool CBookEngine::PrepareSource(std::unique_ptr<WindowReader> reader) {
    ReleaseBook();
    FailureSaid = false;
    SourceLost = false;
    HighlightFirst = HighlightEnd = -1;
    if (!reader) {
        SourceFailed = true;
        TextLength = 0;
        LastOpen = OpenResult::Rejected;
        return false;
    }
    Form = reader->Traits();
    // A book that names itself (title tag, pagination file, header) or has no title drops the
    // file name the caller set; plain files keep it.
    if (Form.namesItself) DocumentTitle.clear();
    BookTitle.clear();
    BookAuthor.clear();
    BookPublisher.clear();
    BookRights.clear();
    BookIdentifier.clear();
    BookLanguage.clear();
    CurrentFile.clear();
    SourceFailed = false;
    Wide = false;
    MarkupMode = false;
    modeDecided_ = false;
    JoinLines = 0;
    JoinLinesChosen = false;
    hyphenPrepared_ = false;
    activeHyphenator_ = nullptr;
    WindowStart = 0;
    const int32_t size = Form.windowSize;
    WindowSize = size;
    // Each buffer keeps room for the extra character (two bytes for 16-bit text).
    WindowA.assign(size_t(size) + 2, 0);
    WindowB.assign(size_t(size) + 2, 0);
    ResetPagination();
    reader_ = std::move(reader);
    TextLength = kLengthUnknown;
    // Text and HTML files are read as the person chose, or as this book was read before.
    Utf8 = false;
    storedReserved_ = 0;
    if (!PaginationPath.empty()) ReadPaginationReserved(PaginationPath, storedReserved_);
    EncodingChoice = TextEncoding::Auto;
    if (EncodingOverride)
        EncodingChoice = *EncodingOverride;
    else if (int32_t stored = storedReserved_ & kReservedEncodingMask; stored <= 2)
        EncodingChoice = TextEncoding(stored);
    LastOpen = reader_ ? reader_->Open(*this) : OpenResult::Rejected;
    if (LastOpen != OpenResult::Opened) {
        reader_.reset();
        SourceFailed = true;
        TextLength = 0;
        return false;
    }
    if (Utf8) {
        // Decoded to 16-bit characters: windows of twice the bytes hold as many characters as
        // the file's 8-bit windows would.
        WindowSize *= 2;
        WindowA.assign(size_t(WindowSize) + 2, 0);
        WindowB.assign(size_t(WindowSize) + 2, 0);
    }
    // The book itself decides its character width and markup, by its first window, before the
    // pagination file is read: the file's own record of them is never trusted.
    if (!reader_->ServesBytes() && reader_->ReadWindow(*this, 0)) {
        modeDecided_ = true;
        windowLoaded_ = true;
    }
    LoadPosition();
    LoadHighlights();
    JudgeLineBreaks();
    // The dictionary is loaded now, never on the way to a page.
    if (Hyphenate) PrepareHyphenation();
    SavePosition(false);  // the snapshot of the place the book opens at
    return true;
}

bool CBookEngine::OpenBook() {
    std::unique_ptr<WindowReader> reader = MakeWindowReader(SourceKind);
    // The last book is remembered by its path, a member of an archive by the archive and the
    // member, so that either can be brought back. The title is written once this book has one:
    // until then no title of the book before stands beside it.
    const std::string member =
        reader && reader->Traits().archiveMember ? MemberName : std::string();
    if (HostServices) {
        const std::string section = HostServices->ProgramSection();
        if (HostServices->GetSetting(section, "LastBook") != BookPath ||
            HostServices->GetSetting(section, "LastBookMember") != member)
            SetRegistry("LastBookTitle", "");
    }
    SetRegistry("LastBook", BookPath);
    SetRegistry("LastBookMember", member);
    if (!reader) {
        ReleaseBook();
        SourceFailed = true;
        TextLength = 0;
        if (HostServices)
            HostServices->ShowMessage("Unknown file type.", "Pagewick", MessageButtons::Ok,
                                      MessageIcon::Error);
        FailureSaid = true;
        return false;
    }
    if (!PrepareSource(std::move(reader))) {
        // A reader that rejects its book without saying why leaves the view to say "Pagewick
        // cannot read this format."; a file that cannot be opened is said at once.
        if (LastOpen == OpenResult::CannotOpen) {
            ShowMessage("Cannot open ebook file.", MessageIcon::Error);
            FailureSaid = true;
        }
        return false;
    }
    return true;
}

void CBookEngine::ReleaseBook() {
    reader_.reset();
    WindowA.clear();
    WindowB.clear();
    windowLoaded_ = false;
    ForgetWidths();
    PageStarts.assign(1, 0);
    PageStates.assign(1, 0);
    PageCarry.assign(1, std::u16string());
    CurrentPage = 0;
    LastPage = kLastPageUnknown;
    Anchors.clear();
    Links.clear();
    PictureHits.clear();
    DrawnLines.clear();
    Highlights.Clear();
    SelectionFirst = SelectionEnd = -1;
    Contents.clear();
    CoverTarget.clear();
    CurrentTarget.clear();
    LinkReturnPage = -1;
    RemoveTempFolder();
}

void CBookEngine::CloseBook() {
    SavePosition(true);
    WaitWhileBusy();
    PaginationPath.clear();
    NotesPathWithoutPlace.clear();
    ReleaseBook();
}

void CBookEngine::ShowMessage(const std::string& text, MessageIcon icon) {
    if (HostServices) HostServices->ShowMessage(text, "Pagewick", MessageButtons::Ok, icon);
}

void CBookEngine::SetRegistry(const char* name, const std::string& value) {
    if (HostServices) HostServices->SetSetting(HostServices->ProgramSection(), name, value);
}

void CBookEngine::SetReadingFont(const std::string& face, int pointSize) {
    for (int bits = 0; bits < 8; ++bits) {
        ReadingFonts[size_t(bits)] =
            FontSpec{face, pointSize, (bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
    }
    WidthsBuilt = false;
}

void CBookEngine::ForgetWidths() {
    ++widthsGeneration_;
    WidthsBuilt = false;
    Widths.clear();
    measurer_.reset();
    lateWidths_.clear();
}

void CBookEngine::BuildWidthTable(DrawingSurface* dc) {
    if (WidthsForWide != Wide) WidthsBuilt = false;
    if (WidthsBuilt || !dc) return;
    WaitCursor wait(HostServices);
    ForgetWidths();
    TextColour = NightScheme ? RGBColour(255, 255, 255) : RGBColour(0, 0, 0);
    dc->SelectFont(ReadingFonts[0]);
    measurer_ = dc->MeasurerForWidths();
    OwnWidths = measurer_ != nullptr;
    // The fixed rule measures 1,168 codes of 16-bit text by their low byte and the rest as "X";
    // own widths measure the 256 codes of the table (the code page's characters for 8-bit text)
    // and every other code by itself when it is first met.
    const int32_t measured = OwnWidths ? 256 : Wide ? 1168 : 256;
    WidthCount = measured;
    Widths.assign(Wide && !OwnWidths ? 65536 : 256, 0);
    if (OwnWidths) lateWidths_.assign(65536, -1);
    WidthsForWide = Wide;
    char16_t zero = u'0';
    TextSize digit = dc->TextExtent(&zero, 1);
    DigitWidth = digit.cx;
    DigitHeight = digit.cy;
    WidthsBuilt = true;
    TextSize last;
    for (int32_t i = 0; i < measured; ++i) {
        char16_t c = Wide && OwnWidths ? char16_t(i) : Cp1252ToUnicode(uint8_t(i % 256));
        last = dc->TextExtent(&c, 1);
        Widths[size_t(i)] = last.cx;
    }
    if (Wide && !OwnWidths) std::fill(Widths.begin() + WidthCount, Widths.end(), Widths['X']);
    ++widthsGeneration_;
    // A line is at least one pixel high, so that a page always fills up.
    LineHeight = std::max(1, Leading + last.cy - 1);
}

int32_t CBookEngine::CharWidth(uint16_t code) const {
    if (Widths.empty()) return 0;
    if (code < WidthCount && code < Widths.size()) return Widths[code];
    if (!measurer_ || code >= lateWidths_.size()) return Widths['X'];
    int32_t& width = lateWidths_[code];
    if (width < 0) width = std::max(0, measurer_->Width(char16_t(code)));
    return width;
}

void CBookEngine::ComputeBottomLimit() {
    if (ShowPositionBar || ShowPageNumber)
        BottomLimit = PageHeight - 3 * (DigitHeight / 4) - TopEdge - DigitHeight / 8;
    else
        BottomLimit = PageHeight - TopEdge;
}

void CBookEngine::WaitWhileBusy() {
    while (Busy)
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

void CBookEngine::DeleteTempFiles() {
    for (const std::string& file : TempFiles)
        std::remove(file.c_str());
    TempFiles.clear();
}

}  // namespace pagewick
