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
    std::unique_ptr<CharacterMeasurer> MeasurerForWidths() override;

private:
    QFont MakeFont(const FontSpec& spec) const;
    // ClearType: the run is drawn at three times the width, one sample for each colour stripe of
    // a pixel, filtered across the stripes and laid on the page one colour at a time. False when
    // the painter's device or transform does not allow it (printers: the text is drawn as it is).
    bool DrawClearType(int x, int y, const QString& text);

    QPainter* painter_ = nullptr;
    int dpi_ = 96;
    QFont font_;
    bool clearType_ = false;
    std::unique_ptr<QFontMetrics> metrics_;
    QColor textColour_ = Qt::black;
};

}  // namespace pagewick
