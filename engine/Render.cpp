// Drawing a finished line: its place across the page, justification and per-character styles.
#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "engine/BookEngine.h"
#include "util/Cp1252.h"

namespace pagewick {

namespace {
const Colour kLinkBrush = RGBColour(100, 200, 200);
}

void CBookEngine::DrawBands(DrawingSurface& dc, const FinishedLine& line,
                            const std::vector<int32_t>& xs) {
    const size_t n = xs.size() - 1;
    int32_t low = INT32_MAX, high = -1;
    for (size_t i = 0; i < n; ++i) {
        const int32_t at = line.offsets[i];
        if (at < 0) continue;
        low = std::min(low, at);
        high = std::max(high, at);
    }
    if (high < 0) return;
    const int32_t top = line.y, bottom = line.y + LineHeight;
    // One rectangle per stretch of neighbouring characters inside [first, end).
    auto band = [&](int32_t first, int32_t end, Colour colour) {
        size_t i = 0;
        while (i < n) {
            const int32_t at = line.offsets[i];
            if (at < first || at >= end) {
                ++i;
                continue;
            }
            size_t j = i + 1;
            while (j < n && line.offsets[j] >= first && line.offsets[j] < end)
                ++j;
            dc.FillRect(Rect{xs[i], top, xs[j], bottom}, colour);
            i = j;
        }
    };
    const bool night = NightScheme != 0;
    if (DrawHighlights) {
        auto [from, to] = Highlights.Touching(low, high + 1);
        const auto& all = Highlights.All();
        for (size_t k = from; k < to; ++k)
            if (all[k].end > low) band(all[k].start, all[k].end, ColourValue(all[k].colour, night));
    }
    if (SelectionFirst >= 0 && SelectionEnd > SelectionFirst && SelectionFirst <= high &&
        SelectionEnd > low)
        band(SelectionFirst, SelectionEnd, SelectionColour(night));

    DrawnLine drawn;
    drawn.top = top;
    drawn.bottom = bottom;
    drawn.offsets.assign(line.offsets, line.offsets + n);
    drawn.xs = xs;
    DrawnLines.push_back(std::move(drawn));
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
    // Where each character goes (xs[i]; xs[n] is where the line ends), as justification places
    // them: the bands behind highlights and the map from points to characters use the same.
    const bool whole = !line.styled && (line.endsParagraph || !justify);
    if (!whole) dropTrailingSpace();
    const size_t n = text.size();
    std::vector<int32_t> xs(n + 1);
    size_t chunk = 0;  // justified plain text is drawn in pieces of this many characters
    if (line.styled) {
        double perChar = 0;
        if (justify && !line.endsParagraph && n > 0) {
            perChar = double(RightEdge - LeftEdge - line.width) / double(n);
            if (perChar > space) perChar = 0;  // too short a line to stretch
        }
        const int32_t wholeExtra = int32_t(perChar);
        const double fracExtra = perChar - wholeExtra;
        double carried = 0;
        for (size_t i = 0; i < n; ++i) {
            xs[i] = x;
            const uint8_t style = line.styles[i];
            carried += fracExtra;
            if (carried > 1) {
                ++x;
                carried -= 1;
            }
            x += widthOf(i) + ((style & kStyleBold) ? 1 : 0) + ((style & kStyleItalic) ? 1 : 0) +
                 wholeExtra;
        }
        xs[n] = x;
    } else {
        const int32_t slack = RightEdge - LeftEdge - line.width;
        const bool spread = !whole && slack > 0 && n > 0;
        chunk = spread ? std::max<size_t>(1, n / size_t(slack)) : n;
        const double pixelsPerChar = spread ? double(slack) / double(n) : 0;
        const int32_t startX = x;
        int32_t drawn = 0;
        for (size_t i = 0; i < n; ++i) {
            if (spread && i % chunk == 0) x = startX + drawn + int32_t(double(i) * pixelsPerChar);
            xs[i] = x;
            const int32_t w = widthOf(i);
            x += w;
            drawn += w;
        }
        xs[n] = spread ? startX + drawn + int32_t(double(n) * pixelsPerChar) : x;
    }
    if (line.offsets) DrawBands(dc, line, xs);

    dc.SetTransparentBackground(true);
    dc.SetTextColour(TextColour);
    if (line.styled) {
        uint8_t selected = 0xFF;
        size_t nextLink = 0;
        for (size_t i = 0; i < n; ++i) {
            const uint8_t style = line.styles[i];
            if ((style & 7) != selected) {
                selected = style & 7;
                dc.SelectFont(ReadingFonts[selected]);
            }
            const int32_t cx = xs[i];
            const int32_t w = widthOf(i);
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
                    link.hit = Rect{cx, line.y, cx, line.y + LineHeight};
                    link.rectValid = true;
                }
                link.hit.right += w;
                dc.FillRect(Rect{cx, line.y, cx + w + 2, line.y + LineHeight}, kLinkBrush);
            }
            dc.DrawText(cx, line.y, &text[i], 1);
        }
        return shift;
    }

    dc.SelectFont(ReadingFonts[0]);
    if (n == 0) dc.DrawText(xs[0], line.y, text.data(), 0);  // an empty line is drawn too
    for (size_t done = 0; done < n; done += chunk)
        dc.DrawText(xs[done], line.y, text.data() + done, std::min(chunk, n - done));
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
