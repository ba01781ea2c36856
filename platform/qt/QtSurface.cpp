#include "platform/qt/QtSurface.h"

#include "platform/qt/QtPictureDecoder.h"

#include <QImageReader>
#include <QPaintDevice>
#include <algorithm>

namespace pagewick {

namespace {
QColor ToQColor(Colour c) {
    return QColor(int(c & 255), int(c >> 8 & 255), int(c >> 16 & 255));
}
QString ToQString(const char16_t* text, size_t length) {
    return QString(reinterpret_cast<const QChar*>(text), qsizetype(length));
}
}  // namespace

QtSurface::QtSurface(QPainter* painter) : painter_(painter) {
    if (painter_ && painter_->device()) dpi_ = painter_->device()->logicalDpiY();
    SelectFont(FontSpec{});
}

QtSurface::QtSurface(int dpi) : dpi_(dpi) {
    SelectFont(FontSpec{});
}

QtSurface::~QtSurface() = default;

QFont QtSurface::MakeFont(const FontSpec& spec) const {
    QFont font(QString::fromStdString(spec.face));
    // Point sizes become whole pixel heights for this resolution, as a device context does.
    font.setPixelSize(std::max(1, (spec.pointSize * dpi_ + 36) / 72));
    font.setBold(spec.bold);
    font.setItalic(spec.italic);
    font.setUnderline(spec.underline);
    font.setKerning(false);
    // Greyscale antialiasing in every case: where the platform would add colour stripes of its
    // own, ClearType is drawn here instead, and the glyphs' metrics stay the same either way.
    font.setStyleStrategy(
        QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    // Whole-pixel advances: a run of text is then drawn exactly as wide as the sum of its
    // characters' widths, which is how the layout measured it. With fractional advances a
    // justified line drawn in pieces showed gaps or overlaps where the pieces met.
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

void QtSurface::SelectFont(const FontSpec& spec) {
    font_ = MakeFont(spec);
    clearType_ = spec.clearType;
    if (painter_) {
        painter_->setFont(font_);
        metrics_ = std::make_unique<QFontMetrics>(font_, painter_->device());
    } else {
        metrics_ = std::make_unique<QFontMetrics>(font_);
    }
}

TextSize QtSurface::TextExtent(const char16_t* text, size_t length) {
    return TextSize{metrics_->horizontalAdvance(ToQString(text, length)), metrics_->height()};
}

void QtSurface::DrawText(int x, int y, const char16_t* text, size_t length) {
    if (!painter_ || length == 0) return;
    QString run = ToQString(text, length);
    if (clearType_ && DrawClearType(x, y, run)) return;
    painter_->setPen(textColour_);
    painter_->drawText(x, y + metrics_->ascent(), run);
}

bool QtSurface::DrawClearType(int x, int y, const QString& text) {
    // Page images only: printers keep their text as text, and a page drawn turned or scaled has
    // no stripes of its own to match.
    QPaintDevice* device = painter_->device();
    if (!device || device->devType() != QInternal::Image ||
        painter_->deviceTransform().type() > QTransform::TxTranslate)
        return false;
    const QImage::Format format = static_cast<QImage*>(device)->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        return false;
    // The box around the run, from the baseline's origin: its advance, and room for glyphs that
    // reach past it (italic overhangs, accents) rather than shaping the run once more for them.
    const int advance = metrics_->horizontalAdvance(text);
    const int overhang = metrics_->height() / 3 + 2;
    const int left = -overhang, right = advance + overhang;
    const int top = -metrics_->ascent() - 2, bottom = metrics_->descent() + 2;
    const int width = right - left, height = bottom - top;
    if (width <= 0 || height <= 0 || width > 16384 || height > 4096) return false;

    // Two empty samples on either side, so that the filter below never looks outside a row.
    const int span = 3 * width + 4;
    QImage samples(span, height, QImage::Format_Alpha8);
    samples.fill(0);
    {
        QPainter sampler(&samples);
        sampler.setFont(font_);
        sampler.setPen(Qt::black);
        sampler.translate(2, 0);
        sampler.scale(3, 1);
        sampler.drawText(QPointF(-left, -top), text);
    }
    // Each stripe's coverage spreads a little over its neighbours (weights 8, 77, 86, 77, 8 of
    // 256), which keeps the colour fringes faint. Only the rows and columns with ink are worked.
    const int tr = textColour_.red(), tg = textColour_.green(), tb = textColour_.blue();
    const bool lightText = tr || tg || tb;
    QImage darken(width, height, QImage::Format_RGB32);
    darken.fill(Qt::white);
    QImage lighten;
    if (lightText) {
        lighten = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
        lighten.fill(Qt::transparent);
    }
    int firstRow = height, lastRow = -1;
    for (int row = 0; row < height; ++row) {
        const uchar* in = samples.constScanLine(row);
        int first = 2, last = span - 3;
        while (first <= last && !in[first])
            ++first;
        while (last >= first && !in[last])
            --last;
        if (first > last) continue;
        firstRow = std::min(firstRow, row);
        lastRow = row;
        auto* dark = reinterpret_cast<QRgb*>(darken.scanLine(row));
        auto* light = lightText ? reinterpret_cast<QRgb*>(lighten.scanLine(row)) : nullptr;
        // Sample 2 + 3 * px + stripe is the stripe's own; ink at a sample reaches two either way.
        const int fromPx = std::max(0, (first - 6) / 3), toPx = std::min(width - 1, last / 3);
        for (int px = fromPx; px <= toPx; ++px) {
            const uchar* at = in + 3 * px;  // the sample two before the red stripe's
            int cover[3];
            for (int stripe = 0; stripe < 3; ++stripe) {
                const uchar* c = at + stripe;
                cover[stripe] =
                    std::min(255, (8 * c[0] + 77 * c[1] + 86 * c[2] + 77 * c[3] + 8 * c[4]) >> 8);
            }
            dark[px] = qRgb(255 - cover[0], 255 - cover[1], 255 - cover[2]);
            if (!light) continue;
            const int most = std::max({cover[0], cover[1], cover[2]});
            light[px] = qRgba(tr * cover[0] / 255, tg * cover[1] / 255, tb * cover[2] / 255, most);
        }
    }
    if (lastRow < 0) return true;  // nothing to ink (spaces)
    const QRect inked(0, firstRow, width, lastRow - firstRow + 1);
    // The page keeps what each stripe does not cover and takes the text colour where it does.
    const QPoint at(x + left, y + metrics_->ascent() + top + firstRow);
    painter_->save();
    painter_->setCompositionMode(QPainter::CompositionMode_Multiply);
    painter_->drawImage(at, darken, inked);
    if (lightText) {
        painter_->setCompositionMode(QPainter::CompositionMode_Plus);
        painter_->drawImage(at, lighten, inked);
    }
    painter_->restore();
    return true;
}

void QtSurface::SetTextColour(Colour colour) {
    textColour_ = ToQColor(colour);
}

void QtSurface::SetTransparentBackground(bool transparent) {
    if (painter_) painter_->setBackgroundMode(transparent ? Qt::TransparentMode : Qt::OpaqueMode);
}

void QtSurface::FillRect(const Rect& r, Colour colour) {
    if (painter_)
        painter_->fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top),
                           ToQColor(colour));
}

void QtSurface::FrameRect(const Rect& r, Colour pen, int penWidth, bool fill, Colour brush) {
    if (!painter_) return;
    painter_->save();
    painter_->setPen(QPen(ToQColor(pen), penWidth));
    painter_->setBrush(fill ? QBrush(ToQColor(brush)) : QBrush(Qt::NoBrush));
    painter_->drawRect(QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1));
    painter_->restore();
}

void QtSurface::DrawLine(Point from, Point to, Colour pen, int penWidth) {
    if (!painter_) return;
    painter_->save();
    painter_->setPen(QPen(ToQColor(pen), penWidth));
    painter_->drawLine(from.x, from.y, to.x, to.y);
    painter_->restore();
}

void QtSurface::DrawPolyline(const Point* points, size_t count, Colour pen, int penWidth) {
    if (!painter_ || count == 0) return;
    QPolygon polygon;
    for (size_t i = 0; i < count; ++i)
        polygon << QPoint(points[i].x, points[i].y);
    painter_->save();
    painter_->setPen(QPen(ToQColor(pen), penWidth));
    painter_->drawPolyline(polygon);
    painter_->restore();
}

namespace {
class FontMeasurer : public CharacterMeasurer {
public:
    explicit FontMeasurer(const QFontMetrics& metrics) : metrics_(metrics) {}
    // A run of one character, measured as drawing lays it out (a character the face lacks takes
    // its width from the face that draws it).
    int Width(char16_t code) override { return metrics_.horizontalAdvance(QString(QChar(code))); }

private:
    QFontMetrics metrics_;
};
}  // namespace

std::unique_ptr<CharacterMeasurer> QtSurface::MeasurerForWidths() {
    return std::make_unique<FontMeasurer>(*metrics_);
}

bool QtSurface::DrawPicture(const std::string& path, const Rect& r) {
    QRect to(r.left, r.top, r.right - r.left, r.bottom - r.top);
    // Decoded for the device's own pixels: a page drawn for a high-resolution screen gets the
    // picture's detail, not an enlarged copy.
    const qreal ratio =
        painter_ && painter_->device() ? painter_->device()->devicePixelRatioF() : 1.0;
    QImage image = ReadPicture(path, (QSizeF(to.size()) * ratio).toSize());
    if (image.isNull()) return false;
    if (painter_) painter_->drawImage(to, image);
    return true;
}

}  // namespace pagewick
