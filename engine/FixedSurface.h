// A measuring surface with fixed metrics, the same on every machine (benchmarks, scripted runs
// with --fixed-metrics). Scripts outside the project compute pages from these metrics, so they
// do not change: every character is 12 pixels high, and a character whose code-page byte (for
// 16-bit text, whose low byte) is b is 4 + (b mod 5) pixels wide, in every face, size and style.
#pragma once

#include "engine/DrawingSurface.h"
#include "util/Cp1252.h"

namespace pagewick {

class FixedSurface : public DrawingSurface {
public:
    static constexpr int kHeight = 12;
    static constexpr int WidthOfByte(uint8_t b) { return 4 + b % 5; }

    void SelectFont(const FontSpec&) override {}
    // The engine hands 8-bit text over as Unicode; the width follows the byte it came from.
    TextSize TextExtent(const char16_t* text, size_t length) override {
        int width = 0;
        for (size_t i = 0; i < length; ++i)
            width += WidthOfByte(UnicodeToCp1252(text[i]));
        return TextSize{width, kHeight};
    }
    void DrawText(int, int, const char16_t*, size_t) override {}
    void SetTextColour(Colour) override {}
    void SetTransparentBackground(bool) override {}
    void FillRect(const Rect&, Colour) override {}
    void FrameRect(const Rect&, Colour, int, bool, Colour) override {}
    void DrawLine(Point, Point, Colour, int) override {}
    void DrawPolyline(const Point*, size_t, Colour, int) override {}
    bool DrawPicture(const std::string&, const Rect&) override { return false; }
};

}  // namespace pagewick
