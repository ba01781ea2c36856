// Drawing a finished line: its place across the page, justification and per-character styles.
#include <cmath>

#include "engine/BookEngine.h"
#include "util/Cp1252.h"

namespace pagewick {

namespace {
const Colour kLinkBrush = RGBColour(100, 200, 200);
}

int32_t CBookEngine::DrawLine(DrawingSurface& dc, FinishedLine line) {
    const bool justify = Justified && !line.picture;
    const int32_t space = CharWidth(' ');
    int32_t x = LeftEdge;
    int32_t shift = 0;
    if (line.quote) {
        x += 5 * space;
        shift += 5 * space;
    }
    if (line.right) {
        int32_t to = RightEdge - line.width;
        shift += to - x;
        x = to;
    }
    if (line.centred) {
        int32_t move = (RightEdge - line.width - x) / 2;
        x += move;
        shift += move;
    }
    line.width += shift;

    // Unicode for drawing: 8-bit text is in the code page until here.
    std::u16string text(line.text, line.length);
    if (!Wide)
        for (char16_t& c : text)
            if (c < 256) c = Cp1252ToUnicode(uint8_t(c));
    auto widthOf = [&](size_t i) { return LayoutWidth(line.text[i]); };
    auto dropTrailingSpace = [&]() {
        if (!text.empty() && text.back() == u' ') {
            text.pop_back();
            line.width -= space;
        }
    };
    dc.SetTransparentBackground(true);
    dc.SetTextColour(TextColour);

    if (line.styled) {
        dropTrailingSpace();
        double perChar = 0;
        if (justify && !line.endsParagraph && !text.empty()) {
            perChar = double(RightEdge - LeftEdge - line.width) / double(text.size());
            if (perChar > space) perChar = 0;  // too short a line to stretch
        }
        int32_t wholeExtra = int32_t(perChar);
        double fracExtra = perChar - wholeExtra;
        double carried = 0;
        uint8_t selected = 0xFF;
        size_t nextLink = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            uint8_t style = line.styles[i];
            if ((style & 7) != selected) {
                selected = style & 7;
                dc.SelectFont(ReadingFonts[selected]);
            }
            int32_t w = widthOf(i);
            if ((style & kCharLink) && !Links.empty()) {
                size_t which = Links.size() - 1;
                if (line.links) {
                    while (nextLink < line.links->size() && (*line.links)[nextLink].first < i)
                        ++nextLink;
                    if (nextLink < line.links->size() && (*line.links)[nextLink].first == i &&
                        (*line.links)[nextLink].second >= 0 &&
                        size_t((*line.links)[nextLink].second) < Links.size())
                        which = size_t((*line.links)[nextLink].second);
                }
                LinkRecord& link = Links[which];
                if (!link.rectValid) {
                    link.hit = Rect{x, line.y, x, line.y + LineHeight};
                    link.rectValid = true;
                }
                link.hit.right += w;
                dc.FillRect(Rect{x, line.y, x + w + 2, line.y + LineHeight}, kLinkBrush);
            }
            dc.DrawText(x, line.y, &text[i], 1);
            carried += fracExtra;
            if (carried > 1) {
                ++x;
                carried -= 1;
            }
            x += w + ((style & kStyleBold) ? 1 : 0) + ((style & kStyleItalic) ? 1 : 0) + wholeExtra;
        }
        return shift;
    }

    dc.SelectFont(ReadingFonts[0]);
    if (line.endsParagraph || !justify) {
        dc.DrawText(x, line.y, text.data(), text.size());
        return shift;
    }
    dropTrailingSpace();
    int32_t slack = RightEdge - LeftEdge - line.width;
    if (slack <= 0 || text.empty()) {
        dc.DrawText(x, line.y, text.data(), text.size());
        return shift;
    }
    size_t chunk = std::max<size_t>(1, text.size() / size_t(slack));
    double pixelsPerChar = double(slack) / double(text.size());
    const int32_t startX = x;
    int32_t drawn = 0;
    for (size_t done = 0; done < text.size();) {
        size_t piece = std::min(chunk, text.size() - done);
        dc.DrawText(x, line.y, text.data() + done, piece);
        for (size_t i = done; i < done + piece; ++i)
            drawn += widthOf(i);
        done += piece;
        x = startX + drawn + int32_t(double(done) * pixelsPerChar);
    }
    return shift;
}

}  // namespace pagewick

namespace pagewick {

void CBookEngine::DrawPageDecorations(DrawingSurface& dc) {
    const int32_t footerBottom = PageHeight - TopEdge;
    if (PageHasBookmark()) dc.DrawLine(Point{1, 0}, Point{1, PageHeight}, RGBColour(192, 0, 0), 2);
    if (ShowPositionBar) {
        Colour paper = NightScheme ? RGBColour(0, 0, 0) : RGBColour(255, 255, 255);
        dc.FillRect(Rect{0, BottomLimit, LeftEdge + RightEdge, PageHeight + TopEdge + 1}, paper);
        const int32_t right = BarRightEnd();
        const int shade = (PositionBarShade * 50) % 256;
        const Colour fillPen = RGBColour(shade, (shade - 64 + 256) % 256, shade);
        const Colour fillBrush = RGBColour((shade + 92) % 256, 255, (shade + 92) % 256);
        const Colour framePen = PositionBarShade ? RGBColour(192, 192, 192)
                                : NightScheme    ? RGBColour(255, 255, 255)
                                                 : RGBColour(0, 0, 0);
        Rect frame{LeftEdge, footerBottom - 8, right, footerBottom - 1};
        dc.FrameRect(frame, framePen, 0, false, 0);
        int32_t start = CurrentPage >= 0 && CurrentPage < int32_t(PageStarts.size())
                            ? PageStarts[size_t(CurrentPage)]
                            : 0;
        uint32_t chars = CharCount();
        double fraction = chars ? double(start) / double(chars) : 0.0;
        Rect fill{frame.left + 1, frame.top + 1, frame.right - 1, frame.bottom - 1};
        fill.right = fill.left + int32_t(double(fill.right - fill.left + 1) * fraction);
        if (fill.right > fill.left) {
            dc.FrameRect(fill, fillPen, 2, true, fillBrush);
            dc.DrawLine(Point{fill.left + 1, fill.top}, Point{fill.right - 1, fill.top},
                        RGBColour(255, 255, 255), 1);
        }
    }
    if (ShowPageNumber) {
        dc.SelectFont(FooterFont);
        dc.SetTransparentBackground(true);
        dc.SetTextColour(TextColour);
        std::string number = std::to_string(CurrentPage + 1);
        std::u16string text(number.begin(), number.end());
        TextSize size = dc.TextExtent(text.data(), text.size());
        dc.DrawText(RightEdge - 1 - size.cx, footerBottom - 10, text.data(), text.size());
        if (!ShowPositionBar) {
            std::u16string title = Utf8ToUtf16(DocumentTitle);
            dc.DrawText(LeftEdge, footerBottom - 10, title.data(), title.size());
        }
    }
    dc.SelectFont(ReadingFonts[0]);
}

}  // namespace pagewick
