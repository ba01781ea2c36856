// A measuring surface with fixed metrics: every character of a font is the same width. Gives the
// same pages on every machine (benchmarks, scripted runs with --fixed-metrics).
#pragma once

#include "engine/DrawingSurface.h"

namespace pagewick {

class FixedSurface : public DrawingSurface {
public:
    void SelectFont(const FontSpec& font) override { font_ = font; }
    TextSize TextExtent(const char16_t*, size_t length) override {
        int width = (font_.pointSize * 3 + 2) / 5;
        return TextSize{int(length) * width, font_.pointSize * 4 / 3 + 1};
    }
    void DrawText(int, int, const char16_t*, size_t) override {}
    void SetTextColour(Colour) override {}
    void SetTransparentBackground(bool) override {}
    void FillRect(const Rect&, Colour) override {}
    void FrameRect(const Rect&, Colour, int, bool, Colour) override {}
    void DrawLine(Point, Point, Colour, int) override {}
    void DrawPolyline(const Point*, size_t, Colour, int) override {}
    bool DrawPicture(const std::string&, const Rect&) override { return false; }

private:
    FontSpec font_;
};

}  // namespace pagewick
