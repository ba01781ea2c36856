// DrawingSurface over QPainter: screen bitmaps, printers and PNG output, with real font metrics
// through fontconfig.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <memory>

#include "engine/DrawingSurface.h"

namespace pagewick {

class QtSurface : public DrawingSurface {
public:
    // Draws on the painter's device; the painter must outlive the surface.
    explicit QtSurface(QPainter* painter);
    // Measures only, at the given resolution (dots per inch), with no device behind it.
    explicit QtSurface(int dpi = 96);
    ~QtSurface() override;

    void SelectFont(const FontSpec& font) override;
    TextSize TextExtent(const char16_t* text, size_t length) override;
    void DrawText(int x, int y, const char16_t* text, size_t length) override;
    void SetTextColour(Colour colour) override;
    void SetTransparentBackground(bool transparent) override;
    void FillRect(const Rect& rect, Colour colour) override;
    void FrameRect(const Rect& rect, Colour pen, int penWidth, bool fill, Colour brush) override;
    void DrawLine(Point from, Point to, Colour pen, int penWidth) override;
    void DrawPolyline(const Point* points, size_t count, Colour pen, int penWidth) override;
    bool DrawPicture(const std::string& path, const Rect& rect) override;

private:
    QFont MakeFont(const FontSpec& spec) const;

    QPainter* painter_ = nullptr;
    int dpi_ = 96;
    QFont font_;
    std::unique_ptr<QFontMetrics> metrics_;
    QColor textColour_ = Qt::black;
};

}  // namespace pagewick
