// The device context seen by the engine: fonts chosen by style bits, text measuring and drawing,
// rectangles, lines and pictures. Text is always Unicode here; the engine converts 8-bit book text
// (Windows-1252) before it reaches a surface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace pagewick {

// 0x00BBGGRR, as the engine stores colours.
using Colour = uint32_t;
constexpr Colour RGBColour(int r, int g, int b) {
    return Colour(r & 255) | Colour(g & 255) << 8 | Colour(b & 255) << 16;
}

struct TextSize {
    int cx = 0;
    int cy = 0;
};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Rect&) const = default;
};

struct Point {
    int x = 0, y = 0;
};

// A font as the engine asks for it. Height is in points; the surface turns it into pixels for
// its own resolution.
struct FontSpec {
    std::string face;
    int pointSize = 10;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    // How the text is smoothed: ClearType (colour stripes of the pixels, on surfaces that can)
    // or plain antialiasing. Widths never depend on it.
    bool clearType = false;
    bool operator==(const FontSpec&) const = default;
};

// Measures single characters for the width table on demand, with the reading font that was
// current when it was made. The document keeps it while its table lasts, after the surface that
// made it is gone.
class CharacterMeasurer {
public:
    virtual ~CharacterMeasurer() = default;
    // The width of the character alone, as a run of text holding it is drawn.
    virtual int Width(char16_t code) = 0;
};

class DrawingSurface {
public:
    virtual ~DrawingSurface() = default;

    // Makes the font current for measuring and drawing.
    virtual void SelectFont(const FontSpec& font) = 0;
    // Extent of a run of text in the current font.
    virtual TextSize TextExtent(const char16_t* text, size_t length) = 0;
    // Draws a run of text with its top-left corner at (x, y) in the current font and text colour.
    virtual void DrawText(int x, int y, const char16_t* text, size_t length) = 0;
    virtual void SetTextColour(Colour colour) = 0;
    virtual void SetTransparentBackground(bool transparent) = 0;

    // Fills a rectangle without outline.
    virtual void FillRect(const Rect& rect, Colour colour) = 0;
    // Outlines a rectangle with a pen of the given colour and width; fills it when fill is set.
    virtual void FrameRect(const Rect& rect, Colour pen, int penWidth, bool fill, Colour brush) = 0;
    virtual void DrawLine(Point from, Point to, Colour pen, int penWidth) = 0;
    virtual void DrawPolyline(const Point* points, size_t count, Colour pen, int penWidth) = 0;
    // Draws the picture file scaled into the rectangle; false when it cannot be decoded.
    virtual bool DrawPicture(const std::string& path, const Rect& rect) = 0;

    // Real fonts measure every character with its own width: a measurer for the current font.
    // Null (the default) keeps the fixed rule of the width table: 8-bit codes, for 16-bit text
    // codes below 1,168 by their low byte and "X" for every code above.
    virtual std::unique_ptr<CharacterMeasurer> MeasurerForWidths() { return nullptr; }
};

}  // namespace pagewick
