// A deterministic drawing surface for tests: every character has a fixed width (changeable per
// code), every font the same height, and each call is recorded.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/DrawingSurface.h"

namespace pagewick::test {

class RecordingSurface : public DrawingSurface {
public:
    struct TextCall {
        int x, y;
        std::u16string text;
        FontSpec font;
        Colour colour;
    };

    int defaultWidth = 10;
    int height = 16;
    std::map<char16_t, int> widths;  // codes whose width differs from defaultWidth
    // Measures like real fonts: every character its own width (else the table's fixed rule).
    bool ownWidths = false;
    int measured = 0;  // characters measured on demand so far

    std::vector<TextCall> texts;
    std::vector<std::string> calls;  // every call in order, as a short readable line
    FontSpec font;
    Colour textColour = 0;
    int extentCalls = 0;

    int WidthOf(char16_t c) const;

    void SelectFont(const FontSpec& f) override;
    TextSize TextExtent(const char16_t* text, size_t length) override;
    void DrawText(int x, int y, const char16_t* text, size_t length) override;
    void SetTextColour(Colour colour) override;
    void SetTransparentBackground(bool transparent) override;
    void FillRect(const Rect& rect, Colour colour) override;
    void FrameRect(const Rect& rect, Colour pen, int penWidth, bool fill, Colour brush) override;
    void DrawLine(Point from, Point to, Colour pen, int penWidth) override;
    void DrawPolyline(const Point* points, size_t count, Colour pen, int penWidth) override;
    bool DrawPicture(const std::string& path, const Rect& rect) override;
    std::unique_ptr<CharacterMeasurer> MeasurerForWidths() override;
};

// UTF-8 form of a 16-bit text, for readable assertions.
std::string Utf8(const std::u16string& text);

}  // namespace pagewick::test
