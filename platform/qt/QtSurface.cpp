#include "platform/qt/QtSurface.h"

#include "platform/qt/QtPictureDecoder.h"

#include <QImageReader>
#include <QPaintDevice>

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
    font.setStyleStrategy(QFont::PreferAntialias);
    // Whole-pixel advances: a run of text is then drawn exactly as wide as the sum of its
    // characters' widths, which is how the layout measured it. With fractional advances a
    // justified line drawn in pieces showed gaps or overlaps where the pieces met.
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

void QtSurface::SelectFont(const FontSpec& spec) {
    font_ = MakeFont(spec);
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
    if (!painter_) return;
    painter_->setPen(textColour_);
    painter_->drawText(x, y + metrics_->ascent(), ToQString(text, length));
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
