// Pictures in the text: a picture tag is sized, scaled to the room of the page and placed on the
// line, and drawn once the line is drawn. The picture files of a page live in a private
// temporary folder until the next page is laid out.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "engine/Markup.h"
#include "engine/PageLayout.h"
#include "util/AsciiCase.h"
#include "util/Cp1252.h"

namespace pagewick {

double PictureScale = 1.0;
int32_t PictureCounter = 0;

namespace {

namespace fs = std::filesystem;

// The temporary file's extension for a picture's name: "gif", "png" or "jpg" by what the name
// contains, the last test that matches winning.
std::string PictureSuffix(const std::string& src) {
    std::string lower = LowerAscii(src);
    std::string ext;
    if (lower.find(".gif") != std::string::npos) ext = "gif";
    if (lower.find(".png") != std::string::npos) ext = "png";
    if (lower.find(".jp") != std::string::npos) ext = "jpg";
    return "." + ext;
}

// A number at the start of an attribute value ("120", "50%"); 0 when there is none. Kept far
// below what the scaling arithmetic could overflow on.
int32_t LeadingNumber(const std::string& value) {
    int64_t n = 0;
    size_t i = 0;
    while (i < value.size() && value[i] == ' ')
        ++i;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        n = std::min<int64_t>(n * 10 + (value[i] - '0'), 1 << 20);
    return int32_t(n);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() + 0 && HexDigit(text[i + 1]) >= 0 &&
            HexDigit(text[i + 2]) >= 0) {
            out += char(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The file beside an HTML book that a relative name inside the book's folder names; "" for an
// absolute path, an address, a name that climbs out of the folder (by ".." or by a link) or a
// file that is not there.
std::string FileInBookFolder(const std::string& bookPath, std::string name) {
    name = name.substr(0, name.find_first_of("?#"));
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.empty() || name[0] == '/' || name.find(':') != std::string::npos) return "";
    std::error_code ec;
    fs::path folder = fs::path(bookPath).parent_path();
    if (folder.empty()) folder = ".";
    fs::path root = fs::weakly_canonical(folder, ec);
    if (ec) return "";
    for (const std::string& candidate : {name, PercentDecoded(name)}) {
        fs::path file = fs::weakly_canonical(root / candidate, ec);
        if (ec) continue;
        fs::path inside = file.lexically_relative(root);
        if (inside.empty() || *inside.begin() == "..") continue;
        if (fs::is_regular_file(file, ec)) return file.string();
    }
    return "";
}

}  // namespace

// --- The document's side: temporary files, extraction, decoding

std::string CBookEngine::MakeTempFile(const std::string& suffix) {
    if (tempFolder_.empty()) {
        std::string base = HostServices ? HostServices->TempFolder() : std::string();
        if (base.empty()) {
            std::error_code ec;
            base = fs::temp_directory_path(ec).string();
            if (ec || base.empty()) base = "/tmp";
        }
        std::string pattern = base + "/pagewick-XXXXXX";
        if (!mkdtemp(pattern.data())) return "";  // made with mode 0700: ours alone
        tempFolder_ = pattern;
    }
    // Only letters, digits and dots of the suffix: whatever the name in the book, the file stays
    // in the folder under a name of ours.
    std::string clean;
    for (char c : suffix)
        if (clean.size() < 8 && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                 (c >= '0' && c <= '9') || c == '.'))
            clean += c;
    for (int attempt = 0; attempt < 64; ++attempt) {
        int32_t number = PictureCounter;
        PictureCounter = number == INT32_MAX ? 0 : number + 1;
        std::string path = tempFolder_ + "/TempImage" + std::to_string(number) + clean;
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) return "";
    }
    return "";
}

void CBookEngine::RemoveTempFolder() {
    DeleteTempFiles();
    if (!targetFile_.empty()) std::remove(targetFile_.c_str());
    targetFile_.clear();
    targetFileFor_.clear();
    if (tempFolder_.empty()) return;
    std::error_code ec;
    fs::remove_all(tempFolder_, ec);
    tempFolder_.clear();
}

int32_t CBookEngine::FileStartOffset(const std::string& name) const {
    return reader_ ? reader_->FileStart(name) : -1;
}

std::string CBookEngine::ItemFile(const std::string& name, const std::string& suffix,
                                  bool& temporary) {
    temporary = false;
    if (Form.items == ReaderTraits::Items::BesideBook) return FileInBookFolder(BookPath, name);
    if (Form.items != ReaderTraits::Items::InBook) return "";
    std::string path = MakeTempFile(suffix);
    if (path.empty()) return "";
    // Books keep their items without folders: "images/a.gif" is also looked for as "a.gif".
    size_t slash = name.find_last_of("/\\");
    if (ExtractMedia(path, name) ||
        (slash != std::string::npos && ExtractMedia(path, name.substr(slash + 1)))) {
        temporary = true;
        return path;
    }
    std::remove(path.c_str());
    return "";
}

std::string CBookEngine::PictureSourceFile(const std::string& src, bool& temporary) {
    std::string file = ItemFile(src, PictureSuffix(src), temporary);
    if (temporary) TempFiles.push_back(file);
    return file;
}

TextSize CBookEngine::GetPictureSize(const std::string& file) {
    TextSize size;
    if (file.empty() || !Pictures) return size;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 1 && HostServices) HostServices->Sleep(100);
        if (Pictures->PictureSize(file, size) && size.cx > 0 && size.cy > 0) return size;
    }
    return TextSize{};
}

bool CBookEngine::DrawPicture(DrawingSurface& dc, const std::string& file, const Rect& rect) {
    if (file.empty() || !Pictures) return false;
    Rect to{rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1};
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 1 && HostServices) HostServices->Sleep(100);
        if (Pictures->DrawPicture(dc, file, to)) return true;
    }
    return false;
}

bool CBookEngine::DrawCurrentTarget(DrawingSurface& dc, const Rect& view) {
    if (CurrentTarget.empty()) return false;
    if (targetFileFor_ != CurrentTarget) {
        if (!targetFile_.empty()) std::remove(targetFile_.c_str());
        std::string name = CurrentTarget.substr(0, CurrentTarget.find('#'));
        size_t dot = name.find_last_of('.');
        std::string suffix = dot == std::string::npos ? "" : name.substr(dot);
        bool temporary = false;
        viewFile_ = ItemFile(name, suffix, temporary);
        // A file beside an HTML book is the reader's own: only an extracted copy is deleted.
        targetFile_ = temporary ? viewFile_ : std::string();
        targetFileFor_ = CurrentTarget;
    }
    if (!DrawPicture(dc, viewFile_,
                     Rect{view.left - 1, view.top - 1, view.right - 1, view.bottom - 1})) {
        dc.SelectFont(ReadingFonts[0]);
        dc.SetTransparentBackground(true);
        dc.SetTextColour(TextColour);
        std::u16string text = u"Error loading image";
        dc.DrawText(view.left + LeftEdge, view.top + TopEdge, text.data(), text.size());
    }
    return true;
}

bool CBookEngine::ClosePictureView() {
    if (CurrentTarget.empty()) return false;
    CurrentTarget.clear();
    if (!targetFile_.empty()) std::remove(targetFile_.c_str());
    targetFile_.clear();
    targetFileFor_.clear();
    viewFile_.clear();
    return true;
}

// --- The layout's side: picture tags

PageLayout::PictureFile& PageLayout::Picture(const std::string& src, bool measure) {
    PictureFile& picture = pictures_[src];
    if (picture.file.empty() && !picture.measured) {
        bool temporary = false;
        picture.file = doc_.PictureSourceFile(src, temporary);
    }
    if (measure && !picture.measured) {
        picture.size = doc_.GetPictureSize(picture.file);
        picture.measured = true;
    }
    return picture;
}

int32_t PageLayout::PictureTag(const std::string& tag) {
    auto yieldSpace = [this]() -> int32_t {
        if (lastSpace_) return kNothing;
        lastSpace_ = true;
        return ' ';
    };
    auto toText = [this](const std::string& bytes) {
        std::u16string text;
        for (unsigned char c : bytes)
            text += doc_.Wide ? Cp1252ToUnicode(c) : char16_t(c);
        return text;
    };
    size_t skip = tag.find("aaskiptonext.gif");
    if (skip != std::string::npos && skip > 4) {
        inserted_ = PrintMode ? u"" : u"Next Story>>";
        return yieldSpace();
    }
    std::optional<std::string> src = TagAttribute(tag, "src");
    // An SVG picture names its file by xlink:href (or, lately, href).
    if (!src && tag.size() > 6 && (tag[5] == 'e' || tag[5] == 'E')) {
        src = TagAttribute(tag, "xlink:href");
        if (!src) src = TagAttribute(tag, "href");
    }
    if (!src || src->empty()) return yieldSpace();  // no picture named: nothing to show
    // A book whose files stand in folders names the picture by its place in the book; one
    // that would lie outside the book is no picture.
    if (std::string resolved; doc_.ResolveName(CurrentFileName(), *src, resolved)) {
        if (resolved.empty()) return yieldSpace();
        src = resolved;
    }

    // A picture whose tag gives its size is only extracted when it is drawn.
    TextSize size;
    bool sized = false;
    if (doc_.ShowImages) {
        std::optional<std::string> h = AttributeValue(tag, "height");
        std::optional<std::string> w = AttributeValue(tag, "width");
        if (h && w && LeadingNumber(*h) > 0 && LeadingNumber(*w) > 0) {
            size = TextSize{LeadingNumber(*w), LeadingNumber(*h)};
            sized = true;
        }
    }
    std::u16string placeholder;
    if (!sized) {
        std::optional<std::string> alt = AttributeValue(tag, "alt");
        placeholder = alt ? u"<<I:" + toText(alt->substr(0, 10)) + u">>" : u"<<IMAGE>>";
        size = Picture(*src, true).size;
    }

    // Scaled to the room of an empty line and of an empty page, in the units the fit tests
    // below use, so that a picture that starts an empty page always fits on it.
    const int32_t indent = lineQuote_ ? 5 * doc_.CharWidth(' ') : 0;
    const double factor = PictureScale > 0 ? PictureScale : 1.0;
    const double w = size.cx * factor, h = size.cy * factor;
    const double roomW = doc_.RightEdge - doc_.LeftEdge - indent - 2;
    double roomH = doc_.BottomLimit - doc_.TopEdge - 1;
    const bool emptyLine = lineX_ == doc_.LeftEdge && wordWidth_ == 0;
    // Below nothing but empty lines (the breaks a file or a cover page begins with) a picture
    // takes the room left, when that is most of the page, rather than leave the page blank.
    if (pageBlank_ && emptyLine && y_ > doc_.TopEdge && 3 * (doc_.BottomLimit - y_) > 2 * roomH)
        roomH = doc_.BottomLimit - y_ - 1;
    double scale = 1.0;
    if (w > roomW) scale = roomW / w;
    if (h > roomH && roomH / h < scale) scale = roomH / h;
    // A picture scaled to a sliver keeps one pixel of it.
    const int32_t width = w > 0 ? std::max(1, int32_t(w * scale)) : 0;
    const int32_t height = h > 0 ? std::max(1, int32_t(h * scale)) : 0;

    const bool firstLine = y_ == doc_.TopEdge;
    const bool besideFits = indent + lineX_ + wordWidth_ + width < doc_.RightEdge;
    const bool belowFits = y_ + height < doc_.BottomLimit;
    if ((!besideFits && !emptyLine) || (!belowFits && !firstLine)) {
        // Beside the words already there it goes on the next line; below the lines already there
        // it starts the next page. The tag is read again there.
        if (!besideFits && !emptyLine)
            carry_.insert(0, tag_);
        else
            carry_.insert(0, u"<newpage>" + tag_);
        breakAfter_ = true;  // never joined away with the lines
        lastSpace_ = true;
        return kLineBreak;
    }

    // Placed. A picture that cannot be shown keeps its placeholder; one that can keeps its room
    // on the line with spaces, in measuring and drawing alike.
    inserted_.clear();
    if (width == 0 || height == 0) {
        inserted_ = placeholder;
    } else {
        pageBlank_ = false;
        const int32_t space = std::max(1, doc_.CharWidth(' '));
        inserted_.append(size_t((width + space - 1) / space), u' ');
        lineExtra_ = std::max(lineExtra_, height - doc_.LineHeight);
        if (dc_)
            linePictures_.push_back(PlacedPicture{*src, lineX_ + wordWidth_, y_, width, height});
    }
    if (PrintMode && (width == 0 || height == 0)) inserted_.clear();
    return yieldSpace();
}

void PageLayout::DrawLinePictures(int32_t shift) {
    for (const PlacedPicture& p : linePictures_) {
        Rect rect{p.x + shift, p.y, p.x + shift + p.width, p.y + p.height};
        const std::string& file = Picture(p.src, false).file;
        if (!doc_.DrawPicture(*dc_, file, rect))
            dc_->FrameRect(rect, doc_.TextColour, 1, false, 0);  // where the picture would be
        else
            doc_.PictureHits.push_back(LinkRecord{rect, p.src, true, 0, 0});
    }
    linePictures_.clear();
}

}  // namespace pagewick
