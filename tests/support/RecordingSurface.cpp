#include "support/RecordingSurface.h"

#include "util/Cp1252.h"

namespace pagewick::test {

namespace {
std::string RectText(const Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}
}  // namespace

std::string Utf8(const std::u16string& text) {
    return Utf16ToUtf8(text);
}

int RecordingSurface::WidthOf(char16_t c) const {
    auto it = widths.find(c);
    return it == widths.end() ? defaultWidth : it->second;
}

void RecordingSurface::SelectFont(const FontSpec& f) {
    font = f;
    calls.push_back("font " + f.face + " " + std::to_string(f.pointSize) + (f.bold ? " b" : "") +
                    (f.italic ? " i" : "") + (f.underline ? " u" : ""));
}

TextSize RecordingSurface::TextExtent(const char16_t* text, size_t length) {
    ++extentCalls;
    int cx = 0;
    for (size_t i = 0; i < length; ++i)
        cx += WidthOf(text[i]);
    return TextSize{cx, height};
}

void RecordingSurface::DrawText(int x, int y, const char16_t* text, size_t length) {
    std::u16string s(text, length);
    texts.push_back(TextCall{x, y, s, font, textColour});
    calls.push_back("text " + std::to_string(x) + "," + std::to_string(y) + " " + Utf8(s));
}

void RecordingSurface::SetTextColour(Colour colour) {
    textColour = colour;
}

void RecordingSurface::SetTransparentBackground(bool transparent) {
    calls.push_back(transparent ? "transparent" : "opaque");
}

void RecordingSurface::FillRect(const Rect& rect, Colour colour) {
    calls.push_back("fill " + RectText(rect) + " " + std::to_string(colour));
}

void RecordingSurface::FrameRect(const Rect& rect, Colour pen, int penWidth, bool fill,
                                 Colour brush) {
    calls.push_back("frame " + RectText(rect) + " pen " + std::to_string(pen) + "/" +
                    std::to_string(penWidth) +
                    (fill ? " brush " + std::to_string(brush) : std::string(" nobrush")));
}

void RecordingSurface::DrawLine(Point from, Point to, Colour pen, int penWidth) {
    calls.push_back("line " + std::to_string(from.x) + "," + std::to_string(from.y) + "," +
                    std::to_string(to.x) + "," + std::to_string(to.y) + " pen " +
                    std::to_string(pen) + "/" + std::to_string(penWidth));
}

void RecordingSurface::DrawPolyline(const Point* points, size_t count, Colour pen, int penWidth) {
    std::string line = "polyline";
    for (size_t i = 0; i < count; ++i)
        line += " " + std::to_string(points[i].x) + "," + std::to_string(points[i].y);
    calls.push_back(line + " pen " + std::to_string(pen) + "/" + std::to_string(penWidth));
}

bool RecordingSurface::DrawPicture(const std::string& path, const Rect& rect) {
    calls.push_back("picture " + path + " " + RectText(rect));
    return true;
}

std::unique_ptr<CharacterMeasurer> RecordingSurface::MeasurerForWidths() {
    if (!ownWidths) return nullptr;
    struct Measurer : CharacterMeasurer {
        RecordingSurface* surface;
        explicit Measurer(RecordingSurface* s) : surface(s) {}
        int Width(char16_t code) override {
            ++surface->measured;
            return surface->WidthOf(code);
        }
    };
    return std::make_unique<Measurer>(this);
}

}  // namespace pagewick::test
